#include "app/shell/main_dlg.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <new>
#include <vector>

#include "app/shell/app_globals.h"
#include "app/shell/qav_app.h"
#include "app/shell/report_opener.h"
#include "app/shell/settings.h"
#include "archive/archive_globals.h"
#include "platform/base/errors.h"
#include "platform/kernel/time.h"

namespace {
// The base view's own form: the status list with OK and Cancel.
const DialogTemplate kBaseForm{IDD_MAIN_BASE,
                               "---Status Messages---",
                               320,
                               190,
                               {
                                   {Ctl::ListBox, IDC_STATUS_LIST, "", WS_VSCROLL | WS_TABSTOP, 7, 7, 306, 154},
                                   {Ctl::DefPushButton, IDOK, "OK", WS_TABSTOP, 209, 169, 50, 14},
                                   {Ctl::PushButton, IDCANCEL, "Cancel", WS_TABSTOP, 263, 169, 50, 14},
                               }};
const bool kBaseFormRegistered = (RegisterDialogTemplate(&kBaseForm), true);

constexpr const char* kProfileWriteError =
    "CMainDlg::~CMainDlg: Error writing to profile. Please contact your software maintenance engineer.";
}  // namespace

IMPLEMENT_DYNCREATE(CMainDlg, CFormView)

BEGIN_MESSAGE_MAP(CMainDlg, CFormView)
  ON_COMMAND(ID_READ_CONFIG, &CMainDlg::OnMenuReadConfig)
  ON_COMMAND(ID_SAVE_CONFIG, &CMainDlg::OnMenuSaveConfig)
  ON_COMMAND(ID_FILE_OPEN, &CMainDlg::OnMenuOpenOutputFile)
  ON_COMMAND(ID_PARAMETERS, &CMainDlg::OnMenuParameters)
  ON_WM_SETCURSOR()
  ON_WM_TIMER()
  ON_MESSAGE(WM_SET_WAIT_CURSOR, &CMainDlg::OnSetWaitCursor)
  ON_MESSAGE(WM_REPORT_OPEN_FAILED, &CMainDlg::OnReportOpenFailed)
END_MESSAGE_MAP()

CMainDlg::CMainDlg() : CMainDlg(IDD_MAIN_BASE) {}

CMainDlg::CMainDlg(UINT templateId) : CFormView(templateId) {
  (void)kBaseFormRegistered;
  m_Sheet.Construct("Parameter Settings");
  m_Sheet.m_psh.dwFlags |= PSH_NOAPPLYNOW;
}

CMainDlg::~CMainDlg() {
  // The log must not call into a list that is gone.
  if (COutput* log = AppLog(); log != nullptr && m_logAttached) {
    log->m_pfnLine = nullptr;
    log->m_pLineContext = nullptr;
  }
  if (!WriteProfileSettings(ActiveProfile()))
    AfxMessageBox(ProfileWriteErrorMessage(kProfileWriteError, ActiveProfile()).c_str(), MB_OK | MB_ICONHAND);
  if (m_pWaitDialog != nullptr) {
    delete m_pWaitDialog;
    m_pWaitDialog = nullptr;
  }
}

void CMainDlg::OnInitialUpdate() {
  m_Sheet.m_psh.dwFlags |= PSH_HASHELP;
  // A view that added no pages of its own (the base view) shows the three common ones.
  if (m_Sheet.GetPageCount() == 0) {
    m_GeneralParams.Construct(IDD_GENERAL_PARAMS_NEW);
    m_OutputParams.Construct(IDD_OUTPUT_PARAMS_NEW);
    m_PEValidityFlags.Construct(IDD_PE_VALIDITY);
    m_Sheet.AddPage(&m_GeneralParams);
    m_Sheet.AddPage(&m_OutputParams);
    m_Sheet.AddPage(&m_PEValidityFlags);
  }
  ReadProfileSettings(ActiveProfile(), SDefaultsEnvironment::Current());
  if (CQAVApp* app = QAVApp()) m_GeneralParams.m_bUseClassic = static_cast<int>(app->m_nUseClassic);

  CFormView::OnInitialUpdate();
  if (m_lbStatus.m_hWnd == nullptr && GetDlgItem(IDC_STATUS_LIST) != nullptr)
    m_lbStatus.SubclassDlgItem(IDC_STATUS_LIST, this);
  if (auto* frame = dynamic_cast<CFrameWnd*>(GetParent())) frame->RecalcLayout();
  {
    std::lock_guard<std::recursive_mutex> lock(m_Lock);
    m_hWaitCursor = ::LoadCursor(nullptr, IDC_WAIT);
  }
  if (COutput* log = AppLog(); log != nullptr && m_lbStatus.m_hWnd != nullptr) {
    log->m_pLineContext = static_cast<HWND>(m_lbStatus.m_hWnd);
    log->m_pfnLine = &CMainDlg::LogLineCallback;
    m_logAttached = true;
  }
  // The log's queued lines ("Program Start", loader errors) reach the status list through this timer.
  SetTimer(kLogTimerId, kLogTimerMs);
}

