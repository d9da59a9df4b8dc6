// The program's version block, compiled into the program: the fixed part (signature
// 0xFEEF04BD, file and product versions), one translation (US English, code page 1252) and the
// string values. It is read through the Windows calls: the size, a copy of the block, and queries
// by path ("\\" for the fixed part, "\\VarFileInfo\\Translation", "\\StringFileInfo\\040904e4\\<key>"
// with the language 0409 and the code page 04e4 in hexadecimal). Tests can make reading it fail.
#pragma once

#include "platform/base/types.h"

constexpr DWORD VS_FFI_SIGNATURE = 0xFEEF04BD;
constexpr DWORD VS_FFI_STRUCVERSION = 0x00010000;

struct VS_FIXEDFILEINFO {
  DWORD dwSignature = 0;
  DWORD dwStrucVersion = 0;
  DWORD dwFileVersionMS = 0;
  DWORD dwFileVersionLS = 0;
  DWORD dwProductVersionMS = 0;
  DWORD dwProductVersionLS = 0;
  DWORD dwFileFlagsMask = 0;
  DWORD dwFileFlags = 0;
  DWORD dwFileOS = 0;
  DWORD dwFileType = 0;
  DWORD dwFileSubtype = 0;
  DWORD dwFileDateMS = 0;
  DWORD dwFileDateLS = 0;
};

// The size of the version block of the program file `file` (any non-empty name: the program has
// one module); 0 with last error 1813 when reading is made to fail or `file` is empty. `handle`
// receives 0.
DWORD GetFileVersionInfoSizeA(const char* file, DWORD* handle);

// Copies the block into `data` (`length` bytes, as the size call gave). FALSE when it fails.
BOOL GetFileVersionInfoA(const char* file, DWORD handle, DWORD length, void* data);

// Finds a value in a block copied by GetFileVersionInfoA: `*buffer` points into the block and
// `*length` receives its size (bytes for the fixed part and the translation, characters with the
// NUL for a string). FALSE when the path names nothing.
BOOL VerQueryValueA(const void* block, const char* subBlock, void** buffer, UINT* length);

constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;

// Makes reading the version block fail (for tests), or work again.
void SetVersionInfoFailureForTesting(bool fail);
