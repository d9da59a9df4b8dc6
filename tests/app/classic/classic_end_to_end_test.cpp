// A whole Classic run without a display: a generated archive, the three selections, GO for each
// block in text and spreadsheet form, and the report files compared byte for byte (after the
// banner) with what the library's drivers write for the same selection.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "archive/archive_globals.h"
#include "archive/sample_archive.h"
#include "app/select/select_ids.h"
#include "platform/file_size_limit.h"
#include "platform/kernel/address_space.h"
#include "platform/kernel/files.h"
#include "app/shell/filling_file.h"
#include "app/shell/short_of_memory.h"
#include "classic_view_env.h"
#include "trafficdata/element_data.h"

namespace {

class NullPoster : public IWorkerPoster {
 public:
  void Post(UINT, LPARAM) override {}
};

class StringSink : public ReportSink {
 public:
  bool write(std::string_view t) override {
    for (char c : t) {
      if (c == '\n') text += '\r';
      text += c;
    }
    return true;
  }
  void notifyCancelled() override {}
  std::string text;
};

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The report after its nine banner lines.
std::string AfterBanner(const std::string& report) {
  size_t pos = 0;
  for (int i = 0; i < 9 && pos != std::string::npos; ++i) {
    pos = report.find("\r\n", pos);
    if (pos != std::string::npos) pos += 2;
  }
  return pos == std::string::npos ? std::string() : report.substr(pos);
}

class ClassicEndToEnd : public ClassicViewTest {
 protected:
  static void SetUpTestSuite() {
    archive_ = new AppTempFolder();
    SampleArchiveOptions o;
    o.root = archive_->path() + "/";
    o.years = {1994};
    o.elements = 8;
    o.days = 5;
    std::string message;
    days_.clear();  // the writer appends, and a repeated run sets the suite up again
    ASSERT_EQ(WriteSampleArchive(o, &message, &days_), 0) << message;
  }
  static void TearDownTestSuite() {
    delete archive_;
    archive_ = nullptr;
  }
  void SetUp() override {
    ClassicViewTest::SetUp();
    g_DataRootPath.Set((archive_->path() + "/").c_str());
    SOutputSettings out;
    view_->m_OutputParams.GetSettings(out);
    out.rawPath = out.sdsPath = out.mdsPath = folder_ / "reports/";
    out.autoOpen = 0;
    view_->m_OutputParams.SetSettings(out);
    for (int b = 0; b < CB_COUNT; ++b) FillSelection(view_->m_sel[b]);
    const int dates = view_->m_sel[CB_RAW].dates.m_nSize, elems = view_->m_sel[CB_RAW].elements.m_nSize;
    view_->m_nRawDates = view_->m_nSdsDates = dates;
    view_->m_nRawElems = view_->m_nSdsElems = view_->m_nMdsElems = elems;
    MonthFlagsOfDates(view_->m_sel[CB_MULTI].dates, view_->m_bMonthHasData);
    view_->m_nMdsYear = MultiYearOfDates(view_->m_sel[CB_MULTI].dates);
    view_->RefreshMultiLists();
  }
  // The year's written days and its loops, stations and speed traps, each on a cabinet of its own.
  static void FillSelection(CClassicSelection& s) {
    for (const SampleDayInfo& d : days_)
      if (d.written) s.dates.Add(CDateTimeEx(d.year, d.month, d.day));
    static const int types[4] = {ET_LOOP, ET_STATION, ET_SPEED_TRAP, ET_RATE_STATUS};
    for (const SampleElement& e : SampleElements(1994, 8)) {
      if (e.kind == 3) continue;  // the Classic view loads no metered lanes
      const size_t colon = e.key.find(':');
      const std::string alias = e.aliasKey.substr(0, e.aliasKey.find(':'));
      int k = s.cabinets.Add(CDBCabinet(e.key.substr(0, colon).c_str(), alias.c_str(), 0, "", nullptr));
      s.elements.Add(CDBElementEx(e.key.substr(colon + 1).c_str(), types[e.kind], s.cabinets.m_pData[k]));
    }
  }
  // What the drivers write for a family over a selection, with the run's own settings.
  std::string Expected(int family, int block) {
    NullPoster poster;
    CRunFlags flags;
    const CClassicSelection& sel = view_->m_sel[block];
    std::unique_ptr<CElementDataSet> set = LoadElementData(sel.elements, sel.dates, poster, flags);
    EXPECT_NE(set, nullptr);
    if (!set) return {};
    StringSink sink;
    std::vector<const CDateTimeEx*> dates;
    for (int i = 0; i < sel.dates.m_nSize; ++i) dates.push_back(sel.dates.m_pData[i]);
    for (CElementData* d : set->m_items) {
      if (!d) continue;
      if (family == CF_RAW) d->WriteRawDataReport(view_->m_snap.settings, dates, sink, flags);
      if (family == CF_SDS) d->WriteSingleDayReport(view_->m_snap.settings, sink, flags);
      if (family == CF_MDS) d->WriteMultiDayReport(view_->m_snap.settings, sink, flags);
    }
    return sink.text;
  }
  std::string Report(const char* name) { return ReadBytes(folder_ / (std::string("reports/") + name)); }
  // The names in the report folder, in order.
  std::vector<std::string> ReportFolderEntries() {
    std::vector<std::string> names;
    std::error_code e;
    for (const auto& entry : std::filesystem::directory_iterator(folder_ / "reports", e))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  void Go() {
    view_->UpdateData(FALSE);
    Click(IDC_GO);
  }

  static int WrittenDays() {
    int n = 0;
    for (const SampleDayInfo& d : days_) n += d.written ? 1 : 0;
    return n;
  }
  static AppTempFolder* archive_;
  static std::vector<SampleDayInfo> days_;
};

// Runs `act` on the modal dialog with this caption once it has the focus (the task waits for it
// by posting itself again: the element dialog first waits for its loader).
void WhenDialog(const std::string& caption, std::function<void(HWND)> act, int tries = 400) {
  qav::ui::PostTask([caption, act, tries] {
    qav::ui::WndState* top = qav::ui::TopLevelOf(qav::ui::Find(::GetFocus()));
    if (top != nullptr && top->text == caption) {
      act(top->hwnd);
    } else if (tries > 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      WhenDialog(caption, act, tries - 1);
    }
  });
}

AppTempFolder* ClassicEndToEnd::archive_ = nullptr;
std::vector<SampleDayInfo> ClassicEndToEnd::days_;

TEST_F(ClassicEndToEnd, RawAndSingleDayReportsMatchTheDrivers) {
  for (int format : {0, 1}) {
    for (int source : {0, 1}) {
      view_->m_bRawOn = view_->m_bSdsOn = 1;
      view_->m_bRawOff = view_->m_bSdsOff = 0;
      view_->m_nRawSource = source;
      view_->m_nRawFormat = view_->m_nSdsFormat = format;
      view_->m_bDaily = view_->m_b15Min = view_->m_bFlags = view_->m_bOccLength = 1;
      Go();
      ASSERT_FALSE(view_->IsRunning());
      // The drivers below read the run's own settings, so the view's choices are checked there.
      const ClassicSettings& c = view_->m_snap.settings;
      EXPECT_TRUE(c.with15Min && c.withDaily && c.withCounts && c.withOccupancy);
      EXPECT_EQ(c.rawFormat, format);
      EXPECT_EQ(c.singleFormat, format);
      const std::string raw = Report("DEFAULT.DAT"), sds = Report("DEFAULT.SDS");
      EXPECT_NE(raw.find(format ? "File Type: SPREADSHEET" : "File Type: TEXT"), std::string::npos);
      const std::string expectRaw = Expected(CF_RAW, source == 0 ? CB_RAW : CB_SINGLE);
      EXPECT_GT(expectRaw.size(), 1000u);
      EXPECT_TRUE(AfterBanner(raw) == expectRaw) << "raw, format " << format << ", source " << source;
      EXPECT_TRUE(AfterBanner(sds) == Expected(CF_SDS, CB_SINGLE)) << "sds, format " << format;
      EXPECT_EQ(view_->m_strReportPath[CF_SDS], folder_ / "reports/DEFAULT.SDS");
    }
  }
  const std::vector<std::string> lines = StatusLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "SDS Reports Output..."), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Raw Data Reports Output..."), lines.end());
}

// The earlier raw listing of the same name stays as it was, and nothing is left beside it.
TEST_F(ClassicEndToEnd, AReportTheDiskCannotTakeIsTakenAwayAndNamedTheEarlierOneKeptAndTheNextWritten) {
  view_->m_bRawOn = view_->m_bSdsOn = 1;
  view_->m_bRawOff = view_->m_bSdsOff = 0;
  view_->m_bDaily = 1;
  Go();
  const std::string earlier = Report("DEFAULT.DAT");
  const size_t raw = earlier.size(), sds = Report("DEFAULT.SDS").size();
  ASSERT_GT(raw, sds + 2000);
  qav::ui::ClearMessageBoxLog();
  view_->m_lbStatus.ResetContent();
  {
    // Room for the summaries but for only part of the raw listing.
    ScopedFileSizeLimit limit(sds + 1000);
    Go();
  }
  const std::string path = folder_ / "reports/DEFAULT.DAT";
  EXPECT_TRUE(Report("DEFAULT.DAT") == earlier);
  EXPECT_EQ(ReportFolderEntries(), (std::vector<std::string>{"DEFAULT.DAT", "DEFAULT.SDS"}));
  const std::string reason = "The file size exceeds the limit allowed and cannot be saved.";
  const std::vector<std::string> lines = StatusLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Could not write the report " + path + ": " + reason), lines.end());
  EXPECT_EQ(std::find(lines.begin(), lines.end(), "Raw Data Reports Output..."), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "SDS Reports Output..."), lines.end());
  EXPECT_EQ(Report("DEFAULT.SDS").size(), sds);
  ASSERT_EQ(qav::ui::MessageBoxLog().size(), 1u);
  EXPECT_EQ(qav::ui::MessageBoxLog()[0].text,
            "The report " + path + " could not be written: " + reason + "\n\nThe part already written was removed.");
}

