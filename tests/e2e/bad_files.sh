#!/usr/bin/env bash
# Input and output names that cannot be used: each run ends with the right
# report and exit code 1, leaves the input as it was and no file behind.
. "$(dirname "$0")/common.bash"

write_board() {
    crlf "G54D10*" "X0Y0D02*" "X10000Y0D01*" "X10000Y10000D01*" "D11*" "X0Y10000D03*" \
        "D30*" "X0Y0D01*" "M02*" > board.gbr
}

# Runs the program in the current case directory; $1 the expected last report
# line before the halt line, $2.. the arguments. PCB name is $pcb.
expect_fatal() {  # $1 what, $2 report line, then the arguments
    local what=$1 report=$2
    shift 2
    "$bin" "$@" > "$meta/out"
    expect_status "$what" $? 1
    { header "$1" "$pcb" "<none>"; crlf "Reading Gerber file $1 . . ." "$report" \
        "Fatal error - program halted."; } | expect_file "$what: console" "$meta/out"
}

new_case missing
pcb=missing.PCB expect_fatal "missing input" "File missing.gbr not found" missing.gbr
only_files "missing input" . 

new_case dangling
ln -s nowhere.gbr board.gbr
pcb=board.PCB expect_fatal "dangling symlink as input" "File board.gbr not found" board.gbr
only_files "dangling symlink as input" . board.gbr
[ -L board.gbr ] && [ ! -e nowhere.gbr ] || fail "dangling symlink as input: the link changed"

new_case directory
mkdir board.gbr
pcb=board.PCB expect_fatal "directory as input" \
    "File access denied (Read-only, directory full ?)" board.gbr
only_files "directory as input" . board.gbr
[ -z "$(ls -A board.gbr)" ] || fail "directory as input: something was written into it"

# Unreadable: root reads everything, so as root the run drops to nobody.
new_case unreadable
write_board
snapshot board.gbr
chmod 000 board.gbr
as_user=()
if [ "$(id -u)" = 0 ]; then
    if ! command -v setpriv >/dev/null; then
        echo "SKIP unreadable input: running as root without setpriv"
    elif copies_for_nobody "an unreadable input"; then
        chmod 777 .
        as_user=("${as_nobody[@]}")
    fi
fi
if [ "$(id -u)" != 0 ] || [ ${#as_user[@]} -gt 0 ]; then
    "${as_user[@]}" "$bin" board.gbr > "$meta/out"
    expect_status "unreadable input" $? 1
    { header board.gbr board.PCB "<none>"; crlf "Reading Gerber file board.gbr . . ." \
        "File access denied (Read-only, directory full ?)" "Fatal error - program halted."; } |
        expect_file "unreadable input: console" "$meta/out"
    only_files "unreadable input" . board.gbr
fi
chmod 644 board.gbr
unchanged "unreadable input"

# The PCB file may never be the Gerber file: by its own name, another path
# to it, a hard link or a symbolic link.
for how in name dot-path hard-link symlink symlink-chain; do
    new_case "same-$how"
    write_board
    case $how in
        name) pcb=board.gbr ;;
        dot-path) pcb=./sub/../board.gbr; mkdir sub ;;
        hard-link) pcb=copy.gbr; ln board.gbr copy.gbr ;;
        symlink) pcb=link.gbr; ln -s board.gbr link.gbr ;;
        symlink-chain) pcb=link2.gbr; ln -s board.gbr link1.gbr; ln -s link1.gbr link2.gbr ;;
    esac
    snapshot board.gbr
    before=$(ls -A | sort)
    expect_fatal "PCB name the Gerber file ($how)" "I/O error (Error code 32)" board.gbr "$pcb"
    unchanged "PCB name the Gerber file ($how)"
    only_files "PCB name the Gerber file ($how)" . $before
done

# A PCB path through a missing directory, or through a file.
for how in missing-dir file-as-dir; do
    new_case "path-$how"
    write_board
    case $how in
        missing-dir) pcb=nodir/out.PCB ;;
        file-as-dir) pcb=board.gbr/out.PCB ;;
    esac
    snapshot board.gbr
    expect_fatal "PCB path, $how" "Path not found" board.gbr "$pcb"
    unchanged "PCB path, $how"
    only_files "PCB path, $how" . board.gbr
done

# File names at the system's limit of 255 bytes: a PCB file of that name is
# written (a new one, and over an old one, in both ways, whose temporary name
# must be shorter); one byte more is refused.
for way in "${ways[@]}"; do
    via_way "$way"
    for how in new existing; do
        what="$way way, PCB name of 255 bytes, $how"
        new_case "name-255-$way-$how"
        write_board
        long=$(head -c 251 /dev/zero | tr '\0' 'n').PCB
        if [ $how = existing ]; then
            crlf "an older board" > "$long"
        fi
        "${via[@]}" "$bin" board.gbr "$long" > "$meta/out"
        expect_status "$what" $? 0
        { header board.gbr "$long" "<none>"; crlf "Reading Gerber file board.gbr . . ." \
            "WARNING: Rejected code #30 was used (1 times) to draw lines." \
            "Completed successfully."; } | expect_file "$what: console" "$meta/out"
        grep -q '^    (-394 0 1)'$'\r''$' "$long" 2>/dev/null || fail "$what: not the converted board"
        only_files "$what" . board.gbr "$long"
    done
done
new_case name-256
write_board
long=$(head -c 252 /dev/zero | tr '\0' 'n').PCB
pcb=$long expect_fatal "PCB name of 256 bytes" "Path not found" board.gbr "$long"
only_files "PCB name of 256 bytes" . board.gbr

# A directory where the PCB file should go is refused, and left empty.
new_case pcb-directory
write_board
mkdir out.PCB
snapshot board.gbr
pcb=out.PCB expect_fatal "PCB name a directory" \
    "File access denied (Read-only, directory full ?)" board.gbr out.PCB
unchanged "PCB name a directory"
only_files "PCB name a directory" . board.gbr out.PCB
[ -z "$(ls -A out.PCB)" ] || fail "PCB name a directory: something was written into it"

finish
