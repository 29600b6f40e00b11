#!/usr/bin/env python3
"""Draws Korvane's icons and bitmaps from simple geometry.

Run from anywhere: python3 src/korvane/res/art/make_art.py
Writes, next to res/art's parent folder:
  korvane.ico   program icon, 16, 24, 32 and 48 pixels, 32-bit with alpha and AND mask
  drive.ico     virtual drive, 16, 24, 32 and 48 pixels, for the list view rows
  donate.ico    a coin with a heart, 16, 24 and 32 pixels, for the Donate button
  toolbar.bmp   224 x 32, 8-bit palette, seven 32 x 32 button images in toolbar order:
                create drive, open path, remove drive, save, label, manual, exit.
                The mask colour is magenta, RGB(255, 0, 255): every pixel of that
                colour is transparent when the image list is built with
                ImageList_AddMasked(..., RGB(255, 0, 255)).
  toolbar48.bmp the same strip at 336 x 48, for 144 dpi and more
  splash.bmp    450 x 225, 8-bit palette, the splash window's picture: its
                300 x 150 pixel window at 144 dpi, scaled down below that

The bitmaps are stored with a palette of at most 256 colours chosen for each
picture (median cut), a third of the size of 24-bit pixels and drawn by the
system without help.

Only the standard library is used. Shapes are described by signed distance
functions (negative inside), which gives each edge one pixel of smooth
anti-aliasing; text is drawn with a small stroke font defined below.
"""

import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.dirname(HERE)

TEAL = (0, 192, 192)
TEAL_DARK = (0, 110, 125)
TEAL_DEEP = (0, 78, 92)
TEAL_LIGHT = (120, 232, 228)
WARM = (247, 148, 29)
WARM_LIGHT = (255, 200, 90)
WARM_DARK = (190, 95, 10)
WHITE = (255, 255, 255)
INK = (38, 50, 56)
STEEL = (96, 110, 120)
SILVER = (214, 222, 226)
SILVER_DARK = (150, 162, 170)
GREEN = (40, 170, 70)
GREEN_LIGHT = (120, 220, 120)
RED = (214, 48, 48)
RED_LIGHT = (246, 120, 110)
MAGENTA = (255, 0, 255)
BUTTON_FACE = (236, 236, 236)


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def mix(a, b, t):
    t = clamp(t)
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


# --- signed distance functions -------------------------------------------

def rrect(x0, y0, x1, y1, r):
    cx, cy, hw, hh = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2, (y1 - y0) / 2
    r = min(r, hw, hh)

    def sdf(x, y):
        qx = abs(x - cx) - (hw - r)
        qy = abs(y - cy) - (hh - r)
        return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - r
    return sdf


def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def polygon(points):
    pts = list(points)

    def sdf(x, y):
        d = (x - pts[0][0]) ** 2 + (y - pts[0][1]) ** 2
        s = 1.0
        j = len(pts) - 1
        for i in range(len(pts)):
            vix, viy = pts[i]
            vjx, vjy = pts[j]
            ex, ey = vjx - vix, vjy - viy
            wx, wy = x - vix, y - viy
            t = clamp((wx * ex + wy * ey) / (ex * ex + ey * ey or 1e-9))
            bx, by = wx - ex * t, wy - ey * t
            d = min(d, bx * bx + by * by)
            c1, c2, c3 = y >= viy, y < vjy, ex * wy > ey * wx
            if (c1 and c2 and c3) or not (c1 or c2 or c3):
                s = -s
            j = i
        return s * math.sqrt(d)
    return sdf


def segments_sdf(segs, r):
    """Distance to a set of round-capped strokes of half-width r."""
    def sdf(x, y):
        best = 1e9
        for ax, ay, bx, by in segs:
            ex, ey = bx - ax, by - ay
            wx, wy = x - ax, y - ay
            ee = ex * ex + ey * ey
            t = clamp((wx * ex + wy * ey) / ee) if ee > 0 else 0.0
            dx, dy = wx - ex * t, wy - ey * t
            dd = dx * dx + dy * dy
            if dd < best:
                best = dd
        return math.sqrt(best) - r
    return sdf


def polyline_segments(points):
    return [(points[i][0], points[i][1], points[i + 1][0], points[i + 1][1])
            for i in range(len(points) - 1)] or [(points[0][0], points[0][1]) * 2]


def union(*fs):
    return lambda x, y: min(f(x, y) for f in fs)


