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
// the operation holds the index file only at the folder's turn, and takes what was read as it
// stands only while the file it holds has the stamp the look read.
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
  platform::File::Stamp indexStamp;     // as it was read
  // Why the index file could not be opened or read: the operation meets it at its turn.
  std::optional<FileError> indexError;
  bool indexRegular = false;
  index_table::Header header;         // of an index file that is a plain file
  std::optional<Backup> backup;       // for an index table: its backup, as far as it could be had
  patch_progress::Progress progress;  // for an index table: where it stands against the backup
};

// With `readIndex`, the index file and its backup are opened and read; without, only the folder
// and BACKUP are listed, as much as a Restore reads before it writes.
FolderLook LookAtFolder(const platform::Directory& folder, bool readIndex = true);
