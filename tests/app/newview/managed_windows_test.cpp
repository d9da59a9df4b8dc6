// Each kind of window of the real program under a window manager, on an X server of its own under
// openbox and under metacity (scripts/wm_table.sh runs the round under mutter, xfwm4 and icewm too),
// with real keys and clicks (xdotool). For the main window, the status window, a message box, a
// dialog, a file chooser and the wait dialog of a run, one line of the table that wm_table.sh prints
// ("wm-table | manager | window | typed | framed | above | keys | moved | back").
#include <algorithm>
#include <cstdio>
#include <functional>

#include "app/newview/gui_run_fixture.h"

namespace {

using namespace guirun;

// One kind of window: how the user opens it from the main window and closes it again.
struct SKind {
  const char* row;    // its name in the table
  const char* title;  // its title, an extended regular expression
  const char* type;   // the one type it tells the window manager
  bool modal;         // said to be modal
  bool owned;         // transient for the main window
  // Sent once what they go to is ready for them; `open` true once the window shows (the probe it
  // is given), `close` once the window `w` has gone.
  std::function<bool(const std::function<bool()>& shown)> open;
  std::function<bool(const std::string& w)> close;
};

class ManagedWindows : public GuiRunTest {
 protected:
  void Round();
  // Clicks the main window where neither `w` nor the status window covers it.
  void ClickMain(const std::string& w);
  bool Above(const std::string& w) const { return StackPlace(w) > StackPlace(main_) && StackPlace(main_) >= 0; }
  std::string MovedByTitle(const std::string& w);
  std::string BackAfterMinimise(const SKind& k, const std::string& w, const std::string& keys);
  void Shot(const std::string& name) const {
    if (const char* shots = std::getenv("QAV_SHOTS"))
      Shell("timeout 15 import -window root " + std::string(shots) + "/" + manager_ + "_" + name + ".png");
  }