def subtract(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))


def inset(f, d):
    return lambda x, y: f(x, y) + d


# --- canvas ----------------------------------------------------------------

class Canvas:
    def __init__(self, w, h, background=None):
        self.w, self.h = w, h
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(w * h)]
        if background is not None:
            self.fill(lambda x, y: -1.0, background)

    def fill(self, sdf, colour, box=None, opacity=1.0):
        """Paints where sdf < 0; colour is an (r, g, b) or a function of (x, y)."""
        x0, y0, x1, y1 = box if box else (0, 0, self.w, self.h)
        x0, y0 = max(0, int(x0)), max(0, int(y0))
        x1, y1 = min(self.w, int(math.ceil(x1))), min(self.h, int(math.ceil(y1)))
        for j in range(y0, y1):
            cy = j + 0.5
            for i in range(x0, x1):
                cx = i + 0.5
                a = clamp(0.5 - sdf(cx, cy)) * opacity
                if a <= 0:
                    continue
                c = colour(cx, cy) if callable(colour) else colour
                p = self.px[j * self.w + i]
                da = p[3]
                oa = a + da * (1 - a)
                for k in range(3):
                    p[k] = (c[k] * a + p[k] * da * (1 - a)) / oa
                p[3] = oa

    def rgb_over(self, background):
        return [mix(background, p[:3], p[3]) for p in self.px]


class ScaledCanvas(Canvas):
    """A canvas `k` times the size of the drawing: shapes, boxes and colour
    functions are given in the drawing's units and scaled here."""

    def __init__(self, w, h, k):
        super().__init__(int(round(w * k)), int(round(h * k)))
        self.k = k

    def fill(self, sdf, colour, box=None, opacity=1.0):
        k = self.k
        scaled = lambda x, y: sdf(x / k, y / k) * k
        paint = (lambda x, y: colour(x / k, y / k)) if callable(colour) else colour
        if box is not None:
            box = tuple(v * k for v in box)
        super().fill(scaled, paint, box, opacity)


def vgrad(y0, y1, c0, c1):
    return lambda x, y: mix(c0, c1, (y - y0) / float(y1 - y0))


def dgrad(x0, y0, x1, y1, c0, c1):
    dx, dy = x1 - x0, y1 - y0
    n = dx * dx + dy * dy
    return lambda x, y: mix(c0, c1, ((x - x0) * dx + (y - y0) * dy) / n)


def bbox(*pts, pad=2):
    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    return (min(xs) - pad, min(ys) - pad, max(xs) + pad, max(ys) + pad)


# --- stroke font -------------------------------------------------------------
# Glyphs on an em of 1: baseline at y = 0, x-height 0.5, capitals and ascenders
# 0.72, y upwards. Each glyph is a list of polylines and an advance width.

def arc(cx, cy, rx, ry, a0, a1, steps=24):
    return [(cx + rx * math.cos(math.radians(a0 + (a1 - a0) * i / steps)),
             cy + ry * math.sin(math.radians(a0 + (a1 - a0) * i / steps)))
            for i in range(steps + 1)]


def dot(x, y):
    return [(x, y), (x, y)]


GLYPHS = {
    'K': ([[(0, 0), (0, 0.72)], [(0.44, 0.72), (0.02, 0.28)], [(0.15, 0.42), (0.46, 0)]], 0.56),
    'o': ([arc(0.25, 0.25, 0.25, 0.25, 0, 360, 40)], 0.56),
    'r': ([[(0, 0), (0, 0.5)], [(0, 0.26)] + arc(0.25, 0.26, 0.25, 0.24, 180, 80, 12)], 0.36),
    'v': ([[(0, 0.5), (0.24, 0), (0.48, 0.5)]], 0.52),
    'a': ([arc(0.25, 0.25, 0.25, 0.25, 0, 360, 40), [(0.5, 0), (0.5, 0.5)]], 0.6),
    'n': ([[(0, 0), (0, 0.5)], [(0, 0.26)] + arc(0.22, 0.26, 0.22, 0.24, 180, 0, 16) + [(0.44, 0)]], 0.56),
    'e': ([arc(0.25, 0.25, 0.25, 0.25, 0, 318, 40), [(0.0, 0.25), (0.5, 0.25)]], 0.57),
    'f': ([[(0.1, 0)] + arc(0.3, 0.56, 0.2, 0.18, 180, 60, 10), [(-0.03, 0.47), (0.3, 0.47)]], 0.32),
    'l': ([[(0, 0), (0, 0.74)]], 0.18),
    'd': ([arc(0.25, 0.25, 0.25, 0.25, 0, 360, 40), [(0.5, 0), (0.5, 0.74)]], 0.62),
    's': ([arc(0.19, 0.375, 0.19, 0.125, 25, 270, 14) + arc(0.19, 0.125, 0.19, 0.125, 90, -155, 14)], 0.45),
    'i': ([[(0, 0), (0, 0.5)], dot(0, 0.67)], 0.18),
    't': ([[(0.1, 0.68), (0.1, 0.12)] + arc(0.24, 0.12, 0.14, 0.12, 180, 280, 8), [(-0.03, 0.5), (0.3, 0.5)]], 0.34),
    '?': ([arc(0.2, 0.53, 0.2, 0.19, 165, -60, 16) + [(0.2, 0.22)], dot(0.2, 0.0)], 0.44),
    ' ': ([], 0.26),
}


