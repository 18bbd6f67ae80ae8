#pragma once

#include <cstddef>
#include <string>

#include "bdmv/folder_outcome.h"

struct PassMessage {
  enum class Kind {
    kFolder,     // a BDMV folder could not be handled; `folder` names it
    kPassLevel,  // about the pass as a whole ("Floder Path ERR.", running out of memory)
    kFileError,  // a failed file operation ended the pass
    kSummary,    // the count at the end of a pass
  };
  enum class Icon { kWarning, kStop };

  Kind kind;
  Icon icon;
  std::string text;
  std::string folder;
  // The system's own description of the failure behind a folder's message or a file error,
  // when it gave one; the message's own text stays as it is beside it.
  std::string cause = {};
  // For the summary: whether the user (or a signal) stopped the pass before it was done, while
  // it was looking for discs or after how many of the discs it found, and how many directories
  // it visited. The text is the same as for a whole pass.
  bool stopped = false;
  std::size_t directoriesVisited = 0;
  bool stoppedSearching = false;
  std::size_t discsFound = 0;
  std::size_t discsBegun = 0;
  // For a file error: the file the failed call named, as FileError::Path() has it (a full path,
  // or a name within the disc's folder); empty when the call named none.
  std::string file = {};
};

// What a front end provides to a pass: a way to show messages, and news of the walk for a
// progress display or a report.
// What could not be read: a directory, or a disc image file.
enum class UnreadableKind { kFolder, kImage };

class PassFrontEnd {
 public:
  virtual ~PassFrontEnd() = default;

  // Shows the message and returns once the user has dismissed it.
  virtual void ShowMessage(const PassMessage& message) = 0;

  // While the pass looks for discs, now and then, on the pass's own thread: the directories
  // visited and the discs found so far.
  virtual void Searching(std::size_t /*directories*/, std::size_t /*found*/) {}
  // The search is over: the discs it found are handled next, one by one, in the walk's order.
  virtual void DiscsFound(std::size_t /*discs*/) {}
  // A directory (or disc image) the walk could not open, list or find again; it is skipped and the
  // walk goes on. `cause` is the system's own description.
  virtual void FolderUnreadable(const std::string& /*path*/, const std::string& /*cause*/,
                                UnreadableKind /*kind*/) {}
  virtual void FolderStarted(const std::string& /*path*/) {}
  virtual void FolderHandled(const std::string& /*path*/, const FolderOutcome& /*outcome*/) {}

  // Asked between two directories of the search and between two discs, never inside one: true
  // stops the pass there, and it shows its summary of what was done so far.
  virtual bool CancelRequested() { return false; }
};
