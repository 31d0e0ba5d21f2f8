#!/usr/bin/env bash
# The console cannot be written: standard output closed, /dev/full, or a pipe
# whose reader has gone midway through the run or before its end. Exit code 1,
# nothing written anywhere else, and no PCB file left: neither the final one
# nor a temporary; an existing one stays as it was.
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

# The reader goes after the console's last line before the end: the run ends
# quietly (exit code 1) before the new PCB file is put in place, so the old
# one stays, in both ways of writing it; with the reader kept it completes.
# The Gerber file and the console are named pipes: once the run has opened
# the Gerber file, everything up to "Reading Gerber file" is in the console
# pipe; then the reader goes, then the Gerber input comes.
trap '' PIPE  # a run that ended early must not end the script with it
for way in "${ways[@]}"; do
    via_way "$way"
    for reader in gone kept; do
        what="$way way, console reader $reader before the end"
        new_case "reader-$reader-$way"
        mkfifo board.gbr console
        crlf "an older board, to be kept" > board.PCB
        snapshot board.PCB
        "${via[@]}" "$bin" board.gbr > console &
        pid=$!
        exec 4< console
        exec 3> board.gbr
        [ $reader = gone ] && exec 4<&-
        crlf "G54D10*" "X0Y0D02*" "X10000Y0D01*" "M02*" >&3 2>/dev/null
        exec 3>&-
        if [ $reader = kept ]; then
            cat <&4 > "$meta/got"
            exec 4<&-
        fi
        wait $pid
        got=$?
        if [ $reader = gone ]; then
            expect_status "$what" $got 1
            unchanged "$what"
        else
            expect_status "$what" $got 0
            crlf "Completed successfully." | expect_file "$what: last line" <(tail -n 1 "$meta/got")
            { crlf "{ Converted from a Gerber file by Lumarind ver. 4.0 }" "" "Layout (" \
                "  Lines (" "    (-394 -394 0 -394 0 10)" "  )" ")"; } |
                expect_file "$what: PCB file" board.PCB
        fi
        only_files "$what" . board.gbr console board.PCB
    done
done

# As people meet it: a conversion piped into head, which leaves after ten
# bytes. The Gerber input comes only once head and its shell have gone, so
# however fast the run, its console has no reader before the end. Exit code
# 1, and the old PCB file stays.
new_case head
crlf "an older board, to be kept" > big.PCB
snapshot big.PCB
{
    "$bin" /dev/stdin big.PCB < <(
        while [ ! -e "$meta/head-gone" ]; do sleep 0.05; done
        crlf "G54D10*"
        seq 1 100000 | awk '{ printf "X%dY0D01*\r\n", $1 }'
        crlf "M02*"
    ) 2> /dev/null
} | {
    head -c 10 > /dev/null
    exec 0<&-
    touch "$meta/head-gone"
}
expect_status "piped into head -c 10" "${PIPESTATUS[0]}" 1
unchanged "piped into head -c 10"
only_files "piped into head -c 10" . big.PCB

finish
