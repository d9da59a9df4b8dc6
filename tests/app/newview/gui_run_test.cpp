// The real program under X with real input: the New view reads a configuration through its File
// menu and the file chooser, the user places the structure keys with the mouse and produces the
// report, which is then checked. Runs only on a display with xdotool (scripts/test.sh gives one).
#include <algorithm>
#include <cstdio>

#include "app/newview/gui_run_fixture.h"

namespace {

using namespace guirun;

TEST_F(GuiRunTest, DesignReadAndLaidOutByRealInputProducesTheReport) {
  // With QAV_SHOTS set the run is long enough to show its wait dialog, and screenshots go there.
  const char* shots = std::getenv("QAV_SHOTS");
  const int days = shots != nullptr ? 240 : 2, loops = shots != nullptr ? 100 : 2;
  AppTempFolder folder;
  ASSERT_TRUE(WriteLoopArchive(folder, days, loops));
  auto elements = SampleElements(1994, 4 * loops);
  // The days from 1 January, the loops, daily volume; no structure yet.
  std::string report = folder / "report.txt";
  WriteLoopDesign(folder / "design.nfg", report, 1, days, loops, 4320, "0\r\n0\r\n0\r\n");

  ASSERT_TRUE(Start(folder / "config"));
  const std::string main = MainWindow();
  ASSERT_TRUE(PlaceMain(main));
  // File > Read Config File on 3,000 random bytes: a box says why, and the design stays as it was
  // (saved through File > Save Configuration before and after, the chooser's name field typed over).
  {
    std::ofstream junk(folder / "junk.nfg", std::ios::binary);
    for (int i = 0; i < 3000; ++i) junk.put(static_cast<char>(i * 167 + 3));
  }
  auto visible = [](const char* name) { return !ShownWindows(name).empty(); };
  // The form gets the keyboard back after a chooser closed.
  auto menuFile = [&](const char* item, const std::string& path) { return KeyboardToMain(main) && ChooseFile(main, item, path); };

  ASSERT_TRUE(menuFile("s", folder / "before.nfg"));
  ASSERT_TRUE(menuFile("r", folder / "junk.nfg"));
  ASSERT_TRUE(Within(20, [&] { return visible("^Read Config File$"); })) << "no box told that the file was refused";
  if (shots != nullptr) Shell(std::string("timeout 15 import -window root ") + shots + "/config_refused.png");
  ASSERT_EQ(CloseTheFocusedBox("^Read Config File$", main), "");
  ASSERT_TRUE(menuFile("s", folder / "after.nfg"));
  // A set-up file takes its name only once it is whole.
  Within(10, [&] { return std::filesystem::exists(folder / "after.nfg"); });
  EXPECT_EQ(Slurp(folder / "after.nfg"), Slurp(folder / "before.nfg"));
  EXPECT_NE(Slurp(folder / "before.nfg").find("default.txt"), std::string::npos);

  // File > Read Config File, then the chooser: the path and Enter.
  ASSERT_TRUE(menuFile("r", folder / "design.nfg"));
  ASSERT_TRUE(PlaceElementAndDate());
  if (shots != nullptr) Shell(std::string("timeout 15 import -window root ") + shots + "/form_designed.png");
  // The report is written beside its name and then takes it: once it is there it is whole.
  ASSERT_TRUE(ClickProduce(main, [&] { return !WaitDialog().empty() || std::filesystem::exists(report); }, 60));
  if (shots != nullptr) Shell(std::string(Pause(0.5) + "; timeout 15 import -window root ") + shots + "/wait_dialog.png");
  Within(60, [&] { return std::filesystem::exists(report); });
  std::string text = Slurp(report);
  ASSERT_FALSE(text.empty()) << "no report written";
  EXPECT_NE(text.find("\r\nTime\t00:00:00\r\nData Content\tVolume\r\n\r\n\t01/01/1994\t01/02/1994\t"), std::string::npos)
      << text;
  for (int i = 0; i < loops; ++i)
    EXPECT_NE(text.find("\r\n" + elements[static_cast<size_t>(4 * i)].key + "\t"), std::string::npos) << i;
  if (shots != nullptr) Shell(std::string("timeout 15 import -window root ") + shots + "/after_run.png");
}

TEST_F(GuiRunTest, AReportThatCannotGoWhereAskedIsToldInAMessageBox) {
  const char* shots = std::getenv("QAV_SHOTS");
  AppTempFolder folder;
  // Two days of one loop; the report's folder cannot be made.
  const std::string key = WriteRunWithoutReportFolder(folder, 34336);
  ASSERT_FALSE(key.empty());
  const std::string report = folder / "two/levels/r.txt", temp = folder / "tmp/";
  const char* oldTemp = std::getenv("TMPDIR");
  const std::string keptTemp = oldTemp != nullptr ? oldTemp : "";
  ::setenv("TMPDIR", temp.c_str(), 1);  // the program's temporary folder
  const bool started = Start(folder / "config");
  if (oldTemp != nullptr) ::setenv("TMPDIR", keptTemp.c_str(), 1);
  else ::unsetenv("TMPDIR");
  ASSERT_TRUE(started);
  ASSERT_TRUE(ReadDesign(folder / "design.nfg"));
  // Produce Report(s); the box names the file written in the temporary folder.
  auto box = [] { return !ShownWindows("^Produce Report").empty(); };
  ASSERT_TRUE(ClickProduce(MainWindow(), box, 60)) << "no message box about the temporary file";
  if (shots != nullptr) Shell(std::string("timeout 15 import -window root ") + shots + "/fallback_box.png");
  std::vector<std::string> written;
  for (const auto& e : std::filesystem::directory_iterator(temp))
    if (e.path().filename().string().ends_with("Out.txt")) written.push_back(e.path().string());
  ASSERT_EQ(written.size(), 1u);
  EXPECT_NE(Slurp(written[0]).find("\r\n" + key + "\t"), std::string::npos) << Slurp(written[0]);
  EXPECT_FALSE(std::filesystem::exists(report));
  ASSERT_EQ(CloseTheFocusedBox("^Produce Report", MainWindow()), "");
}

// A long sort through the real program: 118 days of 128 loops at five minutes (4.4 million rows).
// Cancel pressed in the wait dialog while it says "Sorting data..." ends the run within a second
// and writes no report. Slow (the loading takes a while in a sanitizer build): it runs only with
// QAV_GUI_LONG=1.
TEST_F(GuiRunTest, CancelWhileSortingEndsTheRunWithinASecond) {
  if (std::getenv("QAV_GUI_LONG") == nullptr) GTEST_SKIP() << "set QAV_GUI_LONG=1";
  const int days = 118, loops = 128;
  AppTempFolder folder;
  ASSERT_TRUE(WriteLoopArchive(folder, days, loops));
  std::string report = folder / "report.txt";
  WriteLoopDesign(folder / "design.nfg", report, 1, days, loops, 15, "0\r\n0\r\n0\r\n");

  ASSERT_TRUE(Start(folder / "config"));
  ASSERT_TRUE(ReadDesign(folder / "design.nfg"));
  ASSERT_TRUE(PlaceElementAndDate());
  ASSERT_TRUE(ClickProduce(MainWindow(), [] { return !WaitDialog().empty(); }, 60));
  // Up to ten minutes of loading.
  ASSERT_TRUE(Within(600, [] { return !ShownWindows("^Sorting data").empty(); })) << "the sort was never shown";
  auto pressed = std::chrono::steady_clock::now();
  ASSERT_TRUE(Shell("w=$(xdotool search --onlyvisible --name '^Sorting data' | head -1); "
                    "xdotool windowfocus --sync $w 2>/dev/null && xdotool key Return"));
  // The dialog goes once the worker has stopped.
  bool gone = false;
  for (int i = 0; i < 100 && !gone; ++i) {
    gone = !Shell("xdotool search --onlyvisible --name '^(Sorting data|Shutting Down)' >/dev/null 2>&1");
    if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - pressed).count();
  EXPECT_TRUE(gone);
  EXPECT_LT(seconds, 1.0);
  std::printf("Cancel to the end of the run: %.2f s\n", seconds);
  EXPECT_FALSE(std::filesystem::exists(report)) << "a cancelled sort writes no report";
}

// Dates chosen in the date dialog with the keyboard alone, on a display without a window manager:
// the year by Home, the first three days by Home and Shift+Down, moved by Enter, the dialog ended
// by Enter from the year list. The focus is back on Select Dates then, so Tab Tab Space opens
// Select Locations, which starts at the first chosen day and ends at the last.
TEST_F(GuiRunTest, DatesChosenByKeyboardAloneAndTheFocusComesBackAfterTheDialog) {
  AppTempFolder folder;
  ASSERT_TRUE(WriteLoopArchive(folder, 4, 2));  // eight elements over five days
  ASSERT_TRUE(Start(folder / "config"));
  const std::string main = MainWindow();
  ASSERT_TRUE(PlaceMain(main));
  std::string dialog;
  auto shown = [&](const char* title) {
    return [&dialog, title] {
      const std::vector<std::string> w = ShownWindows(title);
      dialog = w.empty() ? "" : w.front();
      return !dialog.empty();
    };
  };
  ASSERT_TRUE(ClickForm(main, SForm().At(222 + 35, 216 + 7), shown("^Select Dates$"), 30));  // Select Dates
  // Each keystroke goes where the keyboard is: into the dialog once it has it, then into the form.
  auto keys = [](const std::string& into, const std::string& k, const std::function<bool()>& done) {
    return SendWhereReady(
        k, [&] { return HasKeyboard(into); }, [&] { Shell("timeout 20 xdotool key --delay 250 " + k); }, done, 20);
  };
  const std::string dates = dialog;
  EXPECT_TRUE(keys(dates, "Home Tab Home shift+Down shift+Down Return shift+Tab Return", [&] { return !Viewable(dates); }))
      << "the dialog is still open";
  const char* elements = "^Select Locations and Data Elements$";
  EXPECT_TRUE(keys(main, "Tab Tab space", shown(elements))) << "Select Locations did not open from the keyboard";
  const char* shots = std::getenv("QAV_SHOTS");
  if (shots != nullptr) Shell(std::string("timeout 15 import -window root ") + shots + "/locations_after_keyboard_dates.png");
  const std::string locations = dialog;
  ASSERT_TRUE(keys(locations, "Escape", [&] { return !Viewable(locations); }));
}

// Under a window manager the status window is the main window's own: it lies above the main
// window from the start and after a click on it. Closed by the user, it is minimised alone, and
// comes back above the main window when a run posts its failures (a day the archive does not
// have, a report folder that cannot be made). Each of the two message boxes that end the run takes
// the keyboard, and then the main window has it. Keys go to whatever has the focus.
TEST_F(GuiRunTest, StatusWindowStaysAboveItsOwnerAndComesBackForARunsFailuresUnderAWindowManager) {
  if (!RunOnOwnDisplay(EDesktop::Openbox)) return;
  const char* shots = std::getenv("QAV_SHOTS");
  AppTempFolder folder;
  // One loop on 1 January and on a day in June the archive does not have.
  ASSERT_FALSE(WriteRunWithoutReportFolder(folder, 34486).empty());
  const std::string temp = folder / "tmp/";
  ::setenv("TMPDIR", temp.c_str(), 1);  // the program's temporary folder; this run is the test's own
  ASSERT_TRUE(Start(folder / "config"));
  const std::string main = MainWindow();
  const std::string status = Output("xdotool search --onlyvisible --name '^Status Messages$' | head -1");
  ASSERT_FALSE(status.empty());
  auto above = [&] { return StackPlace(status) > StackPlace(main) && StackPlace(main) >= 0; };
  EXPECT_TRUE(Within(5, above)) << "the status window starts under the main window";
  SForm f;
  ASSERT_TRUE(Shell("xdotool mousemove --window " + main + " " + f.At(300, 320) + " click 1"));
  EXPECT_TRUE(Within(5, [&] { return HasKeyboard(main) && above(); })) << "a click on the main window hid the status window";
  if (shots != nullptr) Shell(std::string("timeout 15 import -window root ") + shots + "/wm_status_over_main.png");

  // Closed by the user (Alt+F4 is the window manager's close), it is minimised, alone.
  ASSERT_TRUE(Shell("xdotool windowactivate --sync " + status + " key alt+F4"));
  ASSERT_TRUE(Within(5, [] { return !Shell("xdotool search --onlyvisible --name '^Status Messages$' >/dev/null 2>&1"); }))
      << "the status window did not go";
  EXPECT_TRUE(Shell("xdotool search --onlyvisible --name '^QAV$' >/dev/null 2>&1")) << "the main window went with it";
  ASSERT_TRUE(ReadDesign(folder / "design.nfg"));
  ASSERT_TRUE(ClickProduce(main, [] { return !ShownWindows("^(Status Messages|Produce Report\\(s\\))$").empty(); }, 60));
  // The failures bring the status window back, above the main window; then two message boxes,
  // windows titled "QAV" or "Produce Report(s)" other than the main window.
  EXPECT_TRUE(Within(60, [] { return Shell("xdotool search --onlyvisible --name '^Status Messages$' >/dev/null 2>&1"); }))
      << "the status window stayed minimised";
  EXPECT_TRUE(Within(5, above)) << "the status window came back under the main window";
  if (shots != nullptr)
    Shell("xdotool windowmove " + status + " 380 560; " + Pause(0.5) + "; timeout 15 import -window root " + shots +
          "/wm_status_after_failures.png");
  for (int shown = 1; shown <= 2; ++shown) ASSERT_EQ(CloseTheFocusedBox("^(QAV|Produce Report\\(s\\))$", main), "") << "message box " << shown;
  EXPECT_TRUE(Within(5, [&] { return FocusedWindow() == main; })) << "after the boxes, " << FocusedWindow() << " has the keyboard";
  EXPECT_TRUE(above());
}

// Cancel pressed while a report is being written, through the real program on an X server of its
// own, bare and under openbox. The design lists 12 loops over 118 days at five minutes with every
// key but Data Content in the rows: 407,808 lines of 240 bytes. The writing is held once its first
// megabytes are in the file, well short of its end, and Cancel pressed; let go, the run (its worker
// thread) ends within a second, and the part written is taken away: the earlier report of that
// name stays as it was.
TEST_F(GuiRunTest, CancelWhileWritingEndsTheRunWithinASecond) {
  if (!RunOnOwnDisplay({EDesktop::BareX, EDesktop::Openbox})) return;
  ASSERT_TRUE(xtest::kProgramHolds) << "the program is built without its test holds";
  const int days = 118;
  const double lines = 288.0 * days * kLongRunLoops, lineBytes = 14 * 17 + 2;
  AppTempFolder folder;
  const xtest::CHolds holds(folder.path());
  const std::string report = folder / "report.txt";
  ASSERT_TRUE(WriteLongRun(folder, days, report));
  const std::string earlier = "an earlier report\r\n";
  std::ofstream(report, std::ios::binary) << earlier;

  ASSERT_TRUE(Start(folder / "config"));
  ASSERT_TRUE(ReadDesign(folder / "design.nfg"));
  ASSERT_TRUE(ClickProduce(MainWindow(), [] { return !WaitDialog().empty(); }, 60));
  auto size = [&] { return std::max(BytesBeside(report), 0.0); };
  ASSERT_TRUE(Within(300, [&] { return size() > 2e6; })) << "the report was never written";
  // Held after the next piece it writes: the phase lasts while Cancel is pressed.
  holds.Arm("write");
  ASSERT_TRUE(holds.Held("write", 30)) << "the writing was not held";
  std::string wait;
  ASSERT_TRUE(Within(10, [&] { return !(wait = WaitDialog()).empty() && !ShownWindows("^Outputting Reports").empty(); }))
      << "no wait dialog says the report is written";
  // The run's worker: the one thread without a name of its own besides the main thread.
  std::vector<int> workers = UnnamedThreads(pid_);
  workers.erase(std::remove(workers.begin(), workers.end(), pid_), workers.end());
  ASSERT_EQ(workers.size(), 1u);
  const std::string worker = "/proc/" + std::to_string(pid_) + "/task/" + std::to_string(workers[0]);
  const double atCancel = size();
  // Enter on the wait dialog's Cancel once the dialog has the keyboard: it says the run shuts down.
  ASSERT_TRUE(SendWhereReady(
      "Cancel", [&] { return HasKeyboard(wait); }, [&] { Shell("timeout 10 xdotool key Return"); },
      [] { return !ShownWindows("^Shutting Down").empty(); }, 20))
      << "Cancel was not taken";
  // From the moment the run can see Cancel: let go.
  const auto pressed = std::chrono::steady_clock::now();
  holds.Release("write");
  while (std::filesystem::exists(worker) && std::chrono::steady_clock::now() - pressed < std::chrono::seconds(20))
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - pressed).count();
  EXPECT_LT(seconds, 1.0) << atCancel / 1e6 << " MB written at Cancel";
  EXPECT_GT(atCancel, 2e6);
  EXPECT_LT(atCancel, lines * lineBytes / 2) << "the report was nearly whole at Cancel";
  EXPECT_TRUE(Within(10, [&] { return WaitDialog().empty(); })) << "the wait dialog stayed";
  EXPECT_EQ(Slurp(report), earlier) << "the earlier report was not kept";
  EXPECT_EQ(BytesBeside(report), -1) << "the part written was left beside it";
}

