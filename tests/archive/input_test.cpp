// The day readers and device-list readers against a generated archive, the PE file formats, and
// the disc request.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive_globals.h"
#include "archive/input.h"
#include "archive/input_desc.h"
#include "archive/sample_archive.h"
#include "archive_test_util.h"
#include "platform/base/msgbox.h"
#include "platform/base/errors.h"
#include "platform/file_size_limit.h"

namespace {

// Answers disc requests from a script and counts them; an action can run before each answer.
struct PromptScript {
  std::vector<int> answers;
  int asked = 0;
  std::string lastText;
  std::function<void(int)> beforeAnswer;
};
PromptScript* g_script = nullptr;

PromptScript Answers(std::vector<int> answers) {
  PromptScript s;
  s.answers = std::move(answers);
  return s;
}

intptr_t ScriptedSend(uintptr_t window, UINT message, uintptr_t wParam, intptr_t lParam) {
  EXPECT_EQ(window, 7u);
  EXPECT_EQ(message, kShowMessageBoxMessage);
  EXPECT_EQ(lParam, static_cast<intptr_t>(MB_OKCANCEL | MB_ICONINFORMATION));
  PromptScript& s = *g_script;
  s.lastText = reinterpret_cast<const char*>(wParam);
  int n = s.asked++;
  if (s.beforeAnswer) s.beforeAnswer(n);
  return n < static_cast<int>(s.answers.size()) ? s.answers[static_cast<size_t>(n)] : IDCANCEL;
}

class Archive : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_dir = new ScratchFolder;
    SampleArchiveOptions o;
    o.root = s_dir->Path() + "arc";
    o.years = {1985, 1994, 1995};
    o.elements = 24;
    o.days = 5;
    ASSERT_EQ(WriteSampleArchive(o, nullptr, &s_days), 0);
  }
  static void TearDownTestSuite() {
    delete s_dir;
    s_dir = nullptr;
  }
  void SetUp() override {
    g_DataRootPath.Set((s_dir->Path() + "arc\\").c_str());
    g_hPromptWnd = 0;
    SetDiscPromptSender(&ScriptedSend);
    g_script = &script;
  }
  void TearDown() override {
    g_hPromptWnd = 0;
    SetDiscPromptSender(nullptr);
    g_script = nullptr;
    g_DataRootPath.Set("");
  }
  PromptScript script;
  static ScratchFolder* s_dir;
  static std::vector<SampleDayInfo> s_days;
};
ScratchFolder* Archive::s_dir = nullptr;
std::vector<SampleDayInfo> Archive::s_days;

TEST_F(Archive, DatabaseDaysReadBackTheGeneratedRecords) {
  std::vector<SampleElement> elements = SampleElements(1994, 24);
  int checked = 0;
  for (const SampleDayInfo& day : s_days) {
    if (day.year != 1994) continue;
    CFMDBInput input;
    CFileException error;
    BOOL ok = input.Open(CDateTimeEx(day.year, day.month, day.day), &error);
    ASSERT_EQ(ok != FALSE, day.written) << day.day;
    if (!ok) {
      EXPECT_EQ(error.m_lOsError, 2);
      EXPECT_NE(error.m_strFileName.find("19940102.DAT"), std::string::npos);
      continue;
    }
    CNTSODB& db = input.m_Database;
    EXPECT_EQ(db.m_nColumns, static_cast<DWORD>(day.columns));
    EXPECT_EQ(db.m_nMode, day.expand ? 2 : 0);
    EXPECT_EQ(db.m_nLayout, day.layout);
    for (size_t k = 0; k < elements.size(); ++k) {
      const SampleElement& e = elements[k];
      CStream out;
      int r = db.ReadColumns(out, e.key.c_str(), 0, day.columns);
      bool expected = (day.columns == 4320 || e.kind != 3) && !(day.day == 3 && k == 0);
      if (!expected) {
        EXPECT_EQ(r, kNtsoErrNotFound) << e.key;
        continue;
      }
      ASSERT_EQ(r, 0) << e.key;
      std::vector<uint8_t> want = SampleRecords(1, day.year, day.month, day.day, static_cast<int>(k), e.kind, day.columns);
      ASSERT_EQ(std::vector<uint8_t>(out.m_pData, out.m_pData + out.m_nSize), want) << e.key;
      ++checked;
    }
    db.Close();
  }
  EXPECT_GT(checked, 50);
}

