#!/usr/bin/env python3
"""Our codec against the tools on this machine that do the same jobs.

    bench/peers.py [BUILD_DIR] [--mib N] [--pages warm|cold] [--keep]

BUILD_DIR (default build/native) must hold bench/hex_tool, built beforehand;
this script builds nothing. It generates the inputs once (random bytes, ASCII
text and Chinese text, N MiB each, 16 by default; the texts are N MiB of
UTF-16, the same generators as codec_bench), and on those same inputs, in
this one run:

  1. runs every implementation once and checks that its output equals ours
     byte for byte (ours is checked to go round trip first); a peer whose
     format differs by definition is compared after the one normalisation
     its format calls for, named in the table's notes;
  2. times every implementation that passed: ours (bench/hex_tool, in
     process), Python 3 and Node in process (the interpreter's start-up and
     the file reads stay out of the time), and iconv, xxd and dd as whole
     processes (start-up and file I/O included: they have no other way);
  3. prints one table: operation, implementation, MB/s, ratio to ours.

Every time is the best of several runs. MB is 10^6 bytes, always of the same
quantity within an operation, whatever form each implementation takes its
input in, so that ratios are ratios of time on the same data:
  bytes -> hex   the bytes                       (N MiB)
  hex -> bytes   the canonical hex text, 1 byte per character (3N MiB - 1)
  text -> ...    the text as UTF-16, 2 bytes per code unit    (N MiB)
  hex -> text    the canonical hex text, 1 byte per character
  copy           the bytes copied

Every process runs with the same page policy (--pages): warm (the default)
tells glibc's allocator never to hand memory back to the system, so repeated
outputs land on pages already mapped, as in codec_bench's default; cold leaves
the allocator as it is, so large outputs pay fresh page faults each time.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

WARM_TUNABLES = "glibc.malloc.mmap_max=0:glibc.malloc.trim_threshold=68719476736"

# Python in process: python3 -c PY_TIMER OP IN OUT MODE (MODE check or time).
PY_TIMER = r"""
import sys, time
op, src, dst, mode = sys.argv[1:5]
raw = open(src, 'rb').read()
if op == 'bytes-to-hex':
    arg = raw; f = lambda d: d.hex(' ').upper().encode('ascii')
elif op == 'hex-to-bytes':
    arg = raw.decode('ascii'); f = lambda h: bytes.fromhex(h)
elif op == 'text-to-bytes':
    arg = raw.decode('utf-16-le'); f = lambda s: s.encode('cp936')
elif op == 'text-to-hex':
    arg = raw.decode('utf-16-le'); f = lambda s: s.encode('cp936').hex(' ').upper().encode('ascii')
elif op == 'hex-to-text':
    arg = raw.decode('ascii'); f = lambda h: bytes.fromhex(h).decode('cp936')
else:
    sys.exit('unknown op ' + op)
best, total, n = 1e30, 0.0, 0
while n < (1 if mode == 'check' else 3) or (mode == 'time' and total < 0.5 and n < 50):
    t = time.perf_counter(); out = f(arg); s = time.perf_counter() - t
    best, total, n = min(best, s), total + s, n + 1
if isinstance(out, str):
    out = out.encode('utf-16-le')
if mode == 'check':
    open(dst, 'wb').write(out)
