// memtries: the real program under address-space limits (`ulimit -v`), driven by real X input.
// For each archive, view, limit and try it starts qav with the limit, reads a set-up file through
// File > Read Config File, presses ---GO!--- (Classic) or Produce Report(s) (New view), lets the
// reports open (the Classic view's own viewer; the New view's text viewer program, which only notes
// the report), ends the program with File > Exit and says how the try ended:
//   written  every report whole (as written without a limit) and told: a viewer shows it, or the
//            viewer's box says it has not the memory to show it (the viewer's boxes are the
//            program's only ones without a caption, which the window system names "Error"), which
//            the table counts apart
//   refused  no report short, at least one refused (not written, or not shown and a box said
//            why); the status lines are in the try's pictures (end.png, box-N.png)
//   start    the program said on standard error that it had not the memory to start, status 1
//   crash    the program ended by a signal (or with another status) at any time
//   hang     nothing changed for --hang seconds, or File > Exit did not end the program
//   short    a report under its name is not whole (never acceptable)
//   untold   a report was written whole but neither shown nor named in a box
// Run it on a display of its own: scripts/xvfb.sh build-release/tools/memtries/memtries [options]
// (under a window manager: scripts/xvfb.sh scripts/wm.sh openbox ...). Build qav in Release: the
// address sanitizer's shadow memory cannot live under such limits.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/classic/classic_config.h"
#include "app/classic/main_classic.h"
#include "app/newview/main_new_form.h"
#include "app/newview/nfg_file.h"
#include "archive/sample_archive.h"
#include "platform/app/ole_date_time.h"
#include "platform/ui/backend.h"
#include "platform/ui/dialog.h"
#include "trafficdata/db_element.h"
#include "trafficdata/db_record.h"
#include "trafficdata/view_settings.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const char kHelp[] =
    "usage: memtries [--qav PATH] [--work DIR] [--archives EXD,...] [--views classic,new]\n"
    "                [--limits MB,...] [--tries N] [--hang SECONDS]\n"
    "\n"
    "  --qav PATH       the program (default: src/app/qav of this build)\n"
    "  --work DIR       archives, set-ups and one folder per try (default /tmp/qav-memtries)\n"
    "  --archives LIST  elements x days of the synthetic archives (default 160x12,400x60)\n"
    "  --views LIST     classic, new or both (default both)\n"
    "  --limits LIST    address-space limits in MB, 0 for none (default 110,120,250,300,400,600,900,1200)\n"
    "  --tries N        tries per archive, view and limit (default 2)\n"
    "  --hang SECONDS   how long nothing may change before a try counts as a hang (default 120)\n"
    "\n"
    "A try is written when every report is whole and shown, or whole and refused by the viewer for\n"
    "want of memory (counted apart in the table). GO and Produce Report(s) are clicked where the\n"
    "forms place them with the dialog font of this display, on a screen of any size.\n";

struct SOptions {
  std::string qav, work = "/tmp/qav-memtries";
  POINT go[2] = {};  // where GO (Classic, [1]) and Produce Report(s) (New view, [0]) are clicked
  std::vector<std::pair<int, int>> archives{{160, 12}, {400, 60}};
  std::vector<bool> classic{true, false};
  std::vector<int> limits{110, 120, 250, 300, 400, 600, 900, 1200};
  int tries = 2;
  int hang = 120;
};

std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[512];
    while (std::fgets(buf, sizeof buf, p)) out += buf;
    ::pclose(p);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

std::string Xdo(const std::string& args) { return Shell("timeout 20 xdotool " + args + " 2>/dev/null"); }

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Keys for a window as a user types them (the window focused first); false when it is gone.
bool Keys(const std::string& window, const std::string& keys, const char* how = "key") {
  return Shell("timeout 10 xdotool windowfocus --sync " + window + " 2>/dev/null && timeout 20 xdotool " + how + " " +
               keys + " 2>/dev/null && echo typed") == "typed";
}

// The visible windows: id and name.
std::vector<std::pair<std::string, std::string>> Windows() {
  std::vector<std::pair<std::string, std::string>> out;
  std::istringstream lines(Shell(
      "timeout 20 bash -c 'for w in $(xdotool search --onlyvisible --name . 2>/dev/null); do echo \"$w $(xdotool "
      "getwindowname $w 2>/dev/null)\"; done'"));
  for (std::string line; std::getline(lines, line);) {
    const size_t space = line.find(' ');
    if (space != std::string::npos && space + 1 < line.size()) out.emplace_back(line.substr(0, space), line.substr(space + 1));
  }
  return out;
}

