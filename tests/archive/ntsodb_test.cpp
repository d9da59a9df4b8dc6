// The name/column database on real files: the worked examples byte for byte, round trips of both
// forms, the open modes, record reads, corrupt files, and the writing operations.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "archive/ntsodb.h"
#include "archive_test_util.h"
#include "platform/kernel/time.h"

namespace {

struct Name {
  const char* name;
  WORD type;
  WORD size;
};

CObjArray<CNTSO> Names(const std::vector<Name>& list) {
  CObjArray<CNTSO> a;
  for (const Name& n : list) a.Add(CNTSO(n.name, n.type, n.size));
  return a;
}

std::vector<uint8_t> Pattern(int seed, size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed * 31 + i * 7 + (i >> 8));
  return v;
}

CStream Stream(const std::vector<uint8_t>& v) { return CStream(v.data(), static_cast<int>(v.size())); }

class NtsoDb : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLocalTimeSource([] { return SYSTEMTIME{1994, 3, 2, 15, 10, 11, 12, 130}; });
  }
  void TearDown() override { SetLocalTimeSource(nullptr); }

  // Writes a database with the given names, each filled with its pattern, and closes it.
  void Make(const std::string& base, int mode, int layout, DWORD columns, const std::vector<Name>& list,
            const char* title = "") {
    CObjArray<CNTSO> names = Names(list);
    CNTSODB db;
    ASSERT_EQ(db.Create(base.c_str(), mode, names, columns, title, 1, layout, nullptr), 0);
    for (int i = 0; i < names.m_nSize; ++i) {
      if (names.m_pData[i]->m_wRecordSize == 0) continue;
      CStream s = Stream(Pattern(i, names.m_pData[i]->m_wRecordSize * columns));
      ASSERT_EQ(db.WriteColumns(s, i, 0, static_cast<int>(columns)), 0);
    }
    ASSERT_EQ(db.Close(), 0);
  }

  ScratchFolder dir;
};

std::string ExampleHeader(const char* mode, int names, int nls, int ds, int size) {
  char buf[1024];
  std::snprintf(buf, sizeof buf,
                "\r\n"
                "NG.2 Format\r\n"
                "           Version =          1\r\n"
                "           DB Mode =%s\r\n"
                "  DB Creation Time = 03/15/1994 10:11:12\r\n"
                "   File Write Time = 03/15/1994 10:11:12.13\r\n"
                "   Data Start Time = 03/15/1994 00:00:00.00\r\n"
                "     Data End Time = 03/15/1994 23:59:59.99\r\n"
                "   Number of Names = %10d\r\n"
                " Number of Columns =        288\r\n"
                "       Header Size =        512\r\n"
                "    Name List Size = %10d\r\n"
                "         Data Size = %10d\r\n"
                "         File Size = %10d\r\n"
                "The remainder of this file is packed binary\r\n",
                mode, names, nls, ds, size);
  std::string h(buf);
  h.append(512 - h.size(), '\x07');
  return h;
}

TEST_F(NtsoDb, WorkedExampleFixedIsByteExact) {
  Make(dir / "ex1", 1, 2, 288, {{"005es12345:_MNR__1", 80, 3}});
  std::vector<uint8_t> file = ReadAll(dir / "ex1.DAT");
  ASSERT_EQ(file.size(), 1536u);
  std::string header = ExampleHeader(" FIXED ", 1, 27, 864, 1536);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 512), header);
  const uint8_t entry[] = {0x30, 0x30, 0x35, 0x65, 0x73, 0x31, 0x32, 0x33, 0x34, 0x35, 0x3a, 0x5f, 0x4d, 0x4e,
                           0x52, 0x5f, 0x5f, 0x31, 0x00, 0x50, 0x00, 0x03, 0x00, 0x1b, 0x02, 0x00, 0x00};
  EXPECT_EQ(std::memcmp(file.data() + 512, entry, sizeof entry), 0);
  std::vector<uint8_t> records = Pattern(0, 864);
  EXPECT_EQ(std::memcmp(file.data() + 539, records.data(), 864), 0);
  for (size_t i = 1403; i < 1536; ++i) ASSERT_EQ(file[i], 0) << i;
  EXPECT_FALSE(std::filesystem::exists(dir / "ex1.NTS"));
}

TEST_F(NtsoDb, WorkedExampleExpand) {
  Make(dir / "ex2", 3, 2, 288, {{"A", 80, 2}, {"B", 80, 2}, {"C", 80, 2}});
  std::vector<uint8_t> dat = ReadAll(dir / "ex2.DAT"), nts = ReadAll(dir / "ex2.NTS");
  ASSERT_EQ(dat.size(), 2560u);
  ASSERT_EQ(nts.size(), 1024u);
  EXPECT_EQ(std::string(dat.begin(), dat.begin() + 512), ExampleHeader(" EXPAND", 3, 30, 1728, 2560));
  EXPECT_EQ(std::string(nts.begin(), nts.begin() + 512), ExampleHeader(" EXPAND", 3, 30, 1728, 1024));
  const DWORD offsets[] = {512, 1088, 1664};
  for (int i = 0; i < 3; ++i) {
    const uint8_t* e = nts.data() + 512 + i * 10;
    EXPECT_EQ(e[0], 'A' + i);
    DWORD off = e[6] | e[7] << 8 | e[8] << 16 | static_cast<DWORD>(e[9]) << 24;
    EXPECT_EQ(off, offsets[i]);
  }
  for (size_t i = 542; i < 1024; ++i) ASSERT_EQ(nts[i], 0);
  for (size_t i = 2240; i < 2560; ++i) ASSERT_EQ(dat[i], 0);

  CNTSODB db;
  ASSERT_EQ(db.Open((dir / "ex2").c_str(), 0), 0);
  EXPECT_EQ(db.m_nMode, 2);
  CStream out;
  ASSERT_EQ(db.ReadColumns(out, "B", 0, 288), 0);
  EXPECT_EQ(std::vector<uint8_t>(out.m_pData, out.m_pData + out.m_nSize), Pattern(1, 576));
}

TEST_F(NtsoDb, RoundTripBothFormsAndLayouts) {
  for (int layout : {1, 2})
    for (int mode : {1, 3})
      for (DWORD columns : {288u, 4320u}) {
        SCOPED_TRACE(testing::Message() << "layout " << layout << " mode " << mode << " columns " << columns);
        std::string base = dir / ("rt" + std::to_string(layout) + std::to_string(mode) + std::to_string(columns));
        Make(base, mode, layout, columns,
             {{"005es12345:_MNR__1", 80, 3}, {"005es12345:_MN__tn", 84, 4}, {"005es12345:_MN__T1", 88, 7},
              {"", 92, 1}, {"ZZ", 261, 2}},
             "Round trip");
        CNTSODB db;
        ASSERT_EQ(db.Open(base.c_str(), 0), 0);
        EXPECT_EQ(db.m_nMode, mode == 1 ? 0 : 2);
        EXPECT_EQ(db.m_nLayout, layout);
        EXPECT_EQ(db.m_nColumns, columns);
        ASSERT_EQ(db.m_Entries.m_nSize, 5);
        for (int i = 0; i < 5; ++i) {
          const CNTSO* e = db.m_Entries.m_pData[i];
          CStream out;
          ASSERT_EQ(db.ReadColumns(out, e->GetName(), 0, static_cast<int>(columns)), 0);
          EXPECT_EQ(std::vector<uint8_t>(out.m_pData, out.m_pData + out.m_nSize), Pattern(i, e->m_wRecordSize * columns));
          ASSERT_EQ(db.ReadColumns(out, e->GetName(), static_cast<int>(columns) - 1, 1), 0);
          EXPECT_EQ(out.m_pData[0], Pattern(i, e->m_wRecordSize * columns)[e->m_wRecordSize * (columns - 1)]);
        }
        CStr<char, wchar_t> title;
        ASSERT_EQ(db.GetTitle(title), 0);
        EXPECT_STREQ(title.m_pData, "Round trip");
        int version = 0;
        ASSERT_EQ(db.GetIntField(version, kFieldVersion), 0);
        EXPECT_EQ(version, 1);
        SYSTEMTIME t;
        ASSERT_EQ(db.GetTimeField(t, kFieldDataEnd), 0);
        EXPECT_EQ(t.wHour, 23);
        EXPECT_EQ(t.wMilliseconds, 990);
        EXPECT_EQ(t.wDayOfWeek, 2);
      }
}

