// CMainDlg: the base of the two main views (Classic and New). It owns what both share: the status
// list, the "Parameter Settings" sheet with the General, Output and PE validity pages, the settings
// of the profile sections GENERAL, OUTPUT and PE_VALID, the report context of a run (report file,
// keep-going and running flags, progress counter, wait dialog), the wait cursor, the worker
// command ids 500-530 and the routing of the menu commands to the view's virtual operations.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/pages/general_params.h"
#include "app/pages/output_params.h"
#include "app/pages/pe_validity_flags.h"
#include "app/shell/input_loader.h"
#include "app/shell/profile_store.h"
#include "app/shell/settings.h"
#include "app/shell/worker_ids.h"
#include "platform/app/file.h"
#include "platform/ui/app.h"
#include "support/wait_dialog.h"
#include "trafficdata/run_control.h"

constexpr UINT IDD_MAIN_CLASSIC = 200;
constexpr UINT IDD_MAIN_NEW = 202;
constexpr UINT IDD_MAIN_BASE = 205;
// A report viewer ended with a failure soon after it was started (wParam: the key of the text
// kept by KeepOpenFailure).
constexpr UINT WM_REPORT_OPEN_FAILED = 0x140E;
// A run's worker is ending (its last post; wParam: the run's number).
constexpr UINT WM_RUN_ENDED = 0x140F;

// How often a view looks at its running worker while the user does nothing (ms).
constexpr DWORD kRunLookMs = 50;

class CMainDlg : public CFormView {
  DECLARE_DYNCREATE(CMainDlg)

 public:
  CMainDlg();                               // template 205
  explicit CMainDlg(UINT templateId);       // the derived view's template (200, 202)
  ~CMainDlg() override;

  // 1-5: status list, pages and the sheet (in this order).
  CListBox m_lbStatus;
  CGeneralParams m_GeneralParams;
  CPropertySheet m_Sheet;
  COutputParams m_OutputParams;
  CPEValidityFlags m_PEValidityFlags;
  // 6: the report file of the run, and the file the runs write through: that one, or a test's.
  CStdioFile m_ReportFile;
  CStdioFile* m_pReportFile = &m_ReportFile;
  // 7: the wait dialog of the running retrieval, or null; deleted with the view.
  CWaitDialog* m_pWaitDialog = nullptr;
  // 8-10: keep-going flag and progress counter (m_Run), running flag. The worker reads and writes
  // them without a lock, so they are atomics.
  CRunFlags m_Run;
  std::atomic<uint8_t> m_bRunning{0};
  // What the wait dialog reads and writes (it takes plain values); SyncWaitDialog moves them.
  int m_nWaitPosition = 0;
  bool m_bWaitKeepGoing = true;
  // The run's range for five-minute and for 20-second days and the one the bar has now (see
  // FollowDayLayouts), in the bar's units: the run's units divided by m_nWaitDivisor.
  int64_t m_nWaitRanges[2] = {0, 0};
  int m_nWaitRange = 0;
  int64_t m_nWaitDivisor = 1;
  // A run planned in phases (StartWaitPlan): each one's kind and family (CWaitEstimator::SPhase)
  // and its units for five-minute and for 20-second days; the phase under way (-1 before the first).
  struct SWaitPhase {
    int kind = 0, family = 0;
    int64_t units[2] = {0, 0};
  };
  std::vector<SWaitPhase> m_waitPlan;
  int m_nWaitPhase = -1;
  // 11-13: wait cursor, its lock and the busy flag.
  HCURSOR m_hWaitCursor = nullptr;
  std::recursive_mutex m_Lock;
  bool m_bBusy = false;

  // ---- The view's own operations, reached from the menu ----
  virtual void OnReadConfig() {}
  virtual void OnSaveConfig() {}
  virtual void OnOpenOutputFile() {}
  virtual void OnParameters();  // shows the sheet modally
  // Shows the sheet; any end but OK gives the General and Output pages back the values they had
  // before, also those a page took when the user left it for another tab.
  INT_PTR RunParameterSheet();
  virtual void OnViewHook1() {}
  virtual void OnViewHook2() {}

  // ---- Framework operations ----
  void OnInitialUpdate() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  void DoDataExchange(CDataExchange* dx) override {}

  // ---- Profile ----
  // Reads GENERAL (except USE_CLASSIC) and OUTPUT into the pages; sets the archive root and the
  // disc-request window from them.
  void ReadProfileSettings(IProfileStore& profile, const SDefaultsEnvironment& env);
  // Writes GENERAL, OUTPUT and PE_VALID in order; every key is attempted. False when any failed.
  bool WriteProfileSettings(IProfileStore& profile);

