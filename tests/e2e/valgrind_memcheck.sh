#!/usr/bin/env bash
# Small runs under valgrind's memcheck: a completed conversion, one with a
# configuration file, and one that ends on an error with the PCB file half
# written. No invalid access, no use of an undefined value, no leak (memory
# still reachable at a fatal exit is not one).
. "$(dirname "$0")/common.bash"

if [ $sanitized = 1 ]; then
    echo "SKIP: valgrind cannot run a build with AddressSanitizer"
    exit 0
fi
if ! command -v valgrind >/dev/null; then
    echo "SKIP: valgrind is not installed (Debian package valgrind)"
    exit 0
fi

memcheck() {  # $1 case, $2 expected exit status, then the arguments
    local what=$1 want=$2
    shift 2
    valgrind -q --error-exitcode=99 --leak-check=full --show-leak-kinds=definite,indirect,possible \
        --errors-for-leak-kinds=definite,indirect,possible --track-origins=yes \
        --log-file="$meta/valgrind.log" "$bin" "$@" > "$meta/out"
    local got=$?
    if [ $got = 99 ] || [ -s "$meta/valgrind.log" ]; then
        fail "$what: memcheck found errors"
        cat "$meta/valgrind.log"
    fi
    expect_status "$what" $got "$want"
}

board() {
    crlf "G54D10*" "X0Y0D02*" "X10000Y0D01*" "X10000Y10000D01*" "D11*" "X0Y10000D03*" \
        "D30*" "X0Y0D01*" "M02*"
}

new_case worked-example
board > board.gbr
memcheck worked-example 0 board.gbr
{ header board.gbr board.PCB "<none>"; crlf "Reading Gerber file board.gbr . . ." \
    "WARNING: Rejected code #30 was used (1 times) to draw lines." \
    "Completed successfully."; } | expect_file "worked-example: console" "$meta/out"
crlf "{ Converted from a Gerber file by Lumarind ver. 4.0 }" "" "Layout (" "  Lines (" \
    "    (-394 -394 0 -394 0 10)" "    (0 -394 0 0 0 10)" "  )" "  Pads (" "    (-394 0 1)" \
    "  )" ")" | expect_file "worked-example: PCB file" board.PCB

new_case config
board > board.gbr
crlf "{ X } 1 1 0" "{ Y } 1 1 0" "{ layer } 3" "30 2 -1" > setup.Cfg
memcheck config 0 board.gbr out setup
{ header board.gbr out.PCB setup.Cfg; crlf "Reading configuration file setup.Cfg . . ." \
    "Reading Gerber file board.gbr . . ." "Completed successfully."; } |
    expect_file "config: console" "$meta/out"
crlf "{ Converted from a Gerber file by Lumarind ver. 4.0 }" "" "Layout (" "  Lines (" \
    "    (0 0 10000 0 0 3)" "    (10000 0 10000 10000 0 3)" "  )" "  Pads (" \
    "    (0 10000 1)" "  )" "  Lines (" "    (0 10000 0 0 2 3)" "  )" ")" |
    expect_file "config: PCB file" out.PCB

# More than one buffer of records written, then an error: the temporary file
# is dropped on the way out.
new_case error
{
    crlf "D10*"
    seq 1 1000 | awk '{ printf "X%dY0D01*\r\n", $1 * 100 }'
    crlf "D0*"
} > board.gbr
memcheck error 1 board.gbr
{ header board.gbr board.PCB "<none>"; crlf "Reading Gerber file board.gbr . . ." \
    "Line 1002 - ERROR: Range exceeded (1 to 9999 allowed)." "Fatal error - program halted."; } |
    expect_file "error: console" "$meta/out"
only_files error . board.gbr

finish
