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
  const std::string win = "$(xdotool search --onlyvisible --name '^QAV$' | head -1)";
  ASSERT_TRUE(Shell("xdotool windowmove " + win + " 0 0 windowsize " + win + " 1280 800 && " + Pause(1)));
  // File > Read Config File on 3,000 random bytes: a box says why, and the design stays as it was
  // (saved through File > Save Configuration before and after, the chooser's name field typed over).
  {
    std::ofstream junk(folder / "junk.nfg", std::ios::binary);
    for (int i = 0; i < 3000; ++i) junk.put(static_cast<char>(i * 167 + 3));
  }
  auto visible = [](const char* name) { return !ShownWindows(name).empty(); };
  auto menuFile = [&](const char* item, const std::string& path) {
    // A click on an empty place of the form gives it the keyboard back after a chooser closed.
    if (!Shell("xdotool mousemove 900 700 click 1 && " + Pause(0.5) + " && xdotool key --window " + win + " alt+f && " + Pause(0.5) + " && xdotool key " +
               item))
      return false;
    // A loaded machine may take a while to show the chooser: the name is typed once it is there.
    // The menu's keys once more when the display lost them: no chooser long after it would be up.
    if (!Within(10, [&] { return visible("^(Open|Save As)$"); }) &&
        !Shell("xdotool key --window " + win + " alt+f && " + Pause(0.5) + " && xdotool key " + item))
      return false;
    Within(10, [&] { return visible("^(Open|Save As)$"); });
    if (!Shell(Pause(0.5) + " && xdotool key ctrl+a && xdotool type --delay 20 '" + path + "' && xdotool key Return")) return false;
    // The name field's completion list, when it opened, takes the first Enter; a second one is
    // typed only while the chooser stays and the refusal box has not appeared.
    Within(5, [&] { return !visible("^(Open|Save As)$"); });
    if (visible("^(Open|Save As)$") && !visible("^Read Config File$")) Shell("xdotool key Return");
    return Shell(Pause(1));
  };

  ASSERT_TRUE(menuFile("s", folder / "before.nfg"));
  ASSERT_TRUE(menuFile("r", folder / "junk.nfg"));
  ASSERT_TRUE(Within(20, [&] { return visible("^Read Config File$"); })) << "no box told that the file was refused";
  if (shots != nullptr) Shell(std::string("timeout 15 import -window root ") + shots + "/config_refused.png");
  ASSERT_TRUE(Shell("xdotool key Return && " + Pause(1)));
  EXPECT_FALSE(visible("^Read Config File$"));
  ASSERT_TRUE(menuFile("s", folder / "after.nfg"));
  EXPECT_EQ(Slurp(folder / "after.nfg"), Slurp(folder / "before.nfg"));
  EXPECT_NE(Slurp(folder / "before.nfg").find("default.txt"), std::string::npos);

  // File > Read Config File, then the chooser: the path and Enter.
  ASSERT_TRUE(menuFile("r", folder / "design.nfg"));
  ASSERT_TRUE(PlaceElementAndDate());
  if (shots != nullptr) Shell(std::string("timeout 15 import -window root ") + shots + "/form_designed.png");
  ASSERT_TRUE(ClickProduce(MainWindow()));
  if (shots != nullptr) Shell(std::string(Pause(0.5) + "; timeout 15 import -window root ") + shots + "/wait_dialog.png");
  Within(60, [&] { return Slurp(report).find("\r\n") != std::string::npos; });
  Settle(1);
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
  // Produce Report(s), clicked again when a busy machine lost the click; the box names the file
  // written in the temporary folder.
  auto box = [] { return !ShownWindows("^Produce Report").empty(); };
  ASSERT_TRUE((ClickProduce(MainWindow()) && Within(30, box)) || (ClickProduce(MainWindow()) && Within(30, box)))
      << "no message box about the temporary file";
  Settle(1);
  if (shots != nullptr) Shell(std::string("timeout 15 import -window root ") + shots + "/fallback_box.png");
  std::vector<std::string> written;
  for (const auto& e : std::filesystem::directory_iterator(temp))
    if (e.path().filename().string().ends_with("Out.txt")) written.push_back(e.path().string());
  ASSERT_EQ(written.size(), 1u);
  EXPECT_NE(Slurp(written[0]).find("\r\n" + key + "\t"), std::string::npos) << Slurp(written[0]);
  EXPECT_FALSE(std::filesystem::exists(report));
  ASSERT_TRUE(Shell("xdotool key Return && " + Pause(1)));
  EXPECT_FALSE(box());
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
  ASSERT_TRUE(ClickProduce(MainWindow()));
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
  const std::string win = "$(xdotool search --onlyvisible --name '^QAV$' | head -1)";
  ASSERT_TRUE(Shell("xdotool windowmove " + win + " 0 0 windowsize " + win + " 1280 800 && " + Pause(1)));
  SForm f;
  ASSERT_TRUE(Shell("xdotool mousemove " + f.At(222 + 35, 216 + 7) + " click 1"));  // Select Dates
  ASSERT_TRUE(Within(30, [] { return !ShownWindows("^Select Dates$").empty(); }));
  Settle(1);
  auto keys = [](const std::string& k) { return Shell("xdotool key --delay 250 " + k + " && " + Pause(0.7)); };
  ASSERT_TRUE(keys("Home Tab Home shift+Down shift+Down Return shift+Tab Return"));
  EXPECT_FALSE(Shell("xdotool search --onlyvisible --name '^Select Dates$' >/dev/null 2>&1")) << "the dialog is still open";
  ASSERT_TRUE(keys("Tab Tab space"));
  const char* elements = "^Select Locations and Data Elements$";
  EXPECT_TRUE(Within(20, [&] { return !ShownWindows(elements).empty(); }))
      << "Select Locations did not open from the keyboard";
  const char* shots = std::getenv("QAV_SHOTS");
  if (shots != nullptr) Shell(std::string("timeout 15 import -window root ") + shots + "/locations_after_keyboard_dates.png");
  ASSERT_TRUE(keys("Escape"));
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
  ASSERT_TRUE(Shell("xdotool mousemove --window " + main + " " + f.At(300, 320) + " click 1 && " + Pause(1)));
  EXPECT_TRUE(above()) << "a click on the main window hid the status window";
  if (shots != nullptr) Shell(std::string("timeout 15 import -window root ") + shots + "/wm_status_over_main.png");

  // Closed by the user (Alt+F4 is the window manager's close), it is minimised, alone.
  ASSERT_TRUE(Shell("xdotool windowactivate --sync " + status + " key alt+F4"));
  ASSERT_TRUE(Within(5, [] { return !Shell("xdotool search --onlyvisible --name '^Status Messages$' >/dev/null 2>&1"); }))
      << "the status window did not go";
  EXPECT_TRUE(Shell("xdotool search --onlyvisible --name '^QAV$' >/dev/null 2>&1")) << "the main window went with it";
  ASSERT_TRUE(ReadDesign(folder / "design.nfg"));
  ASSERT_TRUE(ClickProduce(main));
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
// key but Data Content in the rows: 407,808 lines of 240 bytes. Once its first megabytes are in
// the file, well short of its end, Cancel ends the run (its worker thread) within a second, and
// the part written is taken away: the earlier report of that name stays as it was.
TEST_F(GuiRunTest, CancelWhileWritingEndsTheRunWithinASecond) {
  if (!RunOnOwnDisplay({EDesktop::BareX, EDesktop::Openbox})) return;
  const int days = 118;
  const double lines = 288.0 * days * kLongRunLoops, lineBytes = 14 * 17 + 2;
  AppTempFolder folder;
  const std::string report = folder / "report.txt";
  ASSERT_TRUE(WriteLongRun(folder, days, report));
  const std::string earlier = "an earlier report\r\n";
  std::ofstream(report, std::ios::binary) << earlier;

  ASSERT_TRUE(Start(folder / "config"));
  ASSERT_TRUE(ReadDesign(folder / "design.nfg"));
  ASSERT_TRUE(ClickProduce(MainWindow()));
  std::string wait;
  ASSERT_TRUE(Within(120, [&] {
    const std::vector<std::string> shown = ShownWindows("^Outputting Reports");
    return !(wait = shown.empty() ? "" : shown.front()).empty();
  })) << "the report was never written";
  // The run's worker: the one thread without a name of its own besides the main thread.
  std::vector<int> workers = UnnamedThreads(pid_);
  workers.erase(std::remove(workers.begin(), workers.end(), pid_), workers.end());
  ASSERT_EQ(workers.size(), 1u);
  const std::string worker = "/proc/" + std::to_string(pid_) + "/task/" + std::to_string(workers[0]);
  auto size = [&] { return std::max(BytesBeside(report), 0.0); };
  for (int i = 0; i < 600 && size() < 2e6; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_FALSE(ShownWindows("^Outputting Reports").empty()) << "the report was written before Cancel";
  const double atCancel = size();
  const auto pressed = std::chrono::steady_clock::now();
  ASSERT_TRUE(Shell("xdotool windowfocus --sync " + wait + " 2>/dev/null; xdotool key --window " + wait + " Return"));
  while (std::filesystem::exists(worker) && std::chrono::steady_clock::now() - pressed < std::chrono::seconds(20))
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - pressed).count();
  EXPECT_LT(seconds, 1.0) << atCancel / 1e6 << " MB written at Cancel";
  EXPECT_GT(atCancel, 2e6);
  EXPECT_LT(atCancel, lines * lineBytes / 2) << "the report was nearly whole at Cancel";
  EXPECT_EQ(Slurp(report), earlier) << "the earlier report was not kept";
  EXPECT_EQ(BytesBeside(report), -1) << "the part written was left beside it";
}

