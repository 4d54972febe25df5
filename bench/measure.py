#!/usr/bin/env python3
"""Runs a command several times and prints "wall cpu": the best wall time and
the best CPU time (user + system) in seconds, both to the microsecond. The
command is started with posix_spawn, so that no copy of this interpreter's
pages is charged to it. (Its peak memory cannot be read here: the kernel
hands the spawning process's peak to the child at exec; GNU time, a small
process, measures that.)
Usage: measure.py RUNS INPUT OUTPUT CMD...  (INPUT "-": no standard input)"""
import os
import shutil
import sys
import time

runs, input_path, output_path, command = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4:]
best_wall = best_cpu = float("inf")
program = shutil.which(command[0]) or command[0]
for _ in range(runs):
    stdin = os.open(input_path if input_path != "-" else os.devnull, os.O_RDONLY)
    stdout = os.open(output_path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    stderr = os.open(os.devnull, os.O_WRONLY)
    actions = [(os.POSIX_SPAWN_DUP2, stdin, 0), (os.POSIX_SPAWN_DUP2, stdout, 1),
               (os.POSIX_SPAWN_DUP2, stderr, 2)]
    start = time.perf_counter()
    pid = os.posix_spawn(program, command, os.environ, file_actions=actions)
    _, status, usage = os.wait4(pid, 0)
    wall = time.perf_counter() - start
    for fd in (stdin, stdout, stderr):
        os.close(fd)
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{command[0]} exited with {os.waitstatus_to_exitcode(status)}")
    best_wall = min(best_wall, wall)
    best_cpu = min(best_cpu, usage.ru_utime + usage.ru_stime)
print(f"{best_wall:.6f} {best_cpu:.6f}")
