#!/usr/bin/env python3
"""The command-line tool as a whole process, against Python and cat.

    bench/cli_bench.py [BUILD_DIR] [--mib N ...] [--runs R] [--corpus english chinese]

BUILD_DIR (default build/native) must hold the vantorel program, built
beforehand; this script builds nothing. For each size N (16 and 256 MiB by
default) and each corpus (both by default) it writes N MiB of text in UTF-8
and its canonical hex text in code page 936 to a temporary folder:

  english  words and lines, ASCII: 3N MiB - 1 of hex text
  chinese  sentences of common Chinese characters with Chinese punctuation,
           now and then an ASCII word or a number, lines of a few sentences:
           about 2N MiB of hex text (most characters are three bytes in
           UTF-8 and two in 936)

and then, on those same files, in this one run:

  1. runs vantorel and Python once each way, with standard input a regular file
     and a pipe from cat, and checks that every output of vantorel equals
     Python's byte for byte;
  2. times each of them R times (5 by default) and reports the median, as whole
     processes: start-up, reading, conversion and writing to /dev/null; with
     a pipe, from the start of cat to the end of both;
  3. times `cat FILE | cat > /dev/null` on the same file, the cost of moving
     the bytes through a pipe at all, R times for each way standard input
     comes; each round runs cat, vantorel and Python one after the other, so
     that a machine whose speed drifts (a shared one) weighs on all three
     alike, and `cat | cat` is the median of all its runs;
  4. prints one table, with each converter's peak memory (maximum resident set
     size, from the kernel's accounting of the process itself, not of cat),
     from one more run under GNU time (/usr/bin/time) where it is installed:
     a process started straight from this script would be charged this
     script's own memory too, which it holds until exec.

The Python peers are the one-liners a person would write:
  decode  bytes.fromhex(hex).decode('gbk'), written as UTF-8
  encode  text.encode('gbk').hex(' ').upper(), then a line feed

With the Chinese corpus, one more row: its text encoded in UTF-8 (-c utf-8,
code page 65001) from a file, against the same one-liner with 'utf-8'.
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
PY_ENCODE_UTF8 = PY_ENCODE.replace("'gbk'", "'utf-8'")

WORDS = ("the of and to in a is that for it as was with be by on not he I this are or his "
         "from at which but have an they you were her she there had").split()


# The 500 most used characters of written Chinese, about, most used first.
HANZI = ("的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分对成会可主发年动同工"
         "也能下过子说产种面而方后多定行学法所民得经十三之进着等部度家电力里如水化高自二理起小物"
         "现实加量都两体制机当使点从业本去把性好应开它合还因由其些然前外天政四日那社义事平形相全"
         "表间样与关各重新线内数正心反你明看原又么利比或但质气第向道命此变条只没结解问意建月公无"
         "系军很情者最立代想已通并提直题党程展五果料象员革位入常文总次品式活设及管特件长求老头基"
         "资边流路级少图山统接知较将组见计别她手角期根论运农指几九区强放决西被干做必战先回则任取"
         "据处队南给色光门即保治北造百规热领七海口东导器压志世金增争济阶油思术极交受联什认六共权"
         "收证改清己美再采转更单风切打白教速花带安场身车例真务具万每目至达走积示议声报斗完类八离"
         "华名确才科张信马节话米整空元况今集温传土许步群广石记需段研界拉林律叫且究观越织装影算低"
         "持音众书布复容儿须际商非验连断深难近矿千周委素技备半办青省列习响约支般史感劳便团往酸历"
         "市克何除消构府称太准精值号率族维划选标写存候毛亲快效斯院查江型眼王按格养易置派层片始却"
         "专状育厂京识适属圆包火住调满县局照参红细引听该铁价严龙飞")
ASCII_WORDS = "USB CPU GBK UTF-8 Linux Windows API OK PDF Wi-Fi LED V2 ID".split()


def english_block(rng):
    return "".join(" ".join(rng.choice(WORDS) for _ in range(12)) + ".\n" for _ in range(4096))


def chinese_block(rng):
    """Lines of one to four sentences; a sentence is clauses of words of one
    to four characters, drawn more often from the front of HANZI; now and then
    a word in ASCII, a number, or a title or quotation."""
    def word():
        roll = rng.random()
        if roll < 0.03:
            return " " + rng.choice(ASCII_WORDS) + " "
        if roll < 0.06:
            return str(rng.randint(1, 2024)) + rng.choice("年月日个次号")
        n = rng.choice((1, 2, 2, 2, 3, 4))
        return "".join(HANZI[int(len(HANZI) * rng.random() ** 2)] for _ in range(n))

    def clause():
        text = "".join(word() for _ in range(rng.randint(2, 6)))
        roll = rng.random()
        if roll < 0.05:
            return "《" + text + "》"
        if roll < 0.10:
            return "“" + text + "”"
        if roll < 0.13:
            return text + "（" + word() + "）"
        return text

    lines = []
    for _ in range(512):
        sentences = []
        for _ in range(rng.randint(1, 4)):
            clauses = [clause() for _ in range(rng.randint(1, 4))]
            sentences.append("".join(c + rng.choice("，，，、；：") for c in clauses[:-1]) +
                             clauses[-1] + rng.choice("。。。。！？"))
        lines.append("".join(sentences) + "\n")
    return "".join(lines)


CORPORA = {"english": english_block, "chinese": chinese_block}


def write_inputs(folder, mib, corpus="english"):
    """N MiB of text (in UTF-8, up to 3 bytes fewer where a character would be
    cut) and its hex text in 936; returns their paths."""
    make = CORPORA[corpus]
    rng = random.Random(mib)
    size = mib << 20
    text_path = os.path.join(folder, "%s-text-%d" % (corpus, mib))
    hex_path = os.path.join(folder, "%s-hex-%d" % (corpus, mib))
    with open(text_path, "wb") as text, open(hex_path, "wb") as hexf:
        written = 0
        first = True
        while True:
            block = make(rng)
            utf8 = block.encode()
            last = written + len(utf8) >= size
            if last:
                # Cut at N MiB, or before the character that would be cut there.
                block = utf8[: size - written].decode(errors="ignore")
                utf8 = block.encode()
            text.write(utf8)
            if block:
                hexf.write((b"" if first else b" ") + block.encode("gbk").hex(" ").upper().encode())
            written += len(utf8)
            first = False
            if last:
                break
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
    parser.add_argument("--corpus", nargs="+", choices=sorted(CORPORA),
                        default=["english", "chinese"])
    args = parser.parse_args()
    program = os.path.abspath(os.path.join(args.build, "vantorel"))
    if not os.access(program, os.X_OK):
        sys.exit("no program at %s: build it first" % program)

    rows = []
    with tempfile.TemporaryDirectory(prefix="vantorel-bench-") as folder:
        for corpus in args.corpus:
            for mib in args.mib:
                text_path, hex_path = write_inputs(folder, mib, corpus)
                # (what, code page's options, input, Python, how standard input comes)
                runs = [("decode", [], hex_path, PY_DECODE, (False, True)),
                        ("encode", [], text_path, PY_ENCODE, (False, True))]
                if corpus == "chinese":
                    runs.append(("encode", ["-c", "utf-8"], text_path, PY_ENCODE_UTF8, (False,)))
                for op, options, src, peer, hows in runs:
                    ours = [program] + options + [op]
                    python = [sys.executable, "-c", peer]
                    name = "%s, %d MiB of %s text%s" % (
                        op, mib, corpus.capitalize(), " (65001)" if options else
                        " (936)" if corpus == "chinese" else "")
                    # Every output of ours against Python's, before any timing.
                    want = os.path.join(folder, "want")
                    got = os.path.join(folder, "got")
                    with open(want, "wb") as out:
                        run(python, src, False, out)
                    expected = digest(want)
                    os.remove(want)
                    for pipe in hows:
                        with open(got, "wb") as out:
                            run(ours, src, pipe, out)
                        if digest(got) != expected:
                            sys.exit("%s (%s): output differs from Python's"
                                     % (name, "pipe" if pipe else "file"))
                        os.remove(got)

                    measured = []
                    cat_times = []
                    with open(os.devnull, "wb") as out:
                        for pipe in hows:
                            ours_peak = run(ours, src, pipe, out, measured=True)[1]
                            py_peak = run(python, src, pipe, out, measured=True)[1]
                            ours_times, py_times = [], []
                            for _ in range(args.runs):
                                cat_times.append(run(["cat"], src, True, out)[0])
                                ours_times.append(run(ours, src, pipe, out)[0])
                                py_times.append(run(python, src, pipe, out)[0])
                            measured.append((pipe, statistics.median(ours_times),
                                             statistics.median(py_times), ours_peak, py_peak))
                            print("%s, %s done" % (name, "pipe" if pipe else "file"),
                                  file=sys.stderr)
                    cat_time = statistics.median(cat_times)
                    for pipe, ours_time, py_time, ours_peak, py_peak in measured:
                        rows.append((name, os.path.getsize(src), "pipe" if pipe else "file",
                                     ours_time, py_time, cat_time, ours_peak, py_peak))

    def ms(s):
        return "%.0f ms" % (s * 1e3)

    def mib_of(kib):
        return "%.0f MiB" % (kib / 1024)

    print("| run | input | ours | Python | cat \\| cat | Python / ours | ours / cat "
          "| ours, peak memory | Python, peak memory |")
    print("|---|---|---|---|---|---|---|---|---|")
    for name, size, how, ours_time, py_time, cat_time, ours_peak, py_peak in rows:
        print("| %s | %s, %.0f MiB | %s | %s | %s | %.1fx | %.1fx | %s | %s |"
              % (name, how, size / 2**20, ms(ours_time), ms(py_time), ms(cat_time),
                 py_time / ours_time, ours_time / cat_time, mib_of(ours_peak), mib_of(py_peak)))


if __name__ == "__main__":
    main()
