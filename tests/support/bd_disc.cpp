#include "tests/support/bd_disc.h"

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "tests/support/temp_tree.h"

namespace testdisc {
namespace {

// Every BDMV file starts with a 4-character type and a 4-character version.
constexpr std::string_view kVersion = "0200";
// Sections whose start addresses sit in the header begin at this offset.
constexpr std::size_t kFirstSectionOffset = 40;

// Object ids the index points at; MovieObjectFile() defines them in this order.
constexpr std::uint16_t kFirstPlaybackObject = 0;
constexpr std::uint16_t kTopMenuObject = 1;
constexpr std::uint16_t kTitleObject = 2;

// The single clip and playlist of the disc.
constexpr std::string_view kClipName = "00000";
constexpr std::uint16_t kPlaylistNumber = 0;
constexpr std::string_view kPlaylistName = "00000";  // kPlaylistNumber as a file name
constexpr std::uint16_t kProgramMapPid = 0x0100;
constexpr std::uint16_t kPcrPid = 0x1001;
constexpr std::uint16_t kVideoPid = 0x1011;
constexpr std::uint8_t kCodingH264 = 0x1B;
constexpr std::uint8_t kVideo1080p = 6;
constexpr std::uint8_t kRate23976 = 1;
constexpr std::uint8_t kAspect16x9 = 3;
constexpr std::uint8_t kVideoFormatAndRate = kVideo1080p << 4 | kRate23976;

// Presentation times use the 45 kHz clock.
constexpr std::uint32_t kTicksPerSecond = 45'000;
constexpr std::uint32_t kInTime = 0;
constexpr std::uint32_t kOutTime = 10 * kTicksPerSecond;

// A clip is read in aligned units of 32 source packets (three 2048-byte sectors); a source
// packet is a 4-byte header followed by a 188-byte transport packet.
constexpr std::size_t kTransportPacketSize = 188;
constexpr std::uint32_t kSourcePacketCount = 32;
constexpr std::uint32_t kRecordingRate = 6'000'000;  // bytes per second

// Appends big-endian fields; length and address fields are reserved first and patched later.
class Writer {
 public:
  struct LengthField {
    std::size_t at;
    std::size_t width;
  };

  // Room for the largest file, the clip, up front: GCC 12 at -O3 otherwise warns of a write
  // past the end of the first allocation, which never happens.
  Writer() { bytes_.reserve(kSourcePacketCount * (4 + kTransportPacketSize)); }

  void U8(std::uint8_t v) { bytes_.push_back(v); }
  void U16(std::uint16_t v) {
    U8(static_cast<std::uint8_t>(v >> 8));
    U8(static_cast<std::uint8_t>(v));
  }
  void U32(std::uint32_t v) {
    U16(static_cast<std::uint16_t>(v >> 16));
    U16(static_cast<std::uint16_t>(v));
  }
  void Ascii(std::string_view s) { bytes_.insert(bytes_.end(), s.begin(), s.end()); }
  void Zeros(std::size_t n) { bytes_.insert(bytes_.end(), n, 0); }
  void ZerosUpTo(std::size_t offset) { Zeros(offset - bytes_.size()); }

  // Stores the current size as the 32-bit start address held at `at`.
  void PointHere(std::size_t at) { Patch(at, 4, bytes_.size()); }

  // A length field counts the bytes after itself up to EndLength().
  LengthField BeginLength(std::size_t width) {
    LengthField field{bytes_.size(), width};
    Zeros(width);
    return field;
  }
  void EndLength(LengthField field) {
    Patch(field.at, field.width, bytes_.size() - field.at - field.width);
  }

  std::vector<std::uint8_t> Take() && { return std::move(bytes_); }

 private:
  void Patch(std::size_t at, std::size_t width, std::size_t value) {
    for (std::size_t i = 0; i < width; ++i) {
      bytes_[at + i] = static_cast<std::uint8_t>(value >> (8 * (width - 1 - i)));
    }
  }

