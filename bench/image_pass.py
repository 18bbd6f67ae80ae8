#!/usr/bin/env python3
"""A pass over disc images against a pass over BDMV folders of the same disc.

Makes --count sparse disc images of --gib GiB (bench/make_disc_images.cpp) and as many BDMV
folders, then runs `quorvel-cli --images modify` and `restore` over the images and `modify` and
`restore` over the folders, the page cache dropped before every run (as root; without root the
runs are warm and the script says so). Reports each run's wall time and, per disc, the bytes
quorvel-cli read and wrote: rchar and wchar (through read and write calls) and read_bytes and
write_bytes (to and from storage), from /proc/PID/io as the child exits.
It reports; it does not judge. Exit status is non-zero only if a step failed to run.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

MARKER = ".image_pass"
IO_FIELDS = ("rchar", "wchar", "read_bytes", "write_bytes")


def drop_caches():
    subprocess.run(["sync"], check=True)
    try:
        with open("/proc/sys/vm/drop_caches", "w") as f:
            f.write("3\n")
        return True
    except PermissionError:
        return False


def run_measured(command):
    """Runs the command; returns (seconds, its /proc/PID/io, stdout). The child is waited for
    without being reaped, so that its io file is still there to read."""
    with tempfile.TemporaryFile("w+") as output:
        start = time.perf_counter()
        child = subprocess.Popen(command, stdout=output, stderr=subprocess.STDOUT)
        os.waitid(os.P_PID, child.pid, os.WEXITED | os.WNOWAIT)
        seconds = time.perf_counter() - start
        with open(f"/proc/{child.pid}/io") as f:
            io = {k: int(v) for k, v in (line.split(": ") for line in f)}
        child.wait()
        output.seek(0)
        out = output.read()
    if child.returncode != 0:
        sys.exit(f"{' '.join(command)} failed ({child.returncode}):\n{out}")
    return seconds, io, out


def prepare(args):
    if os.path.exists(args.dir):
        if not os.path.exists(os.path.join(args.dir, MARKER)):
            sys.exit(f"{args.dir} exists and was not made by this script")
        shutil.rmtree(args.dir)
    os.makedirs(args.dir)
    open(os.path.join(args.dir, MARKER), "w").close()
    subprocess.run([args.make, args.dir, str(args.count), str(args.gib)], check=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", required=True, help="quorvel-cli")
    parser.add_argument("--make", required=True, help="make_disc_images")
    parser.add_argument("--dir", default="/tmp/quorvel-image-pass")
    parser.add_argument("--count", type=int, default=50)
    parser.add_argument("--gib", type=int, default=4)
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()

    prepare(args)
    images = os.path.join(args.dir, "images")
    stored = sum(os.stat(os.path.join(images, n)).st_blocks * 512 for n in os.listdir(images))
    print(f"{args.count} images of {args.gib} GiB, {stored // args.count} bytes stored each")

    runs = {
        "images": (["--images", "modify", images], ["--images", "restore", images]),
        "folders": (["modify", os.path.join(args.dir, "folders")],
                    ["restore", os.path.join(args.dir, "folders")]),
    }
    results = {}
    cold = True
    for _ in range(args.rounds):
        for kind, commands in runs.items():
            for command, expected in zip(commands, ("Modify", "Resume")):
                cold = drop_caches() and cold
                seconds, io, out = run_measured([args.cli, "--quiet", *command])
                if f" {args.count} file" not in out or expected not in out:
                    sys.exit(f"unexpected report from {' '.join(command)}:\n{out}")
                results.setdefault((kind, command[-2]), []).append((seconds, io))

    print("cache dropped before every run" if cold else "warm: not root, the cache was kept")
    print(f"{'pass':<18}{'seconds':>9}" + "".join(f"{f + '/disc':>18}" for f in IO_FIELDS))
    for (kind, operation), rounds in results.items():
        seconds = statistics.median(s for s, _ in rounds)
        per_disc = [statistics.median(io[f] for _, io in rounds) / args.count for f in IO_FIELDS]
        print(f"{kind + ' ' + operation:<18}{seconds:>9.3f}" + "".join(f"{v:>18.0f}" for v in per_disc))


if __name__ == "__main__":
    main()