TEST_F(Archive, DiscRequestOnlyForMissingFiles) {
  CDateTimeEx missing(1994, 1, 2), otherYear(1996, 1, 1);
  g_hPromptWnd = 7;
  {
    // Cancel at once: one request, the missing-file error.
    CFMDBInput input;
    CFileException error;
    EXPECT_FALSE(input.Open(missing, &error));
    EXPECT_EQ(script.asked, 1);
    EXPECT_EQ(error.m_lOsError, 2);
    EXPECT_EQ(script.lastText, "Please insert CD with 1/2/1994 data\nLoading Input Data...");
  }
  {
    // OK twice, then Cancel: three requests.
    script = Answers({IDOK, IDOK, IDCANCEL});
    CFMDBInput input;
    EXPECT_FALSE(input.Open(missing));
    EXPECT_EQ(script.asked, 3);
  }
  {
    // The disc turns up after the first OK.
    script = Answers({IDOK, IDOK});
    std::string folder = s_dir->Path() + "arc/DATA1994/";
    script.beforeAnswer = [&](int n) {
      if (n == 1) std::filesystem::copy_file(folder + "19940101.DAT", folder + "19940102.DAT");
    };
    CFMDBInput input;
    EXPECT_TRUE(input.Open(missing));
    EXPECT_EQ(script.asked, 2);
    input.m_Database.Close();
    std::filesystem::remove(folder + "19940102.DAT");
  }
  {
    // A missing year folder is 3: no request.
    script = Answers({IDOK});
    CFMDBInput input;
    CFileException error;
    EXPECT_FALSE(input.Open(otherYear, &error));
    EXPECT_EQ(error.m_lOsError, 3);
    EXPECT_EQ(script.asked, 0);
  }
  {
    // No prompt window: no request.
    g_hPromptWnd = 0;
    script = Answers({IDOK});
    CFMDBInput input;
    EXPECT_FALSE(input.Open(missing));
    EXPECT_EQ(script.asked, 0);
  }
  {
    // The PE reader asks on any failure to open the volume file, also for a missing folder.
    g_hPromptWnd = 7;
    script = Answers({IDCANCEL});
    CPEInputDesc desc;
    CPEInput pe;
    CFileException error;
    EXPECT_FALSE(pe.Read(CDateTimeEx(1984, 3, 1), desc, &error));
    EXPECT_EQ(script.asked, 1);
    EXPECT_EQ(error.m_lOsError, 3);
    // Device lists never ask.
    CFMDBInputDesc list;
    EXPECT_FALSE(list.Read(CDateTimeEx(1996, 1, 1), &error));
    EXPECT_EQ(script.asked, 1);
  }
}

TEST_F(Archive, OpenFileReportsWhyItFailed) {
  CFMDBInput input;
  CFileException error;
  const std::string missing = s_dir->Path() + "arc/DATA1994/NOSUCHDAY.DAT";
  EXPECT_FALSE(input.OpenFile(missing.c_str(), &error));
  EXPECT_EQ(error.m_lOsError, 2);
  EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
  EXPECT_EQ(error.m_strFileName, missing);
  EXPECT_FALSE(input.OpenFile(missing.c_str()));
  const std::string day = s_dir->Path() + "arc/DATA1994/19940101.DAT";
  EXPECT_TRUE(input.OpenFile(day.c_str(), &error));
  EXPECT_GE(input.m_Database.m_nMode, 0);
  // An EXPAND day without its name list: the record names the .NTS.
  const auto expand = std::find_if(s_days.begin(), s_days.end(), [](const SampleDayInfo& d) { return d.written && d.expand; });
  ASSERT_NE(expand, s_days.end());
  const CDateTimeEx date(expand->year, expand->month, expand->day);
  const std::string lone = s_dir->Path() + date.Format("arc/DATA%Y/NONTS.DAT");
  std::filesystem::copy_file(s_dir->Path() + date.Format("arc/DATA%Y/%Y%m%d.DAT"), lone);
  EXPECT_FALSE(input.OpenFile(lone.c_str(), &error));
  EXPECT_EQ(error.m_lOsError, 2);
  EXPECT_EQ(error.m_strFileName, s_dir->Path() + date.Format("arc/DATA%Y/NONTS.NTS"));
  std::filesystem::remove(lone);
}

