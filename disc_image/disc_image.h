#pragma once

#include <string>
#include <string_view>

#include "bdmv/bdmv_folder_state.h"
#include "bdmv/folder_outcome.h"
#include "platform/directory.h"

// A Blu-ray disc kept as an image file: a UDF volume patched in place. The bytes a patch changes
// are kept, before the first of them changes, in a file beside the image until Restore puts them
// back. An image is named by the directory that holds it and its name there.
namespace disc_image {

// Whether a walk takes a file of this name as a disc image: ".iso" in any case.
bool IsImageName(std::string_view name);

// The name of the file beside an image that keeps what its patch changed: "NAME.iso.quorvel".
std::string BackupNameFor(std::string_view imageName);

// Whether the file holds a UDF volume (an anchor at sector 256, or at the last sector). A walk
// takes nothing else for a disc; a raw 2352-byte image or another container is no target. Reads
// a few bytes; throws FileError when the file cannot be opened or read.
bool IsUdfImage(const platform::Directory& dir, const std::string& name);

// Patches the disc in the image as ModifyBdmvFolder patches a folder, with the same outcomes and
// messages; `path` is the image's full path, for messages. Throws FileError when the image or
// the file beside it fails mid-way: the pass ends.
FolderOutcome ModifyDiscImage(const platform::Directory& dir, const std::string& name,
                              const std::string& path, bool convert3DTo2D);

// Puts back every byte the patch changed and, once the image equals its original, removes the
// file beside it.
FolderOutcome RestoreDiscImage(const platform::Directory& dir, const std::string& name,
                               const std::string& path);

// What the image's disc holds, read without changing anything: indexFile is the index file's
// path inside the image ("BDMV/index.bdmv"), backupFile the file beside the image when it exists.
BdmvFolderState ReadDiscImageState(const platform::Directory& dir, const std::string& name);

}  // namespace disc_image
