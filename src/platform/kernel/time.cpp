#include "platform/kernel/time.h"

#include <chrono>
#include <ctime>
#include <mutex>
#include <thread>

namespace {

std::mutex& SourceMutex() {
  static std::mutex m;
  return m;
}

std::function<SYSTEMTIME()>& Source() {
  static std::function<SYSTEMTIME()> s;
  return s;
}

SYSTEMTIME SystemLocalTime() {
  timespec ts {};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm t {};
  localtime_r(&ts.tv_sec, &t);
  SYSTEMTIME st;
  st.wYear = static_cast<WORD>(t.tm_year + 1900);
  st.wMonth = static_cast<WORD>(t.tm_mon + 1);
  st.wDayOfWeek = static_cast<WORD>(t.tm_wday);
  st.wDay = static_cast<WORD>(t.tm_mday);
  st.wHour = static_cast<WORD>(t.tm_hour);
  st.wMinute = static_cast<WORD>(t.tm_min);
  st.wSecond = static_cast<WORD>(t.tm_sec > 59 ? 59 : t.tm_sec);  // a leap second shows as :59
  st.wMilliseconds = static_cast<WORD>(ts.tv_nsec / 1000000);
  return st;
}

}  // namespace

DWORD GetTickCount() {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch()).count();
  return static_cast<DWORD>(static_cast<uint64_t>(ms));
}

SYSTEMTIME GetLocalTime() {
  std::function<SYSTEMTIME()> source;
  {
    std::lock_guard<std::mutex> lock(SourceMutex());
    source = Source();
  }
  return source ? source() : SystemLocalTime();
}

void GetLocalTime(SYSTEMTIME* time) {
  if (time != nullptr) *time = GetLocalTime();
}

void SetLocalTimeSource(std::function<SYSTEMTIME()> source) {
  std::lock_guard<std::mutex> lock(SourceMutex());
  Source() = std::move(source);
}

void Sleep(DWORD milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
