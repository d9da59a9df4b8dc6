// Decoding of element-days (and making the data objects) on helper threads. The common loader reads one day's records for every
// element on its own thread, hands the batch to the pool and reads the next day meanwhile; the
// pool's threads (and the loader itself while it waits) unpack the batch into the day objects.
// Batches queue up, so a helper that is late to start never holds up the reading.
// Each item names a different day object, so items never share state.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/kernel/threads.h"
#include "trafficdata/db_element.h"
#include "trafficdata/element_data.h"
#include "trafficdata/element_day.h"

class CDecodePool {
 public:
  // Either one day to decode (day `day` of `data`, bytes, length, columns) or, with a slot, one
  // data object to make for `element` with `columns` days.
  struct Item {
    CElementData* data;
    int day;
    const unsigned char* bytes;  // owned by the caller, unchanged until the batch is decoded
    int length;
    int columns;
    CElementData** slot = nullptr;
    CDBElementEx* element = nullptr;
    int ordinal = 0;
    bool rows = false;  // instead: make rows of `data` (element `ordinal`) through the row maker
  };
  // Makes rows from days already decoded; items of one element never run at the same time.
  class IRowMaker {
   public:
    virtual ~IRowMaker() = default;
    virtual void MakeRows(CElementData& data, int element) = 0;
  };
  using Batch = std::vector<Item>;

  // Up to `threads` helpers; with none (or none that could be started) Wait decodes everything.
  // With `summariesOnly`, each decoded day is replaced by its summaries under those criteria
  // (CElementData::KeepOnlySummaries); the criteria must outlive the pool.
  explicit CDecodePool(int threads, const ValidityTables* summariesOnly = nullptr, IRowMaker* rowMaker = nullptr);
  ~CDecodePool();  // waits for the batch in hand, then ends the helpers
  CDecodePool(const CDecodePool&) = delete;
  CDecodePool& operator=(const CDecodePool&) = delete;

  // Queues the batch for decoding behind those in hand; it must stay unchanged until it is
  // decoded (WaitFor or Wait).
  void Submit(const Batch& batch);
  // Helps with the batches in hand and returns when `batch` is decoded.
  void WaitFor(const Batch& batch);
  // Helps with the batches in hand and returns when every item is decoded.
  void Wait();

  // Data objects made from now on start without days, and each day is made when its records
  // are decoded (for a loader that drops days once their rows are made).
  void SetDaysOnDemand(bool on) { m_daysOnDemand = on; }

  // Items a helper takes at a time.
  static constexpr size_t kItemsPerRun = 16;
  // The helper count that suits this machine for `runs` runs of items: the usable cores less the
  // reader's, at least one, at most `runs` (and at most a limit set by LimitThreads).
  static int DefaultThreads(size_t runs = SIZE_MAX);
  // The cores this process may use.
  static int UsableCores();
  // Caps DefaultThreads for the whole process (benchmarks compare helper counts); 0 removes it.
  static void LimitThreads(int n);

 private:
  // A queued batch: the next item to take and the items not yet decoded.
  struct Pending {
    const Batch* batch;
    size_t next;
    size_t remaining;
  };

  void Run();
  // Decodes items until none is left to take or `until` (when given) is decoded.
  void DecodeSome(const Batch* until);
  void Decode(const Item& item, CElementDay* day) const;  // day: item.data's day item.day
  bool InHand(const Batch* batch) const;  // under the lock; null: any batch

  std::mutex m_lock;
  std::condition_variable m_work;
  std::condition_variable m_done;
  std::list<Pending> m_queue;  // oldest first; a batch leaves it when its last item is decoded
  unsigned m_generation = 0;
  bool m_stop = false;
  const ValidityTables* m_summariesOnly;
  IRowMaker* m_rowMaker;
  bool m_daysOnDemand = false;
  std::vector<std::unique_ptr<Thread>> m_threads;
};
