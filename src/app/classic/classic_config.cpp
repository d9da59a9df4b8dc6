#include "app/classic/classic_config.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "app/classic/text_lines.h"
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

// Reader of the lines: a missing line reads as empty; inside a counted list it is an error.
class CfgReader {
 public:
  explicit CfgReader(std::string_view text) : lines_(text) {}

  // The next line, or "" past the end.
  std::string_view Line() {
    std::string_view s;
    if (!lines_.Next(s)) s = {};
    return s;
  }
  bool AtEnd() const { return lines_.AtEnd(); }

  int Int() { return ParseLeadingInt(Line()); }
  // A flag or a choice that must be one of 0 .. maxValue.
  bool Choice(int& v, int maxValue, const char* what) {
    v = Int();
    if (v >= 0 && v <= maxValue) return true;
    return Fail(std::string(what) + " is " + std::to_string(v));
  }
  // A count that the lines after it must hold.
  bool Count(int& n, int maxValue, const char* what) {
    n = Int();
    if (n < 0 || n > maxValue) return Fail(std::string("the count of ") + what + " is " + std::to_string(n));
    return true;
  }
  // A line inside a counted list.
  bool Need(std::string_view& s, const char* what) {
    if (AtEnd()) return Fail(std::string("the file ends inside the ") + what);
    s = Line();
    return true;
  }
  bool NeedInt(int& v, const char* what) {
    std::string_view s;
    if (!Need(s, what)) return false;
    v = ParseLeadingInt(s);
    return true;
  }
  bool Fail(std::string why) {
    if (error_.empty()) error_ = std::move(why);
    return false;
  }
  const std::string& Error() const { return error_; }

 private:
  CLineSplitter lines_;
  std::string error_;
};

const char* const kBlockNames[CB_COUNT] = {"raw data selection", "single-day selection", "multi-day selection"};

bool ReadSelection(CfgReader& r, ECfgLayout layout, ClassicSelection& sel, int block) {
  const char* what = kBlockNames[block];
  int n = r.Int();
  if (n < 1) {
    // A block without dates ends at its count. A negative count is no count at all.
    if (n < 0) return r.Fail(std::string("the date count of the ") + what + " is negative");
    return true;
  }
  if (n > MAX_CFG_COUNT) return r.Fail(std::string("the date count of the ") + what + " is too large");
  std::string_view s;
  if (!r.Need(s, what)) return false;  // the line holding 0
  sel.dates.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    if (!r.Need(s, what)) return false;
    double d = ParseLeadingDouble(s);
    COleDateTime date(d);
    if (!std::isfinite(d) || date.GetStatus() != COleDateTime::valid)
      return r.Fail(std::string("a date of the ") + what + " is no date");
    sel.dates.push_back(d);
  }
  std::sort(sel.dates.begin(), sel.dates.end());
  sel.dates.erase(std::unique(sel.dates.begin(), sel.dates.end()), sel.dates.end());

  int count = 0;
  if (!r.NeedInt(count, what)) return false;
  if (count < 0 || count > MAX_CFG_COUNT) return r.Fail(std::string("the roadway count of the ") + what + " is out of range");
  for (int i = 0; i < count; ++i) {
    if (!r.Need(s, what)) return false;
    sel.roadways.emplace_back(s);
  }
  if (!r.NeedInt(count, what)) return false;
  if (count < 0 || count > MAX_CFG_COUNT) return r.Fail(std::string("the cabinet count of the ") + what + " is out of range");
  for (int i = 0; i < count; ++i) {
    ClassicCabinetRec c;
    if (layout == ECfgLayout::NG1) {
      if (!r.Need(s, what)) return false;
      c.id = s;
    }
    if (!r.Need(s, what)) return false;
    c.alias = s;
    if (!r.NeedInt(c.milepost, what)) return false;
    if (!r.Need(s, what)) return false;
    c.location = s;
    if (!r.NeedInt(c.roadway, what)) return false;
    if (c.roadway < 0 || c.roadway >= static_cast<int>(sel.roadways.size()))
      return r.Fail(std::string("a cabinet of the ") + what + " names roadway " + std::to_string(c.roadway) +
                    " of " + std::to_string(sel.roadways.size()));
    if (layout == ECfgLayout::Older) {
      CDBRoadway road(sel.roadways[static_cast<size_t>(c.roadway)].c_str());
      c.id = OlderCabinetId(road.route, c.milepost);
    }
    sel.cabinets.push_back(std::move(c));
  }
  if (!r.NeedInt(count, what)) return false;
  if (count < 0 || count > MAX_CFG_COUNT) return r.Fail(std::string("the element count of the ") + what + " is out of range");
  for (int i = 0; i < count; ++i) {
    ClassicElementRec e;
    if (!r.Need(s, what)) return false;
    e.name = s;
    if (!r.NeedInt(e.type, what)) return false;
    if (e.type < 0 || e.type > 3) return r.Fail(std::string("an element of the ") + what + " has type " + std::to_string(e.type));
    if (!r.NeedInt(e.cabinet, what)) return false;
    if (e.cabinet < 0 || e.cabinet >= static_cast<int>(sel.cabinets.size()))
      return r.Fail(std::string("an element of the ") + what + " names cabinet " + std::to_string(e.cabinet) +
                    " of " + std::to_string(sel.cabinets.size()));
    if (!r.Need(s, what)) return false;  // the element's own index, not used
    sel.elements.push_back(std::move(e));
  }
  return true;
}

