#!/usr/bin/env bash
# A completed run puts the new PCB file where the old one was, in both ways of
# writing it: a new file gets 0666 less the umask; an existing one keeps its
# identity (permission bits, owner and group, ACL and extended attributes,
# other hard links); a symbolic link is followed (the file it names is
# replaced or created, the link stays); and the directory holds nothing else
# afterwards.
. "$(dirname "$0")/common.bash"
[ ${#ways[@]} -gt 0 ] || fail "neither way of writing can be shown here"

root=0
[ "$(id -u)" = 0 ] && root=1
have_acl=0
if command -v setfacl >/dev/null && command -v getfacl >/dev/null; then
    have_acl=1
else
    echo "NOTE: setfacl missing (Debian package acl): ACLs not checked"
fi
[ $root = 1 ] || echo "NOTE: not root: a file of another owner is not checked"

write_board() {
    crlf "G54D10*" "X0Y0D02*" "X10000Y0D01*" "M02*" > board.gbr
}
expect_board() {  # $1 what, $2 file
    { crlf "{ Converted from a Gerber file by Lumarind ver. 4.0 }" "" "Layout (" "  Lines (" \
        "    (-394 -394 0 -394 0 10)" "  )" ")"; } | expect_file "$1: PCB file" "$2"
}
# Owner, group, mode and the number of links; the inode besides with "inode".
identity() {  # $1 file, [$2 inode]
    stat -L -c "%U:%G %a %h${2:+ %i}" "$1"
}
# The ACL and the user attributes, as text.
attributes() {  # $1 file
    [ $have_acl = 1 ] && getfacl -c "$1" 2>/dev/null
    python3 -c 'import os, sys
for n in sorted(os.listxattr(sys.argv[1])):
    if n.startswith("user."): print(n, os.getxattr(sys.argv[1], n))' "$1"
}

for way in "${ways[@]}"; do
    via_way "$way"
    for how in new existing symlink dangling hard-link other-owner acl; do
        what="$way way, $how PCB file"
        [ $how = other-owner ] && [ $root = 0 ] && continue
        [ $how = acl ] && [ $have_acl = 0 ] && continue
        new_case "$way-$how"
        write_board
        files=(board.gbr board.PCB)
        target=board.PCB
        case $how in
            new) ;;
            existing) crlf "an older board" > board.PCB; chmod 604 board.PCB ;;
            symlink | dangling)
                mkdir real
                target=real/b.PCB
                if [ $how = symlink ]; then
                    crlf "an older board" > real/b.PCB
                    chmod 600 real/b.PCB
                fi
                ln -s real/b.PCB board.PCB
                files+=(real)
                ;;
            hard-link)
                crlf "an older board" > board.PCB
                ln board.PCB other.PCB
                files+=(other.PCB)
                ;;
            other-owner)  # root keeps a user's file the user's, setuid and all
                crlf "an older board" > board.PCB
                chown 65534:65534 board.PCB
                chmod 4754 board.PCB
                ;;
            acl)  # the mask (rw) must not turn into the group's bits (r)
                crlf "an older board" > board.PCB
                chmod 640 board.PCB
                setfacl -m u:65534:rw board.PCB
                python3 -c 'import os; os.setxattr("board.PCB", "user.origin", b"cam 7")'
                ;;
        esac
        if [ -e $target ]; then
            before=$(identity $target inode)
            attrs=$(attributes $target)
        else
            before="$(id -un):$(id -gn) 640 1 new"  # 0666 less the umask 027
            attrs=
        fi
        (
            umask 027
            exec "${via[@]}" "$bin" board.gbr
        ) > "$meta/out"
        expect_status "$what" $? 0
        expect_board "$what" $target
        after=$(identity $target inode)
        case $how in
            # Another link keeps the file itself: the contents are copied into it.
            hard-link) [ "$after" = "$before" ] || fail "$what: [$after], was [$before]"
                expect_board "$what, the other link" other.PCB ;;
            *) [ "${after% *}" = "${before% *}" ] || fail "$what: [$after], was [$before]" ;;
        esac
        if [ -n "$attrs" ] && [ "$(attributes $target)" != "$attrs" ]; then
            fail "$what: ACL or attributes changed"
        fi
        only_files "$what" . "${files[@]}"
        if [ -d real ]; then
            [ "$(readlink board.PCB)" = real/b.PCB ] || fail "$what: the link was replaced"
            only_files "$what: the link's directory" real b.PCB
        fi
    done
done

# A file the user may write in a directory the user may not: the run writes
# the file itself, as a plain write would, and leaves nothing else. As root,
# the run drops to nobody, for whom the directory is not writable.
# The programs run from copies in the scratch directory, which nobody can
# reach wherever the build lies (a folder above it may be closed to others).
as_user=()
user_ways=("${ways[@]}")
if [ $root = 1 ]; then
    chmod 711 "$work"
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    mkdir -m 755 "$meta/bin"
    cp "$bin" "$meta/bin/Lumarind"
    bin="$meta/bin/Lumarind"
    if [ -n "$no_tmpfile" ]; then
        cp "$no_tmpfile" "$meta/bin/no_tmpfile"
        no_tmpfile="$meta/bin/no_tmpfile"
    fi
    if ! "${as_user[@]}" "$bin" --version >/dev/null 2>&1; then
        echo "NOTE: nobody cannot run a program in $work: a read-only directory is not checked"
        user_ways=()
    fi
fi
for way in ${user_ways[@]+"${user_ways[@]}"}; do
    via_way "$way"
    what="$way way, writable file in a read-only directory"
    new_case "read-only-dir-$way"
    write_board
    crlf "an older board" > board.PCB
    chmod 666 board.PCB
    before=$(identity board.PCB inode)
    chmod 555 .
    "${as_user[@]}" "${via[@]}" "$bin" board.gbr > "$meta/out"
    expect_status "$what" $? 0
    chmod 755 .
    expect_board "$what" board.PCB
    [ "$(identity board.PCB inode)" = "$before" ] || fail "$what: the file's identity changed"
    only_files "$what" . board.gbr board.PCB
done

# A file system without Unix modes fails every chmod (no_tmpfile --no-modes
# makes it so): a new file is written all the same, an existing one keeps its
# mode by being written in place.
if [ -n "$no_tmpfile" ] && "$no_tmpfile" --no-modes /bin/true; then
    for how in new existing; do
        what="no Unix modes, $how PCB file"
        new_case "no-modes-$how"
        write_board
        if [ $how = existing ]; then
            crlf "an older board" > board.PCB
            chmod 644 board.PCB
            before=$(identity board.PCB inode)
        fi
        "$no_tmpfile" --no-modes "$bin" board.gbr > "$meta/out"
        expect_status "$what" $? 0
        expect_board "$what" board.PCB
        if [ $how = existing ]; then
            [ "$(identity board.PCB inode)" = "$before" ] || fail "$what: the file's identity changed"
        fi
        only_files "$what" . board.gbr board.PCB
    done
else
    echo "NOTE: no seccomp filter here: a file system without modes is not shown"
fi

finish
