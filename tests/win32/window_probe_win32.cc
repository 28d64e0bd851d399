// What the end-to-end tests under Wine ask of the windows of another
// program, as the window system itself or a user at the desktop would:
//
//   window_probe query-end-session TITLE   sends WM_QUERYENDSESSION, prints "answer N"
//   window_probe end-session TITLE 0|1     sends WM_ENDSESSION with that wParam
//   window_probe message-box TITLE         the shown message box of that caption:
//                                          "text ...", then "button TEXT X Y" per button
//                                          (its centre on the screen)
//   window_probe menu                      the shown pop-up menu: "menu LEFT TOP RIGHT BOTTOM"
//                                          and, where the system lets another program read
//                                          them, "item TEXT" per item
//   window_probe show-menu X Y SECONDS TEXT...
//                                          shows a pop-up menu of these items at (X, Y),
//                                          the last one the default, for that long: what
//                                          a menu of those texts looks like here
//
// Exit code 0 when done, 1 when the window is not there, 2 on bad usage.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr UINT kGetMenuHandle = 0x01E1;  // MN_GETHMENU
constexpr DWORD kSendTimeoutMs = 10000;

HWND shownWindow(const char* className, const char* title) {
  for (HWND w = FindWindowExA(nullptr, nullptr, className, title); w != nullptr;
       w = FindWindowExA(nullptr, w, className, title)) {
    if (IsWindowVisible(w)) return w;
  }
  return nullptr;
}

bool send(HWND window, UINT message, WPARAM wParam, DWORD_PTR* answer) {
  return SendMessageTimeoutA(window, message, wParam, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             answer) != 0;
}

BOOL CALLBACK printControl(HWND control, LPARAM) {
  char className[64] = "";
  char text[512] = "";
  GetClassNameA(control, className, sizeof className);
  GetWindowTextA(control, text, sizeof text);
  if (!IsWindowVisible(control)) return TRUE;
  if (_stricmp(className, "Button") == 0) {
    RECT r;
    GetWindowRect(control, &r);
    std::printf("button %s %ld %ld\n", text, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  } else if (_stricmp(className, "Static") == 0 && text[0] != '\0') {
    std::printf("text %s\n", text);
  }
  return TRUE;
}

int messageBox(const char* caption) {
  HWND box = shownWindow("#32770", caption);
  if (box == nullptr) return 1;
  EnumChildWindows(box, printControl, 0);
  return 0;
}

int menu() {
  HWND popup = shownWindow("#32768", nullptr);
  if (popup == nullptr) return 1;
  RECT r;
  GetWindowRect(popup, &r);
  std::printf("menu %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
  DWORD_PTR handle = 0;
  if (!send(popup, kGetMenuHandle, 0, &handle) || handle == 0) return 0;
  HMENU items = reinterpret_cast<HMENU>(handle);
  const int count = GetMenuItemCount(items);
  for (int i = 0; i < count; ++i) {
    char text[256] = "";
    if (GetMenuStringA(items, i, text, sizeof text, MF_BYPOSITION) > 0) {
      std::printf("item %s\n", text);
    }
  }
  return 0;
}

// Ends the menu loop once the time is up.
void CALLBACK endMenu(HWND, UINT, UINT_PTR, DWORD) { EndMenu(); }

int showMenu(int x, int y, int seconds, int count, char** texts) {
  HWND owner = CreateWindowExA(0, "Static", "window_probe", WS_POPUP, 0, 0, 1, 1, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
  HMENU items = CreatePopupMenu();
  for (int i = 0; i < count; ++i) AppendMenuA(items, MF_STRING, 1 + i, texts[i]);
  SetMenuDefaultItem(items, count, FALSE);
  SetForegroundWindow(owner);
  SetTimer(owner, 1, seconds * 1000, endMenu);
  TrackPopupMenu(items, TPM_LEFTALIGN, x, y, 0, owner, nullptr);
  DestroyMenu(items);
  DestroyWindow(owner);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "menu") == 0) return menu();
  if (argc == 3 && std::strcmp(argv[1], "message-box") == 0) return messageBox(argv[2]);
  if (argc >= 6 && std::strcmp(argv[1], "show-menu") == 0) {
    return showMenu(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), argc - 5,
                    argv + 5);
  }
  if (argc < 3) return 2;
  HWND window = FindWindowA(nullptr, argv[2]);
  if (window == nullptr) return 1;
  DWORD_PTR answer = 0;
  if (argc == 3 && std::strcmp(argv[1], "query-end-session") == 0) {
    // lParam 0: the user logs off or the system shuts down, as the shell sends it.
    if (!send(window, WM_QUERYENDSESSION, 0, &answer)) return 1;
    std::printf("answer %lld\n", static_cast<long long>(answer));
    return 0;
  }
  if (argc == 4 && std::strcmp(argv[1], "end-session") == 0) {
    if (!send(window, WM_ENDSESSION, std::atoi(argv[3]) != 0, &answer)) return 1;
    return 0;
  }
  return 2;
}
