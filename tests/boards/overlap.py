#!/usr/bin/python3
"""Overlap of a layer's copper as Lumarind and lumarind-svg draw it with gerbv's rendering.

Each LAYER (a file: a board of its own; a folder: one board of all its files) is configured by
lumarind-cfg, converted, drawn with the sheet's sizes and laid over gerbv's picture of the Gerber
file, both at 2 mils a pixel in one window. Per layer: the intersection over union of the copper,
and the copper drawn where the Gerber image has none, as a share of the Gerber image's copper.
"""
import argparse, math, os, re, shutil, subprocess, sys, tempfile

try:
    import numpy as np
except ImportError:
    np = None

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
MILS_PER_PIXEL = 2
MARGIN = 250  # mils around the PCB file's records, more than the largest pad's reach


def run(*cmd):
    r = subprocess.run(cmd, capture_output=True)
    if r.returncode != 0:
        raise RuntimeError(f"{os.path.basename(cmd[0])} exit {r.returncode}: "
                           + (r.stdout + r.stderr).decode(errors="replace").strip()[-300:])
    return r.stdout


def units_pair(text):
    """(multiplier, divisor) from the file's format and unit to thousandths of an inch."""
    fs = re.search(r"%FS[LTD]?[AI]?X\d(\d)Y\d(\d)", text)
    decimals = int(fs.group(1)) if fs else 4
    mm = re.search(r"%MOMM|G71", text) and not re.search(r"%MOIN|G70", text)
    mult, div = (10000, 254 * 10**decimals) if mm else (1000, 10**decimals)
    g = math.gcd(mult, div)
    return mult // g, div // g


def hand_cfg(layer, path, accept):
    """The transform alone (the built-in table), or with every aperture accepted (codes 0)."""
    text = open(layer, errors="replace").read()
    m, d = units_pair(text)
    rows = [f"{m} {d} 0", f"{m} {d} 0", "10"]
    if accept:
        rows += [f"{c} 0 0" for c in sorted({int(c) for c in re.findall(r"%ADD0*(\d+)", text)})]
    open(path, "w").write("\n".join(rows) + "\n")


def pam(png, alpha):
    """The picture's copper: opaque (SVG without background) or dark (gerbv) pixels."""
    data = run("pngtopam", *(["-alpha"] if alpha else []), png)
    magic, w, h, _, pixels = data.split(maxsplit=4)
    ch = 1 if magic == b"P5" else 3
    img = np.frombuffer(pixels, np.uint8)[: int(w) * int(h) * ch].reshape(int(h), int(w), ch)
    return img[:, :, 0] >= 128 if alpha else img.min(axis=2) < 128


def window(*pcbs):
    """Lower-left corner and size in mils (even numbers) around the PCB files' records."""
    xs, ys = [], []
    for rec in re.findall(rb"\(([-\d ]+)\)", b"".join(open(p, "rb").read() for p in pcbs)):
        v = [int(n) for n in rec.split()]
        if len(v) in (3, 6):
            xs += v[0:len(v) - 2:2]
            ys += v[1:len(v) - 1:2]
    if not xs:
        xs, ys = [0], [0]
    x0 = (min(xs) - MARGIN) // 2 * 2
    y0 = (min(ys) - MARGIN) // 2 * 2
    return x0, y0, (max(xs) + MARGIN - x0) // 2 * 2 + 2, (max(ys) + MARGIN - y0) // 2 * 2 + 2


def svg_mask(svg, png, x0, y0, w, h):
    """The picture redrawn in the window, its background and text left out."""
    text = open(svg).read()
    text = re.sub(r"<text\b.*?</text>", "", text, flags=re.S)
    text = re.sub(r'<rect\b[^>]*fill="#ffffff"[^>]*/>', "", text, count=1)
    head = re.search(r"<svg\b[^>]*>", text).group(0)
    new = re.sub(r'\s(width|height|viewBox)="[^"]*"', "", head)
    new = new[:-1] + (f' width="{w // MILS_PER_PIXEL}" height="{h // MILS_PER_PIXEL}"'
                      f' viewBox="{x0} {-(y0 + h)} {w} {h}">')
    open(svg + ".win.svg", "w").write(text.replace(head, new, 1))
    run("rsvg-convert", "-o", png, svg + ".win.svg")
    return pam(png, True)