TEST_F(NtsoDb, ReadColumnsChecks) {
  Make(dir / "rc", 3, 2, 288, {{"A", 80, 3}, {"B", 80, 3}, {"b", 80, 0}});
  {
    CNTSODB db;
    ASSERT_EQ(db.Open((dir / "rc").c_str(), 3), 0);
    ASSERT_EQ(db.DeleteName("B"), 0);
    CStream out;
    EXPECT_EQ(db.ReadColumns(out, "B", 0, 1), kNtsoErrPastEnd);  // deleted, still found
    // The object is not closed here by a deletion; compacting happens at close. Leave it so.
    db.m_Entries.m_pData[1]->m_wType = 80;
  }
  for (bool ahead : {false, true}) {
  SCOPED_TRACE(ahead ? "read ahead" : "single reads");
  CNTSODB db;
  ASSERT_EQ(db.Open((dir / "rc").c_str(), 0), 0);
  if (ahead) {
    const std::string names[] = {"A", "B", "b", "C"};
    EXPECT_EQ(db.ReadAhead(names, 4, 0, 288), 1);  // B is deleted, b has no records, C is absent
  }
  struct Case {
    const char* name;
    int first, count, result;
    int bytes;
  };
  const Case cases[] = {
      {"A", 0, 288, 0, 864},          {"A", 287, 1, 0, 3},
      {"A", 288, 1, kNtsoErrIndex, 0}, {"A", -1, 1, kNtsoErrIndex, 0},
      {"A", 0, 289, kNtsoErrPastEnd, 0}, {"A", 1, 288, kNtsoErrPastEnd, 0},
      {"A", 0, -1, kNtsoErrPastEnd, 0}, {"A", 0, 0, 1782, 0},
      {"a", 0, 1, kNtsoErrNotFound, 0}, {"C", 0, 1, kNtsoErrNotFound, 0},
      {"b", 0, 1, 1782, 0},  // record size 0
  };
  for (const Case& c : cases) {
    CStream out;
    int r = db.ReadColumns(out, c.name, c.first, c.count);
    EXPECT_EQ(r, c.result) << c.name << " " << c.first << " " << c.count;
    if (r == 0) {
      EXPECT_EQ(out.m_nSize, c.bytes);
    }
  }
  EXPECT_EQ(db.m_nMode, 2);  // still open after failures
  }
}

