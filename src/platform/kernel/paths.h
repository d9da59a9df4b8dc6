// Paths. Inside the program a path keeps the Windows form: `\` separators, Windows-1252 text,
// folders that end in a separator. Every file function of this layer accepts `\` and `/` alike
// and turns the path into the system's form with ToNativePath. Archives copied from discs and
// shares differ in the case of their names, so a component that does not exist with its exact
// case is looked up without regard to case. Nothing here changes the current folder.
#pragma once

#include <string>
#include <string_view>

bool IsPathSeparator(char c);  // `\` or `/`
bool EndsWithSeparator(std::string_view path);

// The system's form of a program path: separators become `/`, Windows-1252 characters beyond
// ASCII become UTF-8, and each component missing with its exact case is replaced by the entry of
// its folder that matches it without regard to case (the first in name order when several do).
// From the first component that matches nothing, the rest is kept as given.
std::string ToNativePath(std::string_view path);

// A name as the system stores it (UTF-8, or other bytes) to program text (Windows-1252), and back.
std::string NativeNameToProgram(std::string_view name);
std::string ProgramNameToNative(std::string_view name);

// The folder part of a native path ("." for a bare name, "/" for a name in the root).
std::string NativeParent(std::string_view nativePath);
