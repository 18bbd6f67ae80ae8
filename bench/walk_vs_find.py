#!/usr/bin/env python3
"""The passes a user runs with quorvel-cli, timed against the floor and other walkers.

Passes (`--passes`, default all), each with the default threads and with each `--threads` value:
`scan` and `modify` of the already-patched tree, the first Modify of unpatched discs and `restore`
of the patched tree. Before every run the discs are set up on the local path (unpatched for the
first Modify, patched for the rest and for the other walkers); after it, what the pass must have
done is checked there, so that a broken pass cannot look fast.

Warm (everything cached): against `find -type d -name BDMV`, a single-threaded raw getdents64
walk (bench/raw_walk.cpp) and the unordered many-threaded listing (bench/unordered_walk.cpp, the
floor). Cold (page cache dropped before every run, as root): against `fd -u -t d -g BDMV`, find
and the floor. Share (`--share`, as root): the same over sshfs through an sshd of its own on
loopback, mounted afresh for every run. Slow file system (`--fuse-latency`, as root): the passes
and the floor over bench/slow_fs, a pass-through FUSE file system that answers every request
after a set delay, for each delay given.
Reports wall time (median, every round's, and per-round ratios against the floor and
`--threads 1` with their median), CPU time and the peak RSS of quorvel-cli on the full tree and
on a tree ten times smaller. It reports; it does not judge. Exit status is non-zero only if a
step failed to run or a pass did not do its work.
"""

import argparse
import ctypes
import json
import os
import random
import shutil
import signal
import socket
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

# Targets: warm, quorvel/find and quorvel/raw walk; cold and share, quorvel/fd and
# quorvel/unordered floor.
FIND_TARGET = 0.6
RAW_TARGET = 1.05
COLD_FD_TARGET = 0.35
COLD_FLOOR_TARGET = 1.6
SHARE_FD_TARGET = 0.5
SHARE_FLOOR_TARGET = 1.3
SHARE_FLOOR_THREADS = 16
FUSE_FLOOR_THREADS = 16
RSS_TARGET_MIB = 16.0
# How long sshd and sshfs get to come up before the share mode gives up.
START_TIMEOUT = 30.0


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
    def __init__(self, seconds, status, rusage, stdout, stderr):
        self.seconds = seconds
        self.status = status
        self.maxrss_kib = rusage.ru_maxrss
        self.cpu = rusage.ru_utime + rusage.ru_stime
        self.stdout = stdout
        self.stderr = stderr


def run_measured(argv):
    """Run argv; wall time, exit status, the child's own rusage and what it printed. Its output goes to
    files, read after the clock stops, so that a pass's report can be checked."""
    with tempfile.NamedTemporaryFile(prefix="walk_vs_find-", suffix=".out") as out, \
            tempfile.NamedTemporaryFile(prefix="walk_vs_find-", suffix=".err") as err:
        # The shell tells the child's pid, so that only it is reaped here and not sshd or sshfs,
        # which are children of this script too.
        script = 'out=$1; shift; "$@" </dev/null >"$out" 2>"$0" & echo $!'
        pid_out, pid_in = os.pipe()
        started = time.perf_counter()
        shell = os.posix_spawn("/bin/sh", ["sh", "-c", script, err.name, out.name] + argv, os.environ,
                               file_actions=[(os.POSIX_SPAWN_DUP2, pid_in, 1)])
        os.close(pid_in)
        with os.fdopen(pid_out) as f:
            pid = int(f.read())
        os.waitpid(shell, 0)
        _, status, rusage = os.wait4(pid, 0)
        seconds = time.perf_counter() - started
        return Run(seconds, os.waitstatus_to_exitcode(status), rusage, out.read().decode(errors="replace"),
                   err.read().decode(errors="replace"))


def checked(name, run):
    if run.status != 0:
        raise Failure(f"{name} exited with {run.status}: {run.stderr.strip()}")
    return run


def quorvel_argv(cli, command, folder, threads=None):
    """quorvel-cli's pass command over folder, as a user runs it, with --threads if given."""
    return [cli, "--quiet"] + ([] if threads is None else ["--threads", str(threads)]) + [command, folder]


def modify_line(discs):
    return f"Modify {discs} file successful"


def restore_line(discs):
    # Two spaces, as quorvel-cli prints it.
    return f"Resume  {discs} files successful"


