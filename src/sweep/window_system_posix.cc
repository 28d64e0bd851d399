// The X11 window layer. Top-level windows are the window manager's clients
// in stacking order (the root's children where no manager runs); the close
// command is the manager's close request (_NET_CLOSE_WINDOW), or
// WM_DELETE_WINDOW sent directly where no manager runs. Keys go through
// XTest when the target holds the input focus, so that they look real to
// toolkits that ignore sent events, and are sent to the window otherwise, so
// that no key can reach a window it was not meant for.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <set>

#include "sweep/text.h"
#include "sweep/window_backends.h"

namespace winsweep {

namespace {

// Windows may vanish between any two requests: their errors are expected.
int ignoreError(Display*, XErrorEvent*) { return 0; }

// The server is gone, and with it every window to close.
int serverGone(Display*) { _exit(0); }

// Bounds on what a window can make us read or walk.
constexpr long kMaxTextLongs = 64;      // 256 bytes of a title or class
constexpr long kMaxListLongs = 65536;   // window and atom lists
constexpr int kMaxDepth = 32;           // owner chains and window trees
constexpr int kMaxChildrenVisited = 4096;

constexpr long kSourcePager = 2;  // EWMH: the request comes from a pager-like tool

class X11WindowSystem final : public WindowSystem {
 public:
  explicit X11WindowSystem(Display* display)
      : display_(display), root_(DefaultRootWindow(display)),
        start_(std::chrono::steady_clock::now()) {
    XSetErrorHandler(ignoreError);
    XSetIOErrorHandler(serverGone);
    for (auto& [atom, name] : atomNames()) *atom = XInternAtom(display_, name, False);
    int unused;
    haveXTest_ = XTestQueryExtension(display_, &unused, &unused, &unused, &unused);
    // Never mapped: the program has no window to show on this desktop.
    own_ = XCreateSimpleWindow(display_, root_, 0, 0, 1, 1, 0, 0, 0);
    XStoreName(display_, own_, "winsweep");
    XClassHint hint{const_cast<char*>("winsweep"), const_cast<char*>("WINSWEEP")};
    XSetClassHint(display_, own_, &hint);
    XSync(display_, False);
  }

  ~X11WindowSystem() override {
    XDestroyWindow(display_, own_);
    XCloseDisplay(display_);
  }

  WindowId ownWindow() override { return own_; }

  std::vector<WindowId> topLevelWindows() override {
    std::vector<WindowId> list;
    if (managerRuns()) {
      auto clients = readList(root_, netClientListStacking_, XA_WINDOW);
      if (clients.empty()) clients = readList(root_, netClientList_, XA_WINDOW);
      list.assign(clients.rbegin(), clients.rend());  // bottom-to-top on the wire
    } else {
      Window parent, rootReturn, *children = nullptr;
      unsigned count = 0;
      if (XQueryTree(display_, root_, &rootReturn, &parent, &children, &count)) {
        for (unsigned i = count; i-- > 0;) {
          XWindowAttributes a;
          if (XGetWindowAttributes(display_, children[i], &a) && !a.override_redirect &&
              a.c_class == InputOutput) {
            list.push_back(children[i]);
          }
        }
        if (children) XFree(children);
      }
    }
    noteModalOwners(list);
    return list;
  }

  WindowId findByTitle(const char* wanted) override {
    char text[256];
    for (WindowId w : topLevelWindows()) {
      title(w, text, sizeof text);
      if (equalsIgnoringCase(text, wanted)) return w;
    }
    return 0;
  }

  WindowId findByClass(const char* wanted) override {
    for (WindowId w : topLevelWindows()) {
      if (hasClass(w, wanted)) return w;
    }
    return 0;
  }

  bool exists(WindowId w) override {
    XWindowAttributes a;
    return w && XGetWindowAttributes(display_, w, &a);
  }

  bool isVisible(WindowId w) override {
    auto state = readList(w, wmState_, wmState_, 1);
    if (!state.empty()) return state[0] == NormalState || state[0] == IconicState;
    XWindowAttributes a;
    return XGetWindowAttributes(display_, w, &a) && a.map_state == IsViewable;
  }

  // X has no disabled windows; a window under a modal dialog is the
  // equivalent: it takes no input until the dialog is answered.
  bool isEnabled(WindowId w) override { return exists(w) && !modalOwners_.count(w); }

