// Detector database records: the element (seven-character code and type), its roadside cabinet
// and the cabinet's roadway. None owns what it points at; the device-list reader owns all three.
#pragma once

#include <cstdint>

class CDBRoadway;
class CDBCabinet;

// Element types: the per-element data class of a run and the type names in reports.
enum EElementType : int { ET_NONE = -1, ET_LOOP = 0, ET_SPEED_TRAP = 1, ET_STATION = 2, ET_RATE_STATUS = 3 };

// Name of an element type ("Loop", "Speed Trap", "Station", "Rate/Status"); null outside 0-3.
const char* ElementTypeName(int type);

// Meaning of letter c at position pos (0-6) of an element code, "" for a letter outside the
// position's set (the element dialog shows it).
const char* ElementCodeMeaning(int pos, char c);

class CDBElement {
 public:
  char name[8];  // the element code and its NUL; bytes after the NUL are always zero

  CDBElement();
  CDBElement(const char* text);  // NOLINT: copies at most seven characters
  CDBElement(const CDBElement& other);
  CDBElement& operator=(const CDBElement& other);
  virtual ~CDBElement();

  virtual void Clear();
  virtual bool IsValid() const;

  // Element order: a first letter 'A' sorts last; otherwise positions 2, 1, 4, 6, 3, 5, 0 as
  // signed characters (direction, roadway kind, location, lane, lane kind, detector, facility).
  int Compare(const CDBElement& other) const;
  bool operator<(const CDBElement& other) const { return Compare(other) < 0; }
  bool operator>(const CDBElement& other) const { return Compare(other) > 0; }
};

class CDBElementEx : public CDBElement {
 public:
  int32_t type = ET_NONE;
  CDBCabinet* cabinet = nullptr;  // not owned

  CDBElementEx() = default;
  CDBElementEx(const char* text, int elementType, CDBCabinet* cab);
  CDBElementEx(const CDBElementEx& other) = default;
  CDBElementEx& operator=(const CDBElementEx& other);
  ~CDBElementEx() override;

  void Clear() override;
  bool IsValid() const override;

  // Container order: the cabinet's id text, then the element order; equal when both are equal.
  int Compare(const CDBElementEx& other) const;
  bool operator<(const CDBElementEx& other) const { return Compare(other) < 0; }
  bool operator==(const CDBElementEx& other) const { return Compare(other) == 0; }

  // Texts of the element's cabinet and roadway, "" (and milepost 0) where there is none.
  const char* CabinetId() const;
  const char* CabinetAlias() const;
  // The cabinet as reports name it: its alias, or its id where the alias is blank (a cabinet that
  // no device list knows, or a blank alias column), so every cabinet is named.
  const char* CabinetLabel() const;
  const char* CabinetLocation() const;
  int Milepost() const;
  const char* RoadwayName() const;
  int RouteNumber() const;
};

class CDBCabinet {
 public:
  char id[11];        // "%03ies%05i": route number, "es", milepost in hundredths
  char alias[8];      // the older key of the cabinet
  char location[17];  // place text
  int32_t milepost = 0;           // hundredths of a mile
  CDBRoadway* roadway = nullptr;  // not owned

  CDBCabinet();
  CDBCabinet(const char* cabId, const char* cabAlias, int mp, const char* loc, CDBRoadway* road);
  CDBCabinet(const CDBCabinet& other);
  CDBCabinet& operator=(const CDBCabinet& other);
  virtual ~CDBCabinet();

  int Compare(const CDBCabinet& other) const;  // id text as unsigned bytes
  bool operator<(const CDBCabinet& other) const { return Compare(other) < 0; }
  bool operator==(const CDBCabinet& other) const { return Compare(other) == 0; }
};

class CDBRoadway {
 public:
  char name[12];  // normalised roadway text
  int32_t route = 0;

  CDBRoadway();
  explicit CDBRoadway(const char* text);
  CDBRoadway(const CDBRoadway& other);
  CDBRoadway& operator=(const CDBRoadway& other);
  ~CDBRoadway();

  // Sets name and route number from a device-list roadway text: "sr520" -> "SR 520" (520),
  // "I90" -> "I-90", "us 2 b" -> "US 2B", "I-5 express" -> "I-5 Express".
  void Parse(const char* text);

  // Route number, then the name without regard to case.
  int Compare(const CDBRoadway& other) const;
  bool operator<(const CDBRoadway& other) const { return Compare(other) < 0; }
  bool operator==(const CDBRoadway& other) const { return Compare(other) == 0; }
};

// Byte-wise comparison of two texts as unsigned characters (-1, 0, +1).
int CompareText(const char* a, const char* b);
// The same after folding ASCII A-Z to lower case; returns the difference of the first unequal
// folded bytes.
int CompareTextNoCase(const char* a, const char* b);