def text_segments(text, x, y, em, tracking=0.06):
    """Segments of text in pixel coordinates, baseline at y; returns (segments, width)."""
    segs = []
    pen = x
    for ch in text:
        lines, advance = GLYPHS[ch]
        for line in lines:
            pts = [(pen + px * em, y - py * em) for px, py in line]
            segs += polyline_segments(pts)
        pen += (advance + tracking) * em
    return segs, pen - x - tracking * em


def draw_text(canvas, text, x, y, em, weight, colour, tracking=0.06, shadow=None):
    segs, width = text_segments(text, x, y, em, tracking)
    r = weight * em / 2
    box = (x - r - 3, y - 0.8 * em - r, x + width + r + 3, y + r + 3)
    if shadow:
        dx, dy, scol, sop = shadow
        moved = [(a + dx, b + dy, c + dx, d + dy) for a, b, c, d in segs]
        canvas.fill(inset(segments_sdf(moved, r), -0.6), scol,
                    (box[0], box[1], box[2] + dx + 2, box[3] + dy + 2), sop)
    canvas.fill(segments_sdf(segs, r), colour, box)
    return width


def text_width(text, em, tracking=0.06):
    return text_segments(text, 0, 0, em, tracking)[1]


# --- motifs, on a 32-unit grid scaled by k pixels per unit ------------------

def draw_folder(c, ox, oy, k, w=26.0, h=19.0, open_front=False, body=TEAL,
                body_dark=TEAL_DARK, paper=True, line=1.0):
    """A folder whose top-left corner is (ox, oy); line is the outline in pixels."""
    S = lambda v: v * k
    x0, y0 = ox, oy
    x1, y1 = ox + S(w), oy + S(h)
    tab = polygon([(x0, y0 + S(2.2)), (x0 + S(1.2), y0), (x0 + S(9), y0),
                   (x0 + S(11), y0 + S(2.6)), (x1, y0 + S(2.6)), (x1, y1), (x0, y1)])
    back = union(tab, rrect(x0, y0 + S(2.6), x1, y1, S(1.6)))
    box = (x0 - 2, y0 - 2, x1 + 2, y1 + 2)
    c.fill(back, INK, box)
    c.fill(inset(back, line), vgrad(y0, y1, body_dark, mix(body_dark, INK, 0.45)), box)
    if paper:
        sheet = rrect(x0 + S(2.5), y0 + S(4), x1 - S(2.5), y1 - S(2), S(0.8))
        c.fill(sheet, SILVER_DARK, box)
        c.fill(inset(sheet, line), WHITE, box)
    if open_front:
        front = polygon([(x0 + S(4), y0 + S(7.5)), (x1 + S(2.5), y0 + S(7.5)),
                         (x1 - S(1.5), y1), (x0, y1)])
    else:
        front = rrect(x0, y0 + S(6.5), x1, y1, S(1.6))
    fbox = (x0 - 2, y0 + S(5), x1 + S(3) + 2, y1 + 2)
    c.fill(front, INK, fbox)
    c.fill(inset(front, line), vgrad(y0 + S(6), y1, mix(body, WHITE, 0.25), body), fbox)
    shine = rrect(x0 + S(2), y0 + S(8.3), x1 - S(2), y0 + S(8.3) + max(1.0, S(0.9)), S(0.5))
    if not open_front:
        c.fill(shine, WHITE, fbox, 0.45)