def expect_line(what, output, line):
    """Fails unless output has line, the summary a pass prints when it handled every disc."""
    if line not in output.splitlines():
        tail = "\n".join(output.strip().splitlines()[-10:])
        raise Failure(f"{what}, but its output lacks the line {line!r}; it ends:\n{tail}")


def patch(argv, tree, bdmv_paths, say=True):
    """Runs argv, a Modify of tree, and checks that it patched every disc."""
    result = subprocess.run(argv, capture_output=True, text=True)
    if result.returncode != 0:
        raise Failure(f"patch run: exit {result.returncode}\nstdout: {result.stdout.strip()}\n"
                      f"stderr: {result.stderr.strip()}")
    expect_line("patch run exited 0", result.stdout, modify_line(len(bdmv_paths)))
    check_patched("patch run reported success", tree, bdmv_paths)
    if say:
        print(f"patch run: {modify_line(len(bdmv_paths))!r}, all {len(bdmv_paths)} discs have a changed "
              f"index.bdmv and its original bytes in BACKUP/index.bdmv")


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


def check_discs(what, tree, bdmv_paths, wrong, state):
    """Fails if wrong(the disc's BDMV folder) holds for any disc."""
    bad = [rel for rel in bdmv_paths if wrong(os.path.join(tree, rel))]
    if bad:
        raise Failure(f"{what}, but {len(bad)} of {len(bdmv_paths)} discs are not {state}, e.g. {bad[0]}")


def check_patched(what, tree, bdmv_paths):
    """Fails unless every disc has BACKUP/index.bdmv with the original bytes and an index.bdmv that is not them."""
    original = index_bdmv()
    check_discs(what, tree, bdmv_paths,
                lambda disc: read_bytes(os.path.join(disc, "BACKUP", "index.bdmv")) != original
                or read_bytes(os.path.join(disc, "index.bdmv")) in (original, None),
                "patched with their BACKUP")


def check_restored(what, tree, bdmv_paths):
    """Fails unless every disc's index files hold their original bytes again."""
    check_discs(what, tree, bdmv_paths,
                lambda disc: read_bytes(os.path.join(disc, "index.bdmv")) != index_bdmv()
                or read_bytes(os.path.join(disc, "MovieObject.bdmv")) != movie_object_bdmv(),
                "back to their original index files")


def check_count(argv, expected):
    """Runs a walker that prints how many BDMV directories it found, and checks the count."""
    result = subprocess.run(argv, capture_output=True, text=True)
    if result.returncode != 0 or result.stdout.strip() != str(expected):
        raise Failure(f"{' '.join(argv)}: exit {result.returncode}, printed {result.stdout.strip()!r}, "
                      f"expected {expected}\nstderr: {result.stderr.strip()}")


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


# ---------------------------------------------------------------- passes

# What the discs hold on the local path: patched by a Modify; as generated (no BACKUP); restored
# (the original index files back, BACKUP kept).
PATCHED, UNPATCHED, RESTORED = "patched", "unpatched", "restored"


def check_modify(what, run, folder, tree, bdmv_paths):
    expect_line(what, run.stdout, modify_line(len(bdmv_paths)))
    check_patched(what, tree, bdmv_paths)


def check_restore(what, run, folder, tree, bdmv_paths):
    expect_line(what, run.stdout, restore_line(len(bdmv_paths)))
    check_restored(what, tree, bdmv_paths)


def check_scan(what, run, folder, tree, bdmv_paths):
    """A scan of the patched tree lists every disc, once, as patched and backed up, and changes nothing."""
    listed = {}
    for line in run.stdout.splitlines():
        # "FOLDER/REL/BDMV: index=index.bdmv patched=yes flags=0x60 backup=yes"
        path, found, state = line.partition(": index=")
        if found:
            listed[os.path.relpath(path, folder)] = state.split()
    wrong = [rel for rel in bdmv_paths
             if "patched=yes" not in listed.get(rel, ()) or "backup=yes" not in listed.get(rel, ())]
    if wrong or len(listed) != len(bdmv_paths):
        raise Failure(f"{what}, but it listed {len(listed)} discs for {len(bdmv_paths)} and "
                      f"{len(wrong)} not as patched with a backup, e.g. {(wrong or [''])[0]}")
    check_patched(what, tree, bdmv_paths)


