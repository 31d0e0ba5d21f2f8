#!/usr/bin/env bash
# Hostile input sizes: one token, comment, block or line as large as the
# file, and a file of a great many empty lines. Each run must end with the
# right report, in time proportional to the size and in flat memory.
#
#   LUMARIND_HOSTILE_MB     size of each input in MiB (default 16)
#   LUMARIND_HOSTILE_LINES  number of empty lines (default 1000000)
. "$(dirname "$0")/common.bash"

mib=${LUMARIND_HOSTILE_MB:-16}
lines=${LUMARIND_HOSTILE_LINES:-1000000}
size=$((mib * 1024 * 1024))
rss_limit_kib=16384
# At least 1 MiB/s with 10 s to spare; a run that is quadratic in the size
# of one token or line takes hours here. Sanitized builds run slower.
time_limit=$((10 + mib))
[ $sanitized = 1 ] && time_limit=$((time_limit * 10))

# size bytes of the character $1
fill() {
    head -c "$size" /dev/zero | tr '\0' "$1"
}

# Runs the program on the case's files and checks the measurements, the
# exit status and the console; the expected report lines come on stdin.
check_run() {  # $1 case, $2 expected exit status, then the arguments
    local what=$1 want=$2
    shift 2
    measure "$meta/out" "$@"
    printf '%-14s %6s MiB %9s lines %7s s %8s KiB peak RSS\n' "$what" "$mib" "$lines" \
        "$seconds" "$rss_kib"
    expect_status "$what" "$status" "$want"
    expect_file "$what: console" "$meta/out"
    if [ $sanitized = 0 ] && [ -n "$rss_kib" ] && [ "$rss_kib" -gt $rss_limit_kib ]; then
        fail "$what: peak RSS $rss_kib KiB, over $rss_limit_kib KiB"
    fi
    if awk -v s="$seconds" -v l=$time_limit 'BEGIN { exit !(s > l) }'; then
        fail "$what: took $seconds s, over $time_limit s"
    fi
}

# A run that ends on an error at line 1 of the file $2 ($3 names the
# configuration file, or <none>).
fatal_case() {  # $1 case, $2 file read, $3 configuration, $4 report
    local what=$1 file=$2 cfg=$3 report=$4
    local reading="Reading Gerber file board.gbr . . ."
    [ "$cfg" != "<none>" ] && reading="Reading configuration file $cfg . . ."
    snapshot "$file"
    local args=(board.gbr)
    [ "$cfg" != "<none>" ] && args=(board.gbr out.PCB "$cfg")
    local pcb=board.PCB
    [ "$cfg" != "<none>" ] && pcb=out.PCB
    { header board.gbr $pcb "$cfg"; crlf "$reading" "Line 1 - ERROR: $report" \
        "Fatal error - program halted."; } | check_run "$what" 1 "${args[@]}"
    unchanged "$what"
}

# A run that completes; the console shows the lines given after $2.
complete_case() {  # $1 case, then the expected report lines
    local what=$1
    shift
    snapshot board.gbr
    { header board.gbr board.PCB "<none>"; crlf "Reading Gerber file board.gbr . . ." "$@" \
        "Completed successfully."; } | check_run "$what" 0 board.gbr
    unchanged "$what"
}

new_case cfg-comment
crlf "D10*X0Y0D01*" > board.gbr
{ printf '{'; fill a; } > hostile.Cfg
fatal_case cfg-comment hostile.Cfg hostile.Cfg "Missing transformation parameter."
only_files cfg-comment . board.gbr hostile.Cfg

# A name and a "%" text as long as the file, where a number is due.
for kind in name percent; do
    new_case cfg-$kind
    crlf "D10*X0Y0D01*" > board.gbr
    if [ $kind = name ]; then fill b; else { printf '%%'; fill b; }; fi > hostile.Cfg
    fatal_case cfg-$kind hostile.Cfg hostile.Cfg "Integer number expected."
    only_files cfg-$kind . board.gbr hostile.Cfg
done

new_case x-comment
{ printf 'D10*X{'; fill a; } > board.gbr
fatal_case x-comment board.gbr "<none>" "X value expected."
only_files x-comment . board.gbr

new_case percent
{ printf 'D10*%%'; fill a; } > board.gbr
fatal_case percent board.gbr "<none>" "Unexpected end of file in parameter block."
only_files percent . board.gbr

# Leading zeros do not count: 35400 is 25400 above the offset, so 1000.
new_case zeros
{ printf 'D10*X0Y0D02*X'; fill 0; printf '35400D01*'; } > board.gbr
complete_case zeros
crlf "{ Converted from a Gerber file by Lumarind ver. 4.0 }" "" "Layout (" "  Lines (" \
    "    (-394 -394 1000 -394 0 10)" "  )" ")" | expect_file "zeros: PCB file" board.PCB
only_files zeros . board.gbr board.PCB

for kind in blanks stars; do
    new_case $kind
    if [ $kind = blanks ]; then fill ' '; else fill '*'; fi > board.gbr
    complete_case $kind
    empty_layout | expect_file "$kind: PCB file" board.PCB
    only_files $kind . board.gbr board.PCB
done

# One line of draws: the first from the origin, the rest on the spot.
new_case draws
draws=$((size / 8))
{ printf 'D10*'; yes 'X1Y1D01*' | head -n $draws | tr -d '\n'; } > board.gbr
complete_case draws
{
    crlf "{ Converted from a Gerber file by Lumarind ver. 4.0 }" "" "Layout (" "  Lines (" \
        "    (0 0 -394 -394 0 10)"
    yes $'    (-394 -394 -394 -394 0 10)\r' | head -n $((draws - 1))
    crlf "  )" ")"
} > "$meta/draws.PCB"
cmp -s board.PCB "$meta/draws.PCB" || fail "draws: PCB file differs from the expected one"
only_files draws . board.gbr board.PCB
rm -f board.PCB board.gbr "$meta/draws.PCB"

# Empty lines count: the warning after them names the right line.
new_case empty-lines
{ yes $'\r' | head -n "$lines"; crlf "$warning_block"; } > board.gbr
complete_case empty-lines "$(warning_at $((lines + 1)))"
empty_layout | expect_file "empty-lines: PCB file" board.PCB
only_files empty-lines . board.gbr board.PCB

finish
