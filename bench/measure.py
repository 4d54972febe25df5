#!/usr/bin/env python3
"""Runs a command several times; prints the best wall time in seconds and the
peak resident set size in KiB of one run.  Usage: measure.py RUNS OUT CMD..."""
import resource
import subprocess
import sys
import time

runs, out_path, command = int(sys.argv[1]), sys.argv[2], sys.argv[3:]
best = float("inf")
for _ in range(runs):
    with open(out_path, "wb") as out:
        start = time.perf_counter()
        subprocess.run(command, stdout=out, check=True)
        best = min(best, time.perf_counter() - start)
peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
print(f"{best:.6f} {peak}")
