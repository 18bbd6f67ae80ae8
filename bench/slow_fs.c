// A pass-through FUSE file system that answers every request only after a fixed delay: a share
// whose round trips cost what one asks, on a machine without one. Every request sleeps in its own
// worker thread, so that requests in flight overlap as they would on the wire, and attributes and
// names are not cached by default, so that every call a walk makes pays the delay.
//
//   slow_fs SOURCE MOUNTPOINT --latency-us N [-f] [-s] [-d] [-o OPTION,...]
//
// Defaults it adds ahead of the caller's options (a later -o overrides them):
// default_permissions (the kernel checks access against the files' own modes),
// entry_timeout=0, attr_timeout=0, negative_timeout=0 (every lookup and stat reaches this program)
// and max_threads=64 (libfuse's own default of 10 would cap the requests in flight).
#define FUSE_USE_VERSION 312
#define _GNU_SOURCE

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fuse.h>
#include <fuse_lowlevel.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

static int g_source = -1;
static long g_latency_ns;

#if FUSE_VERSION < FUSE_MAKE_VERSION(3, 17)
#include <linux/fuse.h>
#include <stdatomic.h>
#include <stddef.h>
#include <sys/uio.h>

// libfuse before 3.17 does not pass FUSE_PARALLEL_DIROPS on to the kernel, which then sends the
// lookups and listings of one directory one at a time: sixteen walkers opening the subfolders of
// one folder would queue behind each other, each waiting out the delay in turn. libfuse's own I/O
// hooks let the flag be added to the reply to the kernel's INIT, where the kernel offers it.
static _Atomic uint64_t g_init_unique;
static atomic_bool g_parallel_dirops_offered;

static ssize_t io_read(int fd, void* buffer, size_t size, void* userdata) {
  (void)userdata;
  const ssize_t count = read(fd, buffer, size);
  if (count >= (ssize_t)sizeof(struct fuse_in_header)) {
    const struct fuse_in_header* in = buffer;
    if (in->opcode == FUSE_INIT) atomic_store(&g_init_unique, in->unique);
  }
  return count;
}

static ssize_t io_writev(int fd, struct iovec* iov, int count, void* userdata) {
  (void)userdata;
  const uint64_t init = atomic_load(&g_init_unique);
  if (init != 0 && count >= 2 && iov[0].iov_len == sizeof(struct fuse_out_header) &&
      iov[1].iov_len >= offsetof(struct fuse_init_out, flags) + sizeof(uint32_t)) {
    const struct fuse_out_header* out = iov[0].iov_base;
    if (out->unique == init && out->error == 0 && atomic_load(&g_parallel_dirops_offered)) {
      ((struct fuse_init_out*)iov[1].iov_base)->flags |= FUSE_PARALLEL_DIROPS;
      atomic_store(&g_init_unique, 0);
    }
  }
  return writev(fd, iov, count);
}

static const struct fuse_custom_io kParallelDirops = {.read = io_read, .writev = io_writev};

static int allow_parallel_dirops(struct fuse_session* session) {
  return fuse_session_custom_io(session, &kParallelDirops, fuse_session_fd(session));
}

static void note_offered(const struct fuse_conn_info* conn) {
  atomic_store(&g_parallel_dirops_offered, (conn->capable & FUSE_CAP_PARALLEL_DIROPS) != 0);
}
#else
static int allow_parallel_dirops(struct fuse_session* session) {
  (void)session;
  return 0;
}

static void note_offered(const struct fuse_conn_info* conn) {
  (void)conn;
}
#endif

static const char kDefaults[] =
    "default_permissions,entry_timeout=0,attr_timeout=0,negative_timeout=0,max_threads=64";

// The delay of one round trip. An absolute deadline, so that a signal does not stretch it.
static void delay(void) {
  if (g_latency_ns == 0) return;
  struct timespec until;
  clock_gettime(CLOCK_MONOTONIC, &until);
  until.tv_nsec += g_latency_ns % 1000000000L;
  until.tv_sec += g_latency_ns / 1000000000L + until.tv_nsec / 1000000000L;
  until.tv_nsec %= 1000000000L;
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, NULL) == EINTR) {
  }
}

// libfuse hands absolute paths below the mount; they are looked up below SOURCE's descriptor.
static const char* rel(const char* path) {
  return path[1] != '\0' ? path + 1 : ".";
}

static int result(int status) {
  return status == 0 ? 0 : -errno;
}

