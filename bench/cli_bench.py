#!/usr/bin/env python3
"""The command-line tool as a whole process, against Python and cat.

    bench/cli_bench.py [BUILD_DIR] [--mib N ...] [--runs R]

BUILD_DIR (default build/native) must hold the vantorel program, built
beforehand; this script builds nothing. For each size N (16 and 256 MiB by
default) it writes N MiB of English text (words and lines, ASCII) and its
canonical hex text (3N MiB - 1) to a temporary folder, and then, on those same
files, in this one run:

  1. runs vantorel and Python once each way, with standard input a regular file
     and a pipe from cat, and checks that every output of vantorel equals
     Python's byte for byte;
  2. times each of them R times (5 by default) and reports the median, as whole
     processes: start-up, reading, conversion and writing to /dev/null; with
     a pipe, from the start of cat to the end of both;
  3. times `cat FILE | cat > /dev/null` on the same file, the cost of moving
     the bytes through a pipe at all;
  4. prints one table, with each converter's peak memory (maximum resident set
     size, from the kernel's accounting of the process itself, not of cat),
     from one more run under GNU time (/usr/bin/time) where it is installed:
     a process started straight from this script would be charged this
     script's own memory too, which it holds until exec.

The Python peers are the one-liners a person would write:
  decode  bytes.fromhex(hex).decode('gbk'), written as UTF-8
  encode  text.encode('gbk').hex(' ').upper(), then a line feed
"""

import argparse
import hashlib
import os
import random
import statistics
import subprocess
import sys
import tempfile
import time

TIME = "/usr/bin/time"

PY_DECODE = ("import sys; sys.stdout.buffer.write("
             "bytes.fromhex(sys.stdin.buffer.read().decode('ascii')).decode('gbk').encode())")
PY_ENCODE = ("import sys; sys.stdout.buffer.write("
             "sys.stdin.buffer.read().decode().encode('gbk').hex(' ').upper().encode() + b'\\n')")

WORDS = ("the of and to in a is that for it as was with be by on not he I this are or his "
         "from at which but have an they you were her she there had").split()


def write_inputs(folder, mib):
    """N MiB of text and its hex text; returns their paths."""
    rng = random.Random(mib)
    size = mib << 20
    text_path = os.path.join(folder, "text-%d" % mib)
    hex_path = os.path.join(folder, "hex-%d" % mib)
    with open(text_path, "wb") as text, open(hex_path, "wb") as hexf:
        written = 0
        first = True
        while written < size:
            lines = []
            for _ in range(4096):
                lines.append(" ".join(rng.choice(WORDS) for _ in range(12)) + ".\n")
            block = "".join(lines).encode()[: size - written]
            text.write(block)
            hexf.write((b"" if first else b" ") + block.hex(" ").upper().encode())
            written += len(block)
            first = False
    return text_path, hex_path


def run(argv, src, pipe, out, measured=False):
    """Runs argv once with standard input src (a file, or cat of it through a
    pipe) and standard output out; returns (seconds, peak KiB of argv).
    Measured, argv runs under GNU time, which reports its peak alone."""
    report = None
    if measured and os.access(TIME, os.X_OK):
        fd, report = tempfile.mkstemp(prefix="vantorel-bench-peak-")
        os.close(fd)
        argv = [TIME, "-f", "%M", "-o", report] + argv
    start = time.perf_counter()
    with open(src, "rb") as f:
        if pipe:
            cat = subprocess.Popen(["cat", src], stdout=subprocess.PIPE)
            proc = subprocess.Popen(argv, stdin=cat.stdout, stdout=out)
            cat.stdout.close()
        else:
            cat = None
            proc = subprocess.Popen(argv, stdin=f, stdout=out)
        _, status, usage = os.wait4(proc.pid, 0)
        proc.returncode = os.waitstatus_to_exitcode(status)
        if cat is not None:
            cat.wait()
    seconds = time.perf_counter() - start
    if proc.returncode != 0:
        raise RuntimeError("%s failed with status %d" % (" ".join(argv), proc.returncode))
    peak = usage.ru_maxrss
    if report is not None:
        with open(report) as f:
            peak = int(f.read().split()[-1])
        os.remove(report)
    return seconds, peak


def digest(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[1])
    parser.add_argument("build", nargs="?", default="build/native")
    parser.add_argument("--mib", type=int, nargs="+", default=[16, 256])
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    program = os.path.abspath(os.path.join(args.build, "vantorel"))
    if not os.access(program, os.X_OK):
        sys.exit("no program at %s: build it first" % program)

    rows = []
    with tempfile.TemporaryDirectory(prefix="vantorel-bench-") as folder:
        for mib in args.mib:
            text_path, hex_path = write_inputs(folder, mib)
            for op, src, peer in (("decode", hex_path, PY_DECODE), ("encode", text_path, PY_ENCODE)):
                ours = [program, op]
                python = [sys.executable, "-c", peer]
                # Every output of ours against Python's, before any timing.
                want = os.path.join(folder, "want")
                got = os.path.join(folder, "got")
                with open(want, "wb") as out:
                    run(python, src, False, out)
                expected = digest(want)
                os.remove(want)
                for pipe in (False, True):
                    with open(got, "wb") as out:
                        run(ours, src, pipe, out)
                    if digest(got) != expected:
                        sys.exit("%s %d MiB (%s): output differs from Python's"
                                 % (op, mib, "pipe" if pipe else "file"))
                    os.remove(got)

                def timed(argv, pipe):
                    times = []
                    with open(os.devnull, "wb") as out:
                        _, peak = run(argv, src, pipe, out, measured=True)
                        for _ in range(args.runs):
                            times.append(run(argv, src, pipe, out)[0])
                    return statistics.median(times), peak

                cat_time, _ = timed(["cat"], True)
                for pipe in (False, True):
                    ours_time, ours_peak = timed(ours, pipe)
                    py_time, py_peak = timed(python, pipe)
                    rows.append((op, mib, os.path.getsize(src), "pipe" if pipe else "file",
                                 ours_time, py_time, cat_time, ours_peak, py_peak))
                    print("%s %d MiB %s done" % (op, mib, "pipe" if pipe else "file"),
                          file=sys.stderr)

    def ms(s):
        return "%.0f ms" % (s * 1e3)

    def mib_of(kib):
        return "%.0f MiB" % (kib / 1024)

    print("| run | input | ours | Python | cat \\| cat | Python / ours | ours / cat "
          "| ours, peak memory | Python, peak memory |")
    print("|---|---|---|---|---|---|---|---|---|")
    for op, mib, size, how, ours_time, py_time, cat_time, ours_peak, py_peak in rows:
        print("| %s, %d MiB of text | %s, %.0f MiB | %s | %s | %s | %.1fx | %.1fx | %s | %s |"
              % (op, mib, how, size / 2**20, ms(ours_time), ms(py_time), ms(cat_time),
                 py_time / ours_time, ours_time / cat_time, mib_of(ours_peak), mib_of(py_peak)))


if __name__ == "__main__":
    main()
