// screenshot DIR: renders offscreen (no X server needed) and saves in DIR (made if missing) a PNG
// of every dialog and form template the program registers, as the bare template; then the
// program's own windows with their own initialisation: the selection dialogs, the viewer on a
// small report, the main frame with the New view and its status window, the main frame with the
// Classic view, each view's parameter sheet page by page, message boxes of each kind, the wait
// dialog and the about box. The program runs on a profile of its own in a temporary folder.
// screenshot --idle SECONDS: leaves a modal dialog open that long and prints the CPU time used
// and the number of times the process woke up.
#include <sys/resource.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#define QAV_DEMO_IMPL
#include "app/classic/main_classic.h"
#include "app/classic/valid_pages.h"
#include "app/newview/main_new.h"
#include "app/select/dates_dlg.h"
#include "app/select/elems_dlg.h"
#include "app/select/select_ids.h"
#include "app/select/year_dlg.h"
#include "app/shell/element_loader.h"
#include "app/shell/main_frame.h"
#include "app/shell/profile_store.h"
#include "app/shell/qav_app.h"
#include "app/viewer/viewer.h"
#include "archive/archive_globals.h"
#include "archive/sample_archive.h"
#include "demo_dialog.h"
#include "platform/app/profile.h"
#include "platform/kernel/time.h"
#include "platform/ui/app.h"
#include "platform/ui/backend.h"
#include "platform/ui/choosers.h"
#include "platform/ui/input.h"
#include "platform/ui/wnd_state.h"
#include "support/about_dlg.h"
#include "support/wait_dialog.h"

