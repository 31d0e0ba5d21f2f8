#!/usr/bin/env bash
# A run stopped by a signal while the PCB file is being written leaves no file
# behind, and an existing PCB file as it was: the unnamed file has no name to
# leave, even after SIGKILL; the named one is removed by the handlers of the
# four signals that can be caught (after SIGKILL it would stay, so that is not
# asked of it), also when its directory was renamed meanwhile. The Gerber input is a named pipe held open, so the run waits,
# deterministically, mid-conversion.
. "$(dirname "$0")/common.bash"
ulimit -c 0  # SIGQUIT would leave a core file among the files checked
[ ${#ways[@]} -gt 0 ] || fail "neither way of writing can be shown here"

# More than a buffer of records, so some went to the file being written.
records() {
    crlf "G54D10*"
    seq 1 2000 | awk '{ printf "X%dY0D01*\r\n", $1 }'
}

# Waits until the run $1 holds a non-empty file of this directory open: the
# file being written, as the Gerber file is a pipe. An unnamed one shows as
# "DIR/#INODE (deleted)".
await_output() {
    local dir fd
    dir=$(pwd -P)
    for _ in $(seq 1 200); do
        for fd in /proc/"$1"/fd/*; do
            case $(readlink "$fd" 2>/dev/null) in
                "$dir"/board.gbr) ;;
                "$dir"/*) [ "$(stat -L -c %s "$fd" 2>/dev/null || echo 0)" -gt 0 ] && return 0 ;;
            esac
        done
        sleep 0.05
    done
    return 1
}

# Checks the directory while the run writes: in the unnamed way it holds the
# inputs only; in the named way, the temporary file besides.
check_writing() {  # $1 what, $2 way, then the input files
    local what=$1 way=$2
    shift 2
    case $way in
        unnamed) only_files "$what: while the run writes" . "$@" ;;
        named)
            [ -n "$(find . -maxdepth 1 -name '.board.PCB.*')" ] ||
                fail "$what: no temporary file while the run writes"
            ;;
    esac
}

for way in "${ways[@]}"; do
    via_way "$way"
    sigs=(TERM INT HUP QUIT)
    [ "$way" = unnamed ] && sigs+=(KILL)
    for sig in "${sigs[@]}"; do
        for existing in no yes; do
            what="$way way, SIG$sig, existing PCB file: $existing"
            new_case "$way-$sig-$existing"
            mkfifo board.gbr
            files=(board.gbr)
            if [ $existing = yes ]; then
                crlf "an older board, to be kept" > board.PCB
                files+=(board.PCB)
                snapshot board.PCB
            fi
            # A shell starts a background job with SIGINT and SIGQUIT ignored.
            env --default-signal "${via[@]}" "$bin" board.gbr > "$meta/out" &
            pid=$!
            exec 3> board.gbr  # waits for the program to open its end
            records >&3
            await_output $pid || fail "$what: no output file open while the run waits"
            check_writing "$what" "$way" "${files[@]}"
            kill -s $sig $pid
            { wait $pid; } 2>/dev/null  # not the shell's note of how it ended
            got=$?
            exec 3>&-
            expect_status "$what" $got $((128 + $(kill -l $sig)))
            only_files "$what" . "${files[@]}"
            [ $existing = yes ] && unchanged "$what"
        done
    done
done

# The directory of the PCB file is renamed while the run writes (the PCB
# name leads through it): a run then stopped by SIGTERM leaves nothing in the
# renamed directory; one that goes on puts the PCB file there.
for way in "${ways[@]}"; do
    via_way "$way"
    for end in TERM completed; do
        what="$way way, directory renamed during the run, then $end"
        new_case "renamed-$way-$end"
        mkfifo board.gbr
        mkdir out
        env --default-signal "${via[@]}" "$bin" board.gbr out/board.PCB > "$meta/out" &
        pid=$!
        exec 3> board.gbr
        records >&3
        await_output $pid || fail "$what: no output file open while the run waits"
        mv out moved
        if [ $end = TERM ]; then
            kill -s TERM $pid
        else
            crlf "M02*" >&3
        fi
        exec 3>&-
        { wait $pid; } 2>/dev/null
        got=$?
        if [ $end = TERM ]; then
            expect_status "$what" $got 143
            only_files "$what" moved
        else
            expect_status "$what" $got 0
            [ "$(grep -c '^    (' moved/board.PCB 2>/dev/null)" = 2000 ] || fail "$what: not 2000 records"
            only_files "$what" moved board.PCB
        fi
        only_files "$what" . board.gbr moved
    done
done

# A signal the run was started with ignored (nohup ignores SIGHUP; a shell
# ignores SIGINT and SIGQUIT for a background job) stays ignored: the run
# goes on through it and completes.
trap '' PIPE
for way in "${ways[@]}"; do
    via_way "$way"
    for sig in HUP INT QUIT; do
        what="$way way, SIG$sig ignored from the start"
        new_case "ignored-$way-$sig"
        mkfifo board.gbr
        (
            trap '' $sig
            exec "${via[@]}" "$bin" board.gbr
        ) > "$meta/out" &
        pid=$!
        exec 3> board.gbr
        records >&3
        await_output $pid || fail "$what: no output file open while the run waits"
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
done

finish
