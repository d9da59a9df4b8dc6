// Files and folders. Paths are program paths (see paths.h): `\` or `/`, resolved without regard
// to case where the exact name is missing. Errors are Windows error numbers (errors.h); a file
// that is missing is 2 when its folder exists and 3 when it does not.
//
// FileHandle is an open file with positioned reads and writes, which is what the program's
// overlapped file I/O amounts to when each request runs on a worker thread.
#pragma once

#include "platform/base/types.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr DWORD MAX_PATH = 260;

// Access.
constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;

// Sharing: what other opens of the same file may do meanwhile.
constexpr DWORD FILE_SHARE_READ = 0x00000001;
constexpr DWORD FILE_SHARE_WRITE = 0x00000002;
constexpr DWORD FILE_SHARE_DELETE = 0x00000004;

// Dispositions.
constexpr DWORD CREATE_NEW = 1;         // fails with 80 when the file exists
constexpr DWORD CREATE_ALWAYS = 2;      // creates or empties
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;        // opens or creates
constexpr DWORD TRUNCATE_EXISTING = 5;  // opens and empties

// Attributes.
constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x00000001;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x00000002;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x00000004;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x00000010;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x00000020;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;
constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x00000100;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000;

// MoveFileEx flags.
constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x00000001;
constexpr DWORD MOVEFILE_COPY_ALLOWED = 0x00000002;
constexpr DWORD MOVEFILE_WRITE_THROUGH = 0x00000008;

// What became of a file whose writing failed (FileHandle::Discard).
enum class EDiscarded {
  Removed,  // the file is gone
  Emptied,  // its contents are gone; its name stays (a link to it, or a folder that keeps names)
  Kept,     // nothing could be taken away (not a regular file, or the system refused)
  Gone,     // its name no longer leads to it (the file or its folder was removed, moved or replaced)
};

class FileHandle {
public:
  FileHandle() = default;
  ~FileHandle();  // closes
  FileHandle(FileHandle&& other) noexcept;
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  // Opens (closing any file held first). `access` is GENERIC_READ and/or GENERIC_WRITE; `share`
  // FILE_SHARE_* (checked against the other opens of the same file in this process: a conflict
  // gives 32); `disposition` CREATE_NEW ... TRUNCATE_EXISTING (another value gives 87);
  // `attributes` only FILE_ATTRIBUTE_READONLY matters: a file created with it is read-only on
  // disc while this handle may still write. A folder cannot be opened (5). Returns 0 or the error.
  DWORD Open(const char* path, DWORD access, DWORD share, DWORD disposition, DWORD attributes = 0);
  // Opens for writing a new, empty file beside `path` (in the folder of the file it names), which
  // takes that name only at Commit: a file already there stays as it is until then, and for good
  // when the new one is discarded or never committed. The new file has no name while it is
  // written where the file system allows (a program killed meanwhile leaves nothing); elsewhere
  // it has a temporary name in that folder, ".~qav" and six letters or digits, of the same length
  // whatever the name (so every name the file system takes can be written), and what earlier
  // writes that never ended left in the folder under such names is taken away here (only this
  // user's regular files with no other name, never one that another write is still at). A name
  // longer than the folder takes is refused here (206). A link on the name is followed (the file it
  // leads to is replaced; the link stays). The new file gets the mode, owner and group of the
  // file it replaces. Where it cannot have them (another user's file), where the folder takes no
  // new file but holds a file of that name this user may write, and where the name is no regular
  // file (a device) or a link to none, `path` itself is opened and emptied as CREATE_ALWAYS does.
  // A file this user may not write (CheckWriteAccess) is refused (5). Returns 0 or the error (the
  // folder's when it cannot take the file).
  DWORD OpenAside(const char* path, DWORD share);
  // Puts a file written whole in place: closes it (a close that fails gives its error) and, when
  // it was opened aside, renames it over the name it was opened for. Returns 0, or the error with
  // nothing put in place and the file still to be discarded: also when the name it was written
  // under no longer leads to it (see CheckWrittenName).
  DWORD Commit();
  // Closes. Returns 0, or the error the close reported: a write the system had held back failed
  // (a full disk or quota on a network share). A file opened aside that has no name yet is given
  // its temporary name first (its error, when that fails, and the file is lost).
  DWORD Close();
  // Gives up a file whose writing failed, also after a Close that failed: a regular file opened
  // for writing loses its contents, and its name too while that name (not a link on the way)
  // still leads to the same file. Anything else (a device, a pipe) is only closed, never removed.
  // A file opened aside and not committed goes with its temporary name; the file it was to
  // replace is untouched. Opening again, or the handle's end, gives such a file up the same way.
  EDiscarded Discard();
  // After writing, open or closed: 0 while the name the file was written under (a file opened
  // aside: its temporary name until Commit, then its own) still leads to the regular file written here (the same device and inode); else why it does not: the file or its
  // folder is gone (2, 3), or another file has taken the name (1006). A file written all the
  // same is lost when its folder is removed meanwhile. 0 when no regular file was written here.
  DWORD CheckWrittenName() const;
  bool IsOpen() const { return m_fd >= 0; }

