// CVolOccDay: the day base of the element kinds that measure volume and occupancy (loops and
// stations), with the estimated vehicle length behind their calculated speeds.
#pragma once

#include "trafficdata/element_day.h"

// The five speed-estimation parameters of a volume/occupancy element.
struct SSpeedParams {
  int assumedSpeed = 650;  // tenths of a mile per hour, returned at low occupancy
  int occUpper = 100;      // tenths of a per cent
  int occLower = 50;       // tenths of a per cent
  int longest = 240;       // tenths of a foot
  int shortest = 200;      // tenths of a foot

  // The length used when nothing can be estimated: the mean of the two bounds, rounded half up.
  int MeanLength() const { return RoundHalfUp((longest + shortest) * 0.5); }
  // Length from the day's sums (raw occupancy counts, vehicles), clamped to the bounds.
  int LengthFromSums(double occSum, double volSum) const;
};

class CVolOccDay : public CElementDay {
 public:
  // Vehicles per period or interval.
  CScalarArray<unsigned short> volume;
  // Per period: tenths of a per cent; per interval: raw counts (1.2 counts = one tenth).
  CScalarArray<unsigned short> occupancy;
  // Estimated effective vehicle length for the speed (tenths of a foot); -1 until computed.
  int32_t estimatedLength = -1;

  CVolOccDay() = default;
  CVolOccDay(const CVolOccDay& other);
  CVolOccDay& operator=(const CVolOccDay& other);
  ~CVolOccDay() override;

  void Clone(CElementDay** out) const override;
  void Clear() override;

  int VolumeAt(int i) const { return (i >= 0 && i < volume.m_nSize) ? volume.m_pData[i] : 0; }
  int OccupancyAt(int i) const { return (i >= 0 && i < occupancy.m_nSize) ? occupancy.m_pData[i] : 0; }

  // Sizes the four arrays to count entries, all zero; false (and no entries, no data) when they
  // could not be allocated.
  bool ResetArrays(int count);

  // Span values for report rows: start and length in 20-second units, aggregation method 0-8.
  // Each element kind gives its own rules; the base has none and gives 0 (flag 4, empty).
  virtual int GetSpanVolume(int start, int length, int method) const;
  // GetSpanVolume for every start first..last (out holds last - first + 1 values).
  virtual void GetSpanVolumes(int first, int last, int length, int method, int64_t* out) const;
  virtual int GetSpanOccupancy(int start, int length, int method) const;      // tenths of a %
  virtual int GetSpanOccupancySum(int start, int length, int method) const;   // raw counts
  virtual int GetSpanPeriods(int start, int length, int method) const;        // samples
  virtual int GetSpanValidity(int start, int length, int method) const;       // tenths of a %
  virtual int GetSpanFlag(int start, int length, int method) const;           // 0-4
  // Calculated speed (tenths of a mph); estimates the day's vehicle length first when it is
  // still -1, with this request's length and method.
  virtual int GetSpanSpeed(int start, int length, int method, const SSpeedParams& params);
  virtual void EstimateLength(int length, int method, const SSpeedParams& params);
};

// Report lines shared by loops and stations. The raw listing's line of period p (time, volume,
// occupancy in tenths, class, samples); the daily line of a summary kind (label, VAL or INV,
// volume, occupancy, the class counts with or without the disabled count, the hour of a
// peak-hour kind) with its line end.
void WriteVolOccRawLine(CText& out, int format, int p, unsigned volume, unsigned occupancy, unsigned cls,
                        unsigned samples);
void WriteVolOccDailyLine(CText& out, int format, int summaryKind, const SSummary& s, bool withDisabled);
