// What the program makes sure of before its windows exist, and how it ends when it cannot start.
//
// A program that cannot start for want of memory says so in one line on standard error and ends
// with status 1: nothing is open or unsaved yet. That holds for the libraries' own start too (Qt's
// static initialisers run before main and may find no memory): an exception that nobody catches
// before the application has started ends the program the same way.
#pragma once

#include <cstdint>
#include <string>

// The address space the start itself takes beyond what is mapped when main begins (the window
// system's libraries and fonts, its connection, the paint threads), besides the main window's image
// (4 bytes a pixel of the screen): about 36 MB, with room to spare.
inline constexpr uint64_t kStartBytes = uint64_t{64} << 20;

// Before any window: file-size limits turned into write errors, the room to start and for the
// window system (as large as the screen makes it) checked, the heap's arenas limited as far as an
// address-space limit needs (platform/kernel/address_space.h), and the paint threads started.
// False, with the line that says why, when the program cannot start.
bool PrepareStart(std::string* why);

// Installs the handler of exceptions that nobody catches: before the application has started, one
// that is std::bad_alloc ends the program with the not-enough-memory line and status 1; any other,
// or any later, ends it as the C++ library does.
void EndStartsThatRunOutOfMemory() noexcept;

// The line that says the program could not start for want of memory ("qav: ...").
extern const char kNoMemoryToStartLine[];
