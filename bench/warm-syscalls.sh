#!/bin/sh
# Every system call of a warm pass of 100,000 VIN lookups on the 1,000,000-row
# master, counted by strace between the two marks engine_bench --warm-marks
# writes. A warm lookup makes none; the only ones allowed are the change
# checks, which look at each open table's two files (stat) at most once a
# second. Exits 1 when anything else shows, or more checks than that.
#
# usage: bench/warm-syscalls.sh [BUILD_DIR]   (default build/bench)
set -eu
build=${1:-build/bench}
bench="$build/bin/engine_bench"
command -v strace >/dev/null || { echo "warm-syscalls: strace is not installed" >&2; exit 2; }
[ -x "$bench" ] || { echo "warm-syscalls: no $bench (build the bench preset)" >&2; exit 2; }
trace=$(mktemp)
trap 'rm -f "$trace"' EXIT
summary=$(strace -f -qq -o "$trace" "$bench" --warm-marks)
echo "$summary"
seconds=$(echo "$summary" | sed -n 's/.* in \([0-9.]*\) s.*/\1/p')
awk -v seconds="$seconds" '
    /write\(-1, "warm pass begins"/ { inside = 1; next }
    /write\(-1, "warm pass ends"/   { inside = 0; next }
    inside {
        name = $2; sub(/\(.*/, "", name)
        calls[name]++; total++
    }
    END {
        checks = 0; other = 0
        for (name in calls) {
            printf "  %-20s %d\n", name, calls[name]
            if (name ~ /^(stat|newfstatat|statx)$/) checks += calls[name]; else other += calls[name]
        }
        # Three tables of two files each, once a second, and once more for
        # a second begun part-way.
        allowed = 6 * (int(seconds) + 2)
        printf "warm pass: %d system calls (%d change checks, at most %d allowed; %d others)\n",
               total, checks, allowed, other
        exit (other == 0 && checks <= allowed) ? 0 : 1
    }' "$trace"
