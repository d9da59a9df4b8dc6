// CIOObject: the base of every asynchronous endpoint. A send thread takes CStreams from a
// priority-ordered send queue and writes them one at a time; a receive thread reads CStreams and
// puts them on a receive queue. Failures on either thread go to that side's error queue and are
// returned by the next waiting call. A derived class (CIOFile) supplies the waits for work and the
// single read or write.
//
// The ten signals of the object (stop, started, data, queue-empty, error and thread-exited for the
// two sides) behave as Windows events: each is manual-reset except the two "started" ones, and a
// wait on several returns the lowest-numbered signalled one. They live in one state block under
// one mutex, so a wait never misses a change; a queue change and its signal change happen together
// under the queue's critical section (queue section first, then the signal mutex).
//
// The threads call the object's virtual members until they are joined, so every class that
// overrides one stops the threads (Stop, or CIOFile::Close) in its own destructor: once a
// destructor has begun, the object is no longer of the class the threads were calling.
#pragma once

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <initializer_list>
#include <mutex>

#include "containers/mthread_array.h"
#include "platform/base/types.h"
#include "support/stream.h"

// Result numbers of the I/O layer (Windows values).
constexpr DWORD IO_NOT_OPEN = 1200;        // the object is not open
constexpr DWORD IO_BYTE_COUNT_ZERO = 1782; // an empty stream to send, or a read of zero bytes
constexpr DWORD IO_FILE_EMPTY = 1160;      // the file to read is empty
constexpr DWORD IO_NOTHING_RECEIVED = 259; // the receive queue is empty
constexpr DWORD IO_TIMEOUT = 258;          // the time-out passed
constexpr DWORD IO_ABORTED = 995;          // stopped, a thread ended, or the wait failed
constexpr DWORD IO_NO_SUCH_REPLY = 4317;   // no received stream carries the id asked for
constexpr DWORD IO_END_OF_FILE = 38;       // a read found no bytes at its position
constexpr DWORD IO_WAIT_FOREVER = 0xFFFFFFFF;

class CIOObject {
 public:
  // The signals, in the order in which the waits list them.
  enum ESignal : int {
    kReceiveStop,
    kReceiveStarted,   // auto-reset
    kReceivedData,
    kSendStop,
    kSendStarted,      // auto-reset
    kDataQueued,
    kSendQueueEmpty,   // signalled at every Start
    kReceiveError,
    kSendError,
    kThreadExited,
    kReadRequest,      // for derived classes that queue read requests (CIOFile)
    kSignalCount
  };

  std::atomic<intptr_t> m_hHandle{-1};  // the endpoint's descriptor; -1 while closed
  CStream m_Incoming;       // the block into which the receive side reads

  CObjMThreadArray<CStream> m_SendQueue;           // owned copies, ascending by priority
  CObjMThreadArray<CStream> m_ReceiveQueue;        // owned copies, oldest first
  CScalarMThreadArray<DWORD> m_SendErrors;         // oldest first
  CScalarMThreadArray<DWORD> m_ReceiveErrors;      // oldest first

  CIOObject();
  virtual ~CIOObject();
  CIOObject(const CIOObject&) = delete;
  CIOObject& operator=(const CIOObject&) = delete;

  virtual const char* GetReceiveThreadName() const { return "CIOObject::ReceiveThread"; }
  virtual const char* GetSendThreadName() const { return "CIOObject::SendThread"; }
  // Creates the signals and starts the send thread, then the receive thread; 0 when both run.
  virtual DWORD Start();
  // Stops and joins both threads (send first); queued data is discarded, the error queues keep
  // their numbers. Harmless when never started or called twice. Never call it from the I/O threads.
  virtual void Stop();
  virtual bool WaitForReceiveWork() { return false; }
  virtual bool WaitForSendWork();
  virtual bool ReceiveOne() { return false; }
  virtual bool SendOne(CStream& s) { return false; }

