#pragma once

#include <optional>
#include <string>
#include <vector>

#include "bdmv/backup.h"
#include "bdmv/index_table.h"
#include "bdmv/patch_progress.h"
#include "platform/directory.h"
#include "platform/file.h"
#include "platform/file_error.h"

// A BDMV folder as a pass first sees it, read without changing anything: its listing, its index
// file and the backup of it, open, with where the index file stands. A pass reads it ahead of
// the folder's turn, on another thread, so that it waits for its writes and not for its reads;
// the operation takes what was read as it stands only while the index file it holds has the
// stamp the look read.
struct FolderLook {
  // Set when the folder could not be listed: nothing else is known.
  std::optional<FileError> listError;
  std::vector<platform::DirEntry> entries;
  std::string indexName;   // the index file a pass uses; empty when there is none
  std::string backupName;  // the name its backup has, or takes, in BACKUP
  std::string backupFile;  // the backup a Restore would use, as BACKUP/NAME; empty for none
  // BACKUP, opened and listed; backupListError says why it could not be (it may not exist).
  platform::Directory backupDir;
  std::vector<platform::DirEntry> backupEntries;
  std::optional<FileError> backupListError;
  std::optional<platform::File> index;  // the index file, open for reading
  // Opened as a file that is to change (OpenToChange), so that the turn holds it without opening
  // it again; not when a program writing it kept that open out at the look.
  bool indexToChange = false;
  platform::File::Stamp indexStamp;  // as it was read
  // Why the index file could not be opened or read: the operation meets it at its turn.
  std::optional<FileError> indexError;
  bool indexRegular = false;
  index_table::Header header;         // of an index file that is a plain file
  std::optional<Backup> backup;       // for an index table: its backup, as far as it could be had
  patch_progress::Progress progress;  // for an index table: where it stands against the backup
};

// How far a look reads: the folder and BACKUP listed; the index file and its backup opened and
// read too (a scan); the index file opened as one that is to change, for a Modify; and for a
// Restore the listings, the backup it puts back opened and read, and the index file of that name
// opened to change.
enum class LookDepth { kListings, kIndex, kIndexToChange, kRestore };

FolderLook LookAtFolder(const platform::Directory& folder, LookDepth depth);
// The same, from the folder's listing as it was just read.
FolderLook LookAtListedFolder(const platform::Directory& folder,
                              std::vector<platform::DirEntry> entries, LookDepth depth);

// Closes what the look holds open, keeping what it read: a look kept long before its folder's
// turn holds no descriptors. The index file can be opened again to change, as its turn nears.
void LetGoOfFiles(FolderLook& look);
void OpenIndexToChange(const platform::Directory& folder, FolderLook& look);
