// Worker threads: CThread wraps one thread that is always created suspended, then resumed, and
// that deletes its CThread object when it ends (auto-delete). CFunctor<T> runs a member function
// of an object on such a thread; StartFunctorThread is the usual way in.
#pragma once

#include <atomic>
#include <memory>
#include <new>

#include "platform/base/types.h"

class Thread;

using AFX_THREADPROC = UINT (*)(void*);

// Something a thread can run. The thread frees it after Invoke returns.
class CFunctorBase {
 public:
  virtual UINT Invoke() = 0;
  virtual ~CFunctorBase() = default;
};

template <class T>
class CFunctor : public CFunctorBase {
 public:
  using PFN = UINT (T::*)();
  PFN m_pfnMember;
  T* m_pObject;

  CFunctor(T* pObject, PFN pfnMember) : m_pfnMember(pfnMember), m_pObject(pObject) {}
  UINT Invoke() override { return (m_pObject->*m_pfnMember)(); }
};

class CThread {
 public:
  AFX_THREADPROC m_pfnThreadProc;
  int m_nPriority;             // recorded; Linux threads of one process share one priority
  DWORD m_nStopTimeout;        // milliseconds that Stop waits
  std::atomic<bool> m_bStartSuspended;
  UINT m_nStackSize;           // 0 = default
  void* m_pSecurityAttributes; // recorded and ignored
  Thread* m_pThread;           // the created thread (detached), null before Create
  struct SStartGate;
  std::shared_ptr<SStartGate> m_pStartGate;  // the created thread waits here until resumed
  CFunctorBase* m_pWorker;     // owned until the thread frees it
  std::atomic<bool> m_bAutoDelete;
  std::atomic<bool> m_bRunning;
  std::atomic<bool> m_bSuspended;

  CThread(AFX_THREADPROC pfnThreadProc = nullptr, DWORD nStopTimeout = 0, int nPriority = 0,
          bool bStartSuspended = false, UINT nStackSize = 0, void* pSecurityAttributes = nullptr);
  virtual ~CThread();

  virtual UINT Run() { return 0; }
  virtual BOOL InitInstance() { return 1; }
  virtual void ExitInstance() {}

  // Creates the thread suspended, stores it and sets running, then resumes it unless it is to
  // start suspended. On failure reports "Could not create Thread!" and returns false.
  bool Create(void* pParam);
  void Resume();
  // WAIT_OBJECT_0 (0) when the thread has ended, WAIT_TIMEOUT (258) when the time-out passed;
  // 0 when no thread was created.
  DWORD Wait(DWORD nTimeoutMs);
  void Stop();
  // The thread's exit code once it has ended; false while it runs or when none was created.
  bool GetExitCode(DWORD& nExitCode) const;

  // Starts a functor on a new auto-deleting CThread. Returns null when the thread cannot be
  // created; the functor and the CThread are then freed.
  static CThread* BeginThread(CFunctorBase* pWorker, int nPriority = 0, bool bStartSuspended = false,
                              UINT nStackSize = 0, void* pSecurityAttributes = nullptr);

  // Creates a T (derived from CThread) and runs InitInstance, Run and ExitInstance on a new thread.
  // Null when the object or the thread cannot be created.
  template <class T>
  static T* BeginThread(int nPriority = 0, bool bStartSuspended = false, UINT nStackSize = 0,
                        void* pSecurityAttributes = nullptr) {
    T* p = new (std::nothrow) T;
    if (p == nullptr) return nullptr;
    if (!p->SetUpAndCreate(&CThread::ObjectThreadProc, nPriority, bStartSuspended, nStackSize,
                           pSecurityAttributes)) {
      delete p;
      return nullptr;
    }
    return p;
  }

  static UINT FunctorThreadProc(void* pParam);
  static UINT ObjectThreadProc(void* pParam);

  // The hook that reports a thread that cannot be created: a plain function pointer, called with
  // the text "Could not create Thread!", the caption "CThread::Create()" and the message-box style
  // (MB_ICONHAND). It starts as ShowFailureMessageBox; the application or a test may point it at a
  // function of its own (null reports nothing).
  using PFNREPORTFAILURE = void (*)(const char* text, const char* caption, UINT style);
  static PFNREPORTFAILURE s_pfnReportFailure;
  // The default report: on the user-interface thread the support library's message box, without
  // an owner. On another thread the main window shows it (WM_SHOW_MESSAGE_BOX, sent, so the
  // calling thread waits for the answer); with no main window the text goes to standard error.
  static void ShowFailureMessageBox(const char* text, const char* caption, UINT style);
  // Tests: the next n thread creations fail as if the system had no resources.
  static std::atomic<int> s_nFailNextCreates;

 private:
  bool SetUpAndCreate(AFX_THREADPROC pfn, int nPriority, bool bStartSuspended, UINT nStackSize,
                      void* pSecurityAttributes);
};

template <class T>
CThread* StartFunctorThread(T* pObject, UINT (T::*pfnMember)(), int nPriority = 0, bool bStartSuspended = false,
                            UINT nStackSize = 0, void* pSecurityAttributes = nullptr) {
  CFunctor<T>* pFunctor = new (std::nothrow) CFunctor<T>(pObject, pfnMember);
  if (pFunctor == nullptr) return nullptr;
  return CThread::BeginThread(pFunctor, nPriority, bStartSuspended, nStackSize, pSecurityAttributes);
}