  bool IsOpen() const { return m_hHandle != -1; }

  // Queues a copy of the stream for the send thread (ascending priority, after equal ones).
  DWORD Send(const CStream& s);
  // Waits until the send queue is drained; returns the oldest send error (0 when none).
  DWORD WaitUntilSent(DWORD nTimeoutMs);
  // Takes the oldest received stream; 259 when nothing was received.
  DWORD Receive(CStream& s);
  // Waits for received data (0), a receive or send error (that error), time-out (258) or stop (995).
  DWORD WaitForEvent(DWORD nTimeoutMs);

  DWORD PopReceiveError();
  DWORD PopSendError();
  void PushReceiveError(DWORD code);
  void PushSendError(DWORD code);

  // Names the calling thread (thread id -1) for debuggers and system tools; other ids are ignored.
  static void SetThreadName(const char* name, DWORD threadId);
  // Writes "prefix: ", the text and the number's text into buf without overrunning it; returns the
  // length written.
  static int GetErrorText(char* buf, int size, DWORD code, const char* text = nullptr, const char* prefix = nullptr);
  // Prints the same to standard output (system texts with their CR LF); returns the characters printed.
  static int PrintErrorText(DWORD code, const char* text = nullptr, const char* prefix = nullptr);

 protected:
  // Signal operations and the wait-any over them. WaitAny returns the index in `signals` of the
  // lowest-listed signalled one (consuming it if auto-reset), IO_TIMEOUT, or IO_ABORTED when the
  // signals do not exist (the object is stopped).
  void SetSignal(ESignal e);
  // SetSignal in two steps, so that a signal can change together with a queue under the queue's
  // lock while its waiters are woken only once that lock is left (a woken waiter's first step is
  // to take the same lock).
  void SetSignalQuietly(ESignal e);
  void WakeWaiters(ESignal e) { Wake(e); }
  void ResetSignal(ESignal e);
  bool IsSignalled(ESignal e);
  bool SignalsExist();
  // Who waits: the send thread, the receive thread, or any other (caller) thread. Each group has
  // its own wake-up, so a signal wakes only the threads that may wait for it.
  enum EWaiter { kCallerWaiter, kSendWaiter, kReceiveWaiter };
  DWORD WaitAny(std::initializer_list<ESignal> signals, DWORD nTimeoutMs, EWaiter waiter = kCallerWaiter);
  // Waits until the send queue is drained without taking its errors; 0, or 995 when the send
  // thread is stopped or gone.
  DWORD WaitForQueuedWrites();
  // Blocks until the receive side changed (a reply, an error, a stop or a thread end) since
  // `generation` was read with ReceiveGeneration.
  uint64_t ReceiveGeneration();
  void WaitForReceiveChange(uint64_t generation);
  void NotifyReceiveChange();

  std::atomic<bool> m_bReceiveRunning{false};
  std::atomic<bool> m_bSendRunning{false};

 public:
  // Test hook: the next n thread starts fail as if the system had no resources.
  static std::atomic<int> s_nFailNextThreadStarts;

 private:
  static void* ReceiveThreadProc(void* self);
  static void* SendThreadProc(void* self);
  DWORD StartThread(pthread_t& thread, std::atomic<bool>& started, void* (*proc)(void*));
  void ResetAllSignals();

  std::mutex m_SignalMutex;
  std::condition_variable m_CallerWake;
  std::condition_variable m_SendWake;
  std::condition_variable m_ReceiveWake;
  void Wake(ESignal e);
  void WakeAll();
  bool m_Signals[kSignalCount] = {};
  bool m_bSignalsExist = false;
  uint64_t m_nReceiveGeneration = 0;

  pthread_t m_ReceiveThread{};
  pthread_t m_SendThread{};
  std::atomic<bool> m_bReceiveThreadStarted{false};
  std::atomic<bool> m_bSendThreadStarted{false};
};
