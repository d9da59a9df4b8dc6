#include "app/shell/input_loader.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <mutex>
#include <new>
#include <string>

#include "app/shell/app_globals.h"
#include "app/shell/decode_pool.h"
#include "app/shell/element_data_factory.h"
#include "app/shell/worker_ids.h"
#include "archive/input.h"
#include "archive/input_desc.h"
#include "archive/ntso.h"
#include "platform/base/errors.h"
#include "platform/kernel/release.h"
#include "platform/kernel/test_hold.h"
#include "support/stream.h"
#include "trafficdata/db_record.h"
#include "trafficdata/loop_day.h"
#include "trafficdata/packed_records.h"

CElementDataSet::~CElementDataSet() {
  for (CElementData* d : m_items) delete d;
}

namespace {
constexpr DWORD kNameNotFound = 1168;
// A load measures its speedup once it has run this long (MeasureLoadSpeedupAfter).
std::atomic<int> g_measureAfterMs{2000};

// Runs of items that the helpers can take: one item per element-day.
size_t RunsOfWork(int64_t elementDays) {
  const size_t items = static_cast<size_t>(std::max<int64_t>(0, elementDays));
  return (items + CDecodePool::kItemsPerRun - 1) / CDecodePool::kItemsPerRun;
}

// How a load's units follow its real speed. The views' ranges count a load's units divided by
// LoadSpeedup: how much faster its threads get through it than one thread would on an idle
// machine. How much of the machine the load really gets depends on what else runs: with every
// core busy its threads may get less than one core between them, while the single thread of the
// work after the load still gets nearly a core of its own, so a planned unit of the load costs
// several times the time of a unit after it, and a time left taken from the load's pace falls
// short by all the work that follows it. So once the load has run two seconds, its speedup is
// measured as the processor time the program has taken since the load began over the time passed
// (at least 1), and every unit the load adds from then on is scaled by LoadSpeedup over it: a unit
// then costs about the same time in the load as after it, idle machine or busy. The run's range
// moves by what the load adds and will add beyond its planned units (RunControl::addRange).
struct SLoadPace {
  std::atomic<double> scale{1.0};       // units added per planned unit
  std::atomic<int64_t> extra{0};        // units added beyond the planned ones
  std::atomic<int64_t> rowsPlanned{0};  // planned units of the rows made so far
  // Adds `planned` units at the current scale.
  void Add(RunControl& run, uint32_t planned) {
    const double units = planned * scale.load(std::memory_order_relaxed) + 0.5;
    const auto actual = static_cast<uint32_t>(std::min(units, 4294967295.0));
    if (actual != planned) extra.fetch_add(static_cast<int64_t>(actual) - planned, std::memory_order_relaxed);
    if (actual > 0) run.addProgress(actual);
  }
};

// The run as the row builders on the loader's threads see it: their units divided by the load's
// speedup, gathered on the builder's thread and added to the run's counter kBatchUnits at a time
// (the rest rounded when the builder is done). A builder adds a few units for every period of
// every day; were each of them added at once, the helpers would take turns at the counter's cache
// line for most of their time. A batch is well under a millisecond of work: the bar, read every
// half second, moves as smoothly as before.
class CRowsOnHelpers : public RunControl {
 public:
  static constexpr double kBatchUnits = 1 << 14;
  CRowsOnHelpers(RunControl& run, double speedup, SLoadPace& pace) : m_run(run), m_speedup(speedup), m_pace(pace) {}
  ~CRowsOnHelpers() override { Publish(static_cast<uint32_t>(m_carry + 0.5)); }
  bool keepGoing() const override { return m_run.keepGoing(); }
  void addProgress(uint32_t n) override {
    m_carry += n / m_speedup;
    if (m_carry < kBatchUnits) return;
    const auto whole = static_cast<uint32_t>(m_carry);
    m_carry -= whole;
    Publish(whole);
  }

 private:
  void Publish(uint32_t planned) {
    if (planned == 0) return;
    m_pace.rowsPlanned.fetch_add(planned, std::memory_order_relaxed);
    m_pace.Add(m_run, planned);
  }

  RunControl& m_run;
  double m_speedup;
  SLoadPace& m_pace;
  double m_carry = 0;
};

// The load. The helpers (and this thread while it waits) read database days, each day on one
// thread, several days at once, and decode them. The elements are split into groups ("parts");
// a part's elements are decoded by one thread at a time, day after day in date order, so that
// every element gets its days in date order and its day arrays come from its own arena without a
// lock. This thread takes the days in date order as they are done: it posts their failures, adds
// their progress and looks at the keep-going flag between them, as a load on one thread would.
// A missing day file is asked for (the disc request) on this thread, in date order too.
class CLoad {
 public:
  CLoad(const CAdrArray<CDBElementEx>& elements, const CAdrArray<CDateTimeEx>& days, IWorkerPoster& poster,
        RunControl& run, const ValidityTables* summariesOnly, SRowsWhileLoading* rows)
      : m_elements(elements), m_days(days), m_poster(poster), m_run(run), m_pe(g_PeValid.Get()),
        m_summariesOnly(summariesOnly), m_rows(rows) {}

