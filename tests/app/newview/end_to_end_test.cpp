// Whole New-view runs over a generated archive, without a window: three report designs in text
// and spreadsheet form, each checked against sums worked out here from the archive's own
// records (not from the program's output).
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/newview/new_run.h"
#include "app/newview/newview_fixture.h"
#include "archive/archive_globals.h"
#include "app/shell/input_loader.h"
#include "archive/sample_archive.h"
#include "trafficdata/view_settings.h"

namespace {

using newview_test::SetDates;

constexpr uint32_t kSeed = 7;
constexpr int kYear = 1994;
constexpr int kElements = 16;  // four cabinets, one loop each

class EndToEndTest : public ::testing::Test {
 protected:
  static std::string root;

  static void SetUpTestSuite() {
    char dir[] = "/tmp/qav_newview_e2e_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    root = std::string(dir) + "/";
    SampleArchiveOptions o;
    o.root = root;
    o.seed = kSeed;
    o.years = {kYear};
    o.elements = kElements;
    o.days = 40;
    o.uniformDays = true;
    std::string message;
    ASSERT_EQ(WriteSampleArchive(o, &message), 0) << message;
  }
  static void TearDownTestSuite() { std::system(("rm -rf '" + root + "'").c_str()); }

  void SetUp() override { g_DataRootPath.Set(root.c_str()); }

  // The loops of the archive, with locations of our own: cabinets 0 and 1 "Alpha", 2 and 3 "Beta".
  void SelectLoops(CNewReportModel& m) {
    auto elements = SampleElements(kYear, kElements);
    m.m_arrRoadways.Add(CDBRoadway("I-5"));
    for (int i = 0; i < kElements; ++i) {
      if (elements[static_cast<size_t>(i)].kind != 0) continue;
      std::string key = elements[static_cast<size_t>(i)].key;
      std::string cab = key.substr(0, key.find(':')), name = key.substr(key.find(':') + 1);
      int c = m.m_arrCabinets.Add(CDBCabinet(cab.c_str(), "", 100 * i, i / 4 < 2 ? "Alpha" : "Beta", m.m_arrRoadways.m_pData[0]));
      m.m_arrElements.Add(CDBElementEx(name.c_str(), ET_LOOP, m.m_arrCabinets.m_pData[c]));
      m_sampleIndex.push_back(i);
    }
    m.CountElementsPerKind();
  }

  // Decoded five-minute periods of element e (index into the selection) on a day.
  struct SPeriods { std::vector<int> vol, occ, n; };
  SPeriods Periods(int e, int month, int day) {
    auto rec = SampleRecords(kSeed, kYear, month, day, m_sampleIndex[static_cast<size_t>(e)], 0, 288);
    SPeriods p;
    for (int i = 0; i < 288; ++i) {
      const uint8_t* r = rec.data() + 3 * i;
      p.vol.push_back(r[2]);
      p.occ.push_back((r[0] & 3) * 256 + r[1]);
      p.n.push_back((r[0] >> 2) & 15);
    }
    return p;
  }

