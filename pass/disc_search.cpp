#include "pass/disc_search.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "disc_image/disc_image.h"
#include "pass/walk_error.h"
#include "platform/descriptors.h"
#include "platform/thread_start.h"

namespace {

// Descriptors left for the front end and the program itself while the search runs.
constexpr std::size_t kReservedDescriptors = 4;
// What one thread may hold at once besides the held parents: the directory it lists, the copy
// of its parent it opens it from, a directory on the way to a parent found again, an image.
constexpr std::size_t kDescriptorsPerThread = 4;
// What a thread that looks at BDMV folders may hold: the folder, BACKUP, the index file and its
// backup, and the folder waiting for it.
constexpr std::size_t kDescriptorsPerLooker = 5;
// Parents held for their waiting subdirectories when the descriptor limit allows: without them
// a walk that goes deep finds its parents again and again.
constexpr std::size_t kMinHeld = 4;
constexpr std::size_t kMaxHeld = 256;
// How often the calling thread, waiting for the others, tells the front end how far they are.
constexpr auto kProgressWait = std::chrono::milliseconds(20);

}  // namespace

// A directory listed, kept while subdirectories of it wait to be visited.
struct DiscSearch::Node {
  NodePtr parent;  // none for the start folder
  std::string name;
  std::uint32_t slot = 0;  // its place among its parent's targets and subdirectories
  std::optional<std::uint32_t> targetSlot;  // its place among its parent's targets, if one
  std::uint32_t depth = 0;
  // The rest is guarded by the state's mutex.
  DirectoryPtr dir;  // held while subdirectories wait, within the descriptors
  std::size_t heldAt = 0;
  std::optional<platform::FileIdentity> identity;  // known wherever dir is not held
  std::size_t waiting = 0;                         // subdirectories not yet taken
  bool evicting = false;                           // its identity is being taken
  bool lost = false;                               // found again as another, or not at all

  // A chain of ten thousand directories would otherwise be freed by as many nested calls: a
  // node freed while another is being freed on the same thread leaves its parent to that one.
  ~Node() {
    thread_local std::vector<NodePtr>* freeing = nullptr;
    if (freeing) {
      freeing->push_back(std::move(parent));
      return;
    }
    std::vector<NodePtr> parents{std::move(parent)};
    freeing = &parents;
    while (!parents.empty()) {
      NodePtr up = std::move(parents.back());
      parents.pop_back();
    }
    freeing = nullptr;
  }

  WalkKey Key(std::optional<std::uint32_t> below = std::nullopt) const {
    WalkKey key;
    if (below) key.push_back(*below);
    for (const Node* node = this; node->parent; node = node->parent.get()) {
      key.push_back(node->slot);
    }
    std::reverse(key.begin(), key.end());
    return key;
  }

  std::string Relative(const std::string& below = {}) const {
    std::vector<const std::string*> names;
    if (!below.empty()) names.push_back(&below);
    for (const Node* node = this; node->parent; node = node->parent.get()) {
      names.push_back(&node->name);
    }
    std::string relative;
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
      if (!relative.empty()) relative += '/';
      relative += **name;
    }
    return relative;
  }
};

// A subdirectory taken from the stack, with its parent's handle as it was when taken.
struct DiscSearch::Taken {
  NodePtr parent;
  std::string name;
  std::uint32_t slot = 0;
  std::optional<std::uint32_t> targetSlot;
  DirectoryPtr from;
  bool last = false;  // the parent's last waiting subdirectory
};

struct DiscSearch::State {
  struct Waiting {
    NodePtr parent;
    std::string name;
    std::uint32_t slot;
    std::optional<std::uint32_t> targetSlot;
  };