  // Memory that runs out anywhere in the load (a helper's or this thread's) ends it with the
  // not-enough-memory error of the day being loaded; nothing of the load is left over.
  std::unique_ptr<CElementDataSet> Run() {
    try {
      m_poster.Post(ID_WORKER_LOADING_INPUT, 0);
      std::unique_ptr<CElementDataSet> set = Load();
      if (!m_outOfMemory) return set;
    } catch (const std::bad_alloc&) {
    }
    try {
      const int day = std::clamp(m_dayInHand, 0, std::max(0, m_nDays - 1));
      if (m_nDays > 0 && m_days.m_pData[day] != nullptr)
        PostFailure(ID_WORKER_RETRIEVAL_ERROR, *m_days.m_pData[day], ERROR_NOT_ENOUGH_MEMORY);
      else
        m_poster.Post(ID_WORKER_WIN32_ERROR, static_cast<LPARAM>(ERROR_NOT_ENOUGH_MEMORY));
    } catch (const std::bad_alloc&) {
      // Not even the error could be told: the run ends without its line.
    }
    return nullptr;
  }

 private:
  std::unique_ptr<CElementDataSet> Load() {
    auto set = std::make_unique<CElementDataSet>();
    m_set = set.get();
    m_nDays = m_days.m_nSize;
    const int count = m_elements.m_nSize;
    set->m_items.assign(static_cast<size_t>(count), nullptr);
    PlanRows(m_nDays);
    // The lookup keys of both layouts and the element types, taken once.
    m_aliasKeys.resize(static_cast<size_t>(count));
    m_idKeys.resize(static_cast<size_t>(count));
    m_types.assign(static_cast<size_t>(count), -1);
    for (int e = 0; e < count; ++e) {
      if (m_elements.m_pData[e] == nullptr) continue;
      MakeKey(*m_elements.m_pData[e], true, m_aliasKeys[static_cast<size_t>(e)]);
      MakeKey(*m_elements.m_pData[e], false, m_idKeys[static_cast<size_t>(e)]);
      m_types[static_cast<size_t>(e)] = m_elements.m_pData[e]->type;
    }
    m_paceStart = m_paceLast = std::chrono::steady_clock::now();
    m_cpuStart = ProcessCpuMs();
    const int64_t elementDays = static_cast<int64_t>(count) * m_nDays;
    const int helpers = CDecodePool::DefaultThreads(RunsOfWork(elementDays));
    m_speedup = LoadSpeedup(elementDays);
    // Parts small enough that every thread finds one to decode, large enough that taking one
    // costs little beside its decoding.
    const int parts = std::max(1, std::min(count, 4 * (helpers + 1)));
    for (int p = 0; p <= parts; ++p) m_partFirst.push_back(static_cast<int>(static_cast<int64_t>(count) * p / parts));
    m_parts.resize(static_cast<size_t>(parts));
    m_slots.resize(static_cast<size_t>(kWindow));
    for (SDaySlot& slot : m_slots) slot.where.resize(static_cast<size_t>(count));

    CDecodePool pool(helpers, [this] { Help(); });
    // However this thread leaves, the helpers are stopped before the pool joins them.
    struct SStopAtExit {
      CLoad* load;
      ~SStopAtExit() { load->Stop(); }
    } stopAtExit{this};
    // The data objects are made on the helpers too: each part's by one thread.
    WaitForWork(kMaking);
    if (m_outOfMemory) return nullptr;
    int objects = 0;
    for (CElementData* d : set->m_items) objects += d != nullptr ? 1 : 0;
    set->m_count.elementDays = static_cast<int64_t>(objects) * m_nDays;
    // Every day adds its element-days' units, read or not, as the views' estimates count them: by
    // the layout of its day file, or of the last one read when it has none.
    m_dayUnits[0] = static_cast<uint32_t>(objects) * LoadDayUnits(m_speedup, false, m_summariesOnly != nullptr);
    m_dayUnits[1] = static_cast<uint32_t>(objects) * LoadDayUnits(m_speedup, true, m_summariesOnly != nullptr);

    int k = 0;
    while (k < m_nDays && m_days.m_pData[k] != nullptr && IsPeDay(*m_days.m_pData[k])) ++k;
    bool done = LoadPeDays(k);
    if (done) {
      StartDatabaseDays(k);
      for (int i = k; i < m_nDays && done && !m_outOfMemory; ++i) {
        m_dayInHand = i;
        FinishDay(i);
        if (m_outOfMemory) break;
        m_pace.Add(m_run, m_dayUnits[m_fine]);
        FollowPace(false);
        HoldForTest("load");
        done = !Cancelled();
      }
    }
    Stop();
    pool.Join();
    if (!done || m_outOfMemory) {
      // What was loaded may be gigabytes: the release thread lets go of it, so that a cancelled
      // run ends at once.
      qav::ReleaseLater(std::move(set));
      return nullptr;
    }
    // Groups that no database day completed (every day a PE day): their rows are made here.
    for (size_t p = 0; p < m_parts.size(); ++p) MakeRowsOfPart(static_cast<int>(p), m_nDays - 1);
    if (m_rows != nullptr && m_streaming) m_rows->made = true;
    FollowPace(true);
    m_poster.Post(ID_WORKER_INPUT_LOADED, 0);
    return set;
  }

