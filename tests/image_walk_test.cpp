#include <sys/stat.h>

#include <cstring>
#include <map>

#include <gtest/gtest.h>

#include "pass/bdmv_folder_walker.h"
#include "pass/pass_guard.h"
#include "pass/passes.h"
#include "platform/fault_injection.h"
#include "tests/support/recording_front_end.h"
#include "tests/support/temp_tree.h"
#include "tests/support/udf_image.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

void WriteUdfImage(const fs::path& image, std::uint8_t flags = 0x60) {
  fs::create_directories(image.parent_path());
  testimage::WriteImage(image, testimage::DiscFiles(flags), {});
}

enum class Made { kUdfImage, kPlainFile, kFifo, kLinkToImage, kDirectory, kBdmvFolder };

struct Entry {
  const char* path;
  Made made;
  bool target;  // with images; a BDMV folder is one without them too
};

// Every kind of entry a walk may meet under an image's name, in several directories.
const std::vector<Entry> kTree = {
    {"x.iso", Made::kUdfImage, true},        {"X.ISO", Made::kUdfImage, true},
    {"Mixed.IsO", Made::kUdfImage, true},    {"BDMV", Made::kBdmvFolder, true},
    {"x.iso.bak", Made::kUdfImage, false},   {"iso", Made::kUdfImage, false},
    {".iso", Made::kUdfImage, false},        {".hidden.iso", Made::kUdfImage, false},
    {"link.iso", Made::kLinkToImage, false}, {"z.iso", Made::kFifo, false},
    {"w.iso", Made::kPlainFile, false},      {"y.iso", Made::kDirectory, false},
    {"y.iso/BDMV", Made::kBdmvFolder, true}, {"y.iso/inner.iso", Made::kUdfImage, true},
    {"sub/v.iso", Made::kUdfImage, true},    {"sub/deeper/u.iso", Made::kUdfImage, true},
    {".hid/t.iso", Made::kUdfImage, false},
};

void Make(const TempTree& tree, const Entry& entry) {
  const fs::path path = tree / entry.path;
  fs::create_directories(path.parent_path());
  switch (entry.made) {
    case Made::kUdfImage:
      WriteUdfImage(path);
      break;
    case Made::kPlainFile:
      WriteBytes(path, Bytes(300 * 2048, 0));
      break;
    case Made::kFifo:
      ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
      break;
    case Made::kLinkToImage:
      WriteUdfImage(tree / "linked.img");
      fs::create_symlink(tree / "linked.img", path);
      break;
    case Made::kDirectory:
      fs::create_directories(path);
      break;
    case Made::kBdmvFolder:
      MakeBdmvFolder(path.parent_path(), IndexBytes(64, 0));
      break;
  }
}

// The order a walk must keep: a directory's targets as its listing gives them, then its
// visible subdirectories, each the same way.
void ExpectedTargets(const fs::path& root, const fs::path& dir, bool images,
                     const std::map<std::string, Entry>& entries,
                     std::vector<std::string>& targets) {
  std::vector<fs::path> subdirectories;
  for (const fs::directory_entry& listed : fs::directory_iterator(dir)) {
    const std::string relative = listed.path().lexically_relative(root).string();
    const auto found = entries.find(relative);
    if (found != entries.end() && found->second.target &&
        (images || found->second.made == Made::kBdmvFolder)) {
      targets.push_back(relative);
    }
    if (listed.is_directory() && !listed.is_symlink() &&
        listed.path().filename().string()[0] != '.') {
      subdirectories.push_back(listed.path());
    }
  }
  for (const fs::path& subdirectory : subdirectories) {
    ExpectedTargets(root, subdirectory, images, entries, targets);
  }
}

TEST(ImageWalkTest, OnlyVisiblePlainUdfFilesWithAnImageNameAreTargetsInListingOrder) {
  TempTree tree;
  std::map<std::string, Entry> entries;
  for (const Entry& entry : kTree) {
    Make(tree, entry);
    entries.emplace(entry.path, entry);
  }
  for (const bool images : {false, true}) {
    SCOPED_TRACE(images ? "with images" : "without images");
    std::vector<std::string> expected;
    ExpectedTargets(tree.Root(), tree.Root(), images, entries, expected);
    RecordingFrontEnd frontEnd;
    std::vector<std::string> targets;
    CBdmvFolderWalker walker(tree.Root().string(), "BDMV", images);
    walker.Walk(
        [&](const DiscLocation& disc) {
          EXPECT_TRUE(disc.Folder().IsOpen()) << disc.Path();
          targets.push_back(fs::path(disc.Path()).lexically_relative(tree.Root()).string());
        },
        &frontEnd);
    EXPECT_EQ(targets, expected);
    EXPECT_TRUE(frontEnd.unreadable.empty());
  }
}

