#include "archive/sample_archive.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "archive/device_list_format.h"
#include "archive/input.h"
#include "archive/ntsodb.h"
#include "platform/app/file.h"
#include "platform/base/errors.h"
#include "platform/kernel/files.h"
#include "platform/kernel/time.h"
#include "trafficdata/db_element.h"
#include "trafficdata/packed_records.h"

namespace {

// A small deterministic generator (splitmix64), keyed per element-day so that any element-day can
// be recomputed on its own.
struct Random {
  uint64_t state;
  explicit Random(uint64_t s) : state(s) {}
  uint64_t Next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
};

uint64_t Key(uint32_t seed, int year, int month, int day, int element) {
  return (static_cast<uint64_t>(seed) << 40) ^ (static_cast<uint64_t>(year) << 24) ^
         (static_cast<uint64_t>(month) << 18) ^ (static_cast<uint64_t>(day) << 12) ^ static_cast<uint64_t>(element);
}

// Vehicles per hour per lane at hour h: night low, AM peak about 07:45, PM peak about 17:00.
double Flow(double h, double scale) {
  double am = std::exp(-std::pow((h - 7.75) / 1.1, 2));
  double pm = std::exp(-std::pow((h - 17.0) / 1.4, 2));
  double midday = std::exp(-std::pow((h - 12.5) / 3.0, 2));
  return scale * (60 + 1500 * am + 1300 * pm + 450 * midday);
}

// Congestion (0-1) in the peaks, which raises occupancy and lowers speed.
double Congestion(double h) {
  return 0.8 * std::exp(-std::pow((h - 7.9) / 0.6, 2)) + 0.7 * std::exp(-std::pow((h - 17.2) / 0.7, 2));
}

int Clamp(double v, int lo, int hi) {
  int i = static_cast<int>(std::lround(v));
  return i < lo ? lo : (i > hi ? hi : i);
}

struct Cabinet {
  int route;
  int milepost;  // hundredths
  char id[11];
  char alias[8];
  char roadway[8];
  char location[17];
};

Cabinet MakeCabinet(int c) {
  static const int routes[] = {5, 405, 90, 520};
  static const char* const roads[] = {"I-5", "I-405", "I-90", "SR 520"};
  static const char* const places[] = {"Main St Overpass", "Oak Ave",   "Depot Rd", "Elm St",
                                       "Cedar Creek Br",   "Quarry Rd", "Birch Ln", "Orchard Way"};
  Cabinet cab;
  int r = c % 4;
  cab.route = routes[r];
  cab.milepost = 1000 + (c / 4) * 75 + r * 13;
  FormatCabinetId(cab.id, cab.route, cab.milepost);
  char alias[16];
  std::snprintf(alias, sizeof alias, "ES-%04d", (c * 7 + 17) % 10000);
  std::memcpy(cab.alias, alias, 7);
  cab.alias[7] = 0;
  std::snprintf(cab.roadway, sizeof cab.roadway, "%s", roads[r]);
  std::snprintf(cab.location, sizeof cab.location, "%s", places[c % 8]);
  return cab;
}

const char* const kKindLetters[4] = {"_", "t", "T", "R"};

std::string ElementName(int element, int kind) {
  // Direction alternates by cabinet, lane numbers follow the element within its cabinet.
  char dir = (element / 4) % 2 == 0 ? 'N' : 'S';
  char lane = static_cast<char>('1' + element % 4);
  char name[8];
  switch (kind) {
    case 0: std::snprintf(name, sizeof name, "_M%cR__%c", dir, lane); break;
    case 1: std::snprintf(name, sizeof name, "_M%c__tn", dir); break;
    case 2: std::snprintf(name, sizeof name, "_M%c__T%c", dir, lane); break;
    default: std::snprintf(name, sizeof name, "MM%cROR%c", dir, lane); break;
  }
  return name;
}

std::string Folder(const std::string& root, const char* prefix, int year) {
  char part[16];
  std::snprintf(part, sizeof part, "%s%04d", prefix, year);
  std::string r = root;
  if (!r.empty() && r.back() != '/' && r.back() != '\\') r += '/';
  return r + part + "/";
}

int MakeFolders(const std::string& path) {
  // Creates every missing level of the path.
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '/' && path[i] != '\\') continue;
    std::string part = path.substr(0, i);
    if (part.empty() || FolderExists(part.c_str())) continue;
    if (!CreateDirectoryA(part.c_str()) && GetLastError() != ERROR_ALREADY_EXISTS) return static_cast<int>(GetLastError());
  }
  return 0;
}

