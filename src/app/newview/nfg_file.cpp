#include "app/newview/nfg_file.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

#include "app/newview/new_tables.h"
#include "app/shell/setup_lines.h"
#include "trafficdata/db_element.h"
#include "trafficdata/db_record.h"

const char* const NFG_HEADER_NG2 = "QAV Main Configuration File Version NG.2";
const char* const NFG_HEADER_NG1 = "QAV Main Configuration File Version NG.1";

namespace {

// Limits well beyond any real selection; larger counts mark a damaged file.
constexpr int kMaxDates = 200000;
constexpr int kMaxRecords = 1000000;
constexpr int kMaxKeys = 14;
// Longest output path.
constexpr size_t kMaxPathChars = 4095;
// Field lengths of the element, cabinet and roadway records the view builds.
constexpr size_t kRoadwayChars = sizeof(CDBRoadway::name) - 1;
constexpr size_t kCabinetIdChars = sizeof(CDBCabinet::id) - 1;
constexpr size_t kAliasChars = sizeof(CDBCabinet::alias) - 1;
constexpr size_t kLocationChars = sizeof(CDBCabinet::location) - 1;
constexpr size_t kElementChars = sizeof(CDBElement::name) - 1;

const char* const kHeaderStart = "QAV Main Configuration File Version ";
const char* const kListNames[3] = {"column keys", "row keys", "separate-report keys"};

std::string Line(const std::string& s) { return s + "\r\n"; }
std::string Int(long long v) { return Line(std::to_string(v)); }

bool ReadSelection(CSetupLines& in, SNewConfig& c, bool oldCabinets) {
  int n = 0;
  if (!in.Int(n, 0, kMaxDates, "number of dates")) return false;
  if (n == 0) return true;
  int unused = 0;
  if (!in.Int(unused, INT_MIN, INT_MAX, "line after the number of dates")) return false;
  for (int i = 0; i < n; ++i) {
    double d = 0;
    if (!in.Date(d, "dates")) return false;
    c.dates.push_back(d);
  }
  int r = 0;
  if (!in.Int(r, 0, kMaxRecords, "number of roadways")) return false;
  for (int i = 0; i < r; ++i) {
    std::string road;
    if (!in.Text(road, kRoadwayChars, "roadways")) return false;
    c.roadways.push_back(std::move(road));
  }
  int nc = 0;
  if (!in.Int(nc, 0, kMaxRecords, "number of cabinets")) return false;
  for (int i = 0; i < nc; ++i) {
    SNfgCabinet cab;
    if (!oldCabinets && !in.Text(cab.id, kCabinetIdChars, "cabinet ids")) return false;
    if (!in.Text(cab.alias, kAliasChars, "cabinet aliases") ||
        !ReadMilepost(in, cab.milepost, oldCabinets, "cabinet mileposts") ||
        !in.Text(cab.location, kLocationChars, "cabinet locations"))
      return false;
    if (!in.Index(cab.roadway, r, "roadway index of a cabinet")) return false;
    if (oldCabinets) {
      CDBRoadway way(c.roadways[static_cast<size_t>(cab.roadway)].c_str());
      char id[32];
      std::snprintf(id, sizeof id, "%03ies%05i", way.route % 1000, cab.milepost);
      cab.id = id;
    }
    c.cabinets.push_back(std::move(cab));
  }
  int ne = 0;
  if (!in.Int(ne, 0, kMaxRecords, "number of elements")) return false;
  for (int i = 0; i < ne; ++i) {
    SNfgElement e;
    int own = 0;
    if (!in.Text(e.name, kElementChars, "element names") || !in.Int(e.type, 0, 3, "element types")) return false;
    if (!in.Index(e.cabinet, nc, "cabinet index of an element") ||
        !in.Int(own, INT_MIN, INT_MAX, "element numbers"))
      return false;
    c.elements.push_back(std::move(e));
  }
  std::sort(c.dates.begin(), c.dates.end());
  c.dates.erase(std::unique(c.dates.begin(), c.dates.end(),
                            [](double a, double b) { return std::fabs(a - b) * 86400.0 < 0.5; }),
                c.dates.end());
  return true;
}

bool ReadStructure(CSetupLines& in, SNewConfig& c) {
  bool seen[GROUP_TYPES] = {};
  for (int l = 0; l < 3; ++l) {
    const std::string what = std::string("number of ") + kListNames[l];
    int n = 0;
    if (!in.Int(n, 0, kMaxKeys, what.c_str())) return false;
    for (int i = 0; i < n; ++i) {
      int key = 0, asc = 0;
      if (!in.Int(key, 0, GROUP_TYPES - 1, kListNames[l])) return false;
      if (seen[key]) return in.Fail("places \"" + std::string(GroupKeyName(key)) + "\" a second time");
      if (!in.Int(asc, 0, 1, "key directions")) return false;
      seen[key] = true;
      c.lists[l].push_back({key, asc != 0});
    }
  }
  int colKey = -1, rowKey = -1;
  std::vector<int> cols, rows;
  for (const auto& k : c.lists[NFG_COLS]) cols.push_back(k.key);
  for (const auto& k : c.lists[NFG_ROWS]) rows.push_back(k.key);
  if (SplitKeyPair(cols, rows, &colKey, &rowKey))
    return in.Fail(SplitStructureReason(colKey, rowKey), false);
  return true;
}

}  // namespace

