// Places where the real-input tests hold the program in one phase of its work (a run loading its
// days, a report being written, a report being read into the viewer) until they have looked at
// it, so that what they check never races the program's own pace, however busy the machine is.
// Compiled in only with QAV_TEST_HOLDS (the sanitizer build the tests run); in any other build a
// point is empty and costs nothing.
//
// A point named P is armed while a file named P exists in the folder $QAV_HOLD_DIR. A thread that
// reaches an armed point makes the file P.held there and waits until P is removed. `meanwhile`,
// when given, runs about every 10 ms while it waits (the user-interface thread keeps serving its
// windows); when it returns false the hold ends at once (the user cancelled what was held).
#pragma once

#include <functional>

#if defined(QAV_TEST_HOLDS)
void HoldForTest(const char* point, const std::function<bool()>& meanwhile = {});
#else
template <class... Meanwhile>
inline void HoldForTest(const char*, Meanwhile&&...) {}
#endif
