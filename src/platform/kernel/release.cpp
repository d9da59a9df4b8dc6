#include "platform/kernel/release.h"

#include <pthread.h>

#include <condition_variable>
#include <mutex>

#include "platform/kernel/heap.h"
#include "platform/kernel/threads.h"

namespace qav {

// The jobs handed over and the thread that runs them, oldest job first.
class CReleaseQueue {
 public:
  // Made once and never destroyed, so that a job handed over while the program ends still finds
  // it.
  static CReleaseQueue& Instance() {
    static CReleaseQueue* queue = [] {
      auto* q = new CReleaseQueue;
      pthread_atfork([] { Instance().m_lock.lock(); }, [] { Instance().m_lock.unlock(); }, [] { Instance().AfterFork(); });
      return q;
    }();
    return *queue;
  }

  void Add(CReleaseJob* job, bool trim) noexcept {
    bool started = true;
    {
      std::lock_guard<std::mutex> lock(m_lock);
      // A trim already waiting at the end of the queue serves this one too.
      if (trim && m_tail != nullptr && m_tail == m_waitingTrim) {
        delete job;
        return;
      }
      if (m_tail != nullptr) m_tail->m_next = job;
      else m_head = job;
      m_tail = job;
      if (trim) m_waitingTrim = job;
      if (m_running) return;
      // The thread that ran the last jobs has ended, or is ending; a new one takes these. It ends
      // on its own once the queue is empty: nobody waits for the thread, only for the jobs.
      Thread thread;
      m_running = thread.Create([this] {
        SetThreadName("qav release");
        Work(true);
        return DWORD{0};
      }) == 0;
      if (m_running) thread.Detach();
      started = m_running;
    }
    // No thread could be started: the jobs run here, as they would have without one.
    if (!started) Work(false);
  }

  void Wait() noexcept {
    std::unique_lock<std::mutex> lock(m_lock);
    m_idle.wait(lock, [this] { return !m_running; });
  }

 private:
  CReleaseQueue() = default;

  // Runs the jobs until none is left. The release thread then ends; a caller's thread (when no
  // release thread could be started) goes on.
  void Work(bool releaseThread) noexcept {
    for (;;) {
      CReleaseJob* job;
      {
        std::lock_guard<std::mutex> lock(m_lock);
        job = m_head;
        if (job == nullptr) {
          m_tail = nullptr;
          if (releaseThread) {
            m_running = false;
            m_idle.notify_all();
          }
          return;
        }
        m_head = job->m_next;
        if (m_head == nullptr) m_tail = nullptr;
        if (job == m_waitingTrim) m_waitingTrim = nullptr;
      }
      job->Run();
      delete job;
    }
  }

  // In a child process the release thread is not there: the jobs left wait for the next one.
  void AfterFork() {
    m_lock.unlock();
    m_running = false;
  }

  std::mutex m_lock;
  std::condition_variable m_idle;  // the release thread has run every job
  CReleaseJob* m_head = nullptr;
  CReleaseJob* m_tail = nullptr;
  CReleaseJob* m_waitingTrim = nullptr;  // a trim not yet run
  bool m_running = false;                // a release thread takes the jobs
};

namespace {

class CTrimHeap : public CReleaseJob {
 public:
  void Run() noexcept override { g_Heap.Trim(); }
};

}  // namespace

void ReleaseLater(CReleaseJob* job) noexcept {
  if (job != nullptr) CReleaseQueue::Instance().Add(job, false);
}

void TrimHeapLater() noexcept {
  CReleaseJob* job = new (std::nothrow) CTrimHeap;
  if (job == nullptr) g_Heap.Trim();
  else CReleaseQueue::Instance().Add(job, true);
}

void WaitForReleases() noexcept { CReleaseQueue::Instance().Wait(); }

}  // namespace qav