  // What the threads are doing: making the data objects, waiting while this thread reads the PE
  // days, reading and decoding the database days, or finished.
  enum EPhase { kMaking, kPeDays, kDatabaseDays, kStopped };
  // A database day between its reading and its end: its records, and what its reading found.
  struct SDaySlot {
    enum EState { kFree, kReading, kAskForDisc, kRead };
    EState state = kFree;
    int day = -1;
    int partsLeft = 0;                      // parts that have not decoded the day yet
    CStream bytes;                          // the records of every element
    std::vector<CNTSODB::SColumns> where;   // per element: its records in `bytes`, or why none
    DWORD openError = 0;                    // the day file could not be opened (504)
    std::string openFile;                   // the file that failed, when it is not the day's .DAT
    int columns = 0;
    int64_t withData = 0;
    std::vector<std::pair<int, DWORD>> failures;  // element, error: 506 and 502, in list order
  };
  struct SPart {
    int nextDay = 0;     // the next day to decode
    bool busy = false;   // a thread works on it
    bool made = false;   // its data objects are made (or being made)
    size_t groupsDone = 0;  // rows while loading: groups whose rows are made
  };
  // Days read ahead of the oldest day not done, and the bytes their records may hold together.
  static constexpr int kWindow = 24;
  static constexpr size_t kWindowBytes = size_t{32} << 20;
  // Days a part decodes at a time when several are read.
  static constexpr int kDaysPerTake = 8;

  SDaySlot& Slot(int day) { return m_slots[static_cast<size_t>(day % kWindow)]; }

  // ---- the threads' work ----

  // One piece of work taken under the lock: making a part's objects, reading a day, or decoding
  // days first .. last of a part.
  struct STask {
    enum EKind { kNone, kMake, kRead, kDecode } kind = kNone;
    int part = 0, first = 0, last = 0;
  };

  // Under the lock: the next piece of work there is, if any.
  STask Take() {
    STask t;
    if (m_phase == kMaking) {
      for (size_t p = 0; p < m_parts.size(); ++p)
        if (!m_parts[p].made) {
          m_parts[p].made = true;
          m_parts[p].busy = true;
          t.kind = STask::kMake;
          t.part = static_cast<int>(p);
          return t;
        }
      return t;
    }
    if (m_phase != kDatabaseDays) return t;
    // Decoding first, oldest day first: it frees the days' slots for reading.
    int best = -1;
    for (size_t p = 0; p < m_parts.size(); ++p) {
      const SPart& part = m_parts[p];
      if (part.busy || part.nextDay >= m_nDays) continue;
      const SDaySlot& slot = Slot(part.nextDay);
      if (slot.day != part.nextDay || slot.state != SDaySlot::kRead) continue;
      if (best < 0 || part.nextDay < m_parts[static_cast<size_t>(best)].nextDay) best = static_cast<int>(p);
    }
    if (best >= 0) {
      SPart& part = m_parts[static_cast<size_t>(best)];
      int last = part.nextDay;
      while (last + 1 < m_nDays && last + 1 - part.nextDay < kDaysPerTake &&
             Slot(last + 1).day == last + 1 && Slot(last + 1).state == SDaySlot::kRead)
        ++last;
      part.busy = true;
      t.kind = STask::kDecode;
      t.part = best;
      t.first = part.nextDay;
      t.last = last;
      return t;
    }
    // Then the next day, while the window has room for it.
    if (m_nextRead < m_nDays && m_nextRead < m_oldestOpen + m_windowDays) {
      SDaySlot& slot = Slot(m_nextRead);
      slot.state = SDaySlot::kReading;
      slot.day = m_nextRead;
      t.kind = STask::kRead;
      t.first = m_nextRead++;
    }
    return t;
  }

  void Do(const STask& t) {
    switch (t.kind) {
      case STask::kMake: MakePart(t.part); break;
      case STask::kRead: ReadDay(t.first, false); break;
      case STask::kDecode: DecodePart(t.part, t.first, t.last); break;
      case STask::kNone: break;
    }
  }

  // Under the lock: the task's effects on the state that others wait for.
  void Finish(const STask& t) {
    if (t.kind == STask::kMake) {
      m_parts[static_cast<size_t>(t.part)].busy = false;
      if (++m_partsMade == m_parts.size()) m_changed.notify_all();
    } else if (t.kind == STask::kDecode) {
      SPart& part = m_parts[static_cast<size_t>(t.part)];
      part.busy = false;
      part.nextDay = t.last + 1;
      for (int d = t.first; d <= t.last; ++d) --Slot(d).partsLeft;
    }
    m_changed.notify_all();
  }

