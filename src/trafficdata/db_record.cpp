#include "trafficdata/db_record.h"
#include "trafficdata/report_text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <new>
#include <unordered_map>
#include <vector>

#include "containers/mem_mgr.h"
#include "containers/merge_sort.h"
#include "trafficdata/db_element.h"
#include "trafficdata/meter_status.h"
#include "trafficdata/run_control.h"

namespace {

const char* const kContentNames[23] = {
    "Volume",        "Occupancy",    "Speed",        "Length",      "Bin 1",       "Bin 2",
    "Bin 3",         "Bin 4",        "# Periods",    "Validity",    "# Days in Avg", "Valid Flag",
    "Calc Speed",    "Est Length",   "Meter Rate",   "Meter Status", "Red Violators", "Peak Time",
    "TT (Cumul)",    "TT (Segment)", "Seg Start Tm", "Dist (Cumul)", "Dist (Seg)"};

const char* const kKeyNames[GK_COUNT] = {"Data Content", "Time",         "Date",      "Day-of-Week", "Week",
                                         "Month",        "Year",         "Element",   "Element Type", "Direction",
                                         "Cabinet",      "Location",     "Milepost",  "Roadway"};

const char* const kLoopFlags[8] = {"Good Data",    "Short Pulse", "Chatter",           "Vol/Occ Envelope",
                                   "Reserved [4]", "Bad Average", "Operator Disabled", "Bad Loop"};
const char* const kClassNames[4] = {"All Bad Data", "All Good Data", "Some Suspect Data", "Operator Disabled"};
const char* const kStationFlags[2] = {"Data Not Usable", "Data Usable"};
const char* const kTrapBits[8] = {"> Maximum Length", "< Minimum Length", "> Maximum Speed", "< Minimum Speed",
                                  "Occ Ratio Bad",    "Lost Vehicle",     "2 Vehicles",      "Operator Disabled"};
const char* const kTrapAbbrev[7][8] = {
    {"> MaxLen", "< MinLen", "> MaxSpd", "< MinSpd", "OccRatio", "Lost Veh", "2Vehicls", "Disabled"},
    {">MaxL", "<MinL", ">MaxS", "<MinS", "OcRat", "LsVeh", "2Vehs", "OpDis"},
    {">Ln", "<Ln", ">Sp", "<Sp", "Rat", "LVh", "2Vh", "Dis"},
    {">L", "<l", ">S", "<s", "Ra", "LV", "2V", "Ds"},
    {">L", "<l", ">S", "<s", "Ra", "LV", "2V", "Ds"},
    {"L", "l", "S", "s", "R", "V", "T", "D"},
    {"L", "l", "S", "s", "R", "V", "T", "D"}};
const int kTrapPad[7] = {0, 0, 2, 3, 0, 4, 2};  // blanks before the names for 2..8 bits

const char* const kDayFull[8] = {"Error", "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* const kDayShort[8] = {"Err", "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonthFull[13] = {"Error", "January", "February", "March",     "April",   "May",     "June",
                                    "July",  "August",  "September", "October", "November", "December"};
const char* const kMonthShort[13] = {"Err", "Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

template <size_t N>
const char* Lookup(const char* const (&table)[N], int i, const char* fallback) {
  return (i >= 0 && i < static_cast<int>(N)) ? table[i] : fallback;
}

// A text cell: "%17.17s" or "%s\t".
void TextCell(char* buf, size_t size, int form, const char* text) {
  CReportLine cell;
  if (form == CF_SHEET) {
    cell.Str(text).Lit("\t");
  } else {
    size_t n = strnlen(text, 17);
    cell.Pad(' ', 17 - static_cast<int>(n)).Put(text, n);
  }
  cell.CopyTo(buf, size);
}

// "%02i:%02i:%02i" of three numbers.
CReportLine& Clock(CReportLine& cell, int a, int b, int c) {
  return cell.Z(a, 2).Lit(":").Z(b, 2).Lit(":").Z(c, 2);
}

// A code without a name: "UNKNOWN [0x..]" right-aligned in 17 characters, or TAB-ended. The
// text is never cut, so a code too long for the column still shows whole.
void UnknownCell(char* buf, size_t size, int form, int value) {
  char text[32];
  std::snprintf(text, sizeof text, "UNKNOWN [0x%x]", static_cast<unsigned>(value));
  std::snprintf(buf, size, form == CF_SHEET ? "%s\t" : "%17s", text);
}

void NamedCell(char* buf, size_t size, int form, const char* name, int value) {
  if (name)
    TextCell(buf, size, form, name);
  else
    UnknownCell(buf, size, form, value);
}

void TrapFlagCell(char* buf, size_t size, int form, int value) {
  if (value < 0 || value > 255) {
    UnknownCell(buf, size, form, value);
    return;
  }
  int n = 0;
  for (int b = 0; b < 8; ++b)
    if (value & (1 << b)) ++n;
  if (n == 0) {
    std::snprintf(buf, size, form == CF_SHEET ? "Good Data\t" : "        Good Data");
    return;
  }
  if (n == 1) {
    for (int b = 0; b < 8; ++b)
      if (value & (1 << b)) TextCell(buf, size, form, kTrapBits[b]);
    return;
  }
  char text[64] = "";
  size_t len = 0;
  if (form != CF_SHEET)
    for (int i = 0; i < kTrapPad[n - 2]; ++i) text[len++] = ' ';
  for (int b = 0; b < 8; ++b) {
    if (!(value & (1 << b))) continue;
    const char* name = kTrapAbbrev[n - 2][b];
    size_t l = std::strlen(name);
    std::memcpy(text + len, name, l);
    len += l;
    text[len++] = '|';
  }
  // The last bar ends the text, or becomes the cell's TAB.
  text[len - 1] = form == CF_SHEET ? '\t' : '\0';
  text[len] = '\0';
  std::snprintf(buf, size, "%s", text);
}

const char* CabinetIdOf(const CDBElementEx* e) { return e ? e->CabinetId() : ""; }
const char* ElementNameOf(const CDBElementEx* e) { return e ? e->name : ""; }

// The element key cell. A spreadsheet cell names the cabinet by its full id. A text cell has 17
// characters, room for a label of up to 9 characters, the colon and the 7-character element name:
// the cabinet's alias, or its id where the alias is blank (the rule of the Classic element
// heading), so two detectors never share a label. A ten-character id fills the cell with the
// element name and leaves out the colon, as cutting either would make labels collide.
void ElementCell(char* buf, size_t size, bool sheet, const CDBElementEx* e) {
  const char* name = ElementNameOf(e);
  if (sheet) {
    std::snprintf(buf, size, "%s:%s\t", CabinetIdOf(e), name);
    return;
  }
  const char* label = e ? e->CabinetLabel() : "";
  std::snprintf(buf, size, std::strlen(label) <= 9 ? "%9s:%7.7s" : "%10.10s%7.7s", label, name);
}

int Sign(int64_t v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }
int CompareInt(int a, int b) { return a < b ? -1 : (a > b ? 1 : 0); }

thread_local const CRecordOrder* t_currentOrder = nullptr;

}  // namespace

const char* ContentName(int code) { return Lookup(kContentNames, code, nullptr); }
const char* GroupKeyName(int key) { return Lookup(kKeyNames, key, nullptr); }

// --- CGrpType --------------------------------------------------------------------------------

void CGrpType::GetName(CStr<char, wchar_t>& text, CGrpType* key) {
  const char* name = key ? GroupKeyName(key->key) : nullptr;
  text = name ? name : "";
}

void CGrpType::GetText(CStr<char, wchar_t>& text, CGrpType* key) {
  const char* name = key ? GroupKeyName(key->key) : nullptr;
  text.Format(key && !key->ascending ? "%s  Z->A" : "%s  A->Z", name ? name : "");
}

int FindKey(const CGrpType* const* keys, int count, int key) {
  for (int i = 0; i < count; ++i)
    if (keys[i] && keys[i]->key == key) return i;
  return -1;
}

void ToggleDirection(CGrpType& key) { key.ascending = !key.ascending; }

int FindKey(const CAdrArray<CGrpType>& keys, int key) { return FindKey(keys.m_pData, keys.m_nSize, key); }

bool RemoveKey(CAdrArray<CGrpType>& keys, int key) {
  int i = FindKey(keys, key);
  if (i < 0) return false;
  keys.RemoveAt(i, 1);
  return true;
}

bool ToggleDirection(CAdrArray<CGrpType>& keys, int index) {
  if (index < 0 || index >= keys.m_nSize || !keys.m_pData[index]) return false;
  ToggleDirection(*keys.m_pData[index]);
  return true;
}

// --- CDBRecord -------------------------------------------------------------------------------

CDBRecord::CDBRecord() {
  for (int& w : word) w = -1;
}

CDBRecord::CDBRecord(CDBElementEx* elem, int w0, int w1, int w2, int w3, int w4, int w5, int w6, int w7, int w8,
                     int w9, int w10) {
  Set(elem, w0, w1, w2, w3, w4, w5, w6, w7, w8, w9, w10);
}

CDBRecord::CDBRecord(const CDBRecord& other) : element(other.element), rawFlag(other.rawFlag) {
  std::memcpy(word, other.word, sizeof word);
}

CDBRecord& CDBRecord::operator=(const CDBRecord& other) {
  if (this == &other) return *this;
  element = other.element;
  std::memcpy(word, other.word, sizeof word);
  rawFlag = other.rawFlag;
  return *this;
}

CDBRecord::~CDBRecord() = default;

void* CDBRecord::operator new(size_t n, const std::nothrow_t&) noexcept { return g_MemMgr.AllocExact(n); }
void CDBRecord::operator delete(void* p) noexcept { g_MemMgr.Free(p); }
void CDBRecord::operator delete(void* p, const std::nothrow_t&) noexcept { g_MemMgr.Free(p); }

void CDBRecord::Set(CDBElementEx* elem, int w0, int w1, int w2, int w3, int w4, int w5, int w6, int w7, int w8,
                    int w9, int w10) {
  element = elem;
  const int w[RW_COUNT] = {w0, w1, w2, w3, w4, w5, w6, w7, w8, w9, w10};
  std::memcpy(word, w, sizeof word);
}

int CDBRecord::CompareKey(const CDBRecord& o, int key) const {
  switch (key) {
    case GK_CONTENT: return CompareInt(word[RW_CONTENT], o.word[RW_CONTENT]);
    case GK_TIME:
      for (int w : {RW_HOUR, RW_MINUTE, RW_SECOND})
        if (int c = CompareInt(word[w], o.word[w])) return c;
      return 0;
    case GK_DATE:
      for (int w : {RW_YEAR, RW_MONTH, RW_DAY})
        if (int c = CompareInt(word[w], o.word[w])) return c;
      return 0;
    case GK_DAY_OF_WEEK: return CompareInt(word[RW_DAY_OF_WEEK], o.word[RW_DAY_OF_WEEK]);
    case GK_WEEK: return CompareInt(word[RW_WEEK], o.word[RW_WEEK]);
    case GK_MONTH: return CompareInt(word[RW_MONTH], o.word[RW_MONTH]);
    case GK_YEAR: return CompareInt(word[RW_YEAR], o.word[RW_YEAR]);
    case GK_ELEMENT: {
      if (int c = CompareText(CabinetIdOf(element), CabinetIdOf(o.element))) return c;
      static const CDBElement kNoElement;
      const CDBElement& a = element ? static_cast<const CDBElement&>(*element) : kNoElement;
      const CDBElement& b = o.element ? static_cast<const CDBElement&>(*o.element) : kNoElement;
      return a.Compare(b);
    }
    case GK_ELEMENT_TYPE:
      return CompareInt(element ? element->type : ET_NONE, o.element ? o.element->type : ET_NONE);
    case GK_DIRECTION: {
      unsigned char a = static_cast<unsigned char>(ElementNameOf(element)[0] ? element->name[2] : 0);
      unsigned char b = static_cast<unsigned char>(ElementNameOf(o.element)[0] ? o.element->name[2] : 0);
      return CompareInt(a, b);
    }
    case GK_CABINET: return CompareText(CabinetIdOf(element), CabinetIdOf(o.element));
    case GK_LOCATION:
      return CompareText(element ? element->CabinetLocation() : "", o.element ? o.element->CabinetLocation() : "");
    case GK_MILEPOST: return CompareInt(element ? element->Milepost() : 0, o.element ? o.element->Milepost() : 0);
    case GK_ROADWAY: {
      if (int c = CompareInt(element ? element->RouteNumber() : 0, o.element ? o.element->RouteNumber() : 0)) return c;
      return CompareTextNoCase(element ? element->RoadwayName() : "", o.element ? o.element->RoadwayName() : "");
    }
    default: return 0;
  }
}

bool CDBRecord::IsEqualKey(const CDBRecord& o, int key) const { return CompareKey(o, key) == 0; }
bool CDBRecord::IsGreaterKey(const CDBRecord& o, int key) const { return CompareKey(o, key) > 0; }
bool CDBRecord::IsLessKey(const CDBRecord& o, int key) const { return CompareKey(o, key) < 0; }

int CDBRecord::Compare(const CDBRecord& other) const {
  return t_currentOrder ? t_currentOrder->Compare(*this, other) : 0;
}

bool CDBRecord::operator==(const CDBRecord& other) const {
  return t_currentOrder ? t_currentOrder->Equal(*this, other) : true;
}

void CDBRecord::FormatValue(char* buf, size_t size, int form) const {
  if (!buf || size == 0) return;
  int code = word[RW_CONTENT];
  int v = word[RW_VALUE];
  bool sheet = form == CF_SHEET;
  CReportLine cell;
  switch (code) {
    case 0: case 4: case 5: case 6: case 7: case 8: case 10: case 16:
      if (sheet)  // "%i\t"
        cell.I(v, 0).Lit("\t");
      else  // "%17i"
        cell.I(v, 17);
      cell.CopyTo(buf, size);
      return;
    case 1: case 9:
      if (sheet)  // "%3i.%1i%%\t"
        cell.I(v / 10, 3).Lit(".").I(v % 10, 1).Lit("%\t");
      else  // "%14i.%1i%%"
        cell.I(v / 10, 14).Lit(".").I(v % 10, 1).Lit("%");
      cell.CopyTo(buf, size);
      return;
    case 2: case 3: case 12: case 13: case 14: case 21: case 22:
      if (sheet)  // "%3i.%1i\t"
        cell.I(v / 10, 3).Lit(".").I(v % 10, 1).Lit("\t");
      else  // "%15i.%1i"
        cell.I(v / 10, 15).Lit(".").I(v % 10, 1);
      cell.CopyTo(buf, size);
      return;
    case 17: case 18: case 19: case 20:
      // "%02i:%02i:%02i\t" or "         %02i:%02i:%02i" of the 20-second units as a time of day
      if (!sheet) cell.Lit("         ");
      Clock(cell, v / 180, (v % 180) / 3, (v % 3) * 20);
      if (sheet) cell.Lit("\t");
      cell.CopyTo(buf, size);
      return;
    case 15: NamedCell(buf, size, form, trafficdata::MeterStatusName(v), v); return;
    case 11:
      if (!rawFlag) {
        NamedCell(buf, size, form, Lookup(kClassNames, v, nullptr), v);
        return;
      }
      switch (element ? element->type : ET_NONE) {
        case ET_LOOP: NamedCell(buf, size, form, Lookup(kLoopFlags, v, nullptr), v); return;
        case ET_SPEED_TRAP: TrapFlagCell(buf, size, form, v); return;
        case ET_STATION: NamedCell(buf, size, form, Lookup(kStationFlags, v, nullptr), v); return;
        case ET_RATE_STATUS: NamedCell(buf, size, form, Lookup(kClassNames, v, nullptr), v); return;
        default: UnknownCell(buf, size, form, v); return;
      }
    default: return;
  }
}

void CDBRecord::FormatGroupHeader(char* buf, size_t size, int key, int form) const {
  if (!buf || size == 0) return;
  bool sheet = form == CF_SHEET;
  char unknown[32];
  switch (key) {
    case GK_CONTENT: {
      // A content code without a name writes nothing.
      const char* name = ContentName(word[RW_CONTENT]);
      if (name) std::snprintf(buf, size, sheet ? "Data Content\t%s\n" : "Data Content:  %s\n", name);
      return;
    }
    case GK_TIME:
      std::snprintf(buf, size, sheet ? "Time\t%02i:%02i:%02i\n" : "Time:  %02i:%02i:%02i\n", word[RW_HOUR],
                    word[RW_MINUTE], word[RW_SECOND]);
      return;
    case GK_DATE:
      std::snprintf(buf, size, sheet ? "Date\t%02i/%02i/%04i\n" : "Date:  %02i/%02i/%04i\n", word[RW_MONTH],
                    word[RW_DAY], word[RW_YEAR]);
      return;
    case GK_DAY_OF_WEEK:
      std::snprintf(buf, size, sheet ? "Day-of-Week\t%s\n" : "Day-of-Week:  %s\n",
                    Lookup(kDayFull, word[RW_DAY_OF_WEEK], "Error"));
      return;
    case GK_WEEK: std::snprintf(buf, size, sheet ? "Week\t%i\n" : "Week:  %i\n", word[RW_WEEK]); return;
    case GK_MONTH:
      std::snprintf(buf, size, sheet ? "Month\t%s\n" : "Month:  %s\n", Lookup(kMonthFull, word[RW_MONTH], "Error"));
      return;
    case GK_YEAR: std::snprintf(buf, size, sheet ? "Year\t%04i\n" : "Year:  %04i\n", word[RW_YEAR]); return;
    case GK_ELEMENT:
      std::snprintf(buf, size, sheet ? "Element\t%s:%s\n" : "Element:  %s:%s\n", CabinetIdOf(element),
                    ElementNameOf(element));
      return;
    case GK_ELEMENT_TYPE: {
      int type = element ? element->type : ET_NONE;
      const char* name = ElementTypeName(type);
      if (!name) {
        std::snprintf(unknown, sizeof unknown, "UNKNOWN [0x%x]", static_cast<unsigned>(type));
        name = unknown;
      }
      std::snprintf(buf, size, sheet ? "Element Type\t%s\n" : "Element Type:  %s\n", name);
      return;
    }
    case GK_DIRECTION: {
      char c = (element && element->name[0] && element->name[2]) ? element->name[2] : ' ';
      std::snprintf(buf, size, sheet ? "Direction\t%c\n" : "Direction:  %c\n", c);
      return;
    }
    case GK_CABINET: std::snprintf(buf, size, sheet ? "Cabinet\t%s\n" : "Cabinet:  %s\n", CabinetIdOf(element)); return;
    case GK_LOCATION:
      std::snprintf(buf, size, sheet ? "Location\t%s\n" : "Location:  %s\n", element ? element->CabinetLocation() : "");
      return;
    case GK_MILEPOST: {
      int mp = element ? element->Milepost() : 0;
      std::snprintf(buf, size, sheet ? "Milepost\t%3i.%02i\n" : "Milepost:  %3i.%02i\n", mp / 100, mp % 100);
      return;
    }
    case GK_ROADWAY:
      std::snprintf(buf, size, sheet ? "Roadway\t%s\n" : "Roadway:  %s\n", element ? element->RoadwayName() : "");
      return;
    default: return;
  }
}

void CDBRecord::FormatKeyColumn(char* buf, size_t size, int key, int form) const {
  if (!buf || size == 0) return;
  bool sheet = form == CF_SHEET;
  switch (key) {
    case GK_CONTENT:
      if (const char* name = ContentName(word[RW_CONTENT])) TextCell(buf, size, form, name);
      return;
    case GK_TIME: {
      // "%02i:%02i:%02i\t" or "         %02i:%02i:%02i"
      CReportLine cell;
      if (!sheet) cell.Lit("         ");
      Clock(cell, word[RW_HOUR], word[RW_MINUTE], word[RW_SECOND]);
      if (sheet) cell.Lit("\t");
      cell.CopyTo(buf, size);
      return;
    }
    case GK_DATE: {
      // "%02i/%02i/%04i\t" or "       %02i/%02i/%04i"
      CReportLine cell;
      if (!sheet) cell.Lit("       ");
      cell.Z(word[RW_MONTH], 2).Lit("/").Z(word[RW_DAY], 2).Lit("/").Z(word[RW_YEAR], 4);
      if (sheet) cell.Lit("\t");
      cell.CopyTo(buf, size);
      return;
    }
    case GK_DAY_OF_WEEK:
      std::snprintf(buf, size, sheet ? "%s\t" : "              %s", Lookup(kDayShort, word[RW_DAY_OF_WEEK], "Err"));
      return;
    case GK_WEEK: std::snprintf(buf, size, sheet ? "%i\t" : "               %i", word[RW_WEEK]); return;
    case GK_MONTH:
      std::snprintf(buf, size, sheet ? "%s\t" : "              %s", Lookup(kMonthShort, word[RW_MONTH], "Err"));
      return;
    case GK_YEAR: std::snprintf(buf, size, sheet ? "%04i\t" : "             %04i", word[RW_YEAR]); return;
    case GK_ELEMENT:
      ElementCell(buf, size, sheet, element);
      return;
    case GK_ELEMENT_TYPE: {
      int type = element ? element->type : ET_NONE;
      NamedCell(buf, size, form, ElementTypeName(type), type);
      return;
    }
    case GK_DIRECTION: {
      char c = (element && element->name[0] && element->name[2]) ? element->name[2] : ' ';
      std::snprintf(buf, size, sheet ? "%c\t" : "                %c", c);
      return;
    }
    case GK_CABINET: TextCell(buf, size, form, CabinetIdOf(element)); return;
    case GK_LOCATION: TextCell(buf, size, form, element ? element->CabinetLocation() : ""); return;
    case GK_MILEPOST: {
      int mp = element ? element->Milepost() : 0;
      std::snprintf(buf, size, sheet ? "%3i.%02i\t" : "           %3i.%02i", mp / 100, mp % 100);
      return;
    }
    case GK_ROADWAY: TextCell(buf, size, form, element ? element->RoadwayName() : ""); return;
    default: return;
  }
}

// --- CDBRecordset ----------------------------------------------------------------------------

CDBRecordset::CDBRecordset(const CDBRecordset& other) : CObjArray<CDBRecord>(other) {}

CDBRecordset& CDBRecordset::operator=(const CDBRecordset& other) {
  if (this != &other) CObjArray<CDBRecord>::operator=(other);
  return *this;
}

CDBRecordset::~CDBRecordset() = default;

bool CDBRecordset::AddRecord(const CDBRecord& row) {
  int before = m_nSize;
  CDBRecord copy(row);
  int i = Add(copy);
  if (i < 0 || m_nSize != before + 1 || !m_pData[i]) {
    // The copy could not be made: drop a null entry so the set holds whole rows only.
    if (m_nSize == before + 1 && i >= 0 && !m_pData[i]) RemoveAt(i, 1);
    return false;
  }
  return true;
}

bool CDBRecordset::TakeAll(CDBRecordset& from) {
  if (from.m_nSize == 0 || &from == this) return true;
  if (!FitsAfter(m_nSize, from.m_nSize) || !Reserve(m_nSize + from.m_nSize)) return false;
  std::memcpy(m_pData + m_nSize, from.m_pData, sizeof(CDBRecord*) * static_cast<size_t>(from.m_nSize));
  m_nSize += from.m_nSize;
  from.m_nSize = 0;  // the rows belong to this set now
  return true;
}

// --- Order -----------------------------------------------------------------------------------

int CRecordOrder::Compare(const CDBRecord& a, const CDBRecord& b) const {
  for (int i = 0; i < m_count; ++i) {
    const CGrpType* k = m_keys[i];
    if (!k) continue;
    int c = a.CompareKey(b, k->key);
    if (c != 0) return k->ascending ? c : -Sign(c);
  }
  return 0;
}

bool CRecordOrder::Equal(const CDBRecord& a, const CDBRecord& b) const {
  for (int i = 0; i < m_count; ++i)
    if (m_keys[i] && !a.IsEqualKey(b, m_keys[i]->key)) return false;
  return true;
}

const CRecordOrder* CRecordOrder::Current() { return t_currentOrder; }

// --- Packed sort keys ------------------------------------------------------------------------

// One compared quantity of a key: a row word, or the rank of the row's element under an element
// key. Descending parts store the value's complement, which reverses the order without overflow.
struct CPackedSortKeys::SPart {
  int word = -1;  // row word, or -1 for an element rank
  int rankTable = -1;
  bool descending = false;
  int64_t low = 0, high = 0;
  int slot = 0, shift = 0;
  uint64_t mask = 0;
};

CPackedSortKeys::CPackedSortKeys() = default;
CPackedSortKeys::~CPackedSortKeys() = default;

int32_t CPackedSortKeys::Value(const SPart& part, int i) const {
  int32_t v = part.word >= 0 ? m_rows[i]->word[part.word]
                             : m_ranks[static_cast<size_t>(part.rankTable) * m_elements + m_elementOf[i]];
  return part.descending ? ~v : v;
}

bool CPackedSortKeys::Build(const CDBRecord* const* rows, int count, const CRecordOrder& order, RunControl* run) {
  constexpr int kCheckEvery = 1 << 16;  // rows between looks at the keep-going flag
  m_rows = rows;
  m_cancelled = false;
  auto stopped = [&] { return run && !run->keepGoing() && (m_cancelled = true); };
  m_words = 1;
  m_parts = 0;
  m_elements = 0;
  std::vector<SPart> parts;
  std::vector<int> elementKeys;
  for (int k = 0; k < order.Count(); ++k) {
    const CGrpType* key = order.Key(k);
    if (!key) continue;
    SPart p;
    p.descending = !key->ascending;
    auto words = [&](std::initializer_list<int> list) {
      for (int w : list) {
        p.word = w;
        parts.push_back(p);
      }
    };
    switch (key->key) {
      case GK_CONTENT: words({RW_CONTENT}); break;
      case GK_TIME: words({RW_HOUR, RW_MINUTE, RW_SECOND}); break;
      case GK_DATE: words({RW_YEAR, RW_MONTH, RW_DAY}); break;
      case GK_DAY_OF_WEEK: words({RW_DAY_OF_WEEK}); break;
      case GK_WEEK: words({RW_WEEK}); break;
      case GK_MONTH: words({RW_MONTH}); break;
      case GK_YEAR: words({RW_YEAR}); break;
      case GK_ELEMENT: case GK_ELEMENT_TYPE: case GK_DIRECTION: case GK_CABINET:
      case GK_LOCATION: case GK_MILEPOST: case GK_ROADWAY:
        p.word = -1;
        p.rankTable = static_cast<int>(elementKeys.size());
        elementKeys.push_back(key->key);
        parts.push_back(p);
        break;
      default: break;  // other ids make no difference between rows
    }
  }

  // The rows' distinct elements; rows of one element mostly follow each other. Each of the two
  // scans adds its progress as it goes (the first also when there is no element key to scan for).
  std::vector<CDBElementEx*> elements;
  if (elementKeys.empty()) CPassProgress(run, kProgressSortKeyScan).Done(count);
  if (!elementKeys.empty()) {
    m_elementOf.reset(new (std::nothrow) uint32_t[static_cast<size_t>(count)]);
    if (!m_elementOf) return false;
    std::unordered_map<CDBElementEx*, uint32_t> index;
    CDBElementEx* last = nullptr;
    uint32_t lastIndex = 0;
    CPassProgress scan(run, kProgressSortKeyScan);
    for (int i = 0; i < count; ++i, scan.Done()) {
      if (i % kCheckEvery == 0 && stopped()) return false;
      CDBElementEx* e = rows[i]->element;
      if (i == 0 || e != last) {
        auto [it, added] = index.try_emplace(e, static_cast<uint32_t>(elements.size()));
        if (added) elements.push_back(e);
        last = e;
        lastIndex = it->second;
      }
      m_elementOf[i] = lastIndex;
    }
    // Rank of every element under every element key: equal elements share a rank.
    m_elements = static_cast<int>(elements.size());
    m_ranks.reset(new (std::nothrow) int32_t[elementKeys.size() * elements.size()]);
    if (!m_ranks) return false;
    std::vector<CDBRecord> probe;
    probe.reserve(elements.size());
    for (CDBElementEx* e : elements) probe.emplace_back(e, -1);
    std::vector<int> byKey(elements.size());
    for (size_t t = 0; t < elementKeys.size(); ++t) {
      int key = elementKeys[t];
      for (size_t e = 0; e < byKey.size(); ++e) byKey[e] = static_cast<int>(e);
      std::stable_sort(byKey.begin(), byKey.end(),
                       [&](int a, int b) { return probe[a].CompareKey(probe[b], key) < 0; });
      int32_t rank = 0;
      for (size_t r = 0; r < byKey.size(); ++r) {
        if (r > 0 && probe[byKey[r - 1]].CompareKey(probe[byKey[r]], key) != 0) ++rank;
        m_ranks[t * elements.size() + byKey[r]] = rank;
      }
    }
  }

  // Value range of every part, then the parts laid into words, most significant first.
  m_part.reset(new (std::nothrow) SPart[parts.empty() ? 1 : parts.size()]);
  if (!m_part) return false;
  m_parts = static_cast<int>(parts.size());
  for (int p = 0; p < m_parts; ++p) m_part[p] = parts[p];
  if (count > 0)
    for (int p = 0; p < m_parts; ++p) m_part[p].low = m_part[p].high = Value(m_part[p], 0);
  CPassProgress scan(run, kProgressSortKeyScan);
  if (count > 0) scan.Done();
  for (int i = 1; i < count; ++i, scan.Done()) {
    if (i % kCheckEvery == 0 && stopped()) return false;
    for (int p = 0; p < m_parts; ++p) {
      SPart& part = m_part[p];
      int64_t v = Value(part, i);
      part.low = std::min(part.low, v);
      part.high = std::max(part.high, v);
    }
  }
  int slot = 0, used = 0;
  for (int p = 0; p < m_parts; ++p) {
    SPart& part = m_part[p];
    uint64_t span = static_cast<uint64_t>(part.high - part.low);
    int bits = 0;
    while (bits < 64 && (span >> bits) != 0) ++bits;
    if (bits == 0) continue;  // the same in every row
    if (used + bits > 64) {
      ++slot;
      used = 0;
    }
    part.slot = slot;
    part.shift = 64 - used - bits;
    part.mask = bits == 64 ? ~uint64_t{0} : ((uint64_t{1} << bits) - 1);
    used += bits;
  }
  m_words = slot + 1;
  m_lastWordBits = used;
  return !stopped();
}

void CPackedSortKeys::Pack(int i, uint64_t* out) const {
  for (int w = 0; w < m_words; ++w) out[w] = 0;
  for (int p = 0; p < m_parts; ++p) {
    const SPart& part = m_part[p];
    if (part.mask == 0) continue;
    uint64_t v = static_cast<uint64_t>(static_cast<int64_t>(Value(part, i)) - part.low);
    out[part.slot] |= v << part.shift;
  }
}

CSortKeyScope::CSortKeyScope(const CRecordOrder& order) : m_previous(t_currentOrder) { t_currentOrder = &order; }
CSortKeyScope::~CSortKeyScope() { t_currentOrder = m_previous; }

void SortRecords(CDBRecordset& rows, const CRecordOrder& order) {
  SortAscending(rows.m_pData, rows.m_nSize, [&order](const CDBRecord* a, const CDBRecord* b) {
    if (!a || !b) return a && !b;  // rows that failed to allocate go last
    return order.Less(*a, *b);
  });
}
