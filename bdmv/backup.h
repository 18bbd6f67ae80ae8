#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "bdmv/folder_outcome.h"
#include "platform/directory.h"
#include "platform/file.h"

// Opens the folder's BACKUP directory, creating it when it is missing. Not open, with the
// system's cause, when it cannot be had (it cannot be created, or the name is taken by a file or
// a link).
platform::Directory OpenBackupDirectory(const platform::Directory& folder,
                                        const std::vector<platform::DirEntry>& entries,
                                        std::error_code& error);

// Makes sure BACKUP holds a whole copy of the index file named indexName, under backupName.
// An existing backup is never replaced. Returns the folder's report when no backup exists
// afterwards, with the system's cause when it gave one.
std::optional<FolderOutcome> EnsureBackup(const platform::Directory& folder,
                                          const std::vector<platform::DirEntry>& entries,
                                          const std::string& indexName,
                                          const std::string& backupName);

// The existing backup named backupName (in any case), open for reading; none when BACKUP holds
// no plain file of that name or this user cannot open it.
std::optional<platform::File> OpenBackup(const platform::Directory& folder,
                                         const std::vector<platform::DirEntry>& entries,
                                         std::string_view backupName);
