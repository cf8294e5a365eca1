"""Candlesticks with volume, and one band of labels per signal."""

from __future__ import annotations

from typing import Any

import numpy as np
from matplotlib.collections import LineCollection, PolyCollection
from matplotlib import colormaps
from matplotlib.colors import to_hex, to_rgb
from matplotlib.figure import Figure

from zjkit import _native
from zjkit.plot import _common as c

# The labels of a record that says nothing, and of a name nobody registered.
DEFAULT_LABELS = ("其他", "任意", "任意")
UNREGISTERED = "未注册"
_BLANK = "#ffffff"
_QUIET = "#e3e3e3"
# One palette per label level, so that v1, v2 and v3 strips read apart; each
# long enough for the labels of any built-in signal.
_TAB = [to_hex(x) for x in colormaps["tab20"].colors + colormaps["tab20b"].colors]
_PALETTES = [
    ["#c0392b", "#2e86c1", "#27ae60", "#f39c12", "#8e44ad", "#16a085", "#d35400", "#2c3e50"] + _TAB,
    ["#e67e22", "#3498db", "#1abc9c", "#9b59b6", "#e74c3c", "#34495e", "#f1c40f", "#95a5a6"] + _TAB[::-1],
    ["#ff9f9f", "#9fd3ff", "#b5e7a0", "#ffd59f", "#d5b3ff", "#a0e7e5", "#f6c6ea", "#cccccc"] + _TAB[1::2],
]


def _config(s: Any) -> dict:
    return {"name": s} if isinstance(s, str) else dict(s)


def _short(name: str) -> str:
    """zj_wavetrend_zone_V260724 -> wavetrend_zone V260724."""
    base = name[3:] if name.startswith("zj_") else name
    head, sep, version = base.rpartition("_V")
    return f"{head} V{version}" if sep else base


def _records_per_bar(records: list[dict], n: int) -> list[dict | None]:
    """Each bar's record: one per bar, or a single record (the Ichimoku state)
    that belongs to the newest bar."""
    if len(records) == n:
        return list(records)
    out: list[dict | None] = [None] * n
    if records and n:
        out[-1] = records[-1]
    return out


def _band(per_bar: list[dict | None]) -> tuple[np.ndarray, list[list[tuple[str, str]]]]:
    """RGB image of the three label strips and, per strip, (label, colour)
    from the most frequent label down, the quiet labels last."""
    n = len(per_bar)
    image = np.ones((3, max(n, 1), 3))
    legend: list[list[tuple[str, str]]] = []
    for level in range(3):
        key = f"v{level + 1}"
        colours: dict[str, str] = {}
        counts: dict[str, int] = {}
        palette = _PALETTES[level]
        for i, rec in enumerate(per_bar):
            if rec is None:
                rgb = to_rgb(_BLANK)
            else:
                label = rec[key]
                if label not in colours:
                    quiet = label in (DEFAULT_LABELS[level], UNREGISTERED)
                    colours[label] = _QUIET if quiet else palette[len(colours) % len(palette)]
                counts[label] = counts.get(label, 0) + 1
                rgb = to_rgb(colours[label])
            image[level, i] = rgb
        order = sorted(colours, key=lambda label: (colours[label] == _QUIET, -counts[label]))
        legend.append([(label, colours[label]) for label in order])
    return image, legend


def _column(bars: list[dict], key: str) -> np.ndarray:
    """A bar field as drawn: a number that is not one is left out (NaN)."""
    out = np.full(len(bars), np.nan)
    for i, b in enumerate(bars):
        v = b.get(key) if isinstance(b, dict) else None
        if isinstance(v, (int, float)) and not isinstance(v, bool):
            out[i] = float(v)
    return out


