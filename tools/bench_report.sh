#!/usr/bin/env bash
# Benchmark of the program's main jobs, printed as one table of targets and
# medians: `vexa -txt=` on the host, on the x58 sample machine, on an image
# of 256 logical processors and on a generated image of 4,000 PCI functions
# (wall time, peak memory as the maximum resident set size, processor
# time), the open window's idle processor time on the x58 sample, and, for
# comparison on the host, `lshw -short`, `hwinfo --short` and `inxi -Fxz`
# where they are installed. Each vexa run has fresh program, temporary and object
# namespace folders. These are benchmark figures, not tests: a row over its
# target says OVER, and the script still succeeds.
#
# The 256-processor image is the folder VEXA_BENCH_256_IMAGE names, else an
# image folder of the source tree whose name holds "256"; without one the
# row says so and is skipped.
#
# Usage: tools/bench_report.sh [runs]    (5 runs per row by default)
#   VEXA_BENCH_IDLE_SECONDS   how long the idle window is watched (10)
set -euo pipefail

runs=${1:-5}
idle_seconds=${VEXA_BENCH_IDLE_SECONDS:-10}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/default"

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset default -S "$root" >/dev/null
fi
cmake --build "$build" --target vexa vexa_window >/dev/null
vexa="$build/app/vexa"

