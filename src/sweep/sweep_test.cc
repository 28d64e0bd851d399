#include "sweep/sweep.h"

#include <gtest/gtest.h>

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

// Lets the applications see what the sweep posts.
void wire(FakeWindowSystem& fake, std::vector<App*> apps) {
  fake.onPost = [apps](const Post& p) {
    for (App* app : apps) app->handle(p);
  };
}

TEST(SweepTest, SendsTheCloseCommandOnlyToOrdinaryApplicationWindows) {
  FakeWindowSystem fake;
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
      // The never-closed classes, in any case, and the shell's by prefix.
      {{.title = "Command Prompt", .cls = "consolewindowclass"}, false},
      {{.title = "taskbar", .cls = "Shell_TrayWnd"}, false},
      {{.title = "desktop view", .cls = "SHELLDLL_DefView"}, false},
  };
  std::vector<WindowId> ids;
  for (const Case& c : cases) ids.push_back(fake.open(c.window));

  runSweep(fake);

  std::vector<WindowId> closed;
  for (const Post& p : fake.posts) {
    if (p.kind == PostKind::kCloseCommand) closed.push_back(p.to);
  }
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(std::count(closed.begin(), closed.end(), ids[i]), cases[i].closed ? 1 : 0)
        << cases[i].window.title;
  }
  EXPECT_EQ(std::count(closed.begin(), closed.end(), service), 0);
}

TEST(SweepTest, APromptGetsYOnItsButtonThenEnterWithTheKeyDataOfARealKeyboard) {
  FakeWindowSystem fake;
  App app(fake, "editor");
  wire(fake, {&app});

  runSweep(fake);

  EXPECT_TRUE(app.saved && app.exited);
  std::vector<std::string> seen;
  for (const Post& p : fake.posts) {
    const char* to = p.to == app.main ? "main" : p.to == app.button ? "button" : "prompt";
    if (p.kind != PostKind::kActivate) {
      seen.push_back(std::to_string(p.at) + " " + to + " " + std::to_string(p.key) + " " +
                     std::to_string(p.data));
    }
  }
  const std::vector<std::string> expected = {
      "0 main 0 0",                  // the close command
      "1200 main 0 0",               // to the foreground
      "2400 button 89 135593985",    // Y down, 0x08150001
      "4000 prompt 0 0",             // to the foreground
      "4000 prompt 13 136052737",    // Enter down, 0x081C0001
      "4000 prompt 13 3357278209",   // Enter up, 0xC81C0001
      "4000 prompt 0 0",
  };
  EXPECT_EQ(seen, expected);
}

TEST(SweepTest, ASecondDifferentPromptGetsOneChanceBeforeTheApplicationIsGivenUp) {
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

TEST(SweepTest, TheSeenListHoldsTwoHundredAndOneDialogsAndAFullListEndsTheSweep) {
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
    wire(fresh, {&app, &next});
    for (int i = 0; i < c.openDialogs; ++i) fresh.open({.title = "tool", .cls = "Palette", .popup = true});

    runSweep(fresh);

    EXPECT_EQ(app.answers, c.answers) << c.openDialogs;
    EXPECT_EQ(next.exited, c.nextClosed) << c.openDialogs;
  }
}

TEST(SweepTest, BackgroundToolsAreToldFirstAndAnEmptyDesktopTakesNoTime) {
  FakeWindowSystem fake;
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
