#include "bdmv/bdmv_names.h"

namespace bdmv_names {
namespace {

template <typename Accept>
const platform::DirEntry* Find(const std::vector<platform::DirEntry>& entries,
                               std::string_view name, Accept accept) {
  const platform::DirEntry* found = nullptr;
  for (const auto& entry : entries) {
    if (!accept(entry)) continue;
    if (entry.name == name) return &entry;
    if (!found && platform::SameName(entry.name, name)) found = &entry;
  }
  return found;
}

}  // namespace

const platform::DirEntry* FindEntry(const std::vector<platform::DirEntry>& entries,
                                    std::string_view name) {
  return Find(entries, name, [](const platform::DirEntry&) { return true; });
}

const platform::DirEntry* FindFile(const std::vector<platform::DirEntry>& entries,
                                   std::string_view name) {
  // A FIFO or a device under a file's name is found too, to be refused when it is opened.
  return Find(entries, name, [](const platform::DirEntry& entry) {
    return entry.kind == platform::EntryKind::kFile || entry.kind == platform::EntryKind::kOther;
  });
}

const platform::DirEntry* FindFileOrAlternative(const std::vector<platform::DirEntry>& entries,
                                                std::string_view primary,
                                                std::string_view alternative) {
  const platform::DirEntry* entry = FindFile(entries, primary);
  return entry ? entry : FindFile(entries, alternative);
}

const platform::DirEntry* FindMovieObject(const std::vector<platform::DirEntry>& entries) {
  const platform::DirEntry* entry =
      FindFileOrAlternative(entries, kMovieObject, kMovieObjectAlternative);
  return entry ? entry : FindFile(entries, kMovieObjectShort);
}

}  // namespace bdmv_names