  std::string manager_ = std::getenv("QAV_WINDOW_MANAGER") != nullptr ? std::getenv("QAV_WINDOW_MANAGER") : "";
  std::string main_, status_;
};

void ManagedWindows::ClickMain(const std::string& w) {
  const SPlace m = Where(main_), over = w != main_ ? Framed(w) : SPlace(), status = Framed(status_);
  for (const auto& [x, y] : {std::pair{m.x + m.w - 12, m.y + m.h - 12}, {m.x + 12, m.y + m.h - 12}, {m.x + m.w - 12, m.y + 60}})
    if (!over.Contains(x, y) && !status.Contains(x, y)) {
      Shell("timeout 10 xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1; " + Pause(1));
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
  return Within(3, [&] {
           const SPlace after = Where(w);
           return std::abs(after.x - before.x - 80) <= 4 && std::abs(after.y - before.y - 48) <= 4;
         })
             ? "yes"
             : "no";
}

// Minimised (as its own minimise button does), then the main window activated (as its taskbar
// entry or Alt+Tab does): the window is back above the main window, with the keyboard where it
// belongs. A dialog is also minimised with the main window; the main and the status window only
// that way. "kept" where the manager did not minimise the dialog itself.
std::string ManagedWindows::BackAfterMinimise(const SKind& k, const std::string& w, const std::string& keys) {
  const bool dialog = k.owned && k.type != std::string("_NET_WM_WINDOW_TYPE_UTILITY");
  bool minimisedItself = false;
  for (const std::string& minimised : dialog ? std::vector<std::string>{w, main_} : std::vector<std::string>{main_}) {
    Shell("timeout 10 xdotool windowminimize " + minimised);
    const bool gone = Within(5, [&] { return Minimised(minimised); });
    if (minimised == w) minimisedItself = gone;
    Shell("timeout 10 xdotool windowactivate " + main_ + " 2>/dev/null");
    auto back = [&](const std::string& x) { return Viewable(x) && !Minimised(x); };
    if (!Within(15, [&] { return back(w) && back(main_) && (w == main_ || Above(w)) && FocusedWindow() == keys; })) {
      std::printf("%s minimised (%d): %s back %d, main %d, above %d, focus %s (want %s)\n", minimised.c_str(), gone, w.c_str(),
                  back(w), back(main_), Above(w), FocusedWindow().c_str(), keys.c_str());
      return "no";
    }
  }
  return dialog && !minimisedItself ? "kept" : "yes";
}

// Every kind of window in turn, under the manager of the display the test runs on.
void ManagedWindows::Round() {
  // A run of a few days, held after its first day's load while its wait dialog is checked.
  AppTempFolder folder;
  const std::string report = folder / "report.txt";
  ASSERT_TRUE(WriteLongRun(folder, 4, report));
  ASSERT_TRUE(xtest::kProgramHolds) << "the program is built without its test holds";
  const xtest::CHolds holds(folder.path());
  {
    // The start with the window manager held up (as a busy machine holds it up) until the program
    // has made its windows and asked for them, so that the manager takes them together.
    SManagerHeld manager;
    ASSERT_TRUE(manager.held) << "the window manager cannot be held up here";
    ASSERT_TRUE(Spawn(folder / "config"));
    auto made = [](const char* title) { return Shell(std::string("xdotool search --name '") + title + "' >/dev/null 2>&1"); };
    ASSERT_TRUE(Within(60, [&] { return made("^QAV$") && made("^Status Messages$"); })) << "the windows were not made";
    Settle(2);
  }
  ASSERT_TRUE(Started());
  main_ = MainWindow();
  status_ = Output("xdotool search --onlyvisible --name '^Status Messages$' | head -1");
  ASSERT_FALSE(main_.empty());
  ASSERT_FALSE(status_.empty());
  // Four seconds after the start, with no click, the main window has the keyboard, and the status
  // window is up above it.
  Settle(4);
  const std::string startFocus = FocusedWindow();
  const bool startKeys = startFocus == main_ && Above(status_);
  EXPECT_TRUE(startKeys) << "after the start, " << startFocus << " (" << Output("xdotool getwindowname " + startFocus)
                         << ") has the keyboard; the status window is " << (Above(status_) ? "above" : "below") << " the main window";
  TableLine("keyboard with the main window after start", startKeys);
  SForm f;
  // Keys typed into the main window once it has the keyboard, a click on it once it is shown with
  // the keyboard, a key into `w` once it has the keyboard (SendWhereReady).
  auto keys = [&](const std::string& k, const std::function<bool()>& shown) {
    ClickMain(main_);
    return SendWhereReady(
        k, [&] { return HasKeyboard(main_); }, [&] { Shell("timeout 10 xdotool key --delay 300 " + k); }, shown, 45);
  };
  auto click = [&](int x, int y, const std::function<bool()>& shown) { return ClickForm(main_, f.At(x, y), shown, 45); };
  auto keyInto = [&](const std::string& w, const std::string& k, const std::function<bool()>& done, int seconds = 20) {
    return SendWhereReady(
        k, [&] { return HasKeyboard(w); }, [&] { Shell("timeout 10 xdotool key " + k); }, done, seconds);
  };
  auto gone = [](const std::string& w, int seconds = 20) { return Within(seconds, [&] { return !Viewable(w); }); };
  auto none = [](const std::function<bool()>& shown) { return shown(); };
  auto stays = [](const std::string&) { return true; };
  const SKind kinds[] = {
      {"main window", "^QAV$", "_NET_WM_WINDOW_TYPE_NORMAL", false, false, none, stays},
      {"status window", "^Status Messages$", "_NET_WM_WINDOW_TYPE_UTILITY", false, true, none, stays},
      {"message box", "^QAV$", "_NET_WM_WINDOW_TYPE_DIALOG", true, true, [&](auto shown) { return keys("alt+h h", shown); },
       [&](const std::string& w) { return keyInto(w, "Return", [&] { return !Viewable(w); }); }},
      {"dialog", "^Select Dates$", "_NET_WM_WINDOW_TYPE_DIALOG", true, true,
       [&](auto shown) { return click(222 + 35, 216 + 7, shown); },
       [&](const std::string& w) { return keyInto(w, "Escape", [&] { return !Viewable(w); }); }},
      // The chooser reads the design of the run.
      {"file chooser", "^Open$", "_NET_WM_WINDOW_TYPE_DIALOG", true, true, [&](auto shown) { return keys("alt+f r", shown); },
       [&](const std::string& w) { return EnterPath(w, folder / "design.nfg"); }},
      // Produce Report(s), its run held after its first day. Escape ends the run: the wait dialog
      // says it is shutting down while the run is still held, and once let go the run stops, the
      // dialog goes, and no report is left.
      {"wait dialog", kWaitTitles, "_NET_WM_WINDOW_TYPE_DIALOG", false, true,
       [&](auto shown) {
         holds.Arm("load");
         return click(7 + 103, 333 + 10, shown) && holds.Held("load", 60);
       },
       [&](const std::string& w) {
         const bool told = keyInto(w, "Escape", [] { return !ShownWindows("^Shutting Down").empty(); });
         holds.Release("load");
         return told && gone(w, 60);
       }},
  };
  for (const SKind& k : kinds) {
    SCOPED_TRACE(k.row);
    std::string w;
    auto shown = [&] {
      for (const std::string& s : ShownWindows(k.title))
        if ((s != main_ || k.row == std::string("main window")) && (s != status_ || k.row == std::string("status window"))) w = s;
      return !w.empty();
    };
    const bool opened = k.open(shown);
    if (w.empty()) Shot("missing");
    ASSERT_TRUE(opened && !w.empty()) << "did not show";
    Settle(0.8);
    // Type and owner; framed with its title bar (the main window maximised, not full screen); above
    // the main window after a click on it, and the keyboard with it if it is modal or the wait
    // dialog, else with the main window; moved by its title; back after minimise.
    const bool isMain = w == main_;
    const std::string type = Property(w, "_NET_WM_WINDOW_TYPE"), state = Property(w, "_NET_WM_STATE");
    auto has = [&](const char* s) { return state.find(s) != std::string::npos; };
    auto yes = [](bool b) { return std::string(b ? "yes" : "no"); };
    const bool typed =
        type.ends_with("= " + std::string(k.type)) && has("_MODAL") == k.modal && TransientFor(w) == (k.owned ? main_ : "");
    EXPECT_TRUE(typed) << k.row << ": " << type << "; " << state << "; transient for " << TransientFor(w) << ", not " << main_;
    std::vector<int> frame;
    Within(5, [&] { return !(frame = FrameExtents(w)).empty() && frame[2] > 0; });
    const bool framed = !frame.empty() && frame[2] >= 8 && !Output("timeout 10 xdotool getwindowname " + w).empty() &&
                        (!isMain || (has("_MAXIMIZED_VERT") && has("_MAXIMIZED_HORZ") && !has("_FULLSCREEN")));
    std::string name = k.row;
    std::replace(name.begin(), name.end(), ' ', '_');
    Shot(name);
    ClickMain(w);
    const std::string keys = k.modal || std::string(k.row) == "wait dialog" ? w : main_;
    const std::pair<const char*, std::string> cells[] = {
        {"framed with its title", yes(framed)},
        {"above the main window after a click on it", isMain ? "-" : yes(Within(5, [&] { return Above(w); }))},
        {"the keyboard where it belongs after that click", yes(Within(5, [&] { return FocusedWindow() == keys; }))},
        {"moved by its title", isMain ? "-" : MovedByTitle(w)},
        {"back after minimise", BackAfterMinimise(k, w, keys)},
    };
    std::string row = "wm-table | " + manager_ + " | " + k.row + " | " + yes(typed);
    for (const auto& [what, cell] : cells) {
      row += " | " + cell;
      EXPECT_TRUE(cell == "yes" || cell == "-" || (cell == "kept" && what == cells[4].first))
          << k.row << ": " << what << " is " << cell;
    }
    std::printf("%s\n", row.c_str());
    std::fflush(stdout);
    ASSERT_TRUE(k.close(w)) << "did not close";
  }
  EXPECT_FALSE(std::filesystem::exists(report)) << "Escape did not end the run";
  EXPECT_EQ(BytesBeside(report), -1) << "a file was left beside the report";
  EXPECT_TRUE(Within(5, [&] { return FocusedWindow() == main_; })) << "after the run, " << FocusedWindow() << " has the keyboard";
}

// Under openbox and under metacity, each on an X server of its own; in scripts/wm_table.sh, under
// the manager of the display it runs on.
TEST_F(ManagedWindows, UnderTheManagerOfTheDisplay) {
  if (!RunOnOwnDisplay({EDesktop::Openbox, EDesktop::Metacity})) return;
  if (manager_.empty()) GTEST_SKIP() << "no window manager runs";
  Round();
}

}  // namespace