void CMainDlg::ReadProfileSettings(IProfileStore& profile, const SDefaultsEnvironment& env) {
  SGeneralSettings general;
  m_GeneralParams.GetSettings(general);
  ReadGeneralSettings(profile, env, general);
  m_GeneralParams.SetSettings(general);
  if (general.cdromIndex != 0) {
    g_DataRootPath.Set(WithTrailingSeparator(general.otherPath).c_str());
  } else {
    g_DataRootPath.Set(WithTrailingSeparator(general.cdromPath).c_str());
    CWnd* main = AfxGetMainWnd();
    g_hPromptWnd = reinterpret_cast<uintptr_t>(main != nullptr ? main->GetSafeHwnd() : nullptr);
  }
  SOutputSettings output;
  ReadOutputSettings(profile, env, output);
  m_OutputParams.SetSettings(output);
}

bool CMainDlg::WriteProfileSettings(IProfileStore& profile) {
  SGeneralSettings general;
  SOutputSettings output;
  m_GeneralParams.GetSettings(general);
  m_OutputParams.GetSettings(output);
  return WriteViewSettings(profile, general, output, g_PeValid.Get());
}

void CMainDlg::OnParameters() { RunParameterSheet(); }

INT_PTR CMainDlg::RunParameterSheet() {
  SGeneralSettings general;
  SOutputSettings output;
  m_GeneralParams.GetSettings(general);
  m_OutputParams.GetSettings(output);
  const INT_PTR result = m_Sheet.DoModal();
  if (result != IDOK) {
    m_GeneralParams.SetSettings(general);
    m_OutputParams.SetSettings(output);
  }
  return result;
}

BOOL CMainDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  const UINT id = LOWORD(wParam);
  if (id >= ID_WORKER_FIRST && id <= ID_WORKER_LAST && HIWORD(wParam) == 0 && HandleWorkerCommand(id, lParam))
    return TRUE;
  return CFormView::OnCommand(wParam, lParam);
}

bool CMainDlg::HandleWorkerCommand(UINT id, LPARAM payload) {
  if (id == ID_WORKER_CANCELED) m_bRunCancelled = true;
  if (id == ID_WORKER_WIN32_ERROR && payload == static_cast<LPARAM>(ERROR_NOT_ENOUGH_MEMORY)) m_bRunOutOfMemory = true;
  SPendingPath pending;
  const bool withPath = id == ID_WORKER_OUTFILE_ERROR || id == ID_WORKER_OUTPUT_TO || id == ID_WORKER_WRITE_FAILED ||
                        id == ID_WORKER_DATA_FILE_NAME || id == ID_WORKER_REPORT_CANCELLED;
  if (withPath) {
    std::lock_guard<std::mutex> lock(m_pathLock);
    auto it = m_pendingPaths.find(payload);
    if (it != m_pendingPaths.end()) {
      pending = std::move(it->second);
      m_pendingPaths.erase(it);
    }
  }
  if (id == ID_WORKER_WRITE_FAILED) {
    AddStatusLine(WriteFailureLine(pending.path, pending.error).c_str());
    TellUser(WriteFailureMessage(pending.path, pending.error, pending.left));
    return true;
  }
  if (id == ID_WORKER_REPORT_CANCELLED) {
    AddStatusLine(CancelledReportLine(pending.path, pending.left).c_str());
    // A part that stays under the report's name is for the user to take away.
    if (pending.left == EDiscarded::Kept) TellUser(CancelledReportMessage(pending.path));
    return true;
  }
  std::string text;
  switch (WorkerCommandText(id, payload, pending.path.c_str(), text)) {
    case EWorkerAction::Title: SetWaitTitle(text.c_str()); return true;
    case EWorkerAction::Line: AddStatusLine(text.c_str()); return true;
    case EWorkerAction::UpdateData: UpdateData(payload != 0 ? TRUE : FALSE); return true;
    case EWorkerAction::None: return false;
  }
  return false;
}

