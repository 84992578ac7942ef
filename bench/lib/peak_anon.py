#!/usr/bin/env python3
"""peak_anon.py <command...>: runs the command (a `wine prog.exe`) and
prints "peak_anon_kb=N samples=M": the highest RssAnon that Linux reports
for its process, sampled every 2 ms until it ends. Wine's own "private
bytes" of a process are this same RssAnon (plus swap); under qemu-user it
also holds the emulator's own memory, so compare processes, not absolutes.
Output of the command goes to /dev/null: a pipe would be held open by
Wine's background processes.
"""
import subprocess
import sys
import time


def rss_anon_kb(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("RssAnon:"):
                    return int(line.split()[1])
    except OSError:
        return None
    return None


def main(argv):
    if len(argv) < 2:
        sys.exit(__doc__)
    proc = subprocess.Popen(argv[1:], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    peak = samples = 0
    while proc.poll() is None:
        value = rss_anon_kb(proc.pid)
        if value is not None:
            peak = max(peak, value)
            samples += 1
        time.sleep(0.002)
    print("peak_anon_kb=%d samples=%d exit_code=%d" % (peak, samples, proc.returncode))


if __name__ == "__main__":
    main(sys.argv)