class Pass:
    """A pass a user runs: quorvel-cli's command, the state of the discs it starts from and leaves, and
    what it must have done, checked after every timed run so that a broken pass cannot look fast."""

    def __init__(self, name, label, command, start, end, check):
        self.name = name
        self.label = label
        self.command = command
        self.start = start
        self.end = end
        self.check = check

    def tool(self, threads=None):
        return self.label if threads is None else f"{self.label} --threads {threads}"


PASSES = {p.name: p for p in (
    Pass("scan", "scan", "scan", PATCHED, PATCHED, check_scan),
    # The walk of an already-patched tree keeps the name it has always had in these reports.
    Pass("modify", "quorvel", "modify", PATCHED, PATCHED, check_modify),
    Pass("first-modify", "first modify", "modify", UNPATCHED, PATCHED, check_modify),
    Pass("restore", "restore", "restore", PATCHED, RESTORED, check_restore),
)}


class Discs:
    """The discs of one tree on its local path. Before every run they are brought to the state its
    pass starts from (the other walkers see the patched tree), only when it differs from the state the
    last run left; after a pass's run, what it did is checked there."""

    def __init__(self, cli, tree, bdmv_paths):
        self.cli = cli
        self.tree = tree
        self.paths = bdmv_paths
        self.state = None
        self.passes = {}  # tool name -> (Pass, argv)

    def reach(self, state, say=False):
        if state == self.state:
            return
        self.state = None  # unknown until the step below has succeeded
        reset_discs(self.tree, self.paths)
        if state == PATCHED:
            patch(quorvel_argv(self.cli, "modify", self.tree), self.tree, self.paths, say)
        self.state = state

    def pass_tools(self, passes, threads, folder):
        """Each pass over folder with the default threads and with each of threads."""
        tools = {}
        for p in passes:
            for t in [None] + threads:
                tools[p.tool(t)] = quorvel_argv(self.cli, p.command, folder, t)
                self.passes[p.tool(t)] = (p, tools[p.tool(t)])
        return tools

    def quorvels(self, names):
        return [name for name in names if name in self.passes]

    def prepare(self, name):
        self.reach(self.passes[name][0].start if name in self.passes else PATCHED)

    def check(self, name, run):
        if name not in self.passes:
            return
        p, argv = self.passes[name]
        self.state = None
        p.check(f"{' '.join(argv)} exited 0", run, argv[-1], self.tree, self.paths)
        self.state = p.end


def bench(tools, rounds, make_cold=None, run=run_measured, discs=None):
    """Runs each tool once a round, in an order that turns every round. With discs, the discs are
    brought to the state each tool starts from before its run and what it did is checked after.
    With make_cold, it is called before every run (after the discs are ready); without, each tool
    runs once first to fill the cache."""
    def one(name):
        if discs is not None:
            discs.prepare(name)
        if make_cold is not None:
            make_cold()
        result = checked(name, run(tools[name]))
        if discs is not None:
            discs.check(name, result)
        return result

    if make_cold is None:
        for name in tools:
            one(name)
    runs = {name: [] for name in tools}
    names = list(tools)
    for r in range(rounds):
        for name in names[r % len(names):] + names[:r % len(names)]:
            runs[name].append(one(name))
    return runs


def mib(kib):
    return kib / 1024.0


def median_seconds(rs):
    return statistics.median(x.seconds for x in rs)


def peak_rss(runs, names):
    return mib(max(x.maxrss_kib for name in names for x in runs[name]))


def round_ratios(runs, name, other):
    return [a.seconds / b.seconds for a, b in zip(runs[name], runs[other])]


