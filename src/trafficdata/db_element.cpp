#include "trafficdata/db_element.h"

#include <climits>
#include <cstring>

namespace {

// Copies at most n characters of text into a zero-filled buffer of n + 1 bytes.
void CopyField(char* dst, size_t n, const char* text) {
  std::memset(dst, 0, n + 1);
  if (!text) return;
  for (size_t i = 0; i < n && text[i]; ++i) dst[i] = text[i];
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

struct SLetter {
  char c;
  const char* name;
};

const SLetter kPos0[] = {{'_', "GP"}, {'A', "Auxiliary"}, {'M', "Metered"}, {'D', "Duplicate"},
                         {'O', "Off-System"}, {'T', "Tolling"}};
const SLetter kPos1[] = {{'M', "Mainline"}, {'C', "CD"}, {'R', "Reversible"}, {'A', "Arterial"},
                         {'X', "Cross-Street"}};
const SLetter kPos2[] = {{'S', "Southbound"}, {'N', "Northbound"}, {'E', "Eastbound"}, {'W', "Westbound"}};
const SLetter kPos3[] = {{'R', "Right"}, {'L', "Left"}, {'H', "HOV"}, {'B', "Bus"}, {'Y', "Bicycle"},
                         {'V', "Metered HOV"}, {'W', "Mtrd HOV Shldr"}, {'Z', "HOV Shoulder"}, {'2', "Additional"}};
const SLetter kPos4[] = {{'X', "Exit"}, {'O', "On Ramp"}, {'A', "Advanced Q"}, {'Q', "Queue"},
                         {'I', "Intermed Q"}, {'D', "Demand"}, {'P', "Passage"}, {'_', "Mainline"},
                         {'M', "Merge"}};
const SLetter kPos5[] = {{'_', "Loop"}, {'S', "Speed Loop"}, {'T', "Speed Trap"}, {'t', "Station"},
                         {'R', "Metered Lane"}, {'C', "Coupled Loop"}};

template <size_t N>
const char* Find(const SLetter (&table)[N], char c) {
  for (const SLetter& l : table)
    if (l.c == c) return l.name;
  return "";
}

}  // namespace

const char* ElementTypeName(int type) {
  static const char* const kNames[4] = {"Loop", "Speed Trap", "Station", "Rate/Status"};
  return (type >= 0 && type < 4) ? kNames[type] : nullptr;
}

const char* ElementCodeMeaning(int pos, char c) {
  switch (pos) {
    case 0: return Find(kPos0, c);
    case 1: return Find(kPos1, c);
    case 2: return Find(kPos2, c);
    case 3: return Find(kPos3, c);
    case 4: return Find(kPos4, c);
    case 5: return Find(kPos5, c);
    case 6: {
      // Lane number 1-9; 'n' (none) shows an empty text.
      static const char* const kLanes[9] = {"1", "2", "3", "4", "5", "6", "7", "8", "9"};
      return (c >= '1' && c <= '9') ? kLanes[c - '1'] : "";
    }
    default: return "";
  }
}

int CompareText(const char* a, const char* b) {
  const unsigned char* x = reinterpret_cast<const unsigned char*>(a ? a : "");
  const unsigned char* y = reinterpret_cast<const unsigned char*>(b ? b : "");
  while (*x && *x == *y) {
    ++x;
    ++y;
  }
  return *x < *y ? -1 : (*x > *y ? 1 : 0);
}

int CompareTextNoCase(const char* a, const char* b) {
  const char* x = a ? a : "";
  const char* y = b ? b : "";
  for (;; ++x, ++y) {
    unsigned char cx = static_cast<unsigned char>(Lower(*x));
    unsigned char cy = static_cast<unsigned char>(Lower(*y));
    if (cx != cy || cx == 0) return static_cast<int>(cx) - static_cast<int>(cy);
  }
}

// --- CDBElement ------------------------------------------------------------------------------

CDBElement::CDBElement() { std::memset(name, 0, sizeof name); }
CDBElement::CDBElement(const char* text) { CopyField(name, 7, text); }
CDBElement::CDBElement(const CDBElement& other) { std::memcpy(name, other.name, sizeof name); }
CDBElement& CDBElement::operator=(const CDBElement& other) {
  if (this != &other) std::memcpy(name, other.name, sizeof name);
  return *this;
}
CDBElement::~CDBElement() = default;

void CDBElement::Clear() { std::memset(name, 0, sizeof name); }
bool CDBElement::IsValid() const { return name[0] != 0; }

int CDBElement::Compare(const CDBElement& other) const {
  if (name[0] != other.name[0]) {
    if (name[0] == 'A') return 1;
    if (other.name[0] == 'A') return -1;
  }
  static const int kOrder[7] = {2, 1, 4, 6, 3, 5, 0};
  for (int pos : kOrder) {
    // Signed, whatever the signedness of plain char on the target.
    signed char a = static_cast<signed char>(name[pos]);
    signed char b = static_cast<signed char>(other.name[pos]);
    if (a != b) return a < b ? -1 : 1;
  }
  return 0;
}

// --- CDBElementEx ----------------------------------------------------------------------------

CDBElementEx::CDBElementEx(const char* text, int elementType, CDBCabinet* cab)
    : CDBElement(text), type(elementType), cabinet(cab) {}

CDBElementEx& CDBElementEx::operator=(const CDBElementEx& other) {
  if (this == &other) return *this;
  CDBElement::operator=(other);
  type = other.type;
  cabinet = other.cabinet;
  return *this;
}

CDBElementEx::~CDBElementEx() = default;

void CDBElementEx::Clear() {
  CDBElement::Clear();
  cabinet = nullptr;
  type = ET_NONE;
}

bool CDBElementEx::IsValid() const { return name[0] != 0 && cabinet != nullptr && type != ET_NONE; }

int CDBElementEx::Compare(const CDBElementEx& other) const {
  int c = CompareText(CabinetId(), other.CabinetId());
  return c != 0 ? c : CDBElement::Compare(other);
}

const char* CDBElementEx::CabinetId() const { return cabinet ? cabinet->id : ""; }
const char* CDBElementEx::CabinetAlias() const { return cabinet ? cabinet->alias : ""; }
const char* CDBElementEx::CabinetLabel() const {
  if (!cabinet) return "";
  for (const char* a = cabinet->alias; *a; ++a)
    if (*a != ' ') return cabinet->alias;
  return cabinet->id;
}
const char* CDBElementEx::CabinetLocation() const { return cabinet ? cabinet->location : ""; }
int CDBElementEx::Milepost() const { return cabinet ? cabinet->milepost : 0; }
const char* CDBElementEx::RoadwayName() const {
  return (cabinet && cabinet->roadway) ? cabinet->roadway->name : "";
}
int CDBElementEx::RouteNumber() const { return (cabinet && cabinet->roadway) ? cabinet->roadway->route : 0; }

// --- CDBCabinet ------------------------------------------------------------------------------

CDBCabinet::CDBCabinet() {
  std::memset(id, 0, sizeof id);
  std::memset(alias, 0, sizeof alias);
  std::memset(location, 0, sizeof location);
}

CDBCabinet::CDBCabinet(const char* cabId, const char* cabAlias, int mp, const char* loc, CDBRoadway* road)
    : milepost(mp), roadway(road) {
  CopyField(id, 10, cabId);
  CopyField(alias, 7, cabAlias);
  CopyField(location, 16, loc);
}

CDBCabinet::CDBCabinet(const CDBCabinet& other) : milepost(other.milepost), roadway(other.roadway) {
  std::memcpy(id, other.id, sizeof id);
  std::memcpy(alias, other.alias, sizeof alias);
  std::memcpy(location, other.location, sizeof location);
}

CDBCabinet& CDBCabinet::operator=(const CDBCabinet& other) {
  if (this == &other) return *this;
  std::memcpy(id, other.id, sizeof id);
  std::memcpy(alias, other.alias, sizeof alias);
  std::memcpy(location, other.location, sizeof location);
  milepost = other.milepost;
  roadway = other.roadway;
  return *this;
}

CDBCabinet::~CDBCabinet() = default;

int CDBCabinet::Compare(const CDBCabinet& other) const { return CompareText(id, other.id); }

// --- CDBRoadway ------------------------------------------------------------------------------

CDBRoadway::CDBRoadway() { std::memset(name, 0, sizeof name); }
CDBRoadway::CDBRoadway(const char* text) { Parse(text); }
CDBRoadway::CDBRoadway(const CDBRoadway& other) : route(other.route) { std::memcpy(name, other.name, sizeof name); }
CDBRoadway& CDBRoadway::operator=(const CDBRoadway& other) {
  if (this == &other) return *this;
  route = other.route;
  std::memcpy(name, other.name, sizeof name);
  return *this;
}
CDBRoadway::~CDBRoadway() = default;

void CDBRoadway::Parse(const char* text) {
  std::memset(name, 0, sizeof name);
  route = 0;
  if (!text) return;
  const int kMax = 11;
  int len = 0;
  auto put = [&](char c) {
    if (len < kMax) name[len++] = c;
  };
  int prefix = 0;
  while (IsAsciiLetter(text[prefix])) ++prefix;
  if (prefix == 2) {
    put(Upper(text[0]));
    put(Upper(text[1]));
    put(' ');
  } else if (prefix == 1 && (text[0] == 'I' || text[0] == 'i')) {
    put('I');
    put('-');
  } else {
    for (int i = 0; i < prefix; ++i) put(text[i]);
  }
  const char* p = text + prefix;
  while (*p && !IsDigit(*p)) ++p;
  int64_t number = 0;
  while (IsDigit(*p)) {
    number = number * 10 + (*p - '0');
    if (number > INT32_MAX) number = INT32_MAX;  // a long run of digits saturates
    put(*p);
    ++p;
  }
  route = static_cast<int32_t>(number);
  while (*p == ' ') ++p;
  if (*p && len < kMax) {
    size_t rest = std::strlen(p);
    if (kMax - len >= 3 && rest > 1) {
      put(' ');
      put(Upper(p[0]));
      for (size_t i = 1; i < rest; ++i) put(Lower(p[i]));
    } else {
      put(Upper(p[0]));
    }
  }
}

int CDBRoadway::Compare(const CDBRoadway& other) const {
  if (route != other.route) return route < other.route ? -1 : 1;
  return CompareTextNoCase(name, other.name);
}