scratch=$(mktemp -d)
window_pid=
cleanup() {
  if [ -n "$window_pid" ]; then kill -KILL "$window_pid" 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT

# Fresh folders for one vexa run; prints the environment it runs with.
vexa_environment() {
  local machine=$1 dir=$2
  mkdir -p "$dir/program" "$dir/temp" "$dir/objects"
  chmod 700 "$dir/objects"
  printf '%s\n' PATH=/usr/bin:/bin "VEXA_PROGRAM_DIR=$dir/program" "TMPDIR=$dir/temp" "VEXA_NAMESPACE=$dir/objects"
  [ -z "$machine" ] || printf '%s\n' "VEXA_MACHINE=$machine"
}

# One timed run of a command; prints "<wall seconds> <peak KiB> <processor
# seconds>" (peak and processor time -1 without GNU time, the Debian
# package "time").
timed() {
  local usage=$1
  shift
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -f "%e %M %U %S" -o "$usage" "$@" >/dev/null 2>&1 || true
    awk '{ printf "%s %s %.2f\n", $1, $2, $3 + $4 }' "$usage"
  else
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s.%N)
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.2f -1 -1\n", e - s }'
  fi
}

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print ""; else print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# The medians of `runs` runs of the command a function prints, as
# "<wall seconds> <peak MB or n/a> <processor seconds or n/a>".
medians() {
  local name=$1 command=$2 walls=() peaks=() cpus=() wall kib cpu
  for ((i = 1; i <= runs; i++)); do
    read -r wall kib cpu < <("$command" "$scratch/$name-$i") || true
    if [ -z "${cpu:-}" ]; then
      echo "$name: run $i failed" >&2
      exit 1
    fi
    walls+=("$wall")
    if [ "$kib" -ge 0 ]; then
      peaks+=("$(awk -v k="$kib" 'BEGIN { printf "%.1f", k / 1024 }')")
      cpus+=("$cpu")
    fi
  done
  echo "$name: wall ${walls[*]} s, peak ${peaks[*]:-n/a} MB, processor ${cpus[*]:-n/a} s" >&2
  local peak=n/a processor=n/a
  if [ ${#peaks[@]} -gt 0 ]; then
    peak=$(printf '%s\n' "${peaks[@]}" | median)
    processor=$(printf '%s\n' "${cpus[@]}" | median)
  fi
  echo "$(printf '%s\n' "${walls[@]}" | median) $peak $processor"
}

# One `vexa -txt=` run on the machine in $bench_machine (empty: the host).
bench_machine=
vexa_report() {
  local dir=$1
  local environment
  mapfile -t environment < <(vexa_environment "$bench_machine" "$dir")
  timed "$dir/usage" env -i "${environment[@]}" "$vexa" -txt=
  [ -s "$dir/program/vexa.txt" ] || { echo "vexa wrote no report (${bench_machine:-host})" >&2; exit 1; }
}

# One run of the comparison tool in $bench_tool (its arguments included).
bench_tool=
tool_run() {
  local dir=$1
  mkdir -p "$dir"
  # shellcheck disable=SC2086
  timed "$dir.usage" $bench_tool
}

# An lspci.txt of `count` functions, one per device slot from bus 0 on:
# Ethernet controllers (10ec:8168, revision 15) of 256-byte spaces.
generate_pci_image() {
  local dir=$1 count=$2
  mkdir -p "$dir"
  awk -v count="$count" 'BEGIN {
    split("236 16 104 129 0 0 0 0 21 0 0 2", head, " ")
    for (i = 0; i < count; i++) {
      printf "%02x:%02x.0 Ethernet controller: generated function %d\n", int(i / 32), i % 32, i
      for (row = 0; row < 16; row++) {
        printf "%x0:", row
        for (col = 0; col < 16; col++) { off = row * 16 + col; printf " %02x", (off < 12) ? head[off + 1] : 0 }
        printf "\n"
      }
    } }' >"$dir/lspci.txt"
}

find_256_image() {
  if [ -n "${VEXA_BENCH_256_IMAGE:-}" ]; then
    [ -d "$VEXA_BENCH_256_IMAGE" ] && echo "$VEXA_BENCH_256_IMAGE"
    return 0
  fi
  local cpuid
  cpuid=$(find "$root/machines" "$root/tests/data" -maxdepth 4 -path '*256*' -name cpuid.txt 2>/dev/null | sort | head -n 1)
  [ -z "$cpuid" ] || dirname "$cpuid"
}

# The processor time (ns) of every thread of a process.
process_cpu_ns() {
  local pid=$1 total=0 run rest
  for stat in /proc/"$pid"/task/*/schedstat; do
    read -r run rest <"$stat" 2>/dev/null || continue
    total=$((total + run))
  done
  echo "$total"
}

# The open window on the x58 sample, idle: its processor time over
# `idle_seconds`, in percent of one core. The window is up once the
# start-up has installed the driver; a few seconds more let its first
# refresh pass.
window_idle() {
  local dir="$scratch/window" environment
  mapfile -t environment < <(vexa_environment "$root/machines/x58-nehalem" "$dir")
  env -i "${environment[@]}" QT_QPA_PLATFORM=offscreen "$vexa" >/dev/null 2>"$dir/stderr" </dev/null &
  window_pid=$!
  local waited=0
  while [ ! -e "$dir/objects/service.vexa138" ]; do
    if ! kill -0 "$window_pid" 2>/dev/null || [ "$waited" -ge 600 ]; then
      echo "the window did not open: $(cat "$dir/stderr")" >&2
      return 1
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
  sleep 3
  local before after
  before=$(process_cpu_ns "$window_pid")
  sleep "$idle_seconds"
  after=$(process_cpu_ns "$window_pid")
  kill -TERM "$window_pid"
  wait "$window_pid" || true
  window_pid=
  awk -v b="$before" -v a="$after" -v s="$idle_seconds" 'BEGIN { printf "%.3f\n", (a - b) / 1e9 / s * 100 }'
}

rows=()
# A table row: what, target, wall, peak memory, processor time, other
# measure, verdict.
row() { rows+=("$(printf '%s\t' "$@")"); }

# Whether the medians meet the targets (empty target: nothing to meet).
verdict() {
  awk -v w="$1" -v p="$2" -v tw="$3" -v tp="$4" 'BEGIN {
    over = (tw != "" && w > tw) || (tp != "" && p != "n/a" && p > tp)
    print (tw == "" && tp == "") ? "-" : (over ? "OVER" : "ok") }'
}

bench_vexa() {
  local what=$1 name=$2 target_wall=$3 target_mb=$4 wall peak processor
  read -r wall peak processor < <(medians "$name" vexa_report)
  local target="<= $target_wall s"
  [ -z "$target_mb" ] || target+=", <= $target_mb MB"
  row "$what" "$target" "$wall s" "$peak MB" "$processor s" "" "$(verdict "$wall" "$peak" "$target_wall" "$target_mb")"
}

echo "medians of $runs runs; the single runs:" >&2

bench_machine=
bench_vexa "vexa -txt= on the host" host 0.5 10
bench_machine="$root/machines/x58-nehalem"
bench_vexa "vexa -txt= on the x58 sample" x58 0.6 ""

image_256=$(find_256_image)
if [ -n "$image_256" ]; then
  bench_machine="$image_256"
  bench_vexa "vexa -txt= on 256 processors" cpu256 4 ""
else
  row "vexa -txt= on 256 processors" "<= 4 s" "-" "-" "-" "no image (VEXA_BENCH_256_IMAGE)" "skipped"
fi

generate_pci_image "$scratch/pci-4000" 4000
bench_machine="$scratch/pci-4000"
bench_vexa "vexa -txt= on 4,000 PCI functions" pci4000 0.5 ""

if idle=$(window_idle); then
  row "window idle on the x58 sample" "<= 0.2 % of a core" "" "" "" "$idle % of a core over ${idle_seconds} s" \
    "$(awk -v i="$idle" 'BEGIN { print (i > 0.2) ? "OVER" : "ok" }')"
else
  row "window idle on the x58 sample" "<= 0.2 % of a core" "" "" "" "window did not open" "failed"
fi

for tool in "lshw -short" "hwinfo --short" "inxi -Fxz"; do
  if command -v "${tool%% *}" >/dev/null; then
    bench_tool=$tool
    read -r wall peak processor < <(medians "${tool%% *}" tool_run)
    row "$tool on the host" "" "$wall s" "$peak MB" "$processor s" "" "-"
  else
    row "$tool on the host" "" "-" "-" "-" "not installed" "-"
  fi
done

{
  printf 'what\ttarget\twall\tpeak memory\tprocessor\tother\tverdict\t\n'
  printf '%s\n' "${rows[@]}"
} | awk -F '\t' '
  { for (i = 1; i < NF; ++i) { cell[NR, i] = $i; if (length($i) > width[i]) width[i] = length($i) } lines = NR; fields = NF - 1 }
  END {
    for (r = 1; r <= lines; ++r) {
      text = ""
      for (i = 1; i <= fields; ++i) text = text sprintf("%-*s  ", width[i], cell[r, i])
      sub(/ +$/, "", text)
      print text
    } }'
