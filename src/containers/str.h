// CStr<C,W>: the program's string, a CScalarArray<C> holding one NUL-terminated text.
//
// The terminating NUL is stored and counted: `m_nSize` is length + 1. A string that was never
// given a value has no block and size 0; the empty text "" has size 1. Once a string has a block
// it never goes back to having none: RemoveAll and Empty leave "".
//
// The narrow string of the program is `CStr<char, wchar_t>` (alias CStrA); its text is
// Windows-1252 bytes. The wide form `CStr<char16_t, char>` (alias CStrW) holds UTF-16 units and
// has only the constructors and the array operations, no formatting. W names the other width and
// is otherwise unused.
//
// Copy, Append, InsertArrayAt, Truncate, RemoveAt and RemoveAll are overridden to keep the NUL in
// place; the other inherited array operations treat the NUL as an ordinary element.
// Sources inside the string's own block (s += s.m_pData, s.Format("%s", s.m_pData)) are safe:
// they are copied before the block is changed.
//
// A string that could not grow keeps what it held, and says so: every operation that needed more
// room than it could get (or a copy of a string that says so) leaves IsShort() true, until the
// text is replaced whole (assignment, Copy, Format) or emptied. Whoever builds a text to write
// somewhere checks the mark before writing it, so that a text cut short is never taken as made.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <type_traits>

#include "containers/scalar_array.h"

template <class C, class W>
class CStr : public CScalarArray<C> {
  using Base = CScalarArray<C>;

 public:
  using Base::m_nAllocBytes;
  using Base::m_nSize;
  using Base::m_pData;

  CStr() = default;

  // From a text; null gives the never-assigned string.
  CStr(const C* p) {  // NOLINT: implicit, as strings are built from literals everywhere
    if (!p) return;
    int n = TextLength(p, INT32_MAX - 1) + 1;
    if (this->AdoptBlock(g_MemMgr.Alloc(Base::Bytes(n)))) {
      std::memcpy(m_pData, p, Base::Bytes(n - 1));
      m_pData[n - 1] = 0;
      m_nSize = n;
    } else {
      m_bShort = true;
    }
  }

  // Copies the source's characters with its NUL; a source without characters gives no block.
  CStr(const CStr& src) : Base(), m_bShort(src.m_bShort) {
    if (src.m_nSize < 1) return;
    if (this->AdoptBlock(g_MemMgr.Alloc(Base::Bytes(src.m_nSize)))) {
      std::memcpy(m_pData, src.m_pData, Base::Bytes(src.m_nSize));
      m_nSize = src.m_nSize;
    } else {
      m_bShort = true;
    }
  }

  // A never-assigned source leaves a never-assigned target as it is and turns a target with a
  // block into "" (a string never loses its block).
  CStr& operator=(const CStr& src) {
    if (&src == this) return *this;
    if (src.m_nSize < 1) {
      RemoveAll();
      m_bShort = src.m_bShort;
      return *this;
    }
    if (this->ClearAndReserve(src.m_nSize)) {
      std::memcpy(m_pData, src.m_pData, Base::Bytes(src.m_nSize));
      m_nSize = src.m_nSize;
      m_bShort = src.m_bShort;
    }
    return *this;
  }

  // Replaces the text; null counts as "".
  CStr& operator=(const C* p) {
    static const C empty[1] = {0};
    Copy(p ? p : empty, INT32_MAX);
    return *this;
  }

  // Appends a text; on a never-assigned string this is operator=.
  CStr& operator+=(const C* p) {
    if (m_nSize < 1) return *this = p;
    if (p) Append(p, INT32_MAX);
    return *this;
  }

  ~CStr() override = default;

  // ---- overridden array operations ----

  // Replaces the text with p's characters up to its NUL or nMax of them; returns the new size.
  int Copy(const C* p, int nMax) override {
    if (!p || nMax < 0) return m_nSize;
    int len = TextLength(p, nMax);
    Base tmp;
    p = this->StableSource(p, len, tmp);
    if (!p && len > 0) {
      m_bShort = true;
      return m_nSize;
    }
    if (!this->ClearAndReserve(len + 1)) {
      MakeConsistent();
      return m_nSize;
    }
    if (len > 0) std::memcpy(m_pData, p, Base::Bytes(len));
    m_pData[len] = 0;
    m_nSize = len + 1;
    return m_nSize;
  }

