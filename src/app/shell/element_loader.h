// CElementLoader: the background load behind the element selection dialog. From the chosen dates
// it reads, walking forward from the first date, the first day that loads and, walking backward
// from the last date, the last day that loads, and builds from both one tree of roadways (R), their
// cabinets (K) and the cabinets' elements (E). When it ends it posts WM_ELEMENTS_LOADED to the
// notice window with the periods per day it found (kLoadStopped when stopped or nothing loaded).
//
// The element dialog derives from it (or holds one); the trees and dates are read on the
// user-interface thread only after the done event (IsDone / WaitDone). A class that overrides
// OnLoadReset calls StopLoad first thing in its own destructor, so the thread never calls into a
// half-destroyed object.
#pragma once

#include <cstdint>
#include <memory>

#include "archive/input.h"
#include "archive/input_desc.h"
#include "containers/obj_array.h"
#include "platform/kernel/events.h"
#include "platform/kernel/threads.h"
#include "platform/ui/wintypes.h"
#include "trafficdata/date_time_ex.h"
#include "trafficdata/db_element.h"

// Element-kind mask bits.
constexpr uint8_t kMaskLoops = 1;
constexpr uint8_t kMaskSpeedTraps = 2;
constexpr uint8_t kMaskStations = 4;
constexpr uint8_t kMaskMeteredLanes = 8;
constexpr uint8_t kMaskAll = 0xFF;
constexpr uint8_t kMaskClassic = 7;

using CRoadwayTree = CObjArray<CDBRoadway>;
using CCabinetTree = CObjArray<CObjArray<CDBCabinet>>;
using CElementTree = CObjArray<CObjArray<CObjArray<CDBElementEx>>>;

// Reports a day that did not load: the text, the system error number, the hook's context.
using LoadErrorHook = void (*)(const char* text, DWORD error, void* context);
// Writes the text, ": " and the system's text of the number to standard output.
void DefaultLoadErrorHook(const char* text, DWORD error, void* context);

class CElementLoader {
 public:
  CElementLoader() = default;
  explicit CElementLoader(HWND noticeWindow) : m_hNoticeWnd(noticeWindow) {}
  virtual ~CElementLoader();  // StopLoad first
  CElementLoader(const CElementLoader&) = delete;
  CElementLoader& operator=(const CElementLoader&) = delete;

  // The window that receives WM_ELEMENTS_LOADED (the view).
  void SetNoticeWindow(HWND wnd) { m_hNoticeWnd = wnd; }
  HWND NoticeWindow() const { return m_hNoticeWnd; }
  void SetErrorHook(LoadErrorHook hook, void* context) {
    m_pfnErrorHook = hook;
    m_pErrorContext = context;
  }

  // Starts a load over the chosen dates (ascending). A running load is stopped first. With no
  // dates no thread starts: the trees are emptied, the load counts as failed and the notice is
  // posted with kLoadStopped. 0, or the error number of a thread that could not be started.
  DWORD StartLoad(const CObjArray<CDateTimeEx>& dates, uint8_t mask);
  // The same over a calendar month.
  DWORD StartLoadMonth(int year, int month, uint8_t mask);
  // Signals the stop event, waits for the thread (serving the disc request on the user-interface
  // thread meanwhile) and closes the events.
  void StopLoad();

  // True when no load runs or the running one has signalled done.
  bool IsDone() const;
  // Waits until done; on the user-interface thread it keeps serving sends (the disc request).
  void WaitDone();
  bool IsLoading() const { return m_thread != nullptr; }

  // One day's elements into the trees; false when memory ran out (the trees then lack some).
  static bool BuildFmdbTree(CFMDBInput& day, CFMDBInputDesc& list, CRoadwayTree& R, CCabinetTree& K,
                            CElementTree& E, uint8_t mask);
  static bool BuildPeTree(CPEInput& day, CPEInputDesc& list, CRoadwayTree& R, CCabinetTree& K, CElementTree& E);

  // Type word of a database name entry -> element type and mask bit; false when the word is not
  // one of the layout's (alias layout: 92, 96, 100 only).
  static bool ElementTypeOfWord(int typeWord, bool aliasLayout, int& elementType, uint8_t& maskBit);
  // Route number and roadway name of a cabinet id the device list does not know.
  static void UnknownCabinetRoadway(const char* cabinetId, CDBRoadway& roadway);

  // ---- Load state (read after done) ----
  uint8_t m_nMask = kMaskAll;
  CDateTimeEx m_StartDate;
  CDateTimeEx m_EndDate;
  uint8_t m_bLoadFailed = 1;
  int32_t m_nPeriods = static_cast<int32_t>(0x7FFFFFFF);
  CRoadwayTree m_Roadways;
  CCabinetTree m_Cabinets;
  CElementTree m_Elements;

 protected:
  // Runs on the loader thread before the walk: the dialog empties its lists' address arrays.
  virtual void OnLoadReset() {}

 private:
  enum class EDayLoad { kLoaded, kNotLoaded, kOutOfMemory };
  void LoadDatesThread();
  // The body of LoadDatesThread, reading into `record`; false when memory ran out.
  bool LoadDates(CFileException& record);
  // One day: loaded (trees built, periods set), not loaded (reported), or memory ran out.
  EDayLoad LoadDay(const CDateTimeEx& day, bool backward, CFileException& record);
  void Report(const char* format, CFileException& record);
  void PostNotice(int32_t periods);
  void ClearTrees();

  HWND m_hNoticeWnd = nullptr;
  LoadErrorHook m_pfnErrorHook = &DefaultLoadErrorHook;
  void* m_pErrorContext = nullptr;
  std::unique_ptr<Event> m_stop;   // manual reset
  std::unique_ptr<Event> m_done;   // manual reset
  std::unique_ptr<Event> m_started;  // automatic reset
  std::unique_ptr<Thread> m_thread;
};
