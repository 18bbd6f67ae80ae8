#!/usr/bin/env python3
"""Walk cost of `quorvel-cli modify` on an already-patched tree, against other walkers.

Warm (everything cached): against `find -type d -name BDMV` and a single-threaded raw
getdents64 walk (bench/raw_walk.cpp). Cold (page cache dropped before every run, as root):
against `fd -u -t d -g BDMV` and find, and for several `--threads`.
Reports wall time (median, and the median of per-round ratios), CPU time and the
peak RSS of quorvel-cli on the full tree and on a tree ten times smaller.
It reports; it does not judge. Exit status is non-zero only if a step failed to run.
"""

import argparse
import ctypes
import json
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

MANIFEST = ".walk_vs_find.json"
INCOMPLETE = ".walk_vs_find.incomplete"
LAYOUT_VERSION = 1
LAYOUT_RANDOM_STATE = 20240611

SHARES = 4
# Directories made for each disc: movie folder, BDMV, PLAYLIST, CLIPINF, STREAM.
DISC_DIRS = 5
# Share of generic directories at depths 2..8 (shares are depth 1): most content
# sits a few levels down, with a thinning tail of deeper nesting.
DEPTH_WEIGHTS = {2: 3, 3: 10, 4: 22, 5: 25, 6: 20, 7: 12, 8: 8}
GENERIC_FILES = ("folder.jpg", "info.nfo", "notes.txt")

# Targets: warm, quorvel/find and quorvel/raw walk; cold, quorvel/fd.
FIND_TARGET = 0.6
RAW_TARGET = 1.05
FD_TARGET = 0.5
RSS_TARGET_MIB = 16.0


def index_bdmv():
    data = bytearray(120)
    data[0:8] = b"INDX0200"
    data[44] = 0x60
    return bytes(data)


def movie_object_bdmv():
    data = bytearray(40)
    data[0:8] = b"MOBJ0200"
    return bytes(data)


class Failure(Exception):
    pass


# ---------------------------------------------------------------- tree