void CMainDlg::AddStatusLine(const char* text) {
  if (m_lbStatus.m_hWnd == nullptr) return;
  m_lbStatus.AddString(text);
  m_lbStatus.SetTopIndex(std::max(0, m_lbStatus.GetCount() - 6));
}

void CMainDlg::AddStatusLines(HWND list, const char* text) {
  if (!::IsWindow(list)) return;
  std::vector<std::string> lines;
  SplitStatusText(text, lines);
  int count = static_cast<int>(::SendMessage(list, LB_GETCOUNT, 0, 0));
  for (const std::string& line : lines) {
    ::SendMessage(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    ++count;
  }
  while (count > kStatusListMaxLines) {
    ::SendMessage(list, LB_DELETESTRING, 0, 0);
    --count;
  }
  if (count > 0) ::SendMessage(list, LB_SETCURSEL, static_cast<WPARAM>(count - 1), 0);
}

void CMainDlg::LogLineCallback(void* context, const char* line, DWORD) {
  AddStatusLines(static_cast<HWND>(context), line);
}

void CMainDlg::SetWaitCursor(bool on) {
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  m_bBusy = on;
  if (!on) return;
  if (qav::ui::IsUiThread()) ::SetCursor(m_hWaitCursor);
  else PostMessage(WM_SET_WAIT_CURSOR, 1, 0);
}

LRESULT CMainDlg::OnSetWaitCursor(WPARAM wParam, LPARAM) {
  SetWaitCursor(wParam != 0);
  return 1;
}

BOOL CMainDlg::OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) {
  std::lock_guard<std::recursive_mutex> lock(m_Lock);
  if (m_bBusy) {
    ::SetCursor(m_hWaitCursor);
    return TRUE;
  }
  return static_cast<BOOL>(Default());
}

void CMainDlg::OnTimer(UINT_PTR id) {
  if (id == kLogTimerId) {
    // A line that finds no memory is lost, not the program; the kept posts wait for memory.
    try {
      if (COutput* log = AppLog()) log->ProcessItems();
    } catch (const std::bad_alloc&) {
    }
    TellKeptPosts();
  }
  Default();
}

void CMainDlg::PostWorker(UINT id, LPARAM payload) {
  if (!::PostMessage(m_hWnd, WM_COMMAND, MAKEWPARAM(static_cast<int>(id), 0), payload) && ::IsWindow(m_hWnd))
    KeepPost(id, payload);
}

void CMainDlg::KeepPost(UINT id, LPARAM payload, const char* path, DWORD error, EDiscarded left) noexcept {
  std::lock_guard<std::mutex> lock(m_keptLock);
  SKeptPost& k = m_kept[m_nKept < kKeptPosts ? m_nKept++ : kKeptPosts - 1];
  k.id = id;
  k.payload = payload;
  k.error = error;
  k.left = left;
  k.withPath = path != nullptr;
  std::snprintf(k.path, sizeof k.path, "%s", path != nullptr ? path : "");
  m_bAnyKept.store(true);
}

void CMainDlg::TellKeptPosts() {
  // A message box of a post told here runs a loop of its own, whose timer must not tell it again.
  if (!m_bAnyKept.load() || m_bTellingKept || !::IsWindow(m_hWnd)) return;
  m_bTellingKept = true;
  for (;;) {
    SKeptPost k;
    {
      std::lock_guard<std::mutex> lock(m_keptLock);
      if (m_nKept == 0) break;
      k = m_kept[0];
    }
    try {
      LPARAM payload = k.payload;
      if (k.withPath) {
        std::lock_guard<std::mutex> lock(m_pathLock);
        payload = m_nextPathKey++;
        m_pendingPaths[payload] = SPendingPath{k.path, k.error, k.left};
      }
      OnCommand(MAKEWPARAM(static_cast<int>(k.id), 0), payload);
    } catch (const std::bad_alloc&) {
      break;  // still no memory: the post waits for the next call
    }
    std::lock_guard<std::mutex> lock(m_keptLock);
    std::copy(m_kept + 1, m_kept + m_nKept, m_kept);
    m_bAnyKept.store(--m_nKept > 0);
  }
  m_bTellingKept = false;
}

void CMainDlg::PostWorkerDay(UINT id, const CDateTimeEx& day) { PostWorker(id, DayPayload(day)); }

void CMainDlg::PostWorkerError(UINT id, const CDateTimeEx& day, DWORD error) {
  PostWorkerDay(id, day);
  PostWorker(ID_WORKER_WIN32_ERROR, static_cast<LPARAM>(error));
}

void CMainDlg::PostWorkerPath(UINT id, const char* path) { PostPending(id, path); }

