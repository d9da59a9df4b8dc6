// A report file on a disk that fills, for the runs of both views: the first file opened through it
// takes `budget` bytes (the write that crosses the budget is cut short there, as the system cuts
// it) and then fails for want of space; or its close fails, as on a network share that writes
// what it held back when the file is closed. Later files are written normally. After each write
// a file takes, `afterWrite` (when set) is called with the file's number (1 for the first opened)
// and the bytes it holds: a test presses Cancel there, or takes the report's folder away.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/app/file.h"
#include "platform/base/errors.h"

class CFillingFile : public CStdioFile {
 public:
  int64_t budget = -1;  // -1: no limit
  bool closeFails = false;
  int opens = 0;
  std::function<void(int open, int64_t taken)> afterWrite;

  BOOL Open(const char* name, UINT flags, CFileException* error = nullptr) override {
    ++opens;
    taken_ = 0;
    return CStdioFile::Open(name, flags, error);
  }
  BOOL Write(const void* buffer, UINT count) override {
    if (opens != 1 || budget < 0 || taken_ + count <= budget) {
      taken_ += count;
      const BOOL written = CStdioFile::Write(buffer, count);
      if (written && afterWrite) afterWrite(opens, taken_);
      return written;
    }
    CStdioFile::Write(buffer, static_cast<UINT>(budget - taken_));
    taken_ = budget;
    return Fail(ERROR_DISK_FULL);
  }
  BOOL Close() override {
    const bool fail = closeFails && opens == 1 && IsOpen();
    const BOOL closed = CStdioFile::Close();
    return fail ? Fail(ERROR_DISK_FULL) : closed;
  }

 private:
  int64_t taken_ = 0;
};