TEST_F(NtsoDb, ReadAheadGivesTheBytesOfSingleReads) {
  // Names of several record sizes, some far apart (a run each) and some close (one run).
  std::vector<Name> list;
  for (int i = 0; i < 40; ++i) list.push_back({nullptr, 80, static_cast<WORD>(i % 7 == 3 ? 60 : 1 + i % 5)});
  std::vector<std::string> names;
  for (int i = 0; i < 40; ++i) names.push_back("N" + std::to_string(100 + i));
  for (int i = 0; i < 40; ++i) list[static_cast<size_t>(i)].name = names[static_cast<size_t>(i)].c_str();
  for (int form : {1, 3}) {
    Make(dir / "ra", form, 2, 288, list);
    struct Case {
      std::vector<int> wanted;  // indexes into names; -1: a name that is absent
      int first, count;
    };
    const Case cases[] = {{{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 0, 288},
                          {{39, 0, 20, 5, 5, -1}, 0, 288},
                          {{3, 10, 17, 24, 31, 38}, 100, 50},
                          {{12}, 287, 1},
                          {{}, 0, 288}};
    for (const Case& c : cases) {
      CNTSODB single, ahead;
      ASSERT_EQ(single.Open((dir / "ra").c_str(), 0), 0);
      ASSERT_EQ(ahead.Open((dir / "ra").c_str(), 0), 0);
      std::vector<std::string> wanted;
      for (int w : c.wanted) wanted.push_back(w < 0 ? "ABSENT" : names[static_cast<size_t>(w)]);
      int runs = ahead.ReadAhead(wanted.data(), wanted.size(), c.first, c.count);
      EXPECT_LE(runs, static_cast<int>(wanted.size()));
      // Every name is read, wanted or not; the wanted from the runs.
      for (const std::string& n : names) {
        CStream a, b;
        ASSERT_EQ(ahead.ReadColumns(a, n.c_str(), c.first, c.count), single.ReadColumns(b, n.c_str(), c.first, c.count));
        ASSERT_EQ(a.m_nSize, b.m_nSize) << n;
        EXPECT_EQ(a.m_nPosition, b.m_nPosition) << n;
        EXPECT_EQ(a.m_nSeekMode, b.m_nSeekMode) << n;
        EXPECT_EQ(std::memcmp(a.m_pData, b.m_pData, static_cast<size_t>(a.m_nSize)), 0) << n;
      }
      // The runs go at close.
      ahead.Close();
      ASSERT_EQ(ahead.Open((dir / "ra").c_str(), 0), 0);
      CStream a;
      EXPECT_EQ(ahead.ReadColumns(a, names[0].c_str(), 0, 288), 0);
    }
  }
}

TEST_F(NtsoDb, OpenModesAgainstForms) {
  Make(dir / "fx", 1, 1, 288, {{"A", 80, 3}});
  Make(dir / "ex", 3, 1, 288, {{"A", 80, 3}});
  struct Case {
    const char* base;
    int mode, result, modeAfter;
  };
  const Case cases[] = {
      {"fx", 0, 0, 0}, {"fx", 1, 0, 1}, {"fx", 2, 0, 0}, {"fx", 3, kNtsoErrMode, -1}, {"fx", 4, kNtsoErrMode, -1},
      {"ex", 0, 0, 2}, {"ex", 1, kNtsoErrMode, -1}, {"ex", 2, 0, 2}, {"ex", 3, 0, 3}, {"ex", -1, kNtsoErrMode, -1},
  };
  for (const Case& c : cases) {
    CNTSODB db;
    EXPECT_EQ(db.Open((dir / c.base).c_str(), c.mode), c.result) << c.base << " " << c.mode;
    EXPECT_EQ(db.m_nMode, c.modeAfter) << c.base << " " << c.mode;
    if (c.result != 0) {
      EXPECT_EQ(db.m_nLayout, -1);
      EXPECT_EQ(db.m_Entries.m_nSize, 0);
      EXPECT_EQ(db.m_nPositions[kFieldFileSize], 0);
    }
  }
  // An extension given by the caller is cut; a dotted folder is not.
  CNTSODB db;
  EXPECT_EQ(db.Open((dir / "fx.dat").c_str(), 0), 0);
  std::filesystem::create_directory(dir / "ARCHIVE.V2");
  std::filesystem::copy_file(dir / "fx.DAT", dir / "ARCHIVE.V2/db.DAT");
  EXPECT_EQ(db.Open((dir / "ARCHIVE.V2/db").c_str(), 0), 0);
  EXPECT_EQ(db.Open((dir / "missing").c_str(), 0), 2);
  EXPECT_EQ(db.Open((dir / "nofolder/x").c_str(), 0), 3);
}

TEST_F(NtsoDb, ReadOnlyOpensLeaveFilesUnchanged) {
  Make(dir / "ro", 3, 2, 288, {{"A", 80, 3}, {"B", 84, 4}});
  std::vector<uint8_t> dat = ReadAll(dir / "ro.DAT"), nts = ReadAll(dir / "ro.NTS");
  SetLocalTimeSource([] { return SYSTEMTIME{1999, 12, 5, 31, 23, 59, 58, 0}; });
  for (int mode : {0, 2}) {
    CNTSODB db;
    ASSERT_EQ(db.Open((dir / "ro").c_str(), mode), 0);
    CStream out;
    ASSERT_EQ(db.ReadColumns(out, "B", 0, 288), 0);
    EXPECT_EQ(db.Close(), 0);
  }
  EXPECT_EQ(ReadAll(dir / "ro.DAT"), dat);
  EXPECT_EQ(ReadAll(dir / "ro.NTS"), nts);
  // Mode 3 without deletions stamps File Write Time in both files and changes nothing else.
  {
    CNTSODB db;
    ASSERT_EQ(db.Open((dir / "ro").c_str(), 3), 0);
    EXPECT_EQ(db.Close(), 0);
  }
  std::vector<uint8_t> dat2 = ReadAll(dir / "ro.DAT"), nts2 = ReadAll(dir / "ro.NTS");
  ASSERT_EQ(dat2.size(), dat.size());
  int pos = 139;  // File Write Time of NG.2 with an empty title
  EXPECT_EQ(std::string(dat2.begin() + pos, dat2.begin() + pos + 23), " 12/31/1999 23:59:58.00");
  EXPECT_EQ(std::string(nts2.begin() + pos, nts2.begin() + pos + 23), " 12/31/1999 23:59:58.00");
  for (size_t i = 0; i < dat.size(); ++i) {
    if (i < static_cast<size_t>(pos) || i >= static_cast<size_t>(pos + 23)) {
      ASSERT_EQ(dat[i], dat2[i]) << i;
    }
  }
}

// ---- corrupt files ----

struct Mutation {
  const char* what;
  std::function<void(std::vector<uint8_t>& dat, std::vector<uint8_t>& nts)> apply;
  int open;  // expected Open result
};

void Patch(std::vector<uint8_t>& f, size_t at, const std::string& text) {
  std::memcpy(f.data() + at, text.data(), text.size());
}

TEST_F(NtsoDb, CorruptFixedFiles) {
  // NG.2, empty title: Names at 274, Columns 307, Header Size 340, NLS 373, DS 406, File Size 439.
  Make(dir / "good", 1, 2, 288, {{"005es12345:_MNR__1", 80, 3}, {"005es12345:_MN__T1", 88, 7}});
  const std::vector<uint8_t> good = ReadAll(dir / "good.DAT");
  const size_t listEnd = 512 + 54;
  std::vector<Mutation> cases = {
      {"empty file", [](auto& d, auto&) { d.clear(); }, 1160},
      {"one byte", [](auto& d, auto&) { d.resize(1); }, kNtsoErrMalformed},
      {"511 bytes", [](auto& d, auto&) { d.resize(511); }, kNtsoErrMalformed},
      {"512 bytes", [](auto& d, auto&) { d.resize(512); }, kNtsoErrMalformed},
      {"513 bytes", [](auto& d, auto&) { d.resize(513); }, kNtsoErrMalformed},
      {"cut in the list", [&](auto& d, auto&) { d.resize(listEnd - 5); }, kNtsoErrMalformed},
      {"cut in the records", [](auto& d, auto&) { d.resize(1500); }, kNtsoErrMalformed},
      {"one byte short", [](auto& d, auto&) { d.pop_back(); }, kNtsoErrMalformed},
      {"one byte long", [](auto& d, auto&) { d.push_back(0); }, kNtsoErrMalformed},
      {"NUL in the header", [](auto& d, auto&) { d[200] = 0; }, kNtsoErrHeaderText},
      {"no CR LF", [](auto& d, auto&) { std::replace(d.begin(), d.begin() + 512, '\r', ' '); }, kNtsoErrNoCrLf},
      {"misspelt field", [](auto& d, auto&) { d[260] = 'x'; }, kNtsoErrFieldOrder},
      {"DB Mode lower case", [](auto& d, auto&) { Patch(d, 68, " fixed "); }, kNtsoErrMalformed},
      {"Header Size 511", [](auto& d, auto&) { Patch(d, 340, "        511"); }, kNtsoErrMalformed},
      {"File Size + 1", [](auto& d, auto&) { Patch(d, 439, "       3585"); }, kNtsoErrMalformed},
      {"Names + 1", [](auto& d, auto&) { Patch(d, 274, "          3"); }, kNtsoErrMalformed},
      {"Names - 1", [](auto& d, auto&) { Patch(d, 274, "          1"); }, kNtsoErrMalformed},
      {"Names huge", [](auto& d, auto&) { Patch(d, 274, " 2147483647"); }, kNtsoErrMalformed},
      {"Names overflow", [](auto& d, auto&) { Patch(d, 274, "99999999999"); }, kNtsoErrMalformed},
      {"Columns 0", [](auto& d, auto&) { Patch(d, 307, "          0"); }, kNtsoErrMalformed},
      {"Columns 289 (last block past the records)", [](auto& d, auto&) { Patch(d, 307, "        289"); }, kNtsoErrMalformed},
      {"Data Size past the file", [](auto& d, auto&) { Patch(d, 406, "   99999999"); }, kNtsoErrMalformed},
      {"Data Size - 1 (last block past the records)", [](auto& d, auto&) { Patch(d, 406, "       2879"); }, kNtsoErrMalformed},
      {"Data Size + 1 (no block ends there)", [](auto& d, auto&) { Patch(d, 406, "       2881"); }, kNtsoErrMalformed},
      {"NLS past the file", [](auto& d, auto&) { Patch(d, 373, " 4294967295"); }, kNtsoErrMalformed},
      {"NLS - 1 (cut entry)", [](auto& d, auto&) { Patch(d, 373, "         53"); }, kNtsoErrMalformed},
      {"NLS + 1", [](auto& d, auto&) { Patch(d, 373, "         55"); }, kNtsoErrMalformed},
      {"NLS 0, Names 0", [](auto& d, auto&) { Patch(d, 373, "          0"), Patch(d, 274, "          0"); }, 1782},
      {"last name without NUL", [](auto& d, auto&) { d[512 + 27 + 18] = 'x'; }, kNtsoErrMalformed},
      {"blanks and tabs before names", [](auto& d, auto&) { d[274 - 20] = '\t'; }, 0},
  };
  for (const Mutation& m : cases) {
    std::vector<uint8_t> d = good, n;
    m.apply(d, n);
    WriteAll(dir / "bad.DAT", d);
    CNTSODB db;
    EXPECT_EQ(db.Open((dir / "bad").c_str(), 0), m.open) << m.what;
    EXPECT_EQ(db.m_nMode, m.open == 0 ? 0 : -1) << m.what;
  }
}

TEST_F(NtsoDb, EntriesWithRecordsOutsideTheRecordAreaAreRefused) {
  // A at 532, B at 1396, 288 records of 3 bytes each: the record area is [532, 2260). Live names'
  // records lie in it, and the last block ends at its end.
  Make(dir / "good", 1, 2, 288, {{"A", 80, 3}, {"B", 80, 3}});
  const std::vector<uint8_t> good = ReadAll(dir / "good.DAT");
  struct Case {
    const char* what;
    const char* name;  // the entry changed: its fixed fields follow its name
    uint16_t type, recordSize;
    uint32_t offset;
    int open, read;
  };
  const Case cases[] = {
      {"as written", "B", 80, 3, 1396, 0, 0},
      {"deleted", "B", 0xFFFF, 3, 1396, 0, kNtsoErrPastEnd},
      {"deleted, past the file", "A", 0xFFFF, 3, 100000, 0, kNtsoErrPastEnd},
      {"on A's records: nothing ends where the area does", "B", 80, 3, 532, kNtsoErrMalformed, 0},
      {"deleted, in the header: nothing ends where the area does", "B", 0xFFFF, 3, 0, kNtsoErrMalformed, 0},
      {"one byte past the area", "B", 80, 3, 1397, kNtsoErrMalformed, 0},
      {"in the name list", "A", 80, 3, 531, kNtsoErrMalformed, 0},
      {"in the header", "B", 80, 1, 0, kNtsoErrMalformed, 0},
      {"at the end of the file", "B", 80, 3, static_cast<uint32_t>(good.size()), kNtsoErrMalformed, 0},
      {"offset 0xFFFFFFFF", "B", 80, 3, 0xFFFFFFFF, kNtsoErrMalformed, 0},
      {"block past the end", "B", 80, 65535, 600, kNtsoErrMalformed, 0},
      {"block wrapping 32 bits", "B", 80, 65535, 0xFFFF0000, kNtsoErrMalformed, 0},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> d = good;
    uint8_t* f = d.data() + 512 + (c.name[0] - 'A') * 10 + 2;
    f[0] = static_cast<uint8_t>(c.type), f[1] = static_cast<uint8_t>(c.type >> 8);
    f[2] = static_cast<uint8_t>(c.recordSize), f[3] = static_cast<uint8_t>(c.recordSize >> 8);
    for (int i = 0; i < 4; ++i) f[4 + i] = static_cast<uint8_t>(c.offset >> (8 * i));
    WriteAll(dir / "bad.DAT", d);
    CNTSODB db;
    ASSERT_EQ(db.Open((dir / "bad").c_str(), 0), c.open) << c.what;
    if (c.open != 0) continue;
    CStream out;
    EXPECT_EQ(db.ReadColumns(out, c.name, 0, 288), c.read) << c.what;
    if (c.read == 0) {
      EXPECT_EQ(std::vector<uint8_t>(out.m_pData, out.m_pData + out.m_nSize),
                std::vector<uint8_t>(d.begin() + c.offset, d.begin() + c.offset + 864)) << c.what;
    }
  }
}

TEST_F(NtsoDb, ExpandPairMismatches) {
  Make(dir / "good", 3, 2, 288, {{"A", 80, 3}, {"B", 80, 3}});
  Make(dir / "g1", 3, 1, 288, {{"A", 80, 3}, {"B", 80, 3}});
  Make(dir / "titled", 3, 2, 288, {{"A", 80, 3}, {"B", 80, 3}}, "Its values lie further on");
  const std::vector<uint8_t> dat = ReadAll(dir / "good.DAT"), nts = ReadAll(dir / "good.NTS");
  const std::vector<uint8_t> nts1 = ReadAll(dir / "g1.NTS"), titled = ReadAll(dir / "titled.NTS");
  std::vector<Mutation> cases = {
      {"pair as written", [](auto&, auto&) {}, 0},
      {".NTS other Columns", [](auto&, auto& n) { Patch(n, 307, "        289"); }, kNtsoErrMalformed},
      {".NTS other NLS", [](auto&, auto& n) { Patch(n, 373, "         21"); }, kNtsoErrMalformed},
      {".NTS other Data Size", [](auto&, auto& n) { Patch(n, 406, "       1727"); }, kNtsoErrMalformed},
      {".NTS declares FIXED", [](auto&, auto& n) { Patch(n, 68, " FIXED "); }, kNtsoErrMalformed},
      {".NTS File Size", [](auto&, auto& n) { Patch(n, 439, "       1025"); }, kNtsoErrMalformed},
      {".NTS Header Size", [](auto&, auto& n) { Patch(n, 340, "        511"); }, kNtsoErrMalformed},
      {".NTS of another layout", [&](auto&, auto& n) { n = nts1; }, kNtsoErrMalformed},
      {".NTS values elsewhere, read", [&](auto&, auto& n) { n = titled; }, 0},
      {".NTS missing", [](auto&, auto& n) { n.clear(); }, 2},
      {".NTS with NUL", [](auto&, auto& n) { n[10] = 0; }, kNtsoErrHeaderText},
  };
  for (const Mutation& m : cases) {
    std::vector<uint8_t> d = dat, n = nts;
    m.apply(d, n);
    WriteAll(dir / "bad.DAT", d);
    std::filesystem::remove(dir / "bad.NTS");
    if (!n.empty()) WriteAll(dir / "bad.NTS", n);
    CNTSODB db;
    EXPECT_EQ(db.Open((dir / "bad").c_str(), 0), m.open) << m.what;
  }
  // Field writes go to both files at one position: writing needs the values at the same places.
  WriteAll(dir / "bad.DAT", dat);
  WriteAll(dir / "bad.NTS", titled);
  CNTSODB db;
  EXPECT_EQ(db.Open((dir / "bad").c_str(), 3), kNtsoErrMalformed);
}

TEST_F(NtsoDb, LayoutZeroFile) {
  // A hand-built "Primary Copy" file: 15-character alias keys, u8 type and size, 16th byte skipped.
  char header[513];
  int pos[14];
  ASSERT_EQ(NtsoBuildHeader(header, "", pos, 0), 0);
  std::string h(header, 512);
  std::string list = std::string("ES-0017:_MNR__1") + "Z" + std::string("\x5c\x03", 2);
  uint32_t offset = 512 + 43;  // the record area follows the list
  for (int i = 0; i < 4; ++i) list += static_cast<char>(offset >> (8 * i));
  list += std::string("ES-0018:_MNR__\0", 15) + std::string("\x60\x04", 2);
  offset += 3 * 288;
  for (int i = 0; i < 4; ++i) list += static_cast<char>(offset >> (8 * i));
  ASSERT_EQ(list.size(), 43u);
  auto put = [&](int f, const std::string& v) { h.replace(pos[f], v.size(), v); };
  put(kFieldNames, "       2");
  put(kFieldColumns, "     288");
  put(kFieldHeaderSize, "     512");
  put(kFieldNameListSize, "      43");
  put(kFieldDataSize, "    2016");
  put(kFieldFileSize, "    2000");  // below the real size: accepted for this layout
  std::vector<uint8_t> file(h.begin(), h.end());
  file.insert(file.end(), list.begin(), list.end());
  file.resize(512 + 43 + 2016 + 100, 0x11);
  WriteAll(dir / "p0.DAT", file);
  for (int mode : {0, 1, 2, 3}) {
    CNTSODB db;
    int r = db.Open((dir / "p0").c_str(), mode);
    EXPECT_EQ(r, mode == 1 || mode == 3 ? kNtsoErrMode : 0) << mode;
    if (r != 0) continue;
    EXPECT_EQ(db.m_nMode, 0);
    EXPECT_EQ(db.m_nLayout, 0);
    ASSERT_NE(db.FindName("ES-0017:_MNR__1"), nullptr);
    EXPECT_EQ(db.FindName("ES-0017:_MNR__1")->m_wType, 92);
    ASSERT_NE(db.FindName("ES-0018:_MNR__"), nullptr);
    EXPECT_EQ(db.FindName("ES-0018:_MNR__")->m_wRecordSize, 4);
    CStream out;
    EXPECT_EQ(db.ReadColumns(out, "ES-0017:_MNR__1", 0, 288), 0);
    int version;
    EXPECT_EQ(db.GetIntField(version, kFieldVersion), kNtsoErrFieldOrder);
    EXPECT_EQ(db.GetIntField(version, 14), kNtsoErrIndex);
  }
  // A layout-1 file with the same shortfall is refused.
}

TEST_F(NtsoDb, LowerCaseCopyIsFound) {
  std::filesystem::create_directories(dir / "data1994");
  Make(dir / "data1994/19940315", 3, 2, 288, {{"A", 80, 3}});
  std::filesystem::rename(dir / "data1994/19940315.DAT", dir / "data1994/19940315.dat");
  std::filesystem::rename(dir / "data1994/19940315.NTS", dir / "data1994/19940315.nts");
  CNTSODB db;
  EXPECT_EQ(db.Open((dir.Path() + "DATA1994\\19940315.DAT").c_str(), 0), 0);
  EXPECT_EQ(db.m_nMode, 2);
}

// ---- writing ----

TEST_F(NtsoDb, CreateRefusals) {
  CObjArray<CNTSO> names = Names({{"A", 80, 3}, {"B", 80, 3}, {"A", 84, 4}});
  CAdrArray<CNTSO> present;
  CNTSODB db;
  EXPECT_EQ(db.Create((dir / "c").c_str(), 0, names, 288, "", 1, 2, nullptr), kNtsoErrMode);
  EXPECT_EQ(db.Create((dir / "c").c_str(), 1, names, 288, "", 1, 0, nullptr), kNtsoErrLayout);
  EXPECT_EQ(db.Create((dir / "c").c_str(), 1, names, 288, std::string(59, 't').c_str(), 1, 2, nullptr),
            kNtsoErrHeaderText);
  EXPECT_EQ(db.Create((dir / "c").c_str(), 1, names, 288, "two\r\nlines", 1, 2, nullptr), kNtsoErrMalformed);
  EXPECT_FALSE(std::filesystem::exists(dir / "c.DAT"));
  // A File Size that would not fit NG.1's 8-character slot is refused before anything is written.
  CObjArray<CNTSO> big = Names({{"X", 80, 60000}});
  EXPECT_EQ(db.Create((dir / "c").c_str(), 1, big, 2000, "", 1, 1, nullptr), kNtsoErrHeaderText);
  EXPECT_FALSE(std::filesystem::exists(dir / "c.DAT"));
  // One name twice: added once, the second listed, 1760.
  EXPECT_EQ(db.Create((dir / "c").c_str(), 3, names, 288, "", 1, 2, &present), kNtsoErrExists);
  ASSERT_EQ(present.m_nSize, 1);
  EXPECT_EQ(present.m_pData[0], names.m_pData[2]);
  EXPECT_EQ(db.m_Entries.m_nSize, 2);
  EXPECT_EQ(db.Close(), 0);
  EXPECT_EQ(db.Open((dir / "c").c_str(), 0), 0);
  EXPECT_EQ(db.m_Entries.m_nSize, 2);
}

TEST_F(NtsoDb, EmptyDatabaseDoesNotReopen) {
  CObjArray<CNTSO> none;
  CNTSODB db;
  ASSERT_EQ(db.Create((dir / "e").c_str(), 1, none, 288, "", 1, 2, nullptr), 0);
  EXPECT_EQ(db.Close(), 0);
  EXPECT_EQ(db.Open((dir / "e").c_str(), 0), 1782);
}

TEST_F(NtsoDb, WriteColumnsChecks) {
  Make(dir / "w", 1, 2, 288, {{"A", 80, 3}});
  CNTSODB db;
  ASSERT_EQ(db.Open((dir / "w").c_str(), 0), 0);
  CStream three = Stream(Pattern(9, 3));
  EXPECT_EQ(db.WriteColumns(three, "A", 0, 1), kNtsoErrMode);
  ASSERT_EQ(db.Open((dir / "w").c_str(), 1), 0);
  CStream two = Stream(Pattern(9, 2));
  EXPECT_EQ(db.WriteColumns(two, "A", 0, 1), kNtsoErrHeaderText);
  EXPECT_EQ(db.WriteColumns(three, "B", 0, 1), kNtsoErrNotFound);
  EXPECT_EQ(db.WriteColumns(three, 1, 0, 1), kNtsoErrIndex);
  EXPECT_EQ(db.WriteColumns(three, "A", 288, 1), kNtsoErrIndex);
  EXPECT_EQ(db.WriteColumns(three, "A", 287, 2), kNtsoErrPastEnd);
  EXPECT_EQ(db.WriteColumns(three, "A", 287, 1), 0);
  EXPECT_EQ(db.AddNames(Names({{"C", 80, 3}}), nullptr), kNtsoErrMode);
  EXPECT_EQ(db.Close(), 0);
  ASSERT_EQ(db.Open((dir / "w").c_str(), 0), 0);
  CStream out;
  ASSERT_EQ(db.ReadColumns(out, "A", 287, 1), 0);
  EXPECT_EQ(std::vector<uint8_t>(out.m_pData, out.m_pData + 3), Pattern(9, 3));
}

TEST_F(NtsoDb, AddDeleteRenameAndCompaction) {
  Make(dir / "x", 3, 2, 288, {{"A", 80, 2}, {"B", 80, 120}, {"C", 80, 2}});
  {
    CNTSODB db;
    ASSERT_EQ(db.Open((dir / "x").c_str(), 3), 0);
    CObjArray<CNTSO> more = Names({{"D", 80, 2}, {"A", 80, 2}});
    CAdrArray<CNTSO> present;
    EXPECT_EQ(db.AddNames(more, &present), kNtsoErrExists);
    EXPECT_EQ(present.m_nSize, 1);
    ASSERT_NE(db.FindName("D"), nullptr);
    EXPECT_EQ(db.FindName("D")->m_dwOffset, 512u + 2 * 576 + 120 * 288);
    CStream d = Stream(Pattern(3, 576));
    EXPECT_EQ(db.WriteColumns(d, "D", 0, 288), 0);
    EXPECT_EQ(db.RenameName("C", "Q"), 0);
    EXPECT_EQ(db.RenameName("A", "A"), kNtsoErrExists);
    EXPECT_EQ(db.RenameName("Z", "Y"), kNtsoErrNotFound);
    EXPECT_EQ(db.DeleteName("B"), 0);
    EXPECT_EQ(db.RenameName("B", "E"), kNtsoErrPastEnd);
    EXPECT_EQ(db.DeleteName(7), kNtsoErrIndex);
    EXPECT_EQ(db.Close(), 0);
    for (const char* name : {"A", "Q", "D"}) EXPECT_EQ(db.FindName(name), nullptr) << "closed: " << name;
  }
  // After compaction: A, Q, D with offsets 512, 1088, 1664; the freed tail, B's 34560 bytes, is zero.
  CNTSODB db;
  ASSERT_EQ(db.Open((dir / "x").c_str(), 0), 0);
  ASSERT_EQ(db.m_Entries.m_nSize, 3);
  const char* order[] = {"A", "Q", "D"};
  const int patterns[] = {0, 2, 3};
  for (int i = 0; i < 3; ++i) {
    const CNTSO* e = db.m_Entries.m_pData[i];
    EXPECT_STREQ(e->GetName(), order[i]);
    EXPECT_EQ(e->m_dwOffset, 512u + 576u * i);
    CStream out;
    ASSERT_EQ(db.ReadColumns(out, order[i], 0, 288), 0);
    EXPECT_EQ(std::vector<uint8_t>(out.m_pData, out.m_pData + 576), Pattern(patterns[i], 576)) << order[i];
  }
  std::vector<uint8_t> dat = ReadAll(dir / "x.DAT");
  ASSERT_GE(dat.size(), 512u + 3 * 576 + 120 * 288);
  for (size_t i = 512 + 3 * 576; i < 512 + 3 * 576 + 120 * 288; ++i) ASSERT_EQ(dat[i], 0) << i;
  EXPECT_FALSE(std::filesystem::exists(dir / "x_COMPACT.DAT"));

  // A longer name in EXPAND form rewrites the list tail; in FIXED form it is refused.
  db.Close();
  ASSERT_EQ(db.Open((dir / "x").c_str(), 3), 0);
  EXPECT_EQ(db.RenameName("A", "A-much-longer-name"), 0);
  EXPECT_EQ(db.Close(), 0);
  ASSERT_EQ(db.Open((dir / "x").c_str(), 2), 0);
  CStream out;
  EXPECT_EQ(db.ReadColumns(out, "A-much-longer-name", 0, 288), 0);
  EXPECT_EQ(db.ReadColumns(out, "D", 0, 288), 0);
  Make(dir / "f", 1, 2, 288, {{"A", 80, 2}});
  ASSERT_EQ(db.Open((dir / "f").c_str(), 1), 0);
  EXPECT_EQ(db.RenameName("A", "AB"), kNtsoErrHeaderText);
  EXPECT_EQ(db.RenameName("A", "Z"), 0);
}

TEST_F(NtsoDb, CompactionRefusesNonContiguousLayouts) {
  Make(dir / "nc", 3, 2, 288, {{"A", 80, 2}, {"B", 80, 2}});
  // Swap the two offsets in the .NTS: blocks no longer follow list order.
  std::vector<uint8_t> nts = ReadAll(dir / "nc.NTS");
  std::swap_ranges(nts.begin() + 512 + 6, nts.begin() + 512 + 10, nts.begin() + 512 + 16);
  WriteAll(dir / "nc.NTS", nts);
  std::vector<uint8_t> dat = ReadAll(dir / "nc.DAT");
  CNTSODB db;
  ASSERT_EQ(db.Open((dir / "nc").c_str(), 3), 0);
  EXPECT_EQ(db.AddNames(Names({{"C", 80, 2}}), nullptr), kNtsoErrMalformed);
  EXPECT_EQ(db.ConvertAndReopen(1), kNtsoErrMalformed);
  ASSERT_EQ(db.DeleteName("A"), 0);
  EXPECT_EQ(db.Close(), kNtsoErrMalformed);
  std::vector<uint8_t> after = ReadAll(dir / "nc.DAT");
  ASSERT_EQ(after.size(), dat.size());
  EXPECT_EQ(std::memcmp(after.data() + 512, dat.data() + 512, dat.size() - 512), 0);
}

TEST_F(NtsoDb, ConversionsKeepRecords) {
  Make(dir / "cv", 1, 2, 288, {{"A", 80, 3}, {"B", 88, 7}}, "Convert me");
  CNTSODB db;
  ASSERT_EQ(db.Open((dir / "cv").c_str(), 0), 0);
  ASSERT_EQ(db.ConvertAndReopen(3), 0);
  EXPECT_EQ(db.m_nMode, 3);
  EXPECT_TRUE(std::filesystem::exists(dir / "cv.NTS"));
  EXPECT_TRUE(std::filesystem::exists(dir / "cv_BACKUP.DAT"));
  ASSERT_EQ(db.ConvertAndReopen(0), 0);
  EXPECT_EQ(db.m_nMode, 0);
  EXPECT_TRUE(std::filesystem::exists(dir / "cv_BACKUP.NTS"));
  CStr<char, wchar_t> title;
  ASSERT_EQ(db.GetTitle(title), 0);
  EXPECT_STREQ(title.m_pData, "Convert me");
  for (int i = 0; i < 2; ++i) {
    const CNTSO* e = db.m_Entries.m_pData[i];
    CStream out;
    ASSERT_EQ(db.ReadColumns(out, e->GetName(), 0, 288), 0);
    EXPECT_EQ(std::vector<uint8_t>(out.m_pData, out.m_pData + out.m_nSize), Pattern(i, e->m_wRecordSize * 288));
  }
  EXPECT_EQ(db.Convert(9), 0);
  EXPECT_EQ(db.m_nMode, -1);
  EXPECT_EQ(db.Convert(1), kNtsoErrMode);
  EXPECT_FALSE(std::filesystem::exists(dir / "cv_TEMP.DAT"));
  EXPECT_EQ(CNTSODB::MoveDatabaseFiles((dir / "cv").c_str(), (dir / "moved").c_str()), 0);
  EXPECT_EQ(db.Open((dir / "moved").c_str(), 0), 0);
}

// Compaction at close must leave a conversion's backups alone: the backup of a FIXED database
// converted to EXPAND survives deleting a name and closing, and so do both backups when the
// compaction cannot make its own safety copy.
TEST_F(NtsoDb, CompactionKeepsConversionBackups) {
  Make(dir / "bk", 1, 2, 288, {{"A", 80, 2}, {"B", 80, 2}, {"C", 80, 2}});
  const std::vector<uint8_t> fixed = ReadAll(dir / "bk.DAT");
  {
    CNTSODB db;
    ASSERT_EQ(db.Open((dir / "bk").c_str(), 0), 0);
    ASSERT_EQ(db.ConvertAndReopen(3), 0);
    ASSERT_EQ(db.DeleteName("B"), 0);
    EXPECT_EQ(db.Close(), 0);
  }
  EXPECT_TRUE(ReadAll(dir / "bk_BACKUP.DAT") == fixed);
  EXPECT_FALSE(std::filesystem::exists(dir / "bk_COMPACT.DAT"));
  EXPECT_FALSE(std::filesystem::exists(dir / "bk_COMPACT.NTS"));
  CNTSODB db;
  ASSERT_EQ(db.Open((dir / "bk").c_str(), 2), 0);
  EXPECT_EQ(db.m_Entries.m_nSize, 2);
  db.Close();

  // Both backups present; the safety copy of the .NTS cannot be made (its name is taken).
  Make(dir / "f", 3, 2, 288, {{"A", 80, 2}, {"B", 80, 2}, {"C", 80, 2}});
  WriteText(dir / "f_BACKUP.DAT", "old dat");
  WriteText(dir / "f_BACKUP.NTS", "old nts");
  std::filesystem::create_directory(dir / "f_COMPACT.NTS");
  const std::vector<uint8_t> dat = ReadAll(dir / "f.DAT"), nts = ReadAll(dir / "f.NTS");
  ASSERT_EQ(db.Open((dir / "f").c_str(), 3), 0);
  ASSERT_EQ(db.DeleteName(0), 0);
  EXPECT_NE(db.FlushExpand(), 0);
  db.Close();
  EXPECT_EQ(ReadAll(dir / "f_BACKUP.DAT"), std::vector<uint8_t>({'o', 'l', 'd', ' ', 'd', 'a', 't'}));
  EXPECT_EQ(ReadAll(dir / "f_BACKUP.NTS"), std::vector<uint8_t>({'o', 'l', 'd', ' ', 'n', 't', 's'}));
  EXPECT_FALSE(std::filesystem::exists(dir / "f_COMPACT.DAT"));  // its own partial copy is gone
  // The records were never moved: the database still holds all three names with their bytes.
  std::vector<uint8_t> after = ReadAll(dir / "f.DAT");
  ASSERT_EQ(after.size(), dat.size());
  EXPECT_EQ(std::memcmp(after.data() + 512, dat.data() + 512, dat.size() - 512), 0);
  ASSERT_EQ(db.Open((dir / "f").c_str(), 2), 0);
  EXPECT_EQ(db.m_Entries.m_nSize, 3);
}

}  // namespace

