// CStdioMemFile: reads text lines from a file loaded into memory (the device lists are read
// whole and then line by line through it).
#pragma once

#include "containers/str.h"
#include "platform/app/file.h"

class CStdioMemFile : public CMemFile {
 public:
  explicit CStdioMemFile(UINT growBytes = 1024);
  CStdioMemFile(BYTE* buffer, UINT bufferSize, UINT growBytes = 0);
  ~CStdioMemFile() override;

  // Reads the next line into `buffer`, which must hold |max| + 1 characters: at most |max|
  // characters, then (see below) the line end, then a NUL. A line longer than |max| is returned
  // in pieces without a line end. The line end (LF, CR LF, or a lone CR, always stored as LF) is
  // stored when max is negative or when fewer than |max| bytes were left to read. Returns the
  // buffer, or null at the end of the data.
  char* ReadString(char* buffer, int max);
  // Reads one whole line of any length without its line end. False at the end of the data.
  BOOL ReadString(CStrA& line);
  void WriteString(const char* text);
  // Stores the path as the file's name; a null path is ignored.
  void SetFilePath(const char* path) override;
};
