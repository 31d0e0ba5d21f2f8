#!/usr/bin/env bash
# The conversion benchmark: generates RS-274-D plots of several sizes and one
# of mostly arcs, converts each with the Release build to /dev/null and to a
# file, times a read+memchr baseline on the same files in the same run, and
# prints a table of medians.
# See bench/README.md.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/release"
dir=""
sizes="16 64 256"
arc_size=""
runs=5
seed=1
smoke=0

usage() {
    cat <<'EOF'
usage: bench/run.sh [--smoke] [--sizes "16 64 256"] [--arc-size N] [--runs N]
                    [--seed N] [--build DIR] [--dir DIR]
  --smoke   2 MiB files, one run each, checks only that everything works
  --sizes   input sizes in MiB (default "16 64 256"; add 1024 and more at will)
  --arc-size  size in MiB of the plot of mostly arcs (default: the largest size)
  --runs    timed runs per measurement; the median is reported (default 5)
  --seed    seed of the generated plots (default 1)
  --build   the Release build directory (default build/release)
  --dir     scratch directory for the plots and outputs
            (default <build>/bench-data; BENCH_DIR in the environment also sets it)
EOF
}

while [ $# -gt 0 ]; do
    case "$1" in
        --smoke) smoke=1 ;;
        --sizes) sizes="${2//,/ }"; shift ;;
        --arc-size) arc_size="$2"; shift ;;
        --runs) runs="$2"; shift ;;
        --seed) seed="$2"; shift ;;
        --build) build=$(cd "$2" && pwd); shift ;;
        --dir) dir="$2"; shift ;;
        -h|--help) usage; exit 0 ;;
        *) usage >&2; exit 2 ;;
    esac
    shift
done
if [ "$smoke" = 1 ]; then
    sizes=2
    arc_size=2
    runs=1
fi
dir="${dir:-${BENCH_DIR:-$build/bench-data}}"

lumarind="$build/Lumarind"
gen="$build/bench/GenGerber"
baseline="$build/bench/Baseline"
timerun="$build/bench/TimeRun"
for tool in "$lumarind" "$gen" "$baseline" "$timerun"; do
    if [ ! -x "$tool" ]; then
        echo "missing $tool: build first with 'cmake --workflow --preset release'" >&2
        exit 1
    fi
done
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
if [ "$build_type" != Release ]; then
    echo "warning: $build is a '$build_type' build; the figures mean little" >&2
fi

mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
# A bare /dev/null as the PCB name would get ".PCB" appended.
ln -sfn /dev/null "$dir/null.PCB"

# Makes (once) the plot of $1 bytes at $2, one line if $3 is --one-line, of
# mostly arcs if it is --arcs; its block counts go to $2.counts. A newer
# generator makes it again.
make_plot() {
    local bytes=$1 file=$2
    if [ ! -f "$file" ] || [ ! -f "$file.counts" ] || [ "$gen" -nt "$file" ]; then
        "$gen" "$file" "$bytes" "$seed" ${3:-} > "$file.counts.tmp"
        mv "$file.counts.tmp" "$file.counts"
    fi
}

# Runs "$@" once under the runner; sets wall, rss, cpu. A failed run ends the benchmark.
console="$dir/console.txt"
time_once() {
    local result code
    result=$("$timerun" "$console" "$@")
    read -r wall rss code cpu <<<"$result"
    if [ "$code" != 0 ]; then
        echo "failed with exit status $code: $*" >&2
        cat "$console" >&2
        exit 1
    fi
}

# Checks a conversion's console and, for a file, its records against the
# counts: one per straight draw and flash, and as many as the generator worked
# out for the chords of its arcs.
check_conversion() {  # $1: plot, $2: PCB file or ""
    if [ "$(tail -n 1 "$console")" != $'Completed successfully.\r' ]; then
        echo "conversion of $1 did not complete:" >&2
        cat "$console" >&2
        exit 1
    fi
    [ -n "$2" ] || return 0
    local draws pads arcs chords records expected
    draws=$(sed -n 's/.*draws=\([0-9]*\).*/\1/p' "$1.counts")
    pads=$(sed -n 's/.*pads=\([0-9]*\).*/\1/p' "$1.counts")
    arcs=$(sed -n 's/.*arcs=\([0-9]*\).*/\1/p' "$1.counts")
    chords=$(sed -n 's/.*chords=\([0-9]*\).*/\1/p' "$1.counts")
    expected=$((draws + pads + ${chords:-0}))
    records=$(grep -c '^    (.*)'$'\r''$' "$2" || true)
    if [ "$records" != "$expected" ] || ! tail -c 3 "$2" | cmp -s - <(printf ')\r\n'); then
        echo "$2: $records records, expected $expected, or a bad ending" >&2
        exit 1
    fi
    # Arcs cut into fewer chords than there are arcs: not cut at all.
    if [ "${arcs:-0}" -gt 0 ] && [ "${chords:-0}" -le "$arcs" ]; then
        echo "$1: $arcs arcs gave only ${chords:-0} chords" >&2
        exit 1
    fi
}