int WriteFile(const std::string& path, const void* data, size_t size) {
  FileHandle f;
  DWORD r = f.Open(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS);
  if (r != 0) return static_cast<int>(r);
  if (size > 0) r = f.WriteAt(0, data, size);
  f.Close();
  // A file cut short would be read as a short list or day: it goes.
  if (r != 0) DeleteFileA(path.c_str());
  return static_cast<int>(r);
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

void AddDays(int& y, int& m, int& d, int n) {
  static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  while (n-- > 0) {
    int len = lengths[m - 1] + (m == 2 && IsLeap(y) ? 1 : 0);
    if (++d > len) {
      d = 1;
      if (++m > 12) {
        m = 1;
        ++y;
      }
    }
  }
}

// ---- device lists ----

std::string RmdcList(int year, int elements) {
  int cabinets = (elements + 3) / 4;
  bool layoutB = year % 2 == 1;
  std::string text = "\r\n  \r\n";
  if (layoutB) {
    text += "XEP Electronic Surveillance Device List      (synthetic)\r\n";
    text += "CABINET ID ALIAS                ROADWAY       MILEPOST LOCATION\r\n";
  } else {
    text += "  XEP Ramp Meter/Data Collector List\r\n";
    text += "ALIAS               ROAD     MILEPOST LOCATION\r\n";
  }
  text += "---------------------------------------------------------------------\r\n";
  // The last cabinet is left out of the list on purpose: its elements have data but no cabinet.
  int listed = cabinets > 1 ? cabinets - 1 : cabinets;
  for (int c = 0; c < listed; ++c) {
    Cabinet cab = MakeCabinet(c);
    char line[160];
    if (layoutB)
      std::snprintf(line, sizeof line, "%-10.10s %-7.7s%14s%-11.11s%3s%03d.%02d  %-16.16s\r\n", cab.id, cab.alias, "",
                    cab.roadway, "", cab.milepost / 100, cab.milepost % 100, cab.location);
    else
      std::snprintf(line, sizeof line, "%-7.7s%13s%-6.6s%3s%03d.%02d  %-16.16s\r\n", cab.alias, "", cab.roadway, "",
                    cab.milepost / 100, cab.milepost % 100, cab.location);
    text += line;
  }
  return text;
}

std::string LpdataList(int loops) {
  std::string text = "Loop detector list (synthetic)\r\nNUMBER ROAD  LOCATION        MILEPOST ELEMENT ALIAS\r\n";
  for (int i = 0; i < loops; ++i) {
    Cabinet cab = MakeCabinet(i / 2);
    char line[160];
    std::snprintf(line, sizeof line, "LOOP%5d%-6.6s%-16.16s%4s%03d.%02d%-7.7s%2s%-7.7s\r\n", 10 + i * 3, cab.roadway,
                  cab.location, "", cab.milepost / 100, cab.milepost % 100, ElementName(i, 0).c_str(), "", cab.alias);
    text += line;
  }
  // The same alias and element listed again with a higher detector number: that column is used.
  if (loops > 0) {
    Cabinet cab = MakeCabinet(0);
    char line[160];
    std::snprintf(line, sizeof line, "LOOP%5d%-6.6s%-16.16s%4s%03d.%02d%-7.7s%2s%-7.7s\r\n", 10 + loops * 3 + 1,
                  cab.roadway, cab.location, "", cab.milepost / 100, cab.milepost % 100, ElementName(0, 0).c_str(), "",
                  cab.alias);
    text += line;
  }
  return text;
}

// ---- PE days ----

int WritePeDay(const std::string& folder, uint32_t seed, int y, int m, int d, int loops, bool withOcc) {
  DWORD columns = PeColumnsForDay(y, m, d);
  std::vector<uint8_t> vol(PeVolumeBytes(columns), 0);
  char date[16];
  std::snprintf(date, sizeof date, "%02d/%02d/%02d", m, d, y % 100);
  std::memcpy(vol.data(), date, 8);
  std::vector<uint8_t> occ(PeOccupancyBytes(columns), 0);
  // Detector columns as the device list gives them (number - 1); the duplicate entry's column
  // carries the first loop's data, the original column of loop 1 stays all zero (no volume).
  std::vector<int> cols;
  for (int i = 0; i < loops; ++i) cols.push_back(10 + i * 3 - 1);
  if (loops > 0) cols[0] = 10 + loops * 3;
  for (int i = 0; i < loops; ++i) {
    if (i == 1) continue;
    Random rnd(Key(seed, y, m, d, 1000 + i));
    double scale = 0.6 + 0.5 * rnd.Unit();
    for (int p = 0; p < 288; ++p) {
      double h = (p + 0.5) / 12.0;
      int v = Clamp(Flow(h, scale) / 12.0 * (0.92 + 0.16 * rnd.Unit()), 0, 255);
      vol[static_cast<size_t>(p + 1) * columns + cols[i]] = static_cast<uint8_t>(v);
      int raw = Clamp((v * 1.6 + 250 * Congestion(h)) * 18.0, 0, 65535);
      size_t at = 2 * (static_cast<size_t>(p) * columns + cols[i]);
      occ[at] = static_cast<uint8_t>(raw >> 8);
      occ[at + 1] = static_cast<uint8_t>(raw);
    }
  }
  char name[16];
  std::snprintf(name, sizeof name, "%02d%02d%02d", m, d, y % 100);
  int r = WriteFile(folder + name + ".VOL", vol.data(), vol.size());
  if (r == 0 && withOcc) r = WriteFile(folder + name + ".OCC", occ.data(), occ.size());
  return r;
}

}  // namespace