print('seconds=%.9f' % best)
"""

# Node in process: node -e NODE_TIMER OP IN OUT MODE.
NODE_TIMER = r"""
const fs = require('fs');
const [op, src, dst, mode] = process.argv.slice(1);
const raw = fs.readFileSync(src);
let arg, f;
if (op === 'bytes-to-hex') { arg = raw; f = (b) => b.toString('hex'); }
else if (op === 'hex-to-bytes') { arg = raw.toString('latin1'); f = (h) => Buffer.from(h, 'hex'); }
else if (op === 'hex-to-text') {
  arg = raw.toString('latin1');
  const gbk = new TextDecoder('gbk');
  f = (h) => gbk.decode(Buffer.from(h, 'hex'));
} else { console.error('unknown op ' + op); process.exit(1); }
let best = 1e30, total = 0, n = 0, out;
while (n < (mode === 'check' ? 1 : 3) || (mode === 'time' && total < 0.5 && n < 50)) {
  const t = process.hrtime.bigint(); out = f(arg);
  const s = Number(process.hrtime.bigint() - t) / 1e9;
  best = Math.min(best, s); total += s; n++;
}
if (typeof out === 'string') out = Buffer.from(out, op === 'hex-to-text' ? 'utf16le' : 'latin1');
if (mode === 'check') fs.writeFileSync(dst, out);
console.log('seconds=' + best.toFixed(9));
"""


class Bench:
    def __init__(self, build, work, env):
        self.hex_tool = os.path.join(build, "bench", "hex_tool")
        self.work = work
        self.env = env
        self.rows = []  # (operation, implementation, seconds or None, reference bytes, note)
        self.notes = []

    def path(self, name):
        return os.path.join(self.work, name)

    def run(self, argv, stdout=None):
        done = subprocess.run(argv, env=self.env, stdout=stdout or subprocess.PIPE,
                              stderr=subprocess.PIPE, check=False)
        if done.returncode != 0:
            raise RuntimeError("%s failed: %s" % (" ".join(argv), done.stderr.decode(errors="replace")))
        return done

    @staticmethod
    def seconds_of(done):
        for word in done.stdout.decode().split():
            if word.startswith("seconds="):
                return float(word[len("seconds="):])
        raise RuntimeError("no time in: " + done.stdout.decode())

    # Ways to run one implementation: each returns seconds (best) and leaves its
    # output at `out` when mode is "check".
    def ours(self, op, src, out, mode):
        return self.seconds_of(self.run([self.hex_tool, "time", op, src, out]))

    def python(self, op, src, out, mode):
        return self.seconds_of(self.run([sys.executable, "-c", PY_TIMER, op, src, out, mode]))

    def node(self, op, src, out, mode):
        return self.seconds_of(self.run(["node", "-e", NODE_TIMER, op, src, out, mode]))

    def shell(self, command):
        """A whole pipeline as one process tree, timed from outside: $IN, $OUT."""
        def run(op, src, out, mode):
            env = dict(self.env, IN=src, OUT=out)
            best = 1e30
            for _ in range(1 if mode == "check" else 3):
                start = time.perf_counter()
                done = subprocess.run(["bash", "-o", "pipefail", "-c", command], env=env,
                                      stderr=subprocess.PIPE, check=False)
                best = min(best, time.perf_counter() - start)
                if done.returncode != 0:
                    raise RuntimeError("%s failed: %s" % (command, done.stderr.decode(errors="replace")))
            return best
        return run

    def case(self, operation, reference_bytes, implementations, expected, ours_first=True):
        """Checks every implementation's output against `expected` (bytes), then
        times the ones that match. implementations: (name, runner, op, input,
        normalise, note); normalise maps expected to the form that peer writes
        and the peer's output to the form compared (both functions of bytes)."""
        for name, runner, op, src, normalise, note in implementations:
            out = self.path("out")
            if os.path.exists(out):
                os.remove(out)
            try:
                runner(op, src, out, "check")
                with open(out, "rb") as f:
                    got = f.read()
                want_form, got_form = normalise
                if got_form(got) != want_form(expected):
                    self.rows.append((operation, name, None, reference_bytes,
                                      "OUTPUT DIFFERS from ours: not timed"))
                    continue
            except (RuntimeError, FileNotFoundError) as e:
                self.rows.append((operation, name, None, reference_bytes, "failed: %s" % str(e)[:60]))
                continue
            os.remove(out)
            seconds = runner(op, src, out, "time")
            self.rows.append((operation, name, seconds, reference_bytes, note))

    def table(self):
        lines = []
        header = ("operation", "implementation", "MB/s", "vs ours", "notes")
        body = []
        ours = {}
        for operation, name, seconds, ref, note in self.rows:
            if name.startswith("ours") and seconds:
                ours.setdefault(operation, ref / seconds)
        for operation, name, seconds, ref, note in self.rows:
            if seconds:
                rate = ref / seconds
                ratio = rate / ours[operation] if operation in ours else float("nan")
                body.append((operation, name, "%.0f" % (rate / 1e6), "%.3f" % ratio, note))
            else:
                body.append((operation, name, "-", "-", note))
        widths = [max(len(r[i]) for r in [header] + body) for i in range(5)]
        fmt = "| " + " | ".join("%%-%ds" % w for w in widths) + " |"
        lines.append(fmt % header)
        lines.append("|" + "|".join("-" * (w + 2) for w in widths) + "|")
        for r in body:
            lines.append(fmt % r)
        return "\n".join(lines)


