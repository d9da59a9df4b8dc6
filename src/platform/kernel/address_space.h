// Room for the program's data under a limit on the process's address space (RLIMIT_AS, as
// `ulimit -v` sets it).
//
// Under such a limit every mapping counts against it: the program's data, and also what the window
// system needs to draw (Qt's painting, the images it shares with the X server, the threads it
// starts). Qt and X cannot run out of memory safely: when the data has taken the last of the
// address space, the window thread's next paint crashes. So the program's data may take the limit
// less a room kept for the window system (kWindowRoom, more on a large screen): a data block that
// would go past it is refused (its allocation answers null or throws std::bad_alloc, as when the
// system has no more), the work that wanted it ends with the not-enough-memory error, and the
// windows still have the room to draw and to say so.
//
// What counts as data: every block that a thread marked with MarkDataThread allocates (the
// program's own threads: loads, rows, reports), and a block of kLargeBlock bytes or more on any
// other thread (the viewer's text, a list's lines on the window thread). The small blocks of the
// window thread and of Qt's threads, and the window system's small blocks on a data thread
// (CWindowSystemBlocks), are never refused here.
//
// The address space in use is the process's mapped size (/proc/self/statm), measured again after
// every kMeasureEvery bytes handed out and before any refusal. Near the limit (within one such span
// of it) what the heap holds free is taken off for a small block, which takes that room first (a
// large one may not find it in one piece); further off it need not be known, and asking the heap
// for it walks every free block under the heap's lock, which would cost a run with millions of
// free blocks far more than the limit does.
// Without a limit nothing is measured (the limit is looked at again as often, so a limit set while
// the program runs is followed).
//
// The heap's arenas: each thread that allocates gets an arena of the C library's own, up to eight
// for each processor, and each arena beside the first reserves kArenaReserve of address space at
// once, whatever it holds. Under an address-space limit LimitHeapArenas lets the arenas' reserves
// take at most an eighth of the room the limit leaves the data beyond its first gigabyte: a generous
// limit keeps every thread its own arena (threads that share one queue on its lock), a tight one
// shares the first, so that a report needs no higher limit than on one arena.
#pragma once

#include <pthread.h>

#include <cstdint>
#include <string>

namespace qav {

// What the window system keeps at least of a limited address space: the images of new windows
// (about 5 MB for a maximised window on a 1280 x 1024 screen), Qt's painting, the stacks of the
// threads Qt starts (a file chooser's), with room to spare.
inline constexpr uint64_t kWindowRoom = uint64_t{64} << 20;
// A larger room for the window system, once it knows the screen (its windows' images grow with it);
// never less than kWindowRoom.
void SetWindowRoom(uint64_t bytes) noexcept;
// The room for a screen of `width` x `height` pixels: each of the program's windows (the main
// window, the viewers) may be as large as the screen, with an image of its own at 4 bytes a pixel;
// five of them besides 32 MB for the rest, never less than kWindowRoom.
uint64_t WindowRoomForScreen(uint64_t width, uint64_t height) noexcept;
// Blocks this large count as data on every thread.
inline constexpr uint64_t kLargeBlock = uint64_t{64} << 10;
// Bytes handed out between two measures of the address space.
inline constexpr uint64_t kMeasureEvery = uint64_t{8} << 20;

// Whether the calling thread may have a block of `bytes` from the heap now: always for a small
// block outside the data threads, otherwise when the data stays below the limit less the window
// system's room. The block allocator asks before every allocation.
bool RoomForBlock(uint64_t bytes) noexcept;
// Whether `bytes` of data (a thread's stack, a block of any size) fit below the limit less the
// window system's room now, whatever the calling thread.
bool RoomForData(uint64_t bytes) noexcept;

// Whether a thread whose stack `attr` sets (null: the default stack) fits with the data: a stack is
// address space too. The program's threads are started only when it does. The C library keeps up
// to 40 MB of the stacks of ended threads and gives them to new ones: a stack that one of the
// program's ended threads left there needs no new room.
bool RoomForThread(const pthread_attr_t* attr) noexcept;

// Room taken ahead for what the window system will allocate later for the program's data (a list
// view lays its lines out in batches after they are added): it counts as data in use until it is
// given back. False, and nothing taken, when it does not fit.
bool ClaimForData(uint64_t bytes) noexcept;
void GiveBackClaim(uint64_t bytes) noexcept;

// While one exists on a thread, that thread's small blocks are the window system's (a message queued
// for the window thread, the event that wakes it up), not data: never refused here, also on a data
// thread, so that a worker out of room can still tell the window thread so.
class CWindowSystemBlocks {
 public:
  CWindowSystemBlocks() noexcept;
  ~CWindowSystemBlocks();
  CWindowSystemBlocks(const CWindowSystemBlocks&) = delete;
  CWindowSystemBlocks& operator=(const CWindowSystemBlocks&) = delete;
};

// Marks the calling thread, whose stack is `stackBytes`, as one of the program's data threads: each
// of its blocks counts, and its stack is kept for a new thread when it ends.
void MarkDataThread(uint64_t stackBytes) noexcept;

// At program start, before the window system starts: whether the limit leaves `startBytes` for the
// start and the window system's room besides. False, with the line that says so in `why`, when it
// does not.
bool RoomToStart(uint64_t startBytes, std::string* why);

// What an arena of the C library's heap beside the first reserves (on 64-bit systems).
inline constexpr uint64_t kArenaReserve = uint64_t{64} << 20;
// The data's room that the first arena keeps to itself: the largest reports that a tight limit
// still lets through (the New view's listing of 60 days of 300 loops needs about 1.2 GB of it) are
// written under as low a limit as with a single arena. Beyond it a second arena is enough for a
// load's helpers to queue little on the heap (under a 2 GB limit that listing takes no longer than
// without a limit).
inline constexpr uint64_t kOneArenaRoom = uint64_t{1} << 30;
// The arenas the heap may have when the data has `dataRoom` bytes of a limited address space (the
// limit less what the start and the window system need): the first, and one more for every eight
// reserves that fit in that room beyond kOneArenaRoom; 0 when that is at least `usual` (the C
// library's own number, eight for each processor), which then stays.
int HeapArenasFor(uint64_t dataRoom, int usual) noexcept;
// At program start, before any other thread allocates: under an address-space limit, the heap's
// arenas limited as HeapArenasFor says, beside the start's `startBytes` and the window system's room;
// the number set, 0 when they are left as they are. A limit on the data alone leaves them: an
// arena's reserve is no data until it is used.
int LimitHeapArenas(uint64_t startBytes) noexcept;

// Tests: a limit of `limit` bytes with `used()` in use and `heapFree()` free in the heap (none when
// null), in place of the process's own (which the address sanitizer's shadow memory makes useless);
// a limit of 0 gives the process's back.
void SetAddressSpaceForTesting(uint64_t limit, uint64_t (*used)(), uint64_t (*heapFree)() = nullptr);

}  // namespace qav