std::vector<SampleElement> SampleElements(int year, int count) {
  std::vector<SampleElement> out;
  for (int i = 0; i < count; ++i) {
    SampleElement e;
    e.kind = i % 4;
    Cabinet cab = MakeCabinet(i / 4);
    std::string name = ElementName(i, e.kind);
    e.key = std::string(cab.id) + ":" + name;
    e.aliasKey = std::string(cab.alias) + ":" + name;
    static const int words[4] = {80, 84, 88, 261};
    static const int both[4] = {92, 96, 100, 261};
    e.typeWord = ((i / 4) % 3 == 2 ? both : words)[e.kind];
    static const int size5[4] = {3, 4, 7, 0};
    static const int size20[4] = {3, 3, 6, 2};
    e.recordSize5 = size5[e.kind];
    e.recordSize20 = size20[e.kind];
    out.push_back(e);
  }
  (void)year;
  return out;
}

std::vector<uint8_t> SampleRecords(uint32_t seed, int year, int month, int day, int element, int kind, int columns) {
  using namespace trafficdata;
  Random rnd(Key(seed, year, month, day, element));
  double scale = 0.6 + 0.6 * rnd.Unit();
  bool fiveMinute = columns == 288;
  static const int size5[4] = {3, 4, 7, 0};
  static const int size20[4] = {3, 3, 6, 2};
  int size = fiveMinute ? size5[kind] : size20[kind];
  std::vector<uint8_t> out(static_cast<size_t>(size) * columns, 0);
  // One element in eleven is disabled from 02:00 to 04:00; a few periods are bad or suspect.
  bool hasOutage = element % 11 == 5;
  for (int c = 0; c < columns; ++c) {
    double h = fiveMinute ? (c + 0.5) / 12.0 : (c + 0.5) / 180.0;
    double noise = 0.9 + 0.2 * rnd.Unit();
    double flow = Flow(h, scale) * noise;
    double jam = Congestion(h);
    double roll = rnd.Unit();
    int cls = roll < 0.02 ? 0 : (roll < 0.05 ? 2 : 1);
    if (hasOutage && h >= 2.0 && h < 4.0) cls = 3;
    uint8_t* b = out.data() + static_cast<size_t>(c) * size;
    double occPct = flow / 2000.0 * 10.0 + 30.0 * jam;  // per cent
    if (fiveMinute) {
      int vol = Clamp(flow / 12.0, 0, 255);
      int occ = Clamp(occPct * 10.0, 0, 1023);
      int nPds = cls == 0 ? rnd.Below(10) : 15;
      if (kind == 0) {
        b[0] = static_cast<uint8_t>(cls << 6 | nPds << 2 | (occ >> 8));
        b[1] = static_cast<uint8_t>(occ & 0xFF);
        b[2] = static_cast<uint8_t>(vol);
      } else if (kind == 1) {
        StationPeriodRecord r;
        r.flag = static_cast<uint8_t>(cls);
        r.nPds = static_cast<uint8_t>(nPds);
        r.occupancy = static_cast<uint16_t>(occ);
        r.laneCount = 3;
        r.volume = static_cast<uint16_t>(Clamp(3 * flow / 12.0, 0, 4095));
        PackStationPeriod(r, b);
      } else if (kind == 2) {
        SpeedTrapPeriodRecord r;
        r.flag = static_cast<uint8_t>(cls);
        r.nPds = static_cast<uint8_t>(nPds);
        r.speed = static_cast<uint16_t>(Clamp(620 - 380 * jam + 20 * rnd.Unit(), 0, 1023));
        r.length = static_cast<uint16_t>(Clamp(190 + 40 * rnd.Unit(), 0, 1023));
        int v = Clamp(flow / 12.0, 0, 600);
        r.bin1 = static_cast<uint8_t>(Clamp(v * 0.8, 0, 255));
        r.bin2 = static_cast<uint8_t>(Clamp(v * 0.12, 0, 255));
        r.bin3 = static_cast<uint8_t>(Clamp(v * 0.05, 0, 127));
        r.bin4 = static_cast<uint8_t>(Clamp(v * 0.03, 0, 127));
        PackSpeedTrapPeriod(r, b);
      }
    } else {
      int code = cls == 3 ? 6 : (cls == 2 ? 7 : 0);
      bool present = cls != 0;
      if (kind == 0) {
        int vol = Clamp(flow / 180.0, 0, 31);
        int occ = Clamp(occPct * 12.0, 0, 2047);
        b[0] = static_cast<uint8_t>((present ? 7 : 0) << 3 | (occ >> 8));
        b[1] = static_cast<uint8_t>(occ & 0xFF);
        b[2] = static_cast<uint8_t>(code << 5 | vol);
      } else if (kind == 1) {
        StationIntervalRecord r;
        r.good = cls == 1;
        r.laneCount = present ? 3 : 0;
        r.occupancy = static_cast<uint16_t>(Clamp(occPct * 12.0, 0, 2047));
        r.volume = static_cast<uint8_t>(Clamp(3 * flow / 180.0, 0, 127));
        PackStationInterval(r, b);
      } else if (kind == 2) {
        SpeedTrapIntervalRecord r;
        r.present = present;
        r.flags = cls == 3 ? 0x80 : (cls == 2 ? 0x04 : 0);
        r.speed = static_cast<uint16_t>(Clamp(620 - 380 * jam + 20 * rnd.Unit(), 0, 1023));
        r.length = static_cast<uint16_t>(Clamp(190 + 40 * rnd.Unit(), 0, 1023));
        int v = Clamp(flow / 180.0, 0, 31);
        r.bin1 = static_cast<uint8_t>(Clamp(v * 0.8, 0, 31));
        r.bin2 = static_cast<uint8_t>(Clamp(v * 0.12, 0, 15));
        r.bin3 = static_cast<uint8_t>(Clamp(v * 0.05, 0, 15));
        r.bin4 = static_cast<uint8_t>(Clamp(v * 0.03, 0, 7));
        PackSpeedTrapInterval(r, b);
      } else {
        // Meters run in the peaks; the rate follows the demand.
        MeteredLaneRecord r;
        bool on = (h >= 6.0 && h < 9.5) || (h >= 15.0 && h < 19.0);
        r.rate = on ? static_cast<uint8_t>(Clamp(4 + 11 * jam + rnd.Unit(), 1, 255)) : 0;
        r.status = on ? static_cast<uint8_t>(1 + rnd.Below(3)) : 0;
        r.redViolators = on && rnd.Unit() < 0.05 ? 1 : 0;
        PackMeteredLane(r, b);
      }
    }
  }
  return out;
}