def summarise(label, runs, comparisons, quorvels):
    """Prints medians and, for each (name, other, target) that ran, the median of per-round ratios;
    returns the peak RSS of the quorvel runs, the names in quorvels."""
    med = lambda rs, attr: statistics.median(getattr(x, attr) for x in rs)
    rounds = len(next(iter(runs.values())))
    print(f"[{label}] {rounds} rounds")
    for name, rs in runs.items():
        print(f"  {name:26s} wall median {med(rs, 'seconds') * 1000:8.1f} ms  "
              f"(min {min(x.seconds for x in rs) * 1000:.1f}, max {max(x.seconds for x in rs) * 1000:.1f})  "
              f"cpu median {med(rs, 'cpu') * 1000:8.1f} ms  peak RSS {peak_rss(runs, [name]):.2f} MiB")
    for name, other, target in comparisons:
        if name not in runs or other not in runs:
            continue
        ratios = round_ratios(runs, name, other)
        ratio = statistics.median(ratios)
        verdict = "" if target is None else f", target <= {target}: {'met' if ratio <= target else 'NOT met'}"
        print(f"  ratio {name}/{other}: median {ratio:.3f} (per round {min(ratios):.3f}..{max(ratios):.3f}){verdict}")
    rss = peak_rss(runs, quorvels)
    print(f"  quorvel peak RSS {rss:.2f} MiB, target <= {RSS_TARGET_MIB:.0f} MiB: "
          f"{'met' if rss <= RSS_TARGET_MIB else 'NOT met'}")
    return rss


def print_pass_report(label, runs, passes, threads, floor):
    """For each pass, with the default threads and each --threads value: the median wall time, every
    round's, the per-round ratios against the floor and `--threads 1` of the same round with their
    median, and the peak RSS."""
    rounds = len(runs[floor]) if floor in runs else len(next(iter(runs.values())))
    print(f"[{label}] passes, {rounds} rounds: wall seconds, median then per round; per-round ratios "
          f"against {floor if floor in runs else 'the floor (not run)'} and `--threads 1`")

    def line(name, indent, others):
        rs = runs[name]
        text = (f"{indent}{name:{30 - len(indent)}s} median {median_seconds(rs):#8.4g}  rounds "
                + " ".join(f"{x.seconds:#.4g}" for x in rs))
        for other, tag in others:
            if other in runs and other != name:
                ratios = round_ratios(runs, name, other)
                text += (f"  /{tag} " + " ".join(f"{q:.3f}" for q in ratios)
                         + f" (median {statistics.median(ratios):.3f})")
        return text + f"  peak RSS {peak_rss(runs, [name]):.2f} MiB"

    if floor in runs:
        print(line(floor, "  ", ()))
    for p in passes:
        print(f"  {p.name}:")
        for t in [None] + threads:
            print(line(p.tool(t), "    ", ((floor, "floor"), (p.tool(1), "--threads 1"))))


def print_pass_table(title, rows, passes, threads):
    """One line a run and pass: wall medians in seconds, the medians of the per-round ratios of the
    default threads against the floor and against `--threads 1`, and the pass's peak RSS. rows are
    (run, runs, floor name)."""
    print(f"\n{title}")
    print("| run | pass | default | " + " | ".join(f"`--threads {t}`" for t in threads) +
          " | floor | /floor | /`--threads 1` | peak RSS MiB |")
    print("|---|---|" + "--:|" * (len(threads) + 5))
    for label, runs, floor in rows:
        for p in passes:
            names = [p.tool(t) for t in [None] + threads]
            cells = [f"{median_seconds(runs[n]):#.3g}" for n in names]
            cells.append(f"{median_seconds(runs[floor]):#.3g} ({floor})" if floor in runs else "-")
            for other in (floor, p.tool(1)):
                cells.append(f"{statistics.median(round_ratios(runs, p.tool(), other)):.3f}"
                             if other in runs else "-")
            cells.append(f"{peak_rss(runs, names):.2f}")
            print(f"| {label} | {p.name} | " + " | ".join(cells) + " |")


def fd_command():
    fd = shutil.which("fdfind") or shutil.which("fd")
    return fd and [fd, "-u", "-t", "d", "-g", "BDMV", "."]


def floor_name(threads):
    return f"floor {threads}"


def walk_tools(args, discs, folder, floor_threads, others):
    """Every chosen pass (default threads and each --threads), the other walkers named in others
    ("find", "fd" if installed, "raw walk" if built) and the unordered floor if built, on folder."""
    tools = discs.pass_tools(args.passes, args.threads, folder)
    fd = fd_command()
    if "find" in others:
        tools["find"] = ["find", folder, "-type", "d", "-name", "BDMV"]
    if "fd" in others and fd:
        tools["fd"] = fd + [folder]
    if "raw walk" in others and args.raw:
        tools["raw walk"] = [os.path.abspath(args.raw), folder]
    if args.unordered:
        tools[floor_name(floor_threads)] = [os.path.abspath(args.unordered), str(floor_threads), folder]
    return tools


