// How soon Cancel ends a large run, in each phase of both views, and how soon the text viewer's
// window goes when it is closed on a large report. The real views run on the window system (Qt's
// offscreen platform; QAV_BENCH_BACKEND=headless for none). Cancel is clicked in the wait dialog
// as a user clicks it (the click waits for the user-interface thread to look at its input), and
// the time runs from the click until the view's run has returned: its wait dialog gone and the
// main window taking input again.
//
// The archive is that of `mkarchive DIR --years 1996 --days 366 --elements 400` (written once into
// a temporary folder; QAV_CANCEL_ARCHIVE names one already written). The New view design reads
// every day of 1996 for 396 elements and lists the five-minute volume of every loop and station
// day by day: 10.4 million rows. The Classic design writes the raw listing and both single-day
// tables of the same elements (no metered lanes) over QAV_CANCEL_CLASSIC_DAYS days (default: the
// year, about 2 GB of days held) from one load. Each view first runs once to the end, which gives
// the length of its phases (loading; sorting, in the New view; writing) and of the whole run;
// each try then clicks Cancel a quarter into the loading, or in the middle of the sorting or the
// writing. QAV_CANCEL_TRIES sets the tries (default 3); each benchmark reports the median and the
// worst (ms), the phase's length and the whole run's (s).
//
// The viewer: a Classic run writes the raw listing of QAV_CANCEL_VIEWER_DAYS days (default 90:
// about 350 MB, 8 million lines), which automatic opening shows in the program's own viewer; its
// OK button is clicked and timed until the viewer's window is gone.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/classic/main_classic.h"
#include "app/newview/main_new.h"
#include "app/newview/main_new_form.h"
#include "app/newview/new_tables.h"
#include "app/newview/nfg_file.h"
#include "app/select/archive_scan.h"
#include "app/shell/main_frame.h"
#include "app/shell/profile_store.h"
#include "app/shell/qav_app.h"
#include "app/viewer/viewer.h"
#include "archive/archive_globals.h"
#include "archive/sample_archive.h"
#include "bench_temp.h"
#include "bench_year.h"
#include "platform/app/profile.h"
#include "platform/ui/backend.h"
#include "platform/ui/choosers.h"
#include "platform/ui/input.h"
#include "platform/ui/wnd.h"
#include "trafficdata/db_record.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kYear = 1996;
constexpr int kElements = 400;
constexpr int kSelected = 396;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

int EnvInt(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v != nullptr && std::atoi(v) > 0 ? std::atoi(v) : fallback;
}

struct SArchive {
  std::string root;
  std::vector<CDateTimeEx> days;
  std::vector<SampleElement> elements;
};

const SArchive& TheArchive() {
  static const SArchive archive = [] {
    SArchive a;
    if (const char* given = std::getenv("QAV_CANCEL_ARCHIVE")) {
      a.root = given;
      if (!a.root.empty() && a.root.back() != '/') a.root += '/';
    } else {
      std::vector<SampleDayInfo> info;
      a.root = WriteBenchYear("qav_cancel_bench", kYear, kElements, info, false, 366);
    }
    CYearDays days;
    ScanYearDays(a.root, kYear, days);
    for (int i = 0; i < days.dates.m_nSize; ++i) a.days.push_back(*days.dates.m_pData[i]);
    a.elements = SampleElements(kYear, kElements);
    a.elements.resize(kSelected);
    return a;
  }();
  return archive;
}

// The window system, once: Qt offscreen unless QAV_BENCH_BACKEND says otherwise.
bool StartWindows() {
  static const bool ok = [] {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const char* backend = std::getenv("QAV_BENCH_BACKEND");
    const bool selected = qav::ui::SelectBackend(backend != nullptr ? backend : "qt");
    qav::ui::BindUiThread();
    // A box would wait for a user: its text goes to the log, and its first button answers.
    qav::ui::SetMessageBoxHandler([](const qav::ui::MessageBoxRequest& r) {
      std::fprintf(stderr, "  box: %s\n", r.text.substr(0, 200).c_str());
      return (r.type & 0xF) == MB_YESNO || (r.type & 0xF) == MB_YESNOCANCEL ? IDYES : IDOK;
    });
    return selected;
  }();
  return ok;
}

// A folder of the benchmark's own: the profile, the designs and the reports.
const std::string& WorkFolder() {
  static const CBenchTempPath folder("qav_cancel_work");
  static const std::string path = [] {
    std::filesystem::create_directories(folder.Path());
    return folder.Path() + "/";
  }();
  return path;
}

