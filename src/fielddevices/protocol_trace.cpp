#include "fielddevices/protocol_trace.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

namespace {
std::mutex g_traceLock;
ProtocolTraceSink g_traceSink = nullptr;
void* g_traceCtx = nullptr;
}  // namespace

void SetProtocolTraceSink(ProtocolTraceSink sink, void* ctx) {
  std::lock_guard<std::mutex> guard(g_traceLock);
  g_traceSink = sink;
  g_traceCtx = ctx;
}

void ProtocolTrace(const char* format, ...) {
  char local[256];
  std::string text;
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int needed = std::vsnprintf(local, sizeof(local), format, args);
  va_end(args);
  if (needed < 0) {
    va_end(again);
    return;
  }
  if (static_cast<size_t>(needed) < sizeof(local)) {
    text.assign(local, static_cast<size_t>(needed));
  } else {
    text.resize(static_cast<size_t>(needed) + 1);
    std::vsnprintf(text.data(), text.size(), format, again);
    text.resize(static_cast<size_t>(needed));
  }
  va_end(again);

  std::lock_guard<std::mutex> guard(g_traceLock);
  if (g_traceSink != nullptr) {
    g_traceSink(text.c_str(), g_traceCtx);
  } else {
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
  }
}