  std::mutex mutex;
  std::condition_variable ready;       // a subdirectory to take, or the search over
  std::condition_variable identified;  // an evicted directory's identity is known
  std::vector<Waiting> stack;
  std::size_t unfinished = 0;  // subdirectories waiting or being visited
  bool stopping = false;
  bool stopped = false;
  std::vector<NodePtr> held;  // nodes holding their directory, the start folder aside
  std::size_t maxHeld = 0;
  std::vector<Finding> findings;
  std::vector<Finding> looks;  // a look each, under its BDMV folder's key
  // BDMV folders listed and waiting to be looked at, at most lookRoom of them, and whether the
  // search that adds them is over.
  struct WaitingLook {
    WalkKey key;
    DirectoryPtr dir;
    std::vector<platform::DirEntry> entries;
  };
  std::vector<WaitingLook> waitingLooks;
  std::size_t lookRoom = 0;
  bool searchOver = false;
  std::condition_variable lookReady;
  PassFrontEnd* frontEnd = nullptr;
  unsigned threads = 1;
  std::atomic<std::size_t> directories{0};
  std::atomic<std::size_t> found{0};
  std::atomic<std::size_t> foundAgain{0};
  NodePtr root;
};

DiscSearch::DiscSearch(const platform::Directory& start, std::string pattern, bool images,
                       std::optional<LookDepth> look)
    : m_pattern(std::move(pattern)),
      m_images(images),
      m_look(look),
      m_state(std::make_unique<State>()) {
  m_state->root = std::make_shared<Node>();
  // The walker owns the start folder and outlives the search.
  m_state->root->dir = DirectoryPtr(&start, [](const platform::Directory*) {});
}

DiscSearch::~DiscSearch() = default;

bool DiscSearch::Stopped() const {
  return m_state->stopped;
}

std::size_t DiscSearch::DirectoriesVisited() const {
  return m_state->directories;
}

unsigned DiscSearch::ThreadsUsed() const {
  std::lock_guard lock(m_state->mutex);
  return m_state->threads;
}

std::size_t DiscSearch::FoundAgain() const {
  return m_state->foundAgain;
}

std::vector<Finding> DiscSearch::Run(unsigned threads, PassFrontEnd* frontEnd) {
  State& state = *m_state;
  state.frontEnd = frontEnd;
  // Each thread needs a few descriptors; the parents held get what is left.
  const std::size_t free = platform::FreeDescriptors();
  const std::size_t budget = free > kReservedDescriptors ? free - kReservedDescriptors : 0;
  // Each listing thread has a looking thread beside it when folders are looked at.
  const std::size_t perThread = kDescriptorsPerThread + (m_look ? kDescriptorsPerLooker : 0);
  const std::size_t fitting = budget > kMinHeld ? (budget - kMinHeld) / perThread : std::size_t{0};
  threads = static_cast<unsigned>(std::clamp<std::size_t>(fitting, 1, std::max(threads, 1u)));
  const std::size_t forThreads = threads * perThread;
  state.maxHeld = std::min(kMaxHeld, budget > forThreads ? budget - forThreads : 0);

  // A folder's reads wait on other threads than the listings, so that a far file system has as
  // many listings in flight as a search without reads would.
  std::vector<std::thread> lookers = StartThreads(m_look ? threads : 0, &DiscSearch::Look);
  {
    std::lock_guard lock(state.mutex);
    state.lookRoom = lookers.size();
  }
  ListDirectory(state.root, state.root->dir);
  const bool going = TellProgress();
  if (going) {
    std::vector<std::thread> workers = StartThreads(threads - 1, &DiscSearch::Work, false);
    {
      std::lock_guard lock(state.mutex);
      state.threads = static_cast<unsigned>(workers.size() + 1);
    }
    Work(true);
    for (std::thread& worker : workers) worker.join();
  }
  {
    std::lock_guard lock(state.mutex);
    state.searchOver = true;
  }
  state.lookReady.notify_all();
  Look();
  for (std::thread& looker : lookers) looker.join();
  if (!going) return {};
  // The last word on the search: every directory and disc counted.
  if (frontEnd && !state.stopped) frontEnd->Searching(state.directories, state.found);
  // Whatever is still held or waiting, after a stop or a directory found again too late, closes
  // now: the discs need the descriptors.
  state.stack.clear();
  state.held.clear();
  state.waitingLooks.clear();

  std::vector<Finding> findings = std::move(state.findings);
  const auto byKey = [](const Finding& a, const Finding& b) { return a.key < b.key; };
  std::sort(findings.begin(), findings.end(), byKey);
  std::sort(state.looks.begin(), state.looks.end(), byKey);
  auto look = state.looks.begin();
  for (Finding& finding : findings) {
    while (look != state.looks.end() && look->key < finding.key) ++look;
    if (look != state.looks.end() && look->key == finding.key &&
        finding.kind == Finding::Kind::kBdmvFolder) {
      finding.look = std::move(look->look);
    }
  }
  state.looks.clear();
  return findings;
}

