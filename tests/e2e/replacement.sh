#!/usr/bin/env bash
# A completed run puts the new PCB file where the old one was, in both ways of
# writing it: an existing file keeps its permission bits, a new one gets 0666
# less the umask, a symbolic link is followed (the file it names is replaced,
# the link stays), and the directory holds nothing else afterwards.
. "$(dirname "$0")/common.bash"
[ ${#ways[@]} -gt 0 ] || fail "neither way of writing can be shown here"

for way in "${ways[@]}"; do
    via_way "$way"
    for how in new existing symlink; do
        what="$way way, $how PCB file"
        new_case "$way-$how"
        crlf "G54D10*" "X0Y0D02*" "X10000Y0D01*" "M02*" > board.gbr
        files=(board.gbr board.PCB)
        case $how in
            new) mode=640 ;;  # 0666 less the umask 027
            existing) crlf "an older board" > board.PCB; chmod 604 board.PCB; mode=604 ;;
            symlink)
                mkdir real
                crlf "an older board" > real/b.PCB
                chmod 600 real/b.PCB
                ln -s real/b.PCB board.PCB
                files+=(real)
                mode=600
                ;;
        esac
        (
            umask 027
            exec "${via[@]}" "$bin" board.gbr
        ) > "$meta/out"
        expect_status "$what" $? 0
        { crlf "{ Converted from a Gerber file by Lumarind ver. 4.0 }" "" "Layout (" "  Lines (" \
            "    (-394 -394 0 -394 0 10)" "  )" ")"; } | expect_file "$what: PCB file" board.PCB
        [ "$(stat -L -c %a board.PCB)" = $mode ] || fail "$what: mode $(stat -L -c %a board.PCB)"
        only_files "$what" . "${files[@]}"
        if [ $how = symlink ]; then
            [ "$(readlink board.PCB)" = real/b.PCB ] || fail "$what: the link was replaced"
            only_files "$what: the link's directory" real b.PCB
        fi
    done
done

finish
