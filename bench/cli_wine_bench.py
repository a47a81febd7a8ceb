#!/usr/bin/env python3
"""vantorel-cli.exe under Wine against the Linux tool, as whole processes.

    bench/cli_wine_bench.py [--native build/native] [--windows build/win64] [--mib N] [--runs R]

Both programs must be built beforehand (make native win64); this script builds
nothing. It writes N MiB (16 by default) of English text (words and lines,
ASCII) and of Chinese text (characters of GB2312 with punctuation and lines),
and the canonical hex text of each in code page 936, to a temporary folder;
then, on those same files, for each text, each way (encode the text, decode
its hex text) and each kind of standard input (a regular file, a pipe from
cat):

  1. runs both tools once and checks that their outputs are the same bytes;
  2. times each R times (5 by default) and reports the median: start-up,
     reading, conversion and writing to /dev/null; with a pipe, from the start
     of cat to the end of both.

The Windows program runs under Wine's 64-bit loader in the build's own prefix
with LC_ALL=zh_CN.UTF-8 (code page 936), a wineserver kept running for the
whole run and ended after it. Wine's own cost is in its times: starting a
Windows process (about a tenth of a second here), and its file, pipe and
console calls, which go through the Wine server or its Unix layer.
"""

import argparse
import os
import random
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from cli_bench import WORDS, digest, run  # noqa: E402

WINE = "/usr/lib/wine/wine64"


def english(rng):
    return "".join(" ".join(rng.choice(WORDS) for _ in range(12)) + ".\n" for _ in range(4096))


# GB2312's first level, by its bytes B0A1 to D7F9: the common characters.
HANZI = [bytes([lead, trail]).decode("gbk") for lead in range(0xB0, 0xD8)
         for trail in range(0xA1, 0xFF) if (lead, trail) < (0xD7, 0xFA)]


def chinese(rng):
    lines = []
    for _ in range(1024):
        lines.append("".join(rng.choice(HANZI) for _ in range(rng.randint(8, 30))) +
                     rng.choice("，。、；：！？") + "\n")
    return "".join(lines)


def write_inputs(folder, mib, name, make):
    """N MiB (of UTF-8) of text, and its hex text in 936; returns their paths."""
    rng = random.Random(mib)
    text_path = os.path.join(folder, name + ".txt")
    hex_path = os.path.join(folder, name + ".hex")
    with open(text_path, "wb") as text, open(hex_path, "wb") as hexf:
        written, first = 0, True
        while written < mib << 20:
            block = make(rng)
            text.write(block.encode())
            hexf.write((b"" if first else b" ") + block.encode("gbk").hex(" ").upper().encode())
            written += len(block.encode())
            first = False
    return text_path, hex_path


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[1])
    parser.add_argument("--native", default="build/native")
    parser.add_argument("--windows", default="build/win64")
    parser.add_argument("--mib", type=int, default=16)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    linux = os.path.abspath(os.path.join(args.native, "vantorel"))
    exe = os.path.abspath(os.path.join(args.windows, "vantorel-cli.exe"))
    for path in (linux, exe, WINE):
        if not os.path.exists(path):
            sys.exit("missing %s: make native win64 (and Wine)" % path)
    prefix = os.path.abspath(os.path.join(args.windows, "wineprefix"))
    os.environ.update(WINEPREFIX=prefix, WINELOADER=WINE, WINEARCH="win64", WINEDEBUG="-all",
                      LC_ALL="zh_CN.UTF-8", WINEDLLOVERRIDES="mscoree,mshtml=")
    # One wineserver for the whole run, so that no run pays for starting it.
    subprocess.run(["wineserver", "-p"])
    subprocess.run([WINE, "cmd", "/c", "exit"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    rows = []
    try:
        with tempfile.TemporaryDirectory(prefix="vantorel-wine-bench-") as folder:
            for name, make in (("English", english), ("Chinese", chinese)):
                text_path, hex_path = write_inputs(folder, args.mib, name, make)
                for op, src in (("encode", text_path), ("decode", hex_path)):
                    tools = (("Linux", [linux, op]), ("Wine", [WINE, exe, op]))
                    for pipe in (False, True):
                        digests = []
                        for _, argv in tools:
                            got = os.path.join(folder, "got")
                            with open(got, "wb") as out:
                                run(argv, src, pipe, out)
                            digests.append(digest(got))
                            os.remove(got)
                        if digests[0] != digests[1]:
                            sys.exit("%s %s (%s): the outputs differ" % (name, op, pipe))
                        times = {}
                        for tool, argv in tools:
                            with open(os.devnull, "wb") as out:
                                times[tool] = statistics.median(
                                    run(argv, src, pipe, out)[0] for _ in range(args.runs))
                        rows.append((name, op, os.path.getsize(src), "pipe" if pipe else "file",
                                     times["Linux"], times["Wine"]))
                        print("%s %s %s done" % (name, op, rows[-1][3]), file=sys.stderr)
    finally:
        subprocess.run(["wineserver", "-k"])

    print("| text | run | input | Linux tool | vantorel-cli.exe under Wine | Wine / Linux |")
    print("|---|---|---|---|---|---|")
    for name, op, size, how, linux_time, wine_time in rows:
        print("| %s, %d MiB | %s | %s, %.0f MiB | %.0f ms (%.0f MB/s) | %.0f ms (%.0f MB/s) | %.1fx |"
              % (name, args.mib, op, how, size / 2**20, linux_time * 1e3, size / linux_time / 1e6,
                 wine_time * 1e3, size / wine_time / 1e6, wine_time / linux_time))


if __name__ == "__main__":
    main()