  // Appends p's characters up to its NUL or nMax of them; on a never-assigned string: Copy.
  void Append(const C* p, int nMax) override {
    if (m_nSize < 1) {
      Copy(p, nMax);
      return;
    }
    if (!p || nMax < 1) return;
    int len = TextLength(p, nMax);
    if (len == 0) return;
    Base tmp;
    if (!Base::FitsAfter(m_nSize, len) || !(p = this->StableSource(p, len, tmp)) || !this->Reserve(m_nSize + len)) {
      m_bShort = true;
      return;
    }
    std::memcpy(m_pData + m_nSize - 1, p, Base::Bytes(len));
    m_nSize += len;
    m_pData[m_nSize - 1] = 0;
  }

  // Inserts up to n characters of p at i. At or past the end of the text this is Append and the
  // result is the old length (-1 for a never-assigned string); otherwise returns i.
  int InsertArrayAt(int i, const C* p, int n) override {
    int length = m_nSize - 1;
    if (i < 0) return -1;
    if (i >= length) {
      Append(p, n);
      return length;
    }
    if (!p || n < 1) return i;
    n = TextLength(p, n);
    if (n == 0) return i;
    Base tmp;
    if (!Base::FitsAfter(m_nSize, n) || !(p = this->StableSource(p, n, tmp)) || !this->Reserve(m_nSize + n)) {
      m_bShort = true;
      return i;
    }
    std::memmove(m_pData + i + n, m_pData + i, Base::Bytes(m_nSize - i));
    std::memcpy(m_pData + i, p, Base::Bytes(n));
    m_nSize += n;
    return i;
  }

  // Cuts the text to len characters; never lengthens. Returns the new size.
  int Truncate(int len) override {
    if (m_nSize < 1 || len < 0) return m_nSize;
    if (len < m_nSize - 1) m_nSize = len + 1;
    m_pData[m_nSize - 1] = 0;
    return m_nSize;
  }

  // Removes up to n characters from i; the NUL is never removed.
  void RemoveAt(int i, int n) override {
    int length = m_nSize - 1;
    if (i < 0 || i >= length || n < 1) return;
    if (n > length - i) n = length - i;  // clamp first: i + n cannot overflow
    if (i + n < length) {
      std::memmove(m_pData + i, m_pData + i + n, Base::Bytes(m_nSize - i - n));
      m_nSize -= n;
    } else {
      m_pData[i] = 0;
      m_nSize = i + 1;
    }
  }

  // "" with the block kept; a string without a block stays never-assigned. Either way nothing
  // is missing from it any more.
  void RemoveAll() override {
    m_bShort = false;
    if (!m_pData) {
      m_nSize = 0;
      return;
    }
    m_pData[0] = 0;
    m_nSize = 1;
  }

  // Growth as the array's, and a growth that fails marks the string short.
  bool Reserve(int n) override {
    if (Base::Reserve(n)) return true;
    m_bShort = true;
    return false;
  }
  // Empties the string (the mark goes with the contents); marks it short when the room for the
  // new contents cannot be had.
  bool ClearAndReserve(int n) override {
    if (Base::ClearAndReserve(n)) return true;
    m_bShort = true;
    return false;
  }

  // ---- the short mark ----

  // True when something that was to go into the text could not, for want of memory (see above).
  bool IsShort() const { return m_bShort; }
  // For code that fills the block itself and could not get the room it needed.
  void MarkShort() { m_bShort = true; }

  // ---- formatting (narrow strings only) ----

  // printf-style formatting that replaces the contents; returns the new size.
  __attribute__((format(printf, 2, 3))) int Format(const char* fmt, ...)
    requires std::is_same_v<C, char>
  {
    va_list args;
    va_start(args, fmt);
    int n = FormatV(fmt, args);
    va_end(args);
    return n;
  }