def identity(b):
    return b


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("build", nargs="?", default="build/native")
    parser.add_argument("--mib", type=int, default=16)
    parser.add_argument("--pages", choices=("warm", "cold"), default="warm")
    parser.add_argument("--keep", action="store_true", help="keep the inputs and outputs")
    args = parser.parse_args()

    hex_tool = os.path.join(args.build, "bench", "hex_tool")
    if not os.access(hex_tool, os.X_OK):
        sys.exit("peers: %s is missing: build the benchmarks first (cmake --build %s --target hex_tool)"
                 % (hex_tool, args.build))
    env = dict(os.environ, LC_ALL="C")
    if args.pages == "warm":
        env["GLIBC_TUNABLES"] = WARM_TUNABLES
    else:
        env.pop("GLIBC_TUNABLES", None)

    work = tempfile.mkdtemp(prefix="vantorel-peers-")
    started = time.perf_counter()
    try:
        b = Bench(args.build, work, env)
        p = b.path
        mib = args.mib
        # Inputs.
        b.run([hex_tool, "gen", "random", str(mib), p("random.bin")])
        inputs = {}
        for script in ("ascii", "chinese"):
            b.run([hex_tool, "gen", script, str(mib), p(script + ".utf8")])
            with open(p(script + ".utf8"), "rb") as f:
                text = f.read().decode("utf-8")
            utf16 = text.encode("utf-16-le")
            with open(p(script + ".utf16"), "wb") as f:
                f.write(utf16)
            inputs[script] = (text, utf16)
        with open(p("random.bin"), "rb") as f:
            random_bytes = f.read()

        # Our outputs, which every peer is held to; ours must go round trip.
        def ours_output(op, src, dst):
            b.run([hex_tool, "time", op, src, dst])
            with open(dst, "rb") as f:
                return f.read()

        hex_random = ours_output("bytes-to-hex", p("random.bin"), p("random.hex"))
        if ours_output("hex-to-bytes", p("random.hex"), p("random.back")) != random_bytes:
            sys.exit("peers: our hex text of the random bytes does not read back as them")
        with open(p("random.hex.nospace"), "wb") as f:
            f.write(hex_random.replace(b" ", b""))

        have = {tool: shutil.which(tool) is not None for tool in ("node", "iconv", "xxd", "dd")}
        for tool, there in have.items():
            if not there:
                b.notes.append("%s is not installed here: its rows are missing." % tool)

        no_space = (lambda e: e.replace(b" ", b""), identity)
        no_space_lower = (lambda e: e.replace(b" ", b"").lower(), identity)
        no_newline = (lambda e: e.replace(b" ", b""), lambda g: g.replace(b"\n", b""))
        same = (identity, identity)

        # Bytes to hex text.
        impls = [("ours: WriteHex (narrow)", b.ours, "bytes-to-hex", p("random.bin"), same, ""),
                 ("Python bytes.hex(' ').upper()", b.python, "bytes-to-hex", p("random.bin"), same, "")]
        if have["node"]:
            impls.append(("Node Buffer.toString('hex')", b.node, "bytes-to-hex", p("random.bin"),
                          no_space_lower, "writes lower case, no spaces; compared so, not upper-cased"))
        if have["xxd"]:
            impls.append(("xxd -p -u", b.shell('xxd -p -u "$IN" > "$OUT"'), "", p("random.bin"),
                          no_newline, "no spaces, a line feed every 30 bytes; compared without both; process"))
        b.case("bytes -> hex", mib << 20, impls, hex_random)

        # Hex text to bytes: canonical hex text (with spaces) where the peer reads it.
        hex_len = len(hex_random)
        impls = [("ours: HexToBytes (narrow)", b.ours, "hex-to-bytes", p("random.hex"), same, ""),
                 ("Python bytes.fromhex", b.python, "hex-to-bytes", p("random.hex"), same, "")]
        if have["node"]:
            impls.append(("Node Buffer.from(hex, 'hex')", b.node, "hex-to-bytes", p("random.hex.nospace"),
                          same, "reads no spaces: given the hex text without them (2/3 as long)"))
        if have["xxd"]:
            impls.append(("xxd -r -p", b.shell('xxd -r -p "$IN" > "$OUT"'), "", p("random.hex"), same,
                          "process"))
        b.case("hex -> bytes", hex_len, impls, random_bytes)

        for script in ("ascii", "chinese"):
            text, utf16 = inputs[script]
            src16 = p(script + ".utf16")
            cp936 = ours_output("text-to-bytes", src16.replace(".utf16", ".utf8"), p(script + ".936"))
            # The text round trip of ours.
            hex_text = ours_output("text-to-hex", p(script + ".utf8"), p(script + ".hex"))
            if hex_text != cp936.hex(" ").upper().encode("ascii"):
                sys.exit("peers: our TextToHex disagrees with our own bytes, %s" % script)
            back = ours_output("hex-to-text", p(script + ".hex"), p(script + ".back"))
            if back != text.encode("utf-8"):
                sys.exit("peers: our HexToText does not give the %s text back" % script)
            with open(p(script + ".hex.nospace"), "wb") as f:
                f.write(hex_text.replace(b" ", b""))

            # hex_tool reads and writes text as UTF-8 around the timed call.
            impls = [("ours: EncodeText", b.ours, "text-to-bytes", p(script + ".utf8"), same,
                      "UTF-16 in, as the codec takes it"),
                     ("Python str.encode('cp936')", b.python, "text-to-bytes", src16, same, "")]
            if have["iconv"]:
                impls.append(("iconv -f UTF-16LE -t CP936", b.shell('iconv -f UTF-16LE -t CP936 "$IN" > "$OUT"'),
                              "", src16, same, "process"))
            b.case("text -> CP936 bytes, " + script, len(utf16), impls, cp936)

            impls = [("ours: TextToHex", b.ours, "text-to-hex", p(script + ".utf8"), same, ""),
                     ("Python encode('cp936').hex(' ').upper()", b.python, "text-to-hex", src16, same, "")]
            if have["iconv"] and have["xxd"]:
                impls.append(("iconv | xxd -p -u", b.shell('iconv -f UTF-16LE -t CP936 "$IN" | xxd -p -u > "$OUT"'),
                              "", src16, no_newline, "as xxd above; two processes, one on each core"))
            b.case("text -> hex, " + script, len(utf16), impls, hex_text)

            utf16_out = (identity, identity)
            impls = [("ours: HexToText", b.ours, "hex-to-text", p(script + ".hex"),
                      (lambda e: e, lambda g: g.decode("utf-8").encode("utf-16-le")),
                      "UTF-16 in and out, as the codec takes and gives them")]
            impls.append(("Python bytes.fromhex(h).decode('cp936')", b.python, "hex-to-text", p(script + ".hex"),
                          utf16_out, ""))
            if have["node"]:
                impls.append(("Node Buffer.from(h, 'hex'), TextDecoder('gbk')", b.node, "hex-to-text",
                              p(script + ".hex.nospace"), utf16_out, "given the hex text without spaces"))
            if have["iconv"] and have["xxd"]:
                impls.append(("xxd -r -p | iconv -f CP936", b.shell('xxd -r -p "$IN" | iconv -f CP936 -t UTF-16LE > "$OUT"'),
                              "", p(script + ".hex"), utf16_out, "two processes"))
            b.case("hex -> text, " + script, len(hex_text), impls, utf16)

        # The limit: copying the bytes.
        impls = [("ours: memcpy (in process)", b.ours, "memcpy", p("random.bin"), same, "the memory's limit")]
        if have["dd"]:
            impls.append(("dd bs=1M", b.shell('dd if="$IN" of="$OUT" bs=1M status=none'), "", p("random.bin"),
                          same, "file to file through the page cache; process"))
        b.case("copy", mib << 20, impls, random_bytes)

        print(b.table())
        for note in b.notes:
            print(note)
        print("%d MiB inputs; pages %s; %.0f s in all." % (mib, args.pages, time.perf_counter() - started))
    finally:
        if args.keep:
            print("inputs and outputs kept in", work)
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