// Writes a number into a header field's value slot, right-aligned up to the line's CR LF.
void SetHeaderNumber(std::vector<uint8_t>& file, int field, uint64_t value) {
  uint8_t block[513] = {};
  std::memcpy(block, file.data(), 512);
  NtsoHeaderInfo info;
  ASSERT_EQ(NtsoParseHeaderText(block, info), 0);
  const size_t at = static_cast<size_t>(info.positions[field]);
  size_t end = at;
  while (file[end] != '\r') ++end;
  const std::string text = std::to_string(value);
  ASSERT_LE(text.size(), end - at);
  std::memset(file.data() + at, ' ', end - at);
  std::memcpy(file.data() + end - text.size(), text.data(), text.size());
}

// A day file whose header does not fit its contents is refused as malformed: it is never read
// with its records misplaced.
TEST_F(Archive, DayFilesWhoseHeaderDoesNotFitTheirContentsAreRefused) {
  // From the generated 1994: the 1st is five-minute FIXED (NG.2), the 3rd five-minute EXPAND, the
  // 4th 20-second FIXED (NG.1).
  ScratchFolder dir;
  using Files = std::vector<uint8_t>;
  // A database of its own, written whole, with one loop of the 1st in `columns` columns.
  auto database = [&](DWORD columns) {
    CObjArray<CNTSO> names;
    names.Add(CNTSO(SampleElements(1994, 1)[0].key.c_str(), 80, 3));
    CNTSODB db;
    EXPECT_EQ(db.Create((dir / "own").c_str(), 1, names, columns, "", 1, 2, nullptr), 0);
    EXPECT_EQ(db.Close(), 0);
    return ReadAll(dir / "own.DAT");
  };
  const struct {
    const char* what;
    int day;
    std::function<void(Files& dat, Files& nts)> edit;
    int result;
  } cases[] = {
      {"five-minute, as written", 1, [](Files&, Files&) {}, 0},
      {"20-second, as written", 4, [](Files&, Files&) {}, 0},
      {"EXPAND, as written", 3, [](Files&, Files&) {}, 0},
      {"287 columns", 1, [](Files& d, Files&) { SetHeaderNumber(d, kFieldColumns, 287); }, kNtsoErrMalformed},
      {"289 columns", 1, [](Files& d, Files&) { SetHeaderNumber(d, kFieldColumns, 289); }, kNtsoErrMalformed},
      {"4320 columns", 1, [](Files& d, Files&) { SetHeaderNumber(d, kFieldColumns, 4320); }, kNtsoErrMalformed},
      {"20-second with 287 columns", 4, [](Files& d, Files&) { SetHeaderNumber(d, kFieldColumns, 287); },
       kNtsoErrMalformed},
      {"20-second with 288 columns", 4, [](Files& d, Files&) { SetHeaderNumber(d, kFieldColumns, 288); },
       kNtsoErrMalformed},
      {"EXPAND, both files with 287 columns", 3,
       [](Files& d, Files& n) { SetHeaderNumber(d, kFieldColumns, 287), SetHeaderNumber(n, kFieldColumns, 287); },
       kNtsoErrMalformed},
      {"Data Size past the file", 1, [](Files& d, Files&) { SetHeaderNumber(d, kFieldDataSize, 99999999); },
       kNtsoErrMalformed},
      {"20-second, Data Size past the file", 4,
       [](Files& d, Files&) { SetHeaderNumber(d, kFieldDataSize, 99999999); }, kNtsoErrMalformed},
      {"EXPAND, both files with Data Size past the file", 3,
       [](Files& d, Files& n) { SetHeaderNumber(d, kFieldDataSize, 99999999), SetHeaderNumber(n, kFieldDataSize, 99999999); },
       kNtsoErrMalformed},
      {"Name List Size past the file", 1, [](Files& d, Files&) { SetHeaderNumber(d, kFieldNameListSize, 99999999); },
       kNtsoErrMalformed},
      // Whole databases that fit their headers but are no day layout.
      {"a database of 288 columns", 1, [&](Files& d, Files&) { d = database(288); }, 0},
      {"a database of 287 columns", 1, [&](Files& d, Files&) { d = database(287); }, kNtsoErrMalformed},
      {"a database of 4321 columns", 1, [&](Files& d, Files&) { d = database(4321); }, kNtsoErrMalformed},
      {"random bytes", 1,
       [](Files& d, Files&) {
         uint32_t x = 7;
         for (uint8_t& b : d) b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 24);
       },
       kNtsoErrHeaderText},
      {"plain text", 1,
       [](Files& d, Files&) {
         std::string text;
         while (text.size() < 4000) text += "Traffic counts for the day, one line after another.\r\n";
         d.assign(text.begin(), text.end());
       },
       kNtsoErrMalformed},
  };
  // The edited day is the 1st of January of an archive of its own, opened by date and by name.
  std::filesystem::create_directories(dir / "DATA1994");
  g_DataRootPath.Set(dir.Path().c_str());
  for (const auto& c : cases) {
    char name[16];
    std::snprintf(name, sizeof name, "1994010%d", c.day);
    const std::string from = s_dir->Path() + "arc/DATA1994/" + name;
    Files dat = ReadAll(from + ".DAT"), nts = ReadAll(from + ".NTS");
    c.edit(dat, nts);
    const std::string to = dir / "DATA1994/19940101";
    WriteAll(to + ".DAT", dat);
    std::filesystem::remove(to + ".NTS");
    if (!nts.empty()) WriteAll(to + ".NTS", nts);
    for (bool byDate : {true, false}) {
      CFMDBInput input;
      CFileException error;
      const BOOL opened = byDate ? input.Open(CDateTimeEx(1994, 1, 1), &error) : input.OpenFile((to + ".DAT").c_str(), &error);
      EXPECT_EQ(opened, c.result == 0) << c.what;
      EXPECT_EQ(c.result == 0 ? 0 : error.m_lOsError, c.result) << c.what;
      EXPECT_EQ(input.m_Database.m_nMode >= 0, c.result == 0) << c.what;
    }
  }
}

