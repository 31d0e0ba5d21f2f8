#!/usr/bin/env bash
# Runs each fuzz target for a while on its seeds and fails on any finding.
# Builds nothing: configure and build the "fuzz" preset first.
#
#   fuzz/smoke.sh <fuzz build dir> <seconds per target>
#
# Seeds are copied at run time from examples/ and the golden inputs into a
# scratch corpus, so the repository holds no copies; set FUZZ_CORPUS to a
# directory to keep the corpus across runs. Findings (crash-*, leak-*,
# timeout-*, oom-*) are kept in $FUZZ_ARTIFACTS when that is set.
set -u
if [ $# -ne 2 ]; then
    echo "usage: $0 <fuzz build dir> <seconds per target>" >&2
    exit 2
fi
build=$(realpath "$1")
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
artifacts=${FUZZ_ARTIFACTS:-$work/artifacts}
corpus=${FUZZ_CORPUS:-$work/corpus}
mkdir -p "$artifacts"

for t in gerber config number fields sheet pcb; do
    if [ ! -x "$build/fuzz/fuzz_$t" ]; then
        echo "missing $build/fuzz/fuzz_$t: build the fuzz preset first" >&2
        exit 2
    fi
    mkdir -p "$corpus/$t"
done

# Every input file of the examples and golden cases seeds the Gerber target;
# configuration files seed the configuration target too.
n=0
while IFS= read -r -d '' f; do
    n=$((n + 1))
    cp "$f" "$corpus/gerber/seed-$n"
    cp "$f" "$corpus/fields/seed-$n"
    case "$f" in
        *.[Cc][Ff][Gg]) cp "$f" "$corpus/config/seed-$n" ;;
        *.sheet) cp "$f" "$corpus/sheet/seed-$n" ;;
    esac
done < <(find "$repo/examples" "$repo"/tests/golden/*/in -type f -print0 2>/dev/null)
# The golden cases' PCB files, expected and given to lumarind-svg, seed the PCB target.
while IFS= read -r -d '' f; do
    n=$((n + 1))
    cp "$f" "$corpus/pcb/seed-$n"
done < <(find "$repo"/tests/golden/*/expected/files "$repo"/tests/golden/*/in -type f \
         -name '*.PCB' -size -64k -print0 2>/dev/null)
printf '1000 25400 10000\r\n1000 25400 10000\r\n10\r\n10 0 -1\r\n11 3 5\r\n20 -1 12\r\n' \
    > "$corpus/config/built-in"
i=0
for text in 0 -0 +7 - + 2147483647 -2147483647 2147483648 -2147483648 00000000000000001 \
            99999999999 1099511627776 1099511627777; do
    i=$((i + 1))
    printf '%s' "$text" > "$corpus/number/seed-$i"
done
echo "seeds: gerber and fields $(ls "$corpus/gerber" | wc -l), config $(ls "$corpus/config" | wc -l), number $(ls "$corpus/number" | wc -l), sheet $(ls "$corpus/sheet" | wc -l), pcb $(ls "$corpus/pcb" | wc -l)"

fail=0
for t in gerber config number fields sheet pcb; do
    dict=()
    case $t in
        gerber | fields) dict=(-dict="$here/gerber.dict") ;;
        config) dict=(-dict="$here/config.dict") ;;
        sheet) dict=(-dict="$here/sheet.dict") ;;
        pcb) dict=(-dict="$here/pcb.dict") ;;
    esac
    echo "==== fuzz_$t for ${seconds}s"
    # -timeout: no input of a few kilobytes may take seconds; -rss_limit_mb:
    # memory must stay flat whatever the input.
    "$build/fuzz/fuzz_$t" "${dict[@]}" -max_total_time="$seconds" -timeout=5 \
        -rss_limit_mb=1024 -max_len=8192 -print_final_stats=1 \
        -artifact_prefix="$artifacts/$t-" "$corpus/$t" > "$work/$t.log" 2>&1
    status=$?
    grep -E '^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::peak_rss_mb)' "$work/$t.log"
    if [ $status -ne 0 ] || ls "$artifacts/$t-"* >/dev/null 2>&1; then
        echo "fuzz_$t FAILED (exit status $status); the end of its log:"
        tail -n 60 "$work/$t.log"
        ls -l "$artifacts/$t-"* 2>/dev/null
        fail=1
    fi
done
if [ $fail -ne 0 ]; then
    echo "fuzz smoke FAILED"
    exit 1
fi
echo "fuzz smoke passed"
