#!/usr/bin/env python3
"""Runs commands side by side in interleaved rounds and compares each with the first.

Usage: bench/engine/paired.py ROUNDS NAME COMMAND [NAME COMMAND ...]

Each round runs every command once, in a new random order, and divides each command's time by
the first command's time in that round. The table gives the median of those ratios beside the
median and least wall time and the median CPU time (user and system, all threads).

On a machine whose speed drifts over seconds (a virtual machine sharing its host), hyperfine's
runs of one command after another can land in different phases; a ratio taken within a round
compares the commands in the same phase.
"""

import random
import resource
import shlex
import statistics
import subprocess
import sys
import time


def run_once(argv):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    done = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime
    if done.returncode != 0:
        sys.exit(f"failed (exit {done.returncode}): {shlex.join(argv)}")
    return wall * 1000, cpu * 1000


def main():
    if len(sys.argv) < 4 or len(sys.argv) % 2 != 0:
        sys.exit(__doc__)
    rounds = int(sys.argv[1])
    pairs = sys.argv[2:]
    commands = [(pairs[i], shlex.split(pairs[i + 1])) for i in range(0, len(pairs), 2)]
    wall = {name: [] for name, _ in commands}
    cpu = {name: [] for name, _ in commands}
    ratio = {name: [] for name, _ in commands}
    for _, argv in commands:  # warm-up: the files in the cache, the programs loaded
        run_once(argv)
    for _ in range(rounds):
        order = commands[:]
        random.shuffle(order)
        this_round = {}
        for name, argv in order:
            w, c = run_once(argv)
            wall[name].append(w)
            cpu[name].append(c)
            this_round[name] = w
        first = commands[0][0]
        for name, _ in commands:
            ratio[name].append(this_round[name] / this_round[first])
    first = commands[0][0]
    print(f"| Command ({rounds} rounds) | median ms | least ms | CPU ms | ratio to {first} |")
    print("|---|---:|---:|---:|---:|")
    for name, _ in commands:
        print(f"| {name} | {statistics.median(wall[name]):.1f} | {min(wall[name]):.1f} | "
              f"{statistics.median(cpu[name]):.1f} | {statistics.median(ratio[name]):.3f} |")


if __name__ == "__main__":
    main()
