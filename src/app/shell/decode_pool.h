// Decoding of element-days (and making the data objects) on helper threads. The common loader reads one day's records for every
// element on its own thread, hands the batch to the pool and reads the next day meanwhile; the
// pool's threads (and the loader itself while it waits) unpack the batch into the day objects.
// Each item names a different day object, so items never share state.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/kernel/threads.h"
#include "trafficdata/db_element.h"
#include "trafficdata/element_data.h"
#include "trafficdata/element_day.h"

class CDecodePool {
 public:
  // Either one day to decode (day, bytes, length, columns) or, with a slot, one data object to
  // make for `element` with `columns` days.
  struct Item {
    CElementDay* day;
    const unsigned char* bytes;  // owned by the caller, unchanged until the batch is decoded
    int length;
    int columns;
    CElementData** slot = nullptr;
    CDBElementEx* element = nullptr;
    int ordinal = 0;
  };
  using Batch = std::vector<Item>;

  // Up to `threads` helpers; with none (or none that could be started) Wait decodes everything.
  explicit CDecodePool(int threads);
  ~CDecodePool();  // waits for the batch in hand, then ends the helpers
  CDecodePool(const CDecodePool&) = delete;
  CDecodePool& operator=(const CDecodePool&) = delete;

  // Starts decoding the batch; it must stay unchanged until Wait returns. One batch at a time:
  // a batch in hand is waited for first.
  void Submit(const Batch& batch);
  // Helps with the batch in hand and returns when every item is decoded.
  void Wait();

  // The helper count that suits this machine for the loader.
  static int DefaultThreads();

 private:
  void Run();
  // Decodes items until none is left to take; true when this call finished the last one.
  bool DecodeSome();

  std::mutex m_lock;
  std::condition_variable m_work;
  std::condition_variable m_done;
  const Batch* m_batch = nullptr;
  size_t m_next = 0;
  size_t m_remaining = 0;
  unsigned m_generation = 0;
  bool m_stop = false;
  std::vector<std::unique_ptr<Thread>> m_threads;
};