std::string WriteNewConfig(const SNewConfig& c) {
  std::string out = Line(NFG_HEADER_NG2);
  out += Line(c.outputPath);
  out += Int(c.outFormat);
  out += Int(c.reportType);
  out += Int(static_cast<long long>(c.dates.size()));
  if (!c.dates.empty()) {
    out += Int(0);
    char buf[64];
    for (double d : c.dates) {
      std::snprintf(buf, sizeof buf, "%f", d);
      out += Line(buf);
    }
    out += Int(static_cast<long long>(c.roadways.size()));
    for (const auto& r : c.roadways) out += Line(r);
    out += Int(static_cast<long long>(c.cabinets.size()));
    for (const auto& cab : c.cabinets) {
      out += Line(cab.id) + Line(cab.alias) + Int(cab.milepost) + Line(cab.location) + Int(cab.roadway);
    }
    out += Int(static_cast<long long>(c.elements.size()));
    for (size_t i = 0; i < c.elements.size(); ++i) {
      const auto& e = c.elements[i];
      out += Line(e.name) + Int(e.type) + Int(e.cabinet) + Int(static_cast<long long>(i));
    }
  }
  out += Int(c.avgMethod) + Int(c.minValidity) + Int(c.periodLen) + Int(c.sumMethod);
  for (int v : c.content) out += Int(v);
  for (const auto& list : c.lists) {
    out += Int(static_cast<long long>(list.size()));
    for (const auto& k : list) out += Int(k.key) + Int(k.ascending ? 1 : 0);
  }
  return out;
}

bool ReadNewConfig(std::string_view text, SNewConfig& out, std::string* error) {
  SNewConfig c;
  CSetupLines in(text);
  auto fail = [&]() {
    if (error != nullptr) *error = in.Error();
    return false;
  };
  if (IsBlankText(text)) {
    in.Fail("the file is empty", false);
    return fail();
  }
  std::string_view first;
  in.Next(first, "header");
  const bool ng2 = first == NFG_HEADER_NG2, ng1 = first == NFG_HEADER_NG1;
  if (!ng2 && !ng1) {
    if (first.starts_with(kHeaderStart)) {
      in.Fail("names a version of the configuration file that this program does not read (" +
              std::string(first.substr(std::string_view(kHeaderStart).size())) + ")");
      return fail();
    }
    // Anything else is the older layout, which begins with the output path (which may itself
    // begin with "QAV ").
    in = CSetupLines(text);
  }
  if (!in.Text(c.outputPath, kMaxPathChars, "output path") || !in.Choice(c.outFormat, 1, "output format") ||
      (ng2 && !in.Choice(c.reportType, REPORT_TYPES - 1, "report type")) || !ReadSelection(in, c, !ng2 && !ng1) ||
      !in.Choice(c.avgMethod, AVG_METHODS - 1, "averaging method") ||
      !in.Int(c.minValidity, 0, 1000, "minimum validity"))
    return fail();
  if (ng2) {
    if (!in.Int(c.periodLen, 1, PERIOD_DAY, "period length")) return fail();
  } else {
    int periods = 0, peak = 0, pm = 0;
    if (!in.Int(periods, 1, PERIOD_DAY / FIVE_MINUTES, "period length") || !in.Choice(peak, 1, "peak flag") ||
        !in.Choice(pm, 1, "PM flag"))
      return fail();
    c.periodLen = periods * FIVE_MINUTES;
    c.reportType = !peak ? RT_NORMAL : (pm ? RT_PM_PEAK : RT_AM_PEAK);
  }
  if (!in.Choice(c.sumMethod, SUM_METHODS - 1, "summarising method")) return fail();
  if (ng2) {
    for (int& v : c.content)
      if (!in.Choice(v, 1, "content check states")) return fail();
  } else {
    static const int kCodes[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 17};
    for (int code : kCodes)
      if (!in.Choice(c.content[code], 1, "content check states")) return fail();
  }
  // Any fault recorded on the way refuses the file, even where a step went on after it.
  if (!ReadStructure(in, c) || !in.End() || !in.Error().empty()) return fail();
  out = std::move(c);
  return true;
}
