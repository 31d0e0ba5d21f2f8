#!/usr/bin/env bash
# Release check: the manual pages lint clean, `cmake --install` strips the
# programs, the Debian package builds from a Release build tree, carries the
# right metadata and files, lintian finds no fault in it, its programs are
# hardened, and they convert the shipped example and draw it to the expected
# bytes, and write the configuration of the shipped KiCad layer.
#
#   packaging/check.sh <Release build directory>
#
# Needs mandoc, cmake (cpack), binutils (readelf), dpkg-dev (dpkg-deb,
# dpkg-shlibdeps, dpkg-parsechangelog), lintian and devscripts (hardening-check).
# Leaves the package in the build directory.
set -euo pipefail

fail() {
    echo "packaging check FAILED: $*"
    exit 1
}
step() { printf -- '-- %s\n' "$*"; }

[ $# -eq 1 ] || { echo "usage: packaging/check.sh <Release build directory>"; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
[ -d "$1" ] || fail "no build directory $1"
build=$(cd "$1" && pwd)
golden="$root/tests/golden/000-example/expected/files/board.PCB"
golden_svg="$root/tests/golden/280-svg-example/expected/files/board.svg"
golden_cfg="$root/tests/golden/290-cfg-kicad-silk/expected/files/herovco_front-SilkTop.Cfg"

for tool in mandoc cmake cpack dpkg dpkg-deb dpkg-shlibdeps dpkg-parsechangelog gzip \
    lintian hardening-check readelf; do
    command -v "$tool" >/dev/null || fail "$tool is not installed"
done

cache="$build/CMakeCache.txt"
[ -f "$cache" ] || fail "$build holds no CMakeCache.txt"
cached() { sed -n "s/^$1:[A-Z]*=//p" "$cache"; }
[ "$(cached CMAKE_BUILD_TYPE)" = Release ] ||
    fail "$build is a '$(cached CMAKE_BUILD_TYPE)' build, not Release"
source_dir=$(cached Lumarind_SOURCE_DIR)
if [ -z "$source_dir" ] || [ "$(realpath "$source_dir")" != "$(realpath "$root")" ]; then
    fail "$build was configured from '$source_dir', not $root"
fi

# The version the package must carry is the project's, read where it is set.
version=$(sed -n 's/^project(Lumarind VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || fail "no project version in CMakeLists.txt"
arch=$(dpkg --print-architecture)

programs=(Lumarind lumarind-svg lumarind-cfg)

step "manual page lint"
# mandoc exits non-zero on a warning, and prints it; both must stay silent.
for program in "${programs[@]}"; do
    if ! lint=$(mandoc -Tlint -W warning "$root/doc/$program.1" 2>&1) || [ -n "$lint" ]; then
        printf '%s\n' "$lint"
        fail "mandoc warns about doc/$program.1"
    fi
done

step "package build"
cmake --build "$build"
deb="$build/lumarind_${version}_${arch}.deb"
rm -f "$build"/lumarind_*.deb
(cd "$build" && cpack -G DEB)
[ -f "$deb" ] || fail "cpack made no $(basename "$deb")"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

step "cmake --install strips the programs"
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
for program in "${programs[@]}"; do
    installed="$scratch/prefix/bin/$program"
    [ -x "$installed" ] || fail "cmake --install put no $program into bin/"
    sections=$(readelf -S "$installed")
    ! grep -q '\.symtab' <<<"$sections" || fail "cmake --install left $program unstripped"
done

step "package metadata"
dpkg-deb -I "$deb"
dpkg-deb -I "$deb" control >"$scratch/control"
field() { dpkg-deb -f "$deb" "$1"; }
expect_field() {
    [ "$(field "$1")" = "$2" ] || fail "$1 is '$(field "$1")', expected '$2'"
}
expect_field Package lumarind
expect_field Version "$version"
expect_field Architecture "$arch"
expect_field Maintainer "Lumarind developers <dev@lumarind.invalid>"
expect_field Section utils
# dpkg-shlibdeps fills Depends from the binary; without it the field is empty.
depends=$(field Depends)
[[ ", $depends" == *", libc6 ("* ]] || fail "Depends lacks libc6: '$depends'"
[[ ", $depends" == *", libpolyclipping22"* ]] || fail "Depends lacks libpolyclipping22: '$depends'"
# The C++ runtime is linked in: the package must not pull it.
for lib in libstdc++6 libgcc-s1; do
    [[ ", $depends" != *", $lib"* ]] || fail "Depends has $lib: '$depends'"
done
[ "$(field Description | wc -l)" -ge 2 ] || fail "Description has no long text"

step "package contents"
dpkg-deb -c "$deb" | tee "$scratch/contents"
# Mode and path of each regular file: "-rwxr-xr-x ./usr/bin/Lumarind".
awk '$1 ~ /^-/ { print $1, $6 }' "$scratch/contents" | sort >"$scratch/files"
has() { grep -qxF -- "$1" "$scratch/files" || fail "the package lacks $1"; }
mans=()
for program in "${programs[@]}"; do
    has "-rwxr-xr-x ./usr/bin/$program"
    man=./usr/share/man/man1/$program.1.gz
    grep -qxF -- "-rw-r--r-- $man" "$scratch/files" || man=./usr/share/man/man1/$program.1
    has "-rw-r--r-- $man"
    mans+=("$man")
done
doc=./usr/share/doc/lumarind
has "-rw-r--r-- $doc/copyright"
has "-rw-r--r-- $doc/changelog.gz"
examples=$(cd "$root" && git ls-files examples | sed 's|^examples/|./|' | sort)
[ -n "$examples" ] || fail "examples/ is empty"
while read -r f; do
    has "-rw-r--r-- ./usr/share/doc/lumarind/examples/${f#./}"
done <<<"$examples"
# Nothing else: no test programs, no stray build files.
known=(-e "$doc/copyright" -e "$doc/changelog.gz")
for i in "${!programs[@]}"; do
    known+=(-e "./usr/bin/${programs[$i]}" -e "${mans[$i]}")
done
extra=$(awk '{ print $2 }' "$scratch/files" |
    grep -vxF "${known[@]}" |
    grep -v '^\./usr/share/doc/lumarind/examples/' || true)
[ -z "$extra" ] || fail "unexpected files in the package: $extra"

step "lintian"
# Errors and warnings fail; the informational tags are shown, not judged.
lintian --display-info --fail-on error,warning "$deb" || fail "lintian finds errors or warnings"

dpkg -x "$deb" "$scratch/root"

step "copyright and changelog"
copyright="$scratch/root/usr/share/doc/lumarind/copyright"
[ "$(head -n 1 "$copyright")" = \
  "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ] ||
    fail "the copyright file is not in the machine-readable format"
# The licence text in it, its field lines unfolded, is LICENSE's from "Permission".
sed -n '/^ Permission/,$p' "$copyright" | sed 's/^ \.$//; s/^ //' >"$scratch/licence"
sed -n '/^Permission/,$p' "$root/LICENSE" | cmp - "$scratch/licence" ||
    fail "the copyright file's licence text differs from LICENSE"
gzip -dc "$scratch/root/usr/share/doc/lumarind/changelog.gz" >"$scratch/changelog"
cmp "$scratch/changelog" "$root/packaging/changelog" || fail "the packaged changelog differs"
changelog_version=$(dpkg-parsechangelog -l "$scratch/changelog" -S Version)
[ "$changelog_version" = "$version" ] ||
    fail "the changelog's latest entry is $changelog_version, the project is $version"

step "hardening of the packaged program"
# Debian 12's C start files (Scrt1.o, crti.o, crtn.o) carry no IBT/SHSTK
# notes, so the linker marks no program built on it for control-flow
# protection (/usr/bin/ls neither), whatever -fcf-protection put in the code:
# that line is not judged. Stack clash shows "unknown" when, as here, no stack
# frame is large enough to need probing.
for program in "${programs[@]}"; do
    # Its exit status says only that some line is not yes: the lines are judged below.
    hardening=$(hardening-check --nocfprotection "$scratch/root/usr/bin/$program") || true
    printf '%s\n' "$hardening"
    for feature in "Position Independent Executable" "Stack protected" \
        "Read-only relocations" "Immediate binding"; do
        grep -q "^ $feature: yes" <<<"$hardening" ||
            fail "hardening-check: $feature is not yes for $program"
    done
    # A program whose every copy is bounded where it is made keeps no checked
    # call, only the runtime's own unchecked ones: then every file it is built
    # from must have been compiled with fortification asked for.
    if ! grep -q "^ Fortify Source functions: yes" <<<"$hardening"; then
        grep -q "^ Fortify Source functions: no, only unprotected functions found" <<<"$hardening" ||
            fail "hardening-check: Fortify Source functions is not yes for $program"
        ! grep '"command"' "$build/compile_commands.json" | grep -v -q -- '-D_FORTIFY_SOURCE=2' ||
            fail "a file of the build is compiled without -D_FORTIFY_SOURCE=2"
        echo "$program: no checked call is left; every file was compiled with -D_FORTIFY_SOURCE=2"
    fi
done

step "unpacked programs convert the example and draw it"
for i in "${!programs[@]}"; do
    man=${mans[$i]}
    page="$scratch/${programs[$i]}.1"
    if [[ "$man" == *.gz ]]; then
        gzip -dc "$scratch/root/$man" >"$page"
    else
        cp "$scratch/root/$man" "$page"
    fi
    cmp "$page" "$root/doc/${programs[$i]}.1" || fail "the packaged manual page $man differs"
done
while read -r f; do
    cmp "$scratch/root/usr/share/doc/lumarind/examples/$f" "$root/examples/$f" ||
        fail "the packaged example $f differs"
done <<<"$examples"
[ -f "$golden" ] || fail "no expected output $golden"
# An empty directory, so that no Lumarind.Cfg is picked up.
mkdir "$scratch/run"
cp "$scratch/root/usr/share/doc/lumarind/examples/board.gbr" "$scratch/run/"
status=0
(cd "$scratch/run" && "$scratch/root/usr/bin/Lumarind" board.gbr >"$scratch/stdout") || status=$?
cat "$scratch/stdout"
[ "$status" -eq 0 ] || fail "the unpacked program exited with status $status"
grep -qxF "VM xx400 ......... Program Lumarind, Version $version"$'\r' "$scratch/stdout" ||
    fail "the program's banner does not show version $version"
[ "$(tail -n 1 "$scratch/stdout")" = "Completed successfully."$'\r' ] ||
    fail "the run did not end with Completed successfully."
cmp "$scratch/run/board.PCB" "$golden" || fail "board.PCB differs from $golden"
[ "$("$scratch/root/usr/bin/lumarind-svg" --version)" = "lumarind-svg $version" ] ||
    fail "lumarind-svg --version does not show version $version"
(cd "$scratch/run" && "$scratch/root/usr/bin/lumarind-svg" board.PCB) ||
    fail "the unpacked lumarind-svg failed on board.PCB"
cmp "$scratch/run/board.svg" "$golden_svg" || fail "board.svg differs from $golden_svg"
[ "$("$scratch/root/usr/bin/lumarind-cfg" --version)" = "lumarind-cfg $version" ] ||
    fail "lumarind-cfg --version does not show version $version"
cp "$scratch/root/usr/share/doc/lumarind/examples/herovco_front-SilkTop.gto" "$scratch/run/"
(cd "$scratch/run" && "$scratch/root/usr/bin/lumarind-cfg" herovco_front-SilkTop.gto) ||
    fail "the unpacked lumarind-cfg failed on herovco_front-SilkTop.gto"
cmp "$scratch/run/herovco_front-SilkTop.Cfg" "$golden_cfg" ||
    fail "herovco_front-SilkTop.Cfg differs from $golden_cfg"

echo "packaging check passed: $(basename "$deb")"
