#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bdmv/folder_outcome.h"
#include "pass/pass_front_end.h"

// For the summary of a stopped pass, "Stopped after visiting N directories." when it was stopped
// while looking for discs, "Stopped after K of M discs." once it was handling them; empty for any
// other message. The summary's own text reads the same whether or not the pass was stopped, so
// every front end shows this beside it.
std::string StoppedText(const PassMessage& message);

// A message's text followed by the system's own description of the failure in parentheses,
// when there is one.
std::string WithCause(const std::string& text, const std::string& cause);

// The text of a dialog's box: the message's own, and for a stopped pass a second line saying so.
std::string BoxText(const PassMessage& message);

// What a pass did, folder by folder, for the details part of the dialogs' boxes: each BDMV
// folder with its outcome, and each directory the walk could not read with the cause.
class PassReport {
 public:
  // A BDMV folder with its outcome, or a directory the walk could not read with the cause.
  struct Entry {
    std::string path;
    std::optional<FolderOutcome> outcome;  // none for a directory that could not be read
    std::string cause = {};
    UnreadableKind kind = UnreadableKind::kFolder;

    std::string Line() const;
  };

  void FolderHandled(const std::string& path, const FolderOutcome& outcome);
  void FolderUnreadable(const std::string& path, const std::string& cause, UnreadableKind kind);

  // In the order of the walk.
  const std::vector<Entry>& Entries() const { return m_entries; }
  // No BDMV folder got a message and every directory could be read.
  bool AllHandled() const;

  // The details of the box that shows `message`, lines joined by `lineEnd` ("\r\n" for a
  // Windows edit box): for the summary, the stop if there was one and then a line per folder;
  // for a file error, "Folder: " and the folder in hand, "File: " and the file the failed call
  // named, each when known, then the system's description of the failure; for any other
  // message, that description. Empty when there is nothing to tell.
  std::string Details(const PassMessage& message, std::string_view lineEnd = "\n") const;

 private:
  std::vector<Entry> m_entries;
};
