// Report rows of the New view (CDBRecord), the row set (CDBRecordset), the sort and grouping key
// (CGrpType), the order of rows on a key list, and the text of every cell, group header and key
// column in the fixed-width form (cells of 17 characters) and the spreadsheet form (TAB-ended).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "containers/adr_array.h"
#include "containers/obj_array.h"
#include "containers/str.h"

class CDBElementEx;

// Words of a row, in field order.
enum ERecordWord : int {
  RW_ORDINAL = 0,
  RW_YEAR,
  RW_MONTH,
  RW_DAY,
  RW_HOUR,
  RW_MINUTE,
  RW_SECOND,
  RW_WEEK,
  RW_DAY_OF_WEEK,
  RW_CONTENT,
  RW_VALUE,
  RW_COUNT
};

// Grouping keys.
enum EGroupKey : int {
  GK_NONE = -1,
  GK_CONTENT = 0,
  GK_TIME,
  GK_DATE,
  GK_DAY_OF_WEEK,
  GK_WEEK,
  GK_MONTH,
  GK_YEAR,
  GK_ELEMENT,
  GK_ELEMENT_TYPE,
  GK_DIRECTION,
  GK_CABINET,
  GK_LOCATION,
  GK_MILEPOST,
  GK_ROADWAY,
  GK_COUNT
};

// Output forms of the formatters.
enum ECellForm : int { CF_TEXT = 0, CF_SHEET = 1 };

// Name of a content code ("Volume" ...), null outside 0-22.
const char* ContentName(int code);
// Name of a key id ("Data Content" ...), null outside 0-13.
const char* GroupKeyName(int key);

class CGrpType {
 public:
  int32_t key = GK_NONE;
  int32_t word = -1;  // carried for the New view
  bool ascending = true;

  CGrpType() = default;
  CGrpType(int keyId, bool asc = true, int second = -1) : key(keyId), word(second), ascending(asc) {}

  // Container order: Compare by key id; operator< holds when this key's id is the greater.
  int Compare(const CGrpType& other) const { return key < other.key ? -1 : (key > other.key ? 1 : 0); }
  bool operator<(const CGrpType& other) const { return key > other.key; }
  bool operator==(const CGrpType& other) const { return key == other.key; }

  // List-box texts: the key's name; the name with "  A->Z" or "  Z->A".
  static void GetName(CStr<char, wchar_t>& text, CGrpType* key);
  static void GetText(CStr<char, wchar_t>& text, CGrpType* key);
};

// An ordered key list for sorting and grouping rows (most significant first).
class CRecordOrder;

class CDBRecord {
 public:
  CDBElementEx* element = nullptr;  // not owned
  int32_t word[RW_COUNT];           // every word -1 while unset
  // The Valid Flag value is the element's own flag rather than a summary class. Set by the
  // builder that made the row; rows live only in memory.
  bool rawFlag = false;

  CDBRecord();
  CDBRecord(CDBElementEx* elem, int w0, int w1 = -1, int w2 = -1, int w3 = -1, int w4 = -1, int w5 = -1,
            int w6 = -1, int w7 = -1, int w8 = -1, int w9 = -1, int w10 = -1);
  CDBRecord(const CDBRecord& other);
  CDBRecord& operator=(const CDBRecord& other);
  virtual ~CDBRecord();

  // A report has rows by the million, each made on its own (the record sets own them one by one):
  // a row takes a block of its own size, not the next size of the block allocator's series (which
  // would give a row of 64 bytes 120).
  static void* operator new(size_t n, const std::nothrow_t&) noexcept;
  static void operator delete(void* p) noexcept;
  static void operator delete(void* p, const std::nothrow_t&) noexcept;

  void Set(CDBElementEx* elem, int w0, int w1 = -1, int w2 = -1, int w3 = -1, int w4 = -1, int w5 = -1,
           int w6 = -1, int w7 = -1, int w8 = -1, int w9 = -1, int w10 = -1);

  // One key: negative, zero or positive as this row is before, equal to or after other.
  int CompareKey(const CDBRecord& other, int key) const;
  bool IsEqualKey(const CDBRecord& other, int key) const;
  bool IsGreaterKey(const CDBRecord& other, int key) const;
  bool IsLessKey(const CDBRecord& other, int key) const;

  // The current key list of this thread (see CSortKeyScope); an empty list makes rows equal.
  int Compare(const CDBRecord& other) const;
  bool operator<(const CDBRecord& other) const { return Compare(other) < 0; }
  bool operator>(const CDBRecord& other) const { return Compare(other) > 0; }
  bool operator==(const CDBRecord& other) const;