  // Reads up to `length` bytes at `offset`, looping over short reads and interruptions; `read`
  // receives the count. Stops early only at the end of the file. A read that gets no bytes at all
  // (length > 0 at or past the end) fails with 38.
  DWORD ReadAt(uint64_t offset, void* buffer, size_t length, size_t& read);

  // Reads the bytes from `offset` on into the pieces in turn (a buffer and its length each, several
  // pieces may share one buffer to skip bytes), with as few requests as the system allows, looping
  // like ReadAt; `read` receives the count. The pieces may be changed.
  struct Piece {
    void* buffer;
    size_t length;
  };
  DWORD ReadPiecesAt(uint64_t offset, Piece* pieces, size_t count, size_t& read);

  // Writes all `length` bytes at `offset` (a file grows as needed). Returns 0 or the error.
  DWORD WriteAt(uint64_t offset, const void* buffer, size_t length);

  DWORD GetSize(uint64_t& size) const;
  DWORD SetSize(uint64_t size);  // truncates or extends with zero bytes
  DWORD Flush();

  const std::string& NativePath() const { return m_path; }  // the path actually opened
  int Descriptor() const { return m_fd; }

private:
  // Gives up a file opened aside and not committed (Discard), or closes any other.
  void Abandon();
  DWORD OpenNative(const std::string& native, DWORD access, DWORD share, DWORD disposition, DWORD attributes);
  // Closes on the release thread (platform/kernel/release.h), after which the descriptor is no
  // longer this handle's.
  void CloseLater();
  // Drops this handle's entries from the table of the files this process has open.
  void ForgetShares();
  // Ends the lock that keeps other runs from taking a file opened aside for one left behind.
  void ReleaseLock();

  int m_fd = -1;
  std::string m_path;
  // The regular file last opened here for writing, kept past Close for Discard.
  struct Written {
    bool valid = false;
    uint64_t dev = 0, ino = 0;
    std::string path;
  } m_written;
  // The name a file opened aside takes at Commit (system form); empty for any other file.
  std::string m_commitTo;
  // A file opened aside that has no name yet (m_written.path is empty until Close names it).
  bool m_unnamed = false;
  // A second descriptor of a file opened aside, which holds its lock until it takes its name.
  int m_lock = -1;
};

// Folder listing entry.
struct FolderEntry {
  std::string name;   // program text (Windows-1252)
  DWORD attributes = 0;  // FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_READONLY, or FILE_ATTRIBUTE_NORMAL
  uint64_t size = 0;
};

// The entries of a folder given by its full path, in name order, without "." and "..". Returns 0
// or the error (a missing folder gives 3; a file gives 267).
DWORD ListFolder(const char* folder, std::vector<FolderEntry>& entries);

