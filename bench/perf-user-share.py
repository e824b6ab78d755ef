#!/usr/bin/env python3
"""Per-library shares of a `perf record` profile (recorded without -g), with the samples that land on
the instruction right after a `syscall` instruction (or after the wrapper's error check that follows
it) counted as kernel time.

Without hardware counters (virtual machines) perf samples with a timer, and a tick that arrives while
the kernel runs a system call is delivered, and charged, on the return to user space: the C library's
system-call wrappers (fstatat, openat, close, syscall) then look expensive although their own code is a
few instructions.
Usage: bench/perf-user-share.py perf.data"""
import collections, re, subprocess, sys

data = sys.argv[1] if len(sys.argv) > 1 else "perf.data"
run = lambda *args: subprocess.run(["perf", "script", "-i", data, *args], capture_output=True, text=True).stdout

maps = collections.defaultdict(list)  # file -> [(start, length, file offset)] of executable mappings
for line in run("--show-mmap-events").splitlines():
    m = re.search(r"PERF_RECORD_MMAP2? .*\[(0x[0-9a-f]+)\((0x[0-9a-f]+)\) @ (0x[0-9a-f]+|0)[^\]]*\]: (\S+) (.*)$", line)
    if m and "x" in m.group(4):
        maps[m.group(5).strip()].append((int(m.group(1), 16), int(m.group(2), 16), int(m.group(3), 16)))

files = {}
def follows_syscall(dso, ip):
    if not dso.startswith("/"):
        return False
    for start, length, offset in maps.get(dso, []):
        if start <= ip < start + length:
            if dso not in files:
                files[dso] = open(dso, "rb")
            # `syscall` right before, or `syscall` then the wrapper's error check (cmp eax/rax, imm32)
            files[dso].seek(ip - start + offset - 8)
            before = files[dso].read(8)
            return (before[6:] == b"\x0f\x05" or (before[1:3] == b"\x0f\x05" and before[3] == 0x3d) or
                    (before[0:2] == b"\x0f\x05" and before[2:4] == b"\x48\x3d"))
    return False

counts = collections.Counter()
moved = collections.Counter()
total = 0
for line in run("-F", "ip,dso").splitlines():
    m = re.match(r"\s*([0-9a-f]+)\s+\((.*)\)\s*$", line)
    if not m:
        continue
    total += 1
    dso, ip = m.group(2), int(m.group(1), 16)
    if follows_syscall(dso, ip):
        moved[dso] += 1
        counts["[kernel: system call time charged on its return]"] += 1
    else:
        counts[dso] += 1
print("%d samples" % total)
for dso, n in counts.most_common():
    note = "   (%.2f%% more on the instruction after a syscall)" % (100.0 * moved[dso] / total) if moved[dso] else ""
    print("%6.2f%%  %s%s" % (100.0 * n / total, dso, note))
