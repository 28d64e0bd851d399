// The main window as a plain Win32 modeless dialog with a message loop of
// its own, which drops Escape before the dialog manager sees it.
#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <memory>

#include "service/actions/message_catalogue.h"
#include "service/core/main_window.h"
#include "service/core/os_version.h"
#include "service/core/tray_icon.h"
#include "service/core/window_commands.h"
#include "shared/record_access.h"

namespace orvik {
namespace {

constexpr UINT kTrayMessage = WM_USER + 1;  // 0x0401, the icon's callback
constexpr UINT kMenuDone = WM_USER;         // 0x0400, after the menu closes
constexpr UINT_PTR kHideTimer = 100;
constexpr UINT kHideTimerMs = 2000;
constexpr int kHideTicks = 11;
// Left behind by a dialog frame library's subclassing; restored at the end
// of a session so that the window survives the logoff.
constexpr char kSubclassProperty[] = "AfxOldWndProc423";

// Shared: loaded once per size, never to be destroyed.
HICON loadIcon(int id, int size) {
  return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id),
                                       IMAGE_ICON, size, size, LR_SHARED));
}

class ShellTray final : public TrayShell {
 public:
  explicit ShellTray(HWND window) : window_(window) {}

  bool add(int icon) override { return notify(NIM_ADD, icon); }
  bool modify(int icon) override { return notify(NIM_MODIFY, icon); }
  void remove() override {
    NOTIFYICONDATAA data = base();
    Shell_NotifyIconA(NIM_DELETE, &data);
  }

 private:
  NOTIFYICONDATAA base() const {
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = kTrayIconId;
    return data;
  }

  bool notify(DWORD action, int icon) {
    NOTIFYICONDATAA data = base();
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayMessage;
    data.hIcon = loadIcon(icon, GetSystemMetrics(SM_CXSMICON));
    // The tip shows at most 63 characters.
    std::strncpy(data.szTip, kServiceCaption, sizeof data.szTip - 1);
    return Shell_NotifyIconA(action, &data) != 0;
  }

  HWND window_;
};

struct Window {
  Service* service = nullptr;
  Platform platform;
  HICON icon = nullptr;
  HMENU menu = nullptr;
  std::unique_ptr<ShellTray> shell;
  std::unique_ptr<TrayIcon> tray;
  int ticks = 0;
  bool stopped = true;
  bool initialised = false;  // WM_INITDIALOG came
  int osClass = 0;
};

Window* window = nullptr;  // one main window per process

BOOL CALLBACK restoreSubclassing(HWND target, LPARAM) {
  if (HANDLE old = GetPropA(target, kSubclassProperty)) {
    SetWindowLongPtrA(target, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    RemovePropA(target, kSubclassProperty);
  }
  return TRUE;
}

bool initialise(HWND dialog) {
  Window& w = *window;
  w.initialised = true;
  w.icon = loadIcon(kProgramIcon, GetSystemMetrics(SM_CXICON));
  SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(w.icon));
  SendMessageA(dialog, WM_SETICON, ICON_SMALL,
               reinterpret_cast<LPARAM>(loadIcon(kProgramIcon, GetSystemMetrics(SM_CXSMICON))));
  SetWindowTextA(dialog, kServiceCaption);
  if (w.service->serviceStart(w.platform.system->programPath()) == 0) return false;
  w.osClass = osVersionClass(*w.platform.system);

  w.menu = CreatePopupMenu();
  AppendMenuA(w.menu, MF_STRING, kStopCommand, catalogueText(201).chars());
  AppendMenuA(w.menu, MF_STRING, kConsoleCommand, catalogueText(202).chars());
  SetMenuDefaultItem(w.menu, kConsoleCommand, FALSE);

  // NT 3.x has no notification area.
  StatusRecord* record = &w.service->record();
  w.shell = std::make_unique<ShellTray>(dialog);
  w.tray = std::make_unique<TrayIcon>(
      *w.shell, *w.platform.clock, [record] { return trayIconFor(loadField(record->alarmFlags)); },
      w.osClass != kNtFamily);
  w.tray->start();
  w.service->startTasks();
  SetTimer(dialog, kHideTimer, kHideTimerMs, nullptr);
  return true;
}

