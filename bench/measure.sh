#!/usr/bin/env bash
# Times a whole run of shindo on a record of the largest transform size
# (32768 samples at 0.01 s) against io_floor, which performs only the run's
# unavoidable input and output, and reports the medians, their ratio and the
# peak memory of both.
#
#   bench/measure.sh [--runs N] [--shindo PATH] [--floor PATH] [--make-record PATH]
#
# Defaults: 21 runs of each program and each console kind, binaries of the
# release build (build/release/shindo, build/release/bench/io_floor,
# build/release/examples/make_record). Nothing is built here.
#
# The runs are interleaved (shindo, floor, shindo, floor, ...), first with the
# console going to /dev/null, then to a pipe. Each run is timed from the
# shell's microsecond clock (EPOCHREALTIME), which needs no extra process;
# starting the program is part of every time. The pipe's reader is `wc -c`, as
# cheap a reader as `cat`, so that the console bytes of every piped run are
# counted. Every shindo run must end with status 0 and write the byte counts
# of the first run to wave1_dat, a0tau_dat and the results file (and, piped,
# to the console); otherwise the script stops.
#
# Exit status: 0 when both targets hold (median ratio at most 2 with the
# console on /dev/null; shindo's peak resident set at most 8 MB), 2 when one
# does not, 1 when a run fails or the arguments are wrong.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs=21
shindo="$root/build/release/shindo"
floor="$root/build/release/bench/io_floor"
make_record="$root/build/release/examples/make_record"

usage() {
  echo "usage: measure.sh [--runs N] [--shindo PATH] [--floor PATH] [--make-record PATH]" >&2
  exit 1
}

while [[ $# -gt 0 ]]; do
  case "$1" in
    --runs) runs="${2:?}"; shift 2 ;;
    --shindo) shindo="${2:?}"; shift 2 ;;
    --floor) floor="${2:?}"; shift 2 ;;
    --make-record) make_record="${2:?}"; shift 2 ;;
    *) usage ;;
  esac
done
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || usage
for program in "$shindo" "$floor" "$make_record"; do
  [[ -x "$program" ]] || { echo "measure.sh: not an executable: $program" >&2; exit 1; }
done
# The runs take place in other directories.
shindo="$(readlink -f "$shindo")"
floor="$(readlink -f "$floor")"
make_record="$(readlink -f "$make_record")"
[[ -x /usr/bin/time ]] || { echo "measure.sh: /usr/bin/time is missing" >&2; exit 1; }
[[ -n "${EPOCHREALTIME:-}" ]] || { echo "measure.sh: needs bash 5 (EPOCHREALTIME)" >&2; exit 1; }

readonly samples=32768 interval=0.01 seed=20240117 results=result.txt
work="$(mktemp -d "${TMPDIR:-/tmp}/shindo_measure.XXXXXX")"
trap 'rm -rf "$work"' EXIT

"$make_record" "$samples" "$interval" "$seed" "$work/rec.txt"
printf 'rec.txt\n1\n' >"$work/answers"
# Each program works in its own directory, on its own copy of the record.
mkdir "$work/shindo" "$work/floor"
cp "$work/rec.txt" "$work/shindo/"
cp "$work/rec.txt" "$work/floor/"

# Microseconds since the epoch, whatever the locale's decimal mark.
now_us() {
  local stamp="$EPOCHREALTIME"
  echo "${stamp//[.,]/}"
}

file_size() { stat -c %s "$1"; }

# Removes a run's output files so that every run starts from the same state.
clear_outputs() { rm -f "$1/wave1_dat" "$1/a0tau_dat" "$1/$results"; }

# The reference run: its byte counts are what every later run must write.
clear_outputs "$work/shindo"
(cd "$work/shindo" && "$shindo" "$results" <"$work/answers" >"$work/console.out") || {
  echo "measure.sh: the reference run of shindo failed" >&2
  exit 1
}
console_bytes=$(file_size "$work/console.out")
wave_bytes=$(file_size "$work/shindo/wave1_dat")
a0tau_bytes=$(file_size "$work/shindo/a0tau_dat")
results_bytes=$(file_size "$work/shindo/$results")
floor_args=("$results" "$console_bytes" "$wave_bytes" "$a0tau_bytes" "$results_bytes")

# Checks the output files of a run in `dir` (and the console count, if given).
check_outputs() {
  local who="$1" dir="$2" status="$3" console="${4:-}"
  local problem=""
  [[ "$status" == 0 ]] || problem="exit status $status"
  [[ -z "$problem" && "$(file_size "$dir/wave1_dat")" != "$wave_bytes" ]] && problem="wave1_dat size"
  [[ -z "$problem" && "$(file_size "$dir/a0tau_dat")" != "$a0tau_bytes" ]] && problem="a0tau_dat size"
  [[ -z "$problem" && "$(file_size "$dir/$results")" != "$results_bytes" ]] && problem="$results size"
  [[ -z "$problem" && -n "$console" && "$console" != "$console_bytes" ]] && problem="console bytes $console"
  if [[ -n "$problem" ]]; then
    echo "measure.sh: a run of $who is wrong: $problem" >&2
    exit 1
  fi
}

