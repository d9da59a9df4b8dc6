// Each kind of window of the real program under a window manager, as a user meets it, on an X
// server of its own under openbox and under metacity (scripts/wm.sh; scripts/wm_table.sh runs the
// same checks under mutter, xfwm4 and icewm too). For the main window, the status window, a
// message box, a dialog, a file chooser and the wait dialog of a run: the type and the owner the
// window tells the manager; that the manager frames it with its title bar; that after a click on
// the main window it is above the main window and the keyboard is where it belongs; that its title
// bar moves it; and that, minimised, it is back above the main window, with the keyboard, once the
// main window is activated (as its taskbar entry or Alt+Tab does). Escape in the wait dialog ends
// the run. Every key and click is a real one (xdotool). Each window's findings are one line of the
// table that scripts/wm_table.sh prints ("wm-table | manager | window | ...").
#include <algorithm>
#include <cstdio>
#include <functional>
#include <sstream>

#include "app/newview/gui_run_fixture.h"
#include "app/shell/own_display.h"

namespace {

using namespace guirun;

// One kind of window: how the user opens it from the main window and closes it again.
struct SKind {
  const char* row;    // its name in the table
  const char* title;  // its title, an extended regular expression
  const char* type;   // the one type it tells the window manager
  bool modal;         // said to be modal; it keeps the keyboard after a click on the main window
  bool owned;         // transient for the main window
  std::function<bool()> open, close;
};

class ManagedWindows : public GuiRunTest {
 protected:
  // The findings of one window, each "yes", "no", "-" (not asked of this window) or, for the
  // minimise, "kept" (the manager did not minimise it).
  struct SRow {
    std::string typed, framed, above, keys, moved, back;
  };

  void Round();
  void Check(const SKind& k, const std::string& w);
  // Clicks the main window where neither `w` nor the status window covers it.
  void ClickMain(const std::string& w);
  bool Above(const std::string& w) const { return StackPlace(w) > StackPlace(main_) && StackPlace(main_) >= 0; }
  std::string MovedByTitle(const std::string& w);
  std::string BackAfterMinimise(const SKind& k, const std::string& w);
  void Expect(const std::string& cell, const char* what, const SKind& k, const char* also = "") {
    EXPECT_TRUE(cell == "yes" || cell == "-" || cell == also) << k.row << ": " << what << " is " << cell;
  }

