// The running program: its full path and its name. Tests can substitute the path.
#pragma once

#include "platform/base/types.h"

#include <string>

// The program file's full path (from /proc/self/exe).
std::string GetProgramPath();

// The program file's name without folder and extension, e.g. "qav"; the profile file and the
// help file are named after it.
std::string GetProgramName();

// The user's home folder: $HOME when it is set and not empty, else the home the password
// database names for the effective user. Empty when neither names one: nothing is then taken in
// the folder the program was started from.
std::string GetHomeFolder();

// Replaces the program path (for tests); an empty text restores the real one.
void SetProgramPathForTesting(const std::string& path);

// Windows form: the program's path into `buffer` of `size` characters (cut to fit, always
// terminated). Returns the characters copied; `size` when the path was cut (last error 122).
// Only the program's own module (null) is known.
using HMODULE = void*;
DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size);
