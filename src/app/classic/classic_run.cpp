#include "app/classic/classic_run.h"

#include <cstdlib>
#include <ctime>
#include <new>

#include "app/classic/classic_config.h"
#include "app/shell/settings.h"
#include "platform/base/errors.h"
#include "platform/kernel/files.h"
#include "platform/kernel/release.h"
#include "platform/kernel/test_hold.h"
#include "trafficdata/element_data.h"

int OutputtingId(int family) { return RID_RAW_OUTPUTTING + 2 * family; }
int DoneId(int family) { return RID_RAW_DONE + 2 * family; }

std::string FormatReportBanner(const std::string& fileName, const COleDateTime& now, int format) {
  const std::string stars(35, '*');
  std::string b = stars + "\n";
  b += "Filename: " + fileName + "\n\n";
  b += now.Format("Creation Date: %m/%d/%y (%a)\n");
  b += now.Format("Creation Time: %H:%M:%S\n");
  b += format == 1 ? "    File Type: SPREADSHEET\n" : "    File Type: TEXT\n";
  b += stars + "\n\n\n";
  return b;
}

namespace {

constexpr UINT kCreateText = CFile::modeCreate | CFile::modeWrite | CFile::typeText;
// A report takes its name only once it is whole: an earlier one of that name stays until then.
constexpr UINT kCreateAside = kCreateText | CFile::modeCreateAside;
constexpr int kFallbackTries = 64;

}  // namespace

bool OpenReportFile(CStdioFile& file, const std::string& folder, const std::string& name, std::string& path,
                    const std::function<void(const ClassicPost&)>& post, const std::function<int()>& draw) {
  path = folder + name;
  CFileException fe;
  fe.m_lOsError = ERROR_PATH_NOT_FOUND;  // no full path: no home folder to take the name in
  if (IsFullPath(path)) {
    if (file.Open(path.c_str(), kCreateAside)) return true;
    CreateDirectoryA(folder.c_str(), nullptr);  // one level; a failure shows in the next open
    if (file.Open(path.c_str(), kCreateAside, &fe)) return true;
  }
  post({RID_ERROR, static_cast<uint32_t>(fe.m_lOsError), {}});
  post({RID_OPEN_ERROR, 0, name});
  char temp[260];
  DWORD tempLen = GetTempPathA(sizeof temp, temp);
  if (tempLen == 0 || tempLen >= sizeof temp) {
    post({RID_ERROR, tempLen == 0 ? GetLastError() : ERROR_FILENAME_EXCED_RANGE, {}});
    return false;
  }
  // The number makes the name; creating the file exclusively keeps an existing report (or a
  // planted link) in the shared folder from being overwritten.
  for (int i = 0; i < kFallbackTries; ++i) {
    path = std::string(temp) + std::to_string(draw()) + name;
    if (file.Open(path.c_str(), kCreateText | CFile::modeCreateExclusive, &fe)) {
      post({RID_OUTPUT_TO, 0, path});
      return true;
    }
    if (fe.m_lOsError != static_cast<LONG>(ERROR_FILE_EXISTS)) break;
  }
  post({RID_ERROR, static_cast<uint32_t>(fe.m_lOsError), {}});
  return false;
}

// The report file as the drivers' sink: each "\n" is written as CR LF; cancellation posts 509.
class CClassicRun::FileSink : public ReportSink {
 public:
  FileSink(CStdioFile& f, ClassicRunPort& port) : file_(f), port_(port) {}
  bool write(std::string_view text) override {
    buf_.clear();
    buf_.reserve(text.size() + text.size() / 16 + 2);
    for (char c : text) {
      if (c == '\n') buf_ += '\r';
      buf_ += c;
    }
    if (buf_.empty()) return true;
    if (file_.Write(buf_.data(), static_cast<UINT>(buf_.size()))) return true;
    if (error_ == 0) error_ = file_.GetError();
    return false;
  }
  void notifyCancelled() override { port_.Post({RID_CANCELLED, 0, {}}); }
  DWORD error_ = 0;

 private:
  CStdioFile& file_;
  ClassicRunPort& port_;
  std::string buf_;
};

CClassicRun::CClassicRun(const ClassicRunSnapshot& snap, ClassicRunPort& port, RunControl& run, CStdioFile* file)
    : snap_(snap),
      port_(port),
      run_(run),
      ownFile_(file != nullptr ? nullptr : std::make_unique<CStdioFile>()),
      file_(file != nullptr ? *file : *ownFile_),
      sink_(std::make_unique<FileSink>(file_, port)) {}

CClassicRun::~CClassicRun() = default;

COleDateTime CClassicRun::Now() const { return COleDateTime::GetCurrentTime(); }

int CClassicRun::DrawNumber() {
  if (!seeded_) {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    seeded_ = true;
  }
  return std::rand() % 32768;
}

bool CClassicRun::OpenReport(int family) {
  auto post = [this](const ClassicPost& p) { port_.Post(p); };
  if (!OpenReportFile(file_, snap_.folder[family], snap_.name[family], reportPath[family], post,
                      [this] { return DrawNumber(); })) {
    reportPath[family].clear();
    return false;
  }
  sink_->error_ = 0;
  std::string banner = FormatReportBanner(file_.GetFileName(), Now(), snap_.format[family]);
  if (!sink_->write(banner)) {
    GiveUp(family, sink_->error_);
    return false;
  }
  return true;
}