  bool isPopup(WindowId w) override {
    if (transientFor(w)) return true;
    for (unsigned long type : readList(w, netWmWindowType_, XA_ATOM)) {
      if (type == netWmWindowTypeDialog_) return true;
    }
    return false;
  }

  bool isDesktopPart(WindowId w) override {
    for (unsigned long type : readList(w, netWmWindowType_, XA_ATOM)) {
      if (type == netWmWindowTypeDesktop_ || type == netWmWindowTypeDock_) return true;
    }
    return false;
  }

  bool belongsTo(WindowId w, WindowId owner) override {
    for (int depth = 0; depth < kMaxDepth; ++depth) {
      w = transientFor(w);
      if (!w || w == root_) return false;
      if (w == owner) return true;
    }
    return false;
  }

  void className(WindowId w, char* out, std::size_t size) override {
    // WM_CLASS is the instance name, a NUL, then the class name.
    char both[kMaxTextLongs * 4 + 1];
    std::size_t length = readText(w, XA_WM_CLASS, XA_STRING, both, sizeof both);
    std::size_t instanceEnd = strnlen(both, length);
    const char* cls = instanceEnd + 1 < length ? both + instanceEnd + 1 : both;
    copyText(cls, strnlen(cls, length - (cls - both)), out, size);
  }

  void title(WindowId w, char* out, std::size_t size) override {
    char text[kMaxTextLongs * 4 + 1];
    std::size_t length = readText(w, netWmName_, utf8String_, text, sizeof text);
    if (!length) length = readText(w, XA_WM_NAME, AnyPropertyType, text, sizeof text);
    copyText(text, length, out, size);
  }

  WindowId findChild(WindowId w, const char* cls) override {
    int visited = 0;
    return findChildIn(w, cls, 0, &visited);
  }

  bool postRegisteredMessage(WindowId w, const char* name, std::uintptr_t wParam,
                             std::intptr_t lParam) override {
    Atom message = XInternAtom(display_, name, False);
    if (message == None) return false;
    sendClientMessage(w, w, message, {static_cast<long>(wParam), lParam}, NoEventMask);
    return true;
  }

  void postClose(WindowId w) override { requestClose(w); }
  void postCloseCommand(WindowId w) override { requestClose(w); }

  // A key-down through XTest is a whole keystroke: a key left held down on
  // the user's keyboard would repeat. Its key-up then has nothing to do.
  void postKeyDown(WindowId w, unsigned key, std::uint32_t) override {
    KeyCode code = keyCode(key);
    if (!code) return;
    if (haveXTest_ && holdsFocus(w)) {
      XTestFakeKeyEvent(display_, code, True, CurrentTime);
      XTestFakeKeyEvent(display_, code, False, CurrentTime);
      strokes_.insert(key);
    } else {
      sendKey(w, code, KeyPress);
      strokes_.erase(key);
    }
    XFlush(display_);
  }

  void postKeyUp(WindowId w, unsigned key, std::uint32_t) override {
    KeyCode code = keyCode(key);
    if (!code || strokes_.erase(key)) return;
    sendKey(w, code, KeyRelease);
    XFlush(display_);
  }

  void setForeground(WindowId w) override {
    if (managerRuns()) {
      sendClientMessage(root_, w, netActiveWindow_, {kSourcePager, CurrentTime, 0},
                        SubstructureRedirectMask | SubstructureNotifyMask);
    } else {
      XRaiseWindow(display_, w);
      XSetInputFocus(display_, w, RevertToParent, CurrentTime);
    }
    XFlush(display_);
  }

  // The own window is never mapped and cannot take the focus; nothing
  // depends on it, as keys are aimed at the dialogs themselves.
  void activate(WindowId) override {}

  std::int64_t milliseconds() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now() - start_)
        .count();
  }

  void wait(std::int64_t ms) override {
    const std::int64_t end = milliseconds() + ms;
    XFlush(display_);
    for (std::int64_t left = ms; left > 0; left = end - milliseconds()) {
      pollfd connection{ConnectionNumber(display_), POLLIN, 0};
      if (poll(&connection, 1, static_cast<int>(left)) > 0) {
        // Reading notices a closed connection (and leaves through
        // serverGone); the events themselves are of no interest.
        while (XPending(display_)) {
          XEvent ignored;
          XNextEvent(display_, &ignored);
        }
      }
    }
  }