// Cancel pressed while a report is written, or the report's folder removed meanwhile, or its file
// taken from under it: the part written goes, the status list says so in place of the report's
// "... Output..." line, the earlier report of that name stays as it was, and a report finished
// before the Cancel takes the place of its earlier one.
TEST_F(ClassicEndToEnd, AReportCutShortByCancelOrLostWithItsFolderIsNotCalledWritten) {
  view_->m_bRawOn = view_->m_bSdsOn = 1;
  view_->m_bRawOff = view_->m_bSdsOff = 0;
  view_->m_nRawSource = 0;  // two loads: the raw listing is whole before the summaries start
  view_->m_bDaily = view_->m_b15Min = 1;
  Go();
  const int64_t raw = static_cast<int64_t>(Report("DEFAULT.DAT").size());
  const int64_t sds = static_cast<int64_t>(Report("DEFAULT.SDS").size());
  ASSERT_GT(sds, 2000);
  const std::string rawPath = folder_ / "reports/DEFAULT.DAT", sdsPath = folder_ / "reports/DEFAULT.SDS";
  const std::string cancelled = "Cancelled the report ", removed = ": the part already written was removed";
  const std::string lost = "The system cannot find the path specified.";
  const std::string replaced = "The volume for a file has been externally altered so that the opened file is no longer valid.";
  const int64_t earlier = 14;  // the earlier reports' bytes
  enum Act { Cancel, RemoveFolder, ReplaceFile, NoMemory };
  const struct {
    const char* what;
    Act act;
    int open;         // the report file acted on: 1 the raw listing, 2 the summaries
    int64_t at;       // once it holds this many bytes
    int64_t rawLeft;  // bytes of each report left afterwards (-1: none)
    int64_t sdsLeft;
    std::vector<std::string> lastLines;
    std::string box;
  } cases[] = {
      {"cancel in the raw listing", Cancel, 1, raw / 2, earlier, earlier,
       {"Process canceled by the User", cancelled + rawPath + removed}, ""},
      {"cancel in the summaries", Cancel, 2, sds / 2, raw, earlier,
       {"Raw Data Reports Output...", "Input Data Loaded...", "Process canceled by the User", cancelled + sdsPath + removed},
       ""},
      {"folder removed under the raw listing", RemoveFolder, 1, raw / 2, -1, sds,
       {"Could not write the report " + rawPath + ": " + lost, "Input Data Loaded...", "SDS Reports Output..."},
       "The report " + rawPath + " could not be written: " + lost + "\n\nNothing of it is left under that name."},
      {"another file put in the place of the raw listing being written (named while written)", ReplaceFile, 1, raw / 2, earlier, sds,
       {"Could not write the report " + rawPath + ": " + replaced, "Input Data Loaded...", "SDS Reports Output..."},
       "The report " + rawPath + " could not be written: " + replaced + "\n\nNothing of it is left under that name."},
      // The status list, which takes room ahead for its lines, finds none while the limit holds.
      {"no memory for the data", NoMemory, 0, 0, earlier, earlier, {},
       "The reports\n" + rawPath + "\n" + sdsPath + "\nwere not written: " + NotEnoughMemoryText() +
           "\n\nEarlier reports of those names are left as they were."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(folder_ / "reports");
    std::filesystem::create_directory(folder_ / "reports");
    std::ofstream(rawPath) << "earlier report";
    std::ofstream(sdsPath) << "earlier report";
    view_->m_lbStatus.ResetContent();
    qav::ui::ClearMessageBoxLog();
    CFillingFile file;
    bool acted = false;
    file.afterWrite = [&](int open, int64_t taken) {
      if (acted || open != c.open || taken < c.at) return;
      acted = true;
      if (c.act == Cancel) {
        view_->m_flags.keepGoingFlag = false;  // as the wait dialog's Cancel does
      } else if (c.act == RemoveFolder) {
        std::filesystem::remove_all(folder_ / "reports");
      } else {
        std::ofstream(folder_ / "other") << "other";
        for (const std::string& name : ReportFolderEntries())
          if (name.starts_with(".~qav")) std::filesystem::rename(folder_ / "other", std::filesystem::path(folder_ / "reports") / name);
      }
    };
    view_->m_pReportFile = &file;
    SetFileFaultsForTesting(c.act != ReplaceFile, 0);
    // The data's room taken by the window system's (platform/kernel/address_space.h).
    if (c.act == NoMemory) qav::SetAddressSpaceForTesting(qav::kWindowRoom + 1, [] { return uint64_t{0}; });
    Go();
    qav::SetAddressSpaceForTesting(0, nullptr);
    SetFileFaultsForTesting(true, 0);
    view_->m_pReportFile = &view_->m_ReportFile;
    EXPECT_EQ(acted, c.act != NoMemory);
    std::vector<std::string> lines = StatusLines();
    // A run that went on to its end names the element-days it found without data last (one of the
    // archive's loops lacks a day); a cancelled run, or one that read nothing, does not.
    const auto named = std::find_if(lines.begin(), lines.end(),
                                    [](const std::string& l) { return l.rfind("No data was found for ", 0) == 0; });
    EXPECT_EQ(named != lines.end(), c.act == RemoveFolder || c.act == ReplaceFile);
    lines.erase(named, lines.end());
    ASSERT_GE(lines.size(), c.lastLines.size());
    EXPECT_EQ(std::vector<std::string>(lines.end() - static_cast<std::ptrdiff_t>(c.lastLines.size()), lines.end()),
              c.lastLines);
    EXPECT_EQ(std::filesystem::exists(rawPath) ? static_cast<int64_t>(Report("DEFAULT.DAT").size()) : -1, c.rawLeft);
    EXPECT_EQ(std::filesystem::exists(sdsPath) ? static_cast<int64_t>(Report("DEFAULT.SDS").size()) : -1, c.sdsLeft);
    const auto& boxes = qav::ui::MessageBoxLog();
    EXPECT_EQ(boxes.empty() ? std::string() : boxes[0].text, c.box);
    EXPECT_LE(boxes.size(), 1u);
    // Nothing is left beside the reports but the file that took the place of one being written.
    for (const std::string& name : ReportFolderEntries())
      if (name != "DEFAULT.DAT" && name != "DEFAULT.SDS") { EXPECT_EQ(Report(name.c_str()), "other") << name; }
  }
}

TEST_F(ClassicEndToEnd, ARunThatReadsNoDataSaysSo) {
  view_->m_bSdsOn = 1;
  view_->m_bSdsOff = 0;
  view_->m_bDaily = 1;
  Go();
  const std::vector<std::string> first = StatusLines();
  EXPECT_NE(std::find(first.begin(), first.end(), "SDS Reports Output..."), first.end());
  EXPECT_TRUE(qav::ui::MessageBoxLog().empty());
  // An archive folder that does not exist: the report is written as before (every day
  // unavailable), and the run ends by saying that nothing was read.
  g_DataRootPath.Set((folder_ / "no-such-archive/").c_str());
  Go();
  EXPECT_NE(Report("DEFAULT.SDS").find("***DATA UNAVAILABLE***"), std::string::npos);
  const std::string sentence =
      "No data was found for any of the " + std::to_string(view_->m_nSdsElems * view_->m_nSdsDates) + " element-days";
  const std::string told = sentence + "; see the status list";
  // The status list names each day without data after the sentence.
  EXPECT_EQ(LastStatus().rfind("  No data on ", 0), 0u) << LastStatus();
  EXPECT_EQ(view_->m_lbStatus.GetTextString(view_->m_lbStatus.GetCount() - 1 - std::min(view_->m_nSdsDates, 20)),
            sentence + ":");
  ASSERT_EQ(qav::ui::MessageBoxLog().size(), 1u);
  EXPECT_EQ(qav::ui::MessageBoxLog()[0].text, told);
}

TEST_F(ClassicEndToEnd, ARunWithSomeElementDaysWithoutDataNamesThem) {
  view_->m_bSdsOn = 1;
  view_->m_bSdsOff = 0;
  view_->m_bDaily = 1;
  // A day the archive does not have, beside the days it has.
  view_->m_sel[CB_SINGLE].dates.Add(CDateTimeEx(1994, 6, 1));
  view_->m_nSdsDates = view_->m_sel[CB_SINGLE].dates.m_nSize;
  qav::ui::ClearMessageBoxLog();
  Go();
  EXPECT_NE(Report("DEFAULT.SDS").find("***DATA UNAVAILABLE***"), std::string::npos);
  // After the report's line, the sentence with the count of all element-days, the day that no element
  // had, then the element-days of the archive's days that some elements lack.
  const std::string of = " of the " + std::to_string(view_->m_nSdsElems * view_->m_nSdsDates) + " element-days:";
  const std::vector<std::string> lines = StatusLines();
  const auto done = std::find(lines.begin(), lines.end(), "SDS Reports Output...");
  ASSERT_NE(done, lines.end());
  ASSERT_GE(lines.end() - done, 3);
  EXPECT_EQ(done[1].rfind("No data was found for ", 0), 0u) << done[1];
  EXPECT_TRUE(done[1].ends_with(of)) << done[1];
  EXPECT_EQ(done[2], "  No data on 06/01/1994");
  // The report marks them unavailable; a box comes only when nothing at all was read.
  EXPECT_TRUE(qav::ui::MessageBoxLog().empty());
}

TEST_F(ClassicEndToEnd, MultiDayReportMatchesTheDrivers) {
  ASSERT_TRUE(::IsWindowEnabled(Item(IDC_MDS_MONTHLY)));
  for (int format : {0, 1}) {
    view_->m_bMdsOn = 1;
    view_->m_bMdsOff = 0;
    view_->m_nMdsFormat = format;
    view_->m_bMonthly = 1;
    view_->UpdateData(FALSE);
    view_->m_lstMonths.SetSel(0, TRUE);
    view_->m_lstMonths.SetSel(3, TRUE);  // "n/a": dropped by GO
    view_->m_lstMonthlyDays.SetSel(1, TRUE);
    view_->m_lstMonthlyDays.SetSel(4, TRUE);
    const int limits[] = {MV_MONTHLY_INVALID, MV_MONTHLY_MISSING, MV_YEARLY_INVALID, MV_ASWT_INVALID,
                          MV_AWDT_INVALID, MV_AADT_INVALID};
    for (int i = 0; i < 6; ++i) view_->m_ValidDays.m_values.v[limits[i]] = i + 2;
    Go();
    const ClassicSettings& c = view_->m_snap.settings;
    EXPECT_EQ(std::vector<int>({c.monthlyInvalid, c.monthlyMissing, c.yearlyInvalid, c.avgInvalid[0], c.avgInvalid[1],
                                c.avgInvalid[2]}),
              std::vector<int>({2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(c.multiFormat, format);
    EXPECT_EQ(view_->m_snap.settings.months, (std::vector<int>{0}));
    EXPECT_EQ(view_->m_snap.settings.monthlyWeekdays, (std::vector<int>{1, 4}));
    const std::string expect = Expected(CF_MDS, CB_MULTI);
    EXPECT_GT(expect.size(), 100u);
    EXPECT_TRUE(AfterBanner(Report("DEFAULT.MDS")) == expect) << "format " << format;
  }
  const std::vector<std::string> lines = StatusLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "MDS Reports Output..."), lines.end());
}

TEST_F(ClassicEndToEnd, SelectionsThroughTheDialogsGiveTheDriversReport) {
  view_->m_pSelectors = MakeClassicSelectors();
  CClassicSelection& sel = view_->m_sel[CB_SINGLE];
  sel.dates.RemoveAll();
  sel.elements.RemoveAll();
  namespace input = qav::ui::input;
  auto item = [](HWND dlg, int id) { return ::GetDlgItem(dlg, id); };
  // Dates: every day of the archive's year, one by one.
  WhenDialog("Select Dates", [&](HWND d) {
    input::Click(item(d, IDC_SEL_MODE_DATES));
    input::Click(item(d, IDC_SEL_ADD_ALL));
    input::Click(item(d, IDOK));
  });
  Click(IDC_SDS_CHANGE_DATES);
  ASSERT_EQ(sel.dates.m_nSize, ClassicEndToEnd::WrittenDays());
  EXPECT_EQ(Text(Item(IDC_SDS_DATES)), std::to_string(sel.dates.m_nSize));
  // Elements: every element of every cabinet of every roadway.
  WhenDialog("Select Locations and Data Elements", [&](HWND d) {
    const int roads = static_cast<int>(::SendMessage(item(d, IDC_SEL_ROADWAYS), LB_GETCOUNT, 0, 0));
    for (int r = 0; r < roads; ++r) {
      input::SelectLine(item(d, IDC_SEL_ROADWAYS), r);
      const int cabs = static_cast<int>(::SendMessage(item(d, IDC_SEL_CABINETS), LB_GETCOUNT, 0, 0));
      for (int c = 0; c < cabs; ++c) {
        input::SelectLine(item(d, IDC_SEL_CABINETS), c);
        input::Click(item(d, IDC_SEL_ADD_ALL));
      }
    }
    input::Click(item(d, IDOK));
  });
  Click(IDC_SDS_CHANGE_ELEMS);
  ASSERT_GT(sel.elements.m_nSize, 0);
  EXPECT_EQ(view_->m_nSdsElems, sel.elements.m_nSize);
  // GO over the chosen selection.
  view_->m_bSdsOn = 1;
  view_->m_bSdsOff = 0;
  view_->m_bDaily = 1;
  Go();
  const std::string expect = Expected(CF_SDS, CB_SINGLE);
  EXPECT_GT(expect.size(), 1000u);
  EXPECT_TRUE(AfterBanner(Report("DEFAULT.SDS")) == expect);
}

TEST_F(ClassicEndToEnd, FinishedReportsOpenInTheViewerAndTheWindowIsGivenBack) {
  SOutputSettings out;
  view_->m_OutputParams.GetSettings(out);
  out.autoOpen = 1;
  out.useCustomViewer = 1;
  view_->m_OutputParams.SetSettings(out);
  view_->m_bRawOn = view_->m_bSdsOn = 1;
  view_->m_bRawOff = view_->m_bSdsOff = 0;
  view_->m_bDaily = 1;
  bool enabledWhileRunning = true, sawViewerWhileRunning = false;
  // While the run lasts (its wait dialog holds the main window), the raw report opens and the
  // main window stays disabled.
  std::function<void()> watch = [&] {
    if (!view_->IsRunning() && view_->m_pWaitDialog == nullptr) return;
    if (view_->m_Viewer.m_hWnd != nullptr && view_->m_pWaitDialog != nullptr) {
      sawViewerWhileRunning = true;
      enabledWhileRunning = ::IsWindowEnabled(frame_->m_hWnd) != FALSE;
      return;
    }
    qav::ui::PostTask(watch);
  };
  qav::ui::PostTask(watch);
  // The raw listing's reading is held until the worker has posted that the summaries are done too,
  // and past the viewer's next look at the messages: the summaries' viewer waits for that reading
  // to end and does not come up over its wait dialog.
  bool held = false, overReading = false;
  std::function<void()> hold = [&] {
    if (view_->m_Viewer.m_pWait == nullptr) {
      if (view_->IsRunning()) qav::ui::PostTask(hold);
      return;
    }
    held = true;
    for (int i = 0; i < 2000 && view_->IsRunning(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    qav::ui::PostTask([&] {  // after the worker's last posts
      const CViewer& raw = view_->m_Viewer;
      overReading = raw.m_pWait != nullptr && raw.m_pNextViewer && raw.m_pNextViewer->m_hWnd != nullptr;
    });
  };
  qav::ui::PostTask(hold);
  Go();
  EXPECT_TRUE(held);
  EXPECT_FALSE(overReading);
  ASSERT_TRUE(::IsWindow(view_->m_Viewer.m_hWnd));
  ASSERT_TRUE(view_->m_Viewer.m_pNextViewer);  // the second report in the next viewer
  EXPECT_EQ(view_->m_Viewer.m_nFileType, VFT_RAW);
  EXPECT_EQ(view_->m_Viewer.m_pNextViewer->m_nFileType, VFT_SDS);
  // (Whether the viewer opened before the run's last pump depends on the worker's speed.)
  if (sawViewerWhileRunning) { EXPECT_FALSE(enabledWhileRunning); }
  EXPECT_TRUE(::IsWindowEnabled(frame_->m_hWnd));  // given back once the run's wait dialog closed

  // The reports' title lines carry the cabinets' aliases, so both viewers list every cabinet of the
  // selection, and Find puts the chosen section's title line at the top of the text.
  std::set<std::string> aliases;
  const CClassicSelection& sel = view_->m_sel[CB_RAW];
  for (int i = 0; i < sel.elements.m_nSize; ++i) aliases.insert(sel.elements.m_pData[i]->cabinet->alias);
  ASSERT_GT(aliases.size(), 1u);
  for (CViewer* v : {&view_->m_Viewer, view_->m_Viewer.m_pNextViewer.get()}) {
    SCOPED_TRACE(v->m_strFilePath);
    std::set<std::string> listed;
    for (int i = 0; i < v->m_lstCabinets.GetCount(); ++i) listed.insert(v->m_lstCabinets.GetTextString(i).substr(0, 7));
    EXPECT_EQ(listed, aliases);
    const int cabinets = v->m_lstCabinets.GetCount();
    v->m_lstCabinets.SetCurSel(cabinets - 1);
    v->OnSelchangeCabinetList();
    v->m_lstElements.SetCurSel(v->m_lstElements.GetCount() - 1);
    v->FillSectionList();
    const int sections = v->m_lstSections.GetCount();
    ASSERT_GT(sections, 0);
    v->m_lstSections.SetCurSel(sections - 1);
    const std::string cabinet = v->m_lstCabinets.GetTextString(cabinets - 1).substr(0, 7);
    const std::string element = v->m_lstElements.GetTextString(v->m_lstElements.GetCount() - 1);
    const std::string label = v->m_lstSections.GetTextString(sections - 1);
    v->OnFind();
    const int top = v->m_lstText.GetTopIndex();
    ASSERT_GT(top, 0);
    EXPECT_EQ(v->m_lstText.GetTextString(top).substr(0, 15), cabinet + ":" + element);
    EXPECT_EQ(v->m_lstText.GetTextString(top + 1), label.substr(0, 16));
  }
}

TEST_F(ClassicEndToEnd, CancelInTheWaitDialogStopsTheRunAndSkipsTheLaterBlocks) {
  // A block's last day has no file: its disc request holds the worker while Cancel is clicked, and
  // is repeated until the cancellation has reached the worker's flag. The raw block's, or the
  // single-day block's while the raw listing is read into the viewer: the Cancel reaches the worker
  // at once from the loop nested in the run's wait.
  for (const bool reading : {false, true}) {
    SCOPED_TRACE(reading ? "while the raw listing is read" : "in the raw block");
    const int block = reading ? CB_SINGLE : CB_RAW;
    view_->m_sel[block].dates.Add(CDateTimeEx(1994, 12, 31));
    view_->m_nRawDates = view_->m_sel[CB_RAW].dates.m_nSize;
    view_->m_nSdsDates = view_->m_sel[CB_SINGLE].dates.m_nSize;
    view_->m_bRawOn = view_->m_bSdsOn = 1;
    view_->m_bRawOff = view_->m_bSdsOff = 0;
    view_->m_nRawSource = 0;
    view_->m_bDaily = 1;
    SOutputSettings out;
    view_->m_OutputParams.GetSettings(out);
    out.autoOpen = out.useCustomViewer = reading ? 1 : 0;
    view_->m_OutputParams.SetSettings(out);
    g_hPromptWnd = reinterpret_cast<uintptr_t>(frame_->GetSafeHwnd());
    struct Reset {
      ~Reset() { g_hPromptWnd = 0; }
    } reset;
    int requests = 0;
    bool stoppedAtOnce = false;
    qav::ui::SetMessageBoxHandler([&](const qav::ui::MessageBoxRequest& r) {
      if (r.text.rfind("Please insert CD", 0) != 0) return IDOK;
      if (!view_->m_flags.keepGoing() || ++requests > 400) return IDCANCEL;  // a cancel that never arrives fails below
      if (view_->m_pWaitDialog != nullptr && view_->m_bWaitKeepGoing && (!reading || view_->m_Viewer.m_pWait != nullptr)) {
        qav::ui::input::Click(::GetDlgItem(view_->m_pWaitDialog->m_hWnd, IDCANCEL));
        stoppedAtOnce = !view_->m_flags.keepGoing();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      return IDOK;
    });
    Go();
    ASSERT_FALSE(view_->IsRunning());
    EXPECT_GT(requests, 0);
    EXPECT_TRUE(stoppedAtOnce);
    const std::vector<std::string> lines = StatusLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Process canceled by the User"), lines.end());
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "SDS Reports Output..."), lines.end());
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "Raw Data Reports Output...") != lines.end(), reading);
    EXPECT_EQ(std::filesystem::exists(folder_ / "reports/DEFAULT.DAT"), reading);
    EXPECT_FALSE(std::filesystem::exists(folder_ / "reports/DEFAULT.SDS"));
    view_->m_sel[block].dates.RemoveAt(view_->m_sel[block].dates.m_nSize - 1, 1);
    view_->m_Viewer.Close();
  }
}

}  // namespace