// Running as root, what a caller creates is given to the caller, as a local file system would;
// the group stays the parent's where the parent passes its group on (set-group-id).
static int give_to_caller(const char* path, int fd) {
  const struct fuse_context* caller = fuse_get_context();
  if (geteuid() != 0 || (caller->uid == 0 && caller->gid == 0)) return 0;
  char parent[PATH_MAX];
  const char* r = rel(path);
  const char* slash = strrchr(r, '/');
  if (slash == NULL) {
    strcpy(parent, ".");
  } else {
    if ((size_t)(slash - r) >= sizeof parent) return -ENAMETOOLONG;
    memcpy(parent, r, (size_t)(slash - r));
    parent[slash - r] = '\0';
  }
  struct stat dir;
  if (fstatat(g_source, parent, &dir, AT_SYMLINK_NOFOLLOW) != 0) return -errno;
  const gid_t gid = (dir.st_mode & S_ISGID) != 0 ? (gid_t)-1 : caller->gid;
  return result(fd >= 0 ? fchown(fd, caller->uid, gid)
                        : fchownat(g_source, r, caller->uid, gid, AT_SYMLINK_NOFOLLOW));
}

// A created name that cannot be given to its caller is taken back, so no root-owned file is left.
static int created(const char* path, int fd, int remove_flags) {
  const int error = give_to_caller(path, fd);
  if (error != 0) unlinkat(g_source, rel(path), remove_flags);
  return error;
}

// fi is set where the kernel names an open file: a file that was unlinked while open has no path.
static int sfs_getattr(const char* path, struct stat* st, struct fuse_file_info* fi) {
  delay();
  return result(fi != NULL ? fstat((int)fi->fh, st)
                           : fstatat(g_source, rel(path), st, AT_SYMLINK_NOFOLLOW));
}

static int sfs_readlink(const char* path, char* buffer, size_t size) {
  delay();
  if (size == 0) return -EINVAL;
  const ssize_t length = readlinkat(g_source, rel(path), buffer, size - 1);
  if (length < 0) return -errno;
  buffer[length] = '\0';
  return 0;
}

static int sfs_mknod(const char* path, mode_t mode, dev_t device) {
  delay();
  if (S_ISREG(mode)) {
    const int fd =
        openat(g_source, rel(path), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) return -errno;
    const int error = created(path, fd, 0);
    close(fd);
    return error;
  }
  if (mknodat(g_source, rel(path), mode, device) != 0) return -errno;
  return created(path, -1, 0);
}

static int sfs_mkdir(const char* path, mode_t mode) {
  delay();
  if (mkdirat(g_source, rel(path), mode) != 0) return -errno;
  return created(path, -1, AT_REMOVEDIR);
}

static int sfs_unlink(const char* path) {
  delay();
  return result(unlinkat(g_source, rel(path), 0));
}

static int sfs_rmdir(const char* path) {
  delay();
  return result(unlinkat(g_source, rel(path), AT_REMOVEDIR));
}

static int sfs_symlink(const char* target, const char* path) {
  delay();
  if (symlinkat(target, g_source, rel(path)) != 0) return -errno;
  return created(path, -1, 0);
}

// flags are RENAME_NOREPLACE and RENAME_EXCHANGE, which renameat2 takes as they are.
static int sfs_rename(const char* from, const char* to, unsigned int flags) {
  delay();
  return result(renameat2(g_source, rel(from), g_source, rel(to), flags));
}

static int sfs_link(const char* from, const char* to) {
  delay();
  return result(linkat(g_source, rel(from), g_source, rel(to), 0));
}

static int sfs_chmod(const char* path, mode_t mode, struct fuse_file_info* fi) {
  delay();
  return result(fi != NULL ? fchmod((int)fi->fh, mode)
                           : fchmodat(g_source, rel(path), mode, AT_SYMLINK_NOFOLLOW));
}

static int sfs_chown(const char* path, uid_t uid, gid_t gid, struct fuse_file_info* fi) {
  delay();
  return result(fi != NULL ? fchown((int)fi->fh, uid, gid)
                           : fchownat(g_source, rel(path), uid, gid, AT_SYMLINK_NOFOLLOW));
}

