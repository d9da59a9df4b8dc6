// Backend selection and the headless backend: windows exist and messages flow, nothing is drawn.
#include "platform/ui/backend.h"

#include <algorithm>
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

// Without a font to measure, the text stays as it is, measured in average characters.
std::string Backend::WrapText(const std::string& text, int, int, SIZE* size) {
  const BaseUnits u = FontUnits(nullptr);
  int lines = 0, widest = 0;
  for (size_t start = 0; start <= text.size(); ++lines) {
    const size_t end = std::min(text.find('\n', start), text.size());
    widest = std::max(widest, static_cast<int>(end - start));
    start = end + 1;
  }
  *size = SIZE{widest * u.cx, lines * u.cy};
  return text;
}

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