 private:
  std::vector<std::pair<Atom*, const char*>> atomNames() {
    return {{&netSupported_, "_NET_SUPPORTED"},
            {&netSupportingWmCheck_, "_NET_SUPPORTING_WM_CHECK"},
            {&netClientList_, "_NET_CLIENT_LIST"},
            {&netClientListStacking_, "_NET_CLIENT_LIST_STACKING"},
            {&netCloseWindow_, "_NET_CLOSE_WINDOW"},
            {&netActiveWindow_, "_NET_ACTIVE_WINDOW"},
            {&netWmName_, "_NET_WM_NAME"},
            {&netWmState_, "_NET_WM_STATE"},
            {&netWmStateModal_, "_NET_WM_STATE_MODAL"},
            {&netWmWindowType_, "_NET_WM_WINDOW_TYPE"},
            {&netWmWindowTypeDialog_, "_NET_WM_WINDOW_TYPE_DIALOG"},
            {&netWmWindowTypeDesktop_, "_NET_WM_WINDOW_TYPE_DESKTOP"},
            {&netWmWindowTypeDock_, "_NET_WM_WINDOW_TYPE_DOCK"},
            {&wmState_, "WM_STATE"},
            {&wmProtocols_, "WM_PROTOCOLS"},
            {&wmDeleteWindow_, "WM_DELETE_WINDOW"},
            {&utf8String_, "UTF8_STRING"}};
  }

  // A manager that follows the conventions names its check window on the
  // root and on that window itself; a stale root entry left by a manager
  // that died does not count.
  bool managerRuns() {
    auto check = readList(root_, netSupportingWmCheck_, XA_WINDOW, 1);
    if (check.empty()) return false;
    auto self = readList(check[0], netSupportingWmCheck_, XA_WINDOW, 1);
    return !self.empty() && self[0] == check[0];
  }

  bool managerSupports(Atom feature) {
    auto supported = readList(root_, netSupported_, XA_ATOM);
    return std::find(supported.begin(), supported.end(), feature) != supported.end();
  }

