// Trace output of the field-device protocol: texts that no channel callback carries (a handler
// called with a reason it does not know, or with a record of the wrong kind). They go to standard
// output unless a sink is installed, which is how tests capture them.
#pragma once

#include <cstdarg>

using ProtocolTraceSink = void (*)(const char* text, void* ctx);

// printf-style text to the current sink (standard output by default).
void ProtocolTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Installs a sink for the trace texts; a null sink restores standard output.
void SetProtocolTraceSink(ProtocolTraceSink sink, void* ctx);