// The path of a profile file that does not exist yet.
std::string FreshProfile() {
  const std::string path = WorkFolder() + "profile.ini";
  std::filesystem::remove(path);
  return path;
}

// The program as it starts: its profile (the archive, no automatic opening unless asked, the
// program's own viewer for text), the application and its main view.
class CProgram {
 public:
  CProgram(bool classic, bool autoOpen) : m_profile(FreshProfile()), m_store(m_profile) {
    m_store.WriteInt("GENERAL", "USE_CLASSIC", classic ? 1 : 0);
    m_store.WriteInt("GENERAL", "CDROM_INDEX", 1);
    m_store.WriteString("GENERAL", "OTHER_PATH", TheArchive().root.c_str());
    m_store.WriteInt("OUTPUT", "AUTOOPEN", autoOpen ? 1 : 0);
    m_store.WriteInt("OUTPUT", "USEQAVCUSTOMVIEWER", 1);
    m_store.WriteString("OUTPUT", "RAWDATA_PATH", WorkFolder().c_str());
    m_store.WriteString("OUTPUT", "SDS_PATH", WorkFolder().c_str());
    m_store.WriteString("OUTPUT", "MDS_PATH", WorkFolder().c_str());
    SetActiveProfile(&m_store);
    m_ok = m_app.InitInstance();
    m_frame = dynamic_cast<CFrameWnd*>(m_app.m_pMainWnd);
    if (m_frame != nullptr) m_view = m_frame->GetActiveView();
    g_DataRootPath.Set(TheArchive().root.c_str());
  }
  ~CProgram() {
    if (m_frame != nullptr && ::IsWindow(m_frame->m_hWnd)) m_frame->DestroyWindow();
    // The main window's end asks the message loop to quit; no loop runs here to take that request,
    // which would otherwise end every later pump after one message.
    MSG m;
    while (::PeekMessage(&m, nullptr, 0, 0, PM_REMOVE))
      if (m.message != WM_QUIT) ::DispatchMessage(&m);
    SetActiveProfile(nullptr);
  }
  bool Ok() const { return m_ok && m_view != nullptr; }
  CMainNew* New() const { return dynamic_cast<CMainNew*>(m_view); }
  CMainClassic* Classic() const { return dynamic_cast<CMainClassic*>(m_view); }
  CFrameWnd* Frame() const { return m_frame; }

 private:
  CProfile m_profile;
  CFileProfileStore m_store;
  CQAVApp m_app;
  bool m_ok = false;
  CFrameWnd* m_frame = nullptr;
  CView* m_view = nullptr;
};

// The New view design: every day of the archive's year for the selected elements, the five-minute
// volume of each day of every loop and station (10,406,880 rows), listed by date, time and element
// with the content across.
std::string WriteNewDesign(const std::string& report) {
  const SArchive& a = TheArchive();
  static const int kTypes[4] = {ET_LOOP, ET_STATION, ET_SPEED_TRAP, ET_RATE_STATUS};
  SNewConfig cfg;
  cfg.outputPath = report;
  cfg.outFormat = 0;
  for (const CDateTimeEx& d : a.days) cfg.dates.push_back(static_cast<double>(static_cast<int>(static_cast<double>(d))));
  cfg.roadways = {"I-5"};
  for (const SampleElement& e : a.elements) {
    const size_t colon = e.key.find(':');
    SNfgCabinet c;
    c.id = e.key.substr(0, colon);
    c.alias = e.aliasKey.substr(0, e.aliasKey.find(':'));
    c.location = "Here";
    cfg.cabinets.push_back(c);
    SNfgElement el;
    el.name = e.key.substr(colon + 1);
    el.type = kTypes[e.kind];
    el.cabinet = static_cast<int>(cfg.cabinets.size()) - 1;
    cfg.elements.push_back(el);
  }
  cfg.avgMethod = AVG_NONE;
  cfg.periodLen = 15;
  cfg.sumMethod = 2;
  cfg.content[CC_VOLUME] = 1;
  cfg.lists[NFG_COLS] = {{GK_CONTENT, true}};
  cfg.lists[NFG_ROWS] = {{GK_DATE, true}, {GK_TIME, true}, {GK_ELEMENT, true}};
  const std::string path = WorkFolder() + "design.nfg";
  std::ofstream(path, std::ios::binary) << WriteNewConfig(cfg);
  return path;
}