  // The items of a property of format 32 (Xlib hands them over as longs).
  std::vector<unsigned long> readList(Window w, Atom property, Atom type,
                                      long maxItems = kMaxListLongs) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> items;
    if (w && XGetWindowProperty(display_, w, property, 0, maxItems, False, type, &actualType,
                                &format, &count, &after, &data) == Success &&
        data && format == 32 && actualType == type) {
      auto* values = reinterpret_cast<unsigned long*>(data);
      items.assign(values, values + count);
    }
    if (data) XFree(data);
    return items;
  }

  // The bytes of a text property of format 8, at most size - 1, terminated;
  // returns the number of bytes.
  std::size_t readText(Window w, Atom property, Atom type, char* out, std::size_t size) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::size_t length = 0;
    if (w && XGetWindowProperty(display_, w, property, 0, kMaxTextLongs, False, type,
                                &actualType, &format, &count, &after, &data) == Success &&
        data && format == 8) {
      length = std::min<std::size_t>(count, size - 1);
      std::memcpy(out, data, length);
    }
    out[length] = '\0';
    if (data) XFree(data);
    return length;
  }

  // Copies a text that may hold NULs and end inside a character: the result
  // stops at the first NUL and at size - 1 bytes, so it is always a string.
  static void copyText(const char* text, std::size_t length, char* out, std::size_t size) {
    if (!size) return;
    std::size_t n = std::min(strnlen(text, length), size - 1);
    std::memcpy(out, text, n);
    out[n] = '\0';
  }

  Window transientFor(Window w) {
    Window owner = None;
    if (!w || !XGetTransientForHint(display_, w, &owner)) return None;
    return owner;
  }

  bool hasClass(Window w, const char* wanted) {
    char both[kMaxTextLongs * 4 + 1];
    std::size_t length = readText(w, XA_WM_CLASS, XA_STRING, both, sizeof both);
    if (!length) return false;
    std::size_t instanceEnd = strnlen(both, length);
    if (equalsIgnoringCase(both, wanted)) return true;
    return instanceEnd + 1 < length && equalsIgnoringCase(both + instanceEnd + 1, wanted);
  }

  // The windows that a modal dialog in this list is transient for.
  void noteModalOwners(const std::vector<WindowId>& list) {
    modalOwners_.clear();
    for (WindowId w : list) {
      Window owner = transientFor(w);
      if (!owner) continue;
      for (unsigned long state : readList(w, netWmState_, XA_ATOM)) {
        if (state == netWmStateModal_) modalOwners_.insert(owner);
      }
    }
  }

  WindowId findChildIn(Window w, const char* cls, int depth, int* visited) {
    if (depth == kMaxDepth) return 0;
    Window rootReturn, parent, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display_, w, &rootReturn, &parent, &children, &count)) return 0;
    WindowId found = 0;
    for (unsigned i = 0; i < count && !found && ++*visited < kMaxChildrenVisited; ++i) {
      if (hasClass(children[i], cls)) {
        found = children[i];
      } else {
        found = findChildIn(children[i], cls, depth + 1, visited);
      }
    }
    if (children) XFree(children);
    return found;
  }

  void requestClose(Window w) {
    if (managerRuns() && managerSupports(netCloseWindow_)) {
      sendClientMessage(root_, w, netCloseWindow_, {CurrentTime, kSourcePager},
                        SubstructureRedirectMask | SubstructureNotifyMask);
    } else {
      // Without a manager only a window that takes the delete request can
      // be asked; anything harsher could lose the user's work.
      auto protocols = readList(w, wmProtocols_, XA_ATOM);
      if (std::find(protocols.begin(), protocols.end(), wmDeleteWindow_) != protocols.end()) {
        sendClientMessage(w, w, wmProtocols_, {static_cast<long>(wmDeleteWindow_), CurrentTime},
                          NoEventMask);
      }
    }
    XFlush(display_);
  }

  void sendClientMessage(Window to, Window about, Atom type, std::initializer_list<long> data,
                         long mask) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = about;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    int i = 0;
    for (long value : data) event.xclient.data.l[i++] = value;
    XSendEvent(display_, to, False, mask, &event);
  }

  KeyCode keyCode(unsigned key) {
    KeySym sym = key == kKeyY ? XK_y : key == kKeyEnter ? XK_Return : NoSymbol;
    return sym == NoSymbol ? 0 : XKeysymToKeycode(display_, sym);
  }

  // The focus is on w, inside it, or on a window that contains it.
  bool holdsFocus(Window w) {
    Window focus = None;
    int revert;
    XGetInputFocus(display_, &focus, &revert);
    if (focus == None || focus == PointerRoot) return false;
    return focus == w || isInside(w, focus) || isInside(focus, w);
  }

  bool isInside(Window inner, Window outer) {
    for (int depth = 0; depth < kMaxDepth && inner && inner != root_; ++depth) {
      Window rootReturn, parent = None, *children = nullptr;
      unsigned count = 0;
      if (!XQueryTree(display_, inner, &rootReturn, &parent, &children, &count)) return false;
      if (children) XFree(children);
      if (parent == outer) return true;
      inner = parent;
    }
    return false;
  }

  void sendKey(Window w, KeyCode code, int type) {
    XEvent event{};
    event.xkey.type = type;
    event.xkey.display = display_;
    event.xkey.window = w;
    event.xkey.root = root_;
    event.xkey.time = CurrentTime;
    event.xkey.x = event.xkey.y = 1;
    event.xkey.same_screen = True;
    event.xkey.keycode = code;
    XSendEvent(display_, w, True, type == KeyPress ? KeyPressMask : KeyReleaseMask, &event);
  }

  Display* display_;
  Window root_;
  Window own_ = None;
  bool haveXTest_ = false;
  std::chrono::steady_clock::time_point start_;
  std::set<Window> modalOwners_;
  std::set<unsigned> strokes_;  // keys whose key-down was a whole keystroke

  Atom netSupported_, netSupportingWmCheck_, netClientList_, netClientListStacking_,
      netCloseWindow_, netActiveWindow_, netWmName_, netWmState_, netWmStateModal_,
      netWmWindowType_, netWmWindowTypeDialog_, netWmWindowTypeDesktop_, netWmWindowTypeDock_,
      wmState_, wmProtocols_, wmDeleteWindow_, utf8String_;
};

}  // namespace

std::unique_ptr<WindowSystem> openX11WindowSystem(const char* displayName) {
  Display* display = XOpenDisplay(displayName);
  if (!display) return nullptr;
  return std::make_unique<X11WindowSystem>(display);
}

}  // namespace winsweep