TEST(SampleArchive, DaysRunThroughTheLeapDay) {
  ScratchFolder dir;
  SampleArchiveOptions o;
  o.root = dir.Path() + "arc";
  o.years = {1996};
  o.elements = 4;
  o.days = 61;
  std::vector<SampleDayInfo> days;
  ASSERT_EQ(WriteSampleArchive(o, nullptr, &days), 0);
  ASSERT_EQ(days.size(), 61u);
  EXPECT_EQ(std::vector<int>({days[59].month, days[59].day, days[60].month, days[60].day}),
            std::vector<int>({2, 29, 3, 1}));
}

TEST_F(Archive, DeviceListsOfBothLayouts) {
  for (int year : {1994, 1995}) {
    CFMDBInputDesc desc;
    CFileException error;
    ASSERT_TRUE(desc.Read(CDateTimeEx(year, 3, 1), &error)) << year;
    // 24 elements are 6 cabinets; the last is left out of the list.
    ASSERT_EQ(desc.m_Cabinets.m_nSize, 5);
    const CDBCabinet* c = desc.FindCabinetById("005es01000");
    ASSERT_NE(c, nullptr);
    EXPECT_STREQ(c->alias, "ES-0017");
    EXPECT_STREQ(c->location, "Main St Overpass");
    EXPECT_EQ(c->milepost, 1000);
    ASSERT_NE(c->roadway, nullptr);
    EXPECT_STREQ(c->roadway->name, "I-5");
    EXPECT_EQ(desc.FindCabinetByAlias("ES-0024"), desc.FindCabinetById("405es01013"));
    EXPECT_EQ(desc.FindCabinetById("005es99999"), nullptr);
    EXPECT_EQ(desc.m_Roadways.m_nSize, 4);
  }
  CFMDBInputDesc empty;
  EXPECT_EQ(empty.FindCabinetById("005es01000"), nullptr);
  EXPECT_EQ(empty.FindCabinetByAlias("ES-0017"), nullptr);
}