  // A helper's life: work while there is work, wait while there is none yet. Memory that runs
  // out stops the load.
  void Help() {
    try {
      HelpUntilStopped();
    } catch (const std::bad_alloc&) {
      RunOutOfMemory();
    }
  }

  // Memory ran out on this thread or a helper: every thread stops and the load ends with the
  // not-enough-memory error (Run).
  void RunOutOfMemory() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_outOfMemory = true;
    m_phase = kStopped;
    m_changed.notify_all();
  }

  void HelpUntilStopped() {
    WorkUntil([this] { return m_phase == kStopped; });
  }

  // Works with the others until `ready` holds (or memory ran out), waiting while there is no work.
  template <class Ready>
  void WorkUntil(Ready ready) {
    std::unique_lock<std::mutex> lock(m_lock);
    while (!ready() && !m_outOfMemory) {
      STask t = Take();
      if (t.kind == STask::kNone) {
        m_changed.wait(lock);
        continue;
      }
      lock.unlock();
      Do(t);
      lock.lock();
      Finish(t);
    }
  }

  void WaitForWork(EPhase phase) {
    {
      std::lock_guard<std::mutex> lock(m_lock);
      m_phase = phase;
    }
    m_changed.notify_all();
    WorkUntil([this] { return m_partsMade == m_parts.size(); });
    std::lock_guard<std::mutex> lock(m_lock);
    m_phase = kPeDays;
  }

  void StartDatabaseDays(int first) {
    {
      std::lock_guard<std::mutex> lock(m_lock);
      for (SPart& part : m_parts) part.nextDay = first;
      m_nextRead = first;
      m_oldestOpen = first;
      m_phase = kDatabaseDays;
    }
    m_changed.notify_all();
  }

  void Stop() {
    {
      std::lock_guard<std::mutex> lock(m_lock);
      m_phase = kStopped;
    }
    m_changed.notify_all();
  }

  void MakePart(int p) {
    for (int e = m_partFirst[static_cast<size_t>(p)]; e < m_partFirst[static_cast<size_t>(p) + 1]; ++e) {
      CDBElementEx* element = m_elements.m_pData[e];
      if (element == nullptr) continue;
      CElementData* data = CreateElementData(element->type, m_nDays, element, e);
      m_set->m_items[static_cast<size_t>(e)] = data;
      // An element of a known type without its object (or its days) would look like one
      // without data: the load ends.
      if (!Made(data, element->type)) {
        RunOutOfMemory();
        return;
      }
      if (data == nullptr) continue;
      // Made before any day is decoded, so that days decoded later only touch their own entry.
      if (m_summariesOnly != nullptr) data->ReserveKeptSummaries(*m_summariesOnly);
      // The days are made as their records come in: a day that is never there takes no memory.
      if (m_streaming) {
        data->DropAllDays();
        m_rows->rows[static_cast<size_t>(e)] = std::make_unique<CDBRecordset>();
      }
    }
  }

  // Reads every element's records of day i into its slot. `askForDisc` (this thread only, in date
  // order): a missing day file leads to the disc request.
  void ReadDay(int i, bool askForDisc) {
    SDaySlot& slot = Slot(i);
    slot.openError = 0;
    slot.openFile.clear();
    slot.columns = 0;
    slot.withData = 0;
    slot.failures.clear();
    slot.bytes.RemoveAll();
    if (slot.bytes.m_pData == nullptr) {
      // A large buffer a finished day left behind serves this one.
      std::lock_guard<std::mutex> lock(m_lock);
      slot.bytes.SwapBlocks(m_spare);
    }
    bool missing = false;
    if (m_days.m_pData[i] != nullptr) {
      const CDateTimeEx& date = *m_days.m_pData[i];
      CFileException record(CFileException::none, -1);
      CFMDBInput input;
      if (!input.Open(date, &record, askForDisc)) {
        slot.openError = static_cast<DWORD>(record.m_lOsError);
        if (record.m_strFileName != FmdbDayPath(date)) slot.openFile = record.m_strFileName;
        missing = !askForDisc && slot.openError == ERROR_FILE_NOT_FOUND;
        // A file that cannot be opened for want of memory is no missing day: the load ends.
        if (slot.openError == ERROR_NOT_ENOUGH_MEMORY) RunOutOfMemory();
      } else {
        ReadRecords(i, input.m_Database, slot);
      }
    }
    // The slot's size is taken here, before the slot is handed on: once its state is published,
    // the loader's own thread may read a missing day again and refill the slot.
    std::lock_guard<std::mutex> lock(m_lock);
    m_dayBytes = std::max(m_dayBytes, static_cast<size_t>(slot.bytes.m_nSize));
    m_windowDays = static_cast<int>(std::clamp<size_t>(kWindowBytes / std::max<size_t>(1, m_dayBytes), 1, kWindow));
    slot.partsLeft = static_cast<int>(m_parts.size());
    slot.state = missing ? SDaySlot::kAskForDisc : SDaySlot::kRead;
  }