std::string WaitWindow(const std::string& name, int seconds) {
  for (int i = 0;; ++i) {
    std::string id = Xdo("search --onlyvisible --name '" + name + "' | head -1");
    if (!id.empty() || i >= seconds * 5) return id;
    Pause(200);
  }
}

bool WaitGone(const std::string& name, int seconds) {
  for (int i = 0;; ++i) {
    if (Xdo("search --onlyvisible --name '" + name + "' | head -1").empty()) return true;
    if (i >= seconds * 5) return false;
    Pause(200);
  }
}

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A report as it ends: its size and its last bytes (the banner at its start names the time).
struct SReport {
  bool exists = false;
  uintmax_t size = 0;
  std::string tail;
  bool operator==(const SReport& o) const { return exists == o.exists && size == o.size && tail == o.tail; }
};

SReport ReadReport(const fs::path& path) {
  SReport r;
  std::error_code e;
  r.size = fs::file_size(path, e);
  if (e) return r;
  r.exists = true;
  std::ifstream in(path, std::ios::binary);
  const uintmax_t keep = std::min<uintmax_t>(r.size, 4096);
  in.seekg(static_cast<std::streamoff>(r.size - keep));
  r.tail.resize(keep);
  in.read(r.tail.data(), static_cast<std::streamsize>(keep));
  return r;
}

// The archive's 1994 days and its elements that the views read (not the metered lanes): "most
// elements chosen", three quarters of them.
struct SArchive {
  std::string root, name;
  std::vector<SampleDayInfo> days;
  std::vector<SampleElement> elements;
};

bool MakeArchive(const std::string& work, int elements, int days, SArchive& a) {
  a.name = std::to_string(elements) + "x" + std::to_string(days);
  a.root = work + "/archive-" + a.name + "/";
  // The days written are kept beside the archive, which is written once.
  const std::string list = work + "/archive-" + a.name + ".days";
  std::vector<SampleDayInfo> written;
  if (!fs::exists(list)) {
    SampleArchiveOptions o;
    o.root = a.root;
    o.elements = elements;
    o.days = days;
    std::string message;
    fs::remove_all(a.root);
    if (WriteSampleArchive(o, &message, &written) != 0) {
      std::fprintf(stderr, "memtries: the archive %s could not be written: %s\n", a.name.c_str(), message.c_str());
      return false;
    }
    std::ofstream out(list);
    for (const SampleDayInfo& d : written)
      if (d.written) out << d.year << " " << d.month << " " << d.day << "\n";
  }
  std::ifstream in(list);
  for (SampleDayInfo d; in >> d.year >> d.month >> d.day;)
    if (d.year == 1994) a.days.push_back(d);
  for (const SampleElement& e : SampleElements(1994, elements))
    if (e.kind != 3) a.elements.push_back(e);
  return !a.days.empty();
}

int ElementType(const SampleElement& e) {
  static const int kTypes[4] = {ET_LOOP, ET_STATION, ET_SPEED_TRAP, ET_RATE_STATUS};
  return kTypes[e.kind];
}

double DayNumber(const SampleDayInfo& d) {
  return static_cast<double>(static_cast<int>(static_cast<double>(COleDateTime(d.year, d.month, d.day, 0, 0, 0))));
}

// The days and the elements of a set-up, as a Classic block holds them.
ClassicSelection Chosen(const SArchive& a) {
  ClassicSelection sel;
  for (const SampleDayInfo& d : a.days) sel.dates.push_back(DayNumber(d));
  sel.roadways = {"I-5"};
  for (const SampleElement& e : a.elements) {
    const size_t colon = e.key.find(':');
    sel.cabinets.push_back({e.key.substr(0, colon), e.aliasKey.substr(0, e.aliasKey.find(':')), 0, "Here", 0});
    sel.elements.push_back({e.key.substr(colon + 1), ElementType(e), static_cast<int>(sel.cabinets.size()) - 1});
  }
  return sel;
}

