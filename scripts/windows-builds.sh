#!/bin/sh
# Prints the Windows builds this host can run under Wine, the main one first:
# "win32 win64" where the kernel runs 32-bit x86 code, "win64" where it runs
# 64-bit code only. Found by trying, not guessed: the 32-bit Wine loader (an
# i386 program) is started, and only the kernel's "Exec format error" (ENOEXEC,
# as on kernels with IA-32 emulation off) counts as "no 32-bit code here"; any
# other failure leaves win32 in, so that its tests run and fail loudly.
# Says on standard error why win32 is left out.
#
# VANTOREL_64BIT_ONLY=1 takes the 64-bit-only path on any host.
loader32=/usr/lib/wine/wine
if [ "${VANTOREL_64BIT_ONLY:-0}" = 1 ]; then
  echo "windows-builds: VANTOREL_64BIT_ONLY=1: acting as a host that runs 64-bit code only" >&2
  echo win64
  exit 0
fi
why=$("$loader32" --version 2>&1 >/dev/null)
rc=$?
if [ $rc -eq 126 ] && echo "$why" | grep -q "Exec format error"; then
  echo "windows-builds: this host runs 64-bit code only ($loader32: Exec format error)" >&2
  echo win64
else
  echo "win32 win64"
fi