void closeWindow(HWND dialog) {
  Window& w = *window;
  if (w.tray) w.tray->remove();
  w.stopped = w.service->serviceStop();
  DestroyWindow(dialog);
  PostQuitMessage(0);
}

void trayMouse(HWND dialog, WPARAM id, LPARAM mouse) {
  if (id != kTrayIconId) return;
  if (mouse == WM_RBUTTONDOWN) {
    SetForegroundWindow(dialog);
    POINT at;
    GetCursorPos(&at);
    TrackPopupMenu(window->menu, TPM_LEFTALIGN, at.x, at.y, 0, dialog, nullptr);
    PostMessageA(dialog, kMenuDone, 0, 0);
  } else if (mouse == WM_LBUTTONDBLCLK) {
    SetForegroundWindow(dialog);
    PostMessageA(dialog, WM_COMMAND, GetMenuDefaultItem(window->menu, FALSE, 0), 0);
  }
}

void command(HWND dialog, int id) {
  Window& w = *window;
  if (id == kStopCommand) {
    if (MessageBoxA(dialog, catalogueText(kStopQuestion).chars(), kServiceCaption,
                    MB_YESNO | MB_ICONQUESTION) == IDYES) {
      stopConfirmed(w.osClass, *w.platform.power,
                    [dialog] { PostMessageA(dialog, WM_CLOSE, 0, 0); });
    }
  } else if (id == kConsoleCommand) {
    startConsole(*w.platform.processes, w.service->programDirectory());
  }
}

INT_PTR CALLBACK dialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  Window& w = *window;
  switch (message) {
    case WM_INITDIALOG:
      if (!initialise(dialog)) {
        DestroyWindow(dialog);
        PostQuitMessage(1);
      }
      return TRUE;
    case WM_PAINT:
      if (!IsIconic(dialog)) return FALSE;
      {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(dialog, &paint);
        RECT client;
        GetClientRect(dialog, &client);
        DrawIcon(dc, (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2,
                 (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2, w.icon);
        EndPaint(dialog, &paint);
      }
      return TRUE;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(w.icon);
    case WM_CLOSE:
      closeWindow(dialog);
      return TRUE;
    case kTrayMessage:
      trayMouse(dialog, wParam, lParam);
      return TRUE;
    case WM_COMMAND:
      // IDCANCEL (Escape, which the loop drops anyway) must not end the dialog.
      command(dialog, LOWORD(wParam));
      return TRUE;
    case WM_TIMER:
      if (wParam == kHideTimer) {
        ShowWindow(dialog, SW_HIDE);
        if (++w.ticks >= kHideTicks) KillTimer(dialog, kHideTimer);
      }
      return FALSE;
    case WM_ENDSESSION:
      if (w.tray) w.tray->forget();
      if (w.osClass >= kNtFamily) EnumThreadWindows(GetCurrentThreadId(), restoreSubclassing, 0);
      return TRUE;
    case WM_QUERYENDSESSION:
      if (sessionEndClosesService(w.osClass)) PostMessageA(dialog, WM_CLOSE, 0, 0);
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

int runMainWindow(Service& service, Platform platform, bool* stopped) {
  static Window state;
  state.service = &service;
  state.platform = platform;
  window = &state;
  HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kMainDialog),
                                   nullptr, dialogProcedure, 0);
  // Without a display there is no window at all, and no service.
  if (dialog == nullptr && !state.initialised) return 1;
  MSG message;
  int code = 1;
  for (;;) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0) {
      code = static_cast<int>(message.wParam);
      break;
    }
    if (got < 0) break;
    if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) continue;
    if (IsWindow(dialog) && IsDialogMessageA(dialog, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  *stopped = state.stopped;
  return code;
}

}  // namespace orvik
