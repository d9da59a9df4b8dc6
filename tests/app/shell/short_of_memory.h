// A view's worker run while memory runs out for good, for the tests of both views.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "app/shell/main_dlg.h"
#include "app/shell/worker_ids.h"
#include "containers/mem_mgr.h"
#include "platform/base/errors.h"
#include "platform/kernel/release.h"
#include "support/wait_dialog.h"

// How a run that may have run out of memory ended.
enum class ERunEnd { Whole, Refused, Other };

// Runs `worker` (the view's worker body) on a thread of its own while every allocation of the
// process fails after its first `n`; then, with memory again, the view takes in what the worker
// posted, and the posts it had to keep, as at the end of a run.
template <class Worker>
void RunShortOfMemory(CMainDlg& view, long n, Worker worker) {
  std::thread thread([&] {
    CScalarMemMgr::SetProcessFailAfter(n);
    worker();
    CScalarMemMgr::SetProcessFailAfter(-1);
  });
  thread.join();
  qav::WaitForReleases();
  CWaitDialog::PumpMessages();
  view.TellKeptPosts();
}

// The status line of the not-enough-memory error (alone, or ending a line that names a report).
inline std::string NotEnoughMemoryText() {
  std::string text;
  WorkerCommandText(ID_WORKER_WIN32_ERROR, static_cast<LPARAM>(ERROR_NOT_ENOUGH_MEMORY), "", text);
  return text;
}

// Whole: every report there and announced, and no error. Refused: the not-enough-memory line, and
// each report either there and announced or not there at all. Other: anything else (a report left
// that was not announced, one announced that is not there, a report missing without the line).
// `there` says whether each report is there, `done` whether its done line came.
inline ERunEnd JudgeRun(const std::vector<std::string>& lines, const std::vector<bool>& there,
                        const std::vector<bool>& done) {
  const std::string memory = NotEnoughMemoryText();
  const bool told = std::any_of(lines.begin(), lines.end(),
                                [&](const std::string& l) { return l.find(memory) != std::string::npos; });
  bool allThere = true;
  for (size_t i = 0; i < there.size(); ++i) {
    if (there[i] != done[i]) return ERunEnd::Other;
    allThere = allThere && there[i];
  }
  if (told) return ERunEnd::Refused;
  return allThere ? ERunEnd::Whole : ERunEnd::Other;
}
