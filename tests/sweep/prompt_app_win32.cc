// The Windows counterpart of prompt_app_x11.cc: asked to close, it asks
// "Save changes?" in a Yes/No message box whose default button is No, so
// that only the Y key answers Yes. Each answer is appended to the save file
// as a line "yes" or "no"; then the application exits.
//
//   --title T      the main window's title
//   --class C      the window class (default "PromptApp")
//   --save FILE    where answers go
//   --forever      ask again after each answer, never exit
//   --ask-now      ask at start, before anybody asks to close
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* saveFile = "NUL";
bool forever = false;
bool asking = false;

void ask(HWND window) {
  asking = true;
  do {
    int choice = MessageBoxA(window, "Save changes?", "Save changes?",
                             MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION);
    if (FILE* f = std::fopen(saveFile, "a")) {
      std::fputs(choice == IDYES ? "yes\n" : "no\n", f);
      std::fclose(f);
    }
  } while (forever);
  DestroyWindow(window);
}

// Tells the test that the windows are there.
void announceReady() {
  std::printf("ready\n");
  std::fflush(stdout);
}

constexpr UINT_PTR kReadyTimer = 1;

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      if (!asking) ask(window);
      return 0;
    case WM_APP:
      // The message box's own loop delivers the timer once the box is up.
      SetTimer(window, kReadyTimer, 50, nullptr);
      ask(window);
      return 0;
    case WM_TIMER:
      KillTimer(window, kReadyTimer);
      announceReady();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  const char* title = "Prompt App";
  const char* className = "PromptApp";
  bool askNow = false;
  for (int i = 1; i < __argc; ++i) {
    const char* arg = __argv[i];
    bool more = i + 1 < __argc;
    if (!std::strcmp(arg, "--title") && more) title = __argv[++i];
    else if (!std::strcmp(arg, "--class") && more) className = __argv[++i];
    else if (!std::strcmp(arg, "--save") && more) saveFile = __argv[++i];
    else if (!std::strcmp(arg, "--forever")) forever = true;
    else if (!std::strcmp(arg, "--ask-now")) askNow = true;
  }
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = className;
  RegisterClassA(&windowClass);
  HWND window = CreateWindowA(className, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300,
                              200, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  if (askNow) {
    PostMessageA(window, WM_APP, 0, 0);
  } else {
    announceReady();
  }
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
