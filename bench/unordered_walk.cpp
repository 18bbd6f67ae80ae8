// The floor for a walk with THREADS requests in flight: every directory is listed once, in no
// order, by THREADS threads that share one stack of directories waiting to be listed. Each is
// opened relative to its parent's descriptor while that is held, otherwise by its path from the
// top; directories named BDMV (any case) are counted. Hidden directories are skipped and nothing
// is followed, as in raw_walk.
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr int kOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
// Parents held open at once for their waiting children; beyond it a child is opened by its path
// from the top, so that descriptors stay bounded on any tree. Lowered to fit the descriptor limit.
constexpr long kHeldParentsCap = 256;

// A listed directory whose children are waiting: its path from the top, and its descriptor
// while it is held (-1 otherwise). The last waiting child to be opened closes it.
struct Parent {
  std::string path;
  int fd = -1;
  ~Parent();
};

long g_held_parents_cap = kHeldParentsCap;
std::atomic<long> g_held_parents{0};
std::atomic<long> g_found{0};
// A directory left out would make the floor look faster than it is: they are counted and fail the
// run.
std::atomic<long> g_unopened{0};
int g_top_fd = -1;

Parent::~Parent() {
  if (fd < 0) return;
  close(fd);
  g_held_parents.fetch_sub(1);
}

struct Pending {
  std::shared_ptr<Parent> parent;
  std::string name;
};

std::mutex g_mutex;
std::condition_variable g_ready;
std::vector<Pending> g_waiting;
// Directories waiting or being listed; the walk is over when it drops to zero.
long g_unfinished = 0;

int OpenPending(const Pending& pending) {
  if (pending.parent->fd >= 0) return openat(pending.parent->fd, pending.name.c_str(), kOpenFlags);
  const std::string path = pending.parent->path + pending.name;
  return openat(g_top_fd, path.c_str(), kOpenFlags);
}

bool IsDirectory(int fd, const dirent64& entry) {
  if (entry.d_type != DT_UNKNOWN) return entry.d_type == DT_DIR;
  struct stat status;
  return fstatat(fd, entry.d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(status.st_mode);
}

// Lists the open directory fd and returns its subdirectories, counting those named BDMV.
std::vector<std::string> List(int fd) {
  std::vector<char> buffer(64 * 1024);
  std::vector<std::string> subdirectories;
  for (;;) {
    const ssize_t filled = getdents64(fd, buffer.data(), buffer.size());
    if (filled <= 0) break;
    for (ssize_t offset = 0; offset < filled;) {
      const auto* entry = reinterpret_cast<const dirent64*>(buffer.data() + offset);
      offset += entry->d_reclen;
      if (entry->d_name[0] == '.' || !IsDirectory(fd, *entry)) continue;
      if (strcasecmp(entry->d_name, "BDMV") == 0) g_found.fetch_add(1);
      subdirectories.emplace_back(entry->d_name);
    }
  }
  return subdirectories;
}

// Lists one directory and queues its subdirectories, keeping its descriptor for them while the
// cap allows.
void Visit(int fd, std::string path) {
  std::vector<std::string> subdirectories = List(fd);
  auto parent = std::make_shared<Parent>();
  parent->path = std::move(path);
  if (!subdirectories.empty() && g_held_parents.fetch_add(1) < g_held_parents_cap) {
    parent->fd = fd;
  } else {
    if (!subdirectories.empty()) g_held_parents.fetch_sub(1);
    close(fd);
  }
  std::lock_guard lock(g_mutex);
  g_unfinished += static_cast<long>(subdirectories.size());
  for (std::string& name : subdirectories) g_waiting.push_back({parent, std::move(name)});
  if (!subdirectories.empty()) g_ready.notify_all();
}

void Work() {
  for (;;) {
    Pending pending;
    {
      std::unique_lock lock(g_mutex);
      g_ready.wait(lock, [] { return !g_waiting.empty() || g_unfinished == 0; });
      if (g_waiting.empty()) return;
      pending = std::move(g_waiting.back());
      g_waiting.pop_back();
    }
    const int fd = OpenPending(pending);
    std::string path = pending.parent->path + pending.name + "/";
    pending.parent.reset();
    if (fd >= 0) {
      Visit(fd, std::move(path));
    } else {
      std::perror(path.c_str());
      g_unopened.fetch_add(1);
    }
    std::lock_guard lock(g_mutex);
    if (--g_unfinished == 0) g_ready.notify_all();
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int threads = argc == 3 ? std::atoi(argv[1]) : 0;
  if (threads < 1 || threads > 1024) {
    std::fprintf(stderr, "usage: unordered_walk THREADS(1..1024) FOLDER\n");
    return 64;
  }
  // Each thread holds one descriptor it lists, besides the top, its copy and the standard three.
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    g_held_parents_cap =
        std::clamp(static_cast<long>(limit.rlim_cur) - threads - 5, 0L, kHeldParentsCap);
  }
  g_top_fd = open(argv[2], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (g_top_fd < 0) {
    std::perror(argv[2]);
    return 1;
  }
  // The top is listed before the workers start; its descriptor stays open for the paths.
  Visit(dup(g_top_fd), "");
  std::vector<std::thread> workers;
  for (int i = 0; i < threads; ++i) workers.emplace_back(Work);
  for (std::thread& worker : workers) worker.join();
  std::printf("%ld\n", g_found.load());
  if (g_unopened.load() == 0) return 0;
  std::fprintf(stderr, "%ld directories could not be opened\n", g_unopened.load());
  return 1;
}
