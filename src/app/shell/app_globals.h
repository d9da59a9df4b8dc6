// Process-wide values of the application layer: the archive cut-over date and the eight settings
// that judge five-minute volumes of days in the older (PE) archive format. The archive root and the
// disc-request window live with the archive readers (archive/archive_globals.h).
#pragma once

#include <atomic>
#include <cstdint>

#include "trafficdata/date_time_ex.h"
#include "trafficdata/view_settings.h"

// Days before this date (1993-06-01 00:00) are read from the PE files, later days from the daily
// databases. Invalid when the date does not survive the conversion to the platform's date value
// and back.
extern const CDateTimeEx g_PeCutoverDate;

// True when `day` is read from the PE files: both dates valid and the cut-over later than the day.
bool IsPeDay(const CDateTimeEx& day);

// The PE validity settings, named after their profile keys in section PE_VALID. The user-interface
// thread writes them (PE validity page) while loader threads read them, so each is an atomic.
struct CPeValidSettings {
  std::atomic<int32_t> PEAK1_START{72};
  std::atomic<int32_t> PEAK1_END{108};
  std::atomic<int32_t> PEAK2_START{180};
  std::atomic<int32_t> PEAK2_END{228};
  std::atomic<uint8_t> VOL_GOOD_PEAK_MIN{0};
  std::atomic<uint8_t> VOL_GOOD_PEAK_MAX{255};
  std::atomic<uint8_t> VOL_GOOD_OFF_PEAK_MIN{0};
  std::atomic<uint8_t> VOL_GOOD_OFF_PEAK_MAX{255};

  // A consistent-enough copy for one load (each value read once).
  PeValidity Get() const;
  void Set(const PeValidity& v);
};
extern CPeValidSettings g_PeValid;