namespace {

TEST_F(NtsoDb, UnusualFilesGiveCleanErrors) {
  std::filesystem::create_directory(dir / "folder.DAT");
  ASSERT_EQ(mkfifo((dir / "fifo.DAT").c_str(), 0644), 0);
  std::filesystem::create_symlink(dir / "nowhere.DAT", dir / "dangling.DAT");
  std::filesystem::create_symlink(dir / "loop.DAT", dir / "loop.DAT");
  const std::pair<const char*, int> cases[] = {{"folder", 5}, {"fifo", 5}, {"dangling", 2}};
  for (auto [name, error] : cases)
    for (int mode : {0, 1}) {
      CNTSODB db;
      EXPECT_EQ(db.Open((dir / name).c_str(), mode), error) << name << " " << mode;
      EXPECT_EQ(db.m_nMode, -1);
    }
  CNTSODB db;
  EXPECT_NE(db.Open((dir / "loop").c_str(), 0), 0);
}

}  // namespace

namespace {

TEST_F(NtsoDb, WritingModesRefuseSlotsOffTheirLines) {
  // A File Size line written by another program without the padded slot: readable, but a value
  // written into an 11-character slot there would run past the line into the terminator.
  Make(dir / "slot", 1, 2, 288, {{"005es12345:_MNR__1", 80, 3}});
  std::vector<uint8_t> d = ReadAll(dir / "slot.DAT");
  std::string line = "         File Size =       1536\r\n";
  std::string h(d.begin(), d.begin() + 512);
  size_t at = h.find(line);
  ASSERT_NE(at, std::string::npos);
  std::string shorter = "File Size =1536\r\n" + std::string(line.size() - 17, 'x');
  std::memcpy(d.data() + at, shorter.data(), shorter.size());
  WriteAll(dir / "slot.DAT", d);
  CNTSODB db;
  EXPECT_EQ(db.Open((dir / "slot").c_str(), 0), 0);
  EXPECT_EQ(db.Open((dir / "slot").c_str(), 1), kNtsoErrMalformed);
  EXPECT_EQ(ReadAll(dir / "slot.DAT"), d);
}

}  // namespace