  std::string Run(CNewReportModel& m, int format) {
    m.m_nOutFormat = format;
    m.m_strOutputPath = root + (format == 1 ? "out\\sheet.txt" : "out\\text.txt");
    m.GroupSelectedDates();
    m.CountElementsPerKind();
    m.PeriodsPerDay();
    m.CountContentPerKind();
    m.RecomputeReportLayout();
    EXPECT_EQ(PreRunFailure(m), nullptr);
    CRunFlags flags;
    std::vector<UINT> ids;
    struct : IReportFileStatus {
      void PostWin32Error(DWORD) override { ADD_FAILURE() << "502"; }
      void PostOutFileError(const std::string&) override { ADD_FAILURE() << "513"; }
      void PostOutputTo(const std::string&) override { ADD_FAILURE() << "514"; }
    } status;
    SNewRunHost host;
    host.run = &flags;
    host.fileStatus = &status;
    host.post = [&](UINT id) { ids.push_back(id); };
    host.load = [&](std::vector<std::unique_ptr<CElementData>>& data, SRowsWhileLoading* rows) {
      return Load(m, flags, data, rows);
    };
    CStdioFile file;
    CNewReportRun run(m, host, file);
    run.Run();
    EXPECT_EQ(ids.back(), 515u);
    std::ifstream in(root + (format == 1 ? "out/sheet.txt" : "out/text.txt"), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    std::string text = s.str();
    EXPECT_EQ(text.find('\n') == std::string::npos || text[text.find('\n') - 1] == '\r', true);
    return text;
  }

  // The program's own loader: each selected day's database file, read by cabinet and element.
  static bool Load(CNewReportModel& m, RunControl& run, std::vector<std::unique_ptr<CElementData>>& data,
                   SRowsWhileLoading* rows) {
    struct : IWorkerPoster {
      void Post(UINT, LPARAM) override {}
    } poster;
    return AdoptLoadedData(LoadElementData(m.m_arrElements, m.m_arrDates, poster, run, nullptr, rows), data);
  }

  std::vector<int> m_sampleIndex;
};

std::string EndToEndTest::root;

std::vector<std::string> Split(const std::string& s, const std::string& sep) {
  std::vector<std::string> out;
  size_t from = 0;
  for (size_t at; (at = s.find(sep, from)) != std::string::npos; from = at + sep.size()) out.push_back(s.substr(from, at - from));
  out.push_back(s.substr(from));
  return out;
}

std::string Body(const std::string& text) { return text.substr(text.find("\r\n\r\n") + 4); }

std::string Cell(const std::string& v, int format) {
  return format == 1 ? v + "\t" : std::string(17 - v.size(), ' ') + v;
}

std::string Tenths(int64_t v, int format) {
  char buf[32];
  std::snprintf(buf, sizeof buf, format == 1 ? "%3i.%1i%%" : "%i.%1i%%", static_cast<int>(v / 10), static_cast<int>(v % 10));
  return Cell(buf, format);
}

int64_t RoundHalf(double v) { return static_cast<int64_t>(v + 0.5); }

TEST_F(EndToEndTest, DailyVolumeByElementAndDate) {
  for (int format : {0, 1}) {
    CNewReportModel m;
    SetDates(m, {{kYear, 1, 3}, {kYear, 1, 4}, {kYear, 1, 5}});
    SelectLoops(m);
    m.m_bContent[CC_VOLUME] = 1;
    m.m_nPeriodLen = 4320;
    m.m_nSumMethod = 2;
    m.MoveToList(GK_ELEMENT, m.m_lstRows, m.m_lstCols, nullptr);
    m.MoveToList(GK_DATE, m.m_lstCols, m.m_lstRows, nullptr);
    std::string body = Body(Run(m, format));
    // One report: the heading, the date columns, then one line per element in cabinet order.
    std::string expected = format == 1 ? "Time\t00:00:00\r\nData Content\tVolume\r\n\r\n\t01/03/1994\t01/04/1994\t01/05/1994\t\r\n"
                                       : "Time:  00:00:00\r\nData Content:  Volume\r\n\r\n" + std::string(17, ' ') +
                                             "       01/03/1994       01/04/1994       01/05/1994\r\n";
    std::map<std::string, std::string> lines;  // by cabinet id: the Element key's order here
    for (int e = 0; e < m.m_arrElements.m_nSize; ++e) {
      const CDBElementEx& el = *m.m_arrElements.m_pData[e];
      char key[64];
      // Cabinets without an alias: the text cell names them by the whole id.
      std::snprintf(key, sizeof key, format == 1 ? "%s:%s\t" : "%10.10s%7.7s", el.cabinet->id, el.name);
      std::string line = key;
      for (int d = 3; d <= 5; ++d) {
        SPeriods p = Periods(e, 1, d);
        int64_t sum = 0;
        for (int v : p.vol) sum += v;
        line += Cell(std::to_string(sum), format);
      }
      lines[el.cabinet->id] = line;
    }
    for (const auto& [id, line] : lines) expected += (&line == &lines.begin()->second ? "" : "\r\n") + line;
    EXPECT_EQ(body, expected) << format;
    EXPECT_EQ(Split(body, "\r\n").size(), 4u + m.m_arrElements.m_nSize);
  }
}

TEST_F(EndToEndTest, FifteenMinuteVolumeAndOccupancyOfOneDay) {
  for (int format : {0, 1}) {
    CNewReportModel m;
    SetDates(m, {{kYear, 1, 10}});
    SelectLoops(m);
    m.m_bContent[CC_VOLUME] = m.m_bContent[CC_OCCUPANCY] = 1;
    m.m_nPeriodLen = 45;
    m.m_nSumMethod = 2;
    m.MoveToList(GK_TIME, m.m_lstRows, m.m_lstCols, nullptr);
    m.MoveToList(GK_CONTENT, m.m_lstCols, m.m_lstRows, nullptr);
    std::string body = Body(Run(m, format));
    std::vector<std::string> reports = Split(body, format == 1 ? "\r\n\r\nElement\t" : "\r\n\r\nElement:  ");
    ASSERT_EQ(static_cast<int>(reports.size()), m.m_arrElements.m_nSize) << format;
    for (int e = 0; e < m.m_arrElements.m_nSize; ++e) {
      SPeriods p = Periods(e, 1, 10);
      const CDBElementEx& el = *m.m_arrElements.m_pData[e];
      std::string name = std::string(el.cabinet->id) + ":" + el.name;
      size_t r = 0;
      while (r < reports.size() && reports[r].find(name) == std::string::npos) ++r;
      ASSERT_LT(r, reports.size()) << name;
      std::vector<std::string> lines = Split(reports[r], "\r\n");
      // Element, Date header lines, a blank line, the column header, then 96 rows.
      size_t first = lines.size() - 96;
      for (int q = 0; q < 96; ++q) {
        int64_t vol = 0, w = 0, n = 0;
        for (int k = 3 * q; k < 3 * q + 3; ++k) {
          vol += p.vol[static_cast<size_t>(k)];
          w += static_cast<int64_t>(p.occ[static_cast<size_t>(k)]) * p.n[static_cast<size_t>(k)];
          n += p.n[static_cast<size_t>(k)];
        }
        int64_t occ = n > 0 ? RoundHalf(static_cast<double>(w) / n) : 0;
        char time[32];
        std::snprintf(time, sizeof time, format == 1 ? "%02i:%02i:00\t" : "         %02i:%02i:00", q / 4, (q % 4) * 15);
        EXPECT_EQ(lines[first + static_cast<size_t>(q)], time + Cell(std::to_string(vol), format) + Tenths(occ, format))
            << format << " element " << e << " quarter " << q;
      }
    }
  }
}

TEST_F(EndToEndTest, MonthlyAverageWithLocationsInSeparateReports) {
  for (int format : {0, 1}) {
    CNewReportModel m;
    std::vector<CDateTimeEx> dates;
    for (int d = 27; d <= 31; ++d) dates.emplace_back(kYear, 1, d);
    for (int d = 1; d <= 3; ++d) dates.emplace_back(kYear, 2, d);
    SetDates(m, dates);
    SelectLoops(m);
    m.m_bContent[CC_VOLUME] = 1;
    m.m_nPeriodLen = 4320;
    m.m_nSumMethod = 2;
    m.ChangeAveraging(AVG_MONTHLY);
    m.MoveToSeps(GK_LOCATION);
    m.MoveToList(GK_ELEMENT, m.m_lstRows, m.m_lstCols, nullptr);
    m.MoveToList(GK_MONTH, m.m_lstCols, m.m_lstRows, nullptr);
    std::string body = Body(Run(m, format));
    std::vector<std::string> reports = Split(body, format == 1 ? "\r\n\r\nLocation\t" : "\r\n\r\nLocation:  ");
    ASSERT_EQ(reports.size(), 2u) << format;  // Alpha, Beta
    reports[1] = (format == 1 ? "Location\t" : "Location:  ") + reports[1];
    for (size_t r = 0; r < 2; ++r) {
      const char* place = r == 0 ? "Alpha" : "Beta";
      EXPECT_NE(reports[r].find(std::string(format == 1 ? "Location\t" : "Location:  ") + place), std::string::npos);
      std::vector<std::string> lines = Split(reports[r], "\r\n");
      std::map<std::string, std::string> byCabinet;
      for (int e = 0; e < m.m_arrElements.m_nSize; ++e) {
        const CDBElementEx& el = *m.m_arrElements.m_pData[e];
        if (std::strcmp(el.cabinet->location, place) != 0) continue;
        char key[64];
        // Cabinets without an alias: the text cell names them by the whole id.
        std::snprintf(key, sizeof key, format == 1 ? "%s:%s\t" : "%10.10s%7.7s", el.cabinet->id, el.name);
        std::string line = key;
        for (int month : {1, 2}) {
          int64_t sum = 0, days = 0;
          for (int i = 0; i < m.m_nDates; ++i) {
            const CDateTimeEx& d = *m.m_arrDates.m_pData[i];
            if (d.GetMonth() != month) continue;
            for (int v : Periods(e, month, d.GetDay()).vol) sum += v;
            ++days;
          }
          line += Cell(std::to_string(RoundHalf(static_cast<double>(sum) / days)), format);
        }
        byCabinet[el.cabinet->id] = line;
      }
      std::string rowsText;
      for (const auto& [id, line] : byCabinet) rowsText += (rowsText.empty() ? "" : "\r\n") + line;
      std::string tail = lines[lines.size() - 2] + "\r\n" + lines.back();
      EXPECT_EQ(tail, rowsText) << format << " " << place;
      EXPECT_NE(reports[r].find(format == 1 ? "\tJan\tFeb\t\r\n" : "              Jan              Feb\r\n"), std::string::npos);
    }
  }
}

}  // namespace
