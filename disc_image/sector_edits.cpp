#include "disc_image/sector_edits.h"

#include <algorithm>

namespace disc_image {

void SectorEdits::Edit(std::uint64_t sector,
                       const std::function<void(std::span<std::uint8_t>)>& change) {
  auto found = m_sectors.find(sector);
  if (found == m_sectors.end())
    found = m_sectors.emplace(sector, m_reader.ReadSector(sector)).first;
  std::vector<std::uint8_t>& before = found->second;
  std::vector<std::uint8_t> after = before;
  change(after);
  const auto first = std::mismatch(before.begin(), before.end(), after.begin());
  if (first.first == before.end()) return;
  const auto last = std::mismatch(before.rbegin(), before.rend(), after.rbegin());
  const auto begin = first.first - before.begin();
  const auto end = before.rend() - last.first;
  m_regions.push_back({sector * kSectorSize + static_cast<std::uint64_t>(begin),
                       {before.begin() + begin, before.begin() + end},
                       {after.begin() + begin, after.begin() + end}});
  before = std::move(after);
}

void SectorEdits::Set(const std::vector<std::pair<std::uint64_t, std::uint8_t>>& bytes) {
  std::vector<std::uint64_t> sectors;
  for (const auto& [offset, value] : bytes) {
    if (std::find(sectors.begin(), sectors.end(), offset / kSectorSize) == sectors.end()) {
      sectors.push_back(offset / kSectorSize);
    }
  }
  for (const std::uint64_t sector : sectors) {
    Edit(sector, [&](std::span<std::uint8_t> sectorBytes) {
      for (const auto& [offset, value] : bytes) {
        if (offset / kSectorSize == sector) sectorBytes[offset % kSectorSize] = value;
      }
    });
  }
}

}  // namespace disc_image
