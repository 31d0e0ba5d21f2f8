#!/usr/bin/env bash
# The PCB name's links are followed by the kernel alone, with its rules: a
# link another user planted in a shared sticky directory is refused where
# fs.protected_symlinks says so, a chain longer than the kernel's 40 links
# ends the run with ELOOP's report, and a link to /dev/stdout writes into the
# console as the shell's ">" would.
. "$(dirname "$0")/common.bash"
[ ${#ways[@]} -gt 0 ] || fail "neither way of writing can be shown here"

write_board() {
    crlf "G54D10*" "X0Y0D02*" "X10000Y0D01*" "M02*" > board.gbr
}
board_text() {
    crlf "{ Converted from a Gerber file by Lumarind ver. 4.0 }" "" "Layout (" "  Lines (" \
        "    (-394 -394 0 -394 0 10)" "  )" ")"
}
expect_report() {  # $1 what, $2 PCB name, $3 report line
    { header board.gbr "$2" "<none>"; crlf "Reading Gerber file board.gbr . . ." "$3" \
        "Fatal error - program halted."; } | expect_file "$1: console" "$meta/out"
}

# In a sticky directory anyone may write, root follows a link planted by
# nobody only while fs.protected_symlinks is off; with it on, the run is
# refused (code 5) and the file the link names stays. A link of root's own
# there is followed, so the refusal is the kernel's rule at work.
sysctl=/proc/sys/fs/protected_symlinks
saved=
if [ "$(id -u)" != 0 ] || ! command -v setpriv >/dev/null; then
    echo "NOTE: not root with setpriv: a planted link is not checked"
elif ! saved=$(cat $sysctl 2>/dev/null) || ! echo 1 2>/dev/null > $sysctl; then
    echo "NOTE: fs.protected_symlinks cannot be set here: a planted link is not checked"
    saved=
else
    trap 'echo "$saved" > '$sysctl'; chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work"' EXIT
    chmod 711 "$work"
    for way in "${ways[@]}"; do
        via_way "$way"
        what="$way way, link planted in a sticky directory"
        new_case "planted-$way"
        write_board
        mkdir -m 1777 shared
        crlf "the victim's file" > victim.txt
        crlf "root's own file" > mine.txt
        snapshot victim.txt
        setpriv --reuid=65534 --regid=65534 --clear-groups ln -s "$PWD/victim.txt" shared/out.PCB
        ln -s "$PWD/mine.txt" shared/mine.PCB
        "${via[@]}" "$bin" board.gbr shared/out.PCB > "$meta/out"
        expect_status "$what" $? 1
        expect_report "$what" shared/out.PCB "File access denied (Read-only, directory full ?)"
        unchanged "$what"
        "${via[@]}" "$bin" board.gbr shared/mine.PCB > "$meta/out"
        expect_status "$what: root's own link" $? 0
        board_text | expect_file "$what: root's own link" mine.txt
        only_files "$what" shared out.PCB mine.PCB
        only_files "$what" . board.gbr shared victim.txt mine.txt
    done
    echo "$saved" > $sysctl
    trap 'chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work"' EXIT
fi

# A chain of 40 links leads to the file, which is replaced; one of 41 is past
# the kernel's limit: I/O error 1000 + ELOOP, and nothing changes.
for way in "${ways[@]}"; do
    via_way "$way"
    for length in 40 41; do
        what="$way way, a chain of $length links"
        new_case "chain-$way-$length"
        write_board
        crlf "an older board" > final.PCB
        snapshot final.PCB
        previous=final.PCB
        for i in $(seq 1 $length); do
            ln -s $previous link$i.PCB
            previous=link$i.PCB
        done
        "${via[@]}" "$bin" board.gbr $previous > "$meta/out"
        if [ $length = 40 ]; then
            expect_status "$what" $? 0
            board_text | expect_file "$what" final.PCB
        else
            expect_status "$what" $? 1
            expect_report "$what" $previous "I/O error (Error code 1040)"
            unchanged "$what"
        fi
        [ "$(ls -A | grep -vc '^link')" = 2 ] || fail "$what: a file besides board.gbr, final.PCB"
        [ -L link1.PCB ] || fail "$what: a link was replaced"
    done
done

# A link to /dev/stdout: the PCB file goes into the console. Into a pipe, it
# comes between the reading line and the last one; into a file, that file is
# written from its start (">" truncates it) and stays the same file, so a
# console appending to it (">>") puts its last line after the PCB file.
new_case stdout
write_board
ln -s /dev/stdout out.PCB
"$bin" board.gbr out.PCB | cat > "$meta/got"
expect_status "/dev/stdout a pipe" "${PIPESTATUS[0]}" 0
{ header board.gbr out.PCB "<none>"; crlf "Reading Gerber file board.gbr . . ."; board_text
    crlf "Completed successfully."; } | expect_file "/dev/stdout a pipe: console" "$meta/got"
: > log
inode=$(stat -c %i log)
"$bin" board.gbr out.PCB >> log
expect_status "/dev/stdout a file" $? 0
{ board_text; crlf "Completed successfully."; } | expect_file "/dev/stdout a file" log
[ "$(stat -c %i log)" = "$inode" ] || fail "/dev/stdout a file: the file was replaced"
only_files "/dev/stdout" . board.gbr out.PCB log
[ "$(readlink out.PCB)" = /dev/stdout ] || fail "/dev/stdout: the link was replaced"

finish
