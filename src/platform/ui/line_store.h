// The lines of a list box, held compactly: blocks of at most a few thousand lines, each block
// with one character buffer and 4 bytes a line (where the line's text ends, with its selection
// mark in the top bit); item data takes 8 bytes a line more only in a block where some line has
// any. Appending is amortised constant time and fills blocks to the brim, inserting or erasing in
// the middle costs a block, not the list, and a million lines take their text plus 4 bytes a line.
#pragma once

#include <cstdint>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/wintypes.h"

namespace qav::ui {

class LineStore {
 public:
  LineStore() = default;
  ~LineStore();
  // A copy has the lines; the room for its view is taken as lines are added to it.
  LineStore(const LineStore& other);
  LineStore& operator=(const LineStore& other);
  size_t size() const { return m_count; }
  bool empty() const { return m_count == 0; }
  std::string_view Text(size_t i) const;
  bool Selected(size_t i) const;
  void Select(size_t i, bool on);
  void SelectAll(bool on);
  size_t SelectedCount() const { return m_selected; }
  DWORD_PTR Data(size_t i) const;
  void SetData(size_t i, DWORD_PTR data);
  // i may be size() (an append). False, and the lines as they were, when there is no room for the
  // line (also when the standard library throws std::bad_alloc, a failure part way leaves them
  // whole).
  bool Insert(size_t i, std::string_view text);
  void Erase(size_t i);
  void Clear();
  // The first line whose text sorts after `text` (case-insensitive), for sorted lists.
  size_t UpperBoundNoCase(std::string_view text) const;

 private:
  struct Block {
    std::string text;             // the lines' text, one after the other
    std::vector<uint32_t> ends;   // per line, where its text ends; kSelected marks a selected line
    std::vector<DWORD_PTR> data;  // per line, its item data; empty while every line's is 0
    size_t Begin(size_t k) const { return k == 0 ? 0 : ends[k - 1] & ~kSelected; }
    size_t End(size_t k) const { return ends[k] & ~kSelected; }
  };
  static constexpr uint32_t kSelected = 0x80000000u;
  static constexpr size_t kBlockLines = 2048;
  // Longer lines are cut, so that a block's text (kBlockLines + 1 lines before it splits) stays
  // below kSelected.
  static constexpr size_t kMaxLine = size_t{1} << 19;
  // What the view that shows a line allocates for it when it lays the lines out (after they are
  // added, in batches): room taken ahead for it, a block of lines at a time
  // (platform/kernel/address_space.h), so that a long list cannot take the window system's room.
  static constexpr uint64_t kViewBytesPerLine = 8;
  size_t m_claimedLines = 0;
  void GiveBackViewRoom();

  // The block holding line i and the line's place in it.
  std::pair<size_t, size_t> Locate(size_t i) const;
  void Split(size_t b);
  void StartBlock();

  std::vector<Block> m_blocks;
  std::vector<size_t> m_starts;  // index of the first line of each block
  size_t m_count = 0;
  size_t m_selected = 0;
};

}  // namespace qav::ui
