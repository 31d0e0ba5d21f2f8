#!/usr/bin/env bash
# Release check: the manual page lints clean, the Debian package builds from a
# Release build tree, carries the right metadata and files, and the program
# unpacked from it converts the shipped example to the expected bytes.
#
#   packaging/check.sh <Release build directory>
#
# Needs mandoc, cmake (cpack) and dpkg-dev (dpkg-deb, dpkg-shlibdeps).
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
golden="$root/tests/golden/00-example/expected/files/board.PCB"

for tool in mandoc cmake cpack dpkg dpkg-deb dpkg-shlibdeps gzip; do
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

step "manual page lint"
# mandoc exits non-zero on a warning, and prints it; both must stay silent.
if ! lint=$(mandoc -Tlint -W warning "$root/doc/Lumarind.1" 2>&1) || [ -n "$lint" ]; then
    printf '%s\n' "$lint"
    fail "mandoc warns about doc/Lumarind.1"
fi

step "package build"
cmake --build "$build"
deb="$build/lumarind_${version}_${arch}.deb"
rm -f "$build"/lumarind_*.deb
(cd "$build" && cpack -G DEB)
[ -f "$deb" ] || fail "cpack made no $(basename "$deb")"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

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
has "-rwxr-xr-x ./usr/bin/Lumarind"
man=./usr/share/man/man1/Lumarind.1.gz
grep -qxF -- "-rw-r--r-- $man" "$scratch/files" || man=./usr/share/man/man1/Lumarind.1
has "-rw-r--r-- $man"
examples=$(cd "$root" && git ls-files examples | sed 's|^examples/|./|' | sort)
[ -n "$examples" ] || fail "examples/ is empty"
while read -r f; do
    has "-rw-r--r-- ./usr/share/doc/lumarind/examples/${f#./}"
done <<<"$examples"
# Nothing else: no test programs, no stray build files.
extra=$(awk '{ print $2 }' "$scratch/files" |
    grep -vxF -e ./usr/bin/Lumarind -e "$man" |
    grep -v '^\./usr/share/doc/lumarind/examples/' || true)
[ -z "$extra" ] || fail "unexpected files in the package: $extra"

step "unpacked program converts the example"
dpkg -x "$deb" "$scratch/root"
if [[ "$man" == *.gz ]]; then
    gzip -dc "$scratch/root/$man" >"$scratch/Lumarind.1"
else
    cp "$scratch/root/$man" "$scratch/Lumarind.1"
fi
cmp "$scratch/Lumarind.1" "$root/doc/Lumarind.1" || fail "the packaged manual page differs"
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

echo "packaging check passed: $(basename "$deb")"
