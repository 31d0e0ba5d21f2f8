#!/usr/bin/env bash
# Runs one real layer, a folder holding the layer file, listing.txt (an
# independent Gerber reader's listing of it), fits.Cfg and expected/:
#  - converts it with the built-in settings and with fits.Cfg, in an empty
#    scratch directory, and compares the console, the exit status and the PCB
#    file of both runs with expected/ byte for byte;
#  - converts it a third time with a configuration written here (multipliers
#    and divisors 1, offsets 0, every aperture the layer defines accepted for
#    lines and pads) and has listing_check compare that PCB file with the
#    listing.
#
#   run_board.sh <program> <folder> [<listing_check>]          compare and check
#   REGEN=1 run_board.sh <program> <folder> [<listing_check>]  rewrite expected/,
#                                                              then check (read the diff!)
#
# listing_check defaults to the one built beside the program.
set -u
bin=$(realpath "$1")
dir=$(cd "$2" && pwd)
check=$(realpath "${3:-$(dirname "$bin")/tests/listing_check}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mapfile -t layers < <(cd "$dir" && find . -maxdepth 1 -type f ! -name README \
    ! -name listing.txt ! -name fits.Cfg -printf '%f\n')
if [ "${#layers[@]}" != 1 ]; then
    echo "$dir must hold one layer file besides README, listing.txt and fits.Cfg"
    exit 1
fi
layer=${layers[0]}
cp "$dir/$layer" "$dir/fits.Cfg" "$work/"

convert() {  # $1: name of the run; then the arguments after the layer's name
    local name=$1
    shift
    (cd "$work" && exec "$bin" "$layer" "$@") > "$work/$name.stdout"
    echo $? > "$work/$name.status"
}
convert builtin builtin.PCB
convert fits fits.PCB fits

outputs=(builtin.stdout builtin.status builtin.PCB fits.stdout fits.status fits.PCB)
fail=0
if [ "${REGEN:-0}" = 1 ]; then
    mkdir -p "$dir/expected"
    for f in "${outputs[@]}"; do
        rm -f "$dir/expected/$f"
        [ -f "$work/$f" ] && cp "$work/$f" "$dir/expected/$f"
    done
    echo "regenerated $dir/expected (exit status $(cat "$work/builtin.status") and" \
         "$(cat "$work/fits.status"))"
else
    for f in "${outputs[@]}"; do
        if ! cmp "$dir/expected/$f" "$work/$f"; then
            diff <(cat -A "$dir/expected/$f") <(cat -A "$work/$f") | head -20
            fail=1
        fi
    done
fi
for f in "$layer" fits.Cfg; do
    cmp "$dir/$f" "$work/$f" || fail=1
done

{
    echo "{ X, Y: the layer's own units }  1 1 0  1 1 0"
    echo "{ layer }  1"
    echo "{ every aperture it defines: width and pattern code 0 }"
    grep -aoE '%ADD[0-9]+' "$dir/$layer" | cut -c5- | sort -nu | sed 's/$/ 0 0/'
} > "$work/unit.Cfg"
(cd "$work" && exec "$bin" "$layer" unit.PCB unit) > "$work/unit.stdout"
status=$?
if [ "$status" != 0 ]; then
    echo "the run with the file's own units ended with exit status $status:"
    tail -5 "$work/unit.stdout"
    fail=1
elif ! "$check" "$dir/listing.txt" "$work/unit.PCB"; then
    fail=1
fi
exit $fail
