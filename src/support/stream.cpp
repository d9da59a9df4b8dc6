#include "support/stream.h"

#include <arpa/inet.h>
#include <locale.h>
#include <netdb.h>
#include <sys/socket.h>
#include <wchar.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/base/errors.h"
#include "platform/base/text.h"

namespace {

const char* const kSerialErrorTexts[] = {
    "The hardware detected a framing error.",
    "A character-buffer overrun has occurred. The next character is lost.",
    "The hardware detected a parity error.",
    "General or driver-specific warning.",
    "Non-blank data was truncated.",
};

size_t WideLength(const char16_t* text) {
  size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

// Day and month names are always English: time formatting uses the "C" locale.
locale_t CLocale() {
  static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return loc;
}

std::wstring ToWchar(const char16_t* text, size_t n) {
  std::wstring out;
  out.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    out.push_back(static_cast<wchar_t>(c));
  }
  return out;
}

std::u16string FromWchar(const wchar_t* text, size_t n) {
  std::u16string out;
  out.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    char32_t c = static_cast<char32_t>(text[i]);
    if (c >= 0x10000 && c <= 0x10FFFF) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(c > 0xFFFF ? u'?' : static_cast<char16_t>(c));
    }
  }
  return out;
}

// printf with the Windows rules for wide formats, producing UTF-16: %s, %ls, %ws and %c take
// UTF-16 arguments, %hs, %S and %hc narrow (Windows-1252) ones. Numbers go through snprintf.
// %n writes nothing.
void WideVFormat(std::u16string& out, const char16_t* f, va_list args) {
  while (*f != 0) {
    if (*f != u'%') {
      out.push_back(*f++);
      continue;
    }
    const char16_t* start = f++;
    if (*f == u'%') {
      out.push_back(u'%');
      ++f;
      continue;
    }
    std::string conversion = "%";
    bool leftAlign = false;
    while (*f == u'-' || *f == u'+' || *f == u' ' || *f == u'#' || *f == u'0') {
      if (*f == u'-') leftAlign = true;
      conversion.push_back(static_cast<char>(*f++));
    }
    int width = -1;
    if (*f == u'*') {
      width = va_arg(args, int);
      if (width < 0) {
        leftAlign = true;
        conversion.push_back('-');
        width = -width;
      }
      ++f;
    } else if (*f >= u'0' && *f <= u'9') {
      width = 0;
      while (*f >= u'0' && *f <= u'9') width = width * 10 + (*f++ - u'0');
    }
    if (width >= 0) conversion += std::to_string(width);
    int precision = -1;
    if (*f == u'.') {
      ++f;
      precision = 0;
      if (*f == u'*') {
        precision = va_arg(args, int);
        ++f;
      } else {
        while (*f >= u'0' && *f <= u'9') precision = precision * 10 + (*f++ - u'0');
      }
      if (precision >= 0) conversion += "." + std::to_string(precision);
    }
    // Length: 0 none, 'h', 'H' (hh), 'l', 'L' (ll / I64 / long double), 'z' (size_t, j, t, I).
    char length = 0;
    if (*f == u'h') {
      ++f;
      length = 'h';
      if (*f == u'h') {
        ++f;
        length = 'H';
      }
    } else if (*f == u'l') {
      ++f;
      length = 'l';
      if (*f == u'l') {
        ++f;
        length = 'L';
      }
    } else if (*f == u'L' || *f == u'q') {
      ++f;
      length = 'L';
    } else if (*f == u'w') {
      ++f;
      length = 'l';
    } else if (*f == u'z' || *f == u'j' || *f == u't') {
      ++f;
      length = 'z';
    } else if (*f == u'I') {
      ++f;
      if (f[0] == u'6' && f[1] == u'4') {
        f += 2;
        length = 'L';
      } else if (f[0] == u'3' && f[1] == u'2') {
        f += 2;
      } else {
        length = 'z';
      }
    }
    const char16_t conv = *f;
    if (conv == 0) {
      out.append(start, f);
      break;
    }
    ++f;
    char buf[512];
    switch (conv) {
      case u'd':
      case u'i':
      case u'u':
      case u'x':
      case u'X':
      case u'o': {
        const bool isSigned = conv == u'd' || conv == u'i';
        std::string s = conversion + "ll" + static_cast<char>(conv);
        long long sv = 0;
        unsigned long long uv = 0;
        if (length == 'L') {
          sv = va_arg(args, long long);
          uv = static_cast<unsigned long long>(sv);
        } else if (length == 'l' || length == 'z') {
          sv = va_arg(args, long);
          uv = static_cast<unsigned long>(sv);
        } else {
          const int v = va_arg(args, int);
          sv = v;
          uv = static_cast<unsigned int>(v);
          if (length == 'h') {
            sv = static_cast<short>(v);
            uv = static_cast<unsigned short>(v);
          } else if (length == 'H') {
            sv = static_cast<signed char>(v);
            uv = static_cast<unsigned char>(v);
          }
        }
        const int n = isSigned ? std::snprintf(buf, sizeof buf, s.c_str(), sv) : std::snprintf(buf, sizeof buf, s.c_str(), uv);
        if (n > 0) out += Cp1252ToUtf16(std::string_view(buf, std::min<size_t>(n, sizeof buf - 1)));
        break;
      }
      case u'e':
      case u'E':
      case u'f':
      case u'F':
      case u'g':
      case u'G':
      case u'a':
      case u'A': {
        int n;
        if (length == 'L') {
          const long double v = va_arg(args, long double);
          n = std::snprintf(buf, sizeof buf, (conversion + "L" + static_cast<char>(conv)).c_str(), v);
        } else {
          const double v = va_arg(args, double);
          n = std::snprintf(buf, sizeof buf, (conversion + static_cast<char>(conv)).c_str(), v);
        }
        if (n > 0) out += Cp1252ToUtf16(std::string_view(buf, std::min<size_t>(n, sizeof buf - 1)));
        break;
      }
      case u'p': {
        const int n = std::snprintf(buf, sizeof buf, "%p", va_arg(args, void*));
        if (n > 0) out += Cp1252ToUtf16(std::string_view(buf, std::min<size_t>(n, sizeof buf - 1)));
        break;
      }
      case u'n':
        (void)va_arg(args, void*);
        break;
      case u's':
      case u'S':
      case u'c':
      case u'C': {
        const bool narrow = (conv == u'S' || conv == u'C') ? length != 'l' : length == 'h';
        std::u16string piece;
        if (conv == u's' || conv == u'S') {
          if (narrow) {
            const char* s = va_arg(args, const char*);
            if (s == nullptr) s = "(null)";
            piece = Cp1252ToUtf16(precision >= 0 ? std::string_view(s, strnlen(s, precision)) : std::string_view(s));
          } else {
            const char16_t* s = va_arg(args, const char16_t*);
            if (s == nullptr) s = u"(null)";
            size_t n = 0;
            while (s[n] != 0 && (precision < 0 || n < static_cast<size_t>(precision))) ++n;
            piece.assign(s, n);
          }
        } else {
          const int v = va_arg(args, int);
          piece.push_back(narrow ? Cp1252ToUnicode(static_cast<unsigned char>(v)) : static_cast<char16_t>(v));
        }
        const size_t pad = width > 0 && piece.size() < static_cast<size_t>(width) ? width - piece.size() : 0;
        if (!leftAlign) out.append(pad, u' ');
        out += piece;
        if (leftAlign) out.append(pad, u' ');
        break;
      }
      default:
        out.append(start, f);  // an unknown conversion is shown as it stands
        break;
    }
  }
}