def draw_drive(c, ox, oy, k, w=26.0, h=12.0, line=1.0, led=GREEN_LIGHT):
    """A hard-drive slab seen slightly from above; (ox, oy) is its top-left."""
    S = lambda v: v * k
    x0, y0, x1, y1 = ox, oy, ox + S(w), oy + S(h)
    top = S(h * 0.34)
    box = (x0 - 2, y0 - 2, x1 + 2, y1 + 2)
    shape = rrect(x0, y0, x1, y1, S(2.2))
    c.fill(shape, INK, box)
    c.fill(inset(shape, line), vgrad(y0, y1, WHITE, SILVER), box)
    front = rrect(x0 + line, y0 + top, x1 - line, y1 - line, S(1.6))
    c.fill(front, vgrad(y0 + top, y1, SILVER, SILVER_DARK), box)
    c.fill(rrect(x0 + line, y0 + top, x1 - line, y0 + top + max(0.8, S(0.5)), 0), STEEL, box, 0.8)
    slot_y = y0 + top + (y1 - y0 - top) / 2
    slot = rrect(x0 + S(3), slot_y - max(0.6, S(0.6)), x0 + S(w * 0.55), slot_y + max(0.6, S(0.6)), S(0.6))
    c.fill(slot, STEEL, box)
    lr = max(1.1, S(1.4))
    c.fill(circle(x1 - S(4), slot_y, lr + 0.6), INK, box, 0.7)
    c.fill(circle(x1 - S(4), slot_y, lr), led, box)


def draw_badge(c, cx, cy, r, colour, light, mark, k):
    box = (cx - r - 2, cy - r - 2, cx + r + 2, cy + r + 2)
    c.fill(circle(cx, cy, r), INK, box, 0.9)
    c.fill(circle(cx, cy, r - 1.0), dgrad(cx - r, cy - r, cx + r, cy + r, light, colour), box)
    arm = r * 0.52
    wdt = max(1.0, r * 0.22)
    if mark == 'plus':
        segs = [(cx - arm, cy, cx + arm, cy), (cx, cy - arm, cx, cy + arm)]
    elif mark == 'cross':
        a = arm * 0.8
        segs = [(cx - a, cy - a, cx + a, cy + a), (cx - a, cy + a, cx + a, cy - a)]
    else:
        segs = []
    if segs:
        c.fill(segments_sdf(segs, wdt), WHITE, box)


def draw_arrow(c, x0, y0, x1, y1, width, head, colour, outline=INK):
    """A straight arrow from (x0, y0) to (x1, y1) with a triangular head."""
    ang = math.atan2(y1 - y0, x1 - x0)
    ux, uy = math.cos(ang), math.sin(ang)
    px, py = -uy, ux
    bx, by = x1 - ux * head, y1 - uy * head
    hw = width / 2
    shape = polygon([(x0 + px * hw, y0 + py * hw), (bx + px * hw, by + py * hw),
                     (bx + px * head * 0.75, by + py * head * 0.75), (x1, y1),
                     (bx - px * head * 0.75, by - py * head * 0.75),
                     (bx - px * hw, by - py * hw), (x0 - px * hw, y0 - py * hw)])
    box = bbox((x0, y0), (x1, y1), pad=head + 2)
    c.fill(inset(shape, -0.9), outline, box)
    c.fill(shape, colour, box)


# --- program icon and drive icon -------------------------------------------------

def program_icon(size):
    k = size / 32.0
    line = 1.0 if size <= 32 else 1.3
    c = Canvas(size, size)
    draw_folder(c, 1.5 * k, 4 * k, k, w=28, h=21, line=line)
    # A drive-letter badge: the folder has become a drive.
    r = 7.2 * k if size > 16 else 4.6
    cx, cy = 31.5 * k - r, 31.5 * k - r
    box = (cx - r - 2, cy - r - 2, cx + r + 2, cy + r + 2)
    badge = rrect(cx - r, cy - r, cx + r, cy + r, r * 0.45)
    c.fill(badge, INK, box)
    c.fill(inset(badge, line), dgrad(cx - r, cy - r, cx + r, cy + r, WARM_LIGHT, WARM), box)
    if size >= 32:
        em = r * 1.45
        width = text_width('K', em)
        draw_text(c, 'K', cx - width / 2 - 0.2, cy + 0.36 * em, em, 0.17, WHITE)
    else:
        c.fill(rrect(cx - 2, cy - 0.5, cx + 2, cy + 0.5, 0.4), WHITE, box)
    return c