// Tells the front end how far the search is, and stops it if asked to.
bool DiscSearch::TellProgress() {
  State& state = *m_state;
  if (!state.frontEnd) return true;
  state.frontEnd->Searching(state.directories, state.found);
  if (!state.frontEnd->CancelRequested()) return true;
  std::lock_guard lock(state.mutex);
  state.stopping = true;
  // A stop asked for once nothing is left changes nothing: the search is whole.
  state.stopped = state.unfinished != 0;
  state.ready.notify_all();
  state.lookReady.notify_all();
  return false;
}

void DiscSearch::Work(bool caller) {
  State& state = *m_state;
  for (;;) {
    std::optional<Taken> taken;
    {
      std::unique_lock lock(state.mutex);
      const auto workOrEnd = [&] {
        return state.stopping || !state.stack.empty() || state.unfinished == 0;
      };
      if (!caller) {
        state.ready.wait(lock, workOrEnd);
      } else {
        state.ready.wait_for(lock, kProgressWait, workOrEnd);
      }
      if (state.stopping || state.unfinished == 0) return;
      if (!state.stack.empty()) {
        State::Waiting waiting = std::move(state.stack.back());
        state.stack.pop_back();
        Node& parent = *waiting.parent;
        taken = Taken{std::move(waiting.parent),
                      std::move(waiting.name),
                      waiting.slot,
                      waiting.targetSlot,
                      parent.dir,
                      --parent.waiting == 0};
      }
    }
    if (taken) Visit(std::move(*taken));
    if (caller && !TellProgress()) return;
  }
}

// Opens a subdirectory taken from the stack and lists it.
void DiscSearch::Visit(Taken taken) {
  State& state = *m_state;
  DirectoryPtr from = taken.from ? taken.from : FindAgain(taken.parent);
  platform::Directory child;
  if (from) child = OpenChild(*from, taken.name);
  if (taken.last) Release(taken.parent, from);
  from.reset();
  if (child.IsOpen()) {
    auto node = std::make_shared<Node>();
    node->parent = taken.parent;
    node->name = std::move(taken.name);
    node->slot = taken.slot;
    node->targetSlot = taken.targetSlot;
    node->depth = taken.parent->depth + 1;
    ListDirectory(node, std::make_shared<const platform::Directory>(std::move(child)));
  } else if (child.OpenError()) {
    Record({Finding::Kind::kUnreadable, taken.parent->Key(taken.slot),
            taken.parent->Relative(taken.name), child.OpenError()});
  }
  std::lock_guard lock(state.mutex);
  if (--state.unfinished == 0) state.ready.notify_all();
}

void DiscSearch::ListDirectory(const NodePtr& node, DirectoryPtr dir) {
  ++m_state->directories;
  // Images are files: only a search that takes them lists more than the subdirectories.
  const bool look = m_look && node->targetSlot;
  std::vector<platform::DirEntry> entries;
  if (std::optional<FileError> error = dir->List(entries, !m_images && !look)) {
    // A directory that cannot be listed contributes nothing.
    Record({Finding::Kind::kUnreadable, node->Key(), node->Relative(), std::move(error)});
    return;
  }
  if (look) LookAt(*node, dir, entries);
  const std::uint32_t targets = AddTargets(node, *dir, entries);
  QueueSubdirectories(node, std::move(dir), entries, targets);
}

