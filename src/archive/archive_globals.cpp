#include "archive/archive_globals.h"

#include <cstdio>

#include "platform/base/msgbox.h"

CDataRootPath g_DataRootPath;
std::atomic<uintptr_t> g_hPromptWnd{0};

namespace {
std::atomic<DiscPromptSender> s_sender{nullptr};
}

void CDataRootPath::Set(const char* root) {
  std::lock_guard<std::mutex> hold(m_lock);
  m_root = root ? root : "";
}

std::string CDataRootPath::Get() const {
  std::lock_guard<std::mutex> hold(m_lock);
  return m_root;
}

void SetDiscPromptSender(DiscPromptSender sender) { s_sender.store(sender); }

bool RequestDisc(int month, int day, int year) {
  uintptr_t window = g_hPromptWnd.load();
  DiscPromptSender send = s_sender.load();
  if (window == 0 || !send) return false;
  char text[128];
  std::snprintf(text, sizeof text, "Please insert CD with %i/%i/%i data\nLoading Input Data...", month, day, year);
  intptr_t answer = send(window, kShowMessageBoxMessage, reinterpret_cast<uintptr_t>(text),
                         static_cast<intptr_t>(MB_OKCANCEL | MB_ICONINFORMATION));
  return answer == IDOK;
}
