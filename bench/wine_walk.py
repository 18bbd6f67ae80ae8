#!/usr/bin/env python3
"""Walk cost of the Windows `quorvel-cli.exe modify` under Wine, warm, on an already-patched tree:
with its default threads, with `--threads 1`, and against a plain single-threaded
FindFirstFileExW walk (bench/find_walk_win32.cpp).

One Wine server runs for the whole measurement, so that no run pays for starting it. Reports
the median wall time, the median CPU time of the program and of the Wine server (which does
much of a Windows program's file work under Wine), and the median of the per-round ratios.
It reports; it does not judge. Exit status is non-zero only if a step failed to run.
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

from walk_vs_find import Failure, bench, check_count, ensure_tree, patch

# Warm: the default threads against one thread.
THREADS_TARGET = 1.1
WINE_ENV = {"WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="}


class Run:
    def __init__(self, seconds, status, cpu, server_cpu, stderr):
        self.seconds = seconds
        self.status = status
        self.cpu = cpu
        self.server_cpu = server_cpu
        self.stderr = stderr


def windows_path(path):
    # Wine's prefixes map drive Z: to the root of the file system.
    return "Z:" + path.replace("/", "\\")


def process_cpu(pid):
    """User and system CPU seconds a running process has used so far, from /proc."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


class WineServer:
    """A Wine server of our own, started once and kept for every run, and stopped at the end."""

    def __init__(self, prefix, repository):
        # Every Wine command from here on, the patch run's too, talks to this server.
        os.environ.update(WINEPREFIX=prefix, **WINE_ENV)
        subprocess.run(["bash", os.path.join(repository, "scripts", "wine-prefix")], check=True)
        self.process = subprocess.Popen(["wineserver", "-f", "-p"])
        time.sleep(1)
        if self.process.poll() is not None:
            raise Failure(f"wineserver exited with {self.process.returncode}: "
                          f"is another one running for {prefix}?")
        subprocess.run(["wine", "wineboot"], check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)

    def stop(self):
        subprocess.run(["wineserver", "-k"])
        self.process.wait()

    def run(self, argv):
        """Runs argv with stdout to /dev/null: wall time, exit status, its CPU time and the server's."""
        with tempfile.TemporaryFile() as err:
            server_before = process_cpu(self.process.pid)
            started = time.perf_counter()
            child = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=err)
            _, status, rusage = os.wait4(child.pid, 0)
            seconds = time.perf_counter() - started
            child.returncode = os.waitstatus_to_exitcode(status)
            server_cpu = process_cpu(self.process.pid) - server_before
            err.seek(0)
            stderr = err.read().decode(errors="replace")
        return Run(seconds, child.returncode, rusage.ru_utime + rusage.ru_stime, server_cpu, stderr)


def summarise(runs, default, single):
    med = lambda rs, attr: statistics.median(getattr(x, attr) for x in rs)
    print(f"[warm] {len(runs[default])} rounds")
    for name, rs in runs.items():
        print(f"  {name:22s} wall median {med(rs, 'seconds') * 1000:8.1f} ms  "
              f"(min {min(x.seconds for x in rs) * 1000:.1f}, max {max(x.seconds for x in rs) * 1000:.1f})  "
              f"cpu median {med(rs, 'cpu') * 1000:8.1f} ms  wineserver cpu median "
              f"{med(rs, 'server_cpu') * 1000:8.1f} ms")
    ratios = [a.seconds / b.seconds for a, b in zip(runs[default], runs[single])]
    ratio = statistics.median(ratios)
    print(f"  ratio {default}/{single}: median {ratio:.3f} (per round {min(ratios):.3f}..{max(ratios):.3f}), "
          f"target <= {THREADS_TARGET}: {'met' if ratio <= THREADS_TARGET else 'NOT met'}")


def main():
    repository = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cli", default=os.path.join(repository, "build-windows-bench/cli/quorvel-cli.exe"))
    parser.add_argument("--find-walk", help="the FindFirstFileExW walker (default: bench/find_walk.exe "
                        "beside the cli's build)")
    parser.add_argument("--prefix", help="the Wine prefix (default: wineprefix in the cli's build)")
    parser.add_argument("--tree", help="tree directory (default: /tmp/quorvel-walk-DIRS-BDMV)")
    parser.add_argument("--dirs", type=int, default=15_000)
    parser.add_argument("--bdmv", type=int, default=45)
    parser.add_argument("--rounds", type=int, default=9)
    args = parser.parse_args()

    cli = os.path.abspath(args.cli)
    build = os.path.dirname(os.path.dirname(cli))
    find_walk = os.path.abspath(args.find_walk or os.path.join(build, "bench", "find_walk.exe"))
    for program in (cli, find_walk):
        if not os.path.isfile(program):
            raise Failure(f"{program} is missing; build it (see bench/README.md) or name it")
    prefix = os.path.abspath(args.prefix or os.path.join(build, "wineprefix"))
    tree = os.path.abspath(args.tree or f"/tmp/quorvel-walk-{args.dirs}-{args.bdmv}")
    print(f"cli {cli}\nprefix {prefix}")

    bdmv_paths = ensure_tree(tree, args.dirs, args.bdmv)
    server = WineServer(prefix, repository)
    try:
        target = windows_path(tree)
        patch(["wine", cli, "modify", "--quiet", target], tree, bdmv_paths)
        # The plain walker must find every disc, or it is not walking the tree.
        check_count(["wine", find_walk, target], len(bdmv_paths))
        default, single = "quorvel", "quorvel --threads 1"
        tools = {
            default: ["wine", cli, "modify", "--quiet", target],
            single: ["wine", cli, "--threads", "1", "modify", "--quiet", target],
            "find walk": ["wine", find_walk, target],
        }
        summarise(bench(tools, args.rounds, run=server.run), default, single)
    finally:
        server.stop()
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except Failure as e:
        print(f"wine_walk: {e}", file=sys.stderr)
        sys.exit(1)
