#include "platform/ui/line_store.h"

#include <algorithm>
#include <strings.h>
#include <tuple>

namespace qav::ui {

std::pair<size_t, size_t> LineStore::Locate(size_t i) const {
  auto it = std::upper_bound(m_starts.begin(), m_starts.end(), i);
  size_t b = static_cast<size_t>(it - m_starts.begin()) - 1;
  return {b, i - m_starts[b]};
}

const LineStore::Entry& LineStore::At(size_t i) const {
  auto [b, k] = Locate(i);
  return m_blocks[b].entries[k];
}

LineStore::Entry& LineStore::At(size_t i) {
  auto [b, k] = Locate(i);
  return m_blocks[b].entries[k];
}

std::string_view LineStore::Text(size_t i) const {
  auto [b, k] = Locate(i);
  const Entry& e = m_blocks[b].entries[k];
  return std::string_view(m_blocks[b].text).substr(e.offset, e.length);
}

bool LineStore::Selected(size_t i) const { return At(i).selected != 0; }

void LineStore::Select(size_t i, bool on) {
  Entry& e = At(i);
  if ((e.selected != 0) == on) return;
  e.selected = on ? 1 : 0;
  if (on) ++m_selected;
  else --m_selected;
}

void LineStore::SelectAll(bool on) {
  for (Block& b : m_blocks)
    for (Entry& e : b.entries) e.selected = on ? 1 : 0;
  m_selected = on ? m_count : 0;
}

DWORD_PTR LineStore::Data(size_t i) const { return At(i).data; }
void LineStore::SetData(size_t i, DWORD_PTR data) { At(i).data = data; }

void LineStore::Insert(size_t i, std::string_view text) {
  if (m_blocks.empty()) {
    m_blocks.emplace_back();
    m_starts.push_back(0);
  }
  // An append goes to the last block, or to a new one when that is full; otherwise the block that
  // holds line i.
  size_t b = 0, k = 0;
  if (i >= m_count) {
    b = m_blocks.size() - 1;
    if (m_blocks[b].entries.size() >= kBlockLines) {
      StartBlock();
      ++b;
    }
    k = m_blocks[b].entries.size();
  } else {
    std::tie(b, k) = Locate(i);
  }
  Block& block = m_blocks[b];
  Entry e{static_cast<uint32_t>(block.text.size()), static_cast<uint32_t>(std::min<size_t>(text.size(), 0x7FFFFFFF)), 0, 0};
  block.text.append(text.data(), e.length);
  block.entries.insert(block.entries.begin() + static_cast<std::ptrdiff_t>(k), e);
  ++m_count;
  for (size_t j = b + 1; j < m_starts.size(); ++j) ++m_starts[j];
  if (block.entries.size() > kBlockLines) Split(b);
}

void LineStore::StartBlock() {
  // Appending fills blocks to the brim. The full block gives back what its buffers grew beyond its
  // lines, and the new block reserves its entries at once and about as much text, so that a long
  // list costs its text plus its entries and not the doubling slack of every block.
  Block& full = m_blocks.back();
  full.text.shrink_to_fit();
  full.entries.shrink_to_fit();
  const size_t text = full.text.size();
  const size_t start = m_starts.back() + full.entries.size();
  Block next;
  next.entries.reserve(kBlockLines);
  next.text.reserve(text);
  m_blocks.push_back(std::move(next));
  m_starts.push_back(start);
}

void LineStore::Erase(size_t i) {
  if (i >= m_count) return;
  auto [b, k] = Locate(i);
  Block& block = m_blocks[b];
  const Entry& e = block.entries[k];
  if (e.selected) --m_selected;
  block.garbage += e.length;
  block.entries.erase(block.entries.begin() + static_cast<std::ptrdiff_t>(k));
  --m_count;
  for (size_t j = b + 1; j < m_starts.size(); ++j) --m_starts[j];
  if (block.entries.empty() && m_blocks.size() > 1) {
    m_blocks.erase(m_blocks.begin() + static_cast<std::ptrdiff_t>(b));
    m_starts.erase(m_starts.begin() + static_cast<std::ptrdiff_t>(b));
  } else if (block.garbage > block.text.size() / 2) {
    Compact(block);
  }
}

void LineStore::Clear() {
  m_blocks.clear();
  m_starts.clear();
  m_count = 0;
  m_selected = 0;
}

size_t LineStore::UpperBoundNoCase(std::string_view text) const {
  const std::string key(text);
  size_t lo = 0, hi = m_count;
  while (lo < hi) {
    size_t mid = lo + (hi - lo) / 2;
    const std::string line(Text(mid));
    if (strcasecmp(key.c_str(), line.c_str()) < 0) hi = mid;
    else lo = mid + 1;
  }
  return lo;
}

void LineStore::Split(size_t b) {
  Block& full = m_blocks[b];
  Block second;
  const size_t half = full.entries.size() / 2;
  for (size_t k = half; k < full.entries.size(); ++k) {
    Entry e = full.entries[k];
    second.text.append(full.text, e.offset, e.length);
    e.offset = static_cast<uint32_t>(second.text.size() - e.length);
    second.entries.push_back(e);
  }
  full.entries.resize(half);
  full.entries.shrink_to_fit();
  Compact(full);
  const size_t start = m_starts[b] + half;
  m_blocks.insert(m_blocks.begin() + static_cast<std::ptrdiff_t>(b) + 1, std::move(second));
  m_starts.insert(m_starts.begin() + static_cast<std::ptrdiff_t>(b) + 1, start);
}

void LineStore::Compact(Block& block) {
  std::string text;
  text.reserve(block.text.size() - block.garbage);
  for (Entry& e : block.entries) {
    uint32_t at = static_cast<uint32_t>(text.size());
    text.append(block.text, e.offset, e.length);
    e.offset = at;
  }
  block.text.swap(text);
  block.text.shrink_to_fit();
  block.garbage = 0;
}

}  // namespace qav::ui