def drive_icon(size):
    k = size / 32.0
    line = 1.0
    c = Canvas(size, size)
    draw_drive(c, 1 * k, 10 * k, k, w=30, h=17, line=line)
    # The folder on the drive's shoulder says that this drive stands for a folder.
    fk = k * 0.58
    draw_folder(c, 0.5 * k, 2.5 * k, fk, w=26, h=19, paper=False,
                line=line, body=WARM, body_dark=WARM_DARK)
    return c


def donate_icon(size):
    k = size / 16.0
    c = Canvas(size, size)
    coin = circle(8 * k, 8 * k, 7.4 * k)
    c.fill(coin, WARM_DARK)
    c.fill(inset(coin, max(1.0, 0.9 * k)), dgrad(0, 0, size, size, WARM_LIGHT, WARM))
    # A heart from two circles and a point.
    r = 2.1 * k
    heart = union(circle(6.0 * k, 6.7 * k, r), circle(10.0 * k, 6.7 * k, r),
                  polygon([(4.05 * k, 7.6 * k), (11.95 * k, 7.6 * k), (8 * k, 12.2 * k)]))
    c.fill(heart, RED)
    return c


# --- toolbar ----------------------------------------------------------------------

def tb_create(c, ox):
    draw_drive(c, ox + 1, 14, 1.0, w=24, h=13)
    draw_badge(c, ox + 24, 9, 7, GREEN, GREEN_LIGHT, 'plus', 1.0)


def tb_open(c, ox):
    draw_folder(c, ox + 1, 7, 1.0, w=24, h=20, open_front=True)
    draw_arrow(c, ox + 15, 17, ox + 30, 3, 3.2, 6.5, WARM)


def tb_remove(c, ox):
    draw_drive(c, ox + 1, 14, 1.0, w=24, h=13)
    draw_badge(c, ox + 24, 9, 7, RED, RED_LIGHT, 'cross', 1.0)


def tb_save(c, ox):
    x0, y0, x1, y1 = ox + 3, 3, ox + 29, 29
    box = (x0 - 2, y0 - 2, x1 + 2, y1 + 2)
    body = polygon([(x0 + 1.5, y0), (x1 - 4, y0), (x1, y0 + 4), (x1, y1 - 1.5),
                    (x1 - 1.5, y1), (x0 + 1.5, y1), (x0, y1 - 1.5), (x0, y0 + 1.5)])
    c.fill(body, INK, box)
    c.fill(inset(body, 1.0), vgrad(y0, y1, (40, 150, 200), (20, 90, 150)), box)
    shutter = rrect(x0 + 6, y0 + 1, x1 - 6, y0 + 9, 0.8)
    c.fill(shutter, vgrad(y0, y0 + 9, WHITE, SILVER_DARK), box)
    c.fill(rrect(x1 - 11, y0 + 2.5, x1 - 8, y0 + 7.5, 0.5), STEEL, box)
    label = rrect(x0 + 4, y0 + 13, x1 - 4, y1 - 2, 1.0)
    c.fill(label, WHITE, box)
    for i in range(3):
        yy = y0 + 16.5 + i * 3
        c.fill(rrect(x0 + 7, yy, x1 - 7, yy + 1, 0.4), TEAL, box)


def tb_label(c, ox):
    """The drive with a name tag tied to it."""
    draw_drive(c, ox + 1, 16, 1.0, w=24, h=12)
    string = segments_sdf(polyline_segments([(ox + 7, 17.5), (ox + 8.5, 11), (ox + 13, 8.5), (ox + 16.5, 8.2)]), 0.7)
    c.fill(string, STEEL, (ox, 6, ox + 19, 19))
    x0, y0, x1, y1 = ox + 12, 2, ox + 31, 14.5
    box = (x0 - 2, y0 - 2, x1 + 2, y1 + 2)
    my = (y0 + y1) / 2
    tag = subtract(polygon([(x0, my), (x0 + 5, y0), (x1, y0), (x1, y1), (x0 + 5, y1)]), circle(x0 + 5, my, 1.5))
    c.fill(inset(tag, -1.0), INK, box)
    c.fill(tag, dgrad(x0, y0, x1, y1, WARM_LIGHT, WARM), box)
    c.fill(circle(x0 + 5, my, 2.6), WARM_DARK, box, 0.35)
    for i, right in enumerate((x1 - 3, x1 - 6)):
        yy = y0 + 4 + i * 3.5
        c.fill(rrect(x0 + 9.5, yy, right, yy + 1.3, 0.5), WHITE, box)


