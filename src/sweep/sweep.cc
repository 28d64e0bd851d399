#include "sweep/sweep.h"

#include <cstring>

#include "sweep/text.h"

namespace winsweep {

namespace {

constexpr char kServiceTitle[] = "Power Device Service";
constexpr char kSiblingTitle[] = "Pellar Service";
constexpr char kSystemDialogClass[] = "#32770";

// Waits of the closing routine, in milliseconds: after the close command and
// again after bringing the window forward; how long a prompt may take to
// appear; after the Y key; for a second, different prompt to go away.
constexpr int kAfterCloseMs = 1200;
constexpr int kPromptDeadlineMs = 2000;
constexpr int kPromptPollMs = 10;
constexpr int kAfterYMs = 1600;
constexpr int kSecondPromptMs = 2000;

class Sweep {
 public:
  explicit Sweep(WindowSystem& windows) : windows_(windows) {}

  void run() {
    own_ = windows_.ownWindow();
    service_ = windows_.findByTitle(kServiceTitle);
    sibling_ = windows_.findByTitle(kSiblingTitle);
    stopBackgroundTools();
    // Dialogs open before the sweep belong to the user, not to the sweep:
    // they are never answered.
    for (WindowId w : windows_.topLevelWindows()) {
      if (isDialogCandidate(w) && !remember(w)) return;
    }
    windows_.activate(own_);
    for (WindowId w : windows_.topLevelWindows()) {
      if (!close(w)) return;
    }
  }

 private:
  // An anti-virus monitor is told to stand down and a Visual Basic host
  // window to close, so that neither holds up the applications after it.
  void stopBackgroundTools() {
    if (WindowId av = windows_.findByClass("NAVAP Wnd Class")) {
      windows_.postRegisteredMessage(av, "Navw32NavApWComm", 2, 0);
    }
    if (WindowId vb = windows_.findByClass("ThunderRT5Main")) {
      windows_.postClose(vb);
      windows_.wait(5000);
    }
  }

  bool isDialogCandidate(WindowId w) {
    if (!windows_.isVisible(w) || !windows_.isEnabled(w)) return false;
    if (windows_.isPopup(w)) return true;
    char cls[kTextSize];
    windows_.className(w, cls, sizeof cls);
    return equalsIgnoringCase(cls, kSystemDialogClass);
  }

  bool isSeen(WindowId w) const {
    for (int i = 0; i < seenCount_; ++i) {
      if (seen_[i] == w) return true;
    }
    return false;
  }

  // False when the list is full.
  bool remember(WindowId w) {
    if (seenCount_ == kSeenCapacity) return false;
    seen_[seenCount_++] = w;
    return true;
  }

  bool isLeftAlone(WindowId w) {
    if (w == own_) return true;
    for (WindowId keep : {service_, sibling_}) {
      if (keep && (w == keep || windows_.belongsTo(w, keep))) return true;
    }
    if (!windows_.isVisible(w) || !windows_.isEnabled(w) || windows_.isPopup(w)) return true;
    if (windows_.isDesktopPart(w)) return true;
    char cls[kTextSize];
    windows_.className(w, cls, sizeof cls);
    return isNeverClosedClass(cls);
  }

  enum class Found { kDialog, kNone, kListFull };

  // Looks for a dialog that appeared since the sweep began, for up to the
  // prompt deadline or until w goes away.
  Found awaitNewDialog(WindowId w, WindowId* dialog) {
    const std::int64_t deadline = windows_.milliseconds() + kPromptDeadlineMs;
    for (;;) {
      for (WindowId d : windows_.topLevelWindows()) {
        if (isSeen(d) || !isDialogCandidate(d)) continue;
        if (!remember(d)) return Found::kListFull;
        *dialog = d;
        return Found::kDialog;
      }
      if (!windows_.exists(w) || windows_.milliseconds() >= deadline) return Found::kNone;
      windows_.wait(kPromptPollMs);
    }
  }

  // The closing routine for one top-level window; false ends the sweep.
  bool close(WindowId w) {
    if (isLeftAlone(w)) return true;
    windows_.postCloseCommand(w);
    windows_.wait(kAfterCloseMs);
    windows_.setForeground(w);
    windows_.wait(kAfterCloseMs);

    // An application may ask the same question several times (one document
    // after the other); a different question after an answer (say "really
    // quit without saving?") gets one chance to go away before the
    // application is given up.
    bool firstPrompt = true;
    int prompts = 0;
    char reference[kTextSize] = "";
    while (windows_.exists(w)) {
      WindowId d = 0;
      switch (awaitNewDialog(w, &d)) {
        case Found::kListFull: return false;
        case Found::kNone: return true;
        case Found::kDialog: break;
      }
      char title[kTextSize];
      windows_.title(d, title, sizeof title);
      if (firstPrompt) {
        std::memcpy(reference, title, sizeof reference);
      } else if (equalsIgnoringCase(title, reference)) {
        firstPrompt = true;
      }
      if (++prompts == kPromptLimit) return true;

      if (WindowId button = windows_.findChild(d, "Button")) {
        windows_.postKeyDown(button, kKeyY, kKeyDataYDown);
      }
      windows_.wait(kAfterYMs);
      if (windows_.exists(d)) {
        windows_.setForeground(d);
        windows_.postKeyDown(d, kKeyEnter, kKeyDataEnterDown);
        windows_.postKeyUp(d, kKeyEnter, kKeyDataEnterUp);
        windows_.setForeground(d);
      }
      if (!firstPrompt) {
        windows_.wait(kSecondPromptMs);
        char appTitle[kTextSize];
        windows_.title(w, appTitle, sizeof appTitle);
        if (windows_.exists(d) || std::strstr(appTitle, "PowerPoint")) return true;
      }
      firstPrompt = false;
    }
    return true;
  }

  WindowSystem& windows_;
  WindowId own_ = 0;
  WindowId service_ = 0;
  WindowId sibling_ = 0;
  WindowId seen_[kSeenCapacity] = {};
  int seenCount_ = 0;
};

}  // namespace

void runSweep(WindowSystem& windows) { Sweep(windows).run(); }

}  // namespace winsweep