namespace {

// What a database shows of its name list: every entry in file order, and for each probe the file
// position of the entry FindName gives (-1 for none).
struct ListView {
  std::vector<std::string> entries;
  std::vector<int> found;
  bool operator==(const ListView&) const = default;
};

ListView ViewOf(const CNTSODB& db, const std::vector<std::string>& probes) {
  ListView v;
  for (int i = 0; i < db.m_Entries.m_nSize; ++i) {
    const CNTSO* e = db.m_Entries.m_pData[i];
    v.entries.push_back(std::string(e->GetName()) + "/" + std::to_string(e->m_wType) + "/" +
                        std::to_string(e->m_wRecordSize) + "/" + std::to_string(e->m_dwOffset));
  }
  for (const std::string& p : probes) {
    const CNTSO* e = db.FindName(p.c_str());
    int at = -1;
    for (int i = 0; i < db.m_Entries.m_nSize; ++i)
      if (db.m_Entries.m_pData[i] == e) at = i;
    v.found.push_back(at);
  }
  return v;
}

// Renames every `from` of a file's name list to `to` (same length), which a writing database
// refuses to do: lists with repeated names come only from damaged or foreign files.
void RepeatName(const std::string& path, const std::string& from, const std::string& to) {
  std::vector<uint8_t> d = ReadAll(path);
  std::string text(d.begin(), d.end());
  for (size_t at = text.find(from + '\0'); at != std::string::npos; at = text.find(from + '\0', at + 1))
    std::memcpy(d.data() + at, to.data(), to.size());
  WriteAll(path, d);
}

TEST_F(NtsoDb, ReadingOpensAgreeWithTheirOwnListWhateverWasOpenBefore) {
  // Same lists, a list with the same names but other offsets, lists with repeated names, both
  // forms and both layouts.
  struct File {
    const char* base;
    int mode, layout;
    std::vector<Name> names;
    int repeats;  // NAME_B, NAME_C, ... up to this many become NAME_A
  };
  const std::vector<File> files = {
      {"d1", 1, 2, {{"005es1:_MNR__1", 80, 3}, {"005es1:_MN__tn", 84, 4}, {"005es2:_MNR__1", 80, 3}}, 0},
      {"d2", 1, 2, {{"005es1:_MNR__1", 80, 3}, {"005es1:_MN__tn", 84, 4}, {"005es2:_MNR__1", 80, 3}}, 0},
      {"d3", 1, 2, {{"005es1:_MNR__1", 80, 3}, {"005es1:_MN__tn", 84, 7}, {"005es2:_MNR__1", 80, 3}}, 0},
      {"d4", 1, 2,
       {{"NAME_E", 80, 3}, {"NAME_A", 80, 3}, {"NAME_B", 84, 4}, {"NAME_C", 88, 7}, {"NAME_D", 80, 1},
        {"NAME_F", 80, 3}}, 3},
      {"d5", 3, 2, {{"NAME_A", 80, 3}, {"NAME_B", 84, 4}, {"NAME_G", 80, 3}}, 1},
      {"d6", 1, 1, {{"005es1:_MNR__1", 80, 3}, {"005es1:_MN__tn", 84, 4}, {"005es2:_MNR__1", 80, 3}}, 0},
      {"d7", 3, 1, {{"NAME_A", 80, 3}, {"NAME_B", 84, 4}}, 1},
      {"d8", 1, 2, {{"NAME_A", 80, 3}, {"NAME_B", 84, 4}}, 1},
  };
  const std::vector<std::string> probes = {"005es1:_MNR__1", "005es1:_MN__tn", "005es2:_MNR__1", "NAME_A", "NAME_B",
                                           "NAME_E", "NAME_F", "NAME_G", "", "005es1", "NAME_"};
  std::vector<ListView> reference;
  for (const File& f : files) {
    Make(dir / f.base, f.mode, f.layout, 288, f.names);
    const std::string list = dir / (std::string(f.base) + (f.mode == 3 ? ".NTS" : ".DAT"));
    for (int r = 0; r < f.repeats; ++r) RepeatName(list, std::string("NAME_") + static_cast<char>('B' + r), "NAME_A");
    // A writing open of a copy sorts its own index and searches it by bisection.
    for (const char* ext : {".DAT", ".NTS"})
      if (std::filesystem::exists(dir / (std::string(f.base) + ext)))
        std::filesystem::copy_file(dir / (std::string(f.base) + ext), dir / (std::string("ref") + f.base + ext));
    CNTSODB db;
    ASSERT_EQ(db.Open((dir / (std::string("ref") + f.base)).c_str(), f.mode), 0) << f.base;
    reference.push_back(ViewOf(db, probes));
  }
  for (int f : {0, 1, 2, 0, 3, 3, 4, 0, 5, 0, 6, 4, 1, 1, 7, 6, 7}) {
    SCOPED_TRACE(files[f].base);
    CNTSODB db;
    ASSERT_EQ(db.Open((dir / files[f].base).c_str(), 0), 0);
    EXPECT_EQ(ViewOf(db, probes), reference[f]);
    CStream out;
    ASSERT_EQ(db.ReadColumns(out, db.m_Entries.m_pData[1]->GetName(), 0, 288), 0);
  }
  // Reading databases open at once on one thread, each with its own list.
  CNTSODB a, b, c;
  ASSERT_EQ(a.Open((dir / "d1").c_str(), 0), 0);
  ASSERT_EQ(b.Open((dir / "d2").c_str(), 0), 0);
  ASSERT_EQ(c.Open((dir / "d3").c_str(), 0), 0);
  EXPECT_EQ(ViewOf(a, probes), reference[0]);
  EXPECT_EQ(ViewOf(b, probes), reference[1]);
  EXPECT_EQ(ViewOf(c, probes), reference[2]);
  a.Close();
  ASSERT_EQ(a.Open((dir / "d4").c_str(), 0), 0);
  EXPECT_EQ(ViewOf(a, probes), reference[3]);
  EXPECT_EQ(ViewOf(b, probes), reference[1]);
}

}  // namespace

