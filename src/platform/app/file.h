// The framework's file classes, without exceptions: an operation that fails returns FALSE (or
// the count it managed) and keeps the error number, which GetError gives; Open fills an optional
// CFileException record instead of throwing it.
//
// CFile: a binary file with a current position. CStdioFile: a file of text lines; in text mode
// (the default) WriteString writes each "\n" as CR LF and the readers take LF or CR LF as the
// line end. CMemFile: a file in a memory block that can grow.
#pragma once

#include "platform/base/types.h"
#include "platform/kernel/files.h"

#include <string>
#include <vector>

class CFileException {
public:
  enum {
    none = 0,
    genericException,
    fileNotFound,
    badPath,
    tooManyOpenFiles,
    accessDenied,
    invalidFile,
    removeCurrentDir,
    directoryFull,
    badSeek,
    hardIO,
    sharingViolation,
    lockViolation,
    diskFull,
    endOfFile,
  };

  explicit CFileException(int cause = none, LONG osError = -1, const char* fileName = nullptr);

  // The cause that a Windows error number stands for.
  static int OsErrorToException(LONG osError);

  int m_cause;
  LONG m_lOsError;
  std::string m_strFileName;
};

class CFile {
public:
  enum OpenFlags : UINT {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    shareCompat = 0x0000,  // as shareExclusive
    shareExclusive = 0x0010,
    shareDenyWrite = 0x0020,
    shareDenyRead = 0x0030,
    shareDenyNone = 0x0040,
    modeNoInherit = 0x0080,
    modeCreate = 0x1000,
    modeNoTruncate = 0x2000,
    typeText = 0x4000,
    typeBinary = 0x8000,
    // Creates a new file and fails (80) when one exists already: for files whose names are
    // chosen by the program in shared folders, so that no other file is overwritten.
    modeCreateExclusive = 0x10000,
    // Writes a new file beside the name (FileHandle::OpenAside), which takes the name at Commit:
    // a file already under the name stays as it was until the new one is whole, and for good
    // when the new one is discarded or never committed.
    modeCreateAside = 0x20000,
  };
  enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };

  CFile() = default;
  virtual ~CFile();
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  // Opens `fileName` (a program path: `\` or `/`, case-insensitive where the exact name is
  // missing). modeCreate creates or empties the file (with modeNoTruncate it keeps an existing
  // one). On failure `error`, when given, receives the cause, the error number and the path that
  // was tried (the file found, or the name as given when none was).
  virtual BOOL Open(const char* fileName, UINT openFlags, CFileException* error = nullptr);

  // Reads up to `count` bytes at the position and moves it; fewer only at the end of the file.
  virtual UINT Read(void* buffer, UINT count);
  // Writes all bytes at the position and moves it.
  virtual BOOL Write(const void* buffer, UINT count);
  // Moves the position; a target before the start (error 131) or beyond the largest position
  // (87) fails and keeps the position. Returns the new position.
  virtual ULONGLONG Seek(LONGLONG offset, UINT from);
  void SeekToBegin() { Seek(0, begin); }
  ULONGLONG SeekToEnd() { return Seek(0, end); }
  virtual ULONGLONG GetPosition() const;
  virtual ULONGLONG GetLength() const;
  virtual BOOL SetLength(ULONGLONG length);
  virtual BOOL Flush();
  virtual BOOL Close();  // FALSE when something the close had to finish failed
  // Closes a file written whole and puts it in place (FileHandle::Commit): FALSE, with nothing put
  // in place, when the close failed or the name it was written under no longer leads to it.
  BOOL Commit();
  // Closes a file whose writing failed and takes away what was written (FileHandle::Discard):
  // a report cut short must not be left looking whole, nor keep a full disk full.
  EDiscarded Discard();
  void Abort() { Close(); }
  virtual bool IsOpen() const { return m_file.IsOpen(); }

  // The path as given to Open or SetFilePath; its last component; that without extension.
  virtual std::string GetFilePath() const { return m_strFileName; }
  virtual std::string GetFileName() const;
  virtual std::string GetFileTitle() const;
  virtual void SetFilePath(const char* path);

  DWORD GetError() const { return m_error; }  // the last error number, 0 after success

protected:
  BOOL Fail(DWORD error);
  // The position that a seek by `offset` from `from` names, given the current position and the
  // length. FALSE (the error kept) for an unknown origin (87), a target before the start (131)
  // or one beyond the largest position (87).
  BOOL SeekTarget(LONGLONG offset, UINT from, ULONGLONG current, ULONGLONG length, ULONGLONG& target);

  FileHandle m_file;
  ULONGLONG m_position = 0;
  std::string m_strFileName;
  DWORD m_error = 0;
};

class CStdioFile : public CFile {
public:
  CStdioFile() = default;

  // Text mode unless typeBinary is given.
  BOOL Open(const char* fileName, UINT openFlags, CFileException* error = nullptr) override;

  // Writes the text's bytes up to its NUL; in text mode each "\n" becomes CR LF.
  BOOL WriteString(const char* text);

  // Reads one line into `buffer`, at most `max` - 1 characters and a NUL, keeping its line end
  // as "\n" (in text mode CR LF becomes "\n"). A longer line continues at the next call. Null at
  // the end of the file.
  char* ReadString(char* buffer, UINT max);

  // Reads one whole line without its line end (LF, or CR LF in text mode). False at the end of
  // the file when nothing was read.
  BOOL ReadString(std::string& line);

  UINT Read(void* buffer, UINT count) override;
  ULONGLONG Seek(LONGLONG offset, UINT from) override;
  BOOL SetLength(ULONGLONG length) override;
  BOOL Write(const void* buffer, UINT count) override;
  BOOL Close() override;

private:
  int NextByte();  // -1 at the end
  int PeekByte();
  void DropReadBuffer();

  bool m_text = true;
  std::vector<char> m_in;
  size_t m_inPos = 0;
};

class CMemFile : public CFile {
public:
  explicit CMemFile(UINT growBytes = 1024);
  // Attaches a caller's block (see Attach).
  CMemFile(BYTE* buffer, UINT bufferSize, UINT growBytes = 0);
  ~CMemFile() override;

  // Uses the caller's block, which stays the caller's. With `growBytes` 0 the block is the
  // file's whole contents and cannot grow; otherwise the file starts empty and, when it outgrows
  // the block, moves to a block of its own.
  void Attach(BYTE* buffer, UINT bufferSize, UINT growBytes = 0);
  // Gives up the block (the caller owns it from then on) and empties the file.
  BYTE* Detach();

  UINT Read(void* buffer, UINT count) override;
  BOOL Write(const void* buffer, UINT count) override;
  ULONGLONG Seek(LONGLONG offset, UINT from) override;
  ULONGLONG GetPosition() const override { return m_nPosition; }
  ULONGLONG GetLength() const override { return m_nFileSize; }
  BOOL SetLength(ULONGLONG length) override;
  BOOL Flush() override { return TRUE; }
  BOOL Close() override;
  bool IsOpen() const override { return true; }
  // A null path is a programming error: it is ignored.
  void SetFilePath(const char* path) override;

protected:
  BOOL GrowFile(size_t newSize);
  void Free();

  UINT m_nGrowBytes;
  size_t m_nPosition = 0;
  size_t m_nBufferSize = 0;
  size_t m_nFileSize = 0;
  BYTE* m_lpBuffer = nullptr;
  BOOL m_bAutoDelete = TRUE;
};