def gerber_mask(layer, png, x0, y0, w, h):
    run("gerbv", "-x", "png", "-D", str(1000 // MILS_PER_PIXEL), "-B", "0", "-b", "#ffffff",
        "-f", "#000000ff", "-O", f"{x0 / 1000};{y0 / 1000}", "-W", f"{w / 1000}x{h / 1000}",
        "-o", png, layer)
    return pam(png, False)


def measure(a, b):
    union = np.count_nonzero(a | b)
    iou = np.count_nonzero(a & b) / union if union else 1.0
    return iou, np.count_nonzero(a & ~b) / max(1, np.count_nonzero(b))


def best_shift(a, b):
    return max(((measure(np.roll(a, (dy, dx), (0, 1)), b)[0], dx, dy)
                for dx in range(-3, 4) for dy in range(-3, 4)))


def layer_figures(args, tool, layer, sheet, tmp):
    base = os.path.join(tmp, re.sub(r"\W", "_", os.path.basename(layer)))
    cfg, pcb, svg = base + ".Cfg", base + ".PCB", base + ".svg"
    if args.before or args.hand:
        hand_cfg(layer, cfg, args.hand)
    else:
        run(tool("lumarind-cfg"), *(["--sheet", sheet] if sheet else []),
            *(["--no-fill"] if args.no_fill else []), layer, cfg)
    run(tool("Lumarind"), layer, pcb, cfg)
    run(tool("lumarind-svg"), *([] if args.hand else ["--sheet", sheet or args.typical]),
        pcb, svg)
    # The window holds what every aperture draws, those the table rejects too.
    hand_cfg(layer, base + ".all.Cfg", True)
    run(tool("Lumarind"), layer, base + ".all.PCB", base + ".all.Cfg")
    x0, y0, w, h = window(pcb, base + ".all.PCB")
    a = svg_mask(svg, base + ".svg.png", x0, y0, w, h)
    b = gerber_mask(layer, base + ".gbr.png", x0, y0, w, h)
    if b[0].any() or b[-1].any() or b[:, 0].any() or b[:, -1].any():
        print(f"# {layer}: the Gerber image reaches the window's edge", file=sys.stderr)
    f = dict(zip(("iou", "out"), measure(a, b)))
    if args.align:
        f["shift"] = best_shift(a, b)
    return f


def main():
    p = argparse.ArgumentParser(description=__doc__)
    p.add_argument("--bin", required=True, help="folder of Lumarind, lumarind-cfg, lumarind-svg")
    p.add_argument("--sheet", help="the code sheet for every layer (default: the typical one)")
    p.add_argument("--own", action="store_true", help="each board its proposed sheet")
    p.add_argument("--before", action="store_true", help="the built-in table, no lumarind-cfg")
    p.add_argument("--hand", action="store_true", help="every aperture codes 0, nominal sizes")
    p.add_argument("--no-fill", action="store_true", help="lumarind-cfg --no-fill")
    p.add_argument("--align", action="store_true", help="also the shift that overlaps best")
    p.add_argument("--min-median", type=float, default=0, help="fail below (all layers)")
    p.add_argument("--min-median-plain", type=float, default=0, help="fail below (no regions)")
    p.add_argument("--keep", help="keep the pictures in this folder")
    p.add_argument("layers", nargs="+")
    args = p.parse_args()
    if np is None or not all(map(shutil.which, ("gerbv", "rsvg-convert", "pngtopam"))):
        print("skipped: needs python3-numpy, gerbv, librsvg2-bin and netpbm")
        return 77
    args.typical = os.path.join(ROOT, "examples", "typical.sheet")
    if args.keep:
        os.makedirs(args.keep, exist_ok=True)
        return measure_all(args, args.keep)
    with tempfile.TemporaryDirectory(prefix="overlap.") as tmp:
        return measure_all(args, tmp)


def measure_all(args, tmp):
    tool = lambda name: os.path.join(args.bin, name)
    rows, broken = [], False
    for board in args.layers:
        layers = (sorted(os.path.join(board, f) for f in os.listdir(board))
                  if os.path.isdir(board) else [board])
        sheet = args.sheet
        if args.own:
            name = os.path.basename(os.path.normpath(board))
            sheet = os.path.join(tmp, re.sub(r"\W", "_", name) + ".sheet")
            run(tool("lumarind-cfg"), "--propose", sheet, *layers)
        for layer in layers:
            regions = b"G36" in open(layer, "rb").read()
            try:
                f = layer_figures(args, tool, layer, sheet, tmp)
            except RuntimeError as e:
                print(f"# {layer}: {e}", file=sys.stderr)
                broken = True
                f = {"iou": 0.0, "out": 0.0, "shift": (0.0, 9, 9)}
            f["regions"] = regions
            rows.append(f)
            extra = ""
            if args.align:
                extra = " best {:.3f} at {:+d},{:+d}".format(*f["shift"])
            print(f"{f['iou']:6.3f} {f['out']:7.4f} {'R' if regions else '-'} {layer}{extra}")
    failed = broken
    plain = [r for r in rows if not r["regions"]]
    for what, limit, sel in (("all", args.min_median, rows),
                             ("plain", args.min_median_plain, plain)):
        if sel:
            iou = np.array([r["iou"] for r in sel])
            out = np.array([r["out"] for r in sel])
            print(f"{what}: {len(sel)} layers, IoU median {np.median(iou):.3f}, 10th percentile "
                  f"{np.percentile(iou, 10):.3f}; outside median {np.median(out):.4f}, "
                  f"max {out.max():.4f}")
            failed = failed or np.median(iou) < limit
    if args.align:
        failed = failed or any(r["shift"][1:] != (0, 0) for r in rows)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