namespace {

// Failures of the files themselves reach the caller: a full disk while writing a new database, a
// list file that cannot be created, and files cut short behind an open database.
TEST_F(NtsoDb, FileFailuresAreReported) {
  CObjArray<CNTSO> names = Names({{"A", 80, 3}});
  CNTSODB db;
  if (std::filesystem::exists("/dev/full")) {
    std::filesystem::create_symlink("/dev/full", dir / "full.DAT");
    EXPECT_EQ(db.Create((dir / "full").c_str(), 1, names, 288, "", 1, 2, nullptr), 112);
    EXPECT_EQ(db.m_nMode, -1);
  }
  std::filesystem::create_directory(dir / "nts.NTS");
  EXPECT_NE(db.Create((dir / "nts").c_str(), 3, names, 288, "", 1, 2, nullptr), 0);
  EXPECT_EQ(db.m_nMode, -1);
  EXPECT_EQ(db.m_Entries.m_nSize, 0);

  Make(dir / "cut", 3, 2, 288, {{"A", 80, 3}}, "Title");
  struct Case {
    const char* file;
    int keep;  // bytes left; Version's slot is 11 characters at 40 (a five-character title)
    int field, title;
  };
  const Case cases[] = {
      {"cut.DAT", 45, kNtsoErrShortRead, kNtsoErrMalformed},
      {"cut.DAT", 20, 38, kNtsoErrMalformed},
      {"cut.NTS", 45, kNtsoErrCopiesDiffer, 0},
      {"cut.NTS", 3, 38, kNtsoErrCopiesDiffer},
  };
  const std::vector<uint8_t> dat = ReadAll(dir / "cut.DAT"), nts = ReadAll(dir / "cut.NTS");
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.file << " " << c.keep);
    WriteAll(dir / "cut.DAT", dat);
    WriteAll(dir / "cut.NTS", nts);
    ASSERT_EQ(db.Open((dir / "cut").c_str(), 2), 0);
    std::filesystem::resize_file(dir / c.file, c.keep);
    int version = -1;
    EXPECT_EQ(db.GetIntField(version, kFieldVersion), c.field);
    EXPECT_EQ(version, -1);
    SYSTEMTIME t{};
    EXPECT_NE(db.GetTimeField(t, kFieldCreationTime), 0);
    EXPECT_NE(db.GetTimeFieldSeconds(t, kFieldCreationTime), 0);
    EXPECT_EQ(t.wYear, 0);
    CStream title;
    EXPECT_EQ(db.ReadTitle(title), c.title);
    db.Close();
  }
  if (std::filesystem::exists("/dev/full")) {  // a write-time stamp that cannot be written at close
    Make(dir / "stamp", 3, 2, 288, {{"A", 80, 3}});
    for (bool nts : {true, false}) {
      ASSERT_EQ(db.Open((dir / "stamp").c_str(), 3), 0);
      ASSERT_EQ((nts ? db.m_NtsFile : db.m_DatFile).Open("/dev/full", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, 0, 0), 0u);
      EXPECT_EQ(db.Close(), 112) << nts;
    }
  }
}

}  // namespace