TEST_F(Archive, PeDayFromGeneratedFiles) {
  CPEInputDesc desc;
  ASSERT_TRUE(desc.Read(CDateTimeEx(1985, 1, 1)));
  ASSERT_EQ(desc.m_Elements.m_nSize, 25);  // 24 loops and the repeated one
  EXPECT_EQ(desc.m_Elements.m_pData[0]->m_dwColumn, 9u);
  // Two loops per cabinet: cabinets are shared.
  EXPECT_EQ(desc.m_Cabinets.m_nSize, 12);
  EXPECT_EQ(desc.m_Elements.m_pData[0]->cabinet, desc.m_Elements.m_pData[1]->cabinet);

  CPEInput day;
  ASSERT_TRUE(day.Read(CDateTimeEx(1985, 1, 1), desc));
  EXPECT_EQ(day.m_nColumns, 1700u);
  ASSERT_NE(day.m_pOccupancy, nullptr);
  // The repeated (alias, element) pair keeps the larger column; the loop without volume is absent.
  EXPECT_EQ(day.FindColumn("_MNR__1", "ES-0017"), 10u + 24 * 3);
  EXPECT_EQ(day.FindColumn("_MNR__2", "ES-0017"), 0xFFFFFFFFu);
  DWORD c = day.FindColumn("_MNR__3", "ES-0024");
  ASSERT_EQ(c, 15u);
  // Occupancy is big-endian on disc.
  std::vector<uint8_t> occ = ReadAll(s_dir->Path() + "arc/PE1985/010185.OCC");
  size_t at = 2 * (100 * 1700 + c);
  EXPECT_EQ(day.m_pOccupancy[100 * 1700 + c], (occ[at] << 8) | occ[at + 1]);
  EXPECT_GT(day.m_pVolume[101 * 1700 + c], 0);
  // The second day has no occupancy file.
  ASSERT_TRUE(day.Read(CDateTimeEx(1985, 1, 2), desc));
  EXPECT_EQ(day.m_pOccupancy, nullptr);
  EXPECT_EQ(day.m_Names.m_nSize, day.m_Index.m_nSize);  // the first day's detectors are gone
  day.Close();
  EXPECT_EQ(day.m_pVolume, nullptr);
  EXPECT_EQ(day.FindColumn("_MNR__3", "ES-0024"), 0xFFFFFFFFu);
}

TEST_F(Archive, PeFileSizesAndDates) {
  std::string folder = s_dir->Path() + "arc/PE1985/";
  CPEInputDesc desc;
  ASSERT_TRUE(desc.Read(CDateTimeEx(1985, 1, 1)));
  auto vol = [&](const char* name, size_t columns, const char* date, long delta) {
    std::vector<uint8_t> v(289 * columns + static_cast<size_t>(delta < 0 ? 0 : delta), 0);
    if (delta < 0) v.resize(v.size() + static_cast<size_t>(delta));
    std::memcpy(v.data(), date, 8);
    WriteAll(folder + name, v);
  };
  struct Case {
    const char* what;
    int month, day;
    const char* file;
    size_t columns;
    const char* date;
    long delta;
    long error;  // 0 = read
  };
  const Case cases[] = {
      {"1700 columns on 08/09", 8, 9, "080985.VOL", 1700, "08/09/85", 0, 0},
      {"one byte short", 8, 9, "080985.VOL", 1700, "08/09/85", -1, 30},
      {"longer is fine", 8, 9, "080985.VOL", 1700, "08/09/85", 5, 0},
      {"2200 columns from 08/10", 8, 10, "081085.VOL", 2200, "08/10/85", 0, 0},
      {"1700 columns on 08/10 are short", 8, 10, "081085.VOL", 1700, "08/10/85", 0, 30},
      {"another day in the date row", 8, 10, "081085.VOL", 2200, "08/11/85", 0, 1392},
      {"month 13", 8, 10, "081085.VOL", 2200, "13/10/85", 0, 1392},
      {"letters", 8, 10, "081085.VOL", 2200, "ab/10/85", 0, 1392},
      {"other separators", 8, 10, "081085.VOL", 2200, "08-10-85", 0, 0},
      {"another century", 8, 10, "081085.VOL", 2200, "08/10/86", 0, 1392},
  };
  for (const Case& c : cases) {
    vol(c.file, c.columns, c.date, c.delta);
    CPEInput day;
    CFileException error;
    BOOL ok = day.Read(CDateTimeEx(1985, c.month, c.day), desc, &error);
    EXPECT_EQ(ok != FALSE, c.error == 0) << c.what;
    if (!ok) {
      EXPECT_EQ(error.m_lOsError, c.error) << c.what;
      EXPECT_NE(error.m_strFileName.find(c.file), std::string::npos);
      EXPECT_EQ(day.m_pVolume, nullptr);
    } else {
      EXPECT_EQ(day.m_nColumns, c.columns) << c.what;
    }
  }
}