  int FormatV(const char* fmt, va_list args)
    requires std::is_same_v<C, char>
  {
    char local[kLocalText];
    Base buf;
    const char* text = nullptr;
    int n = FormatText(local, buf, fmt, args, text);
    if (n < 0) {
      // The runtime could not format (e.g. an unconvertible character), or the room for the text
      // could not be had: the contents still go.
      RemoveAll();
      if (n == kNoRoom) m_bShort = true;
      return m_nSize;
    }
    if (!this->ClearAndReserve(n + 1)) {
      MakeConsistent();
      return m_nSize;
    }
    std::memcpy(m_pData, text, static_cast<size_t>(n));
    m_pData[n] = 0;
    m_nSize = n + 1;
    return m_nSize;
  }

  // printf-style formatting appended to the text; on a never-assigned string: FormatV.
  __attribute__((format(printf, 2, 3))) void AppendFormat(const char* fmt, ...)
    requires std::is_same_v<C, char>
  {
    va_list args;
    va_start(args, fmt);
    if (m_nSize < 1) {
      FormatV(fmt, args);
    } else {
      char local[kLocalText];
      Base buf;
      const char* text = nullptr;
      int n = FormatText(local, buf, fmt, args, text);
      if (n == kNoRoom || (n > 0 && !Base::FitsAfter(m_nSize, n))) {
        m_bShort = true;
      } else if (n > 0 && this->Reserve(m_nSize + n)) {
        std::memcpy(m_pData + m_nSize - 1, text, static_cast<size_t>(n));
        m_nSize += n;
        m_pData[m_nSize - 1] = 0;
      }
    }
    va_end(args);
  }

  // ---- comparisons: the text as unsigned code units up to the first difference or the end ----

  int Compare(const CStr& o) const {
    const C* a = m_nSize > 0 ? m_pData : nullptr;
    const C* b = o.m_nSize > 0 ? o.m_pData : nullptr;
    for (int i = 0;; ++i) {
      using U = std::make_unsigned_t<C>;
      U ca = a && i < m_nSize ? static_cast<U>(a[i]) : 0;
      U cb = b && i < o.m_nSize ? static_cast<U>(b[i]) : 0;
      if (ca != cb) return ca < cb ? -1 : 1;
      if (ca == 0) return 0;
    }
  }
  bool operator<(const CStr& o) const { return Compare(o) < 0; }
  bool operator==(const CStr& o) const { return Compare(o) == 0; }

 private:
  // Characters of p before its NUL, at most nMax.
  static int TextLength(const C* p, int nMax) {
    int n = 0;
    while (n < nMax && p[n] != 0) ++n;
    return n;
  }

  // After a failed ClearAndReserve: "" when a block is left, otherwise never-assigned; short.
  void MakeConsistent() {
    if (m_pData)
      RemoveAll();
    else
      m_nSize = 0;
    m_bShort = true;
  }

  // Room for short formatted texts on the stack, so that they cost no allocation of their own.
  static constexpr int kLocalText = 256;
  // FormatText's result when the room for a long text cannot be had (or its length has none).
  static constexpr int kNoRoom = -2;

  // Formats the arguments and points `text` at the result: in `local` when it fits there,
  // otherwise in buf's block. Returns the text's length, -1 when the runtime reports an error,
  // kNoRoom when no room can be had. Arguments may point into this string: it is not touched here.
  static int FormatText(char (&local)[kLocalText], Base& buf, const char* fmt, va_list args, const char*& text) {
    va_list a1;
    va_copy(a1, args);
    int n = std::vsnprintf(local, sizeof local, fmt, a1);
    va_end(a1);
    if (n < 0) return -1;
    if (n >= INT32_MAX - 1) return kNoRoom;
    if (n < kLocalText) {
      text = local;
      return n;
    }
    if (!buf.Reserve(n + 1)) return kNoRoom;
    va_list a2;
    va_copy(a2, args);
    int m = std::vsnprintf(buf.m_pData, static_cast<size_t>(n) + 1, fmt, a2);
    va_end(a2);
    if (m != n) return -1;
    text = buf.m_pData;
    return n;
  }

  bool m_bShort = false;  // see IsShort
};

using CStrA = CStr<char, wchar_t>;
using CStrW = CStr<char16_t, char>;