  void ReadRecords(int i, CNTSODB& db, SDaySlot& slot) {
    const int columns = static_cast<int>(db.m_nColumns);
    slot.columns = columns;
    const std::vector<std::string>& keys = db.m_nLayout == 0 ? m_aliasKeys : m_idKeys;
    db.ReadColumnsOfNames(keys.data(), keys.size(), 0, columns, slot.bytes, slot.where.data());
    db.Close();
    for (int e = 0; e < m_set->Count(); ++e) {
      CNTSODB::SColumns& w = slot.where[static_cast<size_t>(e)];
      const int type = m_types[static_cast<size_t>(e)];
      // No type: no object, nothing read. Records that did not fit in memory end the load: an
      // element-day left out would look like one without data.
      if (ExpectedRecordSize(type, columns) == 0) {
        w.result = static_cast<int>(kNameNotFound);
        continue;
      }
      if (w.result == static_cast<int>(ERROR_NOT_ENOUGH_MEMORY)) {
        RunOutOfMemory();
        return;
      }
      if (w.result == static_cast<int>(kNameNotFound)) continue;
      // Records of another size than the element's type reads would be decoded as garbage: the
      // element-day counts as a failed read.
      if (w.result == 0 && w.length != static_cast<uint32_t>(columns * ExpectedRecordSize(type, columns)))
        w.result = static_cast<int>(ERROR_BAD_FORMAT);
      if (w.result != 0) {
        slot.failures.emplace_back(e, static_cast<DWORD>(w.result));
        continue;
      }
      ++slot.withData;
    }
  }

  // Decodes days first .. last of part p's elements, then makes the rows of the groups they end.
  void DecodePart(int p, int first, int last) {
    const bool arena = !m_streaming && m_summariesOnly == nullptr;
    for (int d = first; d <= last; ++d) {
      SDaySlot& slot = Slot(d);
      if (slot.columns == 0) continue;  // no day file
      for (int e = m_partFirst[static_cast<size_t>(p)]; e < m_partFirst[static_cast<size_t>(p) + 1]; ++e) {
        const CNTSODB::SColumns& w = slot.where[static_cast<size_t>(e)];
        if (w.result != 0) continue;
        CElementData* data = m_set->At(e);
        CElementDay* day = m_streaming ? data->EnsureDay(d) : data->Day(d);
        // Whole loads keep every day: its arrays come from the element's arena, with room taken
        // for the days still to come.
        trafficdata::CDayStoreScope store(arena ? &data->DayStore() : nullptr, static_cast<size_t>(m_nDays - d));
        if (day != nullptr) day->Load(slot.bytes.m_pData + w.at, static_cast<int>(w.length), slot.columns);
        // A day that could not be made, or whose arrays could not be had (a day with records is
        // left without data only then), ends the load.
        if (day == nullptr || day->dataAvailable == 0) {
          RunOutOfMemory();
          return;
        }
        // Without the room made beforehand (out of memory) the day stays whole.
        if (m_summariesOnly != nullptr && data->HasKeptSummaryRoom()) data->KeepOnlySummaries(d, *m_summariesOnly);
      }
    }
    MakeRowsOfPart(p, last);
  }

  // ---- this thread: the days in date order ----

  // Waits for database day i to be read and decoded by every part, asking for its disc first when
  // its file was missing, and posts what its reading found.
  void FinishDay(int i) {
    SDaySlot& slot = Slot(i);
    WorkUntil([&] { return slot.day == i && (slot.state == SDaySlot::kAskForDisc || slot.state == SDaySlot::kRead); });
    if (m_outOfMemory) return;
    if (slot.state == SDaySlot::kAskForDisc) {
      // Every earlier day is done: the request comes in date order, from this thread.
      ReadDay(i, true);
      m_changed.notify_all();
    }
    WorkUntil([&] { return slot.partsLeft == 0; });
    if (m_outOfMemory) return;
    if (slot.openError != 0) {
      PostFailure(ID_WORKER_DATA_FILE_ERROR, *m_days.m_pData[i], slot.openError);
      if (!slot.openFile.empty()) m_poster.PostPath(ID_WORKER_DATA_FILE_NAME, slot.openFile);
    } else if (slot.columns != 0) {
      m_fine = slot.columns != PERIODS_PER_DAY ? 1 : 0;
      m_run.noteDayLayout(m_fine != 0);
      ++m_daysRead;
      m_fineDaysRead += m_fine;
      for (const auto& [e, error] : slot.failures) PostFailure(ID_WORKER_RETRIEVAL_ERROR, *m_days.m_pData[i], error);
      m_set->m_count.withData += slot.withData;
    }
    NoteMissing(i, [&](int e) { return slot.columns != 0 && slot.where[static_cast<size_t>(e)].result == 0; });
    std::lock_guard<std::mutex> lock(m_lock);
    // A day's records may be large (20-second days): a slot keeps its buffer only while the
    // window's days together stay within their bytes; a larger one is kept for the next day read
    // (one such buffer at a time).
    if (slot.bytes.m_nAllocBytes > kWindowBytes / kWindow) {
      if (m_spare.m_pData == nullptr) slot.bytes.SwapBlocks(m_spare);
      slot.bytes.LendBlock(nullptr, 0);  // frees the block unless it went to the spare
    }
    slot.state = SDaySlot::kFree;
    m_oldestOpen = i + 1;
    m_changed.notify_all();
  }