  std::string manager_ = std::getenv("QAV_WINDOW_MANAGER") != nullptr ? std::getenv("QAV_WINDOW_MANAGER") : "";
  std::string main_, status_;
};

void ManagedWindows::ClickMain(const std::string& w) {
  const SPlace m = Where(main_), over = w != main_ ? Framed(w) : SPlace(), status = Framed(status_);
  for (const auto& [x, y] : {std::pair{m.x + m.w - 12, m.y + m.h - 12}, {m.x + 12, m.y + m.h - 12}, {m.x + m.w - 12, m.y + 60}})
    if (!over.Contains(x, y) && !status.Contains(x, y)) {
      Shell("timeout 10 xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1; sleep 1");
      return;
    }
}

// The title bar dragged by the mouse, in small steps as a hand moves it.
std::string ManagedWindows::MovedByTitle(const std::string& w) {
  const std::vector<int> frame = FrameExtents(w);
  if (frame.empty() || frame[2] < 8) return "no";
  const SPlace before = Where(w);
  const int x = before.x + before.w / 3, y = before.y - frame[2] / 2;
  std::string drag = "timeout 20 xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " sleep 0.3 mousedown 1";
  for (int step = 1; step <= 8; ++step)
    drag += " sleep 0.05 mousemove " + std::to_string(x + 10 * step) + " " + std::to_string(y + 6 * step);
  Shell(drag + " sleep 0.3 mouseup 1");
  bool moved = Within(3, [&] {
    const SPlace after = Where(w);
    return std::abs(after.x - before.x - 80) <= 4 && std::abs(after.y - before.y - 48) <= 4;
  });
  return moved ? "yes" : "no";
}

// Minimised (as its own minimise button does, where the manager offers one), then the main window
// activated: the window is back, above the main window, and the keyboard is where it belongs. A
// dialog also goes and comes back with the main window, minimised and activated. The main window
// and the status window: the main window minimised. "kept" where the manager did not minimise the
// dialog itself.
std::string ManagedWindows::BackAfterMinimise(const SKind& k, const std::string& w) {
  const bool dialog = k.owned && k.type != std::string("_NET_WM_WINDOW_TYPE_UTILITY");
  const std::string keys = k.modal || std::string(k.row) == "wait dialog" ? w : main_;
  bool minimisedItself = false;
  for (const std::string& minimised : dialog ? std::vector<std::string>{w, main_} : std::vector<std::string>{main_}) {
    Shell("timeout 10 xdotool windowminimize " + minimised);
    const bool gone = Within(5, [&] { return !Viewable(minimised); });
    if (minimised == w) minimisedItself = gone;
    Shell("timeout 10 xdotool windowactivate " + main_ + " 2>/dev/null");
    if (!Within(15, [&] { return Viewable(w) && Viewable(main_) && (w == main_ || Above(w)) && FocusedWindow() == keys; })) {
      std::printf("%s minimised (%d): %s viewable %d, main %d, above %d, focus %s (want %s)\n", minimised.c_str(), gone, w.c_str(),
                  Viewable(w), Viewable(main_), Above(w), FocusedWindow().c_str(), keys.c_str());
      return "no";
    }
  }
  return dialog && !minimisedItself ? "kept" : "yes";
}

void ManagedWindows::Check(const SKind& k, const std::string& w) {
  SRow r;
  const bool isMain = w == main_;
  const std::string type = Property(w, "_NET_WM_WINDOW_TYPE"), state = Property(w, "_NET_WM_STATE");
  const bool typed = type.ends_with("= " + std::string(k.type)) && (state.find("_MODAL") != std::string::npos) == k.modal &&
                     (TransientFor(w) == (k.owned ? main_ : ""));
  r.typed = typed ? "yes" : "no";
  EXPECT_TRUE(typed) << k.row << ": " << type << "; " << state << "; transient for " << TransientFor(w) << ", not " << main_;
  // Framed with its title bar; the main window maximised, not full screen.
  std::vector<int> frame;
  Within(5, [&] { return !(frame = FrameExtents(w)).empty() && frame[2] > 0; });
  bool framed = !frame.empty() && frame[2] >= 8 && !Output("timeout 10 xdotool getwindowname " + w).empty();
  if (isMain)
    framed = framed && state.find("_MAXIMIZED_VERT") != std::string::npos && state.find("_MAXIMIZED_HORZ") != std::string::npos &&
             state.find("_FULLSCREEN") == std::string::npos;
  r.framed = framed ? "yes" : "no";
  if (const char* shots = std::getenv("QAV_SHOTS")) {
    std::string name = manager_ + "_" + k.row;
    std::replace(name.begin(), name.end(), ' ', '_');
    Shell(std::string("timeout 15 import -window root ") + shots + "/" + name + ".png");
  }
  ClickMain(w);
  r.above = isMain ? "-" : Above(w) ? "yes" : "no";
  const std::string keys = k.modal || std::string(k.row) == "wait dialog" ? w : main_;
  r.keys = Within(5, [&] { return FocusedWindow() == keys; }) ? "yes" : "no";
  r.moved = isMain ? "-" : MovedByTitle(w);
  r.back = BackAfterMinimise(k, w);
  std::printf("wm-table | %s | %s | %s | %s | %s | %s | %s | %s\n", manager_.c_str(), k.row, r.typed.c_str(), r.framed.c_str(),
              r.above.c_str(), r.keys.c_str(), r.moved.c_str(), r.back.c_str());
  std::fflush(stdout);
  Expect(r.framed, "framed with its title", k);
  Expect(r.above, "above the main window after a click on it", k);
  Expect(r.keys, "the keyboard where it belongs after a click on the main window", k);
  Expect(r.moved, "moved by its title", k);
  Expect(r.back, "back after minimise", k, "kept");
}

// Every kind of window in turn, under the manager of the display the test runs on.
void ManagedWindows::Round() {
  // A run long enough to check its wait dialog, on a fast machine too: a year of days.
  AppTempFolder folder;
  const std::string report = folder / "report.txt";
  ASSERT_TRUE(WriteLongRun(folder, 364, report));
  ASSERT_TRUE(Start(folder / "config"));
  main_ = Output("xdotool search --onlyvisible --name '^QAV$' | head -1");
  status_ = Output("xdotool search --onlyvisible --name '^Status Messages$' | head -1");
  ASSERT_FALSE(main_.empty());
  ASSERT_FALSE(status_.empty());
  SForm f;
  auto keys = [&](const std::string& k) {
    ClickMain(main_);
    return Shell("timeout 10 xdotool key --delay 300 " + k);
  };
  auto click = [&](int x, int y) { return Shell("timeout 10 xdotool mousemove --window " + main_ + " " + f.At(x, y) + " click 1"); };
  auto typeInto = [&](const std::string& text) { return Shell("timeout 20 xdotool key ctrl+a type --delay 20 '" + text + "'"); };
  auto gone = [](const char* title) {
    return Within(20, [&] { return ShownWindows(title).empty(); });
  };
  const char* wait = "^(Working|Loading Input Data|Sorting data|Outputting Reports|Shutting Down)";
  const SKind kinds[] = {
      {"main window", "^QAV$", "_NET_WM_WINDOW_TYPE_NORMAL", false, false, [] { return true; }, [] { return true; }},
      {"status window", "^Status Messages$", "_NET_WM_WINDOW_TYPE_UTILITY", false, true, [] { return true; }, [] { return true; }},
      {"message box", "^QAV$", "_NET_WM_WINDOW_TYPE_DIALOG", true, true, [&] { return keys("alt+h h"); },
       [&] { return Shell("timeout 10 xdotool key Return") && Within(20, [&] { return ShownWindows("^QAV$").size() == 1; }); }},
      {"dialog", "^Select Dates$", "_NET_WM_WINDOW_TYPE_DIALOG", true, true, [&] { return click(222 + 35, 216 + 7); },
       [&] { return Shell("timeout 10 xdotool key Escape") && gone("^Select Dates$"); }},
      // The chooser reads the design of the run.
      {"file chooser", "^Open$", "_NET_WM_WINDOW_TYPE_DIALOG", true, true, [&] { return keys("alt+f r"); },
       [&] {
         typeInto((folder / "design.nfg"));
         Shell("timeout 10 xdotool key Return");
         if (!Within(3, [] { return ShownWindows("^Open$").empty(); })) Shell("timeout 10 xdotool key Return");
         return gone("^Open$");
       }},
      // Escape ends the run: the dialog goes once the run has stopped, and no report is left.
      // Produce Report(s), clicked again when a busy machine lost the click.
      {"wait dialog", wait, "_NET_WM_WINDOW_TYPE_DIALOG", false, true,
       [&] { return click(7 + 103, 333 + 10) && (Within(15, [&] { return !ShownWindows(wait).empty(); }) || click(7 + 103, 333 + 10)); },
       [&] { return Shell("timeout 10 xdotool key Escape") && Within(60, [&] { return ShownWindows(wait).empty(); }); }},
  };
  for (const SKind& k : kinds) {
    SCOPED_TRACE(k.row);
    ASSERT_TRUE(k.open()) << "could not open";
    std::string w;
    Within(60, [&] {
      for (const std::string& shown : ShownWindows(k.title))
        if ((shown != main_ || k.row == std::string("main window")) && (shown != status_ || k.row == std::string("status window")))
          w = shown;
      return !w.empty();
    });
    if (w.empty() && std::getenv("QAV_SHOTS") != nullptr)
      Shell(std::string("timeout 15 import -window root ") + std::getenv("QAV_SHOTS") + "/" + manager_ + "_missing.png");
    ASSERT_FALSE(w.empty()) << "did not show";
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    Check(k, w);
    ASSERT_TRUE(k.close()) << "did not close";
  }
  EXPECT_FALSE(std::filesystem::exists(report)) << "Escape did not end the run";
  EXPECT_TRUE(Within(5, [&] { return FocusedWindow() == main_; })) << "after the run, " << FocusedWindow() << " has the keyboard";
}

TEST_F(ManagedWindows, UnderOpenbox) {
  if (RunOnOwnDisplay(EDesktop::Openbox)) Round();
}

TEST_F(ManagedWindows, UnderMetacity) {
  if (RunOnOwnDisplay(EDesktop::Metacity)) Round();
}

// The round under whichever manager runs on the test's display: scripts/wm_table.sh runs it under
// each of five.
TEST_F(ManagedWindows, UnderTheManagerOfTheDisplay) {
  if (std::getenv("QAV_XVFB_INNER") == nullptr || manager_.empty()) GTEST_SKIP() << "scripts/wm_table.sh runs it";
  Round();
}

}  // namespace
