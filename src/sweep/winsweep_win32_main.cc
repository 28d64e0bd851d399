// winsweep on Windows: a hidden window whose 10 ms timer runs one sweep,
// after which the window closes and the program ends with exit code 0.
#include <windows.h>

#include <memory>

#include "sweep/resource.h"
#include "sweep/sweep.h"
#include "sweep/window_backends.h"

namespace {

constexpr UINT_PTR kSweepTimer = 300;
constexpr UINT kSweepDelayMs = 10;

char helloText[100];

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam != kSweepTimer) break;
      KillTimer(window, kSweepTimer);
      winsweep::runSweep(*winsweep::openWin32WindowSystem(window));
      PostMessageA(window, WM_CLOSE, 0, 0);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDM_EXIT) DestroyWindow(window);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT client;
      GetClientRect(window, &client);
      DrawTextA(dc, helloText, -1, &client, DT_CENTER);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  char title[100], className[100];
  LoadStringA(instance, IDS_APP_TITLE, title, sizeof title);
  LoadStringA(instance, IDC_WINSWEEP, className, sizeof className);
  LoadStringA(instance, IDS_HELLO, helloText, sizeof helloText);

  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = windowProcedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_WINSWEEP));
  windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SMALL));
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszMenuName = MAKEINTRESOURCEA(IDC_WINSWEEP);
  windowClass.lpszClassName = className;
  RegisterClassExA(&windowClass);

  HWND window = CreateWindowA(className, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                              CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
  // Without a window (no desktop to work on) there is nothing to sweep.
  if (!window) return 0;
  ShowWindow(window, SW_HIDE);
  SetTimer(window, kSweepTimer, kSweepDelayMs, nullptr);

  HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDC_WINSWEEP));
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (!TranslateAcceleratorA(message.hwnd, accelerators, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  return 0;
}