def plan_tree(dirs, bdmv):
    """Return (relative directory paths in creation order, BDMV relative paths)."""
    generic = dirs - SHARES - DISC_DIRS * bdmv
    if generic < len(DEPTH_WEIGHTS):
        raise Failure(f"--dirs {dirs} is too small for --bdmv {bdmv} "
                      f"(needs more than {SHARES + DISC_DIRS * bdmv + len(DEPTH_WEIGHTS)})")
    rng = random.Random(LAYOUT_RANDOM_STATE)
    by_depth = {1: [f"share{i}" for i in range(SHARES)]}
    order = list(by_depth[1])

    total_weight = sum(DEPTH_WEIGHTS.values())
    counts = {d: max(1, generic * w // total_weight) for d, w in DEPTH_WEIGHTS.items()}
    counts[5] += generic - sum(counts.values())
    serial = 0
    for depth in sorted(counts):
        level = []
        parents = by_depth[depth - 1]
        for _ in range(counts[depth]):
            parent = rng.choice(parents)
            serial += 1
            level.append(f"{parent}/{rng.choice(('Movies', 'Video', 'Archive', 'Title', 'Disc'))} {serial:06d}")
        by_depth[depth] = level
        order.extend(level)

    # Movie folders hang from depths 1..5 chosen evenly, so BDMV sits at depths 3..7
    # and its subfolders reach depth 8.
    bdmv_paths = []
    for i in range(bdmv):
        parent = rng.choice(by_depth[rng.randint(1, 5)])
        movie = f"{parent}/Movie {i:04d}"
        bdmv_dir = f"{movie}/BDMV"
        order.extend([movie, bdmv_dir] + [f"{bdmv_dir}/{sub}" for sub in ("PLAYLIST", "CLIPINF", "STREAM")])
        bdmv_paths.append(bdmv_dir)
    assert len(order) == dirs
    return order, bdmv_paths


def write_file(path, data):
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    try:
        os.write(fd, data)
    finally:
        os.close(fd)


def read_manifest(tree):
    try:
        with open(os.path.join(tree, MANIFEST)) as f:
            return json.load(f)
    except (OSError, ValueError):
        return None


def reset_discs(tree, bdmv_paths):
    """Put every disc back to unpatched so the patch step always has work to do."""
    for rel in bdmv_paths:
        folder = os.path.join(tree, rel)
        shutil.rmtree(os.path.join(folder, "BACKUP"), ignore_errors=True)
        write_file(os.path.join(folder, "index.bdmv"), index_bdmv())
        write_file(os.path.join(folder, "MovieObject.bdmv"), movie_object_bdmv())


def ensure_tree(tree, dirs, bdmv):
    wanted = {"layout": LAYOUT_VERSION, "random_state": LAYOUT_RANDOM_STATE, "dirs": dirs, "bdmv": bdmv}
    manifest = read_manifest(tree)
    if manifest and not os.path.exists(os.path.join(tree, INCOMPLETE)) and \
            {k: manifest.get(k) for k in wanted} == wanted:
        print(f"reusing tree {tree} ({dirs} dirs, {bdmv} BDMV)")
        reset_discs(tree, manifest["bdmv_paths"])
        return manifest["bdmv_paths"]

    if os.path.exists(tree):
        # Only ever delete a tree this script made.
        if manifest is None and not os.path.exists(os.path.join(tree, INCOMPLETE)) and os.listdir(tree):
            raise Failure(f"{tree} exists and was not made by this script; choose another --tree")
        print(f"removing stale tree {tree}")
        shutil.rmtree(tree)

    order, bdmv_paths = plan_tree(dirs, bdmv)
    print(f"generating tree {tree}: {dirs} dirs x {len(GENERIC_FILES)} files, {bdmv} BDMV ...", flush=True)
    started = time.perf_counter()
    os.makedirs(tree)
    write_file(os.path.join(tree, INCOMPLETE), b"")
    rng = random.Random(LAYOUT_RANDOM_STATE + 1)
    payload = b"x" * 512
    for rel in order:
        path = os.path.join(tree, rel)
        os.mkdir(path)
        for name in GENERIC_FILES:
            write_file(os.path.join(path, name), payload[:rng.randint(16, 512)])
    reset_discs(tree, bdmv_paths)

    depths = {}
    for rel in bdmv_paths:
        d = rel.count("/") + 1
        depths[d] = depths.get(d, 0) + 1
    with open(os.path.join(tree, MANIFEST), "w") as f:
        json.dump(dict(wanted, bdmv_paths=bdmv_paths, bdmv_depths=depths), f)
    os.unlink(os.path.join(tree, INCOMPLETE))
    print(f"  done in {time.perf_counter() - started:.1f} s; BDMV depths {dict(sorted(depths.items()))}")
    return bdmv_paths


# ---------------------------------------------------------------- running


def become_subreaper():
    # A child's ru_maxrss starts at the RSS of the process that exec'd it, so a child
    # spawned straight from this interpreter would report at least our own ~10+ MiB.
    # Children are therefore started by /bin/sh in the background; as subreaper we
    # inherit and reap them ourselves, and their floor is only the shell's small RSS.
    libc = ctypes.CDLL(None, use_errno=True)
    PR_SET_CHILD_SUBREAPER = 36
    if libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0:
        raise Failure(f"prctl(PR_SET_CHILD_SUBREAPER): {os.strerror(ctypes.get_errno())}")


class Run:
    def __init__(self, seconds, status, rusage, stderr):
        self.seconds = seconds
        self.status = status
        self.maxrss_kib = rusage.ru_maxrss
        self.cpu = rusage.ru_utime + rusage.ru_stime
        self.stderr = stderr


def run_measured(argv):
    """Run argv with stdout to /dev/null; wall time, exit status and the child's own rusage."""
    with tempfile.NamedTemporaryFile(prefix="walk_vs_find-", suffix=".err") as err:
        script = '"$@" </dev/null >/dev/null 2>"$0" &'
        started = time.perf_counter()
        shell = os.posix_spawn("/bin/sh", ["sh", "-c", script, err.name] + argv, os.environ)
        os.waitpid(shell, 0)
        pid, status, rusage = os.wait4(-1, 0)
        seconds = time.perf_counter() - started
        return Run(seconds, os.waitstatus_to_exitcode(status), rusage, err.read().decode(errors="replace"))


def checked(name, run):
    if run.status != 0:
        raise Failure(f"{name} exited with {run.status}: {run.stderr.strip()}")
    return run


def patch(cli, tree, bdmv_paths):
    result = subprocess.run([cli, "modify", "--quiet", tree], capture_output=True, text=True)
    expected = f"Modify {len(bdmv_paths)} file successful"
    if result.returncode != 0 or expected not in result.stdout.splitlines():
        raise Failure(f"patch run: exit {result.returncode}, expected line {expected!r}\n"
                      f"stdout: {result.stdout.strip()}\nstderr: {result.stderr.strip()}")
    untouched = [rel for rel in bdmv_paths
                 if not os.path.isfile(os.path.join(tree, rel, "BACKUP", "index.bdmv"))
                 or open(os.path.join(tree, rel, "index.bdmv"), "rb").read() == index_bdmv()]
    if untouched:
        raise Failure(f"patch run reported success but {len(untouched)} discs are unpatched, e.g. {untouched[0]}")
    print(f"patch run: {expected!r}, all {len(bdmv_paths)} discs have BACKUP/index.bdmv and a changed index.bdmv")


def drop_caches():
    """Empties the page cache, so that the next walk reads the disk. Needs root."""
    os.sync()
    with open("/proc/sys/vm/drop_caches", "w") as f:
        f.write("3\n")


def can_drop_caches():
    try:
        drop_caches()
        return True
    except OSError:
        return False


def bench(tools, rounds, cold):
    """Runs each tool once a round, in an order that turns every round. Cold runs start from an
    empty page cache; warm ones after one run of each tool to fill it."""
    if not cold:
        for name, argv in tools.items():
            checked(name, run_measured(argv))
    runs = {name: [] for name in tools}
    names = list(tools)
    for r in range(rounds):
        for name in names[r % len(names):] + names[:r % len(names)]:
            if cold:
                drop_caches()
            runs[name].append(checked(name, run_measured(tools[name])))
    return runs


def mib(kib):
    return kib / 1024.0


def summarise(label, runs, comparisons):
    """Prints medians and, for each (name, other, target), the median of per-round ratios."""
    med = lambda rs, attr: statistics.median(getattr(x, attr) for x in rs)
    rounds = len(next(iter(runs.values())))
    print(f"[{label}] {rounds} rounds")
    for name, rs in runs.items():
        print(f"  {name:18s} wall median {med(rs, 'seconds') * 1000:8.1f} ms  "
              f"(min {min(x.seconds for x in rs) * 1000:.1f}, max {max(x.seconds for x in rs) * 1000:.1f})  "
              f"cpu median {med(rs, 'cpu') * 1000:8.1f} ms  peak RSS {mib(max(x.maxrss_kib for x in rs)):.2f} MiB")
    for name, other, target in comparisons:
        ratios = [a.seconds / b.seconds for a, b in zip(runs[name], runs[other])]
        ratio = statistics.median(ratios)
        verdict = "" if target is None else f", target <= {target}: {'met' if ratio <= target else 'NOT met'}"
        print(f"  ratio {name}/{other}: median {ratio:.3f} (per round {min(ratios):.3f}..{max(ratios):.3f}){verdict}")
    rss = mib(max(x.maxrss_kib for x in runs["quorvel"]))
    print(f"  quorvel peak RSS {rss:.2f} MiB, target <= {RSS_TARGET_MIB:.0f} MiB: "
          f"{'met' if rss <= RSS_TARGET_MIB else 'NOT met'}")
    return rss


def measure(args, cli, tree, label):
    """Warm and, where allowed, cold runs on one tree; returns quorvel's peak RSS."""
    quorvel = [cli, "modify", "--quiet", tree]
    warm = {"quorvel": quorvel, "find": ["find", tree, "-type", "d", "-name", "BDMV"]}
    if args.raw:
        warm["raw walk"] = [os.path.abspath(args.raw), tree]
    comparisons = [("quorvel", "find", FIND_TARGET)]
    if args.raw:
        comparisons.append(("quorvel", "raw walk", RAW_TARGET))
    rss = summarise(f"{label}, warm", bench(warm, args.rounds, False), comparisons)
    if not args.cold:
        return rss
    cold = {"quorvel": quorvel, "find": warm["find"]}
    fd = shutil.which("fdfind") or shutil.which("fd")
    if fd:
        cold["fd"] = [fd, "-u", "-t", "d", "-g", "BDMV", ".", tree]
    comparisons = [("quorvel", "fd", FD_TARGET)] if fd else []
    comparisons.append(("quorvel", "find", None))
    for threads in args.threads:
        name = f"quorvel --threads {threads}"
        cold[name] = [cli, "--threads", str(threads), "modify", "--quiet", tree]
        if fd:
            comparisons.append((name, "fd", None))
    return max(rss, summarise(f"{label}, cold", bench(cold, args.cold_rounds, True), comparisons))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cli", default="/work/main/build/cli/quorvel-cli")
    parser.add_argument("--tree", help="tree directory (default: /tmp/quorvel-walk-DIRS-BDMV)")
    parser.add_argument("--dirs", type=int, default=100_000)
    parser.add_argument("--bdmv", type=int, default=300)
    parser.add_argument("--rounds", type=int, default=9)
    parser.add_argument("--raw", help="the raw getdents64 walker (build/bench/raw_walk)")
    parser.add_argument("--cold", action="store_true",
                        help="also run with the page cache dropped before every run (root)")
    parser.add_argument("--cold-rounds", type=int, default=3)
    parser.add_argument("--threads", type=lambda v: [int(t) for t in v.split(",")], default=[1, 4, 32],
                        help="--threads values also measured cold (default 1,4,32)")
    parser.add_argument("--small-tree", help="tree ten times smaller, for the RSS comparison "
                        "(default: TREE-small)")
    parser.add_argument("--skip-small", action="store_true", help="do not run the smaller tree")
    args = parser.parse_args()

    cli = os.path.abspath(args.cli)
    if not os.access(cli, os.X_OK):
        raise Failure(f"{cli} is not executable; build it or pass --cli")
    tree = os.path.abspath(args.tree or f"/tmp/quorvel-walk-{args.dirs}-{args.bdmv}")
    become_subreaper()

    floor = run_measured(["/bin/true"])
    print(f"cli {cli}\nRSS floor of the launcher (/bin/true): {mib(floor.maxrss_kib):.2f} MiB")

    if args.cold and not can_drop_caches():
        print("cannot drop the page cache (it takes root): measuring warm only")
        args.cold = False

    bdmv_paths = ensure_tree(tree, args.dirs, args.bdmv)
    patch(cli, tree, bdmv_paths)
    big_rss = measure(args, cli, tree, f"{args.dirs} dirs")

    if not args.skip_small:
        small_dirs, small_bdmv = args.dirs // 10, max(1, args.bdmv // 10)
        small = os.path.abspath(args.small_tree or f"{tree}-small")
        small_paths = ensure_tree(small, small_dirs, small_bdmv)
        patch(cli, small, small_paths)
        small_rss = measure(args, cli, small, f"{small_dirs} dirs")
        print(f"quorvel peak RSS: {small_rss:.2f} MiB at {small_dirs} dirs, "
              f"{big_rss:.2f} MiB at {args.dirs} dirs "
              f"(growth {big_rss - small_rss:+.2f} MiB for {args.dirs - small_dirs} more dirs)")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except Failure as e:
        print(f"walk_vs_find: {e}", file=sys.stderr)
        sys.exit(1)