median() {  # the median of the arguments
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END {
        if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
max() {
    printf '%s\n' "$@" | sort -g | tail -n 1
}

rows=()
add_row() {  # label, bytes, target, median seconds, baseline seconds, peak KiB, median CPU
             # seconds, PCB bytes (0: none or not known)
    rows+=("$1|$2|$3|$4|$5|$6|$7|$8")
}

# Times the three conversions of one plot, interleaved so that a noisy moment
# hurts all of them alike. Sets null_s, file_s, base_s (medians), null_cpu and
# file_cpu (median CPU seconds) and pcb_bytes (the PCB file's size; 0 without a
# conversion to a file).
measure_plot() {  # label, plot file, also-to-file (1/0), baseline option
    local label=$1 plot=$2 to_file=$3 base_opt=${4:-} bytes i
    pcb_bytes=0
    local -a null_t=() null_m=() null_c=() file_t=() file_m=() file_c=() base_t=() base_m=() base_c=()
    bytes=$(stat -c %s "$plot")
    local out="$dir/out.PCB"
    for ((i = 0; i < runs; i++)); do
        time_once "$baseline" "$plot" $base_opt
        base_t+=("$wall") base_m+=("$rss") base_c+=("$cpu")
        time_once "$lumarind" "$plot" "$dir/null.PCB"
        null_t+=("$wall") null_m+=("$rss") null_c+=("$cpu")
        if [ "$i" = 0 ]; then check_conversion "$plot" ""; fi
        if [ "$to_file" = 1 ]; then
            rm -f "$out"  # a new file each time, as a first conversion makes
            time_once "$lumarind" "$plot" "$out"
            file_t+=("$wall") file_m+=("$rss") file_c+=("$cpu")
            if [ "$i" = 0 ]; then
                check_conversion "$plot" "$out"
                pcb_bytes=$(stat -c %s "$out")
            fi
        fi
    done
    rm -f "$out"
    base_s=$(median "${base_t[@]}")
    null_s=$(median "${null_t[@]}")
    null_cpu=$(median "${null_c[@]}")
    add_row "$label" "$bytes" "/dev/null" "$null_s" "$base_s" "$(max "${null_m[@]}")" \
        "$null_cpu" "$pcb_bytes"
    if [ "$to_file" = 1 ]; then
        file_s=$(median "${file_t[@]}")
        file_cpu=$(median "${file_c[@]}")
        add_row "$label" "$bytes" "file" "$file_s" "$base_s" "$(max "${file_m[@]}")" \
            "$file_cpu" "$pcb_bytes"
    fi
    add_row "$label" "$bytes" "baseline" "$base_s" "$base_s" "$(max "${base_m[@]}")" \
        "$(median "${base_c[@]}")" 0
}

echo "Lumarind conversion benchmark: $lumarind"
echo "plots in $dir, seed $seed, $runs run(s) per figure"
declare -A per_mb null_of file_of base_of
first="" last=""
for size in $sizes; do
    plot="$dir/plot-${size}M-s$seed.gbr"
    echo "generating and converting ${size} MiB ..." >&2
    make_plot $((size * 1048576)) "$plot"
    measure_plot "${size} MiB" "$plot" 1
    null_of[$size]=$null_s file_of[$size]=$file_s base_of[$size]=$base_s
    per_mb[$size]=$(awk -v s="$null_s" -v b="$(stat -c %s "$plot")" 'BEGIN { print s / b }')
    first=${first:-$size}
    last=$size
done
line_pcb=$pcb_bytes line_null=$null_s line_file=$file_s
line_null_cpu=$null_cpu line_file_cpu=$file_cpu
# The same blocks with LF line ends, as most CAD programs on Linux write them;
# the baseline counts LF there.
plot="$dir/plot-${last}M-s$seed.gbr"
lf_plot="$dir/plot-${last}M-s$seed-lf.gbr"
tr -d '\r' < "$plot" > "$lf_plot"
cp "$plot.counts" "$lf_plot.counts"
echo "converting ${last} MiB with LF line ends ..." >&2
measure_plot "${last} MiB, LF" "$lf_plot" 1 --lf
lf_null=$null_s
rm -f "$lf_plot" "$lf_plot.counts"
# Mostly arcs: many records per block, so the PCB output rate is the figure.
arc_size=${arc_size:-$last}
plot="$dir/arcs-${arc_size}M-s$seed.gbr"
echo "generating and converting ${arc_size} MiB of mostly arcs ..." >&2
make_plot $((arc_size * 1048576)) "$plot" --arcs
measure_plot "${arc_size} MiB, arcs" "$plot" 1
arc_pcb=$pcb_bytes arc_null=$null_s arc_file=$file_s
arc_null_cpu=$null_cpu arc_file_cpu=$file_cpu
if [ "$smoke" = 0 ]; then
    # Memory must not grow with the length of a line either.
    plot="$dir/plot-${last}M-s$seed-one-line.gbr"
    echo "generating and converting ${last} MiB on one line ..." >&2
    make_plot $((last * 1048576)) "$plot" --one-line
    measure_plot "${last} MiB, 1 line" "$plot" 0
    rm -f "$plot" "$plot.counts"  # seldom wanted again, and large
    # Start-up: a small board, where the fixed costs are all there is.
    plot="$dir/board-4K-s$seed.gbr"
    make_plot 4096 "$plot"
    runs_saved=$runs
    runs=$((runs < 21 ? 21 : runs))
    measure_plot "4 KiB" "$plot" 0
    runs=$runs_saved
fi

echo
printf '%-16s %9s  %-9s %10s %7s %11s %10s %8s %9s\n' \
    input "size MiB" output "median ms" "MB/s" "x baseline" "peak RSS" "CPU ms" "PCB MB/s"
for row in "${rows[@]}"; do
    IFS='|' read -r label bytes target secs base kib cpus pcb <<<"$row"
    awk -v l="$label" -v b="$bytes" -v t="$target" -v s="$secs" -v bs="$base" -v k="$kib" \
        -v c="$cpus" -v p="$pcb" 'BEGIN {
        printf "%-16s %9.2f  %-9s %10.2f %7.0f %11.2f %6.2f MiB %8.2f %9s\n",
               l, b / 1048576, t, s * 1000, b / 1e6 / s, s / bs, k / 1024, c * 1000,
               (p > 0 ? sprintf("%.0f", p / 1e6 / s) : "-") }'
done
echo
# The PCB output rates, arcs against lines: the arcs should keep at least half.
# Per CPU second too, steadier on a busy machine.
pcb_rates() {  # what, arc seconds, line seconds
    awk -v w="$1" -v a="$2" -v l="$3" -v ap="$arc_pcb" -v lp="$line_pcb" -v as="$arc_size" \
        -v ls="$last" 'BEGIN {
        printf "PCB MB/s, %s MiB arcs vs %s MiB lines, %s: %.0f vs %.0f (%.2fx)\n",
               as, ls, w, ap / 1e6 / a, lp / 1e6 / l, (ap / a) / (lp / l) }'
}
pcb_rates "to /dev/null" "$arc_null" "$line_null"
pcb_rates "to a file" "$arc_file" "$line_file"
pcb_rates "to /dev/null, per CPU second" "$arc_null_cpu" "$line_null_cpu"
pcb_rates "to a file, per CPU second" "$arc_file_cpu" "$line_file_cpu"
if [ "$smoke" = 1 ]; then
    echo "smoke run: all conversions completed and checked (no timing judgement)"
    exit 0
fi
awk -v n="${null_of[$last]}" -v f="${file_of[$last]}" -v b="${base_of[$last]}" \
    -v p1="${per_mb[$first]}" -v p2="${per_mb[$last]}" -v s1="$first" -v s2="$last" \
    -v lf="$lf_null" 'BEGIN {
    printf "time per MB at %s MiB vs %s MiB: %+.1f%%\n", s2, s1, (p2 / p1 - 1) * 100
    printf "LF vs CR LF line ends at %s MiB (the same blocks): %+.1f%%\n", s2, (lf / n - 1) * 100
    printf "file vs /dev/null at %s MiB: %.2fx\n", s2, f / n
    printf "%s MiB to /dev/null: %.2fx the read+memchr baseline\n", s2, n / b }'