  // ---- rows made while loading ----

  // Rows while loading: each group's last day and each day's last group; streaming only when the
  // groups end in their own order.
  void PlanRows(int nDays) {
    if (m_rows == nullptr || m_rows->settings == nullptr) return;
    const std::vector<std::vector<int>>& groups = m_rows->settings->groups;
    m_dayLastGroup.assign(static_cast<size_t>(nDays), -1);
    m_streaming = true;
    int previousEnd = -1;
    for (size_t g = 0; g < groups.size(); ++g) {
      int last = previousEnd;
      for (int d : groups[g]) {
        if (d < 0 || d >= nDays) {
          m_streaming = false;
          return;
        }
        last = std::max(last, d);
      }
      if (last < previousEnd) {
        m_streaming = false;
        return;
      }
      m_groupLastDay.push_back(last);
      previousEnd = last;
    }
    // A day in several groups is needed until the last of them has its rows.
    for (size_t g = 0; g < groups.size(); ++g)
      for (int d : groups[g]) {
        int& lastGroup = m_dayLastGroup[static_cast<size_t>(d)];
        lastGroup = std::max(lastGroup, static_cast<int>(g));
      }
    m_rows->rows.clear();
    m_rows->rows.resize(static_cast<size_t>(m_elements.m_nSize));
  }

  // Every day up to `lastDay` of part p is decoded: its elements' rows of the groups that are now
  // complete are made, and the days that no later group needs go.
  void MakeRowsOfPart(int p, int lastDay) {
    if (!m_streaming) return;
    SPart& part = m_parts[static_cast<size_t>(p)];
    size_t ready = part.groupsDone;
    while (ready < m_groupLastDay.size() && m_groupLastDay[ready] <= lastDay) ++ready;
    if (ready == part.groupsDone) return;
    NewSettings build = *m_rows->settings;
    build.groupFirst = part.groupsDone;
    build.groupEnd = ready;
    CRowsOnHelpers run(m_run, m_speedup, m_pace);
    for (int e = m_partFirst[static_cast<size_t>(p)]; e < m_partFirst[static_cast<size_t>(p) + 1]; ++e) {
      CElementData* data = m_set->At(e);
      if (data == nullptr) continue;
      CDBRecordset& out = *m_rows->rows[static_cast<size_t>(e)];
      bool built = m_rows->peak ? data->BuildPeakRecords(out, build, run) : data->BuildPeriodRecords(out, build, run);
      // Rows that could not be stored would make the report incomplete: the load ends.
      if (!built) {
        RunOutOfMemory();
        return;
      }
      for (size_t d = 0; d < m_dayLastGroup.size(); ++d) {
        const int g = m_dayLastGroup[d];
        if (g >= static_cast<int>(part.groupsDone) && g < static_cast<int>(ready)) data->DropDay(static_cast<int>(d));
      }
    }
    part.groupsDone = ready;
  }

  // Day i is done; read(e) tells whether element e's day has data. A day without any data, or
  // else each element-day without data, is named in the load's count.
  template <class Read>
  void NoteMissing(int i, Read read) {
    if (m_days.m_pData[i] == nullptr) return;
    bool objects = false, any = false;
    for (int e = 0; e < m_set->Count(); ++e)
      if (m_set->At(e) != nullptr) {
        objects = true;
        any = any || read(e);
      }
    if (!objects) return;
    SLoadCount& count = m_set->m_count;
    const std::string date = m_days.m_pData[i]->Format("%m/%d/%Y");
    if (!any) {
      count.AddMissingDay(date);
      return;
    }
    for (int e = 0; e < m_set->Count(); ++e) {
      if (m_set->At(e) == nullptr || read(e)) continue;
      const CDBElementEx& element = *m_elements.m_pData[e];
      // Past the listed ones only the count grows: no text is made for them.
      std::string text;
      if (count.missingElementDays.size() < SLoadCount::kMissingListed)
        text = std::string(element.CabinetLabel()) + ":" + std::string(element.name, strnlen(element.name, 7)) + " on " + date;
      count.AddMissingElementDay(std::move(text));
    }
  }

  // ---- posts ----

  bool Cancelled() {
    if (m_run.keepGoing()) return false;
    m_poster.Post(ID_WORKER_CANCELED, 0);
    return true;
  }

  void PostFailure(UINT id, const CDateTimeEx& day, DWORD error) {
    m_poster.Post(id, DayPayload(day));
    m_poster.Post(ID_WORKER_WIN32_ERROR, static_cast<LPARAM>(error));
  }

