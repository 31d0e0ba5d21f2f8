#!/usr/bin/env bash
# lumarind-svg ($1) where a golden folder cannot reach: --version and the
# command line's edges, SVG names that name the PCB file, targets that cannot
# be written (in both ways of writing a regular file), consoles that take no
# more, and sizes: a 32 MiB PCB file drawn in the memory of the example,
# and tokens and comments as large as the file.
#
#   LUMARIND_SVG_MB  size of the large inputs in MiB (default 32)
example="$(cd "$(dirname "$0")/../golden/000-example/expected/files" && pwd)/board.PCB"
golden_svg="$(cd "$(dirname "$0")/../golden/280-svg-example/expected/files" && pwd)/board.svg"
. "$(dirname "$0")/common.bash"

mib=${LUMARIND_SVG_MB:-32}

# Runs the program; status, and its stdout and stderr in $meta/out and $meta/err.
run() {
    "${via[@]}" "$bin" "$@" < /dev/null > "$meta/out" 2> "$meta/err"
    status=$?
}
via=()

# Checks a run that failed: its status, its one line on stderr, nothing on stdout.
expect_failure() {  # $1 what, $2 status, $3 the message
    expect_status "$1" "$status" "$2"
    printf '%s\n' "$3" | expect_file "$1: stderr" "$meta/err"
    expect_file "$1: stdout" "$meta/out" < /dev/null
}

# A PCB file of $1 records: sections of a thousand, three of lines then one
# of pads; each section of lines of one width on one layer, as a converted
# plot has them, and every width, layer and pattern there.
big_pcb() {
    printf '%s\r\n' '{ Converted from a Gerber file by Lumarind ver. 4.0 }' '' 'Layout ('
    awk -v n="$1" 'BEGIN {
        for (s = 0; s * 1000 < n; s++) {
            lines = s % 4 != 3
            printf lines ? "  Lines (\r\n" : "  Pads (\r\n"
            for (i = s * 1000; i < (s + 1) * 1000 && i < n; i++) {
                x = i % 40000; y = int(i / 40000) * 10
                if (lines)
                    printf "    (%d %d %d %d %d %d)\r\n", x, y, x + 10, y + 5, s % 16, int(s / 3) % 16
                else
                    printf "    (%d %d %d)\r\n", x, y, i % 64
            }
            printf "  )\r\n"
        }
        printf ")\r\n"
    }'
}

new_case version
run --version
expect_status "--version" "$status" 0
printf 'lumarind-svg 4.0\n' | expect_file "--version: stdout" "$meta/out"
expect_file "--version: stderr" "$meta/err" < /dev/null
only_files "--version" .

new_case three-arguments
cp "$example" board.PCB
run board.PCB a.svg b.svg
expect_failure "three arguments" 2 "Usage: lumarind-svg [--sheet <code sheet>] <PCB file> [<SVG file>]"
only_files "three arguments" . board.PCB

# --help beside another argument is a file name, as any other.
new_case help-and-more
cp "$example" board.PCB
run --help board.svg
expect_failure "--help with another argument" 1 "lumarind-svg: --help: File --help not found"
only_files "--help with another argument" . board.PCB

new_case empty-arguments
cp "$example" board.PCB
run "" board.PCB "" ""
expect_status "empty arguments" "$status" 0
printf 'Wrote board.svg (lines: 116, pads: 32).\n' | expect_file "empty arguments: stdout" "$meta/out"
only_files "empty arguments" . board.PCB board.svg

# The SVG file may never be the PCB file, by any name or link.
new_case svg-is-pcb
cp "$example" board.PCB
ln board.PCB hard.svg
ln -s board.PCB soft.svg
snapshot board.PCB
for target in board.PCB hard.svg soft.svg; do
    run board.PCB "$target"
    expect_failure "SVG file $target" 1 "lumarind-svg: $target: I/O error (Error code 32)"
done
unchanged "SVG file that is the PCB file"
only_files "SVG file that is the PCB file" . board.PCB hard.svg soft.svg

new_case unwritable-targets
cp "$example" board.PCB
mkdir dir.svg
run board.PCB nodir/board.svg
expect_failure "SVG directory missing" 1 "lumarind-svg: nodir/board.svg: Path not found"
run board.PCB dir.svg
expect_failure "SVG name of a directory" 1 \
    "lumarind-svg: dir.svg: File access denied (Read-only, directory full ?)"
only_files "unwritable targets" . board.PCB dir.svg
[ -z "$(ls -A dir.svg)" ] || fail "unwritable targets: something was written into dir.svg"

# Read twice, the PCB file must be a regular file; a directory is refused by
# the open.
new_case not-regular
mkdir dir.PCB
run /dev/null here.svg
expect_failure "/dev/null as the PCB file" 1 \
    "lumarind-svg: /dev/null: not a regular file (the PCB file is read twice)"
run dir.PCB
expect_failure "a directory as the PCB file" 1 \
    "lumarind-svg: dir.PCB: File access denied (Read-only, directory full ?)"
only_files "PCB files that are no regular files" . dir.PCB