// The signals that end a session (a logout, Ctrl+C in a terminal, the terminal closed) end the
// program as File > Exit does, in each phase of a run and with a dialog up: a run is cancelled, the
// report it was writing taken away and the earlier report of that name kept, nothing is left
// beside it, the settings are saved, and the program ends with status 0 within a few seconds. The
// run is held in its phase (after a day's load, after a piece of the report) when the signal comes,
// and let go once the program has asked it to stop.
TEST_F(GuiRunTest, EndingSignalsEndTheProgramAsExitDoesInEachPhaseOfARun) {
  if (!RunOnOwnDisplay(EDesktop::BareX)) return;
  ASSERT_TRUE(xtest::kProgramHolds) << "the program is built without its test holds";
  AppTempFolder folder;
  const xtest::CHolds holds(folder.path());
  const std::string report = folder / "report.txt", ini = folder / "config/KARVO/qav.ini";
  const std::string earlier = "an earlier report\r\n";
  ASSERT_TRUE(WriteLongRun(folder, 118, report));
  enum Phase { Loading, Dialog, Writing };
  const char* phases[] = {"SIGTERM while the days load", "SIGINT with Select Dates up", "SIGHUP while the report is written"};
  for (const int phase : {Loading, Dialog, Writing}) {
    SCOPED_TRACE(phases[phase]);
    std::ofstream(report, std::ios::binary) << earlier;
    std::filesystem::remove(ini);
    ASSERT_TRUE(WriteProfile(folder, folder / "archive/"));
    ASSERT_TRUE(Start(folder / "config"));
    ASSERT_TRUE(ReadDesign(folder / "design.nfg"));
    const char* point = phase == Loading ? "load" : "write";
    if (phase == Dialog) {
      ASSERT_TRUE(ClickForm(MainWindow(), SForm().At(222 + 35, 216 + 7), [] { return !ShownWindows("^Select Dates$").empty(); }, 30))
          << "the dialog did not open";
    } else {
      holds.Arm(point);
      ASSERT_TRUE(ClickProduce(MainWindow(), [] { return !WaitDialog().empty(); }, 60));
      ASSERT_TRUE(holds.Held(point, phase == Loading ? 30 : 300)) << "the run never reached the phase";
      ASSERT_TRUE(Within(10, [&] { return !ShownWindows(phase == Loading ? "^Loading" : "^Outputting Reports").empty(); }))
          << "the wait dialog does not show the phase";
    }
    ExpectEndsAsExitDoes(pid_, kEndingSignals[phase], ini, report, earlier, [&] {
      if (phase == Dialog) return;
      Within(5, [] { return !ShownWindows("^Shutting Down").empty(); });
      holds.Release(point);
    });
    pid_ = 0;
  }
}