TEST_F(Archive, HugeDeviceListIsRefused) {
  std::string path = s_dir->Path() + "arc/DATA1995/RMDC.LST";
  std::vector<uint8_t> keep = ReadAll(path);
  std::filesystem::resize_file(path, 20u * 1024 * 1024);
  CFMDBInputDesc desc;
  CFileException error;
  EXPECT_FALSE(desc.Read(CDateTimeEx(1995, 1, 1), &error));
  EXPECT_EQ(error.m_lOsError, 8);
  WriteAll(path, keep);
  std::string bad = s_dir->Path() + "arc/DATA1995/RMDC.LST";
  WriteText(bad, "\n\nNot a device list\nES-0017             I-5      123.45  Main St Overpass\n");
  EXPECT_FALSE(desc.Read(CDateTimeEx(1995, 1, 1), &error));
  EXPECT_EQ(error.m_lOsError, 11);
  EXPECT_EQ(desc.m_Cabinets.m_nSize, 0);
  WriteAll(path, keep);
}

TEST_F(Archive, LowerCaseArchiveIsRead) {
  // The whole tree in lower case, as a disc without extensions mounts: every reader still finds it.
  namespace fs = std::filesystem;
  std::string root = s_dir->Path() + "lower/";
  fs::create_directories(root);
  for (const char* year : {"DATA1994", "PE1985"}) {
    std::string lowerYear(year);
    for (char& ch : lowerYear) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    fs::create_directories(root + lowerYear);
    for (auto& e : fs::directory_iterator(s_dir->Path() + "arc/" + year)) {
      std::string name = e.path().filename().string();
      for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      fs::copy_file(e.path(), root + lowerYear + "/" + name);
    }
  }
  g_DataRootPath.Set((root).c_str());
  CFMDBInput input;
  EXPECT_TRUE(input.Open(CDateTimeEx(1994, 1, 3)));  // an EXPAND pair
  EXPECT_EQ(input.m_Database.m_nMode, 2);
  CFMDBInputDesc list;
  EXPECT_TRUE(list.Read(CDateTimeEx(1994, 1, 1)));
  CPEInputDesc peList;
  EXPECT_TRUE(peList.Read(CDateTimeEx(1985, 1, 1)));
  CPEInput pe;
  EXPECT_TRUE(pe.Read(CDateTimeEx(1985, 1, 1), peList));
  EXPECT_NE(pe.m_pOccupancy, nullptr);
  // A file literally named with a backslash is not an archive path.
  WriteText(root + "DATA1994\\19940315.DAT", "x");
  CFMDBInput other;
  CFileException error;
  EXPECT_FALSE(other.Open(CDateTimeEx(1994, 3, 15), &error));
  EXPECT_EQ(error.m_lOsError, 2);
}

TEST(SampleArchive, SameSeedSameBytes) {
  ScratchFolder a, b;
  SampleArchiveOptions o;
  o.years = {1993};
  o.elements = 9;
  o.days = 4;
  o.root = a.Path();
  ASSERT_EQ(WriteSampleArchive(o), 0);
  o.root = b.Path();
  ASSERT_EQ(WriteSampleArchive(o), 0);
  int files = 0;
  for (auto& e : std::filesystem::recursive_directory_iterator(a.Path())) {
    if (!e.is_regular_file()) continue;
    std::string rel = e.path().string().substr(a.Path().size());
    EXPECT_EQ(ReadAll(e.path().string()), ReadAll(b.Path() + rel)) << rel;
    ++files;
  }
  // 1993 has both folders: PE days from January, database days from June.
  EXPECT_TRUE(std::filesystem::exists(a.Path() + "PE1993/LPDATA.PRN"));
  EXPECT_TRUE(std::filesystem::exists(a.Path() + "PE1993/010193.VOL"));
  EXPECT_TRUE(std::filesystem::exists(a.Path() + "DATA1993/19930601.DAT"));
  EXPECT_GT(files, 10);
}