// The following keep the Windows calling form: TRUE on success, FALSE with GetLastError() set.

// Creates one folder level (the parent must exist: else 3). An existing one gives 183.
BOOL CreateDirectoryA(const char* path, void* securityAttributes = nullptr);
BOOL RemoveDirectoryA(const char* path);
BOOL DeleteFileA(const char* path);
// Renames; with MOVEFILE_REPLACE_EXISTING an existing target is replaced (else 183), with
// MOVEFILE_COPY_ALLOWED a move to another file system copies (through a temporary file in the
// target folder) and deletes the source (else 17). Unlike Windows, a read-only or open target is
// replaced as well.
BOOL MoveFileExA(const char* from, const char* to, DWORD flags);
// FILE_ATTRIBUTE_DIRECTORY / FILE_ATTRIBUTE_READONLY / FILE_ATTRIBUTE_NORMAL, or
// INVALID_FILE_ATTRIBUTES.
DWORD GetFileAttributesA(const char* path);
// Only FILE_ATTRIBUTE_READONLY is honoured: set, it takes every write permission away; clear, it
// gives the owner write permission.
BOOL SetFileAttributesA(const char* path, DWORD attributes);
// The temporary folder ($TMPDIR, else /tmp/) with a trailing separator, into `buffer` of `size`
// characters. Returns the length, the size needed (with the NUL) when the buffer is too small, or 0.
DWORD GetTempPathA(DWORD size, char* buffer);

// Convenience forms.
std::string GetTempFolder();  // as GetTempPathA

// What ReplaceFileContents does with a file that it cannot replace while keeping it as it was: the
// file belongs to a user or group that a new file could not be given, or its folder takes no new
// file (a shared folder of another user's files).
enum class EReplaceFallback {
  Refuse,        // the file is left alone: 5
  WriteInPlace,  // a file this user may write is written over where it is, keeping owner and mode
};

// Replaces a file's whole contents so that a failure never leaves it half written: the data go
// to a new file in the same folder (written as OpenAside writes one: unnamed where it can be, so
// that a program killed meanwhile leaves nothing), which is flushed to the disc when `sync` is set,
// then renamed over the file (a symbolic link is followed, so the file it names is replaced; a
// link that leads to no file is refused with that error). On failure the old file stays as it was
// and no temporary file is left. `nativePath` is in the system's form (ToNativePath). An existing
// file keeps its permissions, owner and group (5 when they cannot be kept); a new one gets 0644.
// A file this user may not write (CheckWriteAccess), and anything but a regular file in its place
// (a folder, FIFO, device), is left alone: 5.
//
// With EReplaceFallback::WriteInPlace a file that cannot be replaced so is written where it is:
// the room for the longer contents is taken first, and the old bytes are kept and put back when
// the writing fails. `oldKept`, when given, tells whether the old contents are whole after a
// failure (false only when a write in place failed and they could not be put back).
// Returns 0 or the error number.
DWORD ReplaceFileContents(const std::string& nativePath, std::string_view data, bool sync = true,
                          EReplaceFallback fallback = EReplaceFallback::Refuse, bool* oldKept = nullptr);
// 0 when this user may write the file at `nativePath` (system form) of mode `mode`: some write
// permission is set (a file that nobody may write stays so, also for root) and the system grants
// this user one. Else why not: 5, or the system's answer (a file system mounted read-only).
// Reports, set-up files and the settings file are written only so.
DWORD CheckWriteAccess(const std::string& nativePath, uint32_t mode);
// Tests only: with `unnamedFiles` false every file system is taken for one that has no unnamed
// files; the next `failingSyncs` flushes of ReplaceFileContents fail as a disc error would.
void SetFileFaultsForTesting(bool unnamedFiles, int failingSyncs);
bool FileExists(const char* path);    // a file or a folder
bool FolderExists(const char* path);
