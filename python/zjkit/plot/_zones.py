"""Strokes and the pivot zones they form."""

from __future__ import annotations

import datetime as _dt
from typing import Any

import matplotlib.dates as mdates
from matplotlib.axes import Axes
from matplotlib.collections import LineCollection
from matplotlib.figure import Figure
from matplotlib.patches import Rectangle

from zjkit import _native
from zjkit.plot import _common as c

_ZONE = "#3b6fb6"
_ZONE_FLIPPED = "#b63b3b"  # a zone whose zg is below its zd


def _when(ts: int) -> float:
    return mdates.date2num(_dt.datetime.fromtimestamp(ts, _dt.timezone.utc).replace(tzinfo=None))


def zones(strokes: Any, *, symbol: str | None = None, ax: Axes | None = None,
          figsize: tuple[float, float] = (12, 6), dpi: float = 100) -> Figure:
    """The strokes of `strokes` as a polyline, each pivot zone of
    ``get_zs_seq(strokes)`` as a rectangle from zd to zg over its time span,
    with its gg and dd marked. Times are UTC, as the analysis reads them."""
    with c.style():
        bis = c.records(strokes, symbol, "strokes")
        zs = _native.get_zs_seq(bis)
        # Each stroke read by the analysis's own reader: its times, high, low
        # and direction exactly as the zones were built from them.
        read = [_native.get_zs_seq([b])[0] for b in bis]
        ax = c.single_axes(ax, figsize, dpi)
        _draw(ax, read, zs, c.symbol_of(bis, symbol))
        c.apply_font(ax)
        return ax.figure


def _draw(ax: Axes, read: list[dict], zs: list[dict], sym: str) -> None:
    if not read:
        c.empty_note(ax, "no strokes")
        ax.set_title(c.titled(sym, "no strokes: no pivot zones"))
        return
    segments = []
    for s in read:
        up = s["sdir"] == "Up"
        start, end = (s["dd"], s["gg"]) if up else (s["gg"], s["dd"])
        segments.append([(_when(s["sdt_ts"]), start), (_when(s["edt_ts"]), end)])
    ax.add_collection(LineCollection(segments, colors=c.PRICE, linewidths=1.4, gid="strokes", zorder=3))
    ends = [p for seg in segments for p in seg]
    ax.plot([p[0] for p in ends], [p[1] for p in ends], "o", ms=2.5, color=c.PRICE, zorder=4)

    for i, z in enumerate(zs):
        x0, x1 = _when(z["sdt_ts"]), _when(z["edt_ts"])
        colour = _ZONE if z["zg"] >= z["zd"] else _ZONE_FLIPPED
        ax.add_patch(Rectangle((x0, z["zd"]), x1 - x0, z["zg"] - z["zd"], facecolor=colour, alpha=0.18,
                               edgecolor=colour, linewidth=1.2, gid="zone", zorder=2))
        ax.hlines([z["gg"], z["dd"]], x0, x1, colors=colour, linestyles=":", linewidths=1.0, gid="ggdd")
        ax.text(x1, z["gg"], " GG", fontsize=7, color=colour, va="center")
        ax.text(x1, z["dd"], " DD", fontsize=7, color=colour, va="center")
        ax.text(x0, z["zg"], f"Z{i + 1}", fontsize=8, color=colour, va="bottom", fontweight="bold")

    prices = [v for s in read for v in (s["gg"], s["dd"])] + [v for z in zs for v in (z["gg"], z["dd"])]
    c.set_ylim(ax, prices, pad=0.08)
    xs = [p[0] for p in ends]
    span = (max(xs) - min(xs)) or 1.0
    # Dates matplotlib can label: years 1 to 9999.
    first, last = mdates.date2num(_dt.datetime(1, 1, 2)), mdates.date2num(_dt.datetime(9999, 12, 30))
    ax.set_xlim(max(first, min(xs) - span * 0.02), min(last, max(xs) + span * 0.05))
    locator = mdates.AutoDateLocator(minticks=4, maxticks=9)
    ax.xaxis.set_major_locator(locator)
    ax.xaxis.set_major_formatter(mdates.ConciseDateFormatter(locator))
    ax.set_ylabel("价格")
    ax.set_xlabel("时间 (UTC)")
    ax.set_title(c.titled(sym, f"{len(read)} 笔 (strokes)", f"{len(zs)} 个中枢 (pivot zones)",
                          "rectangles zd..zg, dotted gg/dd"))
