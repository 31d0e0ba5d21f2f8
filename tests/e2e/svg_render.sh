#!/usr/bin/env bash
# The example board's picture as a real SVG renderer draws it: lumarind-svg
# ($1) draws the example's PCB file, rsvg-convert (Debian: librsvg2-bin)
# renders it at the size the picture asks for, pngtopam (netpbm) turns the
# PNG into plain RGB bytes. The picture must have the proportions of its
# viewBox, and the board must lie where the layout puts it: dark pixels on
# the outline and on the power rail near the board's top edge (the Y axis
# points up), light ones beside them and where the rail would lie if Y were
# not flipped. Without the two tools the test is skipped (77), but not in CI.
example="$(cd "$(dirname "$0")/../golden/000-example/expected/files" && pwd)/board.PCB"
. "$(dirname "$0")/common.bash"

for tool in rsvg-convert pngtopam; do
    if ! command -v $tool >/dev/null; then
        echo "$tool is not installed (Debian packages librsvg2-bin and netpbm)"
        [ -n "${CI:-}" ] && exit 1
        exit 77
    fi
done

new_case render
cp "$example" board.PCB
"$bin" board.PCB > "$meta/out" || fail "lumarind-svg failed on the example"
rsvg-convert board.svg -o board.png || fail "rsvg-convert failed"
pngtopam board.png > board.ppm || fail "pngtopam failed"

# The viewBox, as drawn: x y width height.
read -r vx vy vw vh < <(sed -n 's/.* viewBox="\([-0-9]*\) \([-0-9]*\) \([0-9]*\) \([0-9]*\)".*/\1 \2 \3 \4/p' board.svg)
[ -n "${vh:-}" ] || { fail "no viewBox in board.svg"; finish; }

# netpbm writes "P6", the size and 255 on three lines, then three bytes a pixel.
{ read -r magic; read -r w h; read -r maxval; } < board.ppm
header=$((${#magic} + ${#w} + ${#h} + ${#maxval} + 4))
if [ "$magic" != P6 ] || [ "$maxval" != 255 ] ||
    [ "$(stat -c %s board.ppm)" != $((header + w * h * 3)) ]; then
    fail "board.ppm is not the 8-bit RGB picture expected"
    finish
fi
echo "viewBox $vx $vy $vw $vh, rendered $w x $h pixels"

# Proportions: the height the viewBox gives the rendered width, within a pixel.
awk -v w="$w" -v h="$h" -v vw="$vw" -v vh="$vh" \
    'BEGIN { d = h - w * vh / vw; exit !(d <= 1 && d >= -1) }' ||
    fail "picture of $w x $h pixels for a viewBox of $vw x $vh"
# The layout is 2000 by 1500 units: it fills most of the picture's width.
awk -v vw="$vw" 'BEGIN { exit !(vw >= 2000 && vw <= 2400) }' ||
    fail "viewBox $vw units wide for a board of 2000"

# The brightness (R + G + B, 0 to 765) of the pixels within one of the one
# where the layout point ($1, $2) lands, darkest or lightest ($3 min or max).
brightness() {
    local px py
    px=$(awk -v x="$1" -v vx="$vx" -v vw="$vw" -v w="$w" 'BEGIN { printf "%d", (x - vx) * w / vw }')
    py=$(awk -v y="$2" -v vy="$vy" -v vh="$vh" -v h="$h" 'BEGIN { printf "%d", (-y - vy) * h / vh }')
    local dy row
    for dy in -1 0 1; do
        row=$((py + dy))
        od -An -v -tu1 -j $((header + (row * w + px - 1) * 3)) -N 9 board.ppm
    done | awk -v how="$3" '{ for (i = 1; i <= NF; i += 3) { b = $i + $(i + 1) + $(i + 2)
            if (n++ == 0 || (how == "min" ? b < r : b > r)) r = b } } END { print r }'
}

dark() {  # $1 what, $2 x, $3 y
    local b
    b=$(brightness "$2" "$3" min)
    [ "$b" -lt 450 ] || fail "$1 ($2, $3): no dark pixel there (brightness $b)"
}

light() {  # $1 what, $2 x, $3 y
    local b
    b=$(brightness "$2" "$3" max)
    [ "$b" -gt 700 ] || fail "$1 ($2, $3): not light there (brightness $b)"
}

# The outline, 0..2000 by 0..1500, width code 0.
dark "outline, bottom edge" 500 0
dark "outline, bottom edge" 1500 0
dark "outline, top edge" 1000 1500
dark "outline, left edge" 0 750
dark "outline, right edge" 2000 750
# The power rail from (300, 1350) to (1700, 1350), width code 7.
dark "power rail" 1000 1350
dark "power rail" 1600 1350
# Nothing drawn just outside the outline, between the rail and the top edge,
# and where the rail would lie with the Y axis pointing down.
light "margin below the board" 1000 -60
light "margin left of the board" -60 750
light "between the rail and the top edge" 1000 1430
light "the rail's mirror image" 1000 150
light "the rail's mirror image" 400 150

finish
