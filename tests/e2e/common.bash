# Shared by the end-to-end scripts (sourced, not run: only *.sh files are
# registered as tests). Each script runs the program given as $1 in a scratch
# directory that is removed on exit, and ends through finish.
set -u
shopt -s lastpipe  # "{ expected text; } | expect_file" must count its failures here

if [ $# -lt 1 ] || [ ! -x "$1" ]; then
    echo "usage: $0 <path of the built Lumarind> [<path of no_tmpfile>]" >&2
    exit 2
fi
bin=$(realpath "$1")
no_tmpfile=
if [ $# -ge 2 ] && [ -x "$2" ]; then
    no_tmpfile=$(realpath "$2")
fi
work=$(mktemp -d)
trap 'chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work"' EXIT
meta="$work/.lib"  # the helpers' own files; the cases use subdirectories
mkdir "$meta"
cd "$work" || exit 2
failures=0

# The two ways a regular PCB file is written until it replaces its target:
# "unnamed", with no name at all (where the file system takes such a file),
# and "named", as ".NAME.XXXXXX" beside it (where it does not: no_tmpfile, the
# second argument, makes it so). ways holds those this machine can show
# ("default" alone without no_tmpfile); via_way sets via, what the program's
# command starts with for a way.
ways=()
if [ -n "$no_tmpfile" ]; then
    if "$no_tmpfile" --probe "$work"; then
        ways+=(unnamed)
    else
        echo "NOTE: $work takes no unnamed file: the unnamed way is not tested"
    fi
    if "$no_tmpfile" /bin/true; then
        ways+=(named)
    else
        echo "NOTE: no seccomp filter here: the named way is not tested"
    fi
else
    echo "NOTE: no_tmpfile not given: each case runs once, the way the program picks"
    ways=(default)
fi
via_way() {  # $1 way
    via=()
    if [ "$1" = named ]; then
        via=("$no_tmpfile")
    fi
}

# A build with AddressSanitizer reserves far more memory and runs slower;
# the memory ceiling and valgrind mean nothing there.
if grep -qa __asan_init "$bin"; then
    sanitized=1
else
    sanitized=0
fi

# For runs as nobody (as root): bin and no_tmpfile become copies in the
# scratch directory, which nobody can reach wherever the build lies (a folder
# above it may be closed to others), and as_nobody the command's start. False,
# with a note saying what is not checked, where nobody cannot run them there.
as_nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups)
copies_for_nobody() {  # $1 what is not checked otherwise
    chmod 711 "$work"
    if [ ! -d "$meta/bin" ]; then
        chmod 755 "$meta"
        mkdir -m 755 "$meta/bin"
        cp "$bin" "$meta/bin/" && bin="$meta/bin/$(basename "$bin")"
        if [ -n "$no_tmpfile" ]; then
            cp "$no_tmpfile" "$meta/bin/" && no_tmpfile="$meta/bin/$(basename "$no_tmpfile")"
        fi
    fi
    if ! "${as_nobody[@]}" "$bin" --version >/dev/null 2>&1; then
        echo "NOTE: nobody cannot run a program in $work: $1 is not checked"
        return 1
    fi
}

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Each argument as one console line, ended by CR LF.
crlf() {
    printf '%s\r\n' "$@"
}

# A block that gives a warning and changes nothing else, for the scripts that
# need console lines from the Gerber pass at known places; warning_at N is the
# warning it gives in line N.
warning_block="M03*"
warning_at() {  # $1 line number
    printf 'Line %s - WARNING: Unknown M code (3).' "$1"
}

# The console text every run starts with: the banner and the three names.
header() {  # $1 Gerber file, $2 PCB file, $3 configuration file
    crlf "" \
        "VELMORA 4.0  -  An Interactive PCB Design System" \
        "~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~" \
        "VM xx400 ......... Program Lumarind, Version 4.0" \
        "A Gerber format conversion program" \
        "Free software, provided as is, without warranty of any kind." \
        "" \
        "Gerber File:        $1" \
        "PCB File:           $2" \
        "Configuration File: $3" \
        ""
}

# The PCB file of a run that draws nothing.
empty_layout() {
    crlf "{ Converted from a Gerber file by Lumarind ver. 4.0 }" "" "Layout (" ")"
}

# Compares a file with the text on standard input, byte for byte.
expect_file() {  # $1 what, $2 file
    local want="$meta/want"
    cat > "$want"
    if ! cmp -s "$want" "$2"; then
        fail "$1 differs from the expected text"
        echo "--- expected:"; cat -A "$want" | head -n 40
        echo "--- got:"; cat -A "$2" 2>&1 | head -n 40
    fi
    rm -f "$want"
}

expect_status() {  # $1 what, $2 got, $3 expected
    if [ "$2" != "$3" ]; then
        fail "$1: exit status $2, expected $3"
    fi
}

# Records the checksums of the given files; unchanged checks them again.
snapshot() {
    sha256sum -- "$@" > "$meta/sums"
}
unchanged() {  # $1 what
    if ! sha256sum --quiet -c "$meta/sums" >/dev/null 2>&1; then
        fail "$1: an input file changed"
        sha256sum -c "$meta/sums" 2>&1 | grep -v ': OK$'
    fi
}

# The directory must hold exactly the names given (dot files included), so a
# partial PCB file or a leftover temporary ".x.PCB.XXXXXX" shows up.
only_files() {  # $1 what, $2 directory, then the names
    local what=$1 dir=$2
    shift 2
    local got want
    got=$(cd "$dir" && ls -A | sort)
    want=$(printf '%s\n' "$@" | grep -v '^$' | sort)
    if [ "$got" != "$want" ]; then
        fail "$what: the directory holds [$(echo $got)], expected [$(echo $want)]"
    fi
}

# Starts a case in a new empty directory named $1 and enters it.
new_case() {
    cd "$work" && mkdir "$1" && cd "$1" || exit 2
}

# Runs the program with the given arguments, the console going to $1; sets
# status, seconds (wall clock) and rss_kib (peak resident set of the program,
# empty when it cannot be measured). GNU time forks from a process of about
# 1 MiB; getrusage from python would count python's own 10 MiB and more,
# which a child carries across exec, so it is not a fallback.
if [ -x /usr/bin/time ]; then
    have_time=1
else
    have_time=0
    echo "NOTE: /usr/bin/time missing (Debian package time): peak memory not checked"
fi
measure() {  # $1 console file, then the arguments
    local out=$1
    shift
    local start end
    start=$(date +%s.%N)
    if [ $have_time = 1 ]; then
        /usr/bin/time -o "$meta/rusage" -f '%M' "$bin" "$@" < /dev/null > "$out"
        status=$?
        rss_kib=$(tail -n 1 "$meta/rusage")
    else
        "$bin" "$@" < /dev/null > "$out"
        status=$?
        rss_kib=
    fi
    end=$(date +%s.%N)
    seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }')
}

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed"
        exit 1
    fi
    echo "all checks passed"
    exit 0
}
