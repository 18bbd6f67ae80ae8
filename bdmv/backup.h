#pragma once

#include <string>
#include <vector>

#include "platform/directory.h"

// Opens the folder's BACKUP directory, creating it when it is missing. Not open when it
// cannot be had (it cannot be created, or the name is taken by a file or a link).
platform::Directory OpenBackupDirectory(const platform::Directory& folder,
                                        const std::vector<platform::DirEntry>& entries);

// Makes sure BACKUP holds a whole copy of the index file named indexName, under backupName.
// An existing backup is never replaced. Returns false when no backup exists afterwards.
bool EnsureBackup(const platform::Directory& folder, const std::vector<platform::DirEntry>& entries,
                  const std::string& indexName, const std::string& backupName);
