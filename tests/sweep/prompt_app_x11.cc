// A test application with unsaved work, for the sweep's end-to-end tests.
// Asked to close, it shows a modal "Save changes?" dialog with the buttons
// Yes and No (child windows of class "Button"); the focus starts on No, the
// Y key moves it to Yes, Enter answers. Each answer is appended to the save
// file as a line "yes" or "no"; then the application exits.
//
//   --title T       the main window's title
//   --save FILE     where answers go
//   --forever       ask again after each answer, never exit
//   --ask-now       show the dialog at start, before anybody asks to close
//   --hostile       give the main window a 70000-byte title of every byte
//                   value, a class without its terminating NULs and a window
//                   type of the wrong format, and show two windows that are
//                   each other's owner; closing it then needs no answer
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

Display* display;
Window mainWindow, dialog, yesButton, noButton;
bool onYes = false;
std::string saveFile;

Atom atom(const char* name) { return XInternAtom(display, name, False); }

void setAtoms(Window w, const char* property, Atom type, const Atom* values, int count) {
  XChangeProperty(display, w, atom(property), type, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(values), count);
}

Window makeWindow(Window parent, int x, int y, int width, int height, const char* title,
                  const char* instance, const char* cls) {
  Window w = XCreateSimpleWindow(display, parent, x, y, width, height, 1,
                                 BlackPixel(display, 0), WhitePixel(display, 0));
  XStoreName(display, w, title);
  XClassHint hint{const_cast<char*>(instance), const_cast<char*>(cls)};
  XSetClassHint(display, w, &hint);
  XSelectInput(display, w, ExposureMask | (parent == DefaultRootWindow(display) ? KeyPressMask : 0));
  return w;
}

void draw() {
  if (!dialog) return;
  GC gc = DefaultGC(display, 0);
  XClearWindow(display, dialog);
  XDrawString(display, dialog, gc, 10, 20, "Save changes?", 13);
  for (Window b : {yesButton, noButton}) {
    XClearWindow(display, b);
    bool focused = (b == yesButton) == onYes;
    XDrawString(display, b, gc, 8, 16, b == yesButton ? "Yes" : "No", b == yesButton ? 3 : 2);
    if (focused) XDrawRectangle(display, b, gc, 2, 2, 45, 20);
  }
}

void ask() {
  dialog = makeWindow(DefaultRootWindow(display), 50, 50, 200, 80, "Save changes?", "promptapp",
                      "PromptApp");
  Atom type = atom("_NET_WM_WINDOW_TYPE_DIALOG"), modal = atom("_NET_WM_STATE_MODAL");
  Atom protocols = atom("WM_DELETE_WINDOW");
  setAtoms(dialog, "_NET_WM_WINDOW_TYPE", XA_ATOM, &type, 1);
  setAtoms(dialog, "_NET_WM_STATE", XA_ATOM, &modal, 1);
  XSetWMProtocols(display, dialog, &protocols, 1);
  XSetTransientForHint(display, dialog, mainWindow);
  yesButton = makeWindow(dialog, 20, 40, 50, 25, "&Yes", "button", "Button");
  noButton = makeWindow(dialog, 110, 40, 50, 25, "&No", "button", "Button");
  onYes = false;
  XMapSubwindows(display, dialog);
  XMapWindow(display, dialog);
}

void answer(bool forever) {
  if (FILE* f = std::fopen(saveFile.c_str(), "a")) {
    std::fputs(onYes ? "yes\n" : "no\n", f);
    std::fclose(f);
  }
  XDestroyWindow(display, dialog);
  dialog = 0;
  if (forever) ask();
}

void makeHostile() {
  std::string title(70000, '\0');
  for (size_t i = 0; i < title.size(); ++i) title[i] = static_cast<char>(i * 7 + 1);
  XChangeProperty(display, mainWindow, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title.data()), title.size());
  XChangeProperty(display, mainWindow, atom("_NET_WM_NAME"), atom("UTF8_STRING"), 8,
                  PropModeReplace, reinterpret_cast<const unsigned char*>("\xff\xfe\xc3"), 3);
  XChangeProperty(display, mainWindow, XA_WM_CLASS, XA_STRING, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title.data() + 1), 4000);
  Atom wrong[3] = {1, 2, 3};
  setAtoms(mainWindow, "_NET_WM_WINDOW_TYPE", XA_CARDINAL, wrong, 3);
  Window a = makeWindow(DefaultRootWindow(display), 0, 0, 50, 50, "a", "a", "A");
  Window b = makeWindow(DefaultRootWindow(display), 60, 0, 50, 50, "b", "b", "B");
  XSetTransientForHint(display, a, b);
  XSetTransientForHint(display, b, a);
  XMapWindow(display, a);
  XMapWindow(display, b);
}

}  // namespace

int main(int argc, char** argv) {
  std::string title = "Prompt App";
  bool forever = false, askNow = false, hostile = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--title" && i + 1 < argc) title = argv[++i];
    else if (arg == "--save" && i + 1 < argc) saveFile = argv[++i];
    else if (arg == "--forever") forever = true;
    else if (arg == "--ask-now") askNow = true;
    else if (arg == "--hostile") hostile = true;
  }
  display = XOpenDisplay(nullptr);
  if (!display) return 1;
  mainWindow = makeWindow(DefaultRootWindow(display), 0, 0, 300, 200, title.c_str(), "promptapp",
                          "PromptApp");
  Atom deleteWindow = atom("WM_DELETE_WINDOW");
  XSetWMProtocols(display, mainWindow, &deleteWindow, 1);
  if (hostile) makeHostile();
  XMapWindow(display, mainWindow);
  if (askNow) ask();
  XSync(display, False);
  std::printf("ready\n");
  std::fflush(stdout);

  for (;;) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == Expose) draw();
    if (event.type == ClientMessage && event.xclient.window == mainWindow &&
        static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow) {
      if (hostile) return 0;
      if (!dialog) ask();
    }
    // A key sent to a button names the button; a typed one names the dialog.
    Window to = event.xkey.window;
    if (event.type == KeyPress && dialog && (to == dialog || to == yesButton || to == noButton)) {
      KeySym sym = XLookupKeysym(&event.xkey, 0);
      if (sym == XK_y) onYes = true;
      if (sym == XK_n) onYes = false;
      if (sym == XK_Return) {
        answer(forever);
        if (!forever) return 0;
      }
      draw();
    }
  }
}
