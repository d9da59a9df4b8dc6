// The lines of a list box, held compactly: blocks of at most a few thousand lines, each block
// with one character buffer and 16 bytes a line (offset, length, selection mark, item data).
// Appending is amortised constant time and fills blocks to the brim, inserting in the middle
// costs a block, not the list, and a million lines take their text plus 16 bytes a line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/wintypes.h"

namespace qav::ui {

class LineStore {
 public:
  size_t size() const { return m_count; }
  bool empty() const { return m_count == 0; }
  std::string_view Text(size_t i) const;
  bool Selected(size_t i) const;
  void Select(size_t i, bool on);
  void SelectAll(bool on);
  size_t SelectedCount() const { return m_selected; }
  DWORD_PTR Data(size_t i) const;
  void SetData(size_t i, DWORD_PTR data);
  // i may be size() (an append).
  void Insert(size_t i, std::string_view text);
  void Erase(size_t i);
  void Clear();
  // The first line whose text sorts after `text` (case-insensitive), for sorted lists.
  size_t UpperBoundNoCase(std::string_view text) const;

 private:
  struct Entry {
    uint32_t offset;
    uint32_t length : 31;
    uint32_t selected : 1;
    DWORD_PTR data;
  };
  struct Block {
    std::string text;
    std::vector<Entry> entries;
    size_t garbage = 0;  // characters of erased lines still in `text`
  };
  static constexpr size_t kBlockLines = 2048;

  // The block holding line i and the line's place in it.
  std::pair<size_t, size_t> Locate(size_t i) const;
  const Entry& At(size_t i) const;
  Entry& At(size_t i);
  void Split(size_t b);
  void StartBlock();
  static void Compact(Block& block);

  std::vector<Block> m_blocks;
  std::vector<size_t> m_starts;  // index of the first line of each block
  size_t m_count = 0;
  size_t m_selected = 0;
};

}  // namespace qav::ui
