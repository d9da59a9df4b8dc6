#include "support/wait_dialog.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "platform/kernel/time.h"
#include "platform/ui/app.h"
#include "platform/ui/backend.h"

namespace {

const DialogTemplate kWaitTemplate = {
    IDD_WAIT_DIALOG,
    "Working",
    220,
    59,
    {
        {Ctl::Static, IDC_WAIT_MESSAGE, "Click 'Cancel' to cancel the operation", SS_NOPREFIX, 7, 7, 206, 8},
        {Ctl::Progress, IDC_WAIT_PROGRESS, "", 0, 7, 19, 206, 12},
        {Ctl::Static, IDC_STATIC, "Time Remaining:", 0, 7, 41, 70, 8},
        {Ctl::Static, IDC_WAIT_TIME_LEFT, WAIT_NO_ESTIMATE_TEXT, 0, 81, 41, 60, 8},
        {Ctl::DefPushButton, IDCANCEL, "Cancel", 0, 163, 38, 50, 14},
    },
};

void RegisterWaitTemplate() {
  static const bool once = (RegisterDialogTemplate(&kWaitTemplate), true);
  (void)once;
}

// The wait dialogs that are up (user-interface thread), the newest last.
std::vector<CWaitDialog*>& Shown() {
  static auto* shown = new std::vector<CWaitDialog*>;
  return *shown;
}

CWaitDialog* NewestShown() {
  for (auto it = Shown().rbegin(); it != Shown().rend(); ++it)
    if ((*it)->m_hWnd != nullptr && (*it)->IsWindowVisible()) return *it;
  return nullptr;
}

// Pixels between two wait dialogs: room for a window manager's title bar and a little more.
constexpr int kGap = 56;

}  // namespace

BEGIN_MESSAGE_MAP(CWaitDialog, CDialog)
  ON_WM_TIMER()
END_MESSAGE_MAP()

CWaitDialog::CWaitDialog(int* position, bool* keepGoing, const char* caption, const char* message, CWnd* parent)
    : CDialog(IDD_WAIT_DIALOG, parent), m_pPosition(position), m_pKeepGoing(keepGoing) {
  RegisterWaitTemplate();
  if (CWnd* main = AfxGetMainWnd(); main != nullptr && ::IsWindow(main->m_hWnd)) {
    ::EnableWindow(main->m_hWnd, FALSE);
    m_hDisabledMain = main->m_hWnd;
  }
  // Without a parent named, the dialog belongs to the window it is shown over: the main window, or
  // a wait dialog already up (a report opened while a run goes on). A second one is placed beside
  // the first, whole and readable, and the keyboard stays with the first until the user picks
  // the second.
  CWaitDialog* under = parent == nullptr ? NewestShown() : nullptr;
  if (parent == nullptr) parent = under != nullptr ? static_cast<CWnd*>(under) : AfxGetMainWnd();
  if (!Create(IDD_WAIT_DIALOG, parent)) return;
  Shown().push_back(this);
  SetWindowText(caption != nullptr ? caption : "Working");
  m_wndMessage.SetWindowText(message != nullptr ? message : "Click Cancel to cancel the operation");
  if (under != nullptr) PlaceBeside(under);
  ShowWindow(under != nullptr ? SW_SHOWNOACTIVATE : SW_SHOW);
  SetTimer(1, 500);
}

CWaitDialog::~CWaitDialog() {
  Close();
  Shown().erase(std::remove(Shown().begin(), Shown().end(), this), Shown().end());
}

// Below the other dialog, or above it where the screen ends, at its left edge.
void CWaitDialog::PlaceBeside(CWaitDialog* other) {
  CRect mine, theirs;
  GetWindowRect(&mine);
  other->GetWindowRect(&theirs);
  const int drop = theirs.Height() + kGap;
  int top = theirs.top + drop;
  if (top + mine.Height() > qav::ui::CurrentBackend().ScreenSize().cy) top = theirs.top - mine.Height() - kGap;
  MoveWindow(theirs.left, std::max(0, top), mine.Width(), mine.Height());
}

void CWaitDialog::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_WAIT_PROGRESS, m_wndProgress);
  DDX_Control(dx, IDC_WAIT_MESSAGE, m_wndMessage);
  DDX_Text(dx, IDC_WAIT_TIME_LEFT, m_strTimeLeft);
}

