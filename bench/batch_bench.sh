#!/usr/bin/env bash
# Speed and memory of shindo-batch: N synthetic K-NET records of 30000
# samples at 100 Hz (three component files each) as files in a directory and
# as one .tar.gz with its members in name order, as the networks deliver them; records per second from each, against the rate of running
# the console program once per exported record; and the peak resident memory
# of runs on 10 and on N records, which must not grow with the number.
#
#   bench/batch_bench.sh [N] [BUILD-DIR]
#
# Defaults: 1000 records, build/release (shindo-batch and shindo are not
# built here). The work happens in a temporary directory that is removed at
# the end. Prints one line per figure.
set -euo pipefail

records=${1:-1000}
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build=$(cd "${2:-$root/build/release}" && pwd)
batch="$build/shindo-batch"
shindo="$build/shindo"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One record: a decaying multi-frequency shaking in counts, with an offset,
# written the way the network writes its files.
python3 - "$work/one" <<'PY'
import math, sys
stem = sys.argv[1]
n = 30000
for c, (letters, f1, f2, offset) in enumerate([("NS", 1.3, 4.1, -1200), ("EW", 1.7, 5.3, 800), ("UD", 2.9, 7.7, 300)]):
    counts = []
    for i in range(n):
        t = i * 0.01
        env = t / 20.0 if t < 20 else math.exp(-(t - 20.0) / 40.0)
        counts.append(int(round(400000 * env * (math.sin(2 * math.pi * f1 * t) + 0.4 * math.sin(2 * math.pi * f2 * t + c)))) + offset)
    mean = sum(counts) / n
    peak = max(abs((k - mean) * 3920 / 6182761) for k in counts)
    header = [("Origin Time", "2024/01/01 16:10:00"), ("Lat.", "37.495"), ("Long.", "137.270"),
              ("Depth. (km)", "16"), ("Mag.", "7.6"), ("Station Code", "BNC001"), ("Station Lat.", "37.5266"),
              ("Station Long.", "137.2844"), ("Station Height(m)", "10"), ("Record Time", "2024/01/01 16:08:27"),
              ("Sampling Freq(Hz)", "100Hz"), ("Duration Time(s)", "300"), ("Dir.", ["N-S", "E-W", "U-D"][c]),
              ("Scale Factor", "3920(gal)/6182761"), ("Max. Acc. (gal)", "%.3f" % peak),
              ("Last Correction", "2024/01/01 16:08:11"), ("Memo.", "")]
    with open(stem + "." + letters, "w") as out:
        out.write("".join(label.ljust(18) + value + "\n" for label, value in header))
        for i in range(0, n, 8):
            out.write("".join("%9d" % k for k in counts[i:i + 8]) + " \n")
PY

make_set() {  # make_set COUNT DIR: COUNT records as files, and DIR.tar.gz
  mkdir -p "$2"
  for ((i = 1; i <= $1; i++)); do
    name=$(printf 'BNC%06d2401011610' "$i")
    for letters in NS EW UD; do cp "$work/one.$letters" "$2/$name.$letters"; done
  done
  tar --sort=name -czf "$2.tar.gz" -C "$2" .
}

now() { date +%s.%N; }
rate() { awk -v n="$1" -v a="$2" -v b="$3" 'BEGIN { printf "%.0f", n / (b - a) }'; }
peak_kb() { /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident/ { print $2 }'; }

make_set 10 "$work/small"
make_set "$records" "$work/large"

start=$(now); /usr/bin/time -f '%U %S' -o "$work/cpu" "$batch" "$work/large" >/dev/null 2>&1; end=$(now)
files_rate=$(rate "$records" "$start" "$end")
cpu_ms=$(awk -v n="$records" '{ printf "%.1f", ($1 + $2) * 1000 / n }' "$work/cpu")
start=$(now); "$batch" "$work/large.tar.gz" >/dev/null 2>&1; end=$(now)
archive_rate=$(rate "$records" "$start" "$end")
# With --output: the wave and level texts, a picture per record and the report.
start=$(now); /usr/bin/time -f '%U %S' -o "$work/cpu" "$batch" --output "$work/output" "$work/large" >/dev/null 2>&1
end=$(now)
output_rate=$(rate "$records" "$start" "$end")
output_cpu_ms=$(awk -v n="$records" '{ printf "%.1f", ($1 + $2) * 1000 / n }' "$work/cpu")
rm -rf "$work/output"

# The console program once per exported record, on 20 exports.
"$batch" --export "$work/exported" "$work/small" >/dev/null 2>&1
mkdir -p "$work/console"
console_runs=20
start=$(now)
for ((i = 0; i < console_runs; i++)); do
  cp "$work/exported/BNC0000012401011610.txt" "$work/console/r.txt"
  (cd "$work/console" && printf 'r.txt\n1\n' | "$shindo" res.txt >/dev/null)
done
end=$(now)
console_rate=$(awk -v n="$console_runs" -v a="$start" -v b="$end" 'BEGIN { printf "%.1f", n / (b - a) }')

echo "records: $records K-NET records of 30000 samples at 100 Hz, $(nproc) cores"
echo "load:    $(cut -d' ' -f1-3 /proc/loadavg) (load average before the runs)"
echo "files:   $files_rate records/s ($cpu_ms ms of CPU per record)"
echo "archive: $archive_rate records/s"
echo "output:  $output_rate records/s ($output_cpu_ms ms of CPU per record; files with --output DIR)"
echo "console: $console_rate records/s (one shindo run per exported record)"
echo "ratio:   $(awk -v f="$files_rate" -v c="$console_rate" 'BEGIN { printf "%.0f", f / c }') x the console rate (files)"
echo "peak memory, files:   10 records $(peak_kb "$batch" "$work/small") kB, $records records $(peak_kb "$batch" "$work/large") kB"
echo "peak memory, archive: 10 records $(peak_kb "$batch" "$work/small.tar.gz") kB, $records records $(peak_kb "$batch" "$work/large.tar.gz") kB"