namespace {

TEST_F(NtsoDb, HeaderFieldsWriteAndReadBack) {
  Make(dir / "hf", 3, 2, 288, {{"A", 80, 3}});
  CNTSODB db;
  ASSERT_EQ(db.Open((dir / "hf").c_str(), 2), 0);
  EXPECT_EQ(db.SetIntField(7, kFieldVersion), kNtsoErrMode);
  ASSERT_EQ(db.Open((dir / "hf").c_str(), 3), 0);
  const SYSTEMTIME when{2001, 7, 0, 8, 9, 10, 11, 560};
  EXPECT_EQ(db.SetIntField(-7, kFieldVersion), 0);
  int i = 0;
  EXPECT_EQ(db.GetIntField(i, kFieldVersion), 0);
  EXPECT_EQ(i, -7);
  EXPECT_EQ(db.SetU32Field(4000000000u, kFieldVersion), 0);
  DWORD u = 0;
  EXPECT_EQ(db.GetU32Field(u, kFieldVersion), 0);
  EXPECT_EQ(u, 4000000000u);
  EXPECT_EQ(db.SetU64Field(12345678901ull, kFieldVersion), 0);
  uint64_t w = 0;
  EXPECT_EQ(db.GetU64Field(w, kFieldVersion), 0);
  EXPECT_EQ(w, 12345678901ull);
  char text[6];
  EXPECT_EQ(db.ReadHeaderFieldText(text, sizeof text, kFieldVersion), 0);
  EXPECT_STREQ(text, "12345");
  EXPECT_EQ(db.SetTimeFieldSeconds(when, kFieldCreationTime), 0);
  EXPECT_EQ(db.SetTimeField(when, kFieldDataStart), 0);
  SYSTEMTIME t{};
  EXPECT_EQ(db.GetTimeFieldSeconds(t, kFieldCreationTime), 0);
  EXPECT_EQ(std::vector<int>({t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds}),
            std::vector<int>({2001, 7, 8, 9, 10, 11, 0}));
  EXPECT_EQ(db.GetTimeField(t, kFieldDataStart), 0);
  EXPECT_EQ(std::vector<int>({t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds}),
            std::vector<int>({2001, 7, 8, 9, 10, 11, 560}));
  // Refusals: indexes outside 1..13, values too wide for their slot, times in number slots.
  for (int bad : {0, 14}) {
    EXPECT_EQ(db.SetIntField(1, bad), kNtsoErrIndex);
    EXPECT_EQ(db.SetU32Field(1, bad), kNtsoErrIndex);
    EXPECT_EQ(db.SetU64Field(1, bad), kNtsoErrIndex);
    EXPECT_EQ(db.SetTimeField(when, bad), kNtsoErrIndex);
    EXPECT_EQ(db.SetTimeFieldSeconds(when, bad), kNtsoErrIndex);
    EXPECT_EQ(db.WriteHeaderField(CStream("1"), bad), kNtsoErrIndex);
    EXPECT_EQ(db.GetIntField(i, bad), kNtsoErrIndex);
  }
  EXPECT_EQ(db.SetU64Field(123456789012ull, kFieldVersion), kNtsoErrHeaderText);
  EXPECT_EQ(db.SetU64Field(uint64_t(INT64_MAX) + 1, kFieldVersion), kNtsoErrHeaderText);
  EXPECT_EQ(db.WriteHeaderField(CStream("123456789012"), kFieldVersion), kNtsoErrHeaderText);
  EXPECT_EQ(db.SetTimeFieldSeconds(when, kFieldVersion), kNtsoErrHeaderText);
  EXPECT_EQ(db.SetTimeField(when, kFieldVersion), kNtsoErrFieldOrder);
  EXPECT_EQ(db.Close(), 0);
  // Both files took every write: the pair still agrees.
  ASSERT_EQ(db.Open((dir / "hf").c_str(), 2), 0);
  EXPECT_EQ(db.GetU64Field(w, kFieldVersion), 0);
  EXPECT_EQ(w, 12345678901ull);
  EXPECT_EQ(db.GetTimeFieldSeconds(t, kFieldCreationTime), 0);
  EXPECT_EQ(t.wSecond, 11);
}

TEST_F(NtsoDb, OpenOrCreateMakesTheDatabaseOnce) {
  CObjArray<CNTSO> names = Names({{"A", 80, 3}, {"B", 80, 3}});
  CNTSODB db;
  EXPECT_EQ(db.OpenOrCreate((dir / "oc").c_str(), 4, names, 288, "T", 1, 2, nullptr), kNtsoErrMode);
  EXPECT_EQ(db.OpenOrCreate((dir / "nofolder/oc").c_str(), 3, names, 288, "T", 1, 2, nullptr), 3);
  EXPECT_EQ(db.m_nMode, -1);
  EXPECT_LE(db.m_strBaseName.m_nSize, 1);  // no name kept: closed, as after a failed Open
  EXPECT_EQ(db.OpenOrCreate((dir / "oc").c_str(), 3, names, 288, "T", 1, 0, nullptr), kNtsoErrLayout);
  EXPECT_EQ(db.m_nMode, -1);
  ASSERT_EQ(db.OpenOrCreate((dir / "oc").c_str(), 3, names, 288, "T", 1, 2, nullptr), 0);
  EXPECT_EQ(db.m_Entries.m_nSize, 2);
  CStream s = Stream(Pattern(4, 864));
  ASSERT_EQ(db.WriteColumns(s, "B", 0, 288), 0);
  ASSERT_EQ(db.Close(), 0);
  // The second call opens what is there: other names, columns and layout are not used.
  CObjArray<CNTSO> other = Names({{"C", 80, 3}});
  ASSERT_EQ(db.OpenOrCreate((dir / "oc").c_str(), 3, other, 144, "U", 1, 1, nullptr), 0);
  EXPECT_EQ(db.m_nLayout, 2);
  EXPECT_EQ(db.m_nColumns, 288u);
  EXPECT_EQ(db.FindName("C"), nullptr);
  CStream out;
  ASSERT_EQ(db.ReadColumns(out, "B", 0, 288), 0);
  EXPECT_EQ(std::vector<uint8_t>(out.m_pData, out.m_pData + out.m_nSize), Pattern(4, 864));
  ASSERT_EQ(db.Close(), 0);
  EXPECT_EQ(db.OpenOrCreate((dir / "oc").c_str(), 0, other, 144, "U", 1, 1, nullptr), 0);
  EXPECT_EQ(db.m_nMode, 2);
}

}  // namespace