// Formats into a temporary first, so that arguments pointing into the stream's own block stay
// valid while the block grows.
std::string NarrowVFormat(const char* format, va_list args) {
  char local[512];
  va_list a;
  va_copy(a, args);
  const int need = std::vsnprintf(local, sizeof local, format, a);
  va_end(a);
  if (need < 0) return std::string();
  if (static_cast<size_t>(need) < sizeof local) return std::string(local, need);
  std::string big(static_cast<size_t>(need) + 1, '\0');
  va_copy(a, args);
  std::vsnprintf(big.data(), big.size(), format, a);
  va_end(a);
  big.resize(need);
  return big;
}

// strftime in the "C" locale. An expansion that is empty, or that no room up to
// 256 x the format's length + 256 bytes holds, gives the empty text.
std::string NarrowTime(const char* format, const tm* t) {
  if (format == nullptr || t == nullptr || *format == 0) return std::string();
  const size_t limit = 256 * std::strlen(format) + 256;
  std::string buf(64, '\0');
  for (;;) {
    const size_t n = strftime_l(buf.data(), buf.size(), format, t, CLocale());
    if (n > 0) {
      buf.resize(n);
      return buf;
    }
    if (buf.size() >= limit) return std::string();
    buf.resize(std::min(buf.size() * 2, limit));
  }
}