// Hidden and system entries are never targets, as on the disks the walk is made for.
bool DiscSearch::IsTarget(const platform::DirEntry& entry) const {
  if (entry.hidden || entry.system) return false;
  const bool folder = entry.kind == platform::EntryKind::kDirectory;
  const bool file = entry.kind == platform::EntryKind::kFile;
  return (folder && platform::SameName(entry.name, m_pattern)) ||
         (file && m_images && disc_image::IsImageName(entry.name));
}

// Only a file that holds a UDF volume is a disc: a raw image or another container is no target.
// One that cannot be read is reported, as a directory is.
std::uint32_t DiscSearch::AddTargets(const NodePtr& node, const platform::Directory& dir,
                                     const std::vector<platform::DirEntry>& entries) {
  std::uint32_t slot = 0;
  for (const platform::DirEntry& entry : entries) {
    if (!IsTarget(entry)) continue;
    const WalkKey key = node->Key(slot++);
    if (entry.kind == platform::EntryKind::kDirectory) {
      Record({Finding::Kind::kBdmvFolder, key, node->Relative(entry.name), std::nullopt});
      continue;
    }
    try {
      if (disc_image::IsUdfImage(dir, entry.name)) {
        Record({Finding::Kind::kImage, key, node->Relative(entry.name), std::nullopt});
      }
    } catch (const FileError& error) {
      Record({Finding::Kind::kUnreadable, key, node->Relative(entry.name), error, nullptr, true});
    }
  }
  return slot;
}

// Queues the visible subdirectories, each keyed after the directory's targets, and holds the
// directory for them: the most recently listed are held, as the stack gives their subdirectories
// out first.
void DiscSearch::QueueSubdirectories(const NodePtr& node, DirectoryPtr dir,
                                     std::vector<platform::DirEntry>& entries,
                                     std::uint32_t firstSlot) {
  State& state = *m_state;
  const auto queued = [](const platform::DirEntry& entry) {
    return entry.kind == platform::EntryKind::kDirectory && !entry.hidden;
  };
  const auto count =
      static_cast<std::size_t>(std::count_if(entries.begin(), entries.end(), queued));
  if (count == 0) return;
  if (node->parent && !Hold(node, std::move(dir))) return;
  std::size_t wake = 0;
  {
    std::lock_guard lock(state.mutex);
    node->waiting = count;
    state.unfinished += count;
    std::uint32_t slot = firstSlot;
    std::uint32_t targetSlot = 0;
    for (platform::DirEntry& entry : entries) {
      std::optional<std::uint32_t> target;
      if (IsTarget(entry)) target = targetSlot++;
      if (queued(entry)) state.stack.push_back({node, std::move(entry.name), slot++, target});
    }
    wake = std::min<std::size_t>(count, state.threads);
  }
  for (std::size_t i = 0; i < wake; ++i) state.ready.notify_one();
}

// Keeps the node's directory open for its subdirectories, giving up the one held highest above
// it where the descriptors are all taken; or, where it cannot be kept, takes its identity, so
// that it can be found again. False when even that fails: it is then reported and left.
bool DiscSearch::Hold(const NodePtr& node, DirectoryPtr dir) {
  if (HoldIfRoom(node, dir) || (EvictOne(node.get()) && HoldIfRoom(node, dir))) return true;
  std::optional<FileError> error;
  const platform::FileIdentity identity = dir->Identity(error);
  if (error) {
    Lose(node, std::move(*error));
    return false;
  }
  std::lock_guard lock(m_state->mutex);
  node->identity = identity;
  return true;
}

bool DiscSearch::HoldIfRoom(const NodePtr& node, DirectoryPtr& dir) {
  State& state = *m_state;
  std::lock_guard lock(state.mutex);
  if (state.held.size() >= state.maxHeld) return false;
  node->heldAt = state.held.size();
  state.held.push_back(node);
  node->dir = std::move(dir);
  return true;
}