namespace {

bool Writable(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) != 0;
}

// The reading modes mark the files read-only and the writing modes take the mark away again, for
// every file of the form.
TEST_F(NtsoDb, ReadOnlyModesMarkTheFiles) {
  Make(dir / "ro1", 1, 2, 288, {{"A", 80, 3}});
  Make(dir / "ro3", 3, 2, 288, {{"A", 80, 3}});
  struct Case {
    const char* base;
    int from, reading, writing;
    std::vector<const char*> files;
  };
  const Case cases[] = {{"ro1", 1, 0, 1, {".DAT"}}, {"ro3", 3, 2, 3, {".DAT", ".NTS"}}};
  for (const Case& c : cases) {
    CNTSODB db;
    ASSERT_EQ(db.Open((dir / c.base).c_str(), c.from), 0);
    ASSERT_EQ(db.ConvertAndReopen(c.reading), 0);
    EXPECT_EQ(db.m_nMode, c.reading);
    for (const char* ext : c.files) EXPECT_FALSE(Writable(dir / (std::string(c.base) + ext))) << c.base << ext;
    ASSERT_EQ(db.ConvertAndReopen(c.writing), 0);
    EXPECT_EQ(db.m_nMode, c.writing);
    for (const char* ext : c.files) EXPECT_TRUE(Writable(dir / (std::string(c.base) + ext))) << c.base << ext;
    ASSERT_EQ(db.Convert(c.reading), 0);  // the closing conversion marks them the same way
    for (const char* ext : c.files) EXPECT_FALSE(Writable(dir / (std::string(c.base) + ext))) << c.base << ext;
  }
}

}  // namespace

namespace {

// A database opened for writing can change its list (added names here), so it hands nothing on
// to the next reading open, even of a file whose list has the bytes it started from.
TEST_F(NtsoDb, WritingOpensHandOnNoList) {
  for (int mode : {3, 1}) {
    SCOPED_TRACE(mode);
    Make(dir / "w", mode, 2, 288, {{"A", 80, 3}, {"B", 80, 3}});
    for (const char* ext : {".DAT", ".NTS"})
      if (std::filesystem::exists(dir / (std::string("w") + ext)))
        std::filesystem::copy_file(dir / (std::string("w") + ext), dir / (std::string("copy") + ext),
                                   std::filesystem::copy_options::overwrite_existing);
    {
      CNTSODB db;
      ASSERT_EQ(db.Open((dir / "w").c_str(), mode), 0);
      if (mode == 3) {
        ASSERT_EQ(db.AddNames(Names({{"C", 80, 3}}), nullptr), 0);
      } else {
        ASSERT_EQ(db.RenameName("B", "Z"), 0);
      }
    }
    CNTSODB db;
    ASSERT_EQ(db.Open((dir / "copy").c_str(), 0), 0);
    EXPECT_EQ(db.m_Entries.m_nSize, 2);
    EXPECT_NE(db.FindName("B"), nullptr);
    EXPECT_EQ(db.FindName("C"), nullptr);
    EXPECT_EQ(db.FindName("Z"), nullptr);
  }
}

}  // namespace

// Destructors of per-thread objects registered for their thread's end, counted: glibc ends the
// program when it has no memory to register one, so threads that read the archive must register
// none.
std::atomic<int> g_threadEndRegistrations{0};
extern "C" int __cxa_thread_atexit(void (*destructor)(void*), void* object, void* dso) noexcept {
  ++g_threadEndRegistrations;
  using Register = int (*)(void (*)(void*), void*, void*);
  static const auto next = reinterpret_cast<Register>(dlsym(RTLD_NEXT, "__cxa_thread_atexit"));
  return next(destructor, object, dso);
}

namespace {

TEST_F(NtsoDb, AThreadKeepsItsLastNameListWithoutRegisteringItsEnd) {
  Make(dir / "k1", 1, 2, 288, {{"005es1:_MNR__1", 80, 3}, {"005es2:_MNR__1", 80, 3}});
  Make(dir / "k2", 1, 2, 288, {{"005es1:_MNR__1", 80, 3}, {"005es2:_MNR__1", 80, 3}});
  const CNTSO* first = nullptr;
  const CNTSO* second = nullptr;
  const int before = g_threadEndRegistrations.load();
  std::thread reader([&] {
    CNTSODB db;
    if (db.Open((dir / "k1").c_str(), 0) != 0) return;
    first = db.m_Entries.m_pData[0];
    db.Close();
    // The next day's equal list is the one kept, not a new one.
    if (db.Open((dir / "k2").c_str(), 0) != 0) return;
    second = db.m_Entries.m_pData[0];
  });
  reader.join();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(second, first);
  EXPECT_EQ(g_threadEndRegistrations.load(), before);
}

}  // namespace