std::u16string WideTime(const char16_t* format, const tm* t) {
  if (format == nullptr || t == nullptr || *format == 0) return std::u16string();
  const std::wstring wf = ToWchar(format, WideLength(format));
  const size_t limit = 256 * wf.size() + 256;
  std::wstring buf(64, L'\0');
  for (;;) {
    const size_t n = wcsftime_l(buf.data(), buf.size(), wf.c_str(), t, CLocale());
    if (n > 0) return FromWchar(buf.data(), n);
    if (buf.size() >= limit) return std::u16string();
    buf.resize(std::min(buf.size() * 2, limit));
  }
}

}  // namespace

const char* GetSerialErrorText(DWORD code) {
  if (code >= 0x10000 && code <= 0x10004) return kSerialErrorTexts[code - 0x10000];
  return nullptr;
}

void AppendErrorNumberText(CStream& s, DWORD code) {
  if (code < 0x10000) {
    const char* text = GetSystemErrorText(code);
    if (text != nullptr) {
      const size_t n = std::strlen(text);
      s.AppendText(text, static_cast<int>(n >= 2 ? n - 2 : 0));
      return;
    }
  } else if (const char* serial = GetSerialErrorText(code)) {
    s.AppendString(serial);
    return;
  }
  s.AppendFormat("Windows Error Code %u", static_cast<unsigned>(code));
}

// Construction ---------------------------------------------------------------------------------

CStream::CStream(int nInitialCapacity) {
  if (nInitialCapacity >= 1) Reserve(nInitialCapacity);
}

CStream::CStream(const CStream& other)
    : Base(),
      m_nPriority(other.m_nPriority),
      m_nId(other.m_nId),
      m_nSeekMode(other.m_nSeekMode),
      m_nPosition(other.m_nPosition) {
  if (other.m_nSize > 0) Copy(other.m_pData, other.m_nSize);
}

CStream::CStream(const char* text) { AppendString(text); }

CStream::CStream(const char* text, int nMaxCount) { AssignText(text, nMaxCount); }

CStream::CStream(const unsigned char* bytes, int nCount) { Copy(bytes, nCount); }

CStream::CStream(const unsigned char* bytes, int nCount, int32_t nPriority) : m_nPriority(nPriority) {
  Copy(bytes, nCount);
}

CStream::CStream(const char16_t* text) { AppendWideString(text); }

CStream::CStream(const char16_t* text, int nMaxCount) { AssignWideText(text, nMaxCount); }

CStream::~CStream() = default;

CStream& CStream::operator=(const CStream& other) {
  if (this != &other) Copy(other.m_pData, other.m_nSize);
  m_nSeekMode = other.m_nSeekMode;
  m_nId = other.m_nId;
  m_nPriority = other.m_nPriority;
  m_nPosition = other.m_nPosition;
  return *this;
}

// Bytes ----------------------------------------------------------------------------------------

bool CStream::EnsureRoom(int64_t nBytes, bool keep) {
  if (nBytes > INT_MAX || nBytes < 0) return false;
  const bool ok = keep ? Reserve(static_cast<int>(nBytes)) : ClearAndReserve(static_cast<int>(nBytes));
  return ok && m_pData != nullptr && m_nAllocBytes >= static_cast<uint64_t>(nBytes);
}

// The base operations copy a source lying in the own block before the block can move, and leave
// the array as it was when growth fails.
int CStream::Copy(const unsigned char* p, int n) {
  if (n <= 0) {
    Base::RemoveAll();
    return 0;
  }
  return Base::Copy(p, n);
}

void CStream::Append(const unsigned char* p, int n) { Base::Append(p, n); }

void CStream::Empty() {
  Base::Empty();
  m_nPriority = kDefaultPriority;
  m_nId = kNoId;
  m_nSeekMode = kDefaultSeekMode;
  m_nPosition = 0;
}

void CStream::Append(const CStream& other) {
  const int32_t priority = other.m_nPriority;
  Append(other.m_pData, other.m_nSize);
  if (priority > m_nPriority) m_nPriority = priority;
}

void CStream::AssignByte(unsigned char b) {
  if (!EnsureRoom(1, false)) return;
  m_pData[0] = b;
  m_nSize = 1;
}

void CStream::AppendByte(unsigned char b) {
  if (m_nSize == 0) {
    AssignByte(b);
    return;
  }
  if (!EnsureRoom(static_cast<int64_t>(m_nSize) + 1, true)) return;
  m_pData[m_nSize++] = b;
}

