#include "platform/ui/line_store.h"

#include <algorithm>
#include <new>

#include "platform/kernel/address_space.h"
#include <strings.h>
#include <tuple>

namespace qav::ui {

std::pair<size_t, size_t> LineStore::Locate(size_t i) const {
  auto it = std::upper_bound(m_starts.begin(), m_starts.end(), i);
  size_t b = static_cast<size_t>(it - m_starts.begin()) - 1;
  return {b, i - m_starts[b]};
}

std::string_view LineStore::Text(size_t i) const {
  auto [b, k] = Locate(i);
  const Block& block = m_blocks[b];
  const size_t begin = block.Begin(k);
  return std::string_view(block.text).substr(begin, block.End(k) - begin);
}

bool LineStore::Selected(size_t i) const {
  auto [b, k] = Locate(i);
  return (m_blocks[b].ends[k] & kSelected) != 0;
}

void LineStore::Select(size_t i, bool on) {
  auto [b, k] = Locate(i);
  uint32_t& end = m_blocks[b].ends[k];
  if (((end & kSelected) != 0) == on) return;
  end ^= kSelected;
  if (on) ++m_selected;
  else --m_selected;
}

void LineStore::SelectAll(bool on) {
  for (Block& b : m_blocks)
    for (uint32_t& e : b.ends) e = on ? (e | kSelected) : (e & ~kSelected);
  m_selected = on ? m_count : 0;
}

DWORD_PTR LineStore::Data(size_t i) const {
  auto [b, k] = Locate(i);
  const Block& block = m_blocks[b];
  return block.data.empty() ? 0 : block.data[k];
}

void LineStore::SetData(size_t i, DWORD_PTR data) {
  auto [b, k] = Locate(i);
  Block& block = m_blocks[b];
  if (block.data.empty()) {
    if (data == 0) return;
    block.data.assign(block.ends.size(), 0);
  }
  block.data[k] = data;
}

namespace {
// Makes room for one more element, growing the capacity geometrically, so that the insertion that
// follows cannot fail.
template <typename V>
void RoomForOne(V& v) {
  if (v.size() == v.capacity()) v.reserve(std::max<size_t>(4, 2 * v.capacity()));
}
}  // namespace

LineStore::~LineStore() { GiveBackViewRoom(); }

LineStore::LineStore(const LineStore& other)
    : m_blocks(other.m_blocks), m_starts(other.m_starts), m_count(other.m_count), m_selected(other.m_selected) {}

LineStore& LineStore::operator=(const LineStore& other) {
  if (this == &other) return *this;
  m_blocks = other.m_blocks;
  m_starts = other.m_starts;
  m_count = other.m_count;
  m_selected = other.m_selected;
  return *this;
}

void LineStore::GiveBackViewRoom() {
  qav::GiveBackClaim(m_claimedLines * kViewBytesPerLine);
  m_claimedLines = 0;
}

bool LineStore::Insert(size_t i, std::string_view text) {
  // Whatever can fail for want of memory happens before the lines change: a line that cannot be
  // stored leaves the list as it was (at most with an empty block at its end).
  if (m_count >= m_claimedLines) {
    if (!qav::ClaimForData(kBlockLines * kViewBytesPerLine)) return false;
    m_claimedLines += kBlockLines;
  }
  RoomForOne(m_blocks);
  RoomForOne(m_starts);
  if (m_blocks.empty()) {
    m_blocks.emplace_back();
    m_starts.push_back(0);
  }
  // An append goes to the last block, or to a new one when that is full; otherwise the block that
  // holds line i.
  size_t b = 0, k = 0;
  if (i >= m_count) {
    b = m_blocks.size() - 1;
    if (m_blocks[b].ends.size() >= kBlockLines) {
      StartBlock();
      ++b;
    }
    k = m_blocks[b].ends.size();
  } else {
    std::tie(b, k) = Locate(i);
  }
  Block& block = m_blocks[b];
  RoomForOne(block.ends);
  if (!block.data.empty()) RoomForOne(block.data);
  const size_t length = std::min(text.size(), kMaxLine);
  const size_t at = block.Begin(k);
  block.text.insert(at, text.data(), length);
  for (size_t j = k; j < block.ends.size(); ++j) block.ends[j] += static_cast<uint32_t>(length);
  block.ends.insert(block.ends.begin() + static_cast<std::ptrdiff_t>(k), static_cast<uint32_t>(at + length));
  if (!block.data.empty()) block.data.insert(block.data.begin() + static_cast<std::ptrdiff_t>(k), 0);
  ++m_count;
  for (size_t j = b + 1; j < m_starts.size(); ++j) ++m_starts[j];
  // A block that cannot be split for want of memory stays whole a while longer.
  if (block.ends.size() > kBlockLines) {
    try {
      Split(b);
    } catch (const std::bad_alloc&) {
    }
  }
  return true;
}

void LineStore::StartBlock() {
  // Appending fills blocks to the brim. The full block gives back what its buffers grew beyond its
  // lines, and the new block reserves its line ends at once and about as much text, so that a long
  // list costs its text plus its line ends and not the doubling slack of every block.
  Block& full = m_blocks.back();
  full.text.shrink_to_fit();
  full.ends.shrink_to_fit();
  const size_t text = full.text.size();
  const size_t start = m_starts.back() + full.ends.size();
  Block next;
  next.ends.reserve(kBlockLines);
  next.text.reserve(text);
  m_blocks.push_back(std::move(next));
  m_starts.push_back(start);
}

void LineStore::Erase(size_t i) {
  if (i >= m_count) return;
  auto [b, k] = Locate(i);
  Block& block = m_blocks[b];
  if ((block.ends[k] & kSelected) != 0) --m_selected;
  const size_t begin = block.Begin(k), length = block.End(k) - begin;
  block.text.erase(begin, length);
  block.ends.erase(block.ends.begin() + static_cast<std::ptrdiff_t>(k));
  for (size_t j = k; j < block.ends.size(); ++j) block.ends[j] -= static_cast<uint32_t>(length);
  if (!block.data.empty()) block.data.erase(block.data.begin() + static_cast<std::ptrdiff_t>(k));
  --m_count;
  for (size_t j = b + 1; j < m_starts.size(); ++j) --m_starts[j];
  if (block.ends.empty() && m_blocks.size() > 1) {
    m_blocks.erase(m_blocks.begin() + static_cast<std::ptrdiff_t>(b));
    m_starts.erase(m_starts.begin() + static_cast<std::ptrdiff_t>(b));
  }
}

void LineStore::Clear() {
  GiveBackViewRoom();
  std::vector<Block>().swap(m_blocks);
  std::vector<size_t>().swap(m_starts);
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
  // The second half is built and room made for it before the full block changes, so a failure
  // leaves the block as it was.
  RoomForOne(m_blocks);
  RoomForOne(m_starts);
  Block& full = m_blocks[b];
  Block second;
  const size_t half = full.ends.size() / 2;
  const size_t cut = full.Begin(half);
  second.text.assign(full.text, cut, std::string::npos);
  second.ends.reserve(full.ends.size() - half);
  for (size_t k = half; k < full.ends.size(); ++k) second.ends.push_back(full.ends[k] - static_cast<uint32_t>(cut));
  if (!full.data.empty()) second.data.assign(full.data.begin() + static_cast<std::ptrdiff_t>(half), full.data.end());
  if (!full.data.empty()) {
    full.data.resize(half);
    full.data.shrink_to_fit();
  }
  full.ends.resize(half);
  full.ends.shrink_to_fit();
  full.text.resize(cut);
  full.text.shrink_to_fit();
  const size_t start = m_starts[b] + half;
  m_blocks.insert(m_blocks.begin() + static_cast<std::ptrdiff_t>(b) + 1, std::move(second));
  m_starts.insert(m_starts.begin() + static_cast<std::ptrdiff_t>(b) + 1, start);
}

}  // namespace qav::ui
