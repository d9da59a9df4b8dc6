// Backend selection and the headless backend: windows exist and messages flow, nothing is drawn.
#include "platform/ui/backend.h"

#include <memory>

namespace qav::ui {

void HeadlessWait(double seconds);  // loop.cpp
void HeadlessWake();

namespace {

class HeadlessBackend : public Backend {
 public:
  const char* Name() const override { return "headless"; }
  void Wait(double seconds) override { HeadlessWait(seconds); }
  void Wake() override { HeadlessWake(); }
};

Backend*& Current() {
  static Backend* current = nullptr;
  return current;
}

Backend* Headless() {
  static Backend* headless = MakeHeadlessBackend();
  return headless;
}

}  // namespace

Backend* MakeHeadlessBackend() { return new HeadlessBackend; }

Backend& CurrentBackend() {
  Backend* b = Current();
  return b != nullptr ? *b : *Headless();
}

bool SelectBackend(const std::string& name) {
  if (name == "headless") {
    Current() = Headless();
    return true;
  }
  if (name == "qt") {
    Backend* qt = MakeQtBackend();
    if (qt == nullptr) return false;
    Current() = qt;
    return true;
  }
  return false;
}

}  // namespace qav::ui
