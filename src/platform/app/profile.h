// The program's profile: named sections of named values, kept in an INI file
// `$XDG_CONFIG_HOME/KARVO/<program name>.ini` (`~/.config` when the variable is unset), the place
// of the Windows registry key KARVO\<program>. Section and key names compare without regard to
// case. Values are Windows-1252 text; integers are stored as signed decimal text.
//
// Every write saves the whole file at once: a temporary file beside it is written, then renamed
// over the old one, so a failed save leaves the previous file as it was. Flush (and the
// destructor) saves once more and waits until the file is on the disc.
//
// A save keeps every line the profile does not use (comments, blank lines, lines of no section or
// without "=") where it was; a new key goes after the last key of its section, a new section at
// the end.
//
// A save writes the line ends the file has (those of its first line); a new file gets LF. It keeps
// the file's mode, owner and group. A symbolic link stays a link: the file it leads to is read and
// saved under the same rules as a plain file.
//
// Only a regular file of at most kMaxFileBytes is read, and it is read without ever waiting on it
// (a FIFO or a device in its place is not opened for reading). A file that is there but is not
// read, holds bytes that no settings text holds (NUL and the other control bytes but tab, CR and
// LF), or holds text without a section line, leaves the profile empty, so every value is its
// default, and is never written over; so is a link that leads to no file, and a file that another
// user than this one and root owns or may change, or that lies in a folder another user may change
// (a sticky folder such as /tmp keeps its entries of this user's and root's from others); for a
// link, the file it leads to and the folders on the way to it count. A read-only file, or one
// whose owner or group a save could not keep, is read and never written over either. Values
// written to a file left alone stay in memory for the rest of the run. What the read found is kept
// for the program to tell its user.
#pragma once

#include "platform/base/types.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

class CProfile {
public:
  CProfile();  // the program's own profile file, read at once
  explicit CProfile(std::string path);  // a given file, read at once
  ~CProfile();  // Flush
  CProfile(const CProfile&) = delete;
  CProfile& operator=(const CProfile&) = delete;

  // The default file for a program name: $XDG_CONFIG_HOME/KARVO/<name>.ini.
  static std::string DefaultPath(const std::string& programName);

  // The largest settings file that is read.
  static constexpr uint64_t kMaxFileBytes = 16u << 20;

  // What the last read found.
  enum class FileState {
    Read,            // read (or nothing to read: an empty profile)
    Absent,          // no file: an empty profile, made on the first write
    NotRegularFile,  // a folder, FIFO, device or socket: left alone
    TooLarge,        // larger than kMaxFileBytes: left alone
    Unreadable,      // could not be read (GetReadError tells why): left alone
    NotText,         // holds bytes that no settings text holds: not read, left alone
    NotSettings,     // text without a section line (a note, a list): not read, left alone
    BrokenLink,      // a symbolic link to no file: left alone
    ReadOnly,        // read, but not writable for this program: left alone
    OtherOwner,      // read, but a save could not keep its owner or group: left alone
    // Within another user's reach (GetOthersReach tells where): not read, left alone.
    OtherUsersFile,    // the file belongs to another user
    WritableByOthers,  // the file is this user's or root's, but another user may write it
    InOthersFolder,    // a folder on the way to the file belongs to, or may be written by, another user
  };

  // True for a byte that no settings text holds: NUL and the other C0 control bytes but tab, CR
  // and LF. Every other byte is Windows-1252 text.
  static bool IsNonTextByte(unsigned char c) { return c < 0x20 && c != '\t' && c != '\r' && c != '\n'; }
  // True for text that has a line "[name]" (blanks and a ";" or "#" comment may follow), or has
  // nothing but blank lines: a settings file. Other text belongs to something else.
  static bool IsSettingsText(std::string_view text);

  // Reads the file again. A missing file is an empty profile; false when it exists but is not
  // read (see FileState): the profile is then empty and the file is left as it is. A read-only
  // file is read (true) and left as it is.
  bool Reload();
  FileState GetFileState() const;
  // True while the file is left as it is: writes are kept in memory only, and succeed.
  bool IsFileLeftAlone() const;
  // The file or folder within another user's reach (the last three FileStates), else "".
  std::string GetOthersReach() const;
  // The error number of an unreadable file, else 0.
  DWORD GetReadError() const;

  // The value, or `defaultValue` when the section or key is missing or the text is not a number.
  // Values beyond 32 bits keep their low 32 bits, as a registry value does.
  UINT GetProfileInt(const char* section, const char* key, int defaultValue) const;
  std::string GetProfileString(const char* section, const char* key, const char* defaultValue = nullptr) const;

  // Store and save. FALSE when the save failed (the value stays in memory) or the arguments are
  // unusable (a missing name, a line break in a name or value). A null value removes the key; a
  // null key removes the whole section.
  BOOL WriteProfileInt(const char* section, const char* key, int value);
  BOOL WriteProfileString(const char* section, const char* key, const char* value);

  // Saves the profile durably when something was written since the last Flush. FALSE when that
  // save failed or an earlier one did.
  BOOL Flush();

  // True when some save since construction failed.
  bool HasWriteFailed() const;
  DWORD GetLastSaveError() const;
  const std::string& GetPath() const { return m_path; }

private:
  // A key and its value, or (`kept`) a line of the file that the profile does not use, in `value`
  // as it was.
  struct Entry {
    std::string name;
    std::string value;
    bool kept = false;
  };
  // Entries keep their order in the file; `index` finds a key by its name folded to lower case.
  struct Section {
    std::string name;
    std::string header;  // the section's line as the file has it
    std::vector<Entry> entries;
    std::unordered_map<std::string, size_t> index;
    const Entry* Find(const std::string& folded) const;
    Entry* Find(const std::string& folded) { return const_cast<Entry*>(std::as_const(*this).Find(folded)); }
    void Reindex();
  };
  const Section* FindSection(const char* name) const;
  Section* FindSection(const char* name) { return const_cast<Section*>(std::as_const(*this).FindSection(name)); }
  // A new section at the end: from the file with its line, or made by a write (then set apart
  // from what comes before it by a blank line).
  Section& AddSection(const std::string& name, const std::string* header);
  void Parse(const std::string& text);
  DWORD Save(bool durable);

  std::string m_path;
  std::string m_lineEnd = "\n";  // what a save ends each line with
  std::vector<std::string> m_leadingLines;  // lines before the first section
  std::vector<Section> m_sections;
  std::unordered_map<std::string, size_t> m_sectionIndex;  // folded name -> position in m_sections
  FileState m_fileState = FileState::Absent;
  DWORD m_readError = 0;
  std::string m_othersReach;
  mutable std::recursive_mutex m_lock;
  bool m_writeFailed = false;
  bool m_unsynced = false;
  DWORD m_lastSaveError = 0;
};
