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

# A console that is a non-blocking pipe (its other holder may set that) and
# fills because its reader is slow is full, not broken: the run waits and
# completes. The reader starts after the pipe has been full for a second.
new_case nonblocking
{
    crlf "G54D10*"
    for i in $(seq 1 5000); do crlf "X${i}Y1D01*G70*"; done
    crlf "M02*"
} > board.gbr
snapshot board.gbr
python3 - "$bin" board.gbr > "$meta/got" 2> "$meta/err" <<'PY'
import fcntl, os, subprocess, sys, time
r, w = os.pipe()
fcntl.fcntl(w, fcntl.F_SETFL, fcntl.fcntl(w, fcntl.F_GETFL) | os.O_NONBLOCK)
run = subprocess.Popen(sys.argv[1:], stdout=w)
os.close(w)
time.sleep(1)
with os.fdopen(r, "rb") as pipe:
    sys.stdout.buffer.write(pipe.read())
sys.exit(run.wait())
PY
expect_status "non-blocking console" $? 0
[ -s "$meta/err" ] && fail "non-blocking console: something went to stderr: $(cat "$meta/err")"
{
    header board.gbr board.PCB "<none>"
    crlf "Reading Gerber file board.gbr . . ."
    for i in $(seq 2 5001); do crlf "Line $i - WARNING: Unknown or unsupported G code (70)."; done
    crlf "Completed successfully."
} | expect_file "non-blocking console: console" "$meta/got"
[ "$(grep -c '^    (' board.PCB)" = 5000 ] || fail "non-blocking console: not 5000 records"
unchanged "non-blocking console"
only_files "non-blocking console" . board.gbr board.PCB

finish
