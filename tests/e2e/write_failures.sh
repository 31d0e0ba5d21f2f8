#!/usr/bin/env bash
# The PCB file cannot be written: a file-size limit deep in a large
# conversion (in both ways of writing a regular file), and a PCB name that
# links to /dev/full. The run ends with the disk-full report (code 112) at the
# write that failed, leaves no partial PCB file and an existing one byte for
# byte as it was.
. "$(dirname "$0")/common.bash"

# About 3.4 MB of Gerber making about 7 MB of PCB file, with a warning in the
# first line and another near the end, which must never be reached.
big_board() {
    crlf "$warning_block" "G54D10*"
    seq 1 200000 | awk '{ printf "X%dY%dD01*\r\n", $1 * 10, $1 * 7 }'
    crlf "$warning_block" "M02*"
}

# A file-size limit of 1 MiB (bash counts in KiB): write fails with EFBIG,
# as the signal it would raise is ignored.
limited_run() {
    (
        ulimit -f 1024
        trap '' XFSZ
        exec "${via[@]}" "$bin" "$@"
    ) > "$meta/out"
}

for way in "${ways[@]}"; do
    via_way "$way"
    for existing in no yes; do
        what="$way way, file-size limit, existing PCB file: $existing"
        new_case "limit-$way-$existing"
        big_board > board.gbr
        files=(board.gbr)
        if [ $existing = yes ]; then
            crlf "an older board, to be kept" > board.PCB
            chmod 640 board.PCB
            files+=(board.PCB)
        fi
        snapshot "${files[@]}"
        mode_before=$(stat -c %a "${files[@]}")
        limited_run board.gbr
        expect_status "$what" $? 1
        { header board.gbr board.PCB "<none>"; crlf "Reading Gerber file board.gbr . . ." \
            "$(warning_at 1)" "I/O error (Error code 112)" \
            "Fatal error - program halted."; } | expect_file "$what: console" "$meta/out"
        unchanged "$what"
        [ "$(stat -c %a "${files[@]}")" = "$mode_before" ] || fail "$what: a file mode changed"
        only_files "$what" . "${files[@]}"
    done
done

# The same conversion without the limit completes, so the limit was the cause.
new_case limit-control
big_board > board.gbr
"$bin" board.gbr > "$meta/out"
expect_status "file-size control run" $? 0
[ "$(stat -c %s board.PCB)" -gt 2097152 ] || fail "file-size control run: PCB file under 2 MiB"
grep -q "$(warning_at 200003)" "$meta/out" ||
    fail "file-size control run: the late warning is missing"

# Small output to /dev/full: everything fits the buffer, so the failure shows
# at the close, after the rejection report.
new_case full-small
crlf "G54D10*" "X0Y0D02*" "X10000Y0D01*" "D11*" "X0Y10000D03*" "D30*" "X0Y0D01*" "M02*" \
    > board.gbr
ln -s /dev/full full.PCB
snapshot board.gbr
"$bin" board.gbr full.PCB > "$meta/out"
expect_status "/dev/full, small output" $? 1
{ header board.gbr full.PCB "<none>"; crlf "Reading Gerber file board.gbr . . ." \
    "WARNING: Rejected code #30 was used (1 times) to draw lines." \
    "I/O error (Error code 112)" "Fatal error - program halted."; } |
    expect_file "/dev/full, small output: console" "$meta/out"
unchanged "/dev/full, small output"
only_files "/dev/full, small output" . board.gbr full.PCB
[ "$(readlink full.PCB)" = /dev/full ] || fail "/dev/full, small output: the link was replaced"

# More than 16384 bytes: the failure shows at the record whose write hit it,
# before the later warning and the rejection report.
new_case full-large
{
    crlf "$warning_block" "G54D10*"
    seq 1 2000 | awk '{ printf "X%dY0D01*\r\n", $1 * 100 }'
    crlf "D30*" "X0Y0D01*" "$warning_block" "M02*"
} > board.gbr
ln -s /dev/full full.PCB
snapshot board.gbr
"$bin" board.gbr full.PCB > "$meta/out"
expect_status "/dev/full, large output" $? 1
{ header board.gbr full.PCB "<none>"; crlf "Reading Gerber file board.gbr . . ." \
    "$(warning_at 1)" \
    "I/O error (Error code 112)" "Fatal error - program halted."; } |
    expect_file "/dev/full, large output: console" "$meta/out"
unchanged "/dev/full, large output"
only_files "/dev/full, large output" . board.gbr full.PCB

finish
