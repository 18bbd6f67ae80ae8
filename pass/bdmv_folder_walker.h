#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "pass/disc_location.h"
#include "pass/disc_reader.h"
#include "pass/disc_search.h"
#include "pass/pass_front_end.h"
#include "platform/directory.h"

// Walks a folder tree and hands every directory named like the pattern to a handler, and with
// `images` every disc image file too, in the order of a depth-first walk: a directory's targets,
// in the order of its listing, before its subdirectories. The targets are first found with many
// directories listed at once, in no order, then handed over one by one in the walk's order. It
// works relative to open directories: the process's working directory never moves, links are
// never followed, and depth is bounded by memory. A directory it cannot open, list or find again
// is skipped and reported to the front end at its place in the walk.
class CBdmvFolderWalker {
 public:
  using TargetHandler = std::function<void(const DiscLocation& disc)>;

  // What a pass reads of each BDMV folder before its turn: `inSearch`, while the search has the
  // folder open; `beforeTurn`, as its turn nears, with the folder opened again. A folder whose
  // search look is `enough` for its operation, at its path, is handed over with that look and
  // not opened again.
  struct Looks {
    std::optional<LookDepth> inSearch;
    std::optional<LookDepth> beforeTurn;
    std::function<bool(const FolderLook& look, const std::string& path)> enough;
  };

  // Directories listed at once while looking for discs; 1 lists one at a time.
  static constexpr unsigned kDefaultThreads = 16;

  // A start path that names a plain file, not a folder, is a walk over that image alone.
  CBdmvFolderWalker(const std::string& startFolder, std::string pattern, bool images = false);
  virtual ~CBdmvFolderWalker();
  CBdmvFolderWalker(const CBdmvFolderWalker&) = delete;
  CBdmvFolderWalker& operator=(const CBdmvFolderWalker&) = delete;

  // False when the start folder could not be entered; Walk then visits nothing.
  bool Entered() const { return m_start.IsOpen(); }

  // Finds the targets below the start folder, then hands each to the handler, until the front
  // end asks to stop. A BDMV folder is handed over even when it cannot be opened, so that its
  // operation can report it. A file is a target when it is a plain, visible file with an
  // image's name that holds a UDF volume; one that cannot be read is reported and skipped.
  // The discs are made ready ahead of their turns on threads - 1 threads, each BDMV folder
  // looked at as `looks` says; the handler has them one by one on the calling thread.
  void Walk(const TargetHandler& handler, PassFrontEnd* frontEnd = nullptr,
            unsigned threads = kDefaultThreads, const Looks& looks = {});

  // After Walk: whether the front end stopped it before it was done, and if so whether while it
  // was looking for targets; how many directories it visited, the start folder included; how
  // many targets it found and how many of them it handed over.
  bool Stopped() const { return m_stopped; }
  bool StoppedSearching() const { return m_stoppedSearching; }
  std::size_t DirectoriesVisited() const { return m_directoriesVisited; }
  std::size_t TargetsFound() const { return m_targetsFound; }
  std::size_t TargetsBegun() const { return m_targetsBegun; }
  // How many threads listed directories, and how many directories had to be found again after
  // their handles were given up to stay within the descriptor limit.
  unsigned ThreadsUsed() const { return m_threadsUsed; }
  std::size_t FoundAgain() const { return m_foundAgain; }
  // How many threads made discs ready ahead of their turns, and how many discs they made ready.
  unsigned DiscReaders() const { return m_discReaders; }
  std::size_t DiscsReadAhead() const { return m_discsReadAhead; }
  // How many discs were handed over with the look the search took, not opened again.
  std::size_t DiscsSettledInSearch() const { return m_discsSettledInSearch; }

 private:
  void EnterImage(const std::string& startPath);
  PreparedDisc Prepare(Finding& disc, std::optional<LookDepth> lookAhead) const;
  // Hands an image to the handler, begun; false when a stop gave it up before anything was
  // written, and it counts as never begun.
  bool HandImage(const TargetHandler& handler, const DiscLocation& image);
  static std::size_t DiscsAhead(unsigned readers);
  std::string ShownPath(const std::string& relative) const;

  std::string m_strPattern;
  bool m_images = false;
  platform::Directory m_start;
  std::string m_path;        // the start folder's full path, as it is shown
  std::string m_startImage;  // the image's name in the start folder, when the start is one
  bool m_stopped = false;
  bool m_stoppedSearching = false;
  std::size_t m_directoriesVisited = 0;
  std::size_t m_targetsFound = 0;
  std::size_t m_targetsBegun = 0;
  unsigned m_threadsUsed = 0;
  std::size_t m_foundAgain = 0;
  unsigned m_discReaders = 0;
  std::size_t m_discsReadAhead = 0;
  std::size_t m_discsSettledInSearch = 0;
};