// Memory that runs out for good at any point of a run (the loads, the reports, the posts that tell
// of it): the run ends whole, or with the not-enough-memory line and no report that is not whole;
// the program goes on. The worker's posts that found no memory are told when the run is over.
TEST_F(ClassicEndToEnd, ARunThatRunsOutOfMemoryEndsWithTheErrorAndLeavesNoPartOfAReport) {
  view_->m_bRawOn = view_->m_bSdsOn = 1;
  view_->m_bRawOff = view_->m_bSdsOff = 0;
  view_->m_bDaily = 1;
  Go();
  const char* const names[] = {"DEFAULT.DAT", "DEFAULT.SDS"};
  const char* const doneLines[] = {"Raw Data Reports Output...", "SDS Reports Output..."};
  long whole[2];
  for (int f = 0; f < 2; ++f) whole[f] = static_cast<long>(Report(names[f]).size());
  ASSERT_GT(whole[CF_SDS], 0);
  std::map<ERunEnd, std::vector<long>> ends;
  std::vector<long> shortTexts;
  for (long n = 0; n <= 1600; n += 10) {
    SCOPED_TRACE(n);
    std::filesystem::remove_all(folder_ / "reports");
    view_->m_lbStatus.ResetContent();
    view_->m_flags.keepGoingFlag.store(true);
    view_->m_loadCount = SLoadCount();
    RunShortOfMemory(*view_, n, [&] { view_->RunClassicReports(); });
    const std::vector<std::string> lines = StatusLines();
    std::vector<bool> there, done;
    for (int f = 0; f < 2; ++f) {
      const std::filesystem::path path = folder_ / (std::string("reports/") + names[f]);
      there.push_back(std::filesystem::exists(path));
      done.push_back(std::find(lines.begin(), lines.end(), doneLines[f]) != lines.end());
      // An announced report shorter than whole is text cut short while it was made.
      if (there[f] && static_cast<long>(std::filesystem::file_size(path)) != whole[f]) shortTexts.push_back(n);
    }
    const ERunEnd end = JudgeRun(lines, there, done);
    ends[end].push_back(n);
    EXPECT_NE(end, ERunEnd::Other) << ::testing::PrintToString(lines);
  }
  // A report that is there and announced is whole: text cut short is refused, not written.
  EXPECT_TRUE(shortTexts.empty()) << ::testing::PrintToString(shortTexts);
  EXPECT_FALSE(ends[ERunEnd::Refused].empty());
  EXPECT_FALSE(ends[ERunEnd::Whole].empty());
}