def tb_manual(c, ox):
    x0, y0, x1, y1 = ox + 5, 2, ox + 27, 30
    box = (x0 - 2, y0 - 2, x1 + 2, y1 + 2)
    pages = rrect(x0 + 2, y0 + 2, x1 + 0.5, y1, 1.2)
    c.fill(pages, INK, box)
    c.fill(inset(pages, 1.0), (250, 246, 236), box)
    cover = rrect(x0, y0, x1 - 2, y1 - 2.5, 1.6)
    c.fill(cover, INK, box)
    c.fill(inset(cover, 1.0), dgrad(x0, y0, x1, y1, WARM_LIGHT, WARM_DARK), box)
    c.fill(rrect(x0 + 1, y0 + 1, x0 + 3.5, y1 - 3.5, 0.8), WARM_DARK, box, 0.8)
    em = 17
    w = text_width('?', em)
    draw_text(c, '?', (x0 + x1) / 2 + 0.8 - w / 2, y0 + 20.5, em, 0.16, WHITE)


def tb_exit(c, ox):
    x0, y0, x1, y1 = ox + 3, 2, ox + 21, 30
    box = (x0 - 2, y0 - 2, x1 + 2, y1 + 2)
    frame = rrect(x0, y0, x1, y1, 1.2)
    c.fill(frame, INK, box)
    c.fill(inset(frame, 1.0), (60, 60, 66), box)
    door = polygon([(x0 + 1.5, y0 + 1.5), (x0 + 12.5, y0 + 4), (x0 + 12.5, y1 + 0.5), (x0 + 1.5, y1 - 1.5)])
    c.fill(inset(door, -0.9), INK, box)
    c.fill(door, vgrad(y0, y1, (214, 150, 90), (150, 90, 45)), box)
    c.fill(circle(x0 + 10.5, (y0 + y1) / 2 + 1, 1.2), WARM_LIGHT, box)
    draw_arrow(c, ox + 15, 16, ox + 31, 16, 4.0, 7.5, GREEN, outline=(20, 90, 35))


def toolbar(size=32):
    c = ScaledCanvas(224, 32, size / 32.0)
    for i, draw in enumerate((tb_create, tb_open, tb_remove, tb_save, tb_label, tb_manual, tb_exit)):
        draw(c, i * 32)
    # Pixels that are mostly transparent become the mask colour; the rest are
    # laid on a light button face, so the soft edges suit a light toolbar.
    rgb = []
    for p in c.px:
        rgb.append(MAGENTA if p[3] < 0.4 else mix(BUTTON_FACE, p[:3], p[3]))
    return c.w, c.h, rgb


# --- splash ---------------------------------------------------------------------------

def splash(scale=1.0):
    w, h = 300, 150
    c = ScaledCanvas(w, h, scale)
    c.fill(lambda x, y: -1.0, dgrad(0, 0, w, h, (0, 196, 196), (0, 96, 118)))
    # Soft rings for depth.
    for cx, cy, r, op in ((40, 150, 110, 0.10), (270, -10, 90, 0.08), (300, 160, 60, 0.07)):
        ring = subtract(circle(cx, cy, r), circle(cx, cy, r - 14))
        c.fill(ring, WHITE, (cx - r - 2, cy - r - 2, cx + r + 2, cy + r + 2), op)
    # Motif: a folder that turns into a drive, joined by an arrow.
    draw_folder(c, 18, 34, 1.55, w=26, h=20, line=1.2)
    draw_arrow(c, 38, 78, 38, 91, 4.5, 7, WARM_LIGHT, outline=TEAL_DEEP)
    draw_drive(c, 14, 96, 1.55, w=31, h=14, line=1.2)
    # Title.
    em = 44
    tx = 104
    draw_text(c, 'Korvane', tx, 80, em, 0.12, WHITE, tracking=0.07,
              shadow=(1.5, 2.0, TEAL_DEEP, 0.55))
    title_w = text_width('Korvane', em, 0.07)
    c.fill(rrect(tx, 91, tx + title_w, 93.5, 1.2), WARM_LIGHT)
    sub = 'folders as drive letters'
    sem = 13.5
    sw = text_width(sub, sem, 0.08)
    draw_text(c, sub, tx + (title_w - sw) / 2, 112, sem, 0.11, (225, 250, 248), tracking=0.08)
    # A thin frame finishes the edge of the borderless splash window.
    c.fill(subtract(rrect(0, 0, w, h, 0), rrect(1, 1, w - 1, h - 1, 0)), TEAL_DEEP)
    return c.w, c.h, c.rgb_over((0, 0, 0))


