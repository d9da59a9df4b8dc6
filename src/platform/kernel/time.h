// Clocks: the millisecond tick count, the local time with milliseconds, and sleeping. Tests can
// replace the local-time clock so that time stamps and "the current year" are fixed.
#pragma once

#include "platform/base/types.h"

#include <functional>

// Milliseconds from a monotonic clock, as 32 bits that wrap; callers subtract with unsigned
// wrap-around.
DWORD GetTickCount();

// The local time, with milliseconds and the day of the week.
void GetLocalTime(SYSTEMTIME* time);
SYSTEMTIME GetLocalTime();

// Replaces the local-time clock (for tests); an empty function restores the system clock.
void SetLocalTimeSource(std::function<SYSTEMTIME()> source);

// Sleeps the calling thread.
void Sleep(DWORD milliseconds);
