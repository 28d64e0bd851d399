#include "sweep/sweep.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "sweep/fake_window_system.h"

namespace winsweep {
namespace {

// An editor with unsaved work. Asked to close, it shows prompt titles[0]
// after 300 ms; Y on the prompt's button chooses Yes, Enter on the prompt
// answers it. After the last title it saves (when Yes was chosen) and exits;
// with `forever` it asks titles[0] again and again. A prompt marked `sticky`
// ignores every key.
struct App {
  FakeWindowSystem& fake;
  WindowId main;
  std::vector<std::string> titles = {"Save changes?"};
  bool forever = false;
  bool sticky = false;
  bool saved = false;
  bool exited = false;
  int answers = 0;
  size_t next = 0;
  WindowId prompt = 0, button = 0;
  bool yes = false;

  App(FakeWindowSystem& f, const std::string& title) : fake(f) {
    main = fake.open({.title = title, .cls = "Editor"});
  }

  void ask() {
    prompt = fake.open({.title = titles[next], .cls = "#32770", .popup = true, .owner = main});
    button = fake.open({.title = "&Yes", .cls = "Button", .owner = prompt, .child = true});
    fake.window(main).enabled = false;
    yes = false;
  }

  void handle(const Post& p) {
    if (p.to == main && p.kind == PostKind::kCloseCommand) fake.after(300, [this] { ask(); });
    if (p.to == button && p.kind == PostKind::kKeyDown && p.key == kKeyY) yes = true;
    if (p.to != prompt || p.kind != PostKind::kKeyDown || p.key != kKeyEnter) return;
    if (sticky && next > 0) return;
    ++answers;
    fake.destroy(prompt);
    fake.window(main).enabled = true;
    if (forever || ++next < titles.size()) {
      fake.after(100, [this] { ask(); });
    } else {
      saved = yes;
      fake.after(100, [this] { exited = true; fake.destroy(main); });
    }
  }
};

class SweepTest : public ::testing::Test {
 protected:
  SweepTest() {
    fake.onPost = [this](const Post& p) {
      for (auto& app : apps) app->handle(p);
    };
  }

  App& addApp(const std::string& title) {
    apps.push_back(std::make_unique<App>(fake, title));
    return *apps.back();
  }

  std::vector<WindowId> postedTo(PostKind kind) {
    std::vector<WindowId> to;
    for (const Post& p : fake.posts) {
      if (p.kind == kind) to.push_back(p.to);
    }
    return to;
  }

