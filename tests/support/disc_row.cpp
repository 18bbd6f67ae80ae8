#include "tests/support/disc_row.h"

#include <utility>

namespace fs = std::filesystem;

namespace testing_support {

DiscRow::DiscRow(fs::path folder, int count, Bytes index)
    : m_folder(std::move(folder)), m_count(count), m_index(std::move(index)) {}

fs::path DiscRow::Bdmv(int disc) const {
  return m_folder / ("disc" + std::to_string(disc)) / "BDMV";
}

void DiscRow::Make() const {
  for (int i = 0; i < m_count; ++i) {
    fs::remove_all(Bdmv(i).parent_path());
    MakeBdmvFolder(Bdmv(i).parent_path(), m_index);
  }
}

bool DiscRow::AnyBackup() const {
  for (int i = 0; i < m_count; ++i) {
    if (fs::exists(Bdmv(i) / "BACKUP")) return true;
  }
  return false;
}

DiscRow::Left DiscRow::Check(bool temporariesAllowed) const {
  Left left;
  const Bytes patched = PatchedBytes(m_index, false);
  for (int i = 0; i < m_count; ++i) {
    const fs::path bdmv = Bdmv(i);
    const Bytes index = ReadBytes(bdmv / "index.bdmv");
    std::string fault;
    if (index == patched) {
      ++left.patched;
      fault = DescribeDifference(m_index, ReadBytes(bdmv / "BACKUP" / "index.bdmv"));
    } else {
      fault = DescribeDifference(m_index, index);
    }
    if (!fault.empty()) left.faults.push_back(bdmv.string() + ": " + fault);
    if (temporariesAllowed) continue;
    for (const auto& entry : fs::recursive_directory_iterator(bdmv)) {
      if (entry.path().filename().string().front() == '.') {
        left.faults.push_back(entry.path().string() + ": left behind");
      }
    }
  }
  return left;
}

}  // namespace testing_support
