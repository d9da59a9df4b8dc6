// A run control that cancels at a chosen progress count, and a report sink that keeps the text.
#pragma once

#include <climits>
#include <string>

#include "trafficdata/run_control.h"

namespace looptest {

struct TestRun : RunControl {
  uint32_t progress = 0;
  uint32_t cancelAt = UINT32_MAX;  // keep-going clears once progress reaches this
  bool keepGoing() const override { return progress < cancelAt; }
  void addProgress(uint32_t n) override { progress += n; }
};

struct TestSink : ReportSink {
  std::string text;
  int writes = 0;
  int cancels = 0;
  int failAt = -1;  // the write with this index fails
  bool write(std::string_view t) override {
    if (writes++ == failAt) return false;
    text.append(t);
    return true;
  }
  void notifyCancelled() override { ++cancels; }
};

}  // namespace looptest
