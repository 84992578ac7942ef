#!/usr/bin/env python3
"""report.py <raw> <size.md> <elapsed-s> <reps> <slow-reps> <huge-reps> <keys>:
the benchmark's table as Markdown (bench/results.md), from the raw lines
"<label> key=value ..." that bench/run.sh collected."""
import collections
import datetime
import os
import platform
import re
import statistics
import subprocess
import sys


def load(path):
    data = collections.defaultdict(lambda: collections.defaultdict(list))
    for line in open(path, errors="replace"):
        parts = line.split()
        if not parts:
            continue
        for item in parts[1:]:
            m = re.match(r"^(\w+)=([-0-9.]+)$", item)
            if m:
                data[parts[0]][m.group(1)].append(float(m.group(2)))
    return data


DATA = None


def values(label, key):
    return DATA.get(label, {}).get(key, [])


def med(label, key):
    v = values(label, key)
    return statistics.median(v) if v else None


def cell(label, key, unit="ms", scale=1.0):
    v = values(label, key)
    if not v:
        return "n/a"
    m = statistics.median(v) * scale
    if len(v) == 1:
        return "%s %s (1 run)" % (fmt(m), unit)
    return "%s %s [%s–%s, n=%d]" % (fmt(m), unit, fmt(min(v) * scale), fmt(max(v) * scale), len(v))


def fmt(x):
    return "{:,.0f}".format(x) if abs(x) >= 100 else "{:,.1f}".format(x)


def ratio(a, b):
    return "%.2f×" % (a / b) if a is not None and b else "n/a"


# Delivery, start of NuBenSetup to start of the installer, against `copy /b`
# of the same bytes (64 MiB and 256 MiB).
DELIVERY_TARGET = 1.3


def size_ceiling():
    """The bytes the exe may weigh without its payload: the ceiling that the
    release check holds it to (tests/release/CMakeLists.txt)."""
    here = os.path.dirname(os.path.abspath(__file__))
    text = open(os.path.join(here, "..", "..", "tests", "release", "CMakeLists.txt")).read()
    return int(re.search(r"set\(NUBEN_SIZE_CEILING (\d+)\)", text).group(1))


def verdict(value, limit):
    if value is None:
        return "n/a"
    return "met" if value <= limit else "**missed**"


# The same i386 ELF magic as scripts/setup.sh registers; an enabled entry
# with it means the kernel hands every 32-bit program to that interpreter.
I386_MAGIC_HEX = "7f454c4601010100000000000000000002000300"


def i386_loader(binfmt="/proc/sys/fs/binfmt_misc"):
    try:
        names = os.listdir(binfmt)
    except OSError:
        return None
    for name in sorted(names):
        if name in ("register", "status"):
            continue
        try:
            lines = open(os.path.join(binfmt, name)).read().splitlines()
        except OSError:
            continue
        if "enabled" in lines and "magic " + I386_MAGIC_HEX in lines:
            for line in lines:
                if line.startswith("interpreter "):
                    return line.split(" ", 1)[1]
    return None


def machine():
    cpu = "unknown CPU"
    try:
        for line in open("/proc/cpuinfo"):
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    try:
        wine = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()
    except OSError:
        wine = "wine ?"
    cores = subprocess.run(["nproc"], capture_output=True, text=True).stdout.strip()
    return "%s, %s cores, %s, Linux %s, %s" % (cpu, cores, platform.machine(), platform.release(), wine)