// A report that could not be written whole is taken away, so that it neither looks complete nor
// keeps a full disk full; the view names it and the reason. Memory may have run out: the path
// moves into the post, so nothing is made on the heap here.
void CClassicRun::GiveUp(int family, DWORD error) {
  ClassicPost post{RID_WRITE_FAILED, error, {}, file_.Discard()};
  post.text.swap(reportPath[family]);
  port_.Post(post);
}

// A report cut short by Cancel goes the same way, named as cancelled.
void CClassicRun::GiveUpCancelled(int family) {
  ClassicPost post{RID_REPORT_CANCELLED, 0, {}, file_.Discard()};
  post.text.swap(reportPath[family]);
  port_.Post(post);
}

EReportResult CClassicRun::WriteElement(int family, const CElementData& data, int dateBlock) {
  switch (family) {
    case CF_RAW:
      return data.WriteRawDataReport(snap_.settings, dateBlock == CB_RAW ? snap_.rawDates : snap_.settings.singleDates,
                                     *sink_, run_);
    case CF_SDS:
      return data.WriteSingleDayReport(snap_.settings, *sink_, run_);
    default:
      return data.WriteMultiDayReport(snap_.settings, *sink_, run_);
  }
}

bool CClassicRun::CloseReport(int family) {
  DWORD err = sink_->error_;
  if (err == 0 && !file_.Commit()) err = file_.GetError();
  if (err != 0) GiveUp(family, err);
  return err == 0;
}

void CClassicRun::OutputStep(int family, const std::vector<std::unique_ptr<CElementData>>& data, int dateBlock) {
  port_.Post({OutputtingId(family), 0, {}});
  if (!OpenReport(family)) return;
  port_.ReportOpened(family, reportPath[family]);
  EReportResult result = EReportResult::Done;
  for (const auto& d : data) {
    if (!d) continue;
    result = WriteElement(family, *d, dateBlock);
    if (result != EReportResult::Done) break;
    HoldForTest(family == CF_RAW ? "write-raw" : family == CF_SDS ? "write-single-day" : "write-multi-day");
  }
  port_.SetWaitCursor(true);
  // A report cut short by Cancel, whose text could not be made, or whose writing failed, is taken
  // away and named in place of its done id, so that no part of one is left looking whole. After a
  // failure the later blocks still run: another folder may take their reports, and the smaller
  // summaries may fit where the raw listing did not.
  if (result == EReportResult::Cancelled) GiveUpCancelled(family);
  else if (result == EReportResult::NoMemory) GiveUp(family, ERROR_NOT_ENOUGH_MEMORY);
  else if (CloseReport(family)) port_.Post({DoneId(family), 0, {}});
}

bool CClassicRun::Output(int family, const std::vector<std::unique_ptr<CElementData>>& data, int dateBlock) {
  try {
    OutputStep(family, data, dateBlock);
    return true;
  } catch (const std::bad_alloc&) {
  }
  // Memory ran out while the report was written: the part written must not look whole.
  if (file_.IsOpen()) GiveUp(family, ERROR_NOT_ENOUGH_MEMORY);
  else port_.Post({RID_ERROR, ERROR_NOT_ENOUGH_MEMORY, {}});
  return false;
}

void CClassicRun::Run() {
  // A load that returns nothing (cancelled, or out of memory, which it has posted) ends the run,
  // and so does memory that runs out while a report is written.
  std::vector<std::unique_ptr<CElementData>> data;
  // A block's days go before the next block loads (the two would not fit together). Those of a
  // run that ends, finished or stopped, go to the release thread: nobody need wait for them.
  struct SReleaseAtEnd {
    std::vector<std::unique_ptr<CElementData>>& data;
    ~SReleaseAtEnd() { qav::ReleaseContentsLater(data); }
  } releaseAtEnd{data};
  const bool single = snap_.sdsOn || (snap_.rawOn && snap_.rawSource == 1);
  if (snap_.rawOn && snap_.rawSource == 0) {
    if (!port_.Load(CB_RAW, nullptr, data) || !Output(CF_RAW, data, CB_RAW)) return;
    if (run_.keepGoing() && (single || snap_.mdsOn)) data.clear();
  }
  if (run_.keepGoing() && single) {
    if (!port_.Load(CB_SINGLE, nullptr, data)) return;
    if (snap_.rawOn && snap_.rawSource == 1 && !Output(CF_RAW, data, CB_SINGLE)) return;
    if (run_.keepGoing() && snap_.sdsOn && !Output(CF_SDS, data, CB_SINGLE)) return;
    if (run_.keepGoing() && snap_.mdsOn) data.clear();
  }
  if (run_.keepGoing() && snap_.mdsOn) {
    // The multi-day report reads nothing but each day's summaries under the run's criteria: the
    // days need not stay whole (a year of 20-second days would not fit in memory otherwise).
    if (!port_.Load(CB_MULTI, &snap_.settings.criteria, data) || !Output(CF_MDS, data, CB_MULTI)) return;
  }
}