// The Classic design: the raw listing and both single-day tables from the single-day selection
// (the first `days` days of the archive), one load for both reports.
void SetClassicDesign(CMainClassic& v, int days) {
  const SArchive& a = TheArchive();
  static const int kTypes[4] = {ET_LOOP, ET_STATION, ET_SPEED_TRAP, ET_RATE_STATUS};
  CClassicSelection& s = v.m_sel[CB_SINGLE];
  s.dates.RemoveAll();
  s.cabinets.RemoveAll();
  s.elements.RemoveAll();
  for (size_t i = 0; i < a.days.size() && static_cast<int>(i) < days; ++i) s.dates.Add(a.days[i]);
  for (const SampleElement& e : a.elements) {
    if (e.kind == 3) continue;  // the Classic view reads no metered lanes
    const size_t colon = e.key.find(':');
    const std::string alias = e.aliasKey.substr(0, e.aliasKey.find(':'));
    const int k = s.cabinets.Add(CDBCabinet(e.key.substr(0, colon).c_str(), alias.c_str(), 0, "", nullptr));
    s.elements.Add(CDBElementEx(e.key.substr(colon + 1).c_str(), kTypes[e.kind], s.cabinets.m_pData[k]));
  }
  v.m_nSdsDates = s.dates.m_nSize;
  v.m_nSdsElems = s.elements.m_nSize;
  v.m_bRawOn = v.m_bSdsOn = 1;
  v.m_bRawOff = v.m_bSdsOff = 0;
  v.m_nRawSource = 1;
  v.m_bDaily = v.m_b15Min = 1;
  v.m_strRawName = "CANCEL.DAT";
  v.m_strSdsName = "CANCEL.SDS";
  v.UpdateData(FALSE);
}

// The threads of this process.
int Threads() {
  int n = 0;
  std::error_code e;
  for (auto it = std::filesystem::directory_iterator("/proc/self/task", e); !e && it != std::filesystem::directory_iterator();
       it.increment(e))
    ++n;
  return n;
}

// The phases of a run as the user meets them: loading, sorting (New view) and writing.
enum EPhase { kLoading, kSorting, kWriting, kPhases };
const char* const kPhaseNames[kPhases] = {"loading", "sorting", "writing"};

// Watches a run from the moment its view is told to start: when each phase begins, seen from
// outside the program's threads (the loading at once; the sorting when the loader's helper
// threads have ended; the writing when the report file appears), and the wait dialog's titles,
// looked at from tasks the user-interface thread runs between its checks of the run. Once
// `cancelIn` seconds of `phase` have passed, Cancel is clicked: the click is queued as a user's
// click is, and waits as a user's does for the thread to look at its input.
class CWatcher {
 public:
  CWatcher(CMainDlg& view, std::string report, int phase = -1, double cancelIn = 0)
      : m_view(view), m_report(std::move(report)), m_phase(phase), m_cancelIn(cancelIn), m_thread([this] { Run(); }) {}
  ~CWatcher() { Stop(); }
  // Ends the watching; the results below are then whole.
  void Stop() {
    if (m_dead) return;
    m_stop = true;
    m_thread.join();
    // The tasks still queued refer to this watcher.
    qav::ui::PumpPending();
    m_dead = true;
  }
  Clock::time_point started = Clock::now(), begins[kPhases] = {};
  // When each title first showed, in order, and when Cancel was clicked (if it was).
  std::vector<std::pair<std::string, Clock::time_point>> titles;
  Clock::time_point cancelled{};

 private:
  void Run() {
    begins[kLoading] = started;
    int most = 0;
    while (!m_stop) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      const Clock::time_point now = Clock::now();
      const int threads = Threads();
      most = std::max(most, threads);
      if (begins[kSorting] == Clock::time_point{} && threads <= most - 3) begins[kSorting] = now;
      if (begins[kWriting] == Clock::time_point{} && std::filesystem::exists(m_report)) begins[kWriting] = now;
      if (m_phase >= 0 && cancelled == Clock::time_point{} && begins[m_phase] != Clock::time_point{} &&
          Seconds(now - begins[m_phase]) >= m_cancelIn) {
        cancelled = now;
        qav::ui::PostTask([this] {
          CWaitDialog* w = m_view.m_pWaitDialog;
          if (!m_dead && w != nullptr && ::IsWindow(w->GetSafeHwnd())) qav::ui::input::Click(::GetDlgItem(w->m_hWnd, IDCANCEL));
        });
      }
      if (!m_looking.exchange(true))
        qav::ui::PostTask([this] {
          if (!m_dead) Look();
          m_looking = false;
        });
    }
  }
  void Look() {
    CWaitDialog* w = m_view.m_pWaitDialog;
    if (w == nullptr || !::IsWindow(w->GetSafeHwnd())) return;
    const std::string title = w->GetWindowText();
    if (titles.empty() || titles.back().first != title) titles.emplace_back(title, Clock::now());
  }
  CMainDlg& m_view;
  std::string m_report;
  int m_phase;
  double m_cancelIn;
  std::atomic<bool> m_looking{false}, m_stop{false};
  bool m_dead = false;
  std::thread m_thread;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : (v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2);
}