int SampleArchiveMaxElements() {
  // Four elements to a cabinet; a cabinet id holds its milepost in five digits, so the cabinets
  // end where the last one's milepost would need six (two ids would then be the same).
  int cabinets = 0;
  while (MakeCabinet(cabinets).milepost <= 99999) ++cabinets;
  return 4 * cabinets;
}

namespace {

// One database day as the archive writes it: what it holds, its names with the elements they
// are, its file's base name and its title.
struct DatabaseDay {
  SampleDayInfo info;
  int index = 0;  // of the day in its year
  CObjArray<CNTSO> names;
  std::vector<int> written;
  char base[32] = {};
  char title[64] = {};

  void MakeNames(const std::vector<SampleElement>& elements, bool uniform) {
    for (size_t k = 0; k < elements.size(); ++k) {
      const SampleElement& e = elements[k];
      int size = info.columns == 288 ? e.recordSize5 : e.recordSize20;
      if (size == 0) continue;
      if (!uniform && index == 2 && k == 0) continue;  // one element missing on one day
      names.Add(CNTSO(e.key.c_str(), static_cast<WORD>(e.typeWord), static_cast<WORD>(size)));
      written.push_back(static_cast<int>(k));
    }
  }
  int Mode() const { return info.expand ? 3 : 1; }
  const char* Title() const { return index % 5 == 4 ? "" : title; }
};

// Calls `visit` with each database day of `year` in order (its names not yet made), and stops at
// the first nonzero result, which it returns.
template <typename F>
int ForEachDatabaseDay(const SampleArchiveOptions& o, int year, F&& visit) {
  int y = year, m = year == 1993 ? 6 : 1, d = 1;
  for (int i = 0; i < o.days; ++i, AddDays(y, m, d, 1)) {
    if (y != year) break;
    DatabaseDay day;
    day.index = i;
    SampleDayInfo& info = day.info;
    info.year = y, info.month = m, info.day = d;
    bool uniform = o.uniformDays;
    info.written = uniform || o.days < 3 || i != 1;  // the second day is missing
    info.columns = uniform ? (o.fineDays ? 4320 : 288) : i % 2 == 0 ? 288 : 4320;
    info.expand = !uniform && i % 3 == 2;
    info.layout = !uniform && i % 4 == 3 ? 1 : 2;
    std::snprintf(day.base, sizeof day.base, "%04d%02d%02d", y, m, d);
    std::snprintf(day.title, sizeof day.title, "Synthetic %02d/%02d/%04d", m, d, y);
    if (int r = visit(day)) return r;
  }
  return 0;
}

// The options are refused, before anything is written, when the archive they ask for cannot be
// made whole: element names that would repeat, or a day file too large for its header's fields.
int CheckOptions(const SampleArchiveOptions& o, std::string& message) {
  const int most = SampleArchiveMaxElements();
  if (o.elements < 1 || o.elements > most) {
    message = std::to_string(o.elements) + " elements: a year has from 1 to " + std::to_string(most) +
              " elements with names of their own";
    return ERROR_INVALID_PARAMETER;
  }
  const std::vector<SampleElement> elements = SampleElements(0, o.elements);
  // Days of one shape have names and headers of the same sizes: one check each.
  std::vector<std::array<int, 5>> checked;
  for (int year : o.years) {
    if (year < 1993) continue;
    const int r = ForEachDatabaseDay(o, year, [&](DatabaseDay& day) {
      const std::array<int, 5> shape{day.info.columns, day.Mode(), day.info.layout, day.index == 2,
                                     *day.Title() != '\0'};
      if (!day.info.written || std::find(checked.begin(), checked.end(), shape) != checked.end()) return 0;
      checked.push_back(shape);
      day.MakeNames(elements, o.uniformDays);
      CNTSODB db;
      const int e = db.CheckNewDatabase(day.names, static_cast<DWORD>(day.info.columns), day.Title(), 1,
                                        day.info.layout, day.Mode());
      if (e == 0) return 0;
      message = std::to_string(o.elements) + " elements do not fit the " +
                (day.info.columns == 288 ? "five-minute" : "20-second") + " day file " + day.base + ".DAT (" +
                NtsoLayoutName(day.info.layout) + " header, error " + std::to_string(e) + ")";
      return static_cast<int>(ERROR_INVALID_PARAMETER);
    });
    if (r != 0) return r;
  }
  return 0;
}

// The files of a database day, removed when it could not be written whole.
void RemoveDay(const std::string& base) {
  DeleteFileA((base + ".DAT").c_str());
  DeleteFileA((base + ".NTS").c_str());
}

}  // namespace

