#include "app/classic/classic_config.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>

#include "app/shell/text_lines.h"
#include "app/shell/setup_lines.h"
#include "platform/app/file.h"
#include "platform/app/ole_date_time.h"
#include "platform/base/errors.h"
#include "trafficdata/db_element.h"

namespace {

// Writer of the NG.1 lines.
class CfgWriter {
 public:
  void Int(int v) { out_ += std::to_string(v); out_ += '\n'; }
  void Text(const std::string& s) { out_ += s; out_ += '\n'; }
  void Date(double d) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed, 6);
    out_.append(buf, r.ptr);
    out_ += '\n';
  }
  void List(const std::vector<int>& v) {
    Int(static_cast<int>(v.size()));
    for (int i : v) Int(i);
  }
  std::string out_;
};

const char* const kBlockNames[CB_COUNT] = {"raw data selection", "single-day selection", "multi-day selection"};

// Field lengths of the element, cabinet and roadway records the view builds.
constexpr size_t kRoadwayChars = sizeof(CDBRoadway::name) - 1;
constexpr size_t kCabinetIdChars = sizeof(CDBCabinet::id) - 1;
constexpr size_t kAliasChars = sizeof(CDBCabinet::alias) - 1;
constexpr size_t kLocationChars = sizeof(CDBCabinet::location) - 1;
constexpr size_t kElementChars = sizeof(CDBElement::name) - 1;

// "<what> of the <block>" for the reasons.
struct BlockText {
  std::string text;
  BlockText(const char* what, int block) : text(std::string(what) + " of the " + kBlockNames[block]) {}
  operator const char*() const { return text.c_str(); }  // NOLINT: passed straight to the reader
};

bool ReadSelection(CSetupLines& r, ECfgLayout layout, ClassicSelection& sel, int b) {
  int n = 0;
  if (!r.Int(n, 0, MAX_CFG_COUNT, BlockText("date count", b))) return false;
  if (n == 0) return true;  // a block without dates ends at its count
  int unused = 0;
  if (!r.Int(unused, INT_MIN, INT_MAX, BlockText("line after the date count", b))) return false;
  sel.dates.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    double d = 0;
    if (!r.Date(d, BlockText("dates", b))) return false;
    sel.dates.push_back(d);
  }
  std::sort(sel.dates.begin(), sel.dates.end());
  sel.dates.erase(std::unique(sel.dates.begin(), sel.dates.end()), sel.dates.end());

  int count = 0;
  if (!r.Int(count, 0, MAX_CFG_COUNT, BlockText("roadway count", b))) return false;
  for (int i = 0; i < count; ++i) {
    std::string road;
    if (!r.Text(road, kRoadwayChars, BlockText("roadways", b))) return false;
    sel.roadways.push_back(std::move(road));
  }
  if (!r.Int(count, 0, MAX_CFG_COUNT, BlockText("cabinet count", b))) return false;
  const int roads = static_cast<int>(sel.roadways.size());
  for (int i = 0; i < count; ++i) {
    ClassicCabinetRec c;
    if (layout == ECfgLayout::NG1 && !r.Text(c.id, kCabinetIdChars, BlockText("cabinet ids", b))) return false;
    if (!r.Text(c.alias, kAliasChars, BlockText("cabinet aliases", b)) ||
        !ReadMilepost(r, c.milepost, layout == ECfgLayout::Older, BlockText("cabinet mileposts", b)) ||
        !r.Text(c.location, kLocationChars, BlockText("cabinet locations", b)))
      return false;
    if (!r.Index(c.roadway, roads, BlockText("roadway index of a cabinet", b))) return false;
    if (layout == ECfgLayout::Older) {
      CDBRoadway road(sel.roadways[static_cast<size_t>(c.roadway)].c_str());
      c.id = OlderCabinetId(road.route, c.milepost);
      if (c.id.size() > kCabinetIdChars) return r.Fail("gives a cabinet a route number above 999" + std::string(" (") +
                                                      BlockText("cabinets", b).text + ")");
    }
    sel.cabinets.push_back(std::move(c));
  }
  if (!r.Int(count, 0, MAX_CFG_COUNT, BlockText("element count", b))) return false;
  const int cabs = static_cast<int>(sel.cabinets.size());
  for (int i = 0; i < count; ++i) {
    ClassicElementRec e;
    int own = 0;
    if (!r.Text(e.name, kElementChars, BlockText("element names", b)) ||
        !r.Int(e.type, 0, 3, BlockText("element types", b)))
      return false;
    if (!r.Index(e.cabinet, cabs, BlockText("cabinet index of an element", b)) ||
        !r.Int(own, INT_MIN, INT_MAX, BlockText("element numbers", b)))
      return false;
    sel.elements.push_back(std::move(e));
  }
  return true;
}