void CStream::Fill(int n, unsigned char b) {
  if (n <= 0) return;
  if (!EnsureRoom(static_cast<int64_t>(m_nSize) + n, m_nSize != 0)) return;
  std::memset(m_pData + m_nSize, b, static_cast<size_t>(n));
  m_nSize += n;
}

void CStream::Fill(int n, char16_t unit) {
  if (n <= 0) return;
  if (!EnsureRoom(static_cast<int64_t>(m_nSize) + 2 * static_cast<int64_t>(n), m_nSize != 0)) return;
  for (int i = 0; i < n; ++i) std::memcpy(m_pData + m_nSize + 2 * i, &unit, 2);
  m_nSize += 2 * n;
}

// Counted text ---------------------------------------------------------------------------------

void CStream::AssignText(const char* text, int n) {
  Base::RemoveAll();
  AppendText(text, n);
}

void CStream::AppendText(const char* text, int n) {
  if (text == nullptr || n < 0) return;
  const size_t len = strnlen(text, static_cast<size_t>(n));
  const unsigned char* src = reinterpret_cast<const unsigned char*>(text);
  const bool inside = m_pData != nullptr && src >= m_pData && src < m_pData + m_nAllocBytes;
  const int64_t offset = inside ? src - m_pData : 0;
  // One byte more for the terminator, which is stored but not counted.
  if (!EnsureRoom(static_cast<int64_t>(m_nSize) + static_cast<int64_t>(len) + 1, m_nSize != 0 || inside)) return;
  if (inside) src = m_pData + offset;
  std::memmove(m_pData + m_nSize, src, len);
  m_nSize += static_cast<int>(len);
  m_pData[m_nSize] = 0;
}

void CStream::AppendString(const char* text) {
  if (text == nullptr) return;
  Append(reinterpret_cast<const unsigned char*>(text), static_cast<int>(std::strlen(text)));
}

void CStream::AppendWideUnits(const char16_t* text, size_t nUnits) {
  const size_t bytes = nUnits * 2;
  std::u16string copy(text, nUnits);  // the text may lie in the own block
  if (!EnsureRoom(static_cast<int64_t>(m_nSize) + static_cast<int64_t>(bytes) + 2, m_nSize != 0)) return;
  std::memcpy(m_pData + m_nSize, copy.data(), bytes);
  m_nSize += static_cast<int>(bytes);
  m_pData[m_nSize] = 0;
  m_pData[m_nSize + 1] = 0;
}

void CStream::AssignWideText(const char16_t* text, int n) {
  Base::RemoveAll();
  AppendWideText(text, n);
}

void CStream::AppendWideText(const char16_t* text, int n) {
  if (text == nullptr || n < 0) return;
  size_t len = 0;
  while (len < static_cast<size_t>(n) && text[len] != 0) ++len;
  AppendWideUnits(text, len);
}

void CStream::AppendWideString(const char16_t* text) {
  if (text == nullptr) return;
  const size_t len = WideLength(text);
  if (len == 0) return;
  AppendWideUnits(text, len);
}

// Formatting -----------------------------------------------------------------------------------

void CStream::AppendNarrowFormat(const char* format, va_list args) {
  if (format == nullptr) return;
  const std::string text = NarrowVFormat(format, args);
  AppendText(text.data(), static_cast<int>(text.size()));
}

void CStream::AppendWideFormat(const char16_t* format, va_list args) {
  if (format == nullptr) return;
  std::u16string text;
  va_list a;
  va_copy(a, args);
  WideVFormat(text, format, a);
  va_end(a);
  AppendWideUnits(text.data(), text.size());
}

void CStream::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(format, args);
  va_end(args);
}

void CStream::FormatV(const char* format, va_list args) {
  if (format == nullptr) {
    Base::RemoveAll();
    return;
  }
  const std::string text = NarrowVFormat(format, args);
  AssignText(text.data(), static_cast<int>(text.size()));
}

void CStream::Format(const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(format, args);
  va_end(args);
}

void CStream::FormatV(const char16_t* format, va_list args) {
  std::u16string text;
  if (format != nullptr) {
    va_list a;
    va_copy(a, args);
    WideVFormat(text, format, a);
    va_end(a);
  }
  Base::RemoveAll();
  AppendWideUnits(text.data(), text.size());
}

void CStream::AppendFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  AppendNarrowFormat(format, args);
  va_end(args);
}

void CStream::AppendFormat(const char* format, va_list args) { AppendNarrowFormat(format, args); }