static int sfs_truncate(const char* path, off_t size, struct fuse_file_info* fi) {
  delay();
  if (fi != NULL) return result(ftruncate((int)fi->fh, size));
  const int fd = openat(g_source, rel(path), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -errno;
  const int error = result(ftruncate(fd, size));
  close(fd);
  return error;
}

static int sfs_utimens(const char* path, const struct timespec times[2],
                       struct fuse_file_info* fi) {
  delay();
  return result(fi != NULL ? futimens((int)fi->fh, times)
                           : utimensat(g_source, rel(path), times, AT_SYMLINK_NOFOLLOW));
}

// The kernel resolves symbolic links itself and never opens one here, so O_NOFOLLOW only keeps a
// link swapped in on SOURCE from leading out of it.
static int sfs_open(const char* path, struct fuse_file_info* fi) {
  delay();
  const int fd = openat(g_source, rel(path), fi->flags | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -errno;
  fi->fh = (uint64_t)fd;
  return 0;
}

static int sfs_create(const char* path, mode_t mode, struct fuse_file_info* fi) {
  delay();
  const int fd = openat(g_source, rel(path), fi->flags | O_CREAT | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd < 0) return -errno;
  const int error = created(path, fd, 0);
  if (error != 0) {
    close(fd);
    return error;
  }
  fi->fh = (uint64_t)fd;
  return 0;
}

// Without direct_io the kernel takes a short read for the end of the file: read all there is.
static int sfs_read(const char* path, char* buffer, size_t size, off_t offset,
                    struct fuse_file_info* fi) {
  (void)path;
  delay();
  size_t done = 0;
  while (done < size) {
    const ssize_t count = pread((int)fi->fh, buffer + done, size - done, offset + (off_t)done);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return done > 0 ? (int)done : -errno;
    if (count == 0) break;
    done += (size_t)count;
  }
  return (int)done;
}

static int sfs_write(const char* path, const char* buffer, size_t size, off_t offset,
                     struct fuse_file_info* fi) {
  (void)path;
  delay();
  size_t done = 0;
  while (done < size) {
    const ssize_t count = pwrite((int)fi->fh, buffer + done, size - done, offset + (off_t)done);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return done > 0 ? (int)done : -errno;
    done += (size_t)count;
  }
  return (int)done;
}

static int sfs_statfs(const char* path, struct statvfs* st) {
  (void)path;
  delay();
  return result(fstatvfs(g_source, st));
}

// Every close() of the caller waits for this. Closing a duplicate reports what closing the file
// would (a late write error on some file systems) and leaves the handle open for release.
static int sfs_flush(const char* path, struct fuse_file_info* fi) {
  (void)path;
  delay();
  const int fd = dup((int)fi->fh);
  if (fd < 0) return -errno;
  return result(close(fd));
}

static int sfs_release(const char* path, struct fuse_file_info* fi) {
  (void)path;
  delay();
  close((int)fi->fh);
  return 0;
}

static int sfs_fsync(const char* path, int datasync, struct fuse_file_info* fi) {
  (void)path;
  delay();
  return result(datasync ? fdatasync((int)fi->fh) : fsync((int)fi->fh));
}

// An open directory, listed in pieces: the kernel asks for the next piece by the offset that the
// last entry it took carried, and an entry that did not fit in a piece starts the next.
struct directory {
  DIR* stream;
  off_t offset;
  struct dirent* entry;
};

static struct directory* directory_of(struct fuse_file_info* fi) {
  return (struct directory*)(uintptr_t)fi->fh;
}

static int sfs_opendir(const char* path, struct fuse_file_info* fi) {
  delay();
  struct directory* dir = calloc(1, sizeof *dir);
  if (dir == NULL) return -ENOMEM;
  const int fd = openat(g_source, rel(path), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0 || (dir->stream = fdopendir(fd)) == NULL) {
    const int error = errno;
    if (fd >= 0) close(fd);
    free(dir);
    return -error;
  }
  fi->fh = (uint64_t)(uintptr_t)dir;
  return 0;
}

// Entries go out with their real offsets, so libfuse calls this for every piece the kernel asks
// for (it would otherwise list the whole directory at the first and answer the rest itself,
// without the delay). Each entry carries its type, from d_type, or from a stat where the file
// system under SOURCE does not fill d_type.
static int sfs_readdir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t offset,
                       struct fuse_file_info* fi, enum fuse_readdir_flags flags) {
  (void)path;
  (void)flags;
  delay();
  struct directory* dir = directory_of(fi);
  if (offset != dir->offset) {
    seekdir(dir->stream, offset);
    dir->entry = NULL;
    dir->offset = offset;
  }
  for (;;) {
    if (dir->entry == NULL) {
      errno = 0;
      dir->entry = readdir(dir->stream);
      if (dir->entry == NULL) return errno != 0 ? -errno : 0;
    }
    struct stat st;
    memset(&st, 0, sizeof st);
    st.st_ino = dir->entry->d_ino;
    st.st_mode = DTTOIF(dir->entry->d_type);
    if (dir->entry->d_type == DT_UNKNOWN) {
      fstatat(dirfd(dir->stream), dir->entry->d_name, &st, AT_SYMLINK_NOFOLLOW);
    }
    const off_t next = telldir(dir->stream);
    if (fill(buffer, dir->entry->d_name, &st, next, 0) != 0) return 0;
    dir->entry = NULL;
    dir->offset = next;
  }
}

static int sfs_releasedir(const char* path, struct fuse_file_info* fi) {
  (void)path;
  delay();
  struct directory* dir = directory_of(fi);
  closedir(dir->stream);
  free(dir);
  return 0;
}

static int sfs_fsyncdir(const char* path, int datasync, struct fuse_file_info* fi) {
  (void)path;
  delay();
  const int fd = dirfd(directory_of(fi)->stream);
  return result(datasync ? fdatasync(fd) : fsync(fd));
}

// flock locks belong to the open file, one descriptor here for each open there, so they pass
// through as they are. POSIX (fcntl) locks are left to the kernel: the kernel keeps them for the
// mount without asking, as this program would hold them all as one owner.
static int sfs_flock(const char* path, struct fuse_file_info* fi, int operation) {
  (void)path;
  delay();
  return result(flock((int)fi->fh, operation));
}

static int sfs_fallocate(const char* path, int mode, off_t offset, off_t length,
                         struct fuse_file_info* fi) {
  (void)path;
  delay();
  return result(fallocate((int)fi->fh, mode, offset, length));
}

static void* sfs_init(struct fuse_conn_info* conn, struct fuse_config* cfg) {
  // st_ino as on SOURCE. A file unlinked while open stays, as libfuse does it, renamed to
  // .fuse_hiddenNNN until its last close: libfuse names files by path, and a stat of the open file
  // (which comes without its handle) needs one.
  cfg->use_ino = 1;
  cfg->nullpath_ok = 1;
  // Plain READDIR, one request per piece of a listing: with names not cached, READDIRPLUS would
  // send attributes the kernel drops at once.
  conn->want &= ~(FUSE_CAP_READDIRPLUS | FUSE_CAP_READDIRPLUS_AUTO);
  // Left to the kernel: it clears set-user-id bits when anyone but root writes, which this
  // program, writing as root, would not do.
  conn->want &= ~FUSE_CAP_HANDLE_KILLPRIV;
  note_offered(conn);
  // Read-ahead and other background requests, in flight at once (the kernel's default is 12).
  conn->max_background = 64;
  return NULL;
}

static const struct fuse_operations kOperations = {
    .getattr = sfs_getattr,
    .readlink = sfs_readlink,
    .mknod = sfs_mknod,
    .mkdir = sfs_mkdir,
    .unlink = sfs_unlink,
    .rmdir = sfs_rmdir,
    .symlink = sfs_symlink,
    .rename = sfs_rename,
    .link = sfs_link,
    .chmod = sfs_chmod,
    .chown = sfs_chown,
    .truncate = sfs_truncate,
    .open = sfs_open,
    .read = sfs_read,
    .write = sfs_write,
    .statfs = sfs_statfs,
    .flush = sfs_flush,
    .release = sfs_release,
    .fsync = sfs_fsync,
    .opendir = sfs_opendir,
    .readdir = sfs_readdir,
    .releasedir = sfs_releasedir,
    .fsyncdir = sfs_fsyncdir,
    .init = sfs_init,
    .create = sfs_create,
    .utimens = sfs_utimens,
    .flock = sfs_flock,
    .fallocate = sfs_fallocate,
};

static void usage(FILE* out, const char* program) {
  fprintf(out,
          "usage: %s SOURCE MOUNTPOINT --latency-us N [-f] [-s] [-d] [-o OPTION,...]\n"
          "Passes SOURCE through to MOUNTPOINT, every request answered N microseconds late.\n"
          "Options added ahead of yours (a later -o overrides them):\n  -o %s\n",
          program, kDefaults);
}

static int parse_latency(const char* text) {
  char* end;
  errno = 0;
  const long us = strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || us < 0 || us > 10000000L) return -1;
  g_latency_ns = us * 1000L;
  return 0;
}

