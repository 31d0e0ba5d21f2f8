#!/usr/bin/env bash
# A run stopped by a signal while the PCB file is being written leaves no
# temporary file, and an existing PCB file as it was. The Gerber input is a
# named pipe held open, so the run waits, deterministically, mid-conversion.
. "$(dirname "$0")/common.bash"
ulimit -c 0  # SIGQUIT would leave a core file among the files checked

for sig in TERM INT HUP QUIT; do
    for existing in no yes; do
        what="SIG$sig, existing PCB file: $existing"
        new_case "$sig-$existing"
        mkfifo board.gbr
        files=(board.gbr)
        if [ $existing = yes ]; then
            crlf "an older board, to be kept" > board.PCB
            files+=(board.PCB)
            snapshot board.PCB
        fi
        # A shell starts a background job with SIGINT and SIGQUIT ignored.
        env --default-signal "$bin" board.gbr > "$meta/out" &
        pid=$!
        exec 3> board.gbr  # waits for the program to open its end
        # More than a buffer of records, so some went to the temporary file.
        { crlf "G54D10*"; seq 1 2000 | awk '{ printf "X%dY0D01*\r\n", $1 }'; } >&3
        for _ in $(seq 1 200); do
            [ -n "$(find . -maxdepth 1 -name '.board.PCB.*' -size +0)" ] && break
            sleep 0.05
        done
        [ -n "$(find . -maxdepth 1 -name '.board.PCB.*')" ] ||
            fail "$what: no temporary file while the run waits"
        kill -s $sig $pid
        { wait $pid; } 2>/dev/null  # not the shell's note of how it ended
        got=$?
        exec 3>&-
        expect_status "$what" $got $((128 + $(kill -l $sig)))
        only_files "$what" . "${files[@]}"
        [ $existing = yes ] && unchanged "$what"
    done
done

# A signal the run was started with ignored (nohup ignores SIGHUP; a shell
# ignores SIGINT and SIGQUIT for a background job) stays ignored: the run
# goes on through it and completes.
trap '' PIPE
for sig in HUP INT QUIT; do
    what="SIG$sig ignored from the start"
    new_case "ignored-$sig"
    mkfifo board.gbr
    (
        trap '' $sig
        exec "$bin" board.gbr
    ) > "$meta/out" &
    pid=$!
    exec 3> board.gbr
    { crlf "G54D10*"; seq 1 2000 | awk '{ printf "X%dY0D01*\r\n", $1 }'; } >&3
    for _ in $(seq 1 200); do
        [ -n "$(find . -maxdepth 1 -name '.board.PCB.*' -size +0)" ] && break
        sleep 0.05
    done
    kill -s $sig $pid
    sleep 0.2
    crlf "M02*" >&3 2>/dev/null  # fails, with SIGPIPE ignored, if the run has died
    exec 3>&-
    { wait $pid; } 2>/dev/null
    expect_status "$what" $? 0
    crlf "Completed successfully." | expect_file "$what: last console line" <(tail -n 1 "$meta/out")
    [ "$(grep -c '^    (' board.PCB 2>/dev/null)" = 2000 ] || fail "$what: not 2000 records"
    only_files "$what" . board.gbr board.PCB
done

finish
