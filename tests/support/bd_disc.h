// Builds a minimal BDMV disc folder in code, for tests that need a disc libbluray accepts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testdisc {

// Where the fields Quorvel rewrites sit in index.bdmv.
inline constexpr std::size_t kExtensionDataStartOffset = 12;
inline constexpr std::size_t kAppInfoFlagsOffset = 44;

// AppInfoBDMV flags byte: bit 7 reserved, bit 6 initial_output_mode_preference (1 = 3D),
// bit 5 SS_content_exist_flag.
inline constexpr std::uint8_t kOutputMode3DBit = 0x40;
inline constexpr std::uint8_t kContentExists3DBit = 0x20;

// Flags byte of a disc that prefers 3D output and has 3D content, as bd_info reports them.
inline constexpr std::uint8_t k3DFlags = kOutputMode3DBit | kContentExists3DBit;

// A valid index table ("INDX", version "0200") with extension-data address 0 at offset 12,
// `appInfoFlags` as the first flags byte of AppInfoBDMV at offset 44, a first-playback and top-menu
// object and one title. At least 45 bytes long.
std::vector<std::uint8_t> IndexTable(std::uint8_t appInfoFlags);

// A valid "MOBJ" file with the movie objects the index refers to: first playback jumps to title 1,
// top menu and title 1 play playlist 00000.
std::vector<std::uint8_t> MovieObjectFile();

// Playlist 00000.mpls: one play item over clip 00000, one video stream, one chapter mark.
std::vector<std::uint8_t> PlaylistFile();

// Clip information 00000.clpi describing the stream MpegTransportStream() returns.
std::vector<std::uint8_t> ClipInfoFile();

// Clip 00000.m2ts: one aligned unit of null transport packets.
std::vector<std::uint8_t> MpegTransportStream();

// A file of a disc and its bytes; the path is relative to the disc's root: "BDMV/index.bdmv".
struct DiscFile {
  std::string path;
  std::vector<std::uint8_t> bytes;
};

// BDMV/{index.bdmv, MovieObject.bdmv, PLAYLIST/00000.mpls, CLIPINF/00000.clpi,
// STREAM/00000.m2ts}: a disc libbluray lists with one title.
std::vector<DiscFile> DiscFiles(std::uint8_t appInfoFlags);

// Writes each file below discRoot, with its folders. Throws std::runtime_error when a file
// cannot be written.
void WriteFiles(const std::filesystem::path& discRoot, const std::vector<DiscFile>& files);

// Writes discRoot/BDMV/{index.bdmv, MovieObject.bdmv, PLAYLIST/00000.mpls, CLIPINF/00000.clpi,
// STREAM/00000.m2ts} so that `bd_info discRoot` lists the disc's title. Throws
// std::runtime_error when a file cannot be written.
void WriteDisc(const std::filesystem::path& discRoot, std::uint8_t appInfoFlags);

}  // namespace testdisc