TEST(SampleArchive, AnArchiveThatCannotBeMadeWholeIsRefusedOrLeavesNoPartOfAFile) {
  // The most elements whose names all differ, and one more.
  const int most = SampleArchiveMaxElements();
  const auto distinct = [](int count) {
    std::vector<std::string> keys;
    for (const SampleElement& e : SampleElements(1994, count)) keys.push_back(e.key);
    std::sort(keys.begin(), keys.end());
    return std::adjacent_find(keys.begin(), keys.end()) == keys.end();
  };
  EXPECT_TRUE(distinct(most));
  EXPECT_FALSE(distinct(most + 1));
  // Refused before anything is written: not even the output folder is made.
  const struct {
    const char* what;
    int elements, days;
    bool uniform;
  } refused[] = {
      {"names that repeat", 30000, 1, true},
      {"one element too many", most + 1, 1, true},
      {"a 20-second day too large for the NG.1 header", 10000, 4, false},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.what);
    ScratchFolder dir;
    SampleArchiveOptions o;
    o.root = dir / "arc";
    o.years = {1994};
    o.elements = c.elements;
    o.days = c.days;
    o.uniformDays = c.uniform;
    std::string message;
    EXPECT_EQ(WriteSampleArchive(o, &message), ERROR_INVALID_PARAMETER);
    EXPECT_NE(message.find(std::to_string(c.elements) + " elements"), std::string::npos) << message;
    EXPECT_FALSE(std::filesystem::exists(o.root));
  }
  // A write that fails part way (the disc full after 20,000 bytes, less than a day file) leaves
  // the year's list and no part of a day file.
  for (const int year : {1990, 1994}) {
    SCOPED_TRACE(year);
    ScratchFolder dir;
    SampleArchiveOptions o;
    o.root = dir / "arc";
    o.years = {year};
    {
      ScopedFileSizeLimit full(20000);
      EXPECT_EQ(WriteSampleArchive(o), ERROR_FILE_TOO_LARGE);
    }
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::recursive_directory_iterator(o.root))
      if (e.is_regular_file()) left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{year == 1990 ? "LPDATA.PRN" : "RMDC.LST"});
  }
}

}  // namespace

// A long list of distinct roadways and cabinets is read in time linear in its length: each line's
// roadway and cabinet are looked up, not searched for from the list's start.
TEST(DeviceListSize, LongListsOfDistinctCabinetsReadQuickly) {
  constexpr int kLines = 100000;
  std::string lpdata, rmdc = "XEP Electronic Surveillance Device List\n";
  char line[160];
  for (int i = 0; i < kLines; ++i) {
    std::snprintf(line, sizeof line, "LOOP%04d R%05d LOC             %03d.%02d   ELEMENT  ES-%04d\n", 1 + i % 2000, i,
                  i % 100, i % 100, i % 10000);
    lpdata += line;
    std::snprintf(line, sizeof line, "%03des%05d ES-%04d              R%05d        %03d %02d  LOC\n", i % 1000, i,
                  i % 10000, i, i % 100, i % 100);
    rmdc += line;
  }
  // One more line of the first roadway, in another case: no new roadway.
  lpdata += "LOOP0002 r00000 LOC             000.00   ELEMENT  ES-0000\n";
  rmdc += "000es00000 ES-0000              r00000        000 00  LOC\n";
  struct Case {
    const char* name;
    std::function<int(int&, int&)> parse;  // returns the cabinet count; sets roadways and lines
  };
  CPEInputDesc pe;
  CFMDBInputDesc fm;
  const Case cases[] = {
      {"RMDC.LST",
       [&](int& roads, int& items) {
         EXPECT_EQ(0u, fm.Parse(rmdc.data(), rmdc.size()));
         roads = fm.m_Roadways.m_nSize;
         items = fm.m_Cabinets.m_nSize;
         return fm.m_Cabinets.m_nSize;
       }},
      {"LPDATA.PRN",
       [&](int& roads, int& items) {
         pe.Parse(lpdata.data(), lpdata.size());
         roads = pe.m_Roadways.m_nSize;
         items = pe.m_Elements.m_nSize;
         return pe.m_Cabinets.m_nSize;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int roads = 0, items = 0;
    auto start = std::chrono::steady_clock::now();
    int cabinets = c.parse(roads, items);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // A search from the list's start would take minutes here; the bound leaves room for a loaded
    // machine running the sanitizer build.
    EXPECT_LT(seconds, 30.0);
    EXPECT_EQ(kLines, roads);
    EXPECT_EQ(kLines + 1, items);
    // LPDATA.PRN keeps one cabinet per id; RMDC.LST holds every line's cabinet.
    EXPECT_EQ(std::string(c.name) == "LPDATA.PRN" ? kLines : kLines + 1, cabinets);
  }
}