void CWaitDialog::SetRange(int lower, int upper) {
  int position = lower, bar = 0, oldLower = 0, oldUpper = 0;
  if (m_hWnd != nullptr) m_wndProgress.GetRange(oldLower, oldUpper);
  if (m_pPosition != nullptr) {
    std::atomic_ref<int> pos(*m_pPosition);
    // Where the bar stands for the position in the old range (shown, or about to be), once it has
    // moved.
    if (m_hWnd != nullptr && (bar = m_wndProgress.GetPos()) > oldLower)
      bar = std::max(bar, BarPosition(pos.load(std::memory_order_relaxed)));
    if (pos.load(std::memory_order_relaxed) < lower) pos.store(lower, std::memory_order_relaxed);
    if (pos.load(std::memory_order_relaxed) > upper) pos.store(upper, std::memory_order_relaxed);
    position = pos.load(std::memory_order_relaxed);
  }
  if (m_hWnd == nullptr) return;
  m_wndProgress.SetRange32(lower, upper);
  if (bar <= oldLower || oldUpper <= oldLower || upper <= lower) return;  // the bar has not moved
  // The share of the bar stays where it is in the new range; the rest of the bar goes with the
  // units from the position to the new upper end (none left: the bar is full).
  const double share = std::min(1.0, static_cast<double>(bar - oldLower) / (static_cast<double>(oldUpper) - oldLower));
  const double keep = lower + share * (static_cast<double>(upper) - lower);
  const double left = static_cast<double>(upper) - position;
  m_fBarScale = left > 0 ? (upper - keep) / left : 0.0;
  m_wndProgress.SetPos(BarPosition(position));
}

int CWaitDialog::BarPosition(int position) const {
  int lower = 0, upper = 0;
  m_wndProgress.GetRange(lower, upper);
  const double bar = upper - (static_cast<double>(upper) - position) * m_fBarScale;
  return static_cast<int>(std::clamp(bar + 0.5, static_cast<double>(lower), static_cast<double>(upper)));
}

void CWaitDialog::SetPercent(int percent) {
  if (m_hWnd == nullptr || m_pPosition == nullptr) return;
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  int lower = 0, upper = 0;
  m_wndProgress.GetRange(lower, upper);
  const int64_t pos = lower + (static_cast<int64_t>(upper) - lower) * percent / 100;
  std::atomic_ref<int>(*m_pPosition).store(static_cast<int>(pos), std::memory_order_relaxed);
}

void CWaitDialog::SetMessage(const char* text) {
  if (m_hWnd != nullptr) m_wndMessage.SetWindowText(text);
}

void CWaitDialog::BeginPhase(const char* caption, int phase) {
  if (m_hWnd == nullptr) return;
  SetWindowText(caption);
  if (m_pPosition == nullptr) return;
  const int position = std::atomic_ref<int>(*m_pPosition).load(std::memory_order_relaxed);
  m_estimator.BeginPhase(GetTickCount(), position, phase);
  m_wndProgress.SetPos(BarPosition(m_estimator.m_nLastPosition));
}

void CWaitDialog::SetPlan(const std::vector<CWaitEstimator::SPhase>& phases) {
  m_estimator.SetPlan(phases.data(), static_cast<int>(phases.size()));
}

void CWaitDialog::OnCancel() {
  if (m_pKeepGoing != nullptr) std::atomic_ref<bool>(*m_pKeepGoing).store(false, std::memory_order_relaxed);
  if (m_fnSync) m_fnSync();
  if (m_hWnd == nullptr) return;
  // While the dialog holds the main window disabled, it stays until its owner closes it once the
  // work has stopped: the main window is enabled and takes the keyboard the moment the dialog goes,
  // so no key is typed into a window that still refuses input. Its Cancel has done its part.
  if (m_hDisabledMain != nullptr && ::IsWindow(m_hDisabledMain)) {
    if (CWnd* cancel = GetDlgItem(IDCANCEL)) cancel->EnableWindow(FALSE);
    return;
  }
  DestroyWindow();
}

void CWaitDialog::Close() {
  if (m_hDisabledMain != nullptr) {
    ::EnableWindow(m_hDisabledMain, TRUE);  // does nothing when the main window is gone
    m_hDisabledMain = nullptr;
  }
  if (m_hWnd == nullptr) return;
  // A window goes with its owner: a wait dialog shown beside this one (a report being opened while
  // a run goes on) stays up under this one's owner.
  const HWND owner = ::GetParent(m_hWnd);
  for (CWaitDialog* other : Shown())
    if (other != this && other->m_hWnd != nullptr && ::GetParent(other->m_hWnd) == m_hWnd && owner != nullptr)
      ::SetWindowOwner(other->m_hWnd, owner);
  DestroyWindow();
}

BOOL CWaitDialog::PumpMessages() {
  if (!qav::ui::PumpPending()) return 0;
  if (CWinThread* thread = AfxGetThread()) {
    for (LONG count = 0; thread->OnIdle(count); ++count) {
    }
  }
  return 1;
}

void CWaitDialog::OnTimer(UINT_PTR id) {
  if (id == 1 && m_hWnd != nullptr && m_pPosition != nullptr) {
    if (m_fnSync) m_fnSync();
    const int position = std::atomic_ref<int>(*m_pPosition).load(std::memory_order_relaxed);
    int lower = 0, upper = 0;
    m_wndProgress.GetRange(lower, upper);
    if (m_estimator.OnTick(GetTickCount(), position, upper)) m_wndProgress.SetPos(BarPosition(position));
    if (m_estimator.Shown()) {
      char text[32];
      CWaitEstimator::FormatTime(m_estimator.ShownTime(), text, sizeof text);
      m_strTimeLeft = text;
    }
    UpdateData(FALSE);
  }
  CDialog::OnTimer(id);
}