// The Classic set-up: the raw listing, the single-day and the multi-day summaries, each of every
// day and of the archive's loops, stations and speed traps.
bool WriteClassicSetUp(const SArchive& a, const std::string& path) {
  ClassicSetup s;
  s.rawOn = s.sdsOn = s.mdsOn = 1;
  s.rawName = "M.DAT";
  s.sdsName = "M.SDS";
  s.mdsName = "M.MDS";
  s.daily = 1;
  s.min15 = 1;
  s.monthlyDow = 1;
  s.months = {0};
  s.monthlyDays = {0, 1, 2, 3, 4, 5, 6};
  for (ClassicSelection& block : s.sel) block = Chosen(a);
  std::string error;
  if (WriteClassicConfigFile(path.c_str(), s, error)) return true;
  std::fprintf(stderr, "memtries: %s\n", error.c_str());
  return false;
}

// The New view's set-up: volume, occupancy and speed of every five minutes of the same days and
// elements, listed by date, time and element, into `report`.
bool WriteNewSetUp(const SArchive& a, const std::string& path, const std::string& report) {
  const ClassicSelection sel = Chosen(a);
  SNewConfig cfg;
  cfg.outputPath = report;
  cfg.dates = sel.dates;
  cfg.roadways = sel.roadways;
  for (const ClassicCabinetRec& c : sel.cabinets) cfg.cabinets.push_back({c.id, c.alias, c.location, c.milepost, c.roadway});
  for (const ClassicElementRec& e : sel.elements) cfg.elements.push_back({e.name, e.type, e.cabinet});
  cfg.periodLen = 15;
  cfg.sumMethod = 2;
  cfg.content[CC_VOLUME] = cfg.content[CC_OCCUPANCY] = cfg.content[CC_SPEED] = 1;
  cfg.lists[NFG_COLS] = {{GK_CONTENT, true}};
  cfg.lists[NFG_ROWS] = {{GK_DATE, true}, {GK_TIME, true}, {GK_ELEMENT, true}};
  std::ofstream(path, std::ios::binary) << WriteNewConfig(cfg);
  return fs::exists(path);
}

const char* kRunning = "^(Working|Loading|Summarizing|Sorting|Outputting|Shutting|Opening the Report)";

bool IsRunningTitle(const std::string& name) {
  for (const char* t : {"Working", "Loading", "Summarizing", "Sorting", "Outputting", "Shutting", "Opening the Report"})
    if (name.rfind(t, 0) == 0) return true;
  return false;
}

// CPU seconds the process has used; -1 when it is gone.
double CpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream rest(text.substr(close + 2));
  std::string field;
  double ticks = 0;
  for (int i = 3; i <= 15 && rest >> field; ++i)
    if (i == 14 || i == 15) ticks += std::atof(field.c_str());
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The most address space the process has had, in MB; 0 when it is gone.
long PeakMB(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("VmPeak:", 0) == 0) return std::atol(line.c_str() + 7) / 1024;
  return 0;
}

struct STry {
  std::string outcome;  // written, refused, start, crash, hang, short
  std::string detail;
  bool viewerRefused = false;  // written, and a report not shown for the viewer's want of memory
};

class CTry {
 public:
  CTry(const SOptions& o, const SArchive& a, bool classic, int limit, const std::string& dir,
       const std::map<std::string, SReport>* reference)
      : o_(o), a_(a), classic_(classic), limit_(limit), dir_(dir), reference_(reference) {}
  ~CTry() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  STry Run();
  std::map<std::string, SReport> reports;

 private:
  bool Start();
  bool Ended(int* status, int waitMs);
  void Note(const std::string& line) { log_ << line << "\n"; }
  STry Finish(const std::string& outcome, std::string detail);
  std::vector<std::string> ReportNames() const {
    if (classic_) return {"M.DAT", "M.SDS", "M.MDS"};
    return {"R.txt"};
  }
  const SOptions& o_;
  const SArchive& a_;
  bool classic_;
  int limit_;
  std::string dir_;
  const std::map<std::string, SReport>* reference_;
  pid_t pid_ = -1;
  long peak_ = 0;
  std::ostringstream log_;
};