def main(raw, size_md, elapsed, reps, slow_reps, huge_reps, keys):
    global DATA
    DATA = load(raw)
    out = []
    w = out.append
    w("# NuBenSetup benchmark")
    w("")
    w("Run %s on %s; the whole bench took %s s (`bash bench/run.sh`)." % (
        datetime.datetime.now().strftime("%Y-%m-%d %H:%M"), machine(), elapsed))
    w("")
    loader = i386_loader()
    if loader:
        w("**Emulation.** 32-bit x86 programs run through `%s` (binfmt_misc): every 32-bit Windows program "
          "(NuBenSetup.exe, the bench programs, and the 32-bit `cmd.exe`/`reg.exe` from `C:\\windows\\syswow64`) "
          "runs under CPU emulation inside Wine, while the 64-bit tools in `C:\\windows\\system32` run natively." % loader)
    else:
        w("**Emulation.** None: this kernel runs 32-bit x86 programs itself, so the 32-bit and 64-bit tools "
          "both run natively under Wine.")
    w("")
    w("Ratios compare our 32-bit program with the 32-bit platform tool (like with like); the "
      "64-bit figure is given for scale only. Times are medians [min–max] of separate runs, each from "
      "process start to process end as seen by `bench_timer.exe` (QueryPerformanceCounter), and runs of "
      "the two sides alternate, so that both see the same load. %s runs each, except the platform's "
      "`rd` on 20,000 files (%s) and 80,000 files (%s), which takes minutes per run under Wine." % (
          reps, slow_reps, huge_reps))
    w("")
    w("| # | Figure | NuBenSetup (ours) | Platform tool, 32-bit | Ratio | Target | Result | 64-bit native tool (scale) |")
    w("|---|---|---|---|---|---|---|---|")
    for size, label in (("1m", "1 MiB"), ("64m", "64 MiB"), ("256m", "256 MiB")):
        r = (med("delivery.%s.setup" % size, "stamp_ms") or 0) / (med("delivery.%s.copy32" % size, "exit_ms") or 1)
        target = "≤ %.1f× (64 MiB and up)" % DELIVERY_TARGET if size != "1m" else "(none)"
        result = verdict(r, DELIVERY_TARGET) if size != "1m" else "—"
        w("| 1 | Delivery %s: start of NuBenSetup → start of the installer, vs `cmd /c copy /b` | %s | %s | %s | %s | %s | %s |" % (
            label, cell("delivery.%s.setup" % size, "stamp_ms"), cell("delivery.%s.copy32" % size, "exit_ms"),
            ratio(med("delivery.%s.setup" % size, "stamp_ms"), med("delivery.%s.copy32" % size, "exit_ms")),
            target, result, cell("delivery.%s.copy64" % size, "exit_ms")))
    r = ratio(med("startup.setup", "exit_ms"), med("startup.noopchild", "exit_ms"))
    w("| 2 | Start-up: whole nothing-installed run, 1 KiB payload, vs a do-nothing GUI exe that starts a do-nothing child | %s | %s (do-nothing exe, same toolchain) | %s | ≤ 1.2× | %s | — |" % (
        cell("startup.setup", "exit_ms"), cell("startup.noopchild", "exit_ms"), r,
        verdict((med("startup.setup", "exit_ms") or 0) / (med("startup.noopchild", "exit_ms") or 1), 1.2)))
    for files in ("2000", "20000", "80000"):
        a, b = med("folder.%s.ours" % files, "exit_ms"), med("folder.%s.rd32" % files, "exit_ms")
        target = "≤ 1.0×" if files == "20000" else "(linear)"
        result = verdict(a / b if a and b else None, 1.0) if files == "20000" else "—"
        w("| 3 | Folder removal, %s files + %s folders: `RemoveFolder` vs `cmd /c rd /s /q` | %s | %s | %s | %s | %s | %s |" % (
            format(int(files), ","), format(int(files) // 20 + -(-int(files) // 20 // 50), ","),
            cell("folder.%s.ours" % files, "exit_ms"), cell("folder.%s.rd32" % files, "exit_ms"),
            ratio(a, b), target, result, cell("folder.%s.rd64" % files, "exit_ms")))
    a, b = med("registry.ours", "exit_ms"), med("registry.reg32", "exit_ms")
    w("| 4 | Registry removal, %s keys 5 levels deep, 2 values each: `DeleteKeyTree` vs `reg delete /f` | %s | %s | %s | ≤ 1.0× | %s | %s |" % (
        format(int(keys), ","), cell("registry.ours", "exit_ms"), cell("registry.reg32", "exit_ms"),
        ratio(a, b), verdict(a / b if a and b else None, 1.0), cell("registry.reg64", "exit_ms")))
    added = med("memory.deliver.256m", "added_kb")
    w("| 5 | Memory: private bytes added while `ExtractResourceToFile` writes 256 MiB (1 MiB: %s) | %s | — | — | ≤ 4 MiB, independent of size | %s | — |" % (
        cell("memory.deliver.1m", "added_kb", "KiB"), cell("memory.deliver.256m", "added_kb", "KiB"),
        verdict(added / 1024 if added is not None else None, 4.0)))
    size_total = None
    for line in open(size_md):
        m = re.search(r"\*\*([0-9,]+)\*\* \|$", line)
        if m:
            size_total = int(m.group(1).replace(",", ""))
    ceiling = size_ceiling()
    w("| 6 | Size: exe minus payload | %s bytes | — | — | ≤ %s bytes (%d KiB) | %s | — |" % (
        format(size_total, ",") if size_total else "n/a", format(ceiling, ","), ceiling // 1024,
        verdict(size_total, ceiling)))
    w("")
    w("Per entry, `RemoveFolder` (in-process call time / (files + folders)): " + ", ".join(
        "%s files %.3f ms" % (format(int(f), ","), (med("folder.%s.ours" % f, "call_ms") or 0) /
                               (int(f) + int(f) // 20 + -(-int(f) // 20 // 50)))
        for f in ("2000", "20000", "80000")) + ". In-process call times: " + ", ".join(
        "%s files %s" % (format(int(f), ","), cell("folder.%s.ours" % f, "call_ms")) for f in ("2000", "20000", "80000"))
        + "; `DeleteKeyTree` %s." % cell("registry.ours", "call_ms"))
    w("")
    w("Delivery, in-process: `CopyFileA` of the same bytes " + ", ".join(
        "%s %s" % (s, cell("delivery.%s.copyfile" % s, "copy_ms")) for s in ("1m", "64m", "256m")) +
      "; one `WriteFile` of the same bytes from a mapped view (no code of ours) " + ", ".join(
        "%s %s" % (s, cell("delivery.%s.writemapped" % s, "write_ms")) for s in ("1m", "64m", "256m")) +
      "; `ExtractResourceToFile` from the bootstrapper mapped as a data file " + ", ".join(
        "%s %s" % (s, cell("memory.deliver.%s" % s, "call_ms")) for s in ("1m", "256m")) + ".")
    w("")
    w("Start-up, more: the same run with a 1 KiB payload that is no program (the installer's start fails "
      "at once, no second process) %s, against the do-nothing exe alone %s." % (
          cell("startup.nostart", "exit_ms"), cell("startup.noop", "exit_ms")))
    w("")
    w("Memory, more: Wine's loader adds %s of private memory when it maps the 256 MiB bootstrapper as an "
      "image (1 MiB: %s) before any of our code runs. Peak anonymous memory of whole Wine processes, "
      "seen from Linux (includes Wine%s): do-nothing exe %s, NuBenSetup 1 MiB %s, NuBenSetup 256 MiB %s." % (
          cell("memory.mapimage.256m", "added_kb", "KiB"), cell("memory.mapimage.1m", "added_kb", "KiB"),
          " and the emulator" if loader else "",
          cell("memory.process.bench_noop", "peak_anon_kb", "KiB"),
          cell("memory.process.NuBenSetup_1m", "peak_anon_kb", "KiB"),
          cell("memory.process.NuBenSetup_256m", "peak_anon_kb", "KiB")))
    left = [l for l in DATA if "left" in DATA[l]]
    if left:
        w("")
        w("Trees not fully removed: " + ", ".join("%s (%d entries left)" % (l, max(DATA[l]["left"])) for l in left) + ".")
    w("")
    w("## Size")
    w("")
    w(open(size_md).read().rstrip())
    print("\n".join(out))


if __name__ == "__main__":
    if len(sys.argv) != 8:
        sys.exit(__doc__)
    main(*sys.argv[1:])
