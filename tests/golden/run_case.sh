#!/usr/bin/env bash
# Runs one golden case: copies in/ into an empty directory, runs setup.sh there
# (links, limits, redirections), runs the program with the arguments in args
# (one per line), then compares stdout, the exit status and every file left in
# the directory byte for byte, and stderr (empty without expected/stderr).
# Inputs must come out unchanged. The case's program is Lumarind unless its file
# program names another one of the package.
#
#   run_case.sh <program> <case folder>          compare
#   REGEN=1 run_case.sh <program> <case folder>  rewrite expected/ (read the diff!)
set -u
bin=$(realpath "$1")
case_dir=$(cd "$2" && pwd)
program=Lumarind
[ -f "$case_dir/program" ] && program=$(cat "$case_dir/program")
if [ "$(basename "$bin")" != "$program" ]; then
    echo "$case_dir runs $program, not $bin"
    exit 2
fi
work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
mkdir "$work/run" "$work/baseline"

prepare() {  # $1: directory to lay the inputs into
    [ -d "$case_dir/in" ] && cp -a "$case_dir/in/." "$1/"
    if [ -f "$case_dir/setup.sh" ]; then
        (cd "$1" && . "$case_dir/setup.sh") >/dev/null
    fi
}
prepare "$work/baseline"
[ -d "$case_dir/in" ] && cp -a "$case_dir/in/." "$work/run/"

args=()
[ -f "$case_dir/args" ] && mapfile -t args < "$case_dir/args"
(
    cd "$work/run" || exit 99
    [ -f "$case_dir/setup.sh" ] && . "$case_dir/setup.sh"
    exec "$bin" "${args[@]}"
) > "$work/stdout" 2> "$work/stderr"
status=$?

if [ "${REGEN:-0}" = 1 ]; then
    mkdir -p "$case_dir/expected"
    cp "$work/stdout" "$case_dir/expected/stdout"
    echo "$status" > "$case_dir/expected/status"
    rm -f "$case_dir/expected/stderr"
    [ -s "$work/stderr" ] && cp "$work/stderr" "$case_dir/expected/stderr"
    rm -rf "$case_dir/expected/files"
    (cd "$work/run" && find . -type f) | while read -r f; do
        if ! cmp -s "$work/run/$f" "$work/baseline/$f"; then
            mkdir -p "$(dirname "$case_dir/expected/files/$f")"
            cp "$work/run/$f" "$case_dir/expected/files/$f"
        fi
    done
    echo "regenerated $case_dir (exit status $status)"
    exit 0
fi

fail=0
if ! cmp "$case_dir/expected/stdout" "$work/stdout"; then
    echo "--- stdout differs; expected:"; cat -A "$case_dir/expected/stdout"
    echo "--- got:"; cat -A "$work/stdout"
    fail=1
fi
# No expected/stderr: nothing may go there.
if ! cat "$case_dir/expected/stderr" 2>/dev/null | cmp -s - "$work/stderr"; then
    echo "--- stderr differs; expected:"; cat -A "$case_dir/expected/stderr" 2>/dev/null
    echo "--- got:"; cat -A "$work/stderr"
    fail=1
fi
expected_status=$(cat "$case_dir/expected/status")
if [ "$status" != "$expected_status" ]; then
    echo "exit status $status, expected $expected_status"
    fail=1
fi
[ -d "$case_dir/expected/files" ] && cp -a "$case_dir/expected/files/." "$work/baseline/"
if ! diff -r --no-dereference "$work/baseline" "$work/run"; then
    echo "files left by the run differ from the expected ones (above: baseline vs run)"
    fail=1
fi
exit $fail