// A view's design and run: sets the design up on a new program, the report file the run writes
// first, and starts the run (Produce Report(s) or GO, clicked), returning when it has ended.
struct SViewRun {
  bool classic;
  std::function<bool(CProgram&)> prepare;
  std::string report;
  std::function<void(CProgram&)> start;
};

// One phase of a view's run: a whole run first (the length of its phases), then the tries, each
// cancelled in the middle of the phase.
void CancelInPhase(benchmark::State& state, const SViewRun& r, int phase) {
  if (!StartWindows()) return state.SkipWithError("no window system");
  struct SLengths {
    double phase[kPhases] = {};
    double whole = 0;
  };
  static std::map<bool, SLengths> measured;
  const char* view = r.classic ? "Classic" : "New";
  if (measured.find(r.classic) == measured.end()) {
    CProgram program(r.classic, false);
    if (!program.Ok() || !r.prepare(program)) return state.SkipWithError("the view did not start");
    std::filesystem::remove(r.report);
    CWatcher watcher(*dynamic_cast<CMainDlg*>(program.Frame()->GetActiveView()), r.report);
    r.start(program);
    const Clock::time_point ended = Clock::now();
    watcher.Stop();
    SLengths l;
    l.whole = Seconds(ended - watcher.started);
    // The writing ends with the first title after the writing began (or with the run).
    Clock::time_point writingEnd = ended;
    for (const auto& [title, at] : watcher.titles)
      if (watcher.begins[kWriting] != Clock::time_point{} && at > watcher.begins[kWriting] + std::chrono::milliseconds(400) &&
          title.rfind("Outputting", 0) != 0 && at < writingEnd)
        writingEnd = at;
    const Clock::time_point* b = watcher.begins;
    const Clock::time_point loadEnd = r.classic || b[kSorting] == Clock::time_point{} ? b[kWriting] : b[kSorting];
    l.phase[kLoading] = Seconds(loadEnd - b[kLoading]);
    l.phase[kSorting] = r.classic || b[kSorting] == Clock::time_point{} ? 0 : Seconds(b[kWriting] - b[kSorting]);
    l.phase[kWriting] = Seconds(writingEnd - b[kWriting]);
    for (const auto& [title, at] : watcher.titles) std::fprintf(stderr, "  %s %6.2f s  %s\n", view, Seconds(at - watcher.started), title.c_str());
    std::fprintf(stderr, "  %s whole run %.2f s; loading %.2f s, sorting %.2f s, writing %.2f s\n", view, l.whole,
                 l.phase[kLoading], l.phase[kSorting], l.phase[kWriting]);
    measured[r.classic] = l;
  }
  const SLengths& l = measured[r.classic];
  if (l.phase[phase] <= 0) return state.SkipWithError("the phase was not seen");
  std::vector<double> ms;
  const int tries = EnvInt("QAV_CANCEL_TRIES", 3);
  for (auto _ : state) {
    for (int t = 0; t < tries; ++t) {
      CProgram program(r.classic, false);
      if (!program.Ok() || !r.prepare(program)) return state.SkipWithError("the view did not start");
      std::filesystem::remove(r.report);
      CMainDlg& v = *dynamic_cast<CMainDlg*>(program.Frame()->GetActiveView());
      // A load is quicker once the first run has warmed the caches: a quarter into it is still in it.
      CWatcher watcher(v, r.report, phase, l.phase[phase] / (phase == kLoading ? 4 : 2));
      r.start(program);
      const Clock::time_point ended = Clock::now();
      watcher.Stop();
      if (watcher.cancelled == Clock::time_point{}) return state.SkipWithError("Cancel was never clicked");
      if (v.m_pWaitDialog != nullptr || !::IsWindowEnabled(program.Frame()->m_hWnd))
        return state.SkipWithError("the run returned with its wait dialog up");
      ms.push_back(Seconds(ended - watcher.cancelled) * 1000);
      std::string titles;
      for (const auto& title : watcher.titles) titles += (titles.empty() ? "" : " / ") + title.first;
      std::fprintf(stderr, "  %s %s: %.0f ms  (%s)\n", view, kPhaseNames[phase], ms.back(), titles.c_str());
    }
  }
  state.counters["tries"] = static_cast<double>(ms.size());
  state.counters["median_ms"] = Median(ms);
  state.counters["worst_ms"] = *std::max_element(ms.begin(), ms.end());
  state.counters["phase_s"] = l.phase[phase];
  state.counters["whole_run_s"] = l.whole;
}

