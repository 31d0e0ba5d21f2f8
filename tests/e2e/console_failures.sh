#!/usr/bin/env bash
# The console cannot be written: standard output closed, /dev/full, or a pipe
# whose reader has gone midway through the run. Exit code 1, nothing written
# anywhere else, and no PCB file left: neither the final one nor a temporary.
. "$(dirname "$0")/common.bash"

write_board() {
    crlf "G54D10*" "X0Y0D02*" "X10000Y0D01*" "D11*" "X0Y10000D03*" "M02*" > board.gbr
}

new_case closed
write_board
snapshot board.gbr
"$bin" board.gbr >&- 2> "$meta/err"
expect_status "console closed" $? 1
[ -s "$meta/err" ] && fail "console closed: something went to stderr: $(cat "$meta/err")"
unchanged "console closed"
only_files "console closed" . board.gbr

new_case full
write_board
snapshot board.gbr
"$bin" board.gbr > /dev/full 2> "$meta/err"
expect_status "console /dev/full" $? 1
[ -s "$meta/err" ] && fail "console /dev/full: something went to stderr: $(cat "$meta/err")"
unchanged "console /dev/full"
only_files "console /dev/full" . board.gbr

# The reader stops after 2000 bytes while the PCB file is being written: a
# warning per line (about 56 bytes each) fills the pipe long before the end.
# The first 2000 bytes are what the console showed up to then.
for existing in no yes; do
    what="pipe closed midway, existing PCB file: $existing"
    new_case "pipe-$existing"
    {
        crlf "G54D10*"
        for i in $(seq 1 20000); do crlf "X${i}Y1D01*G70*"; done
        crlf "M02*"
    } > board.gbr
    files=(board.gbr)
    if [ $existing = yes ]; then
        crlf "an older board, to be kept" > board.PCB
        files+=(board.PCB)
    fi
    snapshot "${files[@]}"
    "$bin" board.gbr 2> "$meta/err" | head -c 2000 > "$meta/got"
    expect_status "$what" "${PIPESTATUS[0]}" 1
    [ -s "$meta/err" ] && fail "$what: something went to stderr: $(cat "$meta/err")"
    {
        header board.gbr board.PCB "<none>"
        crlf "Reading Gerber file board.gbr . . ."
        for i in $(seq 2 40); do crlf "Line $i - WARNING: Unknown or unsupported G code (70)."; done
    } | head -c 2000 | expect_file "$what: console" "$meta/got"
    unchanged "$what"
    only_files "$what" . "${files[@]}"
done

finish