// The signals that end a session (a logout, Ctrl+C in a terminal, the terminal closed) end the
// program as File > Exit does, in each phase of a run and with a dialog up: a run is cancelled, the
// report it was writing taken away and the earlier report of that name kept, nothing is left
// beside it, the settings are saved, and the program ends with status 0 within a few seconds.
TEST_F(GuiRunTest, EndingSignalsEndTheProgramAsExitDoesInEachPhaseOfARun) {
  if (!RunOnOwnDisplay(EDesktop::BareX)) return;
  AppTempFolder folder;
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
    if (phase == Dialog) {
      ASSERT_TRUE(Shell("xdotool mousemove --window " + MainWindow() + " " + SForm().At(222 + 35, 216 + 7) + " click 1"));
      ASSERT_TRUE(Within(15, [] { return !ShownWindows("^Select Dates$").empty(); })) << "the dialog did not open";
    } else {
      ASSERT_TRUE(ClickProduce(MainWindow()));
      if (phase == Loading)
        ASSERT_TRUE(Within(30, [] { return !ShownWindows("^Loading").empty(); })) << "the days were not loaded";
      else
        ASSERT_TRUE(Within(180, [&] { return BytesBeside(report) > 2e6; })) << "the report was never written";
      ASSERT_FALSE(ShownWindows(phase == Loading ? "^Loading" : "^Outputting Reports").empty())
          << "the run was past the phase";
    }
    ExpectEndsAsExitDoes(pid_, kEndingSignals[phase], ini, report, earlier);
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
  auto key = [](const std::string& k) { Output("timeout 10 xdotool key --delay 100 " + k); };
  auto shown = [](const char* title) { return !ShownWindows(title).empty(); };
  ASSERT_TRUE(Shell("xdotool mousemove --window " + main + " " + f.At(300, 320) + " click 1 && " + Pause(1)));
  mainHasKeys("a click on the form");

  // A file chooser, with a path typed into its name field; a second Enter when the first only took
  // the chooser's completion. False when it did not open or close.
  auto choose = [&](const char* item, const char* title, const std::string& path) {
    key(std::string("alt+f ") + item);
    if (!Within(10, [&] { return shown(title); })) return false;
    const std::string chooser = ShownWindows(title).front();
    auto gone = [&] {
      const std::vector<std::string> w = ShownWindows(title);
      return std::find(w.begin(), w.end(), chooser) == w.end();
    };
    Settle(0.8);
    Output("timeout 20 xdotool key ctrl+a type --delay 20 '" + path + "'");
    key("Return");
    if (!Within(3, gone)) key("Return");
    return Within(10, gone);
  };
  ASSERT_TRUE(choose("r", "^Open$", folder / "design.nfg")) << "the chooser of Read Config File did not work";
  mainHasKeys("Read Config File");

  // A box of the chooser's title asks over it before the file is replaced: N gives the keyboard
  // back to the chooser, which still holds the name; Y replaces the file.
  key("alt+f s");
  ASSERT_TRUE(Within(10, [&] { return shown("^Save As$"); })) << "Save Configuration showed no chooser";
  const std::string chooser = ShownWindows("^Save As$").front();
  Settle(0.8);
  Output("timeout 20 xdotool key ctrl+a type --delay 20 '" + saved + "'");
  auto boxUp = [&] { return ShownWindows("^Save As$").size() > 1 && FocusedWindow() != chooser && FocusedWindow() != main; };
  for (const char* answer : {"n", "y"}) {
    key("Return");
    if (!Within(3, boxUp)) key("Return");  // the first Enter only took the chooser's completion
    ASSERT_TRUE(Within(10, boxUp)) << "no box asked over the chooser";
    Settle(0.8);
    key(answer);
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

  ASSERT_TRUE(Shell("xdotool mousemove --window " + main + " " + f.At(7 + 20, 285 + 7) + " click 1 && " + Pause(0.5)));  // the file name
  key("Tab Return");  // Browse
  ASSERT_TRUE(Within(10, [&] { return shown("^Save As$"); })) << "Enter on Browse showed no chooser";
  Settle(0.8);
  key("Escape");
  ASSERT_TRUE(Within(10, [&] { return !shown("^Save As$"); })) << "Escape did not close the chooser";
  mainHasKeys("Browse");

  const struct {
    int y;
    const char* title;
  } dialogs[] = {{216, "^Select Dates$"}, {260, "^Select Locations"}};
  for (const auto& d : dialogs) {
    ASSERT_TRUE(Shell("xdotool mousemove --window " + main + " " + f.At(222 + 35, d.y + 7) + " click 1"));
    ASSERT_TRUE(Within(15, [&] { return shown(d.title); })) << d.title << " did not open";
    Settle(0.8);
    key("Escape");
    ASSERT_TRUE(Within(10, [&] { return !shown(d.title); })) << "Escape did not close " << d.title;
    mainHasKeys(d.title);
  }

  ASSERT_TRUE(ClickProduce(main));
  const std::string boxes = "^(QAV|Produce Report\\(s\\))$";
  const std::string status = Output("xdotool search --onlyvisible --name '^Status Messages$' | head -1");
  for (int box = 1; box <= 2; ++box) {
    ASSERT_TRUE(Within(60, [&] { return ShownWindows(boxes).size() > 1; })) << "message box " << box << " did not show";
    Settle(0.8);
    const std::string clicked = box == 1 ? "--window " + main + " " + f.At(300, 320) : "--window " + status + " 200 100";
    Shell("xdotool mousemove " + clicked + " click 1 && " + Pause(1));
    if (const char* shots = std::getenv("QAV_SHOTS"); shots != nullptr && box == 1)
      Shell(std::string("timeout 15 import -window root ") + shots + "/box_after_click_on_main.png");
    ASSERT_EQ(CloseTheFocusedBox(boxes, main), "") << "message box " << box;
  }
  mainHasKeys("the boxes of the run");
}

}  // namespace