void CStream::AppendFormat(const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  AppendWideFormat(format, args);
  va_end(args);
}

void CStream::AppendFormat(const char16_t* format, va_list args) { AppendWideFormat(format, args); }

void CStream::FormatTime(const char* format, const tm* t) {
  const std::string text = NarrowTime(format, t);
  AssignText(text.data(), static_cast<int>(text.size()));
}

void CStream::AppendTime(const char* format, const tm* t) {
  const std::string text = NarrowTime(format, t);
  AppendText(text.data(), static_cast<int>(text.size()));
}

void CStream::FormatTime(const char16_t* format, const tm* t) {
  const std::u16string text = WideTime(format, t);
  Base::RemoveAll();
  AppendWideUnits(text.data(), text.size());
}

void CStream::AppendTime(const char16_t* format, const tm* t) {
  const std::u16string text = WideTime(format, t);
  AppendWideUnits(text.data(), text.size());
}

// Error texts ----------------------------------------------------------------------------------

void CStream::SetErrorText(DWORD code, const char* text, const char* prefix) {
  Empty();
  AppendErrorText(code, text, prefix);
}

void CStream::SetErrorText(DWORD code, const char16_t* text, const char16_t* prefix) {
  Empty();
  AppendErrorText(code, text, prefix);
}

void CStream::AppendErrorText(DWORD code, const char* text, const char* prefix) {
  if (prefix != nullptr) {
    AppendString(prefix);
    AppendString(": ");
  }
  if (text != nullptr) AppendString(text);
  AppendErrorNumberText(*this, code);
}

void CStream::AppendErrorText(DWORD code, const char16_t* text, const char16_t* prefix) {
  if (prefix != nullptr) {
    AppendWideString(prefix);
    AppendWideString(u": ");
  }
  if (text != nullptr) AppendWideString(text);
  CStream narrow;
  AppendErrorNumberText(narrow, code);
  const std::u16string wide =
      Cp1252ToUtf16(std::string_view(reinterpret_cast<const char*>(narrow.m_pData), narrow.m_nSize));
  AppendWideUnits(wide.data(), wide.size());
}

// Taking out -----------------------------------------------------------------------------------

int CStream::Peek(CStream& dest, int index, int n) const {
  int k = 0;
  if (index >= 0 && index <= m_nSize && n > 0) k = std::min(n, m_nSize - index);
  if (&dest == this) {
    if (k > 0 && index > 0) std::memmove(dest.m_pData, dest.m_pData + index, static_cast<size_t>(k));
    dest.m_nSize = k;
    return k;
  }
  dest.Copy(k > 0 ? m_pData + index : nullptr, k);
  dest.m_nSeekMode = m_nSeekMode;
  dest.m_nId = m_nId;
  dest.m_nPriority = m_nPriority;
  dest.m_nPosition = m_nPosition;
  return k;
}

int CStream::Extract(CStream& dest, int index, int n) {
  if (&dest == this) return Peek(dest, index, n);
  const int k = Peek(dest, index, n);
  if (k > 0) RemoveAt(index, k);
  return k;
}

// Host address ---------------------------------------------------------------------------------

DWORD CStream::SetHostAddress(const char* hostName) {
  if (hostName == nullptr) return WSAHOST_NOT_FOUND;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* result = nullptr;
  const int rc = getaddrinfo(hostName, nullptr, &hints, &result);
  if (rc != 0 || result == nullptr) {
    switch (rc) {
      case EAI_AGAIN:
        return WSATRY_AGAIN;
      case EAI_NONAME:
        return WSAHOST_NOT_FOUND;
      case EAI_NODATA:
      case EAI_ADDRFAMILY:
        return WSANO_DATA;
      default:
        return WSANO_RECOVERY;
    }
  }
  const auto* addr = reinterpret_cast<const sockaddr_in*>(result->ai_addr);
  const uint32_t host = ntohl(addr->sin_addr.s_addr);
  freeaddrinfo(result);
  m_nPosition = static_cast<int64_t>((static_cast<uint64_t>(m_nPosition) & 0xFFFFFFFF00000000ULL) | host);
  return 0;
}

const char* CStream::c_str() {
  if (m_pData == nullptr) return "";
  if (m_nAllocBytes <= static_cast<uint64_t>(m_nSize) && !EnsureRoom(static_cast<int64_t>(m_nSize) + 1, true)) {
    return "";
  }
  m_pData[m_nSize] = 0;
  return reinterpret_cast<const char*>(m_pData);
}