// The keyboard comes back to the main window after each modal window the user closes, bare and
// under openbox. Every key goes to whatever has the focus, as a user's keys do; the test focuses
// nothing itself. File > Read Config File: the chooser closed by Enter. File > Save Configuration
// over a file that exists: the chooser's Yes/No box, answered by N (back to the chooser), then
// by Y alone. Browse, reached by Tab from the file name and pressed by Enter: the chooser closed by
// Escape. Select Dates and Select Locations, closed by Escape. Produce Report(s) over a day the
// archive does not have, into a folder that cannot be made: each of the two boxes keeps the
// keyboard after a click on the main window it blocks, or on the status window, and Enter closes it.
TEST_F(GuiRunTest, KeyboardComesBackAfterEachModalWindow) {
  if (!RunOnOwnDisplay({EDesktop::BareX, EDesktop::Openbox})) return;
  AppTempFolder folder;
  ASSERT_FALSE(WriteRunWithoutReportFolder(folder, 34486).empty());
  const std::string saved = folder / "saved.nfg";
  std::ofstream(saved) << "old";
  ::setenv("TMPDIR", (folder / "tmp/").c_str(), 1);  // the program's temporary folder; this run is the test's own
  ASSERT_TRUE(Start(folder / "config"));
  const std::string main = MainWindow();
  ASSERT_TRUE(Shell("xdotool windowmove " + main + " 0 0 windowsize " + main + " 1280 800 && " + Pause(1)));
  SForm f;
  auto mainHasKeys = [&](const char* after) {
    EXPECT_TRUE(Within(3, [&] { return FocusedWindow() == main; })) << "after " << after << ", " << FocusedWindow()
                                                                    << " has the keyboard";
  };
  // Keys typed into `into` once it has the keyboard; `done` within `seconds` (SendWhereReady).
  auto key = [](const std::string& into, const std::string& k, const std::function<bool()>& done, int seconds = 10) {
    return SendWhereReady(
        k, [&] { return HasKeyboard(into); }, [&] { Output("timeout 10 xdotool key --delay 100 " + k); }, done, seconds);
  };
  auto shown = [](const char* title) { return !ShownWindows(title).empty(); };
  ASSERT_TRUE(Shell("xdotool mousemove --window " + main + " " + f.At(300, 320) + " click 1"));
  mainHasKeys("a click on the form");

  ASSERT_TRUE(ChooseFile(main, "r", folder / "design.nfg")) << "the chooser of Read Config File did not work";
  mainHasKeys("Read Config File");

  // A box of the chooser's title asks over it before the file is replaced: N gives the keyboard
  // back to the chooser, which still holds the name; Y replaces the file.
  ASSERT_TRUE(key(main, "alt+f s", [&] { return shown("^Save As$"); })) << "Save Configuration showed no chooser";
  const std::string chooser = ShownWindows("^Save As$").front();
  ASSERT_TRUE(Within(10, [&] { return HasKeyboard(chooser); })) << "the chooser did not take the keyboard";
  Output("timeout 20 xdotool key ctrl+a type --delay 20 '" + saved + "'");
  std::string box;
  auto boxUp = [&] {
    const std::vector<std::string> w = ShownWindows("^Save As$");
    box = w.size() > 1 ? (w.front() == chooser ? w.back() : w.front()) : "";
    return HasKeyboard(box);
  };
  for (const char* answer : {"n", "y"}) {
    if (!key(chooser, "Return", boxUp, 3)) {
      ASSERT_TRUE(HasKeyboard(chooser)) << "no box asked over the chooser";
      NoteResend("Return in the chooser: its completion list took the first");
      key(chooser, "Return", boxUp);
    }
    ASSERT_TRUE(Within(10, boxUp)) << "no box asked over the chooser";
    const std::string asked = box;
    key(asked, answer, [&] { return !Viewable(asked); });
    if (std::string(answer) == "n") {
      ASSERT_TRUE(Within(10, [&] { return ShownWindows("^Save As$") == std::vector<std::string>{chooser}; }))
          << "N did not go back to the chooser";
      EXPECT_TRUE(Within(3, [&] { return FocusedWindow() == chooser; })) << FocusedWindow() << " has the keyboard";
      EXPECT_EQ(Slurp(saved), "old");
    }
  }
  EXPECT_TRUE(Within(10, [&] { return !shown("^Save As$"); })) << "Y did not answer the box";
  EXPECT_TRUE(Within(5, [&] { return Slurp(saved).starts_with("QAV Main Configuration File"); })) << Slurp(saved);
  mainHasKeys("Save Configuration");

  ASSERT_TRUE(ClickForm(main, f.At(7 + 20, 285 + 7), [] { return true; }, 1));  // the file name
  ASSERT_TRUE(key(main, "Tab Return", [&] { return shown("^Save As$"); })) << "Enter on Browse showed no chooser";  // Browse
  const std::string browsed = ShownWindows("^Save As$").front();
  ASSERT_TRUE(key(browsed, "Escape", [&] { return !shown("^Save As$"); })) << "Escape did not close the chooser";
  mainHasKeys("Browse");

  const struct {
    int y;
    const char* title;
  } dialogs[] = {{216, "^Select Dates$"}, {260, "^Select Locations"}};
  for (const auto& d : dialogs) {
    ASSERT_TRUE(ClickForm(main, f.At(222 + 35, d.y + 7), [&] { return shown(d.title); }, 15)) << d.title << " did not open";
    const std::string dialog = ShownWindows(d.title).front();
    ASSERT_TRUE(key(dialog, "Escape", [&] { return !shown(d.title); })) << "Escape did not close " << d.title;
    mainHasKeys(d.title);
  }

  const std::string boxes = "^(QAV|Produce Report\\(s\\))$";
  ASSERT_TRUE(ClickProduce(main, [&] { return ShownWindows(boxes).size() > 1; }, 60)) << "message box 1 did not show";
  const std::string status = Output("xdotool search --onlyvisible --name '^Status Messages$' | head -1");
  for (int box = 1; box <= 2; ++box) {
    // The box has the keyboard before the click that must leave it there.
    ASSERT_TRUE(Within(60, [&] {
      for (const std::string& w : ShownWindows(boxes))
        if (w != main && HasKeyboard(w)) return true;
      return false;
    })) << "message box " << box << " did not show with the keyboard";
    const std::string clicked = box == 1 ? "--window " + main + " " + f.At(300, 320) : "--window " + status + " 200 100";
    Shell("xdotool mousemove " + clicked + " click 1 && " + Pause(1));
    if (const char* shots = std::getenv("QAV_SHOTS"); shots != nullptr && box == 1)
      Shell(std::string("timeout 15 import -window root ") + shots + "/box_after_click_on_main.png");
    ASSERT_EQ(CloseTheFocusedBox(boxes, main), "") << "message box " << box;
  }
  mainHasKeys("the boxes of the run");
}

}  // namespace
