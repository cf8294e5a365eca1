"""A day's trades with the marks of the breakout verdict."""

from __future__ import annotations

import textwrap
from typing import Any

import numpy as np
from matplotlib.axes import Axes
from matplotlib.figure import Figure
from matplotlib.lines import Line2D

from zjkit import _engine, _native
from zjkit.plot import _common as c

_INST_EDGE = "#111111"
_MATCHED = "#8e44ad"
_SPLIT = "#ff7f0e"


def tape(trades: Any, pre_close: float, high: float, low: float, *, breakout_price: float | None = None,
         symbol: str | None = None, ax: Axes | None = None, figsize: tuple[float, float] = (13, 6.5),
         dpi: float = 100) -> Figure:
    """The price of every trade through the day, with the trades the verdict
    of ``trans_analysis(trades, pre_close, high, low)`` counted: large trades
    sized by volume (buys red, sells green), institutional trades outlined,
    the trades of matched pairs and of split-order clusters marked. With
    `breakout_price`, its level and the ``trans_breakout`` classification are
    shown too. The title gives the verdict and its confidence.
    """
    with c.style():
        data = c.records(trades, symbol, "trades")
        verdict = _native.trans_analysis(data, pre_close, high, low)
        breakout = None if breakout_price is None else _native.trans_breakout(data, breakout_price)
        marks = _engine.tape_marks(data, pre_close, high, low)
        ax = c.single_axes(ax, figsize, dpi)
        _draw(ax, data, verdict, marks, pre_close, breakout_price, breakout, c.symbol_of(data, symbol))
        c.apply_font(ax)
        return ax.figure


def _title(sym: str, n: int, verdict: dict | None) -> str:
    head = c.titled(sym, f"逐笔成交 {n} 笔")
    if n == 0:
        return head + "\nno trades: no verdict"
    if verdict is None:
        return head + "\nfewer than 20 trades or no volume: no verdict"
    return head + f"\n{verdict['conclusion']} · 置信度 {verdict['confidence']:.1f}"


def _draw(ax, data, verdict, marks, pre_close, breakout_price, breakout, sym) -> None:
    ax.set_title(_title(sym, len(data), verdict), loc="left")
    if marks is None:
        c.empty_note(ax, "nothing to draw")
        return
    x = np.array([c.session_x(t) for t in marks["time"]])
    price = np.array([float(r["price"]) for r in data])
    vol = np.array([float(r["vol"]) for r in data])
    flag = np.array([int(r["bs_flag"]) for r in data])
    order = np.argsort(x, kind="stable")
    ax.plot(x[order], price[order], color=c.PRICE, linewidth=0.6, alpha=0.7, gid="price")

    large = np.array(marks["large"], dtype=bool)
    inst = np.array(marks["institutional"], dtype=bool)
    matched = np.array(marks["matched_with"]) >= 0
    split = np.array(marks["split_cluster"]) >= 0
    side = np.where(flag == 0, c.UP, np.where(flag == 1, c.DOWN, c.NEUTRAL))
    top = max(c.finite(vol[large | inst]) or [1.0])

    def size(mask):
        return 12 + 260 * np.sqrt(np.clip(vol[mask], 0, None) / top)

    ax.scatter(x[large], price[large], s=size(large), c=side[large], alpha=0.55, linewidths=0,
               gid="large", zorder=3)
    ax.scatter(x[inst], price[inst], s=size(inst) * 1.3, facecolors="none", edgecolors=_INST_EDGE,
               linewidths=0.7, alpha=0.8, marker="D", gid="institutional", zorder=4)
    ax.scatter(x[split], price[split], s=14, c=_SPLIT, marker="s", linewidths=0, gid="split", zorder=5)
    ax.scatter(x[matched], price[matched], s=12, c=_MATCHED, marker="x", linewidths=0.7, alpha=0.8,
               gid="matched", zorder=5)

    shown = list(price)
    if pre_close and np.isfinite(pre_close):
        ax.axhline(pre_close, color=c.NEUTRAL, linestyle=":", linewidth=0.9)
        ax.text(240.5, pre_close, f" 昨收 {pre_close:.2f}", fontsize=8, color=c.NEUTRAL, va="center")
        shown.append(pre_close)
    if breakout_price is not None and c.finite([breakout_price]):
        ax.axhline(breakout_price, color=c.ACCENT, linestyle="--", linewidth=1.2, gid="breakout")
        what = "too few trades in the zone" if breakout is None else \
            f"{breakout['classification']} {breakout['confidence']:.0f}"
        ax.text(240.5, breakout_price, f" 突破价 {breakout_price:.2f}\n {what}", fontsize=8, color=c.ACCENT,
                va="center")
        shown.append(breakout_price)
    c.set_ylim(ax, shown, pad=0.08)
    ax.set_xlim(min(-8.0, float(np.nanmin(x)) - 3), 242)
    c.session_ticks(ax)
    ax.set_ylabel("价格")

    v = verdict or {}
    handles = [
        Line2D([], [], marker="o", ls="", color=c.UP, alpha=0.6, label=f"大单 买 {v.get('large_buy_count', 0)}"),
        Line2D([], [], marker="o", ls="", color=c.DOWN, alpha=0.6,
               label=f"大单 卖 {v.get('large_sell_count', 0)}"),
        Line2D([], [], marker="D", ls="", mfc="none", mec=_INST_EDGE,
               label=f"主力 {v.get('inst_buy_count', 0)} 买 / {v.get('inst_sell_count', 0)} 卖"),
        Line2D([], [], marker="s", ls="", color=_SPLIT, label=f"拆单 {v.get('split_clusters', 0)} 簇"),
        Line2D([], [], marker="x", ls="", color=_MATCHED, label=f"对倒 {v.get('matched_pairs', 0)} 对"),
    ]
    ax.legend(handles=handles, loc="upper left", ncol=5, fontsize=8, bbox_to_anchor=(0, -0.08))
    if verdict is not None:
        ax.text(0.0, -0.2, "\n".join(textwrap.wrap(verdict["details"], 95)), transform=ax.transAxes,
                fontsize=8, va="top", color="#333333")