# --- file writers ----------------------------------------------------------------

def bmp24(w, h, rgb):
    stride = (w * 3 + 3) & ~3
    rows = []
    for y in range(h - 1, -1, -1):
        row = bytearray()
        for x in range(w):
            r, g, b = (int(round(v)) for v in rgb[y * w + x])
            row += bytes((b, g, r))
        row += b'\0' * (stride - len(row))
        rows.append(bytes(row))
    data = b''.join(rows)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    header = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return header + info + data


def palette_of(rgb, colours=256, keep=()):
    """At most `colours` colours for the pixels, by median cut; `keep` colours are kept exactly."""
    pixels = [tuple(int(round(v)) for v in p) for p in rgb]
    kept = [tuple(k) for k in keep]
    boxes = [[p for p in set(pixels) if p not in kept]]
    while len(boxes) + len(kept) < colours:
        widest = None
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            span = max(max(p[k] for p in box) - min(p[k] for p in box) for k in range(3))
            if widest is None or span > widest[0]:
                widest = (span, i)
        if widest is None or widest[0] == 0:
            break
        box = boxes.pop(widest[1])
        axis = max(range(3), key=lambda k: max(p[k] for p in box) - min(p[k] for p in box))
        box.sort(key=lambda p: p[axis])
        boxes += [box[:len(box) // 2], box[len(box) // 2:]]
    palette = kept + [tuple(sum(p[k] for p in box) // len(box) for k in range(3)) for box in boxes if box]
    index = {}
    for k, colour in enumerate(kept):
        index[colour] = k
    for n, box in enumerate(b for b in boxes if b):
        for p in box:
            index[p] = len(kept) + n
    return palette, [index[p] for p in pixels]


def bmp8(w, h, rgb, keep=()):
    palette, indices = palette_of(rgb, keep=keep)
    stride = (w + 3) & ~3
    rows = []
    for y in range(h - 1, -1, -1):
        row = bytes(indices[y * w:(y + 1) * w])
        rows.append(row + b'\0' * (stride - w))
    data = b''.join(rows)
    table = b''.join(bytes((b, g, r, 0)) for r, g, b in palette)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 8, 0, len(data), 2835, 2835, len(palette), 0)
    offset = 14 + len(info) + len(table)
    header = struct.pack('<2sIHHI', b'BM', offset + len(data), 0, 0, offset)
    return header + info + table + data


def ico(canvases):
    images = []
    for c in canvases:
        w, h = c.w, c.h
        xor = bytearray()
        mask = bytearray()
        mstride = ((w + 31) // 32) * 4
        for y in range(h - 1, -1, -1):
            bits = bytearray(mstride)
            for x in range(w):
                r, g, b, a = c.px[y * w + x]
                alpha = int(round(a * 255))
                if alpha == 0:
                    xor += b'\0\0\0\0'
                    bits[x // 8] |= 0x80 >> (x % 8)
                else:
                    xor += bytes((int(round(b)), int(round(g)), int(round(r)), alpha))
            mask += bits
        info = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        images.append((w, h, info + bytes(xor) + bytes(mask)))
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for w, h, data in images:
        out += struct.pack('<BBBBHHII', w % 256, h % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b''.join(d for _, _, d in images)


def write(name, data):
    with open(os.path.join(OUT, name), 'wb') as f:
        f.write(data)


def main():
    write('korvane.ico', ico([program_icon(s) for s in (16, 24, 32, 48)]))
    write('drive.ico', ico([drive_icon(s) for s in (16, 24, 32, 48)]))
    write('donate.ico', ico([donate_icon(s) for s in (16, 24, 32)]))
    write('toolbar.bmp', bmp8(*toolbar(32), keep=(MAGENTA,)))
    write('toolbar48.bmp', bmp8(*toolbar(48), keep=(MAGENTA,)))
    write('splash.bmp', bmp8(*splash(1.5)))


if __name__ == '__main__':
    main()
