#pragma once

#include <string_view>
#include <vector>

#include "platform/directory.h"

// Names inside a BDMV folder, spelled as Quorvel creates them. Existing names are matched
// without regard to case, as disc folders copied from other systems spell them either way.
namespace bdmv_names {

inline constexpr std::string_view kBdmvFolder = "BDMV";
inline constexpr std::string_view kIndex = "index.bdmv";
inline constexpr std::string_view kIndexAlternative = "INDEX.BDM";
inline constexpr std::string_view kMovieObject = "MovieObject.bdmv";
inline constexpr std::string_view kMovieObjectAlternative = "MOVIEOBJECT.BDM";
// As a copy made with 8.3 names (and every AVCHD disc) spells it.
inline constexpr std::string_view kMovieObjectShort = "MOVIEOBJ.BDM";
inline constexpr std::string_view kBackup = "BACKUP";

// The entry named `name` in any case, an exact match first; null when there is none.
const platform::DirEntry* FindEntry(const std::vector<platform::DirEntry>& entries,
                                    std::string_view name);

// The same, but only a file (never a link) counts.
const platform::DirEntry* FindFile(const std::vector<platform::DirEntry>& entries,
                                   std::string_view name);

// The primary name when a file of that name exists, else the alternative; null for neither.
const platform::DirEntry* FindFileOrAlternative(const std::vector<platform::DirEntry>& entries,
                                                std::string_view primary,
                                                std::string_view alternative);

// The movie-object file: by its primary name, else its alternative, else its short name.
const platform::DirEntry* FindMovieObject(const std::vector<platform::DirEntry>& entries);

}  // namespace bdmv_names
