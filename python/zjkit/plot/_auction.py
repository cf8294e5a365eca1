"""The opening call auction, 09:15 to 09:25."""

from __future__ import annotations

from typing import Any

import numpy as np
from matplotlib.figure import Figure
from matplotlib.ticker import FuncFormatter

from zjkit import _engine, _native
from zjkit.plot import _common as c

_START, _CANCEL_STOP, _END = 9 * 3600 + 15 * 60, 9 * 3600 + 20 * 60, 9 * 3600 + 26 * 60
_MATCHED = "#4a6fa5"


def auction(snapshots: Any, *, threshold: int = 50, open_price: float | None = None,
            pre_close: float | None = None, limit_up: float | None = None, limit_down: float | None = None,
            symbol: str | None = None, figsize: tuple[float, float] = (11, 7.5), dpi: float = 100) -> Figure:
    """The indicative price, matched volume and signed unmatched volume of an
    opening call auction from 09:15 to 09:25, with 09:20 (after which orders
    can no longer be cancelled) marked. The title gives the morphology class of
    ``auction_scan`` with its score and the verdict of ``auction_false_sell``;
    the arguments are theirs.
    """
    with c.style():
        data = c.records(snapshots, symbol, "snapshots")
        scan = _native.auction_scan(data, threshold, open_price, pre_close, limit_up, limit_down)
        false_sell = _native.auction_false_sell(data, threshold)
        marks = _engine.auction_marks(data)
        fig = c.figure(figsize, dpi)
        _draw(fig, data, marks, scan, false_sell, threshold, pre_close, limit_up, limit_down,
              c.symbol_of(data, symbol))
        c.apply_font(fig)
        return fig


def _title(scan: dict | None, fs: dict | None, threshold: int, n: int) -> str:
    if n == 0:
        return "no snapshots: no verdict"
    if scan is None:
        return f"too few snapshots in 09:15–09:25 (fewer than 15 of {n}): no verdict"
    verdict = "达标" if scan["match"] else "未达标"
    line1 = (f"形态 {scan['morphology']} (置信 {scan['morphology_conf']}) · "
             f"抢筹评分 {scan['score']} {verdict} (阈值 {threshold})")
    if fs is None:
        return line1
    fs_verdict = "是假卖单" if fs["match"] else "非假卖单"
    line2 = (f"假卖单 {fs['score']} → {fs_verdict} · 卖盘占比 {fs['neg_ratio']:.0%} · "
             f"末档未匹配 {fs['last_um']}")
    return line1 + "\n" + line2


def _draw(fig, data, marks, scan, fs, threshold, pre_close, limit_up, limit_down, sym) -> None:
    keep = [i for i, w in enumerate(marks["in_window"]) if w]
    grid = fig.add_gridspec(3, 1, height_ratios=[3, 1.6, 1.6])
    price = fig.add_subplot(grid[0])
    matched = fig.add_subplot(grid[1], sharex=price)
    unmatched = fig.add_subplot(grid[2], sharex=price)
    fig.suptitle(c.titled(sym, "集合竞价 09:15–09:25") + "\n" + _title(scan, fs, threshold, len(data)),
                 fontsize=12, fontweight="bold")
    if not keep:
        c.empty_note(price, "no snapshots between 09:15:00 and 09:25:59")
        matched.set_visible(False)
        unmatched.set_visible(False)
        return
    t = np.array([marks["time"][i] for i in keep])
    p = np.array([float(data[i]["price"]) for i in keep])
    m = np.array([float(data[i]["matched"]) for i in keep])
    u = np.array([float(data[i]["unmatched"]) for i in keep])
    width = max(1.0, float(np.median(np.diff(t))) * 0.8) if len(t) > 1 else 2.0

    price.step(t, p, where="post", color=c.PRICE, linewidth=1.6, gid="price")
    price.plot(t, p, "o", ms=2, color=c.PRICE)
    levels = [(pre_close, "昨收", c.NEUTRAL), (limit_up, "涨停", c.UP), (limit_down, "跌停", c.DOWN)]
    shown = list(p)
    for value, name, colour in levels:
        if value is None or not c.finite([value]):
            continue
        # A limit far from the auction's prices would squash the price line.
        if c.finite(p) and abs(value - float(np.nanmedian(p))) > 0.06 * abs(value):
            continue
        price.axhline(value, color=colour, linestyle="--", linewidth=0.9)
        price.text(1.0, value, f" {name} {value:.2f}", color=colour, fontsize=8, va="center",
                   transform=price.get_yaxis_transform())
        shown.append(value)
    c.set_ylim(price, shown, pad=0.12)
    price.set_ylabel("虚拟成交价")

    matched.bar(t, m, width=width, color=_MATCHED, gid="matched")
    matched.set_ylabel("匹配量 (手)")
    colours = np.where(u >= 0, c.UP, c.DOWN)
    unmatched.bar(t, u, width=width, color=colours, gid="unmatched")
    unmatched.axhline(0, color="#555555", linewidth=0.6)
    unmatched.set_ylabel("未匹配量 (手)")
    unmatched.set_title("红: 买方剩余  绿: 卖方剩余", loc="left", fontsize=8, fontweight="normal", pad=2)

    for ax in (price, matched, unmatched):
        ax.axvline(_CANCEL_STOP, color="#8e44ad", linewidth=1.2, linestyle="-.", gid="cancel_stop")
        ax.set_xlim(_START - 10, min(_END, float(t.max()) + 40))
    price.text(_CANCEL_STOP, 1.0, " 09:20 停止撤单", transform=price.get_xaxis_transform(), color="#8e44ad",
               fontsize=8, va="top")
    price.tick_params(labelbottom=False)
    matched.tick_params(labelbottom=False)
    ticks = [_START + 60 * k for k in range(11)]
    unmatched.set_xticks(ticks)
    unmatched.xaxis.set_major_formatter(FuncFormatter(lambda v, _: c.clock(v)))
