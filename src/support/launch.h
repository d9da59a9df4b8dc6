// Programs associated with file types, and starting them.
#pragma once

#include "platform/base/types.h"

// Writes the full path of the program that opens files with the extension (with its dot) into
// `program` (room for MAX_PATH characters; untouched on failure). Returns a value above 32 when
// found, else the shell's error value (31: no association), whose text goes into `errorText`
// (room for 29 characters) when one is given. No probe file is created.
INT_PTR FindAssociatedProgram(const char* extension, char* program, char* errorText);

// Starts `program` on `file` ("program" "file") without waiting; 0 or the Windows error number.
DWORD LaunchProgram(const char* file, const char* program);

// Opens the file with its associated program; 0 or the Windows error number.
DWORD OpenDocument(const char* file);
