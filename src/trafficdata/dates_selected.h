// The selected-date sets of the date dialogs: CAllDatesSelected holds years, CYearSelected holds
// months, CMonthSelected holds the selected day numbers of one month. Each carries a first flag
// and seven day-of-week flags (Sunday..Saturday, all true by default) and three values the date
// dialogs and the New view keep with the selection.
#pragma once

#include <cstdint>

#include "containers/obj_array.h"
#include "containers/scalar_array.h"

// The fields that follow the array in each selection set.
struct SSelectionFields {
  int32_t number = -1;  // month or year; -1 until set (not used by CAllDatesSelected)
  bool flags[8] = {true, true, true, true, true, true, true, true};
  unsigned char block[16] = {};
  double value = 0.0;
  int32_t extra = 0;
};

class CMonthSelected : public CScalarArray<int> {
 public:
  SSelectionFields fields;

  CMonthSelected() = default;
  CMonthSelected(const CMonthSelected& other);
  CMonthSelected& operator=(const CMonthSelected& other);
  ~CMonthSelected() override;

  // Container order: the day numbers as bytes (unsigned), then the count; equal: same month.
  int Compare(const CMonthSelected& other) const;
  bool operator<(const CMonthSelected& other) const { return Compare(other) < 0; }
  bool operator==(const CMonthSelected& other) const;
};

class CYearSelected : public CObjArray<CMonthSelected> {
 public:
  SSelectionFields fields;

  CYearSelected() = default;
  CYearSelected(const CYearSelected& other);
  CYearSelected& operator=(const CYearSelected& other);
  ~CYearSelected() override;

  // Container order: month by month, then the count; equal: same year.
  int Compare(const CYearSelected& other) const;
  bool operator<(const CYearSelected& other) const { return Compare(other) < 0; }
  bool operator==(const CYearSelected& other) const;
};

class CAllDatesSelected : public CObjArray<CYearSelected> {
 public:
  SSelectionFields fields;  // number unused

  CAllDatesSelected() = default;
  CAllDatesSelected(const CAllDatesSelected& other);
  CAllDatesSelected& operator=(const CAllDatesSelected& other);
  ~CAllDatesSelected() override;
};