# One timed run with the console on /dev/null; appends microseconds to the
# array named by $1.
timed_null() {
  local -n into="$1"
  local who="$2" dir="$3"
  shift 3
  clear_outputs "$dir"
  cd "$dir"
  local start status=0 finish
  start=$(now_us)
  "$@" <"$work/answers" >/dev/null || status=$?
  finish=$(now_us)
  cd "$work"
  check_outputs "$who" "$dir" "$status"
  into+=($((finish - start)))
}

# The same with the console on a pipe whose reader counts the bytes.
timed_pipe() {
  local -n into="$1"
  local who="$2" dir="$3"
  shift 3
  clear_outputs "$dir"
  cd "$dir"
  local start status finish
  start=$(now_us)
  set +o pipefail
  "$@" <"$work/answers" | wc -c >"$work/count"
  status=${PIPESTATUS[0]}
  set -o pipefail
  finish=$(now_us)
  cd "$work"
  check_outputs "$who" "$dir" "$status" "$(tr -d ' \n' <"$work/count")"
  into+=($((finish - start)))
}

# The floor must write what a run writes.
clear_outputs "$work/floor"
(cd "$work/floor" && "$floor" "${floor_args[@]}" <"$work/answers" >"$work/floor_console.out")
check_outputs io_floor "$work/floor" 0 "$(file_size "$work/floor_console.out")"

shindo_null=() floor_null=() shindo_pipe=() floor_pipe=()
for ((i = 0; i < runs; ++i)); do
  timed_null shindo_null shindo "$work/shindo" "$shindo" "$results"
  timed_null floor_null io_floor "$work/floor" "$floor" "${floor_args[@]}"
done
for ((i = 0; i < runs; ++i)); do
  timed_pipe shindo_pipe shindo "$work/shindo" "$shindo" "$results"
  timed_pipe floor_pipe io_floor "$work/floor" "$floor" "${floor_args[@]}"
done

# The median of the microsecond values named by $1, in microseconds.
median() {
  local -n values="$1"
  printf '%s\n' "${values[@]}" | sort -n | awk '{ v[NR] = $1 } END {
    if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Peak resident set in kB: the largest of three runs with the console on
# /dev/null, each checked like the timed runs.
peak_rss_kb() {
  local who="$1" dir="$2"
  shift 2
  local largest=0 kb status
  for _ in 1 2 3; do
    clear_outputs "$dir"
    (cd "$dir" && /usr/bin/time -v -o "$work/usage" "$@" <"$work/answers" >/dev/null) || true
    status=$(awk -F': ' '/Exit status/ { print $2 }' "$work/usage")
    check_outputs "$who" "$dir" "${status:-unknown}"
    kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/usage")
    [[ -n "$kb" ]] || { echo "measure.sh: no resident set size from /usr/bin/time" >&2; exit 1; }
    if ((kb > largest)); then largest=$kb; fi
  done
  echo "$largest"
}

shindo_null_us=$(median shindo_null)
floor_null_us=$(median floor_null)
shindo_pipe_us=$(median shindo_pipe)
floor_pipe_us=$(median floor_pipe)
shindo_rss_kb=$(peak_rss_kb shindo "$work/shindo" "$shindo" "$results")
floor_rss_kb=$(peak_rss_kb io_floor "$work/floor" "$floor" "${floor_args[@]}")

awk -v runs="$runs" -v samples="$samples" -v interval="$interval" -v seed="$seed" \
  -v cb="$console_bytes" -v wb="$wave_bytes" -v ab="$a0tau_bytes" -v rb="$results_bytes" \
  -v sn="$shindo_null_us" -v fn="$floor_null_us" -v sp="$shindo_pipe_us" -v fp="$floor_pipe_us" \
  -v sr="$shindo_rss_kb" -v fr="$floor_rss_kb" 'BEGIN {
  printf "record: %d samples at %s s (make_record seed %s); %d runs of each, interleaved\n",
         samples, interval, seed, runs
  printf "bytes per run: console %d, wave1_dat %d, a0tau_dat %d, results file %d\n\n", cb, wb, ab, rb
  printf "%-20s %12s %12s %8s\n", "", "shindo", "io_floor", "ratio"
  printf "%-20s %12.2f %12.2f %8.2f\n", "console /dev/null ms", sn / 1000, fn / 1000, sn / fn
  printf "%-20s %12.2f %12.2f %8.2f\n", "console pipe ms", sp / 1000, fp / 1000, sp / fp
  printf "%-20s %12.2f %12.2f\n\n", "peak RSS MB", sr / 1024, fr / 1024
  ratio_ok = sn / fn <= 2
  rss_ok = sr <= 8 * 1024
  printf "target: ratio <= 2 with the console on /dev/null: %s (%.2f)\n", ratio_ok ? "holds" : "FAILS", sn / fn
  printf "target: shindo peak RSS <= 8 MB: %s (%.2f MB)\n", rss_ok ? "holds" : "FAILS", sr / 1024
  exit ((ratio_ok && rss_ok) ? 0 : 2)
}'
