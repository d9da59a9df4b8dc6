// The running program: its full path and its name. Tests can substitute the path.
#pragma once

#include "platform/base/types.h"

#include <string>

// The program file's full path (from /proc/self/exe).
std::string GetProgramPath();

// The program file's name without folder and extension, e.g. "qav"; the profile file and the
// help file are named after it.
std::string GetProgramName();

// The user's home folder: $HOME when it is a full path, else (HOME unset, empty or relative) the
// home the password database names for the effective user. Empty when neither names one: nothing
// is then taken in the folder the program was started from.
std::string GetHomeFolder();

// Puts the home GetHomeFolder finds into HOME when HOME names none (unset, empty or relative), and
// takes HOME away when there is no home; takes away the XDG base folders (XDG_CONFIG_HOME,
// XDG_DATA_HOME, XDG_CACHE_HOME, XDG_STATE_HOME) that are not full paths. The libraries that read
// them themselves (Qt keeps its file choosers' state in XDG_CONFIG_HOME, else under HOME) would
// otherwise write in the folder the program was started from. For the start of the program, before
// any thread reads the environment.
void SettleHomeVariables();

// Replaces the program path (for tests); an empty text restores the real one.
void SetProgramPathForTesting(const std::string& path);

// Windows form: the program's path into `buffer` of `size` characters (cut to fit, always
// terminated). Returns the characters copied; `size` when the path was cut (last error 122).
// Only the program's own module (null) is known.
using HMODULE = void*;
DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size);