  std::vector<std::uint8_t> bytes_;
};

void FileHeader(Writer& w, std::string_view type) {
  w.Ascii(type);
  w.Ascii(kVersion);
}

// ---- index.bdmv ----

constexpr std::size_t kIndexesStartAt = 8;
constexpr std::uint32_t kAppInfoLength = 34;
constexpr std::uint32_t kObjectTypeHdmv = 1u << 30;
constexpr std::uint16_t kPlaybackMovie = 0;
constexpr std::uint16_t kPlaybackInteractive = 1u << 14;

void IndexAppInfo(Writer& w, std::uint8_t flags) {
  w.U32(kAppInfoLength);
  w.U8(flags);
  w.U8(kVideoFormatAndRate);
  w.Zeros(kAppInfoLength - 2);  // content provider data
}

// First playback, top menu and titles share this layout; access type 0 = accessible, shown.
void HdmvIndexEntry(Writer& w, std::uint16_t playbackType, std::uint16_t objectId) {
  w.U32(kObjectTypeHdmv);
  w.U16(playbackType);
  w.U16(objectId);
  w.U32(0);
}

void Indexes(Writer& w) {
  const auto length = w.BeginLength(4);
  HdmvIndexEntry(w, kPlaybackMovie, kFirstPlaybackObject);
  HdmvIndexEntry(w, kPlaybackInteractive, kTopMenuObject);
  w.U16(1);  // number of titles
  HdmvIndexEntry(w, kPlaybackMovie, kTitleObject);
  w.EndLength(length);
}

// ---- MovieObject.bdmv ----

// One navigation command: opcode word, destination and source operand.
struct NavCommand {
  std::uint8_t subGroup;
  std::uint8_t branchOption;
  std::uint32_t destination;
};
constexpr std::uint8_t kOneOperand = 1 << 5;  // operand count in the top 3 bits; group 0 = branch
constexpr std::uint8_t kImmediateDestination = 0x80;
constexpr std::uint8_t kSubGroupJump = 1;
constexpr std::uint8_t kSubGroupPlay = 2;
constexpr std::uint8_t kJumpTitle = 1;
constexpr std::uint8_t kPlayPlaylist = 0;
constexpr NavCommand kJumpToTitle1{kSubGroupJump, kJumpTitle, 1};
constexpr NavCommand kPlayTheMovie{kSubGroupPlay, kPlayPlaylist, kPlaylistNumber};

constexpr std::uint16_t kResumeIntention = 0x8000;

void Command(Writer& w, const NavCommand& c) {
  w.U8(kOneOperand | c.subGroup);
  w.U8(kImmediateDestination | c.branchOption);
  w.U16(0);  // compare and set options
  w.U32(c.destination);
  w.U32(0);
}

void MovieObject(Writer& w, std::uint16_t flags, const NavCommand& command) {
  w.U16(flags);
  w.U16(1);  // number of commands
  Command(w, command);
}

// ---- 00000.mpls ----

constexpr std::size_t kPlayListAt = 8;
constexpr std::size_t kPlayListMarkAt = 12;
constexpr std::uint8_t kSequentialPlayback = 1;
constexpr std::size_t kUserOperationMaskSize = 8;
constexpr std::uint16_t kConnectionNonSeamless = 1;
constexpr std::uint8_t kStreamOfPlayItem = 1;
constexpr std::size_t kStreamEntryLength = 9;
constexpr std::uint8_t kMarkEntry = 1;
constexpr std::uint16_t kNoEntryStream = 0xFFFF;

void PlaylistAppInfo(Writer& w) {
  const auto length = w.BeginLength(4);
  w.U8(0);
  w.U8(kSequentialPlayback);
  w.U16(0);  // playback count
  w.Zeros(kUserOperationMaskSize);
  w.U16(0);  // random access, audio mix and bypass flags
  w.EndLength(length);
}

void VideoStream(Writer& w) {
  const auto entry = w.BeginLength(1);
  w.U8(kStreamOfPlayItem);
  w.U16(kVideoPid);
  w.ZerosUpTo(entry.at + 1 + kStreamEntryLength);
  w.EndLength(entry);

  const auto attributes = w.BeginLength(1);
  w.U8(kCodingH264);
  w.U8(kVideoFormatAndRate);
  w.Zeros(3);
  w.EndLength(attributes);
}

void StreamNumberTable(Writer& w) {
  const auto length = w.BeginLength(2);
  w.U16(0);
  w.U8(1);     // primary video streams
  w.Zeros(6);  // audio, PG, IG, secondary audio/video and PiP PG streams
  w.Zeros(5);
  VideoStream(w);
  w.EndLength(length);
}

void PlayItem(Writer& w) {
  const auto length = w.BeginLength(2);
  w.Ascii(kClipName);
  w.Ascii("M2TS");
  w.U16(kConnectionNonSeamless);  // not multi-angle
  w.U8(0);                        // STC id
  w.U32(kInTime);
  w.U32(kOutTime);
  w.Zeros(kUserOperationMaskSize);
  w.U8(0);   // random access flag
  w.U8(0);   // no still
  w.U16(0);  // still time
  StreamNumberTable(w);
  w.EndLength(length);
}

void PlayList(Writer& w) {
  w.PointHere(kPlayListAt);
  const auto length = w.BeginLength(4);
  w.U16(0);
  w.U16(1);  // play items
  w.U16(0);  // sub-paths
  PlayItem(w);
  w.EndLength(length);
}

void PlayListMarks(Writer& w) {
  w.PointHere(kPlayListMarkAt);
  const auto length = w.BeginLength(4);
  w.U16(1);  // one chapter at the start of the only play item
  w.U8(0);
  w.U8(kMarkEntry);
  w.U16(0);
  w.U32(kInTime);
  w.U16(kNoEntryStream);
  w.U32(0);  // duration: up to the end
  w.EndLength(length);
}

// ---- 00000.clpi ----

constexpr std::size_t kSequenceInfoAt = 8;
constexpr std::size_t kProgramInfoAt = 12;
constexpr std::size_t kCpiAt = 16;
constexpr std::size_t kClipMarkAt = 20;
constexpr std::uint8_t kClipStreamTypeAv = 1;
constexpr std::uint8_t kApplicationMainMovie = 1;
constexpr std::size_t kClipInfoReserved = 128;
constexpr std::uint8_t kTsTypeValid = 0x80;
constexpr std::size_t kTsTypeInfoLength = 30;
constexpr std::size_t kStreamCodingInfoLength = 21;

void TsTypeInfo(Writer& w) {
  const auto length = w.BeginLength(2);
  w.U8(kTsTypeValid);
  w.Ascii("HDMV");
  w.ZerosUpTo(length.at + 2 + kTsTypeInfoLength);
  w.EndLength(length);
}

void ClipInfo(Writer& w) {
  const auto length = w.BeginLength(4);
  w.U16(0);
  w.U8(kClipStreamTypeAv);
  w.U8(kApplicationMainMovie);
  w.U32(0);  // no ATC delta
  w.U32(kRecordingRate);
  w.U32(kSourcePacketCount);
  w.Zeros(kClipInfoReserved);
  TsTypeInfo(w);
  w.EndLength(length);
}

void SequenceInfo(Writer& w) {
  w.PointHere(kSequenceInfoAt);
  const auto length = w.BeginLength(4);
  w.U8(0);
  w.U8(1);   // ATC sequences
  w.U32(0);  // first source packet
  w.U8(1);   // STC sequences
  w.U8(0);   // first STC id
  w.U16(kPcrPid);
  w.U32(0);
  w.U32(kInTime);
  w.U32(kOutTime);
  w.EndLength(length);
}

void ProgramInfo(Writer& w) {
  w.PointHere(kProgramInfoAt);
  const auto length = w.BeginLength(4);
  w.U8(0);
  w.U8(1);   // programs
  w.U32(0);  // first source packet
  w.U16(kProgramMapPid);
  w.U8(1);  // streams
  w.U8(0);  // groups
  w.U16(kVideoPid);
  const auto coding = w.BeginLength(1);
  w.U8(kCodingH264);
  w.U8(kVideoFormatAndRate);
  w.U8(kAspect16x9 << 4);
  w.ZerosUpTo(coding.at + 1 + kStreamCodingInfoLength);
  w.EndLength(coding);
  w.EndLength(length);
}

// No EP map and no clip marks: readers then treat the whole clip as one piece.
void EmptyCpiAndClipMarks(Writer& w) {
  w.PointHere(kCpiAt);
  w.U32(0);
  w.PointHere(kClipMarkAt);
  w.U32(0);
}

}  // namespace

std::vector<std::uint8_t> IndexTable(std::uint8_t appInfoFlags) {
  Writer w;
  FileHeader(w, "INDX");
  w.U32(0);  // indexes start, set below
  w.U32(0);  // no extension data
  w.ZerosUpTo(kFirstSectionOffset);
  IndexAppInfo(w, appInfoFlags);
  w.PointHere(kIndexesStartAt);
  Indexes(w);
  return std::move(w).Take();
}

std::vector<std::uint8_t> MovieObjectFile() {
  Writer w;
  FileHeader(w, "MOBJ");
  w.U32(0);  // no extension data
  w.ZerosUpTo(kFirstSectionOffset);
  const auto length = w.BeginLength(4);
  w.U32(0);
  w.U16(3);  // objects, in the order of their ids
  MovieObject(w, 0, kJumpToTitle1);
  MovieObject(w, 0, kPlayTheMovie);
  MovieObject(w, kResumeIntention, kPlayTheMovie);
  w.EndLength(length);
  return std::move(w).Take();
}

std::vector<std::uint8_t> PlaylistFile() {
  Writer w;
  FileHeader(w, "MPLS");
  w.U32(0);  // play list start, set below
  w.U32(0);  // marks start, set below
  w.U32(0);  // no extension data
  w.ZerosUpTo(kFirstSectionOffset);
  PlaylistAppInfo(w);
  PlayList(w);
  PlayListMarks(w);
  return std::move(w).Take();
}

std::vector<std::uint8_t> ClipInfoFile() {
  Writer w;
  FileHeader(w, "HDMV");
  w.Zeros(4 * 4);  // section starts, set below
  w.U32(0);        // no extension data
  w.ZerosUpTo(kFirstSectionOffset);
  ClipInfo(w);
  SequenceInfo(w);
  ProgramInfo(w);
  EmptyCpiAndClipMarks(w);
  return std::move(w).Take();
}

std::vector<std::uint8_t> MpegTransportStream() {
  constexpr std::uint8_t kSyncByte = 0x47;
  constexpr std::uint16_t kNullPid = 0x1FFF;
  constexpr std::uint8_t kPayloadOnly = 0x10;
  constexpr std::size_t kTransportHeaderSize = 4;
  constexpr std::uint8_t kStuffing = 0xFF;

  Writer w;
  for (std::uint32_t i = 0; i < kSourcePacketCount; ++i) {
    w.U32(0);  // source packet header: copy permission and arrival time stamp
    w.U8(kSyncByte);
    w.U16(kNullPid);
    w.U8(kPayloadOnly);
    for (std::size_t b = kTransportHeaderSize; b < kTransportPacketSize; ++b) w.U8(kStuffing);
  }
  return std::move(w).Take();
}

std::vector<DiscFile> DiscFiles(std::uint8_t appInfoFlags) {
  const std::string clip(kClipName);
  const std::string playlist(kPlaylistName);
  return {
      {"BDMV/index.bdmv", IndexTable(appInfoFlags)},
      {"BDMV/MovieObject.bdmv", MovieObjectFile()},
      {"BDMV/PLAYLIST/" + playlist + ".mpls", PlaylistFile()},
      {"BDMV/CLIPINF/" + clip + ".clpi", ClipInfoFile()},
      {"BDMV/STREAM/" + clip + ".m2ts", MpegTransportStream()},
  };
}

void WriteFiles(const std::filesystem::path& discRoot, const std::vector<DiscFile>& files) {
  for (const DiscFile& file : files) testing_support::WriteBytes(discRoot / file.path, file.bytes);
}

void WriteDisc(const std::filesystem::path& discRoot, std::uint8_t appInfoFlags) {
  WriteFiles(discRoot, DiscFiles(appInfoFlags));
}

}  // namespace testdisc
