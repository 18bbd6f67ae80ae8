#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bdmv/folder_outcome.h"
#include "platform/directory.h"
#include "platform/file.h"
#include "platform/file_error.h"

// Opens the folder's BACKUP directory, creating it when it is missing (`made` then says so). Not
// open, holding the system's cause, when it cannot be had (it cannot be created, or the name is
// taken by a file or a link).
platform::Directory OpenBackupDirectory(const platform::Directory& folder,
                                        const std::vector<platform::DirEntry>& entries, bool& made);

// Makes sure BACKUP holds a whole copy of the index file, open as `index` and stamped `stamp`,
// under backupName. An existing backup is never replaced; `madeFrom`, when this call wrote the
// backup, is the stamp of the file it copied. Returns the folder's report when no backup exists
// afterwards, with the system's cause when it gave one.
std::optional<FolderOutcome> EnsureBackup(const platform::Directory& folder,
                                          const std::vector<platform::DirEntry>& entries,
                                          const platform::File& index,
                                          const platform::File::Stamp& stamp,
                                          const std::string& backupName,
                                          std::optional<platform::File::Stamp>& madeFrom);

// A folder's backup of its index file, as far as it could be had.
struct Backup {
  std::optional<platform::File> file;  // open for reading; none when there is none to use
  std::optional<FileError> error;      // why BACKUP or the backup in it could not be read
  // What its opening found, kept once the file is closed: whether there was one to use, and
  // whether it is patched itself, so that it would undo nothing.
  bool found = false;
  bool patched = false;
  std::uint64_t size = 0;
  // The whole file as its opening read it, when it is small enough to be read at once.
  std::optional<std::vector<std::uint8_t>> content;
};

// The existing backup named backupName (in any case). No file when BACKUP holds no plain file of
// that name, or when it cannot be read: a backup this user cannot read makes no patch undoable.
Backup OpenBackup(const platform::Directory& folder, const std::vector<platform::DirEntry>& entries,
                  std::string_view backupName);

// The same, from BACKUP as it was opened and listed (listError: why it could not be).
Backup OpenBackupIn(const platform::Directory& backupDir,
                    const std::vector<platform::DirEntry>& backupEntries,
                    const std::optional<FileError>& listError, std::string_view backupName);