int WriteSampleArchive(const SampleArchiveOptions& o, std::string* message, std::vector<SampleDayInfo>* daysWritten) {
  auto fail = [&](int r, const std::string& what) {
    if (message) *message = what + ": error " + std::to_string(r);
    return r;
  };
  if (o.root.empty()) return fail(ERROR_INVALID_PARAMETER, "no output folder");
  {
    std::string why;
    if (int r = CheckOptions(o, why)) {
      if (message) *message = why;
      return r;
    }
  }
  int r = MakeFolders(o.root);
  if (r != 0) return fail(r, "cannot create " + o.root);

  // Header times come from the day written, never from the clock, so the bytes are repeatable.
  SYSTEMTIME stamp{};
  SetLocalTimeSource([&stamp] { return stamp; });
  struct RestoreClock {
    ~RestoreClock() { SetLocalTimeSource(nullptr); }
  } restore;

  for (int year : o.years) {
    if (year <= 1993) {
      std::string folder = Folder(o.root, "PE", year);
      if ((r = MakeFolders(folder)) != 0) return fail(r, "cannot create " + folder);
      // Detector numbers must stay inside the 1700 columns of the older days.
      int loops = o.elements < 2 ? 2 : (o.elements > 560 ? 560 : o.elements);
      std::string list = LpdataList(loops);
      if ((r = WriteFile(folder + "LPDATA.PRN", list.data(), list.size())) != 0) return fail(r, folder + "LPDATA.PRN");
      int y = year, m = 1, d = 1;
      for (int i = 0; i < o.days; ++i, AddDays(y, m, d, 1)) {
        if (year == 1993 && m >= 6) break;
        if ((r = WritePeDay(folder, o.seed, y, m, d, loops, i != 1)) != 0) return fail(r, "PE day");
      }
    }
    if (year < 1993) continue;

    std::string folder = Folder(o.root, "DATA", year);
    if ((r = MakeFolders(folder)) != 0) return fail(r, "cannot create " + folder);
    std::string list = RmdcList(year, o.elements);
    if ((r = WriteFile(folder + "RMDC.LST", list.data(), list.size())) != 0) return fail(r, folder + "RMDC.LST");
    std::vector<SampleElement> elements = SampleElements(year, o.elements);

    r = ForEachDatabaseDay(o, year, [&](DatabaseDay& day) {
      const SampleDayInfo& info = day.info;
      if (daysWritten) daysWritten->push_back(info);
      if (!info.written) return 0;
      day.MakeNames(elements, o.uniformDays);
      const std::string base = folder + day.base;
      stamp = SYSTEMTIME{static_cast<WORD>(info.year), static_cast<WORD>(info.month), 0, static_cast<WORD>(info.day),
                         23, 55, 0, 0};
      CNTSODB db;
      int e = db.Create(base.c_str(), day.Mode(), day.names, static_cast<DWORD>(info.columns), day.Title(), 1,
                        info.layout, nullptr);
      for (size_t n = 0; e == 0 && n < day.written.size(); ++n) {
        const SampleElement& el = elements[static_cast<size_t>(day.written[n])];
        std::vector<uint8_t> rec = SampleRecords(o.seed, info.year, info.month, info.day, day.written[n], el.kind,
                                                 info.columns);
        CStream s(rec.data(), static_cast<int>(rec.size()));
        e = db.WriteColumns(s, static_cast<int>(n), 0, info.columns);
      }
      stamp.wMinute = 59;
      const int closed = db.Close();
      if (e == 0) e = closed;
      // A day file that was not written whole would read as a day of other data: it goes.
      if (e != 0) {
        RemoveDay(base);
        return fail(e, base + ".DAT");
      }
      return 0;
    });
    if (r != 0) return r;
  }
  return 0;
}