  // Cell texts. The buffer is written only for content codes 0-22 and key ids 0-13 (the content key
  // of a row whose content code has no name writes nothing). A code without a name in a table
  // (element type, valid flag, meter status) prints "UNKNOWN [0x..]" whole, right-aligned.
  void FormatValue(char* buf, size_t size, int form) const;
  void FormatGroupHeader(char* buf, size_t size, int key, int form) const;
  void FormatKeyColumn(char* buf, size_t size, int key, int form) const;
};

class CDBRecordset : public CObjArray<CDBRecord> {
 public:
  CDBRecordset() = default;
  CDBRecordset(const CDBRecordset& other);
  CDBRecordset& operator=(const CDBRecordset& other);
  ~CDBRecordset() override;

  // Appends a copy of row; false when it could not be stored.
  bool AddRecord(const CDBRecord& row);
  // Moves every row of from to the end of this set (from is left empty); false, both sets
  // unchanged, when there is no room.
  bool TakeAll(CDBRecordset& from);
};

class CRecordOrder {
 public:
  CRecordOrder() = default;
  CRecordOrder(const CGrpType* const* keys, int count) : m_keys(keys), m_count(count) {}

  // The current key list of this thread (CSortKeyScope); null when none is set.
  static const CRecordOrder* Current();
  int Count() const { return m_count; }
  const CGrpType* Key(int i) const { return m_keys[i]; }

  int Compare(const CDBRecord& a, const CDBRecord& b) const;
  bool Less(const CDBRecord& a, const CDBRecord& b) const { return Compare(a, b) < 0; }
  bool Equal(const CDBRecord& a, const CDBRecord& b) const;

 private:
  const CGrpType* const* m_keys = nullptr;
  int m_count = 0;
};

// Makes an order the current key list of this thread for the rows' own comparisons, for the
// scope's lifetime.
class CSortKeyScope {
 public:
  explicit CSortKeyScope(const CRecordOrder& order);
  ~CSortKeyScope();
  CSortKeyScope(const CSortKeyScope&) = delete;
  CSortKeyScope& operator=(const CSortKeyScope&) = delete;

 private:
  const CRecordOrder* m_previous;
};

class RunControl;

// The rows' sort keys under an order, packed into 64-bit words: comparing two rows' words as
// unsigned numbers, first word first, gives the order's comparison of the two rows. Element keys
// (cabinet, location, milepost ...) become the element's rank under that key among the rows'
// elements, so a sort compares numbers instead of following row and element pointers and
// comparing texts. Keys whose value is the same in every row take no bits.
class CPackedSortKeys {
 public:
  CPackedSortKeys();
  ~CPackedSortKeys();
  CPackedSortKeys(const CPackedSortKeys&) = delete;
  CPackedSortKeys& operator=(const CPackedSortKeys&) = delete;

  // Lays out the keys of rows[0..count) (no null rows); false when memory ran short or run's
  // keep-going flag was cleared meanwhile (run may be null). Adds kProgressSortKeyScan per row for
  // each of its two scans over the rows to run.
  bool Build(const CDBRecord* const* rows, int count, const CRecordOrder& order, RunControl* run);
  // Build stopped because keep-going was cleared.
  bool Cancelled() const { return m_cancelled; }
  // 64-bit words per row (at least 1).
  int Words() const { return m_words; }
  // Bits of the last word that keys use, its highest: the lowest 64 - LastWordBits() are zero.
  int LastWordBits() const { return m_lastWordBits; }
  // Writes row i's Words() words to out.
  void Pack(int i, uint64_t* out) const;

 private:
  struct SPart;
  int32_t Value(const SPart& part, int i) const;

  const CDBRecord* const* m_rows = nullptr;
  int m_words = 1;
  int m_lastWordBits = 0;
  int m_parts = 0;
  std::unique_ptr<SPart[]> m_part;
  std::unique_ptr<uint32_t[]> m_elementOf;  // per row, its element's index in the rank tables
  std::unique_ptr<int32_t[]> m_ranks;      // per element key part, per element, the rank
  int m_elements = 0;
  bool m_cancelled = false;
};

// Stable sort of the rows by an order (rows equal on every key keep their order).
void SortRecords(CDBRecordset& rows, const CRecordOrder& order);

// Key-list operations of the New view's key list boxes (the list box shows one line per key).
int FindKey(const CGrpType* const* keys, int count, int key);
int FindKey(const CAdrArray<CGrpType>& keys, int key);        // first index with that id, -1
bool RemoveKey(CAdrArray<CGrpType>& keys, int key);            // the first key with that id
void ToggleDirection(CGrpType& key);
bool ToggleDirection(CAdrArray<CGrpType>& keys, int index);    // false for an index outside