bool CTry::Start() {
  const std::string out = dir_ + "/out/";
  fs::create_directories(dir_ + "/config/KARVO");
  fs::create_directories(out);
  fs::create_directories(dir_ + "/tmp");
  const std::string opener = dir_ + "/opened.sh";
  std::ofstream(opener) << "#!/bin/sh\necho \"$1\" >> '" << dir_ << "/opened.log'\n";
  fs::permissions(opener, fs::perms::owner_all);
  std::ofstream(dir_ + "/config/KARVO/qav.ini")
      << "[GENERAL]\nUSE_CLASSIC=" << (classic_ ? 1 : 0) << "\nCDROM_INDEX=1\nOTHER_PATH=" << a_.root
      << "\n[OUTPUT]\nAUTOOPEN=1\nUSEQAVCUSTOMVIEWER=1\nTEXTVIEWER=" << opener << "\nSSVIEWER=" << opener
      << "\nRAWDATA_PATH=" << out << "\nSDS_PATH=" << out << "\nMDS_PATH=" << out << "\n";
  const bool written = classic_ ? WriteClassicSetUp(a_, dir_ + "/setup.cfg")
                                : WriteNewSetUp(a_, dir_ + "/setup.nfg", out + "R.txt");
  if (!written) return false;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::setenv("XDG_CONFIG_HOME", (dir_ + "/config").c_str(), 1);
    ::setenv("TMPDIR", (dir_ + "/tmp").c_str(), 1);
    const int err = ::open((dir_ + "/stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (err >= 0) ::dup2(err, 2);
    if (limit_ > 0) {
      rlimit r{static_cast<rlim_t>(limit_) << 20, static_cast<rlim_t>(limit_) << 20};
      ::setrlimit(RLIMIT_AS, &r);
    }
    ::execl(o_.qav.c_str(), o_.qav.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid_ > 0;
}

// Whether the program has ended (within `waitMs`); its wait status.
bool CTry::Ended(int* status, int waitMs) {
  for (int waited = 0;; waited += 100) {
    if (::waitpid(pid_, status, WNOHANG) == pid_) {
      pid_ = -1;
      return true;
    }
    if (waited >= waitMs) return false;
    Pause(100);
  }
}

STry CTry::Finish(const std::string& outcome, std::string detail) {
  Note("outcome: " + outcome + " " + detail);
  Note("stderr: " + Slurp(dir_ + "/stderr.txt").substr(0, 2000));
  std::ofstream(dir_ + "/try.log") << log_.str();
  return {outcome, detail};
}

std::string EndedHow(int status) {
  if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
  return "status " + std::to_string(WEXITSTATUS(status));
}

STry CTry::Run() {
  const auto began = Clock::now();
  if (!Start()) return Finish("harness", "could not start");
  const std::string mainName = classic_ ? "^QAV Classic$" : "^QAV$";
  int status = 0;
  std::string main;
  for (int i = 0; i < 300 && main.empty(); ++i) {
    if (Ended(&status, 0)) {
      const std::string err = Slurp(dir_ + "/stderr.txt");
      if (WIFEXITED(status) && WEXITSTATUS(status) == 1 && err.find("qav: not enough memory to start") != std::string::npos)
        return Finish("start", "");
      return Finish("crash", "at start, " + EndedHow(status));
    }
    main = Xdo("search --onlyvisible --name '" + mainName + "' | head -1");
    if (main.empty()) Pause(200);
  }
  if (main.empty()) return Finish("hang", "no main window in 60 s");
  Pause(1500);
  if (!classic_) {
    Xdo("windowmove " + main + " 0 0 windowsize " + main + " 1280 800");
    Xdo("search --onlyvisible --name '^Status Messages$' windowmove %@ 0 820");
    Pause(1000);
  }
  // File > Read Config File, the set-up's path typed into the chooser.
  std::string chooser;
  for (int attempt = 0; attempt < 3 && chooser.empty(); ++attempt) {
    Xdo("mousemove --window " + main + " 900 700 click 1");
    Pause(500);
    Keys(main, "alt+f");
    Pause(1000);
    Xdo("key r");
    chooser = WaitWindow("^Open$", 10);
    if (chooser.empty()) Xdo("key Escape Escape");
  }
  if (chooser.empty()) return Finish("harness", "no file chooser");
  Pause(500);
  Keys(chooser, "ctrl+a");
  Keys(chooser, "--delay 20 '" + dir_ + (classic_ ? "/setup.cfg" : "/setup.nfg") + "'", "type");
  Keys(chooser, "Return");
  if (!WaitGone("^Open$", 3)) Keys(chooser, "Return");
  if (!WaitGone("^Open$", 20)) return Finish("harness", "the file chooser stayed");
  Pause(1500);
  if (!WaitWindow("^Read Config File$", 1).empty()) return Finish("harness", "the set-up was refused");
  // GO or Produce Report(s), clicked again when a busy machine lost the click.
  const std::string click = "timeout 20 xdotool mousemove --window " + main + " " + std::to_string(o_.go[classic_].x) + " " +
                            std::to_string(o_.go[classic_].y) + " click 1";
  bool started = false;
  const auto runBegan = Clock::now();
  auto runEnded = runBegan;
  for (int attempt = 0; attempt < 2 && !started; ++attempt) {
    Shell(click);
    for (int i = 0; i < 50 && !started; ++i) {
      started = !Xdo(std::string("search --onlyvisible --name '") + kRunning + "' | head -1").empty() ||
                fs::exists(dir_ + "/opened.log") || Ended(&status, 0);
      if (pid_ < 0) return Finish("crash", "just after the start of the run, " + EndedHow(status));
      if (!started) Pause(200);
    }
  }
  Note("run started: " + std::string(started ? "yes" : "not seen"));
  // Watches until the run and the opening of its reports are over: no wait dialog, no box and the
  // program idle for a while. A change of the windows, of the reports or of the CPU time is
  // progress. A box that stays is read as a user reads it (a picture of the screen is kept) and
  // answered with Return.
  auto isViewer = [&](const std::string& name) {
    for (const std::string& r : ReportNames())
      if (name == r) return true;
    return false;
  };
  // A window manager may show a window of its own under its name (metacity does), which is no box.
  const char* manager = std::getenv("QAV_WINDOW_MANAGER");
  auto isBox = [&](const std::string& id, const std::string& name) {
    return id != main && name != "Status Messages" && name != "Text Viewer" && !IsRunningTitle(name) && !isViewer(name) &&
           (manager == nullptr || name != manager);
  };
  std::string lastState;
  auto lastChange = Clock::now();
  int quiet = 0;
  double cpu = CpuSeconds(pid_);
  std::map<std::string, int> boxAge;
  std::vector<std::string> boxesSeen;
  // The viewer tells in a box that a report is too large for the memory left.
  int viewerBoxes = 0;
  std::string shown;
  for (;;) {
    if (Ended(&status, 1000)) return Finish("crash", "during the run, " + EndedHow(status));
    std::string state;
    bool running = false, box = false;
    shown.clear();
    for (const auto& [id, name] : Windows()) {
      state += name + "|";
      running = running || IsRunningTitle(name);
      if (isViewer(name)) shown += name + " ";
      if (!isBox(id, name)) continue;
      box = true;
      if (++boxAge[id] < 3) continue;
      const bool viewers = name == "Error";
      viewerBoxes += viewers ? 1 : 0;
      boxesSeen.push_back(viewers ? "the viewer's " + name : name);
      Shell("timeout 15 import -window root '" + dir_ + "/box-" + std::to_string(boxesSeen.size()) + ".png' 2>/dev/null");
      Note("box answered: " + name);
      Keys(id, "Return");
      boxAge.erase(id);
    }
    for (const std::string& r : ReportNames()) state += std::to_string(ReadReport(dir_ + "/out/" + r).size) + "|";
    peak_ = std::max(peak_, PeakMB(pid_));
    const double now = CpuSeconds(pid_);
    const bool busy = now - cpu > 0.3;
    cpu = now;
    if (state != lastState || busy) lastChange = Clock::now();
    if (state != lastState) Note("windows and reports: " + state);
    lastState = state;
    if (running) runEnded = Clock::now();
    quiet = running || busy || box ? 0 : quiet + 1;
    if (quiet >= 5) break;
    if (Clock::now() - lastChange > std::chrono::seconds(o_.hang)) {
      Shell("timeout 15 import -window root '" + dir_ + "/end.png' 2>/dev/null");
      return Finish("hang", "no change for " + std::to_string(o_.hang) + " s: " + state);
    }
  }
  Shell("timeout 15 import -window root '" + dir_ + "/end.png' 2>/dev/null");
  // The reports, and how each was told: shown by a viewer, noted by the viewer program, or a box.
  const std::string opened = Slurp(dir_ + "/opened.log");
  std::string detail;
  bool allTold = true, anyShort = false, anyUntold = false, viewerRefused = false;
  for (const std::string& r : ReportNames()) {
    const SReport got = ReadReport(dir_ + "/out/" + r);
    reports[r] = got;
    const bool whole = reference_ == nullptr ? got.exists : reference_->count(r) && reference_->at(r) == got;
    bool told = shown.find(r + " ") != std::string::npos || opened.find("/out/" + r) != std::string::npos;
    // A whole report not shown takes one of the viewer's boxes, in the order they are opened.
    const bool notShown = whole && !told && viewerBoxes > 0;
    viewerBoxes -= notShown ? 1 : 0;
    viewerRefused = viewerRefused || notShown;
    told = told || notShown;
    anyShort = anyShort || (got.exists && !whole);
    allTold = allTold && whole && told;
    anyUntold = anyUntold || (whole && !told && boxesSeen.empty());
    detail += r + ":" + (!got.exists ? "none" : whole ? "whole" : "SHORT") + (notShown ? "+viewer refused" : told ? "+told" : "") + " ";
  }
  for (const std::string& b : boxesSeen) detail += "[box " + b + "] ";
  Note("reports: " + detail);
  peak_ = std::max(peak_, PeakMB(pid_));
  char took[48];
  std::snprintf(took, sizeof took, "run %.1f s, ", std::chrono::duration<double>(runEnded - runBegan).count());
  detail += "peak " + std::to_string(peak_) + " MB, " + took;
  Xdo("mousemove --window " + main + " 900 700 click 1");
  Pause(500);
  Keys(main, "alt+f");
  Pause(1000);
  Xdo("key x");
  if (!Ended(&status, 60000)) {
    Keys(main, "Return");  // a question on the way out
    if (!Ended(&status, 30000)) return Finish("hang", "File > Exit did not end the program; " + detail);
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return Finish("crash", "at the end, " + EndedHow(status) + "; " + detail);
  struct stat ini {};
  const bool saved = ::stat((dir_ + "/config/KARVO/qav.ini").c_str(), &ini) == 0 &&
                     std::chrono::system_clock::from_time_t(ini.st_mtime) >=
                         std::chrono::system_clock::now() - (Clock::now() - began) - std::chrono::seconds(1);
  detail += saved ? "settings saved" : "settings NOT saved";
  if (anyShort) return Finish("short", detail);
  if (anyUntold) return Finish("untold", detail);
  STry done = Finish(allTold ? "written" : "refused", detail);
  done.viewerRefused = allTold && viewerRefused;
  return done;
}

// The middle of a button of a main view's form, in pixels from the main window's top left, as the
// program lays it out on this display: the form lies below the menu bar, its controls placed in
// dialog units of the form's font, whose base units the Qt backend measures here as in the program
// (they follow the font, not the screen's size), with the Qt backend chosen. False without the form
// or the button.
bool ButtonPlace(UINT form, int button, POINT& at) {
  RegisterClassicTemplates();  // the New view's form registers itself
  const DialogTemplate* t = FindDialogTemplate(form);
  if (t == nullptr) return false;
  const RECT r = qav::ui::ControlPixels(*t, button);
  if (r.right <= r.left) return false;
  at = {(r.left + r.right) / 2, qav::ui::CurrentBackend().MenuBarHeight() + (r.top + r.bottom) / 2};
  return true;
}

bool ParseList(const char* text, std::vector<int>& out) {
  out.clear();
  std::istringstream in(text);
  for (std::string item; std::getline(in, item, ',');) {
    char* end = nullptr;
    const long v = std::strtol(item.c_str(), &end, 10);
    if (item.empty() || *end || v < 0 || v > 1000000) return false;
    out.push_back(static_cast<int>(v));
  }
  return !out.empty();
}

}  // namespace

int main(int argc, char** argv) {
  SOptions o;
  o.qav = (fs::canonical("/proc/self/exe").parent_path() / "../../src/app/qav").lexically_normal().string();
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
    std::vector<int> list;
    if (a == "--help" || a == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    } else if (a == "--qav" && v) {
      o.qav = v;
    } else if (a == "--work" && v) {
      o.work = v;
    } else if (a == "--limits" && v && ParseList(v, list)) {
      o.limits = list;
    } else if (a == "--tries" && v && ParseList(v, list) && list.size() == 1 && list[0] > 0) {
      o.tries = list[0];
    } else if (a == "--hang" && v && ParseList(v, list) && list.size() == 1 && list[0] > 0) {
      o.hang = list[0];
    } else if (a == "--views" && v) {
      o.classic.clear();
      if (std::strstr(v, "classic")) o.classic.push_back(true);
      if (std::strstr(v, "new")) o.classic.push_back(false);
      if (o.classic.empty()) return std::fputs(kHelp, stderr), 2;
    } else if (a == "--archives" && v) {
      o.archives.clear();
      std::istringstream in(v);
      for (std::string item; std::getline(in, item, ',');) {
        int e = 0, d = 0;
        if (std::sscanf(item.c_str(), "%dx%d", &e, &d) != 2 || e < 4 || d < 2) return std::fputs(kHelp, stderr), 2;
        o.archives.emplace_back(e, d);
      }
    } else {
      std::fprintf(stderr, "memtries: unknown or incomplete option %s\n\n%s", a.c_str(), kHelp);
      return 2;
    }
    ++i;
  }
  if (std::getenv("DISPLAY") == nullptr || Shell("command -v xdotool").empty()) {
    std::fprintf(stderr, "memtries: needs a display and xdotool (scripts/xvfb.sh gives a display)\n");
    return 2;
  }
  if (!qav::ui::SelectBackend("qt") || !ButtonPlace(IDD_MAIN_NEW, IDC_NV_PRODUCE, o.go[0]) || !ButtonPlace(IDD_MAIN_CLASSIC, IDC_GO, o.go[1])) {
    std::fprintf(stderr, "memtries: the views' buttons could not be placed on this display\n");
    return 2;
  }
  fs::create_directories(o.work);
  std::map<std::string, int> totals;
  std::ofstream table(o.work + "/table.md");
  table << "| archive | view | limit MB | tries | outcomes |\n|---|---|---|---|---|\n";
  for (const auto& [elements, days] : o.archives) {
    SArchive a;
    if (!MakeArchive(o.work, elements, days, a)) return 1;
    for (bool classic : o.classic) {
      const std::string view = classic ? "classic" : "new";
      // The reports as written without a limit: what a whole report is.
      const std::string refDir = o.work + "/tries/" + a.name + "-" + view + "-reference";
      fs::remove_all(refDir);
      CTry reference(o, a, classic, 0, refDir, nullptr);
      const STry ref = reference.Run();
      std::printf("%s %s reference: %s %s\n", a.name.c_str(), view.c_str(), ref.outcome.c_str(), ref.detail.c_str());
      std::fflush(stdout);
      if (ref.outcome != "written") {
        std::fprintf(stderr, "memtries: the run without a limit did not write its reports; see %s\n", refDir.c_str());
        return 1;
      }
      for (int limit : o.limits) {
        std::map<std::string, int> counts;
        int viewerRefused = 0;
        for (int t = 1; t <= o.tries; ++t) {
          const std::string dir = o.work + "/tries/" + a.name + "-" + view + "-" + std::to_string(limit) + "-" + std::to_string(t);
          fs::remove_all(dir);
          CTry one(o, a, classic, limit, dir, &reference.reports);
          const STry r = one.Run();
          ++counts[r.outcome];
          viewerRefused += r.viewerRefused ? 1 : 0;
          ++totals[r.outcome];
          std::printf("%s %s %d MB try %d: %s %s\n", a.name.c_str(), view.c_str(), limit, t, r.outcome.c_str(), r.detail.c_str());
          std::fflush(stdout);
          if (r.outcome == "written" || r.outcome == "refused" || r.outcome == "start") fs::remove_all(dir + "/out");
        }
        std::string cell;
        for (const auto& [k, n] : counts)
          cell += std::to_string(n) + " " + k +
                  (k == "written" && viewerRefused > 0 ? " (" + std::to_string(viewerRefused) + " with a report the viewer had not the memory to show)" : "") +
                  ", ";
        table << "| " << a.name << " | " << view << " | " << limit << " | " << o.tries << " | "
              << cell.substr(0, cell.size() - 2) << " |\n";
        table.flush();
      }
    }
  }
  std::printf("\ntotals:");
  for (const auto& [k, n] : totals) std::printf(" %d %s", n, k.c_str());
  std::printf("\ntable: %s/table.md\n", o.work.c_str());
  return totals.count("crash") || totals.count("hang") || totals.count("short") || totals.count("untold") ? 1 : 0;
}