bool ReadListSelection(CfgReader& r, std::vector<int>& out, int items, const char* what) {
  int n = 0;
  if (!r.Count(n, items, what)) return false;
  for (int i = 0; i < n; ++i) {
    int v = 0;
    if (!r.NeedInt(v, what)) return false;
    if (v < 0 || v >= items) return r.Fail(std::string("an index of the ") + what + " is " + std::to_string(v));
    out.push_back(v);
  }
  return true;
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
  if (text.empty()) {
    error = "the file is empty";
    return false;
  }
  CfgReader r(text);
  std::string_view first = r.Line();
  ECfgLayout lay = first == CLASSIC_CONFIG_HEADER ? ECfgLayout::NG1 : ECfgLayout::Older;
  bool ok = true;
  if (lay == ECfgLayout::NG1) {
    ok = r.Choice(out.rawOn, 1, "Raw data ON");
  } else {
    out.rawOn = ParseLeadingInt(first);
    ok = out.rawOn == 0 || out.rawOn == 1 || r.Fail("the first line is neither the header nor a Raw data ON value");
  }
  ok = ok && r.Choice(out.sdsOn, 1, "Single-day ON") && r.Choice(out.mdsOn, 1, "Multi-day ON");
  if (ok) {
    out.rawName = r.Line();
    out.sdsName = r.Line();
    out.mdsName = r.Line();
  }
  ok = ok && r.Choice(out.rawFormat, 1, "the raw data format") && r.Choice(out.sdsFormat, 1, "the single-day format") &&
       r.Choice(out.mdsFormat, 1, "the multi-day format") && r.Choice(out.rawSource, 1, "the raw data source") &&
       r.Choice(out.min15, 1, "15 Minute Summary") && r.Choice(out.occLength, 1, "Occ / Length") &&
       r.Choice(out.flags, 1, "Flags") && r.Choice(out.daily, 1, "Daily Summary");
  for (int b = 0; ok && b < CB_COUNT; ++b) ok = ReadSelection(r, lay, out.sel[b], b);
  ok = ok && r.Choice(out.monthlyDow, 1, "Monthly Day-of-Week") && r.Choice(out.yearlyDow, 1, "Yearly Day-of-Week") &&
       r.Choice(out.annual, 1, "Annual Values") && ReadListSelection(r, out.months, 12, "month selection") &&
       ReadListSelection(r, out.monthlyDays, 7, "monthly day-of-week selection") &&
       ReadListSelection(r, out.yearlyDays, 7, "yearly day-of-week selection");
  if (!ok) {
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
  CStdioFile f;
  CFileException fe;
  if (!f.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::typeText, &fe)) {
    error = SystemErrorLine(static_cast<DWORD>(fe.m_lOsError));
    return false;
  }
  std::string text = FormatClassicConfig(setup);
  if (!f.WriteString(text.c_str()) || !f.Close()) {
    error = SystemErrorLine(f.GetError());
    return false;
  }
  return true;
}