void CMainDlg::PostWriteFailure(const std::string& path, DWORD error, EDiscarded left) {
  PostPending(ID_WORKER_WRITE_FAILED, path.c_str(), error, left);
}

void CMainDlg::PostReportCancelled(const std::string& path, EDiscarded left) {
  PostPending(ID_WORKER_REPORT_CANCELLED, path.c_str(), 0, left);
}

void CMainDlg::PostPending(UINT id, const char* path, DWORD error, EDiscarded left) {
  if (path == nullptr) path = "";
  LPARAM key = 0;
  try {
    std::lock_guard<std::mutex> lock(m_pathLock);
    key = m_nextPathKey++;
    m_pendingPaths[key] = SPendingPath{path, error, left};
  } catch (const std::bad_alloc&) {
    KeepPost(id, 0, path, error, left);
    return;
  }
  if (!::PostMessage(m_hWnd, WM_COMMAND, MAKEWPARAM(static_cast<int>(id), 0), key)) {
    {
      std::lock_guard<std::mutex> lock(m_pathLock);
      m_pendingPaths.erase(key);
    }
    if (::IsWindow(m_hWnd)) KeepPost(id, 0, path, error, left);
  }
}

std::unique_ptr<CElementDataSet> CMainDlg::LoadInputData(const CAdrArray<CDBElementEx>& elements,
                                                         const CAdrArray<CDateTimeEx>& days,
                                                         SRowsWhileLoading* rows) {
  return LoadElementData(elements, days, m_poster, m_Run, nullptr, rows);
}

void CMainDlg::SyncWaitDialog() {
  if (!m_bWaitKeepGoing) m_Run.cancel();
  FollowDayLayouts(m_Run.layouts, m_Run.rangeAdded.load(std::memory_order_relaxed));
  m_nWaitPosition = WaitPosition(m_Run.progress.load(std::memory_order_relaxed));
}

int CMainDlg::WaitPosition(uint64_t progress) const {
  return static_cast<int>(std::min<uint64_t>(progress / static_cast<uint64_t>(m_nWaitDivisor), INT_MAX));
}

void CMainDlg::StartWaitRange(int64_t fiveMinute, int64_t fine) {
  m_nWaitDivisor = CWaitEstimator::ScaleDivisor(std::max(fiveMinute, fine));
  m_nWaitRanges[0] = fiveMinute / m_nWaitDivisor;
  m_nWaitRanges[1] = fine / m_nWaitDivisor;
  m_nWaitRange = static_cast<int>(m_nWaitRanges[0]);
  m_waitPlan.clear();
  m_nWaitPhase = -1;
  if (m_pWaitDialog != nullptr) m_pWaitDialog->SetRange(0, m_nWaitRange);
}

namespace {
// The plan's phases in the bar's units, moved between their two layouts as the range is.
std::vector<CWaitEstimator::SPhase> BarPhases(const std::vector<CMainDlg::SWaitPhase>& plan, const CDayLayouts* layouts,
                                              int64_t divisor) {
  std::vector<CWaitEstimator::SPhase> phases;
  for (const CMainDlg::SWaitPhase& p : plan) {
    const int64_t units = layouts != nullptr ? layouts->range(p.units[0], p.units[1]) : p.units[0];
    phases.push_back({p.kind, p.family, units / divisor});
  }
  return phases;
}
}  // namespace

void CMainDlg::StartWaitPlan(std::vector<SWaitPhase> phases) {
  m_waitPlan = std::move(phases);
  m_nWaitPhase = -1;
  if (m_pWaitDialog != nullptr) m_pWaitDialog->SetPlan(BarPhases(m_waitPlan, nullptr, m_nWaitDivisor));
}

void CMainDlg::FollowDayLayouts(const CDayLayouts& layouts, int64_t added) {
  const int64_t wide = layouts.range(m_nWaitRanges[0], m_nWaitRanges[1]) + added / m_nWaitDivisor;
  const int range = static_cast<int>(std::clamp<int64_t>(wide, 0, INT_MAX));
  if (range == m_nWaitRange) return;
  m_nWaitRange = range;
  if (m_pWaitDialog == nullptr) return;
  m_pWaitDialog->SetRange(0, range);
  if (!m_waitPlan.empty()) m_pWaitDialog->SetPlan(BarPhases(m_waitPlan, &layouts, m_nWaitDivisor));
}

