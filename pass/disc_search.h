#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bdmv/folder_look.h"
#include "pass/pass_front_end.h"
#include "platform/directory.h"
#include "platform/file_error.h"

// A place in the walk's order. The walk takes a directory's targets first, in the order of its
// listing, then each subdirectory in that order with everything below it; keys compare as that
// walk meets what they name.
using WalkKey = std::vector<std::uint32_t>;

// What the search met: a disc, or a directory or an image it could not read.
struct Finding {
  enum class Kind : std::uint8_t { kBdmvFolder, kImage, kUnreadable };

  Kind kind;
  WalkKey key;
  std::string relative;                        // below the start folder, names joined by '/'
  std::optional<FileError> cause;              // why it could not be read
  std::unique_ptr<FolderLook> look = nullptr;  // a BDMV folder's, read as the search listed it
  bool image = false;                          // an unreadable disc image, not a directory
};

// Finds every directory named like the pattern below a start folder, and with `images` every
// disc image, with a number of threads that take directories from one shared stack in no
// particular order. Each directory is opened relative to its parent while the parent is held;
// a parent given up to stay within the descriptor limit is found again from a held directory
// and checked to be the one listed. Links are never followed, and depth is bounded by memory.
// The findings come back in the walk's order, as a walk of one directory at a time meets them.
// With `look`, each BDMV folder the search lists is looked at that deep while it is open, by as
// many threads again as list, its files closed again.
class DiscSearch {
 public:
  DiscSearch(const platform::Directory& start, std::string pattern, bool images,
             std::optional<LookDepth> look = std::nullopt);
  ~DiscSearch();
  DiscSearch(const DiscSearch&) = delete;
  DiscSearch& operator=(const DiscSearch&) = delete;

  // Lists up to `threads` directories at once, the calling thread's among them. Between two of
  // its own directories, and now and then while it waits for the others, the calling thread
  // tells the front end how far the search has come and asks it whether to stop.
  std::vector<Finding> Run(unsigned threads, PassFrontEnd* frontEnd);

  // After Run: whether the front end stopped it before it was done, how many directories it
  // visited (the start folder included), how many threads listed them, and how many directories
  // it had to find again after giving up their handles.
  bool Stopped() const;
  std::size_t DirectoriesVisited() const;
  unsigned ThreadsUsed() const;
  std::size_t FoundAgain() const;

 private:
  struct Node;
  struct Taken;
  struct State;
  using NodePtr = std::shared_ptr<Node>;
  using DirectoryPtr = std::shared_ptr<const platform::Directory>;

  void Work(bool caller);
  bool TellProgress();
  void Visit(Taken taken);
  void ListDirectory(const NodePtr& node, DirectoryPtr dir);
  std::uint32_t AddTargets(const NodePtr& node, const platform::Directory& dir,
                           const std::vector<platform::DirEntry>& entries);
  bool IsTarget(const platform::DirEntry& entry) const;
  void QueueSubdirectories(const NodePtr& node, DirectoryPtr dir,
                           std::vector<platform::DirEntry>& entries, std::uint32_t firstSlot);
  bool Hold(const NodePtr& node, DirectoryPtr dir);
  bool HoldIfRoom(const NodePtr& node, DirectoryPtr& dir);
  void HoldAgain(const NodePtr& node, DirectoryPtr dir);
  void Unhold(Node& node);
  bool EvictOne(const Node* newcomer);
  void Release(const NodePtr& node, const DirectoryPtr& dir);
  DirectoryPtr FindAgain(const NodePtr& node);
  platform::Directory OpenChild(const platform::Directory& parent, const std::string& name);
  void Lose(const NodePtr& node, FileError cause);
  void Record(Finding finding);
  template <typename... Args>
  std::vector<std::thread> StartThreads(std::size_t count, void (DiscSearch::*work)(Args...),
                                        Args... args);
  void LookAt(const Node& node, const DirectoryPtr& dir,
              const std::vector<platform::DirEntry>& entries);
  void Look();
  void Keep(WalkKey key, FolderLook look);

  std::string m_pattern;
  bool m_images;
  std::optional<LookDepth> m_look;
  std::unique_ptr<State> m_state;
};
