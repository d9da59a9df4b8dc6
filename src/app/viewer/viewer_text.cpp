#include "app/viewer/viewer_text.h"

#include <algorithm>
#include <cstring>

#include "platform/app/file.h"
#include "platform/base/errors.h"

namespace {

constexpr int kRawDataLines = 288;
constexpr std::string_view kUnavailable = "     ***DATA UNAVAILABLE***";

std::string_view Mid(std::string_view s, size_t from, size_t count) {
  if (from >= s.size()) return {};
  return s.substr(from, count);
}
std::string_view Left(std::string_view s, size_t n) { return s.substr(0, std::min(n, s.size())); }
std::string_view Right(std::string_view s, size_t n) { return s.substr(s.size() - std::min(n, s.size())); }
bool StartsWith(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }
bool Contains(std::string_view s, std::string_view p) { return s.find(p) != std::string_view::npos; }

template <class T>
void AddUnique(std::vector<std::string>& v, T&& s) {
  if (std::find(v.begin(), v.end(), s) == v.end()) v.emplace_back(std::forward<T>(s));
}

}  // namespace

int ViewerFileType(const std::string& path) {
  if (path.size() < 3) return VFT_UNKNOWN;
  std::string ext = path.substr(path.size() - 3);
  for (char& c : ext)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (ext == "DAT") return VFT_RAW;
  if (ext == "SDS") return VFT_SDS;
  if (ext == "MDS") return VFT_MDS;
  return VFT_UNKNOWN;
}

std::string PathEnd(const std::string& path, size_t width) {
  constexpr size_t kDots = 3;
  if (path.size() <= width) return path;
  if (width <= kDots) return path.substr(path.size() - width);
  return "..." + path.substr(path.size() - (width - kDots));
}

uint32_t ReadTextLines(const char* path, const std::function<bool(uint64_t)>& progress,
                       const std::function<void(std::string_view)>& line) {
  CFile f;
  CFileException fe;
  if (!f.Open(path, CFile::modeRead | CFile::shareDenyNone, &fe)) return static_cast<uint32_t>(fe.m_lOsError);
  // Small blocks: the caller's progress looks for a Cancel (and for a run's end) after each one,
  // and filling the viewer's list from a block of 128 KB takes a few milliseconds.
  constexpr UINT kBlock = 1u << 17;
  std::string buf;  // a partial line from the previous block, then the new block
  uint64_t total = 0;
  auto emit = [&](std::string_view l) {
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
    line(l);
  };
  for (;;) {
    const size_t keep = buf.size();
    buf.resize(keep + kBlock);
    const UINT got = f.Read(buf.data() + keep, kBlock);
    buf.resize(keep + got);
    if (got == 0) {
      if (f.GetError() != 0) return f.GetError();
      break;
    }
    total += got;
    size_t start = 0;
    for (size_t at; (at = buf.find('\n', start)) != std::string::npos; start = at + 1)
      emit(std::string_view(buf).substr(start, at - start));
    buf.erase(0, start);
    if (progress && !progress(total)) return ERROR_OPERATION_ABORTED;
  }
  if (!buf.empty()) emit(buf);
  return 0;
}

uint32_t CTextLines::Load(const char* path, const std::function<bool(uint64_t)>& progress) {
  Clear();
  const uint32_t err = ReadTextLines(path, progress, [this](std::string_view l) {
    starts_.push_back(text_.size());
    text_.append(l);
    text_ += '\n';
  });
  if (err != 0) Clear();
  return err;
}

void CTextLines::Assign(std::string text) {
  Clear();
  text_ = std::move(text);
  IndexFrom(0);
}

void CTextLines::Clear() {
  std::string().swap(text_);
  std::vector<uint64_t>().swap(starts_);
}

void CTextLines::IndexFrom(size_t from) {
  // A line starts at 0 and after every LF that is not the last byte.
  if (from == 0 && !text_.empty()) starts_.push_back(0);
  if (from > 0 && text_[from - 1] == '\n' && from < text_.size()) starts_.push_back(from);
  const char* base = text_.data();
  const size_t n = text_.size();
  for (size_t i = from; i < n;) {
    const void* p = std::memchr(base + i, '\n', n - i);
    if (!p) break;
    size_t at = static_cast<size_t>(static_cast<const char*>(p) - base);
    if (at + 1 < n) starts_.push_back(at + 1);
    i = at + 1;
  }
}

std::string_view CTextLines::Line(int i) const {
  if (i < 0 || i >= Count()) return {};
  size_t b = starts_[static_cast<size_t>(i)];
  size_t e = static_cast<size_t>(i) + 1 < starts_.size() ? starts_[static_cast<size_t>(i) + 1] : text_.size();
  std::string_view s(text_.data() + b, e - b);
  if (!s.empty() && s.back() == '\n') s.remove_suffix(1);
  if (!s.empty() && s.back() == '\r') s.remove_suffix(1);
  return s;
}

int TitleColon(std::string_view line) {
  std::string_view p = Left(line, 3);
  if (p == "ES-" || p == "RD-" || p == "VD-") return 7;
  // A cabinet without an alias is named by its id, "%03ies%05i": ten characters without blanks.
  if (line.size() <= 10 || line[10] != ':' || Mid(line, 3, 2) != "es") return 0;
  for (char c : Left(line, 10))
    if (c == ' ' || c == ':') return 0;
  return 10;
}

