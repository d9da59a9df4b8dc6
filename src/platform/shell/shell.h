// The desktop shell: starting programs, the program associated with a file type, opening
// documents and URLs, and the help file. Programs are started directly (no command shell, so
// blanks and quotes in names need no quoting), are not waited for, and are reaped when they end.
#pragma once

#include "platform/base/types.h"

#include <functional>
#include <string>
#include <vector>

// Starts `program` (a program path, see platform/kernel/paths.h, or a bare name searched in PATH)
// with `arguments`, passed as they are. Returns 0 when the program runs, else the error number
// (2 when it does not exist, 5 when it cannot be executed).
DWORD StartProgram(const std::string& program, const std::vector<std::string>& arguments);

// Starts `program` on one file given as a program path (the "\"program\" \"file\"" launch).
DWORD StartProgramOnFile(const std::string& program, const std::string& file);

// As StartProgram; when the program has been started, `ended` is called on another thread with its
// exit status once it ends (128 + the signal number when a signal ended it).
DWORD StartProgramWatched(const std::string& program, const std::vector<std::string>& arguments,
                          std::function<void(int status)> ended);

// The desktop's generic opener (xdg-open) found in PATH, or "" when it is not installed.
std::string DesktopOpenerPath();

// Result codes of the association look-up: above 32 means found.
constexpr INT_PTR SE_ERR_OUTOFMEMORY = 0;
constexpr INT_PTR SE_ERR_FNF = 2;
constexpr INT_PTR SE_ERR_PNF = 3;
constexpr INT_PTR SE_ERR_BADFORMAT = 11;
constexpr INT_PTR SE_ERR_NOASSOC = 31;
constexpr INT_PTR SE_FOUND = 42;

// The full path of the program the desktop opens files with the extension `extension` (with its
// dot, e.g. ".TXT") with, into `result` (at least MAX_PATH characters; at most 259 characters
// and a NUL are written, and only on success). The desktop's MIME defaults decide (mimeapps.list
// in the XDG configuration and data folders, then the applications' MIME cache); when the type
// is known but has no default program, the desktop's generic opener (xdg-open) serves if it is
// installed. Returns SE_FOUND, or SE_ERR_NOASSOC when nothing opens such files.
INT_PTR FindExecutableForExtension(const char* extension, char* result);

// Windows form: the program associated with an existing file's type. SE_ERR_FNF (2) when the
// file does not exist, SE_ERR_PNF (3) when its folder does not exist.
INT_PTR FindExecutableA(const char* file, const char* directory, char* result);

// Replaces the look-up of the default program of a MIME type (for tests); an empty function
// restores the desktop's. The function returns false when the type has no default.
void SetAssociationLookupForTesting(std::function<bool(const std::string& mimeType, std::string& program)> lookup);

// Opens a document (with its associated program) or a URL (with the browser) through the
// desktop's opener, without waiting. Returns 0 or the error number of starting the opener.
DWORD OpenDocumentOrUrl(const char* documentOrUrl);

// The help file: "<program path>.chm".
std::string GetHelpFilePath();

// Opens the help file with the program associated with its type. Returns 0, 2 when the help file
// does not exist, 1155 when no program opens it, or the error of starting that program. The
// caller shows a message when the result is not 0.
DWORD OpenHelpFile();