bool ReadListSelection(CSetupLines& r, std::vector<int>& out, int items, const char* what) {
  int n = 0;
  const std::string count = std::string("count of the ") + what;
  if (!r.Int(n, 0, items, count.c_str())) return false;
  for (int i = 0; i < n; ++i) {
    int v = 0;
    if (!r.Int(v, 0, items - 1, what)) return false;
    out.push_back(v);
  }
  return true;
}

bool ReadName(CSetupLines& r, std::string& name, const char* what) {
  if (!r.Text(name, MAX_REPORT_NAME_CHARS, what)) return false;
  return ReportFileNameFault(name).empty() ||
         r.Fail("(" + std::string(what) + ") is \"" + name + "\", not the name of a file inside the output folder");
}

}  // namespace

std::string OlderCabinetId(int route, int milepost) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%03ies%05i", route, milepost);
  return buf;
}

std::string FormatClassicConfig(const ClassicSetup& c) {
  CfgWriter w;
  w.Text(CLASSIC_CONFIG_HEADER);
  w.Int(c.rawOn);
  w.Int(c.sdsOn);
  w.Int(c.mdsOn);
  w.Text(c.rawName);
  w.Text(c.sdsName);
  w.Text(c.mdsName);
  w.Int(c.rawFormat);
  w.Int(c.sdsFormat);
  w.Int(c.mdsFormat);
  w.Int(c.rawSource);
  w.Int(c.min15);
  w.Int(c.occLength);
  w.Int(c.flags);
  w.Int(c.daily);
  for (const ClassicSelection& s : c.sel) {
    w.Int(static_cast<int>(s.dates.size()));
    if (s.dates.empty()) continue;
    w.Int(0);
    for (double d : s.dates) w.Date(d);
    w.Int(static_cast<int>(s.roadways.size()));
    for (const std::string& r : s.roadways) w.Text(r);
    w.Int(static_cast<int>(s.cabinets.size()));
    for (const ClassicCabinetRec& k : s.cabinets) {
      w.Text(k.id);
      w.Text(k.alias);
      w.Int(k.milepost);
      w.Text(k.location);
      w.Int(k.roadway);
    }
    w.Int(static_cast<int>(s.elements.size()));
    for (size_t i = 0; i < s.elements.size(); ++i) {
      w.Text(s.elements[i].name);
      w.Int(s.elements[i].type);
      w.Int(s.elements[i].cabinet);
      w.Int(static_cast<int>(i));
    }
  }
  w.Int(c.monthlyDow);
  w.Int(c.yearlyDow);
  w.Int(c.annual);
  w.List(c.months);
  w.List(c.monthlyDays);
  w.List(c.yearlyDays);
  return std::move(w.out_);
}