def cold_comparisons(tools, floor_threads, fd_target, floor_target):
    """Every walk of the patched tree against fd and the floor, where they ran; the default with its targets."""
    quorvels = [name for name in tools if name.startswith("quorvel")]
    comparisons = []
    for other, target in (("fd", fd_target), (floor_name(floor_threads), floor_target)):
        if other in tools:
            comparisons += [(name, other, target if name == "quorvel" else None) for name in quorvels]
    return comparisons


def measure(args, discs, label):
    """Warm and, where allowed, cold runs on one tree; returns quorvel's peak RSS."""
    floor = floor_name(args.floor_threads)
    warm = walk_tools(args, discs, discs.tree, args.floor_threads, ("find", "raw walk"))
    if floor in warm:
        check_count(warm[floor], len(discs.paths))
    comparisons = [("quorvel", "find", FIND_TARGET), ("quorvel", "raw walk", RAW_TARGET)]
    runs = bench(warm, args.rounds, discs=discs)
    rss = summarise(f"{label}, warm", runs, comparisons, discs.quorvels(runs))
    print_pass_report(f"{label}, warm", runs, args.passes, args.threads, floor)
    rows = [("warm", runs, floor)]
    if args.cold:
        cold = walk_tools(args, discs, discs.tree, args.floor_threads, ("find", "fd"))
        comparisons = [("quorvel", "find", None)] + cold_comparisons(cold, args.floor_threads, COLD_FD_TARGET,
                                                                     COLD_FLOOR_TARGET)
        runs = bench(cold, args.cold_rounds, drop_caches, discs=discs)
        rss = max(rss, summarise(f"{label}, cold", runs, comparisons, discs.quorvels(runs)))
        print_pass_report(f"{label}, cold", runs, args.passes, args.threads, floor)
        rows.append(("cold", runs, floor))
    print_pass_table(f"{label}, {len(discs.paths)} BDMV, {args.rounds} warm and {args.cold_rounds} cold rounds:"
                     if args.cold else f"{label}, {len(discs.paths)} BDMV, {args.rounds} warm rounds:",
                     rows, args.passes, args.threads)
    return rss


# ---------------------------------------------------------------- network share

SSH_HOST = "walk-vs-find"


def free_loopback_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_until(ready, process, what, log):
    """Polls ready() until it holds; fails if process ends first or it takes too long."""
    deadline = time.monotonic() + START_TIMEOUT
    while not ready():
        if process.poll() is not None or time.monotonic() > deadline:
            with open(log) as f:
                raise Failure(f"{what} did not come up (exit {process.poll()}): {f.read().strip()}")
        time.sleep(0.05)


def mounted(path):
    """Whether something is mounted on path, also a FUSE mount whose program is gone (a stat of it
    then fails, so os.path.ismount says no)."""
    with open("/proc/self/mountinfo") as f:
        return any(line.split()[4] == path for line in f)


def unmount(mount_point, process):
    """Unmounts mount_point (lazily if busy) and waits for the program that served it to end."""
    if mounted(mount_point):
        result = subprocess.run(["umount", mount_point], capture_output=True, text=True)
        # Ctrl-C reaches its program too, which may have unmounted it meanwhile.
        if result.returncode != 0 and mounted(mount_point):
            print(f"{result.stderr.strip()}; unmounting lazily", file=sys.stderr)
            subprocess.run(["umount", "--lazy", mount_point])
    try:
        process.wait(timeout=START_TIMEOUT)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def port_open(port):
    try:
        socket.create_connection(("127.0.0.1", port), timeout=1).close()
        return True
    except OSError:
        return False