int main(int argc, char* argv[]) {
  const char* paths[2] = {NULL, NULL};
  int path_count = 0;
  int latency_given = 0;
  struct fuse_args args = FUSE_ARGS_INIT(0, NULL);
  fuse_opt_add_arg(&args, argv[0]);
  fuse_opt_add_arg(&args, "-o");
  fuse_opt_add_arg(&args, kDefaults);

  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (strcmp(arg, "-h") == 0 || strcmp(arg, "--help") == 0) {
      usage(stdout, argv[0]);
      printf("\nFUSE options:\n");
      fuse_cmdline_help();
      fuse_lib_help(&args);
      return 0;
    }
    if (strcmp(arg, "-V") == 0 || strcmp(arg, "--version") == 0) {
      printf("FUSE library version %s\n", fuse_pkgversion());
      return 0;
    }
    if (strcmp(arg, "--latency-us") == 0 || strncmp(arg, "--latency-us=", 13) == 0) {
      const char* value = arg[12] == '=' ? arg + 13 : (i + 1 < argc ? argv[++i] : "");
      if (parse_latency(value) != 0) {
        fprintf(stderr, "slow_fs: --latency-us takes microseconds from 0 to 10000000, not '%s'\n",
                value);
        return 2;
      }
      latency_given = 1;
    } else if (strcmp(arg, "-o") == 0 && i + 1 < argc) {
      fuse_opt_add_arg(&args, arg);
      fuse_opt_add_arg(&args, argv[++i]);
    } else if (arg[0] == '-') {
      fuse_opt_add_arg(&args, arg);
    } else if (path_count < 2) {
      paths[path_count++] = arg;
    } else {
      fprintf(stderr, "slow_fs: unexpected argument '%s'\n", arg);
      return 2;
    }
  }
  if (path_count != 2 || !latency_given) {
    usage(stderr, argv[0]);
    return 2;
  }

  // Opened before the mount, so that a mount over SOURCE itself still reaches the files below.
  g_source = open(paths[0], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (g_source < 0) {
    fprintf(stderr, "slow_fs: %s: %s\n", paths[0], strerror(errno));
    return 1;
  }
  char* fsname = NULL;
  fuse_opt_add_opt_escaped(&fsname, paths[0]);
  char* name_option = malloc(strlen(fsname) + sizeof "fsname=,subtype=slow_fs");
  if (name_option == NULL) return 1;
  sprintf(name_option, "fsname=%s,subtype=slow_fs", fsname);
  free(fsname);
  fuse_opt_add_arg(&args, "-o");
  fuse_opt_add_arg(&args, name_option);
  free(name_option);
  fuse_opt_add_arg(&args, paths[1]);

  struct fuse_cmdline_opts opts;
  if (fuse_parse_cmdline(&args, &opts) != 0) return 2;
  // Modes come from the kernel with the caller's umask applied already.
  umask(0);
  // A sleeping thread wakes up to 50 us late by default, as much as the shortest delay asked.
  // The worker threads take this slack from the thread that starts them.
  prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);

  int status = 1;
  struct fuse_session* session = NULL;
  struct fuse* fuse = fuse_new(&args, &kOperations, sizeof kOperations, NULL);
  if (fuse == NULL) goto out;
  if (fuse_mount(fuse, opts.mountpoint) != 0) goto destroy;
  session = fuse_get_session(fuse);
  if (allow_parallel_dirops(session) != 0) goto unmount;
  if (fuse_daemonize(opts.foreground) != 0) goto unmount;
  if (fuse_set_signal_handlers(session) != 0) goto unmount;
  if (opts.singlethread) {
    status = fuse_loop(fuse) != 0;
  } else {
    struct fuse_loop_config* loop = fuse_loop_cfg_create();
    if (loop == NULL) goto handlers;
    fuse_loop_cfg_set_clone_fd(loop, opts.clone_fd);
    // Left alone unless given: the default keeps idle threads, the setter refuses that value.
    if (opts.max_idle_threads != UINT_MAX)
      fuse_loop_cfg_set_idle_threads(loop, opts.max_idle_threads);
    fuse_loop_cfg_set_max_threads(loop, opts.max_threads);
    status = fuse_loop_mt(fuse, loop) != 0;
    fuse_loop_cfg_destroy(loop);
  }
handlers:
  fuse_remove_signal_handlers(session);
unmount:
  fuse_unmount(fuse);
destroy:
  fuse_destroy(fuse);
out:
  free(opts.mountpoint);
  fuse_opt_free_args(&args);
  close(g_source);
  return status;
}