  // The data object of an element of `type` is there with a place for every day, and every day
  // object unless days are made while loading (they come into being only when they are filled);
  // an element of an unknown type has none.
  bool Made(const CElementData* data, int type) const {
    if (data == nullptr) return ExpectedRecordSize(type, PERIODS_PER_DAY) == 0;
    if (data->days.m_nSize != m_nDays) return false;
    for (int d = 0; d < m_nDays && !m_streaming; ++d)
      if (data->Day(d) == nullptr) return false;
    return true;
  }

  // ---- PE days ----

  // Days 0 .. k-1 are PE days. Each year's device list is read once, for the last PE day of that
  // year, and serves that year's days. False when the load was cancelled.
  bool LoadPeDays(int k) {
    int first = 0;
    while (first < k) {
      const int year = m_days.m_pData[first]->GetYear();
      int last = first;
      while (last + 1 < k && m_days.m_pData[last + 1]->GetYear() == year) ++last;
      CFileException record(CFileException::none, -1);
      CPEInputDesc desc;
      if (!desc.Read(*m_days.m_pData[last], &record)) {
        if (record.m_lOsError == static_cast<LONG>(ERROR_NOT_ENOUGH_MEMORY)) return OutOfMemoryOnPeDay();
        PostFailure(ID_WORKER_DESC_FILE_ERROR, *m_days.m_pData[last], static_cast<DWORD>(record.m_lOsError));
        m_run.addProgress(m_dayUnits[0] * static_cast<uint32_t>(last - first + 1));
        for (int i = first; i <= last; ++i) NoteMissing(i, [](int) { return false; });
      } else {
        for (int i = first; i <= last; ++i) {
          m_dayInHand = i;
          if (!LoadPeDay(i, desc)) return OutOfMemoryOnPeDay();
          m_run.addProgress(m_dayUnits[0]);
          if (Cancelled()) return false;
        }
      }
      first = last + 1;
    }
    return true;
  }

  // Memory ran out on a PE day: the load ends (false for LoadPeDays).
  bool OutOfMemoryOnPeDay() {
    RunOutOfMemory();
    return false;
  }

  // Reads PE day i; false when memory ran out.
  bool LoadPeDay(int i, const CPEInputDesc& desc) {
    CFileException record(CFileException::none, -1);
    CPEInput input;
    std::vector<uint8_t> read(static_cast<size_t>(m_set->Count()), 0);
    if (!input.Read(*m_days.m_pData[i], desc, &record)) {
      if (record.m_lOsError == static_cast<LONG>(ERROR_NOT_ENOUGH_MEMORY)) return false;
      PostFailure(ID_WORKER_DATA_FILE_ERROR, *m_days.m_pData[i], static_cast<DWORD>(record.m_lOsError));
      NoteMissing(i, [](int) { return false; });
      return true;
    }
    m_run.noteDayLayout(false);
    const DWORD n = input.m_nColumns;
    for (int e = 0; e < m_set->Count(); ++e) {
      CElementData* data = m_set->At(e);
      CDBElementEx* element = m_elements.m_pData[e];
      if (element == nullptr || element->type != ET_LOOP) continue;
      const char* alias = element->cabinet != nullptr ? element->cabinet->alias : "";
      const DWORD column = input.FindColumn(element->name, alias);
      if (column == 0xFFFFFFFF || column >= n) continue;
      auto* day = static_cast<CLoopDay*>(m_streaming ? data->EnsureDay(i) : data->Day(i));
      if (day == nullptr) return false;
      day->ResetPeriods();
      if (day->Count() != PERIODS_PER_DAY) return false;  // no room for the periods
      for (int p = 0; p < 288; ++p) {
        const BYTE vol = input.m_pVolume[static_cast<size_t>(p + 1) * n + column];
        const WORD occ = input.m_pOccupancy != nullptr ? input.m_pOccupancy[static_cast<size_t>(p) * n + column] : 0;
        day->SetPeriod(p, vol, occ, m_pe);
      }
      ++m_set->m_count.withData;
      read[static_cast<size_t>(e)] = 1;
      if (m_summariesOnly != nullptr) data->KeepOnlySummaries(i, *m_summariesOnly);
    }
    input.Close();
    NoteMissing(i, [&](int e) { return read[static_cast<size_t>(e)] != 0; });
    return true;
  }