class Share:
    """The tree as a network share: an sshd of its own on a loopback port, with a host key and
    a client key made for the run, and sshfs mounts of the tree through it. Nothing outside its
    temporary folders is changed, except that sshd's privilege separation folder is made if
    missing. Use it in a with block: it always unmounts and stops sshd."""

    def __init__(self, tree, options=None):
        self.tree = tree
        self.options = ["-o", options] if options else []
        self.keys = tempfile.mkdtemp(prefix="walk_vs_find-ssh-")
        # Apart from the keys, so that nothing ever deletes a folder while the tree is mounted there.
        self.mount_point = tempfile.mkdtemp(prefix="walk_vs_find-share-")
        self.sshd = None
        self.sshfs = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        try:
            self.unmount()
        finally:
            if self.sshd:
                self.sshd.terminate()
                self.sshd.wait()
            shutil.rmtree(self.keys)
            os.rmdir(self.mount_point)

    def path(self, name):
        return os.path.join(self.keys, name)

    def write(self, name, text):
        with open(self.path(name), "w") as f:
            f.write(text)

    def start(self):
        for key in ("host_key", "client_key"):
            subprocess.run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", self.path(key)], check=True)
        shutil.copy(self.path("client_key.pub"), self.path("authorized_keys"))
        port = free_loopback_port()
        # StrictModes would refuse keys below the world-writable /tmp.
        self.write("sshd_config", f"""ListenAddress 127.0.0.1:{port}
HostKey {self.path("host_key")}
PidFile none
AuthorizedKeysFile {self.path("authorized_keys")}
AuthenticationMethods publickey
PermitRootLogin prohibit-password
AllowUsers root
UsePAM no
StrictModes no
X11Forwarding no
Subsystem sftp internal-sftp
""")
        with open(self.path("host_key.pub")) as f:
            self.write("known_hosts", f"[127.0.0.1]:{port} {f.read()}")
        self.write("ssh_config", f"""Host {SSH_HOST}
HostName 127.0.0.1
Port {port}
User root
IdentityFile {self.path("client_key")}
IdentitiesOnly yes
UserKnownHostsFile {self.path("known_hosts")}
GlobalKnownHostsFile /dev/null
StrictHostKeyChecking yes
BatchMode yes
""")
        # sshd refuses to start without its privilege separation folder.
        os.makedirs("/run/sshd", mode=0o755, exist_ok=True)
        with open(self.path("sshd.log"), "w") as log:
            self.sshd = subprocess.Popen(["/usr/sbin/sshd", "-D", "-e", "-f", self.path("sshd_config")],
                                         stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        wait_until(lambda: port_open(port), self.sshd, "sshd", self.path("sshd.log"))
        print(f"sshd on 127.0.0.1:{port}, sshfs mounts at {self.mount_point}")

    def mount(self):
        with open(self.path("sshfs.log"), "w") as log:
            self.sshfs = subprocess.Popen(["sshfs", "-f", *self.options, "-F", self.path("ssh_config"),
                                           f"{SSH_HOST}:{self.tree}", self.mount_point],
                                          stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        wait_until(lambda: os.path.ismount(self.mount_point), self.sshfs, "sshfs", self.path("sshfs.log"))

    def unmount(self):
        if self.sshfs is None:
            return
        unmount(self.mount_point, self.sshfs)
        self.sshfs = None

    def remount(self):
        """A fresh mount, so that the client has nothing cached; the server's cache is dropped too."""
        self.unmount()
        drop_caches()
        self.mount()


def measure_share(args, discs):
    """Every tool once a round, each on a fresh sshfs mount of the tree."""
    floor = floor_name(SHARE_FLOOR_THREADS)
    label = f"{args.dirs} dirs over sshfs" + (f" -o {args.sshfs_options}" if args.sshfs_options else "")
    with Share(discs.tree, args.sshfs_options) as share:
        share.start()
        tools = walk_tools(args, discs, share.mount_point, SHARE_FLOOR_THREADS, ("find", "fd"))
        share.remount()
        check_count(tools[floor], len(discs.paths))
        runs = bench(tools, args.rounds, share.remount, discs=discs)
    summarise(label, runs, cold_comparisons(tools, SHARE_FLOOR_THREADS, SHARE_FD_TARGET, SHARE_FLOOR_TARGET),
              discs.quorvels(runs))
    print_pass_report(label, runs, args.passes, args.threads, floor)
    print_pass_table(f"{args.dirs} dirs, {len(discs.paths)} BDMV, {args.rounds} rounds over sshfs:",
                     [("share", runs, floor)], args.passes, args.threads)


# ---------------------------------------------------------------- slow file system


class SlowFs:
    """The tree through bench/slow_fs at a temporary mount point, every request answered
    latency_us microseconds late. Use it in a with block: it always unmounts."""

    def __init__(self, binary, tree, latency_us, options):
        self.mount_point = tempfile.mkdtemp(prefix="walk_vs_find-fuse-")
        fd, self.log = tempfile.mkstemp(prefix="walk_vs_find-slow_fs-", suffix=".log")
        os.close(fd)
        # In the foreground, so that it stays this script's child and is waited for.
        self.argv = [binary, tree, self.mount_point, "--latency-us", str(latency_us), "-f"]
        if options:
            self.argv += ["-o", options]
        self.process = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        try:
            if self.process is not None:
                unmount(self.mount_point, self.process)
        finally:
            os.rmdir(self.mount_point)
            os.unlink(self.log)

    def mount(self):
        with open(self.log, "w") as log:
            self.process = subprocess.Popen(self.argv, stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        wait_until(lambda: os.path.ismount(self.mount_point), self.process, "slow_fs", self.log)


def fuse_comparisons(tools, floor):
    """Every quorvel against the floor, and the default against --threads 1 where that ran."""
    quorvels = [name for name in tools if name.startswith("quorvel")]
    comparisons = [(name, floor, None) for name in quorvels]
    if "quorvel --threads 1" in tools:
        comparisons.append(("quorvel", "quorvel --threads 1", None))
    return comparisons


def measure_fuse(args, discs):
    """For each --fuse-latency, on one slow_fs mount of the tree: --rounds rounds of every chosen pass with
    the default threads and each --threads value, and the floor, the page cache dropped before every run."""
    floor = floor_name(FUSE_FLOOR_THREADS)
    rows = []
    for latency in args.fuse_latency:
        with SlowFs(os.path.abspath(args.slow_fs), discs.tree, latency, args.fuse_options) as fs:
            fs.mount()
            print(f"slow_fs at {latency} us: {discs.tree} on {fs.mount_point}", flush=True)
            tools = walk_tools(args, discs, fs.mount_point, FUSE_FLOOR_THREADS, ())
            check_count(tools[floor], len(discs.paths))
            label = f"{args.dirs} dirs over slow_fs at {latency} us"
            runs = bench(tools, args.rounds, drop_caches, discs=discs)
            summarise(label, runs, fuse_comparisons(tools, floor), discs.quorvels(runs))
            print_pass_report(label, runs, args.passes, args.threads, floor)
            rows.append((f"{latency} us", runs, floor))
    print_pass_table(f"{args.dirs} dirs, {len(discs.paths)} BDMV, {args.rounds} rounds over slow_fs:",
                     rows, args.passes, args.threads)


def microseconds(text):
    values = [int(v) for v in text.split(",")]
    if any(v < 0 for v in values):
        raise argparse.ArgumentTypeError("latencies are microseconds, 0 or more")
    return values


def pass_list(text):
    names = list(dict.fromkeys(text.split(",")))
    unknown = [name for name in names if name not in PASSES]
    if unknown:
        raise argparse.ArgumentTypeError(f"unknown pass {unknown[0]!r}; the passes are {','.join(PASSES)}")
    return [PASSES[name] for name in names]


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cli", default="/work/main/build/cli/quorvel-cli")
    parser.add_argument("--tree", help="tree directory (default: /tmp/quorvel-walk-DIRS-BDMV)")
    parser.add_argument("--dirs", type=int, default=100_000)
    parser.add_argument("--bdmv", type=int, default=300)
    parser.add_argument("--rounds", type=int, default=9)
    parser.add_argument("--raw", help="the raw getdents64 walker (build/bench/raw_walk)")
    parser.add_argument("--unordered", help="the unordered many-threaded walker (build/bench/unordered_walk), "
                        "the floor of the cold and share runs")
    parser.add_argument("--floor-threads", type=int, default=32,
                        help="threads of the unordered floor in the cold runs (default 32)")
    parser.add_argument("--cold", action="store_true",
                        help="also run with the page cache dropped before every run (root)")
    parser.add_argument("--cold-rounds", type=int, default=3)
    parser.add_argument("--threads", type=lambda v: list(dict.fromkeys(int(t) for t in v.split(","))),
                        default=[1, 4, 32],
                        help="--threads values each pass is also measured with (default 1,4,32)")
    parser.add_argument("--passes", type=pass_list, default=list(PASSES.values()),
                        help=f"the passes to time, from {','.join(PASSES)} (default all): scan and modify of the "
                        "patched tree, the first Modify of unpatched discs, restore of the patched tree")
    parser.add_argument("--share", action="store_true",
                        help="instead of the warm and cold runs, run --rounds rounds over sshfs, each run on a "
                        "fresh mount (root; needs --unordered, sshd and sshfs)")
    parser.add_argument("--sshfs-options", help="mount options passed on to sshfs as -o, e.g. cache=no: sshfs "
                        "scans its whole cache on every rename, which after a walk of a large tree costs each "
                        "rename milliseconds")
    parser.add_argument("--fuse-latency", type=microseconds,
                        help="instead of the warm and cold runs, run --rounds rounds over bench/slow_fs at each of "
                        "these latencies in microseconds, e.g. 0,50,500,5000 (root; needs --slow-fs and --unordered)")
    parser.add_argument("--slow-fs", help="the slow pass-through FUSE file system (build/bench/slow_fs)")
    parser.add_argument("--fuse-options", help="mount options passed on to slow_fs as -o, e.g. "
                        "attr_timeout=1,entry_timeout=1 to let the kernel cache names and attributes")
    parser.add_argument("--small-tree", help="tree ten times smaller, for the RSS comparison "
                        "(default: TREE-small)")
    parser.add_argument("--skip-small", action="store_true", help="do not run the smaller tree")
    args = parser.parse_args()

    cli = os.path.abspath(args.cli)
    if not os.access(cli, os.X_OK):
        raise Failure(f"{cli} is not executable; build it or pass --cli")
    tree = os.path.abspath(args.tree or f"/tmp/quorvel-walk-{args.dirs}-{args.bdmv}")
    if args.share and (os.geteuid() != 0 or not args.unordered):
        raise Failure("--share needs root (sshd logs in as root) and --unordered")
    if args.fuse_latency is not None:
        if args.share:
            raise Failure("--share and --fuse-latency are separate runs; choose one")
        if os.geteuid() != 0 or not args.unordered or not args.slow_fs:
            raise Failure("--fuse-latency needs root (mounts, drops the page cache), --unordered and --slow-fs")
        if not os.access(args.slow_fs, os.X_OK):
            raise Failure(f"{args.slow_fs} is not executable; build it (libfuse3-dev) or fix --slow-fs")
    become_subreaper()

    floor = run_measured(["/bin/true"])
    print(f"cli {cli}\nRSS floor of the launcher (/bin/true): {mib(floor.maxrss_kib):.2f} MiB")

    if args.cold and not can_drop_caches():
        print("cannot drop the page cache (it takes root): measuring warm only")
        args.cold = False

    discs = Discs(cli, tree, ensure_tree(tree, args.dirs, args.bdmv))
    # Patched once here to check that a Modify works; from here on every run's pass sets the discs up.
    discs.reach(PATCHED, say=True)
    if args.share:
        measure_share(args, discs)
        return 0
    if args.fuse_latency is not None:
        measure_fuse(args, discs)
        return 0
    big_rss = measure(args, discs, f"{args.dirs} dirs")

    if not args.skip_small:
        small_dirs, small_bdmv = args.dirs // 10, max(1, args.bdmv // 10)
        small = os.path.abspath(args.small_tree or f"{tree}-small")
        small_discs = Discs(cli, small, ensure_tree(small, small_dirs, small_bdmv))
        small_discs.reach(PATCHED, say=True)
        small_rss = measure(args, small_discs, f"{small_dirs} dirs")
        print(f"quorvel peak RSS: {small_rss:.2f} MiB at {small_dirs} dirs, "
              f"{big_rss:.2f} MiB at {args.dirs} dirs "
              f"(growth {big_rss - small_rss:+.2f} MiB for {args.dirs - small_dirs} more dirs)")
    return 0


def stop_on_sigterm():
    """SIGTERM ends the script as Ctrl-C does, through every clean-up on the way out."""
    def handler(signum, frame):
        raise KeyboardInterrupt
    signal.signal(signal.SIGTERM, handler)


if __name__ == "__main__":
    stop_on_sigterm()
    try:
        sys.exit(main())
    except Failure as e:
        print(f"walk_vs_find: {e}", file=sys.stderr)
        sys.exit(1)
    except KeyboardInterrupt:
        print("walk_vs_find: stopped", file=sys.stderr)
        sys.exit(130)