# A console known to take no more (closed, a pipe without a reader) ends the
# run with 1 before anything is written, and an older picture stays; one that
# fails the last line itself (full) ends it with 1 after the picture is in
# place.
new_case console
cp "$example" board.PCB
printf '<svg>an older picture</svg>\n' > board.svg
snapshot board.PCB board.svg
"$bin" board.PCB >&- 2> "$meta/err"
expect_status "stdout closed" $? 1
unchanged "stdout closed"
mkfifo console
exec 4<> console 3> console
exec 4<&-  # no reader left
"$bin" board.PCB >&3 2> "$meta/err"
expect_status "stdout a pipe without a reader" $? 1
exec 3>&-
rm console
unchanged "stdout a pipe without a reader"
expect_file "stdout a pipe without a reader: stderr" "$meta/err" < /dev/null
"$bin" board.PCB > /dev/full 2> "$meta/err"
expect_status "stdout full" $? 1
expect_file "stdout full: stderr" "$meta/err" < /dev/null
cmp -s board.svg "$golden_svg" || fail "stdout full: the picture is not in place"
only_files "console" . board.PCB board.svg

# A file-size limit of 1 MiB deep in a picture of about 2 MiB: the write
# that meets it ends the run, in both ways of writing a regular file; an
# older picture stays as it was, with its mode.
new_case limit-source
big_pcb 60000 > "$meta/big.PCB"
for way in "${ways[@]}"; do
    via_way "$way"
    for existing in no yes; do
        what="$way way, file-size limit, existing SVG file: $existing"
        new_case "limit-$way-$existing"
        cp "$meta/big.PCB" big.PCB
        files=(big.PCB)
        if [ $existing = yes ]; then
            printf '<svg>an older picture</svg>\n' > big.svg
            chmod 640 big.svg
            files+=(big.svg)
        fi
        snapshot "${files[@]}"
        mode_before=$(stat -c %a "${files[@]}")
        (
            ulimit -f 1024
            exec "${via[@]}" "$bin" big.PCB
        ) < /dev/null > "$meta/out" 2> "$meta/err"
        status=$?
        expect_failure "$what" 1 "lumarind-svg: big.svg: I/O error (Error code 112)"
        unchanged "$what"
        [ "$(stat -c %a "${files[@]}")" = "$mode_before" ] || fail "$what: a file mode changed"
        only_files "$what" . "${files[@]}"
    done
done
via=()
new_case limit-control
cp "$meta/big.PCB" big.PCB
run big.PCB
expect_status "file-size control run" "$status" 0
[ "$(stat -c %s big.svg)" -gt 1048576 ] || fail "file-size control run: picture under 1 MiB"

# Memory: the example and a PCB file of $mib MiB, each drawn in one go; the
# large one may take no more than 1 MiB more at its peak.
size=$((mib * 1024 * 1024))
flat() {  # $1 what: the last run measured took at most 1 MiB more than the example
    if [ $sanitized = 0 ] && [ -n "$rss_kib" ] && [ "$rss_kib" -gt $((small_rss + 1024)) ]; then
        fail "$1: peak RSS $rss_kib KiB, the example's $small_rss KiB"
    fi
}
new_case sizes
cp "$example" board.PCB
measure "$meta/out" board.PCB 2> "$meta/err"
expect_status "the example" "$status" 0
small_rss=$rss_kib
big_pcb $((size / 31)) > big.PCB
measure "$meta/out" big.PCB 2> "$meta/err"
expect_status "$mib MiB PCB file" "$status" 0
printf 'example: %s KiB peak RSS; %s MiB: %s KiB peak RSS, %s s, picture %s bytes\n' \
    "$small_rss" "$(($(stat -c %s big.PCB) / 1048576))" "$rss_kib" "$seconds" \
    "$(stat -c %s big.svg)"
flat "$mib MiB PCB file"
tail -c 7 big.svg | cmp -s - <(printf '</svg>\n') || fail "$mib MiB PCB file: picture not ended"
rm big.PCB big.svg

# The reader goes while the picture is drawn: the run ends with 1 before the
# picture takes its place, and the older one stays. The named way shows when
# the first pass is done: its temporary file appears.
if [[ " ${ways[*]} " == *" named "* ]]; then
    new_case console-reader-goes
    big_pcb $((size / 31)) > big.PCB
    printf '<svg>an older picture</svg>\n' > big.svg
    snapshot big.svg
    mkfifo console
    exec 4<> console 3> console  # 4 the reader, 3 the program's standard output
    "$no_tmpfile" "$bin" big.PCB >&3 4<&- 2> "$meta/err" &
    pid=$!
    exec 3>&-
    for _ in $(seq 3000); do
        compgen -G '.big.svg.*' > /dev/null && break
        sleep 0.01
    done
    exec 4<&-
    wait $pid
    expect_status "console reader gone while drawing" $? 1
    expect_file "console reader gone while drawing: stderr" "$meta/err" < /dev/null
    unchanged "console reader gone while drawing"
    rm console
    only_files "console reader gone while drawing" . big.PCB big.svg
fi

# One token or one comment as large as the file: the message shows the
# token's start, and memory stays flat.
new_case hostile
{ printf 'Layout (\r\n  Pads (\r\n    (1 '; head -c "$size" /dev/zero | tr '\0' 9; } > long.PCB
measure "$meta/out" long.PCB 2> "$meta/err"
digits=9999999999999999999999999999999999999999
expect_failure "a number of $mib MiB" 1 \
    "lumarind-svg: long.PCB:3: coordinate $digits... out of range (-2147483648 to 2147483647)"
flat "a number of $mib MiB"
{ printf 'Layout (\r\n\r\n{'; head -c "$size" /dev/zero | tr '\0' x; } > comment.PCB
measure "$meta/out" comment.PCB 2> "$meta/err"
expect_failure "a comment of $mib MiB" 1 \
    "lumarind-svg: comment.PCB:3: comment not closed: \"{\" without \"}\""
flat "a comment of $mib MiB"
only_files "hostile sizes" . long.PCB comment.PCB

finish