def _candles(ax, bars: list[dict]) -> None:
    o, h, lo, cl = (_column(bars, k) for k in ("open", "high", "low", "close"))
    x = np.arange(len(bars), dtype=float)
    up = cl >= o
    colours = np.where(up, c.UP, c.DOWN)
    ax.add_collection(LineCollection(np.stack([np.c_[x, lo], np.c_[x, h]], axis=1), colors=colours,
                                     linewidths=0.7, gid="wicks"))
    w = 0.35
    top, bottom = np.maximum(o, cl), np.minimum(o, cl)
    body = np.stack([np.c_[x - w, bottom], np.c_[x - w, top], np.c_[x + w, top], np.c_[x + w, bottom]], axis=1)
    faces = np.where(up, "#ffffff", c.DOWN)  # hollow rising bodies, filled falling ones
    ax.add_collection(PolyCollection(body, facecolors=faces, edgecolors=colours, linewidths=0.6,
                                     gid="candles"))
    ax.set_xlim(-1, len(bars))
    c.set_ylim(ax, np.r_[lo, h])
    ax.set_ylabel("价格")


def _volume(ax, bars: list[dict]) -> None:
    v, o, cl = (_column(bars, k) for k in ("vol", "open", "close"))
    x = np.arange(len(bars), dtype=float)
    w = 0.35
    zero = np.zeros_like(v)
    verts = np.stack([np.c_[x - w, zero], np.c_[x - w, v], np.c_[x + w, v], np.c_[x + w, zero]], axis=1)
    ax.add_collection(PolyCollection(verts, facecolors=np.where(cl >= o, c.UP, c.DOWN), linewidths=0,
                                     alpha=0.6, gid="volume"))
    finite = c.finite(v)
    ax.set_ylim(0, (max(finite) if finite else 1.0) * 1.05 or 1.0)
    ax.set_ylabel("成交量")
    ax.ticklabel_format(axis="y", style="sci", scilimits=(0, 0))