bool IsTitleLine(std::string_view line) { return TitleColon(line) != 0; }

int NextAfterSection(int i, std::string_view line3, int fileType) {
  int next = i + 4;
  if (fileType == VFT_RAW && !StartsWith(line3, kUnavailable)) next += kRawDataLines;
  return next;
}

void CSectionIndexer::Feed(std::string_view line) {
  const int k = m_line++;
  if (m_open) {
    SViewerSection& s = sections.back();
    if (k == s.m_nLine + 1) s.m_strHeading = line;
    if (k == s.m_nLine + 3) {
      s.m_strSubtitle = line;
      Complete();
    }
    return;
  }
  const int colon = k < m_next ? 0 : TitleColon(line);
  if (colon == 0) return;
  // The columns after the cabinet's name move with its width (7 for an alias, 10 for an id).
  const size_t shift = static_cast<size_t>(colon) - 7;
  SViewerSection s;
  s.m_nLine = k;
  s.m_strCabinet = Left(line, static_cast<size_t>(colon));
  s.m_strElement = Mid(line, 8 + shift, 7);
  if (Contains(line, "***"))
    s.m_strDescription = "**Unavailable**";
  else
    s.m_strDescription = Mid(line, (Mid(line, 15 + shift, 1) == " " ? 17 : 21) + shift, 24);
  sections.push_back(std::move(s));
  m_open = true;
}

void CSectionIndexer::Complete() {
  const SViewerSection& s = sections.back();
  m_next = NextAfterSection(s.m_nLine, s.m_strSubtitle, m_type);
  m_open = false;
}

void CSectionIndexer::Finish() {
  if (m_open) Complete();
}

bool IndexSections(const CTextLines& lines, int fileType, std::vector<SViewerSection>& out,
                   const std::function<bool()>& step) {
  CSectionIndexer indexer(fileType);
  for (int i = 0; i < lines.Count(); ++i) {
    indexer.Feed(lines.Line(i));
    if (step && !step()) {
      out.clear();
      return false;
    }
  }
  indexer.Finish();
  out = std::move(indexer.sections);
  return true;
}

std::vector<std::string> CabinetLines(const std::vector<SViewerSection>& sections,
                                      std::vector<std::string>* cabinets) {
  std::vector<std::string> seen, out;
  for (const SViewerSection& s : sections) {
    if (std::find(seen.begin(), seen.end(), s.m_strCabinet) != seen.end()) continue;
    seen.push_back(s.m_strCabinet);
    out.push_back(s.m_strCabinet + " " + s.m_strDescription);
  }
  if (cabinets) *cabinets = std::move(seen);
  return out;
}

std::vector<std::string> ElementsOfCabinet(const std::vector<SViewerSection>& sections, std::string_view cabinet) {
  std::vector<std::string> out;
  for (const SViewerSection& s : sections)
    if (s.m_strCabinet == cabinet) AddUnique(out, s.m_strElement);
  return out;
}

std::vector<std::string> SectionLabels(const std::vector<SViewerSection>& sections, std::string_view element,
                                       int fileType) {
  std::vector<std::string> out;
  for (const SViewerSection& s : sections) {
    if (s.m_strElement != element) continue;
    std::string label;
    const std::string& h = s.m_strHeading;
    if (fileType == VFT_RAW) {
      label = h;
    } else if (fileType == VFT_SDS) {
      label = h;
      std::string_view sub = Left(s.m_strSubtitle, 10);
      if (sub == "     ---Da") label += "  Daily";
      else if (sub == "     ---15") label += "  15Min";
    } else if (StartsWith(h, "Monthl")) {
      label = "Monthly: " + std::string(Right(h, 14));
    } else if (StartsWith(h, "Yearly")) {
      label = "Yearly:  " + std::string(Right(h, 10));
    } else if (StartsWith(h, "(ASWT)")) {
      label = "Annual:  ASWT";
    } else if (StartsWith(h, "(AWDT)")) {
      label = "Annual:  AWDT";
    } else if (StartsWith(h, "(AADT)")) {
      label = "Annual:  AADT";
    } else {
      continue;
    }
    AddUnique(out, std::move(label));
  }
  return out;
}

int FindSection(const std::vector<SViewerSection>& sections, int fileType, std::string_view cabinet,
                std::string_view element, std::string_view label) {
  int found = -1;
  for (const SViewerSection& s : sections) {
    if (s.m_strCabinet != cabinet || s.m_strElement != element) continue;
    const std::string& next = s.m_strHeading;
    bool match = false;
    if (fileType == VFT_RAW) {
      match = next == label;
    } else if (fileType == VFT_SDS) {
      match = next == Left(label, 16) && Contains(s.m_strSubtitle, Right(label, 3));
    } else if (StartsWith(label, "Monthly:")) {
      match = Contains(next, Right(label, 14));
    } else if (StartsWith(label, "Yearly: ")) {
      match = Contains(next, Right(label, 10));
    } else if (label == "Annual:  ASWT" || label == "Annual:  AWDT" || label == "Annual:  AADT") {
      match = Contains(next, Right(label, 4));
    }
    if (match) found = s.m_nLine;
  }
  return found;
}