  static double ProcessCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
  }

  // Measures the load's speedup (SLoadPace) once it has run long enough (MeasureLoadSpeedupAfter),
  // then every second, and moves the run's range by what the load adds beyond its planned units:
  // those added so far and, at the present scale, those of the days and rows still to come.
  // `end`: the load is over.
  void FollowPace(bool end) {
    const double measureMs = g_measureAfterMs.load(std::memory_order_relaxed);
    const double remeasureMs = std::min(1000.0, measureMs);
    const auto now = std::chrono::steady_clock::now();
    const double wall = std::chrono::duration<double, std::milli>(now - m_paceStart).count();
    if (!end) {
      if (wall < measureMs || std::chrono::duration<double, std::milli>(now - m_paceLast).count() < remeasureMs)
        return;
      m_paceLast = now;
      const double speedup = std::max(1.0, (ProcessCpuMs() - m_cpuStart) / wall);
      m_pace.scale.store(m_speedup / speedup, std::memory_order_relaxed);
    }
    double still = 0;  // planned units still to come
    if (!end) {
      still = static_cast<double>(m_nDays - 1 - m_dayInHand) * m_dayUnits[m_fine];
      if (m_rows != nullptr && m_streaming) {
        const int64_t five = m_rows->units[0], fine = m_rows->units[1];
        const double rows = m_daysRead == 0 ? static_cast<double>(five)
                                            : five + static_cast<double>(fine - five) * m_fineDaysRead / m_daysRead;
        still += std::max(0.0, rows - static_cast<double>(m_pace.rowsPlanned.load(std::memory_order_relaxed)));
      }
    }
    const double scale = m_pace.scale.load(std::memory_order_relaxed);
    const auto target = m_pace.extra.load(std::memory_order_relaxed) + static_cast<int64_t>(std::llround((scale - 1) * still));
    if (target == m_rangeMoved) return;
    m_run.addRange(target - m_rangeMoved);
    m_rangeMoved = target;
  }

  static void MakeKey(const CDBElementEx& element, bool aliasLayout, std::string& key) {
    key.clear();
    if (element.cabinet != nullptr) {
      const char* text = aliasLayout ? element.cabinet->alias : element.cabinet->id;
      key.append(text, strnlen(text, aliasLayout ? 7 : 10));
    }
    key += ':';
    key.append(element.name, strnlen(element.name, 7));
  }

  const CAdrArray<CDBElementEx>& m_elements;
  const CAdrArray<CDateTimeEx>& m_days;
  IWorkerPoster& m_poster;
  RunControl& m_run;
  const PeValidity m_pe;
  const ValidityTables* m_summariesOnly;
  SRowsWhileLoading* m_rows;
  CElementDataSet* m_set = nullptr;
  int m_nDays = 0;
  uint32_t m_dayUnits[2] = {0, 0};  // progress units of one day of every element: five-minute, 20-second
  double m_speedup = 1;             // of the load on its helpers (LoadSpeedup)
  SLoadPace m_pace;
  std::chrono::steady_clock::time_point m_paceStart, m_paceLast;
  double m_cpuStart = 0;            // the program's processor time when the load began
  int64_t m_rangeMoved = 0;         // what the load has added to the run's range
  int m_daysRead = 0, m_fineDaysRead = 0;  // day files read, and those in the 20-second layout
  int m_fine = 0;                   // the last day file read was in the 20-second layout
  std::vector<std::string> m_aliasKeys, m_idKeys;  // per element: "alias:name", "id:name"
  std::vector<int> m_types;                         // per element: its type, -1 for none
  std::vector<int> m_partFirst;                     // part p: elements m_partFirst[p] .. m_partFirst[p + 1] - 1
  // Shared with the helpers, under m_lock.
  std::mutex m_lock;
  std::condition_variable m_changed;  // any state below changed
  EPhase m_phase = kMaking;
  std::atomic<bool> m_outOfMemory{false};  // a helper ran out of memory: the load ends
  int m_dayInHand = 0;         // the day this thread waits for
  std::vector<SPart> m_parts;
  size_t m_partsMade = 0;
  std::vector<SDaySlot> m_slots;  // day d in slot d % kWindow
  int m_nextRead = 0;             // the next database day to read
  int m_oldestOpen = 0;           // the oldest database day not done
  size_t m_dayBytes = 0;          // the most bytes of records a day has had
  int m_windowDays = 1;           // days that may be in hand at once: one until a day is read
  CStream m_spare;                // a large buffer of a finished day, for the next day read
  // Rows while loading.
  bool m_streaming = false;
  std::vector<int> m_groupLastDay;   // per group, its last day
  std::vector<int> m_dayLastGroup;   // per day, the last group that holds it (-1: none)
};
}  // namespace

int MeasureLoadSpeedupAfter(int ms) { return g_measureAfterMs.exchange(std::max(0, ms), std::memory_order_relaxed); }

double LoadSpeedup(int64_t elementDays) {
  const int helpers = CDecodePool::DefaultThreads(RunsOfWork(elementDays));
  return std::sqrt((helpers + 1) / 2.0);
}

uint32_t LoadDayUnits(double speedup, bool fine, bool summaries) {
  const double units = (fine ? kProgressLoadFineDay : kProgressLoadDay) + (summaries ? kProgressSummaryDay : 0);
  return static_cast<uint32_t>(units / std::max(1.0, speedup) + 0.5);
}

std::unique_ptr<CElementDataSet> LoadElementData(const CAdrArray<CDBElementEx>& elements,
                                                 const CAdrArray<CDateTimeEx>& days, IWorkerPoster& poster,
                                                 RunControl& run, const ValidityTables* summariesOnly,
                                                 SRowsWhileLoading* rows) {
  CLoad load(elements, days, poster, run, summariesOnly, rows);
  return load.Run();
}
