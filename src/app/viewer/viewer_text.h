// What the text viewer knows of a Classic report without any window: the file's lines (kept as
// the file's bytes and the offsets of the lines, so a report of millions of lines costs little
// more than its size), the report family from the path, the index of the report's sections, the
// labels of the cabinet / element / section cascade, and the search for a chosen section.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Report families by the path's (upper-cased) last three characters.
enum EViewerFileType : int { VFT_UNKNOWN = -1, VFT_RAW = 0, VFT_SDS = 1, VFT_MDS = 2 };
int ViewerFileType(const std::string& path);
// The path as a field of `width` characters shows it: whole when it fits, otherwise "..." and its
// end, so the file's name stays in view.
std::string PathEnd(const std::string& path, size_t width);

// Reads a file in blocks and hands over its lines in order, without their line ends (a CR before
// the LF is dropped; a final line without a line end counts; an empty file has no lines).
// `progress` gets the bytes read so far after each block and returns false to stop. 0, or the
// system error number (ERROR_OPERATION_ABORTED when stopped).
uint32_t ReadTextLines(const char* path, const std::function<bool(uint64_t)>& progress,
                       const std::function<void(std::string_view)>& line);

// The lines of one file, kept as the file's bytes and the lines' offsets.
class CTextLines {
 public:
  // Reads the file in blocks; `progress` gets the bytes read so far after each block and returns
  // false to stop (the lines are then dropped). 0, or the system error number of the failure.
  uint32_t Load(const char* path, const std::function<bool(uint64_t)>& progress);
  // Takes a text already in memory.
  void Assign(std::string text);
  void Clear();

  int Count() const { return static_cast<int>(starts_.size()); }
  // Line i; "" outside 0 .. Count() - 1.
  std::string_view Line(int i) const;
  uint64_t ByteCount() const { return text_.size(); }

 private:
  void IndexFrom(size_t from);
  std::string text_;
  std::vector<uint64_t> starts_;
};

struct SViewerSection {
  int m_nLine = 0;              // the title line's index
  std::string m_strCabinet;     // the title line up to its colon: columns 0-6 (alias) or 0-9 (id)
  std::string m_strElement;     // the 7 characters after the colon
  std::string m_strDescription; // 24 characters of roadway and location, or "**Unavailable**"
  std::string m_strHeading;     // the line after the title line
  std::string m_strSubtitle;    // the third line after the title line
};

// A section's title line names its cabinet before a colon: an alias beginning with "ES-", "RD-" or
// "VD-" (colon at column 7), or, for a cabinet without an alias, its ten-character id
// ("005es01000", colon at column 10). TitleColon gives the colon's column, 0 for other lines.
int TitleColon(std::string_view line);
bool IsTitleLine(std::string_view line);

// The index of the line after the section whose title line is at `i`, given its line i + 3: after
// line i + 3, and in a raw data listing after its 288 data lines too, unless the day had no data
// (a line "     ***DATA UNAVAILABLE***" at i + 3 and nothing after it).
int NextAfterSection(int i, std::string_view line3, int fileType);

// Indexes the sections of a report fed line by line, in file order: a title line is examined
// only where the previous section's lines end (see NextAfterSection); lines past the end of the
// file read as empty.
class CSectionIndexer {
 public:
  explicit CSectionIndexer(int fileType) : m_type(fileType) {}
  void Feed(std::string_view line);
  // Completes a section whose following lines the file did not have.
  void Finish();
  std::vector<SViewerSection> sections;

 private:
  void Complete();
  int m_type;
  int m_line = 0;      // index of the line fed next
  int m_next = 0;      // the first line that may be a title line
  bool m_open = false; // the last section still waits for its heading or subtitle
};

// Indexes the sections of a whole text. `step` is called after every line (false stops: the
// result is then false and `out` empty).
bool IndexSections(const CTextLines& lines, int fileType, std::vector<SViewerSection>& out,
                   const std::function<bool()>& step);

// Cascade: one line per cabinet ("alias description"), first appearance first (`cabinets`, when
// given, gets the cabinets of the lines in the same order); the elements of a cabinet, each once;
// the labels of an element's sections, each once (the cabinet is not compared, as the element name
// holds it).
std::vector<std::string> CabinetLines(const std::vector<SViewerSection>& sections,
                                      std::vector<std::string>* cabinets = nullptr);
std::vector<std::string> ElementsOfCabinet(const std::vector<SViewerSection>& sections, std::string_view cabinet);
std::vector<std::string> SectionLabels(const std::vector<SViewerSection>& sections, std::string_view element,
                                       int fileType);

// The title line of the last section of cabinet and element whose label matches, or -1. The
// sections are the title lines that a walk over the text examines, so the index answers the search.
int FindSection(const std::vector<SViewerSection>& sections, int fileType, std::string_view cabinet,
                std::string_view element, std::string_view label);
