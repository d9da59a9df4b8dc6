#include "app/newview/nfg_file.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "trafficdata/date_time_ex.h"
#include "trafficdata/db_element.h"

const char* const NFG_HEADER_NG2 = "QAV Main Configuration File Version NG.2";
const char* const NFG_HEADER_NG1 = "QAV Main Configuration File Version NG.1";

namespace {

// Limits well beyond any real selection; larger counts mark a damaged file.
constexpr long kMaxDates = 200000;
constexpr long kMaxRecords = 1000000;
constexpr long kMaxKeys = 14;

std::string Line(const std::string& s) { return s + "\r\n"; }
std::string Int(long long v) { return Line(std::to_string(v)); }

class CLineReader {
 public:
  explicit CLineReader(std::string_view text) : m_text(text) {}

  bool AtEnd() const { return m_pos >= m_text.size(); }

  // The next line without its line end; "" past the end.
  std::string Text() {
    if (AtEnd()) return {};
    size_t end = m_text.find('\n', m_pos);
    if (end == std::string_view::npos) end = m_text.size();
    std::string line(m_text.substr(m_pos, end - m_pos));
    m_pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }

  // A decimal integer as the C library reads it, saturated; 0 for text without one.
  long long Int() { return ToInt(Text()); }

  static long long ToInt(const std::string& s) {
    errno = 0;
    long long v = std::strtoll(s.c_str(), nullptr, 10);
    return v;  // strtoll saturates on overflow
  }

 private:
  std::string_view m_text;
  size_t m_pos = 0;
};

int Narrow(long long v) {
  return static_cast<int>(std::clamp<long long>(v, -2147483647LL - 1, 2147483647LL));
}

struct SReadState {
  CLineReader in;
  std::string* error;
  bool Fail(const char* why) {
    if (error != nullptr) *error = why;
    return false;
  }
  // A count line of a block; false for a missing, negative or absurd count.
  bool Count(long max, long& n, const char* what) {
    if (in.AtEnd()) return Fail(what);
    long long v = in.Int();
    if (v < 0 || v > max) return Fail(what);
    n = static_cast<long>(v);
    return true;
  }
  // The next line of a counted block.
  bool Need(const char* what) { return in.AtEnd() ? Fail(what) : true; }
};

bool ReadSelection(SReadState& st, SNewConfig& c, bool oldCabinets) {
  long n = 0;
  if (!st.Count(kMaxDates, n, "bad number of dates")) return false;
  if (n == 0) return true;
  if (!st.Need("file ends in the dates")) return false;
  st.in.Text();  // an unused line
  for (long i = 0; i < n; ++i) {
    if (!st.Need("file ends in the dates")) return false;
    std::string t = st.in.Text();
    char* end = nullptr;
    double v = std::strtod(t.c_str(), &end);
    if (end == t.c_str() || !std::isfinite(v)) return st.Fail("a date is not a number");
    CDateTimeEx d{COleDateTime(v)};
    if (!d.IsValid()) return st.Fail("a date is not a calendar day");
    c.dates.push_back(v);
  }
  long r = 0;
  if (!st.Count(kMaxRecords, r, "bad number of roadways")) return false;
  for (long i = 0; i < r; ++i) {
    if (!st.Need("file ends in the roadways")) return false;
    c.roadways.push_back(st.in.Text());
  }
  long nc = 0;
  if (!st.Count(kMaxRecords, nc, "bad number of cabinets")) return false;
  for (long i = 0; i < nc; ++i) {
    SNfgCabinet cab;
    if (!st.Need("file ends in the cabinets")) return false;
    if (!oldCabinets) cab.id = st.in.Text();
    cab.alias = st.in.Text();
    cab.milepost = Narrow(st.in.Int());
    cab.location = st.in.Text();
    if (!st.Need("file ends in the cabinets")) return false;
    long long road = st.in.Int();
    if (road < 0 || road >= r) return st.Fail("a cabinet's roadway index is outside the roadways");
    cab.roadway = static_cast<int>(road);
    if (oldCabinets) {
      CDBRoadway way(c.roadways[static_cast<size_t>(road)].c_str());
      char id[32];
      std::snprintf(id, sizeof id, "%03ies%05i", way.route % 1000, cab.milepost % 100000);
      cab.id = id;
    }
    c.cabinets.push_back(std::move(cab));
  }
  long ne = 0;
  if (!st.Count(kMaxRecords, ne, "bad number of elements")) return false;
  for (long i = 0; i < ne; ++i) {
    SNfgElement e;
    if (!st.Need("file ends in the elements")) return false;
    e.name = st.in.Text();
    long long type = st.in.Int();
    long long cab = st.in.Int();
    if (!st.Need("file ends in the elements")) return false;
    st.in.Text();  // the element's own index
    if (type < 0 || type > 3) return st.Fail("an element type is outside 0-3");
    if (cab < 0 || cab >= nc) return st.Fail("an element's cabinet index is outside the cabinets");
    e.type = static_cast<int>(type);
    e.cabinet = static_cast<int>(cab);
    c.elements.push_back(std::move(e));
  }
  std::sort(c.dates.begin(), c.dates.end());
  c.dates.erase(std::unique(c.dates.begin(), c.dates.end(),
                            [](double a, double b) { return std::fabs(a - b) * 86400.0 < 0.5; }),
                c.dates.end());
  return true;
}

bool ReadStructure(SReadState& st, SNewConfig& c) {
  bool seen[14] = {};
  for (auto& list : c.lists) {
    long n = 0;
    if (st.in.AtEnd()) continue;  // a missing list reads as empty
    if (!st.Count(kMaxKeys, n, "bad number of structure keys")) return false;
    for (long i = 0; i < n; ++i) {
      if (!st.Need("file ends in the structure")) return false;
      long long key = st.in.Int();
      if (!st.Need("file ends in the structure")) return false;
      bool asc = st.in.Int() != 0;
      if (key < 0 || key > 13 || seen[key]) continue;
      seen[key] = true;
      list.push_back({static_cast<int>(key), asc});
    }
  }
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
  SReadState st{CLineReader(text), error};
  SNewConfig c;
  std::string first = st.in.Text();
  bool ng2 = first == NFG_HEADER_NG2, ng1 = first == NFG_HEADER_NG1;
  c.outputPath = (ng2 || ng1) ? st.in.Text() : first;
  c.outFormat = Narrow(st.in.Int());
  if (ng2) c.reportType = Narrow(st.in.Int());
  if (!ReadSelection(st, c, !ng2 && !ng1)) return false;
  c.avgMethod = Narrow(st.in.Int());
  c.minValidity = Narrow(st.in.Int());
  long long period = st.in.Int();
  if (ng2) {
    c.periodLen = Narrow(period);
  } else {
    c.periodLen = Narrow(std::clamp<long long>(period, -1000000, 1000000) * 15);
    bool peak = st.in.Int() != 0;
    bool pm = st.in.Int() != 0;
    c.reportType = !peak ? 0 : (pm ? 2 : 1);
  }
  c.sumMethod = Narrow(st.in.Int());
  if (ng2) {
    for (int& v : c.content) v = st.in.Int() != 0 ? 1 : 0;
  } else {
    static const int kCodes[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 17};
    for (int code : kCodes) c.content[code] = st.in.Int() != 0 ? 1 : 0;
  }
  if (!ReadStructure(st, c)) return false;
  out = std::move(c);
  return true;
}