// A file that cannot be read may be a disc or not: the walk names it with the cause and goes on.
TEST(ImageWalkTest, AnImageThatCannotBeReadIsReportedAndTheWalkGoesOn) {
  TempTree tree;
  WriteUdfImage(tree / "a" / "broken.iso");
  MakeBdmvFolder(tree / "b", IndexBytes(64, 0));
  platform::SetFaultHook(
      [](platform::IoStep step) { return step == platform::IoStep::kRead ? EIO : 0; });
  RecordingFrontEnd frontEnd;
  std::vector<std::string> targets;
  CBdmvFolderWalker walker(tree.Root().string(), "BDMV", true);
  walker.Walk([&](const DiscLocation& disc) { targets.push_back(disc.Path()); }, &frontEnd);
  platform::SetFaultHook(nullptr);

  EXPECT_EQ(targets, std::vector<std::string>{(tree / "b" / "BDMV").string()});
  EXPECT_EQ(frontEnd.unreadable, (std::vector<std::pair<std::string, std::string>>{
                                     {(tree / "a" / "broken.iso").string(), std::strerror(EIO)}}));
  EXPECT_EQ(frontEnd.unreadableImages,
            std::vector<std::string>{(tree / "a" / "broken.iso").string()});
}

RecordingFrontEnd RunPass(const fs::path& path, bool modify, bool images) {
  RecordingFrontEnd frontEnd;
  const WalkOptions options{.images = images};
  RunGuarded(frontEnd, [&] {
    if (modify) {
      RunModifyPass(path.string(), 0, frontEnd, options);
    } else {
      RunRestorePass(path.string(), frontEnd, options);
    }
  });
  return frontEnd;
}

// A path that names a file is a pass over that file alone, whatever its name and with or without
// images in the walk; a file that holds no disc gets the operation's own refusal.
TEST(ImagePassTest, APathThatNamesAFileIsAPassOverItAlone) {
  TempTree tree;
  WriteUdfImage(tree / "Movie.iso");
  WriteUdfImage(tree / "disc.img");
  WriteBytes(tree / "notes.iso", Bytes(300 * 2048, 'n'));
  fs::create_symlink(tree / "Movie.iso", tree / "link.iso");
  const Bytes movie = ReadBytes(tree / "Movie.iso");
  const std::string notUdf = "Modify Fail,file is not a UDF disc image";
  struct Case {
    fs::path path;
    bool images;
    std::vector<std::string> modifyTexts;
  };
  for (const Case& c : std::vector<Case>{
           {tree / "Movie.iso", false, {"Modify 1 file successful"}},
           {tree / "disc.img", true, {"Modify 1 file successful"}},
           {tree / "notes.iso",
            true,
            {(tree / "notes.iso").string() + ": " + notUdf, "Modify 0 file successful"}},
           {tree / "link.iso", true, {"Floder Path ERR."}},
           {tree / "notes.iso" / "x", true, {"Floder Path ERR."}},
       }) {
    SCOPED_TRACE(c.path);
    const RecordingFrontEnd modified = RunPass(c.path, true, c.images);
    EXPECT_EQ(modified.Texts(), c.modifyTexts);
    if (c.modifyTexts.size() == 1 && c.modifyTexts[0] == "Floder Path ERR.") continue;
    EXPECT_EQ(modified.handled, std::vector<std::string>{c.path.string()});
    EXPECT_EQ(modified.messages.back().directoriesVisited, 0u);
    EXPECT_FALSE(modified.messages.back().stopped);
  }
  EXPECT_TRUE(fs::exists(tree / "Movie.iso.quorvel"));
  EXPECT_FALSE(fs::exists(tree / "notes.iso.quorvel"));
  EXPECT_NE(ReadBytes(tree / "Movie.iso"), movie);

  // Relative to the working directory, and shown as a full path.
  const fs::path cwd = fs::current_path();
  fs::current_path(tree.Root());
  const RecordingFrontEnd restored = RunPass("Movie.iso", false, false);
  fs::current_path(cwd);
  EXPECT_EQ(restored.Texts(), std::vector<std::string>{"Resume  1 files successful"});
  EXPECT_EQ(restored.handled, std::vector<std::string>{(tree / "Movie.iso").string()});
  EXPECT_EQ(DescribeDifference(movie, ReadBytes(tree / "Movie.iso")), "");
  EXPECT_FALSE(fs::exists(tree / "Movie.iso.quorvel"));
}

// A stop between two images of one directory is a stopped pass, though no directory is left.
TEST(ImagePassTest, AStopBeforeTheLastImageOfTheLastDirectoryIsAStoppedPass) {
  TempTree tree;
  WriteUdfImage(tree / "one.iso");
  WriteUdfImage(tree / "two.iso");
  for (const std::size_t stopAfter : {1u, 2u}) {
    RecordingFrontEnd frontEnd;
    frontEnd.cancel = [&] { return frontEnd.handled.size() == stopAfter; };
    RunGuarded(frontEnd, [&] { RunRestorePass(tree.Root().string(), frontEnd, {.images = true}); });
    EXPECT_EQ(frontEnd.handled.size(), stopAfter);
    EXPECT_EQ(frontEnd.messages.back().stopped, stopAfter == 1) << stopAfter;
  }
}

}  // namespace
