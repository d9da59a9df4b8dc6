// Results of the wait functions and the "wait forever" time-out, with their Windows values.
#pragma once

#include "platform/base/types.h"

constexpr DWORD INFINITE = 0xFFFFFFFF;

constexpr DWORD WAIT_OBJECT_0 = 0x00000000;   // + index of the signalled event
constexpr DWORD WAIT_ABANDONED_0 = 0x00000080;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