bool PrepareNew(CProgram& p) {
  CMainNew* v = p.New();
  return v != nullptr && v->ReadConfigFile(WriteNewDesign(WorkFolder() + "new_report.txt"));
}

void ProduceReports(CProgram& p) { qav::ui::input::Click(::GetDlgItem(p.New()->m_hWnd, IDC_NV_PRODUCE)); }

bool PrepareClassic(CProgram& p) {
  CMainClassic* v = p.Classic();
  if (v == nullptr) return false;
  SetClassicDesign(*v, EnvInt("QAV_CANCEL_CLASSIC_DAYS", 366));
  return true;
}

void Go(CProgram& p) { qav::ui::input::Click(::GetDlgItem(p.Classic()->m_hWnd, IDC_GO)); }

const SViewRun& NewRun() {
  static const SViewRun r{false, PrepareNew, WorkFolder() + "new_report.txt", ProduceReports};
  return r;
}
const SViewRun& ClassicRun() {
  static const SViewRun r{true, PrepareClassic, WorkFolder() + "CANCEL.DAT", Go};
  return r;
}

void BM_NewLoading(benchmark::State& s) { CancelInPhase(s, NewRun(), kLoading); }
void BM_NewSorting(benchmark::State& s) { CancelInPhase(s, NewRun(), kSorting); }
void BM_NewWriting(benchmark::State& s) { CancelInPhase(s, NewRun(), kWriting); }
void BM_ClassicLoading(benchmark::State& s) { CancelInPhase(s, ClassicRun(), kLoading); }
void BM_ClassicWriting(benchmark::State& s) { CancelInPhase(s, ClassicRun(), kWriting); }

// Closing the viewer on a large report, opened the way automatic opening opens it after a whole
// Classic run (the run's memory freed just before).
void BM_ViewerClose(benchmark::State& state) {
  if (!StartWindows()) return state.SkipWithError("no window system");
  std::vector<double> ms;
  const int tries = EnvInt("QAV_CANCEL_TRIES", 3);
  for (auto _ : state) {
    for (int t = 0; t < tries; ++t) {
      CProgram program(true, true);
      if (!program.Ok()) return state.SkipWithError("the view did not start");
      CMainClassic& view = *program.Classic();
      SetClassicDesign(view, EnvInt("QAV_CANCEL_VIEWER_DAYS", 90));
      view.m_bSdsOn = 0;
      view.m_bSdsOff = 1;
      view.UpdateData(FALSE);
      Go(program);
      qav::ui::PumpPending();
      const HWND window = view.m_Viewer.m_hWnd;
      if (window == nullptr) return state.SkipWithError("the report was not shown");
      std::fprintf(stderr, "  viewer lines %d\n", view.m_Viewer.m_nLineCount);
      const Clock::time_point clicked = Clock::now();
      qav::ui::input::Click(::GetDlgItem(window, IDOK));
      qav::ui::PumpPending();
      const Clock::time_point gone = Clock::now();
      if (::IsWindow(window) || !::IsWindowEnabled(program.Frame()->m_hWnd))
        return state.SkipWithError("the viewer's window stayed");
      ms.push_back(Seconds(gone - clicked) * 1000);
      std::fprintf(stderr, "  viewer close: %.0f ms\n", ms.back());
    }
  }
  state.counters["tries"] = static_cast<double>(ms.size());
  state.counters["median_ms"] = Median(ms);
  state.counters["worst_ms"] = *std::max_element(ms.begin(), ms.end());
}

BENCHMARK(BM_NewLoading)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_NewSorting)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_NewWriting)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_ClassicLoading)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_ClassicWriting)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_ViewerClose)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
