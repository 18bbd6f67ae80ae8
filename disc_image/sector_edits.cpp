#include "disc_image/sector_edits.h"

#include <algorithm>

#include "disc_image/image_refusal.h"

namespace disc_image {

void SectorEdits::Edit(std::uint64_t offset, std::size_t length,
                       const std::function<void(std::span<std::uint8_t>)>& change) {
  if (length == 0 || offset % kSectorSize + length > kSectorSize) RefuseDamaged();
  std::vector<std::uint8_t> before = m_reader.Read(offset, length);
  for (auto it = m_changed.lower_bound(offset);
       it != m_changed.end() && it->first < offset + length; ++it) {
    before[it->first - offset] = it->second;
  }
  std::vector<std::uint8_t> after = before;
  change(after);
  const auto first = std::mismatch(before.begin(), before.end(), after.begin()).first;
  if (first == before.end()) return;
  const auto begin = first - before.begin();
  const auto end =
      before.rend() - std::mismatch(before.rbegin(), before.rend(), after.rbegin()).first;
  for (auto i = begin; i < end; ++i) {
    m_changed[offset + static_cast<std::uint64_t>(i)] = after[static_cast<std::size_t>(i)];
  }
  m_regions.push_back({offset + static_cast<std::uint64_t>(begin),
                       {before.begin() + begin, before.begin() + end},
                       {after.begin() + begin, after.begin() + end}});
}

void SectorEdits::Set(const std::vector<std::pair<std::uint64_t, std::uint8_t>>& bytes) {
  std::vector<std::uint64_t> sectors;
  for (const auto& [offset, value] : bytes) {
    if (std::find(sectors.begin(), sectors.end(), offset / kSectorSize) == sectors.end()) {
      sectors.push_back(offset / kSectorSize);
    }
  }
  for (const std::uint64_t sector : sectors) {
    std::uint64_t first = UINT64_MAX;
    std::uint64_t last = 0;
    for (const auto& [offset, value] : bytes) {
      if (offset / kSectorSize != sector) continue;
      first = std::min(first, offset);
      last = std::max(last, offset);
    }
    Edit(first, static_cast<std::size_t>(last - first + 1), [&](std::span<std::uint8_t> window) {
      for (const auto& [offset, value] : bytes) {
        if (offset / kSectorSize == sector) window[offset - first] = value;
      }
    });
  }
}

}  // namespace disc_image