  FakeWindowSystem fake;
  std::vector<std::unique_ptr<App>> apps;
};

TEST_F(SweepTest, SendsTheCloseCommandOnlyToOrdinaryApplicationWindows) {
  WindowId service = fake.open({.title = "Power Device Service", .cls = "#32770"});
  WindowId sibling = fake.open({.title = "Pellar Service", .cls = "Afx:400000"});
  struct Case {
    FakeWindow window;
    bool closed;
  } cases[] = {
      {{.title = "Report.txt - Notepad", .cls = "Notepad"}, true},
      {{.title = "minimised or not", .cls = "Lowercase#32770"}, true},
      {{.title = "owned by the service", .cls = "Notepad", .owner = service}, false},
      {{.title = "owned by the sibling", .cls = "Notepad", .owner = sibling}, false},
      {{.title = "hidden", .cls = "Notepad", .visible = false}, false},
      {{.title = "disabled", .cls = "Notepad", .enabled = false}, false},
      {{.title = "pop-up", .cls = "Notepad", .popup = true}, false},
      {{.title = "panel", .cls = "Notepad", .desktopPart = true}, false},
      {{.title = "Command Prompt", .cls = "consolewindowclass"}, false},
      {{.title = "Program Manager", .cls = "Progman"}, false},
      {{.title = "taskbar", .cls = "Shell_TrayWnd"}, false},
      {{.title = "desktop view", .cls = "SHELLDLL_DefView"}, false},
      {{.title = "terminal", .cls = "XTerm"}, false},
      {{.title = "task switcher", .cls = "#32772"}, false},
      {{.title = "16-bit host", .cls = "WOWExecClass"}, false},
  };
  std::vector<WindowId> ids;
  for (const Case& c : cases) ids.push_back(fake.open(c.window));

  runSweep(fake);

  const auto closed = postedTo(PostKind::kCloseCommand);
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(std::count(closed.begin(), closed.end(), ids[i]), cases[i].closed ? 1 : 0)
        << cases[i].window.title;
  }
  EXPECT_EQ(std::count(closed.begin(), closed.end(), service), 0);
  EXPECT_EQ(std::count(closed.begin(), closed.end(), sibling), 0);
}

TEST_F(SweepTest, AnswersEachSavePromptWithYThenEnterSoEveryApplicationSaves) {
  addApp("one");
  addApp("two");
  App& top = addApp("three");

  runSweep(fake);

  for (auto& app : apps) {
    EXPECT_TRUE(app->saved && app->exited);
    EXPECT_EQ(app->answers, 1);
  }
  // What the topmost application saw, in order, with the key data a
  // real keyboard would give.
  std::vector<std::string> seen;
  for (const Post& p : fake.posts) {
    if (p.to != top.main && p.to != top.button && p.to != top.prompt) continue;
    seen.push_back(std::to_string(p.at) + " " + std::to_string(static_cast<int>(p.kind)) + " " +
                   std::to_string(p.key) + " " + std::to_string(p.data));
  }
  const std::vector<std::string> expected = {
      "0 2 0 0",                  // close command
      "1200 5 0 0",               // foreground
      "2400 3 89 135593985",      // Y down to the button, 0x08150001
      "4000 5 0 0",               // prompt to the foreground
      "4000 3 13 136052737",      // Enter down, 0x081C0001
      "4000 4 13 3357278209",     // Enter up, 0xC81C0001
      "4000 5 0 0",
  };
  EXPECT_EQ(seen, expected);
}

TEST_F(SweepTest, ARepeatedPromptIsCountedTwelveTimesAndThenTheApplicationIsLeft) {
  App& after = addApp("after");
  App& stubborn = addApp("stubborn");  // opened last: on top, handled first
  stubborn.forever = true;

  runSweep(fake);

  // The twelfth prompt is counted but no longer answered.
  EXPECT_EQ(stubborn.answers, kPromptLimit - 1);
  EXPECT_FALSE(stubborn.exited);
  EXPECT_TRUE(after.saved);
}

TEST_F(SweepTest, ADialogOpenBeforeTheSweepIsNeverAnswered) {
  App& app = addApp("editor");
  WindowId find = fake.open({.title = "Find", .cls = "#32770", .popup = true, .owner = app.main});
  WindowId findButton = fake.open({.title = "&Next", .cls = "Button", .owner = find, .child = true});
  // A modal prompt that was already up: its application takes no input.
  App& busy = addApp("busy");
  busy.ask();

  runSweep(fake);

  EXPECT_TRUE(app.saved);
  EXPECT_EQ(busy.answers, 0);
  for (const Post& p : fake.posts) {
    EXPECT_TRUE(p.to != find && p.to != findButton && p.to != busy.prompt && p.to != busy.button)
        << "post " << static_cast<int>(p.kind) << " to an old dialog";
  }
}

TEST_F(SweepTest, ASecondDifferentPromptGetsOneChanceBeforeTheApplicationIsGivenUp) {
  struct Case {
    const char* title;
    bool sticky;
    int answers;  // prompts answered of three before the sweep moves on
  } cases[] = {
      {"editor", false, 3},                   // the second prompt went away
      {"editor", true, 1},                    // it stayed: given up
      {"Slides - PowerPoint", false, 2},      // PowerPoint is given up after it anyway
  };
  for (const Case& c : cases) {
    FakeWindowSystem fresh;
    App next(fresh, "next");
    App app(fresh, c.title);  // on top
    app.titles = {"Save changes?", "Really quit?", "Save layout?"};
    app.sticky = c.sticky;
    int answersWhenLeft = -1;
    fresh.onPost = [&](const Post& p) {
      if (p.to == next.main && p.kind == PostKind::kCloseCommand) answersWhenLeft = app.answers;
      app.handle(p);
      next.handle(p);
    };

    runSweep(fresh);

    EXPECT_EQ(answersWhenLeft, c.answers) << c.title << (c.sticky ? " sticky" : "");
    EXPECT_TRUE(next.saved) << c.title;  // the sweep went on to the next one
  }
}

TEST_F(SweepTest, TheSeenListHoldsTwoHundredAndOneDialogsAndAFullListEndsTheSweep) {
  struct Case {
    int openDialogs;
    bool forever;  // the application asks again and again
    int answers;
    bool nextClosed;
  } cases[] = {
      {201, false, 0, false},  // the list is full: its first prompt cannot be added
      {199, false, 1, true},
      {202, false, 0, false},  // overflow before any close command
      {195, true, 6, false},   // six prompts fit, the seventh overflows
  };
  for (const Case& c : cases) {
    FakeWindowSystem fresh;
    App next(fresh, "next");
    App app(fresh, "editor");
    app.forever = c.forever;
    fresh.onPost = [&](const Post& p) {
      app.handle(p);
      next.handle(p);
    };
    for (int i = 0; i < c.openDialogs; ++i) fresh.open({.title = "tool", .cls = "Palette", .popup = true});

    runSweep(fresh);

    EXPECT_EQ(app.answers, c.answers) << c.openDialogs;
    EXPECT_EQ(next.exited, c.nextClosed) << c.openDialogs;
  }
}

TEST_F(SweepTest, BackgroundToolsAreToldFirstAndAnEmptyDesktopTakesNoTime) {
  runSweep(fake);
  EXPECT_EQ(fake.milliseconds(), 0);
  EXPECT_TRUE(fake.posts.size() == 1 && fake.posts[0].kind == PostKind::kActivate);

  FakeWindowSystem tools;
  WindowId av = tools.open({.title = "", .cls = "NAVAP Wnd Class", .visible = false});
  WindowId vb = tools.open({.title = "", .cls = "ThunderRT5Main", .visible = false});
  runSweep(tools);
  ASSERT_EQ(tools.posts.size(), 3u);
  EXPECT_TRUE(tools.posts[0].kind == PostKind::kRegistered && tools.posts[0].to == av &&
              tools.posts[0].data == 2 && tools.posts[0].key == 0);
  EXPECT_TRUE(tools.posts[1].kind == PostKind::kClose && tools.posts[1].to == vb);
  EXPECT_EQ(tools.posts[2].at, 5000);
}

}  // namespace
}  // namespace winsweep
