#include "support/thread.h"

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <new>
#include <string>

#include "platform/base/errors.h"
#include "platform/base/msgbox.h"
#include "platform/kernel/threads.h"
#include "platform/ui/app.h"
#include "platform/ui/wnd.h"
#include "support/message_box_ex.h"
#include "support/mfcex_dialog.h"

// The gate a new thread waits at before it runs its procedure. The thread holds its own reference,
// so opening the gate stays safe while the thread ends and deletes its CThread.
struct CThread::SStartGate {
  std::mutex mutex;
  std::condition_variable opened;
  bool open = false;

  void Open() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      open = true;
    }
    opened.notify_all();
  }
  void WaitOpen() {
    std::unique_lock<std::mutex> lock(mutex);
    opened.wait(lock, [this] { return open; });
  }
};

CThread::PFNREPORTFAILURE CThread::s_pfnReportFailure = &CThread::ShowFailureMessageBox;

void CThread::ShowFailureMessageBox(const char* text, const char* caption, UINT style) {
  if (qav::ui::IsUiThread()) {
    ShowMessageBoxEx(nullptr, text, caption, style);
    return;
  }
  CWnd* main = AfxGetMainWnd();
  HWND frame = main != nullptr ? main->m_hWnd : nullptr;
  if (frame != nullptr && ::IsWindow(frame)) {
    const std::string message = std::string(text) + "\n" + caption;
    ::SendMessage(frame, WM_SHOW_MESSAGE_BOX, reinterpret_cast<WPARAM>(message.c_str()), static_cast<LPARAM>(style));
    return;
  }
  std::fprintf(stderr, "%s: %s\n", caption, text);
}
std::atomic<int> CThread::s_nFailNextCreates{0};

CThread::CThread(AFX_THREADPROC pfnThreadProc, DWORD nStopTimeout, int nPriority, bool bStartSuspended,
                 UINT nStackSize, void* pSecurityAttributes)
    : m_pfnThreadProc(pfnThreadProc),
      m_nPriority(nPriority),
      m_nStopTimeout(nStopTimeout),
      m_bStartSuspended(bStartSuspended),
      m_nStackSize(nStackSize),
      m_pSecurityAttributes(pSecurityAttributes),
      m_pThread(nullptr),
      m_pWorker(nullptr),
      m_bAutoDelete(true),
      m_bRunning(false),
      m_bSuspended(false) {}

CThread::~CThread() {
  if (m_bRunning) {
    m_bRunning = false;
    m_bSuspended = false;
  }
  // The thread is detached: it finishes on its own (a suspended one that is never resumed stays
  // parked until the process ends).
  delete m_pThread;
}

bool CThread::Create(void* pParam) {
  if (m_bRunning) {
    m_bRunning = false;
    m_bSuspended = false;
  }
  DWORD err = ERROR_NOT_ENOUGH_MEMORY;
  Thread* thread = nullptr;
  std::shared_ptr<SStartGate> gate;
  if (s_nFailNextCreates.load() > 0 && s_nFailNextCreates.fetch_sub(1) > 0) {
    err = ERROR_NOT_ENOUGH_MEMORY;
  } else if (m_pfnThreadProc == nullptr) {
    err = ERROR_INVALID_PARAMETER;
  } else if ((thread = new (std::nothrow) Thread) != nullptr) {
    // The gate and the thread's function take memory too: without it the thread is not created.
    try {
      gate = std::make_shared<SStartGate>();
      const AFX_THREADPROC proc = m_pfnThreadProc;
      std::function<DWORD()> body = [proc, pParam, gate]() -> DWORD {
        gate->WaitOpen();
        return proc(pParam);
      };
      err = thread->Create(std::move(body), false, m_nStackSize);
    } catch (const std::bad_alloc&) {
      err = ERROR_NOT_ENOUGH_MEMORY;
    }
  }
  if (err != 0) {
    delete thread;
    if (s_pfnReportFailure != nullptr) s_pfnReportFailure("Could not create Thread!", "CThread::Create()", MB_ICONHAND);
    return false;
  }
  // The thread waits at its start gate: store it and set running before it may touch this object.
  // It is detached first, as the thread may delete this object (and the Thread) once it runs.
  thread->Detach();
  delete m_pThread;
  m_pThread = thread;
  m_pStartGate = gate;
  m_bRunning = true;
  if (m_bStartSuspended) {
    m_bSuspended = true;
  } else {
    gate->Open();  // `gate` is our own reference: this object may be gone once it opens
  }
  return true;
}

void CThread::Resume() {
  if (!m_bSuspended) return;
  m_bSuspended = false;
  std::shared_ptr<SStartGate> gate = m_pStartGate;
  if (gate != nullptr) gate->Open();
}

DWORD CThread::Wait(DWORD nTimeoutMs) {
  if (m_pThread == nullptr) return WAIT_OBJECT_0;
  return m_pThread->Wait(nTimeoutMs);
}

void CThread::Stop() {
  if (!m_bRunning) return;
  m_bRunning = false;
  Resume();
  Wait(m_nStopTimeout);
}

bool CThread::GetExitCode(DWORD& nExitCode) const {
  if (m_pThread == nullptr) return false;
  DWORD code = 0;
  if (!m_pThread->GetExitCode(code) || code == STILL_ACTIVE) return false;
  nExitCode = code;
  return true;
}

bool CThread::SetUpAndCreate(AFX_THREADPROC pfn, int nPriority, bool bStartSuspended, UINT nStackSize,
                             void* pSecurityAttributes) {
  m_pfnThreadProc = pfn;
  m_nPriority = nPriority;
  m_bStartSuspended = bStartSuspended;
  m_nStackSize = nStackSize;
  m_pSecurityAttributes = pSecurityAttributes;
  return Create(this);
}

CThread* CThread::BeginThread(CFunctorBase* pWorker, int nPriority, bool bStartSuspended, UINT nStackSize,
                              void* pSecurityAttributes) {
  CThread* p = new (std::nothrow) CThread;
  if (p == nullptr) {
    delete pWorker;
    return nullptr;
  }
  p->m_pWorker = pWorker;
  if (!p->SetUpAndCreate(&CThread::FunctorThreadProc, nPriority, bStartSuspended, nStackSize,
                         pSecurityAttributes)) {
    // Nothing runs: free the functor and the object rather than leave them behind.
    delete p->m_pWorker;
    p->m_pWorker = nullptr;
    delete p;
    return nullptr;
  }
  return p;
}

UINT CThread::FunctorThreadProc(void* pParam) {
  CThread* p = static_cast<CThread*>(pParam);
  const UINT result = p->m_pWorker != nullptr ? p->m_pWorker->Invoke() : 0;
  delete p->m_pWorker;
  p->m_pWorker = nullptr;
  if (p->m_bAutoDelete) delete p;
  return result;
}

UINT CThread::ObjectThreadProc(void* pParam) {
  CThread* p = static_cast<CThread*>(pParam);
  if (!p->InitInstance()) return 0;
  const UINT result = p->Run();
  p->ExitInstance();
  if (p->m_bAutoDelete) delete p;
  return result;
}