void CMainDlg::WaitWhileSet(const std::atomic<uint8_t>& flag, bool ending) {
  while (flag.load() != 0) {
    // The wait dialog's timer reads the run's progress as it is now.
    SyncWaitDialog();
    if (!CWaitDialog::PumpMessages()) m_bWaitKeepGoing = false;
    // A Cancel that the pump has just handled reaches the run now, not one wait later.
    SyncWaitDialog();
    if ((ending || !m_bWaitKeepGoing) && !m_bInputHeld) {
      m_bInputHeld = true;
      qav::ui::HoldUserInput();
    }
    if (flag.load() == 0) break;
    qav::ui::WaitForInput(kRunLookMs);
  }
  SyncWaitDialog();
}

void CMainDlg::OpenRunWait() {
  m_bWaitKeepGoing = true;
  m_nWaitPosition = 0;
  m_pWaitDialog = new (std::nothrow) CWaitDialog(&m_nWaitPosition, &m_bWaitKeepGoing);
  if (m_pWaitDialog != nullptr) m_pWaitDialog->m_fnSync = [this] { SyncWaitDialog(); };
}

void CMainDlg::CloseRunWait() {
  m_nWaitPosition = m_nWaitRange;
  CWaitDialog::PumpMessages();
  delete m_pWaitDialog;
  m_pWaitDialog = nullptr;
  if (m_bInputHeld) {
    m_bInputHeld = false;
    qav::ui::ReleaseUserInput();
  }
}

void CMainDlg::SetWaitTitle(const char* title, bool newPace) {
  if (m_pWaitDialog == nullptr || !::IsWindow(m_pWaitDialog->GetSafeHwnd())) return;
  if (!newPace) {
    m_pWaitDialog->SetWindowText(title);
    return;
  }
  // The new pace begins at the run's progress as it is now.
  SyncWaitDialog();
  m_pWaitDialog->BeginPhase(title);
}

void CMainDlg::BeginWaitPhase(const char* title, int kind) {
  int phase = m_nWaitPhase + 1;
  while (phase < static_cast<int>(m_waitPlan.size()) && m_waitPlan[static_cast<size_t>(phase)].kind != kind) ++phase;
  if (phase >= static_cast<int>(m_waitPlan.size())) {
    SetWaitTitle(title);
    return;
  }
  m_nWaitPhase = phase;
  if (m_pWaitDialog == nullptr || !::IsWindow(m_pWaitDialog->GetSafeHwnd())) return;
  // The phase begins at the run's progress as it is now.
  SyncWaitDialog();
  m_pWaitDialog->BeginPhase(title, phase);
}

void CMainDlg::OpenReportWithProgram(const std::string& path, const std::string& program) {
  const HWND view = m_hWnd;
  const DWORD error = StartReportViewer(path, program, [view, path, program](int status) {
    const int key = KeepOpenFailure(ReportOpenFailureText(path, program, 0, status));
    if (!::PostMessage(view, WM_REPORT_OPEN_FAILED, static_cast<WPARAM>(key), 0)) {
      std::string dropped;
      TakeOpenFailure(key, dropped);
    }
  });
  if (error != 0) TellUser(ReportOpenFailureText(path, program, error));
}

LRESULT CMainDlg::OnReportOpenFailed(WPARAM key, LPARAM) {
  std::string text;
  if (TakeOpenFailure(static_cast<int>(key), text)) TellUser(text);
  return 0;
}

void CMainDlg::TellUser(const std::string& text) {
  if (qav::ui::QuitRequested()) {
    std::fprintf(stderr, "qav: %s\n", text.c_str());
    return;
  }
  if (m_bRunning.load() != 0 || m_pWaitDialog != nullptr) {
    m_heldMessages.push_back(text);
    return;
  }
  MessageBox(text.c_str(), nullptr, MB_OK | MB_ICONEXCLAMATION);
}

void CMainDlg::TellMissingData(const SLoadCount& count, bool boxForSome) {
  if (m_bRunCancelled) return;
  const std::string line = MissingDataLine(count.elementDays, count.WithoutData());
  if (line.empty()) return;
  for (const std::string& missing : MissingDataLines(count)) AddStatusLine(missing.c_str());
  ShowStatusList();
  if (boxForSome || count.withData == 0) TellUser(line);
}

void CMainDlg::TellNotWrittenForMemory(const std::vector<std::string>& reports) {
  if (m_bRunOutOfMemory && !reports.empty()) TellUser(NotWrittenMessage(reports, ERROR_NOT_ENOUGH_MEMORY));
}

void CMainDlg::ShowHeldMessages() {
  std::vector<std::string> held;
  held.swap(m_heldMessages);
  for (const std::string& text : held) TellUser(text);
}