// Takes a node out of the held ones; its directory closes once no thread uses it. Called with
// the mutex held.
void DiscSearch::Unhold(Node& node) {
  State& state = *m_state;
  state.held[node.heldAt] = std::move(state.held.back());
  state.held[node.heldAt]->heldAt = node.heldAt;
  state.held.pop_back();
  node.dir.reset();
}

// Gives up the directory held highest in the tree, if it is above `newcomer` (any, without
// one), keeping its identity to check it when it is found again.
bool DiscSearch::EvictOne(const Node* newcomer) {
  State& state = *m_state;
  NodePtr victim;
  DirectoryPtr dir;
  {
    std::lock_guard lock(state.mutex);
    for (const NodePtr& node : state.held) {
      if (!victim || node->depth < victim->depth) victim = node;
    }
    if (!victim || (newcomer && victim->depth >= newcomer->depth)) return false;
    dir = victim->dir;
    victim->evicting = true;
    Unhold(*victim);
  }
  std::optional<FileError> error;
  const platform::FileIdentity identity = dir->Identity(error);
  {
    std::lock_guard lock(state.mutex);
    victim->evicting = false;
    if (!error) victim->identity = identity;
  }
  state.identified.notify_all();
  if (error) Lose(victim, std::move(*error));
  return true;
}

// The last waiting subdirectory of `node` was taken: its directory is no longer held. Where its
// own parent was given up with subdirectories still waiting, ".." finds it again at the cost of
// one open, where the way down from a held directory costs one a level.
void DiscSearch::Release(const NodePtr& node, const DirectoryPtr& dir) {
  if (!node->parent) return;
  State& state = *m_state;
  NodePtr up;
  platform::FileIdentity identity;
  {
    std::lock_guard lock(state.mutex);
    if (node->dir) Unhold(*node);
    const NodePtr& parent = node->parent;
    if (!dir || !parent->parent || parent->dir || parent->evicting || parent->lost ||
        parent->waiting == 0 || !parent->identity) {
      return;
    }
    up = parent;
    identity = *parent->identity;
  }
  platform::Directory found = dir->OpenSubdirectory("..");
  std::optional<FileError> error;
  if (!found.IsOpen() || found.Identity(error) != identity || error) return;
  ++state.foundAgain;
  auto shared = std::make_shared<const platform::Directory>(std::move(found));
  HoldAgain(up, shared);
}

// Holds a node found again, if its subdirectories still wait and a descriptor is free or can be
// freed.
void DiscSearch::HoldAgain(const NodePtr& node, DirectoryPtr dir) {
  const auto stillWaiting = [&] {
    std::lock_guard lock(m_state->mutex);
    return !node->dir && !node->lost && node->waiting > 0;
  };
  if (!stillWaiting() || HoldIfRoom(node, dir)) return;
  if (EvictOne(node.get()) && stillWaiting()) HoldIfRoom(node, dir);
}

// Opens a directory given up earlier: down from the nearest directory above it still held,
// checking each directory on the way whose identity was kept. None, once reported, when it
// cannot be found again or another is in its place; none, silently, below one already lost.
DiscSearch::DirectoryPtr DiscSearch::FindAgain(const NodePtr& node) {
  State& state = *m_state;
  struct Step {
    NodePtr node;
    std::optional<platform::FileIdentity> identity;
  };
  std::vector<Step> way;
  DirectoryPtr from;
  {
    std::unique_lock lock(state.mutex);
    for (;;) {
      way.clear();
      NodePtr at = node;
      for (; !at->dir && !at->evicting; at = at->parent) {
        if (at->lost) return nullptr;
        way.push_back({at, at->identity});
      }
      if (at->dir) {
        from = at->dir;
        break;
      }
      state.identified.wait(lock);
    }
  }
  if (way.empty()) return from;
  ++state.foundAgain;
  for (auto step = way.rbegin(); step != way.rend(); ++step) {
    platform::Directory next = OpenChild(*from, step->node->name);
    if (!next.IsOpen()) {
      Lose(step->node, *next.OpenError());
      return nullptr;
    }
    if (step->identity) {
      std::optional<FileError> error;
      const platform::FileIdentity identity = next.Identity(error);
      if (error || identity != *step->identity) {
        Lose(step->node, error ? std::move(*error)
                               : FileError(MovedDuringWalk(), platform::FileOperation::kOpen,
                                           step->node->name));
        return nullptr;
      }
    }
    from = std::make_shared<const platform::Directory>(std::move(next));
  }
  HoldAgain(node, from);
  return from;
}