bool ParseClassicConfig(std::string_view text, ClassicSetup& out, std::string& error, ECfgLayout* layout) {
  out = ClassicSetup();
  if (IsBlankText(text)) {
    error = "the file is empty";
    return false;
  }
  CSetupLines r(text);
  std::string_view first;
  r.Next(first, "header");
  ECfgLayout lay = ECfgLayout::NG1;
  bool ok = true;
  if (first == CLASSIC_CONFIG_HEADER) {
    ok = r.Choice(out.rawOn, 1, "Raw data ON");
  } else if (first.starts_with(CLASSIC_CONFIG_HEADER_START)) {
    ok = r.Fail("names a version of the Classic configuration file that this program does not read (" +
                std::string(first.substr(std::string_view(CLASSIC_CONFIG_HEADER_START).size())) + ")");
  } else if (first.starts_with("QAV ")) {
    ok = r.Fail("is not the header of a Classic configuration file");
  } else if (!first.empty() && (first[0] == '-' || first[0] == '+' || (first[0] >= '0' && first[0] <= '9'))) {
    // The older layout has no header: its first line is raw ON.
    lay = ECfgLayout::Older;
    r = CSetupLines(text);
    ok = r.Choice(out.rawOn, 1, "Raw data ON");
  } else {
    ok = r.Fail("is neither the header of a Classic configuration file nor a number");
  }
  ok = ok && r.Choice(out.sdsOn, 1, "Single-day ON") && r.Choice(out.mdsOn, 1, "Multi-day ON") &&
       ReadName(r, out.rawName, "raw data file name") && ReadName(r, out.sdsName, "single-day file name") &&
       ReadName(r, out.mdsName, "multi-day file name");
  ok = ok && r.Choice(out.rawFormat, 1, "raw data format") && r.Choice(out.sdsFormat, 1, "single-day format") &&
       r.Choice(out.mdsFormat, 1, "multi-day format") && r.Choice(out.rawSource, 1, "raw data source") &&
       r.Choice(out.min15, 1, "15 Minute Summary") && r.Choice(out.occLength, 1, "Occ / Length") &&
       r.Choice(out.flags, 1, "Flags") && r.Choice(out.daily, 1, "Daily Summary");
  for (int b = 0; ok && b < CB_COUNT; ++b) ok = ReadSelection(r, lay, out.sel[b], b);
  ok = ok && r.Choice(out.monthlyDow, 1, "Monthly Day-of-Week") && r.Choice(out.yearlyDow, 1, "Yearly Day-of-Week") &&
       r.Choice(out.annual, 1, "Annual Values") && ReadListSelection(r, out.months, 12, "month selection") &&
       ReadListSelection(r, out.monthlyDays, 7, "monthly day-of-week selection") &&
       ReadListSelection(r, out.yearlyDays, 7, "yearly day-of-week selection") && r.End();
  if (!ok || !r.Error().empty()) {
    error = r.Error();
    return false;
  }
  if (layout) *layout = lay;
  return true;
}

bool ReadClassicConfigFile(const char* path, ClassicSetup& out, std::string& error) {
  CFile f;
  CFileException fe;
  if (!f.Open(path, CFile::modeRead | CFile::shareDenyNone, &fe)) {
    error = SystemErrorLine(static_cast<DWORD>(fe.m_lOsError));
    return false;
  }
  ULONGLONG len = f.GetLength();
  if (len > MAX_CFG_BYTES) {
    error = "the file is too large for a configuration file";
    return false;
  }
  std::string bytes(static_cast<size_t>(len), '\0');
  UINT got = len ? f.Read(bytes.data(), static_cast<UINT>(len)) : 0;
  if (got != len) {
    error = SystemErrorLine(f.GetError() ? f.GetError() : ERROR_HANDLE_EOF);
    return false;
  }
  f.Close();
  return ParseClassicConfig(bytes, out, error);
}

bool WriteClassicConfigFile(const char* path, const ClassicSetup& setup, std::string& error) {
  std::string text;
  for (char c : FormatClassicConfig(setup)) {
    if (c == '\n') text += '\r';
    text += c;
  }
  return SaveSetupFile(path, text, error);
}

std::string ReportFileNameFault(const std::string& name) {
  if (name.find_first_of("\\/") != std::string::npos)
    return "A report file name cannot contain \"\\\" or \"/\": the report is written into the output folder.";
  if (name == "." || name == "..") return "A report file name cannot be \".\" or \"..\".";
  return {};
}
