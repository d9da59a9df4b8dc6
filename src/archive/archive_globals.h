// Process-wide values the archive readers use: the archive root, the window that answers the
// request to insert a disc, and the way that request reaches it.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/base/types.h"

// The archive root, a narrow path ending in "\" to which every archive file name is appended. The
// user-interface thread replaces it while loader threads read it, so readers take a copy per use.
class CDataRootPath {
 public:
  void Set(const char* root);
  std::string Get() const;

 private:
  mutable std::mutex m_lock;
  std::string m_root;
};
extern CDataRootPath g_DataRootPath;

// The window that answers the disc request (the main frame when the archive is read from the
// optical drive); 0 switches the request off.
extern std::atomic<uintptr_t> g_hPromptWnd;

// The private message by which a reader asks for a disc: wParam is the address of the text
// (message, "\n", caption), lParam the message-box style; the answer is the button pressed.
constexpr UINT kShowMessageBoxMessage = 0x1409;

// Delivers a message synchronously to a window on the user-interface thread and returns its answer
// (the window system's SendMessage). The application installs it; without one no request is made.
using DiscPromptSender = intptr_t (*)(uintptr_t window, UINT message, uintptr_t wParam, intptr_t lParam);
void SetDiscPromptSender(DiscPromptSender sender);

// Asks the user to insert the disc holding a day's data (month, day, year; -1 each when the date
// is not valid). True when the answer is OK, so the open is to be tried again.
bool RequestDisc(int month, int day, int year);