  // ---- Status list ----
  // The log's line callback: appends the text's lines to the list, keeps the last 50, selects the
  // last line.
  static void AddStatusLines(HWND list, const char* text);
  // Adds one line as the worker ids do (top index count - 6, never below 0).
  void AddStatusLine(const char* text);

  // ---- Wait cursor ----
  // Any thread: sets the busy flag under the lock; on shows the wait cursor at once, off takes
  // effect at the next cursor update.
  void SetWaitCursor(bool on);
  LRESULT OnSetWaitCursor(WPARAM wParam, LPARAM lParam);
  BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message);
  void OnTimer(UINT_PTR id);

  // ---- Worker side ----
  // Any thread: posts a worker command id with its payload to the view's window.
  void PostWorker(UINT id, LPARAM payload = 0);
  void PostWorkerDay(UINT id, const CDateTimeEx& day);
  // A failure with a day: the id, then 502 with the error number.
  void PostWorkerError(UINT id, const CDateTimeEx& day, DWORD error);
  // 513 or 514 with a path: the view keeps a copy until the id is handled.
  void PostWorkerPath(UINT id, const char* path);
  // 523: the report at `path` could not be written (`error`) and was given up (`left`); the view
  // adds a status line and tells the user in a message box once the run is over.
  void PostWriteFailure(const std::string& path, DWORD error, EDiscarded left);
  // 524: the report at `path`, cut short by Cancel, was given up (`left`); the view adds a status
  // line, and tells the user in a message box when the part written could not be taken away.
  void PostReportCancelled(const std::string& path, EDiscarded left);
  // The common input loader (on the worker thread): see LoadElementData.
  // With rows, the loader makes the New view's rows while it reads (SRowsWhileLoading).
  std::unique_ptr<CElementDataSet> LoadInputData(const CAdrArray<CDBElementEx>& elements,
                                                 const CAdrArray<CDateTimeEx>& days, SRowsWhileLoading* rows = nullptr);

  // ---- User-interface side of a run ----
  // Clears the keep-going flag in the run when the wait dialog's Cancel cleared its own, and moves
  // the progress counter into the position the wait dialog reads.
  // The Classic view's run has flags of its own and overrides it.
  virtual void SyncWaitDialog();
  // The position on the bar of a run's progress counter.
  int WaitPosition(uint64_t progress) const;
  // Starts the wait dialog's range of a run at its five-minute range: `fiveMinute` and `fine` are
  // the run's ranges for either layout in its units; the larger sets the scale into the bar's int.
  void StartWaitRange(int64_t fiveMinute, int64_t fine);
  // Moves the wait dialog's range between the run's two ranges by the layouts of the days read,
  // and grows it by the units the run has added to it; a plan's phases move alike.
  void FollowDayLayouts(const CDayLayouts& layouts, int64_t added = 0);
  // The run goes through these phases (after StartWaitRange, which drops a plan before): the time
  // left prices each phase by the pace of its kind (CWaitEstimator::SetPlan).
  void StartWaitPlan(std::vector<SWaitPhase> phases);
  // The plan's next phase of kind `kind` begins: the wait dialog's title is `title`, and the time
  // left follows the phase. Without such a phase, the title alone changes.
  void BeginWaitPhase(const char* title, int kind);
  // Pumps messages and the wait dialog until `flag` is 0. The user's input is taken as it comes,
  // so a Cancel reaches the run at once; a message the worker posts (a title, a line) and the wait
  // dialog's timer end the wait too, so they show at once; the flag is looked at again every
  // kRunLookMs. A quit request (the program asked to end) cancels the run as Cancel does. Once the
  // run is ending (cancelled, or `ending`: its worker winds down), the user's input is held until
  // CloseRunWait: a click on GO made meanwhile reaches the main window when it takes input again,
  // and starts the next run, instead of being lost on a window still disabled.
  void WaitWhileSet(const std::atomic<uint8_t>& flag, bool ending = false);
  // Shows a run's wait dialog over the run's position and keep-going flag (set back to 0 and true).
  // Its Cancel reaches the run at once (SyncWaitDialog), also from a loop nested in the wait.
  void OpenRunWait();
  // The run's wait is over: the bar shows all done once, the wait dialog goes (the main window
  // takes input again) and the input held meanwhile comes.
  void CloseRunWait();
  // Sets the wait dialog's title (nothing without a wait dialog). With `newPace` the run's work
  // changes its kind here, and the time left follows the pace of what comes from now on
  // (CWaitDialog::BeginPhase).
  void SetWaitTitle(const char* title, bool newPace = false);

  // ---- Opening reports, telling the user ----
  // Starts `program` (or, when it is empty, the desktop's default application) on the report. When
  // nothing can be started, or the program soon ends with a failure, a message box names the file
  // and says why.
  void OpenReportWithProgram(const std::string& path, const std::string& program);
  // A message the user must act on: shown at once, or held until the run going on has ended and
  // its wait dialog is gone. While the program ends (a quit request) it goes to standard error.
  void TellUser(const std::string& text);
  // Shows the messages held during a run, oldest first.
  void ShowHeldMessages();
  // Tells the worker posts that could not be made for want of memory (KeepPost), oldest first, as
  // if they had come now; those that still find no memory wait for the next call. The log timer
  // calls it, and each view at the end of its run.
  void TellKeptPosts();
  // The end of a run whose load left element-days without data (nothing when every one was read):
  // the status list names them and comes into view. A message box says how many there were when
  // none was read, and with `boxForSome` when some were not: a report that writes them as zero
  // traffic reads like the road's own data.
  // Nothing for a run that was cancelled: its load stopped short, so what it did not read is not
  // missing. `m_bRunCancelled` is set when the run's cancel line arrives; a run clears it at GO.
  void TellMissingData(const SLoadCount& count, bool boxForSome);
  bool m_bRunCancelled = false;
  // The end of a run that ran out of memory (its not-enough-memory line came; `m_bRunOutOfMemory`,
  // which a run clears at GO): a message box names the reports it did not write, which the status
  // line alone leaves unsaid. `reports` are those that no other box or line names (neither written,
  // nor given up, nor failed to open).
  void TellNotWrittenForMemory(const std::vector<std::string>& reports);
  bool m_bRunOutOfMemory = false;
  // Brings the status list into view; the New view's list is a window of its own.
  virtual void ShowStatusList() {}
  LRESULT OnReportOpenFailed(WPARAM key, LPARAM);

  // The view's window as the loader's poster.
  IWorkerPoster& Poster() { return m_poster; }

 protected:
  void OnMenuReadConfig() { OnReadConfig(); }
  void OnMenuSaveConfig() { OnSaveConfig(); }
  void OnMenuOpenOutputFile() { OnOpenOutputFile(); }
  void OnMenuParameters() { OnParameters(); }
  // The base's handling of ids 500-530; false for ids it leaves to the framework.
  bool HandleWorkerCommand(UINT id, LPARAM payload);
  // The log callback (context: the status list's window).
  static void LogLineCallback(void* context, const char* line, DWORD kind);

  DECLARE_MESSAGE_MAP()

 private:
  class CViewPoster : public IWorkerPoster {
   public:
    explicit CViewPoster(CMainDlg* view) : m_view(view) {}
    void Post(UINT id, LPARAM payload) override { m_view->PostWorker(id, payload); }
    void PostPath(UINT id, const std::string& path) override { m_view->PostWorkerPath(id, path.c_str()); }

   private:
    CMainDlg* m_view;
  };
  CViewPoster m_poster{this};
  std::mutex m_pathLock;
  struct SPendingPath {
    std::string path;
    DWORD error = 0;                      // 523
    EDiscarded left = EDiscarded::Kept;   // 523, 524
  };
  std::map<LPARAM, SPendingPath> m_pendingPaths;  // path payloads of 513/514/523/524/529 not yet handled
  void PostPending(UINT id, const char* path, DWORD error = 0, EDiscarded left = EDiscarded::Kept);

  // A worker post for which the message queue, or the copy of its path, had no memory. It is kept
  // in room made with the view (nothing is made on the heap to keep it) until TellKeptPosts; a
  // longer path is cut.
  struct SKeptPost {
    UINT id = 0;
    LPARAM payload = 0;
    DWORD error = 0;
    EDiscarded left = EDiscarded::Kept;
    bool withPath = false;
    char path[1024] = {};
  };
  static constexpr int kKeptPosts = 16;
  // Any thread. When the room is full the newest post takes the last place: a run's last post
  // says how it ended.
  void KeepPost(UINT id, LPARAM payload, const char* path = nullptr, DWORD error = 0,
                EDiscarded left = EDiscarded::Kept) noexcept;
  std::mutex m_keptLock;
  SKeptPost m_kept[kKeptPosts];
  int m_nKept = 0;                      // under m_keptLock
  std::atomic<bool> m_bAnyKept{false};  // m_nKept > 0, read without the lock
  bool m_bTellingKept = false;          // user-interface thread: a kept post is being told
  LPARAM m_nextPathKey = 1;
  bool m_logAttached = false;
  bool m_bInputHeld = false;  // WaitWhileSet holds the user's input until CloseRunWait
  std::vector<std::string> m_heldMessages;
};
