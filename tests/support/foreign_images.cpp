#include "tests/support/foreign_images.h"

#include <algorithm>
#include <filesystem>

#include "tests/support/bd_disc.h"
#include "tests/support/run_process.h"
#include "tests/support/temp_tree.h"

namespace foreign_images {
namespace {

namespace fs = std::filesystem;
using testing_support::Bytes;

constexpr std::size_t kSectorSize = 2048;

// Every folder and file below the tree (argv[1]) into a UDF 2.60 image (argv[2]), by UDF path
// alone: pycdlib's ISO 9660 view, which would want 8.3 names, stays empty.
constexpr char kPycdlibScript[] = R"(
import os, sys, pycdlib
tree, out = sys.argv[1], sys.argv[2]
iso = pycdlib.PyCdlib()
iso.new(udf='2.60')
files = []
for folder, dirs, names in os.walk(tree):
    dirs.sort()
    relative = os.path.relpath(folder, tree)
    inside = '' if relative == '.' else '/' + relative.replace(os.sep, '/')
    if inside:
        iso.add_directory(udf_path=inside)
    for name in sorted(names):
        path = os.path.join(folder, name)
        files.append(open(path, 'rb'))
        iso.add_fp(files[-1], os.path.getsize(path), udf_path=inside + '/' + name)
iso.write(out)
iso.close()
)";

std::vector<testdisc::DiscFile> DiscTree(const ImageRecipe& recipe) {
  std::vector<testdisc::DiscFile> files = testdisc::DiscFiles(testdisc::k3DFlags);
  if (recipe.indexLength > 0) files.front().bytes.resize(recipe.indexLength);
  files.push_back({"BDMV/BACKUP/MovieObject.bdmv", files[1].bytes});
  if (!recipe.hardLinkedBackup) files.push_back({"BDMV/BACKUP/index.bdmv", files[0].bytes});
  return files;
}

std::string Failure(const std::string& what, const testing_support::ProcessResult& run) {
  return what + " failed (" + std::to_string(run.exitStatus) + "): " + run.out + run.err;
}

// Cuts the image after the last sector that holds a file's bytes.
std::string Truncate(const fs::path& image, const std::vector<testdisc::DiscFile>& files) {
  Bytes bytes = testing_support::ReadBytes(image);
  std::size_t end = 0;
  for (const testdisc::DiscFile& file : files) {
    const auto at = std::find_end(bytes.begin(), bytes.end(), file.bytes.begin(), file.bytes.end());
    if (at == bytes.end()) return "the image holds no copy of " + file.path;
    end = std::max(end, static_cast<std::size_t>(at - bytes.begin()) + file.bytes.size());
  }
  end = (end + kSectorSize - 1) / kSectorSize * kSectorSize;
  if (end >= bytes.size()) return "the files' data reach the image's end: nothing to cut";
  bytes.resize(end);
  testing_support::WriteBytes(image, bytes);
  return "";
}

}  // namespace

std::string MissingTool(Maker maker) {
  if (maker == Maker::kPycdlib) {
    if (testing_support::RunProcess({kPython, "-c", "import pycdlib"}).exitStatus != 0) {
      return "pycdlib is not installed (Debian package python3-pycdlib)";
    }
  } else if (!fs::exists(kGenisoimage)) {
    return std::string(kGenisoimage) + " is not installed (Debian package genisoimage)";
  }
  if (!fs::exists(k7Zip)) return std::string(k7Zip) + " is not installed (Debian package 7zip)";
  return "";
}

std::vector<std::uint8_t> IndexBytes(const ImageRecipe& recipe) {
  return DiscTree(recipe).front().bytes;
}

std::vector<std::pair<std::string, std::string>> ArchiveViews(const ImageRecipe& recipe) {
  switch (recipe.maker) {
    case Maker::kGenisoimage:
      return {{"-tudf", kIndexPath}, {"-tiso", "BDMV/INDEX.BDM"}};  // 8.3 names
    case Maker::kGenisoimageJoliet:
      return {{"-tudf", kIndexPath}, {"-tiso", kIndexPath}};
    case Maker::kPycdlib:
      break;
  }
  return {{"-tudf", kIndexPath}};
}

std::string MakeImage(const ImageRecipe& recipe, const fs::path& scratch, const fs::path& image) {
  const fs::path tree = scratch / "disc";
  fs::remove_all(tree);
  const std::vector<testdisc::DiscFile> files = DiscTree(recipe);
  testdisc::WriteFiles(tree, files);
  if (recipe.hardLinkedBackup) {
    fs::create_hard_link(tree / kIndexPath, tree / "BDMV/BACKUP/index.bdmv");
  }
  testing_support::ProcessResult run;
  if (recipe.maker == Maker::kPycdlib) {
    run =
        testing_support::RunProcess({kPython, "-c", kPycdlibScript, tree.string(), image.string()});
  } else {
    std::vector<std::string> command = {kGenisoimage, "-quiet", "-udf", "-V", "QUORVEL_TEST"};
    if (recipe.maker == Maker::kGenisoimageJoliet) command.push_back("-J");
    command.insert(command.end(), {"-o", image.string(), tree.string()});
    run = testing_support::RunProcess(command);
  }
  if (run.exitStatus != 0)
    return Failure(recipe.maker == Maker::kPycdlib ? "pycdlib" : "genisoimage", run);
  return recipe.truncated ? Truncate(image, files) : "";
}

}  // namespace foreign_images