def _date_ticks(ax, bars: list[dict]) -> None:
    n = len(bars)
    if n == 0:
        return
    step = max(1, n // 8)
    ticks = list(range(0, n, step))
    labels = [str(bars[i].get("dt", ""))[:10] for i in ticks]
    ax.set_xticks(ticks, labels)


def signals(bars: Any, signals: Any, *, symbol: str | None = None,
            figsize: tuple[float, float] = (14, 9), dpi: float = 100) -> Figure:
    """Candlesticks and volume of `bars`, and under them one band per signal
    of `signals` (names or configurations as ``generate_zj_signals`` takes
    them). Each band has three strips, v1, v2 and v3, whose colours change
    with the labels the signal gives each bar; its legend lists the labels.
    Records of "其他 / 任意 / 任意" (nothing to say) are light grey.
    """
    with c.style():
        bars = c.records(bars, symbol, "bars")
        one = isinstance(signals, (str, dict))
        configs = [_config(s) for s in ([signals] if one else signals)]
        # One call per configuration keeps each signal's records apart.
        per_signal = [_native.generate_zj_signals([cfg], bars) for cfg in configs]
        fig = _draw(bars, configs, per_signal, symbol, figsize, dpi)
        c.apply_font(fig)
        return fig


def _draw(bars, configs, per_signal, symbol, figsize, dpi) -> Figure:
    # A fixed layout: a constrained one would draw every legend text twice.
    fig = Figure(figsize=figsize, dpi=dpi)
    k = len(configs)
    width, height = figsize
    grid = fig.add_gridspec(2 + k, 1, height_ratios=[4.0, 1.2] + [1.0] * k, left=0.75 / width,
                            right=1 - 2.3 / width, top=1 - 0.6 / height, bottom=0.45 / height,
                            hspace=0.35)
    price = fig.add_subplot(grid[0])
    volume = fig.add_subplot(grid[1], sharex=price)
    n = len(bars)
    sym = c.symbol_of(bars, symbol)
    freq = str(bars[0].get("freq", "")) if n and isinstance(bars[0], dict) else ""
    notes: list[str] = []
    if n == 0:
        c.empty_note(price, "no bars")
        volume.set_visible(False)
        head = "no bars to draw"
    else:
        _candles(price, bars)
        _volume(volume, bars)
        price.tick_params(labelbottom=False)
        head = f"{n} bars {str(bars[0].get('dt', ''))[:10]} .. {str(bars[-1].get('dt', ''))[:10]}"
    for j, (cfg, recs) in enumerate(zip(configs, per_signal)):
        ax = fig.add_subplot(grid[2 + j], sharex=price if n else None)
        name = str(cfg.get("name", ""))
        per_bar = _records_per_bar(recs, n)
        image, legend = _band(per_bar)
        ax.imshow(image, aspect="auto", interpolation="nearest", extent=(-0.5, max(n, 1) - 0.5, 2.5, -0.5),
                  gid=f"band:{name}")
        ax.set_yticks([0, 1, 2], ["v1", "v2", "v3"])
        ax.grid(False)
        ax.set_title(_short(name), loc="left", fontsize=9, pad=2)
        labels = [tuple(r[f"v{i}"] for i in (1, 2, 3)) for r in recs]
        if not recs:
            why = "no records"
        elif all(t == (UNREGISTERED,) * 3 for t in labels):
            why = "未注册 (not registered)"
        elif all(t == DEFAULT_LABELS for t in labels):
            why = "仅默认记录 (only default records)"
        else:
            why = ""
        if why:
            notes.append(f"{_short(name)}: {why}")
            ax.text(0.5, 0.5, why, transform=ax.transAxes, ha="center", va="center", fontsize=9, color="#555555")
        room = ax.get_position().height * fig.get_figheight() * 72  # points
        _legend(ax, legend, max(2, int(room / 9.5)))
        if j < k - 1:
            ax.tick_params(labelbottom=False)
        else:
            _date_ticks(ax, bars)
    if k == 0:
        _date_ticks(volume, bars)
    else:
        volume.tick_params(labelbottom=False)
    fig.suptitle(c.titled(sym, freq, head), fontsize=13, fontweight="bold")
    if notes:
        fig.suptitle(c.titled(sym, freq, head) + "\n" + "; ".join(notes), fontsize=12, fontweight="bold")
    return fig


def _text_width(text: str, size: float) -> float:
    """Width of a label in points, near enough to lay out columns: CJK
    characters are square, others about half as wide."""
    return sum(size if ord(ch) > 0x2E80 else 0.55 * size for ch in text)


def _legend(ax, legend: list[list[tuple[str, str]]], room: int) -> None:
    """One column per strip right of the band: v1's labels, then v2's, then
    v3's, at most `room` rows (the last one then says how many more there
    are). Laid out directly rather than by matplotlib's legend, which would
    measure every entry several times per draw."""
    rows = max((len(col) for col in legend), default=0)
    rows = min(rows, room)
    if rows == 0:
        return
    size, step, swatch = 7.0, 9.5, 7.0  # points
    box = ax.get_position()
    fig = ax.figure
    width = box.width * fig.get_figwidth() * 72
    height = box.height * fig.get_figheight() * 72
    top = (height + rows * step) / 2  # rows centred on the band
    xs, ys, colours = [], [], []
    x = 6.0
    for col in legend:
        shown = col[:rows] if len(col) <= rows else col[:rows - 1] + [(f"+{len(col) - rows + 1}", _BLANK)]
        for i, (label, colour) in enumerate(shown):
            y = top - (i + 0.5) * step
            xs.append(1 + (x + swatch / 2) / width)
            ys.append(y / height)
            colours.append(colour)
            ax.text(1 + (x + swatch + 3) / width, y / height, label, transform=ax.transAxes, fontsize=size,
                    va="center_baseline", ha="left", clip_on=False)
        x += swatch + 3 + max(_text_width(label, size) for label, _ in shown) + 8
    ax.scatter(xs, ys, s=swatch ** 2, marker="s", c=colours, edgecolors="#999999", linewidths=0.3,
               transform=ax.transAxes, clip_on=False, gid="legend")
