#!/usr/bin/env python3
"""Two builds' `PROGRAM --export DIR`, timed in turns so that both meet the same machine.

    bench/export_turns.py BEFORE_BIN_DIR AFTER_BIN_DIR [PROGRAM] [PAIRS]

Prints the medians and the fastest of each (the wall clock, the folder made afresh each time
under $OUT, by default a folder in the system's temporary one: a disk, so that the flushes to
it count), the median of the pairs' ratios (after / before) and the CPU time of each.
"""
import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def main():
    before, after = sys.argv[1], sys.argv[2]
    program = sys.argv[3] if len(sys.argv) > 3 else "figure1"
    pairs = int(sys.argv[4]) if len(sys.argv) > 4 else 21
    out = os.environ.get("OUT") or os.path.join(tempfile.gettempdir(), "export_turns")

    def run(bin_dir):
        shutil.rmtree(out, ignore_errors=True)
        used = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        subprocess.run([os.path.join(bin_dir, program), "--export", out],
                       stdout=subprocess.DEVNULL, check=True)
        wall = (time.perf_counter() - start) * 1000
        now = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpu = (now.ru_utime - used.ru_utime + now.ru_stime - used.ru_stime) * 1000
        return wall, cpu

    walls, cpus, ratios = ([], []), ([], []), []
    for i in range(pairs + 1):
        first, second = run(before), run(after)
        if i == 0:  # a warm-up pair: the programs come into the cache
            continue
        for side, (wall, cpu) in enumerate((first, second)):
            walls[side].append(wall)
            cpus[side].append(cpu)
        ratios.append(second[0] / first[0])
    shutil.rmtree(out, ignore_errors=True)
    median = statistics.median
    print(f"{program} --export, {pairs} pairs in turns, wall ms: before {median(walls[0]):.1f} "
          f"(fastest {min(walls[0]):.1f}), after {median(walls[1]):.1f} (fastest "
          f"{min(walls[1]):.1f}); median of the pairs' ratios {median(ratios):.2f}; CPU ms: "
          f"before {median(cpus[0]):.1f}, after {median(cpus[1]):.1f}")


if __name__ == "__main__":
    main()
