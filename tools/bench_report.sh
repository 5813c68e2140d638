#!/usr/bin/env bash
# Benchmark of the batch text report, the program's main job: builds vexa
# when needed, then runs `vexa -txt=` on the x58 sample machine and on the
# host a few times, each run in fresh program, temporary and object
# namespace folders, and prints the wall time and peak memory (maximum
# resident set size) of every run and their medians.
#
# Targets, kept by every change as its detection domain lands: at most
# 1.8 s wall time per run, of which the start-up's fixed waits are about
# 1.5 s (the scan's 1000 ms pause before its first refresh, and the
# measurement intervals of the timers and clocks), and at most 30 MB peak
# memory.
#
# Usage: tools/bench_report.sh [runs]    (5 runs per machine by default)
set -euo pipefail

runs=${1:-5}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/default"
target_wall=1.8
target_mb=30

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset default -S "$root" >/dev/null
fi
cmake --build "$build" --target vexa >/dev/null
vexa="$build/app/vexa"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# One run: prints "<wall seconds> <peak KiB>".
measure() {
  local machine=$1 run=$2
  local dir="$scratch/$run"
  mkdir -p "$dir/program" "$dir/temp" "$dir/objects"
  chmod 700 "$dir/objects"
  local environment=(PATH=/usr/bin:/bin VEXA_PROGRAM_DIR="$dir/program" TMPDIR="$dir/temp"
                     VEXA_NAMESPACE="$dir/objects")
  [ -n "$machine" ] && environment+=(VEXA_MACHINE="$machine")
  if [ -x /usr/bin/time ]; then
    env -i "${environment[@]}" /usr/bin/time -f "%e %M" -o "$dir/usage" "$vexa" -txt= >/dev/null 2>"$dir/stderr"
    cat "$dir/usage"
  else
    # Without GNU time (Debian package "time") only the wall time is known.
    local start end
    start=$(date +%s.%N)
    env -i "${environment[@]}" "$vexa" -txt= >/dev/null 2>"$dir/stderr"
    end=$(date +%s.%N)
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.2f -1\n", e - s }'
  fi
  [ -s "$dir/program/vexa.txt" ] || { echo "vexa wrote no report (machine ${machine:-host})" >&2; exit 1; }
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

bench() {
  local name=$1 machine=$2 walls=() peaks=()
  for ((i = 1; i <= runs; i++)); do
    read -r wall kib < <(measure "$machine" "$name-$i")
    walls+=("$wall")
    peaks+=("$(awk -v k="$kib" 'BEGIN { if (k < 0) print "n/a"; else printf "%.1f", k / 1024 }')")
  done
  local wall_median peak_median
  wall_median=$(printf '%s\n' "${walls[@]}" | median)
  if [ "${peaks[0]}" = n/a ]; then
    peak_median=n/a
  else
    peak_median=$(printf '%s\n' "${peaks[@]}" | median)
  fi
  printf '%-12s wall %s s   peak %s MB\n' "$name" "${walls[*]}" "${peaks[*]}"
  awk -v w="$wall_median" -v p="$peak_median" -v tw="$target_wall" -v tp="$target_mb" -v n="$name" 'BEGIN {
    peak = (p == "n/a" || p == "") ? "n/a (no /usr/bin/time)" : sprintf("%.1f MB%s", p, (p > tp ? " OVER" : ""))
    printf "%-12s median wall %.2f s (target %.1f s)%s, median peak %s (target %d MB)\n", n,
      w, tw, (w > tw ? " OVER" : ""), peak, tp }'
}

echo "vexa -txt=, $runs runs per machine"
bench x58-nehalem "$root/machines/x58-nehalem"
bench host ""