namespace {

int g_failures = 0;
std::string g_dir;

void Save(HWND h, const std::string& name) {
  qav::ui::PumpPending();
  const std::string file = g_dir + "/" + name + ".png";
  if (!qav::ui::SaveWindowPng(h, file)) {
    std::fprintf(stderr, "screenshot: could not save %s\n", file.c_str());
    ++g_failures;
  }
}

// A template shown as it is, without the dialog's own initialisation.
class Shot : public CDialog {
 public:
  bool Show(const DialogTemplate& t) {
    if (!CreateFromTemplate(t, nullptr, false)) return false;
    if (qav::ui::WndState* s = State()) s->style &= ~WS_CHILD;
    ShowWindow(SW_SHOW);
    return true;
  }
};

// The modal window that has the focus.
HWND FocusedTopLevel() {
  qav::ui::WndState* s = qav::ui::TopLevelOf(qav::ui::Find(GetFocus()));
  return s != nullptr ? s->hwnd : nullptr;
}

// Ends a modal window: Cancel where it has one, else its default button (a Yes/No box).
void EndModal(HWND top) {
  if (!IsWindow(top)) return;
  if (::GetDlgItem(top, IDCANCEL) == nullptr) {
    LRESULT def = ::SendMessage(top, DM_GETDEFID);
    HWND button = HIWORD(def) == DC_HASDEFID ? ::GetDlgItem(top, LOWORD(def)) : nullptr;
    if (button != nullptr) qav::ui::input::Click(button);
  }
  if (IsWindow(top)) ::SendMessage(top, WM_CLOSE);
}

// Saves the modal window that is about to open, then closes it. A property sheet is saved once
// for each of its pages.
void SaveModalLater(const std::string& name) {
  qav::ui::PostTask([name] {
    HWND top = FocusedTopLevel();
    if (top == nullptr) {
      std::fprintf(stderr, "screenshot: no window for %s\n", name.c_str());
      ++g_failures;
      return;
    }
    if (auto* sheet = dynamic_cast<CPropertySheet*>(CWnd::FromHandle(top)); sheet != nullptr && sheet->GetPageCount() > 1) {
      for (int i = 0; i < sheet->GetPageCount(); ++i) {
        sheet->SetActivePage(i);
        Save(top, name + "_page" + std::to_string(i + 1));
      }
    } else {
      Save(top, name);
    }
    EndModal(top);
  });
}

// Gives up when something waits for input that never comes, instead of hanging.
void Watchdog(int seconds) {
  std::thread([seconds] {
    Sleep(static_cast<DWORD>(seconds) * 1000);
    std::fprintf(stderr, "screenshot: still running after %d s, a window waits for input\n", seconds);
    std::_Exit(1);
  }).detach();
}

// Templates that register only when their dialog is first made or opened.
void RegisterLateTemplates(const std::string& folder) {
  RegisterDialogTemplate(&demo::kDemo);
  { CYearDlg y(nullptr); CMonthDlg m(nullptr); CObjArray<CDateTimeEx> dates; CDatesDlg d(&dates, nullptr); }
  { CElemsDlg e(nullptr, IDD_SELECT_ELEMENTS); }
  { CValid v; v.Setup(0); CValidDays d; d.Setup("Days"); }
  RegisterClassicTemplates();
  { CViewer v; v.ViewReportFile((folder + "/none.unknown").c_str(), true, nullptr); }
  RegisterFrameResources();
}

void BareTemplates() {
  for (UINT id : RegisteredDialogTemplates()) {
    const DialogTemplate* t = FindDialogTemplate(id);
    Shot shot;
    if (t == nullptr || !shot.Show(*t)) {
      ++g_failures;
      continue;
    }
    Save(shot.m_hWnd, "template_" + std::to_string(id));
    shot.DestroyWindow();
  }
}

void MessageBoxes() {
  // A report's path in a deep folder, its name 200 characters long: one word wider than a box.
  const std::string deep = "Could not open the report file\n/home/traffic/reports/1994/district-7/" +
                           std::string(160, 'x') + "-eastbound-peak-hours.rpt\nThe report was not written.";
  struct Box { const char* name; const char* text; UINT type; };
  for (const Box& b : {Box{"box_info", "The report was written.", MB_OK | MB_ICONINFORMATION},
                       Box{"box_long_path", deep.c_str(), MB_OK | MB_ICONHAND},
                       Box{"box_question", "Replace the existing configuration file?", MB_YESNO | MB_ICONQUESTION},
                       Box{"box_warning", "Please insert CD with 3/15/1994 data", MB_OKCANCEL | MB_ICONEXCLAMATION},
                       Box{"box_error", "Could not create Thread!", MB_OK | MB_ICONHAND}}) {
    SaveModalLater(b.name);
    ::MessageBox(nullptr, b.text, "QAV", b.type);
  }
}

// The selection dialogs on a small generated archive, the viewer on a small report, the about
// box and the wait dialog, each initialised as the program opens it.
void OwnDialogs(const std::string& folder) {
  SampleArchiveOptions options;
  options.root = folder + "/archive/";
  options.years = {1994};
  options.elements = 24;
  options.days = 12;
  std::string message;
  if (WriteSampleArchive(options, &message) != 0) {
    std::fprintf(stderr, "screenshot: no sample archive: %s\n", message.c_str());
    ++g_failures;
    return;
  }
  g_DataRootPath.Set((folder + "/archive\\").c_str());
  CObjArray<CDateTimeEx> dates;
  for (int d = 3; d <= 7; ++d) dates.Add(CDateTimeEx(1994, 1, d));
  { CYearDlg d(nullptr); SaveModalLater("dialog_year"); d.DoModal(); }
  {
    CMonthDlg d(nullptr);
    SaveModalLater("dialog_month");
    int year = 1994, month = 1;
    d.RunYearMonth(year, month);
  }
  { CDatesDlg d(&dates, nullptr); SaveModalLater("dialog_dates"); d.DoModal(); }
  for (UINT id : {IDD_SELECT_ELEMENTS, IDD_SELECT_ELEMENTS_WIZARD}) {
    CElemsDlg d(nullptr, id);
    d.SetErrorHook([](const char*, DWORD, void*) {}, nullptr);
    if (d.StartLoad(dates, kMaskClassic) == 0) d.WaitDone();
    SaveModalLater(id == IDD_SELECT_ELEMENTS ? "dialog_elements" : "dialog_elements_wizard");
    d.DoModal();
  }
  {
    const std::string report = folder + "/REPORT.DAT";
    std::ofstream out(report);
    for (int i = 0; i < 40; ++i) out << "Line " << i + 1 << " of a small report\n";
    out.close();
    CViewer viewer;
    if (viewer.ViewReportFile(report.c_str(), true, nullptr)) Save(viewer.m_hWnd, "dialog_viewer");
    else ++g_failures;
    viewer.Close();
  }
  {
    CAboutDlg about("Dec  7 2026", "08:00:00");
    SaveModalLater("about_box");
    about.DoModal();
  }
  {
    int position = 40;
    bool keepGoing = true;
    CWaitDialog wait(&position, &keepGoing, "Loading Input Data...");
    wait.SetRange(0, 100);
    wait.ShowWindow(SW_SHOW);
    Save(wait.m_hWnd, "wait_dialog");
    // Two moves of the bar 10 s apart give the first estimate of the time left.
    wait.OnTimer(1);
    wait.m_estimator.m_nLastPositionTime -= 10000;
    position = 60;
    wait.OnTimer(1);
    Save(wait.m_hWnd, "wait_dialog_estimate");
    wait.Close();
  }
}

// The program's main frame with each view, as it starts, and the view's parameter sheet.
void MainFrames(IProfileStore& profile) {
  for (int classic : {0, 1}) {
    const std::string name = classic != 0 ? "classic" : "new";
    profile.WriteInt("GENERAL", "USE_CLASSIC", classic);
    CQAVApp app;
    if (!app.InitInstance() || app.m_pMainWnd == nullptr) {
      std::fprintf(stderr, "screenshot: the program did not start with the %s view\n", name.c_str());
      ++g_failures;
      continue;
    }
    CWnd* frame = app.m_pMainWnd;
    qav::ui::PumpPending();
    Save(frame->m_hWnd, "frame_" + name);
    if (auto* view = dynamic_cast<CMainNew*>(static_cast<CFrameWnd*>(frame)->GetActiveView());
        view != nullptr && IsWindow(view->m_wndStatusMsgs.m_hWnd))
      Save(view->m_wndStatusMsgs.m_hWnd, "status_window");
    SaveModalLater("sheet_" + name);
    frame->SendMessage(WM_COMMAND, ID_PARAMETERS);
    // Not the main window any more, so its end does not end the program's loop (and with it the
    // next frame's modal windows).
    app.m_pMainWnd = nullptr;
    frame->DestroyWindow();  // deletes itself
    qav::ui::PumpPending();
  }
}

int Idle(double seconds) {
  RegisterDialogTemplate(&demo::kDemo);
  demo::DemoDlg dlg;
  rusage before{}, after{};
  DWORD start = 0;
  std::atomic<HWND> target{nullptr};
  qav::ui::PostTask([&] {
    target = dlg.m_hWnd;
    getrusage(RUSAGE_SELF, &before);
    start = GetTickCount();
  });
  // Ends the dialog from another thread after the time, as a worker's message would.
  std::thread closer([&] {
    Sleep(static_cast<DWORD>(seconds * 1000 + 200));
    ::PostMessage(target.load(), WM_COMMAND, IDCANCEL, 0);
  });
  dlg.DoModal();
  getrusage(RUSAGE_SELF, &after);
  closer.join();
  double ms = (GetTickCount() - start) / 1000.0;
  double cpu = (after.ru_utime.tv_sec - before.ru_utime.tv_sec) + (after.ru_stime.tv_sec - before.ru_stime.tv_sec) +
               ((after.ru_utime.tv_usec - before.ru_utime.tv_usec) + (after.ru_stime.tv_usec - before.ru_stime.tv_usec)) / 1e6;
  long wakes = (after.ru_nvcsw - before.ru_nvcsw) + (after.ru_nivcsw - before.ru_nivcsw);
  std::printf("idle %.1f s: cpu %.3f s (%.2f%%), %ld wake-ups (%.2f per second)\n", ms, cpu, 100.0 * cpu / ms, wakes,
              wakes / ms);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: screenshot DIR | screenshot --idle SECONDS\n");
    return 2;
  }
  std::error_code ec;
  std::string tmpl = (std::filesystem::temp_directory_path(ec) / "qav-shots-XXXXXX").string();
  if (::mkdtemp(tmpl.data()) == nullptr) {
    std::fprintf(stderr, "screenshot: cannot make a temporary folder\n");
    return 1;
  }
  const std::string folder = tmpl;
  struct RemoveFolder {
    std::string path;
    ~RemoveFolder() {
      std::error_code e;
      std::filesystem::remove_all(path, e);
    }
  } removeFolder{folder};
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
    // Offscreen, on a screen of the size the program's forms were laid out for, so the main
    // frame shows maximised as the program starts it.
    const std::string screen = folder + "/screen.json";
    std::ofstream(screen) << R"({"screens":[{"name":"shot","x":0,"y":0,"width":1024,"height":768,)"
                          << R"("logicalDpiX":96,"logicalDpiY":96,"dpr":1}]})";
    ::setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screen).c_str(), 1);
  }
  if (!qav::ui::SelectBackend("qt")) {
    std::fprintf(stderr, "screenshot: Qt cannot start\n");
    return 1;
  }
  qav::ui::BindUiThread();
  qav::ui::SetMessageBoxHandler(nullptr);
  if (std::string(argv[1]) == "--idle") return Idle(argc > 2 ? std::atof(argv[2]) : 10.0);

  g_dir = argv[1];
  std::filesystem::create_directories(g_dir, ec);
  if (!std::filesystem::is_directory(g_dir, ec)) {
    std::fprintf(stderr, "screenshot: cannot make the folder %s\n", g_dir.c_str());
    return 1;
  }
  Watchdog(120);
  {
    CProfile profile(folder + "/profile.ini");
    CFileProfileStore store(profile);
    SetActiveProfile(&store);
    RegisterLateTemplates(folder);
    BareTemplates();
    MessageBoxes();
    OwnDialogs(folder);
    MainFrames(store);
    qav::ui::ResetWindowSystem();
    SetActiveProfile(nullptr);
  }
  std::printf("screenshot: %s in %s\n", g_failures == 0 ? "saved" : "some failed", g_dir.c_str());
  return g_failures == 0 ? 0 : 1;
}
