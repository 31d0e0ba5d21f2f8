#!/usr/bin/env bash
# The input is read in pieces of LUMARIND_READ_BUFFER bytes (set by the test
# runner from the product's definition). Blanks in front of a Gerber file or a
# configuration file change nothing, so the same text behind a piece less k
# blanks must give the same console and PCB file for every k: the end
# of the first piece then falls at every point of the text, within a number,
# a comment, a "%" block, between CR and LF or LF and CR, just before the Ctrl-Z.
. "$(dirname "$0")/common.bash"

piece=${LUMARIND_READ_BUFFER:?the read buffer size, which ctest sets}

# Lines end in CR LF, CR alone, LF alone, CR CR LF and LF CR; then a Ctrl-Z and data after it.
gerber=$'G54D10*\r\nX{ a comment\nthat spans lines }12700Y-0012700D02*\r\n'
gerber+=$'%FSLAX24Y24*%\r\n%ADD10C,0.010*\n%\r\nX25400Y25400D01*\rX+38100D01*\r\r\n'
gerber+=$'D11*X0Y0D03*\n\rG70*\r\nD10*X0000000000000012700Y12700D01*\n'
gerber+=$'M02*\r\n\x1aX*junk'
config=$'{ X } 1000 25400 10000\r\n{ Y: a comment\nover two lines } -1000\t25400  -10000\r\n'
config+=$'7\n10 0 -1\n\r11 3 5 }\r20 -1 0000000000012\r\n\x1a 99 99 99'

head -c $piece /dev/zero | tr '\0' ' ' > "$meta/blanks"

# $1 the text, $2 k: the text behind piece - k blanks (none for k = 0).
padded() {
    [ "$2" != 0 ] && head -c $((piece - $2)) "$meta/blanks"
    printf '%s' "$1"
}

# The whole of file $1 into the variable $2, without a process.
slurp() {
    IFS= read -r -d '' "$2" < "$1"
}

# One run per k; $1 what, $2 the text, $3 the file it goes to, $4 the PCB
# file, then the arguments. The expected console and PCB file are in
# $meta/console and $meta/pcb.
sweep() {
    local what=$1 text=$2 file=$3 pcb=$4
    shift 4
    local want_out want_pcb out got_pcb k status bad=0
    slurp "$meta/console" want_out
    slurp "$meta/pcb" want_pcb
    for ((k = 0; k <= ${#text}; k++)); do
        # New files, not truncated ones: ext4 writes a truncated file back to
        # the disk at its close, and every run would wait for that.
        rm -f "$file" "$pcb"
        padded "$text" $k > "$file"
        "$bin" "$@" > "$meta/out"
        status=$?
        slurp "$meta/out" out
        got_pcb=
        [ -f "$pcb" ] && slurp "$pcb" got_pcb
        if [ $status != 0 ] || [ "$out" != "$want_out" ] || [ "$got_pcb" != "$want_pcb" ]; then
            fail "$what with the piece ending $k bytes before its end (exit status $status)"
            cat -A "$meta/out" | tail -n 3
            bad=$((bad + 1))
            [ $bad -ge 5 ] && break
        fi
    done
}

new_case gerber
{ header board.gbr board.PCB "<none>"; crlf "Reading Gerber file board.gbr . . ." \
    "Line 12 - WARNING: Unknown or unsupported G code (70)." \
    "Line 12 - WARNING: Coordinates are in units of 0.0001 in: use multiplier 1 and divisor 10 for thousandths of an inch." \
    "Completed successfully."; } > "$meta/console"
crlf "{ Converted from a Gerber file by Lumarind ver. 4.0 }" "" "Layout (" "  Lines (" \
    "    (106 -894 606 606 0 10)" "    (606 606 1106 606 0 10)" "  )" "  Pads (" \
    "    (-394 -394 1)" "  )" "  Lines (" "    (-394 -394 106 106 0 10)" "  )" ")" \
    > "$meta/pcb"
sweep "Gerber text" "$gerber" board.gbr board.PCB board.gbr

new_case config
printf 'D10*X10000Y10000D02*X35400Y-15400D01*D11*X10000Y10000D03*D20*X0Y0D03*M02*' > board.gbr
{ header board.gbr out.PCB setup.Cfg; crlf "Reading configuration file setup.Cfg . . ." \
    "Reading Gerber file board.gbr . . ." "Completed successfully."; } > "$meta/console"
crlf "{ Converted from a Gerber file by Lumarind ver. 4.0 }" "" "Layout (" "  Lines (" \
    "    (0 -787 1000 213 0 7)" "  )" "  Pads (" "    (0 -787 5)" "    (-394 -394 12)" "  )" \
    ")" > "$meta/pcb"
sweep "configuration text" "$config" setup.Cfg out.PCB board.gbr out setup

finish