// Opens a subdirectory; where the descriptors run out, a held directory gives its one back.
platform::Directory DiscSearch::OpenChild(const platform::Directory& parent,
                                          const std::string& name) {
  for (;;) {
    platform::Directory dir = parent.OpenSubdirectory(name);
    const bool outOfDescriptors =
        dir.OpenError() && dir.OpenError()->code() == std::errc::too_many_files_open;
    if (!outOfDescriptors || !EvictOne(nullptr)) return dir;
  }
}

// A directory that cannot be found again where it was listed: what was left below it is not
// walked, and it is reported once.
void DiscSearch::Lose(const NodePtr& node, FileError cause) {
  {
    std::lock_guard lock(m_state->mutex);
    if (node->lost) return;
    node->lost = true;
  }
  Record({Finding::Kind::kUnreadable, node->Key(), node->Relative(), std::move(cause)});
}

// Up to `count` threads more, as many as the system starts.
template <typename... Args>
std::vector<std::thread> DiscSearch::StartThreads(std::size_t count,
                                                  void (DiscSearch::*work)(Args...), Args... args) {
  std::vector<std::thread> threads;
  threads.reserve(count);
  try {
    while (threads.size() < count) threads.push_back(platform::StartThread(work, this, args...));
  } catch (const std::system_error&) {
    // Those that did start do the work.
  }
  return threads;
}

// A BDMV folder is looked at while the search has it open, by a looking thread or, when as many
// wait as there are of those, by the listing one: its turn then opens it only to change it.
void DiscSearch::LookAt(const Node& node, const DirectoryPtr& dir,
                        const std::vector<platform::DirEntry>& entries) {
  State& state = *m_state;
  WalkKey key = node.parent->Key(*node.targetSlot);
  {
    std::lock_guard lock(state.mutex);
    if (state.waitingLooks.size() < state.lookRoom) {
      state.waitingLooks.push_back({std::move(key), dir, entries});
      state.lookReady.notify_one();
      return;
    }
  }
  Keep(std::move(key), LookAtListedFolder(*dir, entries, *m_look));
}

// Looks at the folders that wait, until the search is over and none is left, or it stops.
void DiscSearch::Look() {
  State& state = *m_state;
  for (;;) {
    State::WaitingLook waiting;
    {
      std::unique_lock lock(state.mutex);
      state.lookReady.wait(
          lock, [&] { return state.stopping || state.searchOver || !state.waitingLooks.empty(); });
      if (state.stopping || state.waitingLooks.empty()) return;
      waiting = std::move(state.waitingLooks.back());
      state.waitingLooks.pop_back();
    }
    Keep(std::move(waiting.key), LookAtListedFolder(*waiting.dir, waiting.entries, *m_look));
  }
}

void DiscSearch::Keep(WalkKey key, FolderLook look) {
  Finding finding{Finding::Kind::kBdmvFolder,
                  std::move(key),
                  {},
                  {},
                  std::make_unique<FolderLook>(std::move(look))};
  LetGoOfFiles(*finding.look);
  std::lock_guard lock(m_state->mutex);
  m_state->looks.push_back(std::move(finding));
}

void DiscSearch::Record(Finding finding) {
  State& state = *m_state;
  if (finding.kind != Finding::Kind::kUnreadable) ++state.found;
  std::lock_guard lock(state.mutex);
  state.findings.push_back(std::move(finding));
}
