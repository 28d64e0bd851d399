#include "sweep/sweep.h"
#include "sweep/text.h"

namespace winsweep {

namespace {

// Windows: consoles, the program manager and its shell, task switchers.
// Linux: terminal emulators (a shutdown must not end the user's shell
// sessions by closing them) and the windows of the desktop session itself.
const char* const kNeverClosed[] = {
    "tty", "ConsoleWindowClass", "PSWWindowClass", "WnlsSubWClass", "WOWExecClass", "#32772",
    "Progman",
    // Terminal emulators.
    "XTerm", "UXTerm", "Gnome-terminal", "gnome-terminal-server", "org.gnome.Console",
    "kgx", "konsole", "Xfce4-terminal", "mate-terminal", "Lxterminal", "qterminal",
    "URxvt", "Rxvt", "Alacritty", "kitty", "foot", "Terminator", "Tilix", "st-256color",
    "org.wezfurlong.wezterm", "Terminology", "Eterm", "Roxterm",
    // The desktop session: shells, desktops, panels and docks.
    "Gnome-shell", "plasmashell", "Xfdesktop", "Xfce4-panel", "Lxpanel", "Lxqt-panel",
    "Mate-panel", "Caja", "Plank", "Tint2", "Polybar", "Xfce4-session", "ksmserver"};

// Any class starting with this (the Windows shell's tray and desktop windows).
constexpr char kShellPrefix[] = "Shell";

}  // namespace

bool isNeverClosedClass(const char* className) {
  if (startsWithIgnoringCase(className, kShellPrefix)) return true;
  for (const char* name : kNeverClosed) {
    if (equalsIgnoringCase(className, name)) return true;
  }
  return false;
}

}  // namespace winsweep
