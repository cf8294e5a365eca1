"""A day's minute chart and its grade."""

from __future__ import annotations

from typing import Any

import numpy as np
from matplotlib.figure import Figure

from zjkit import _engine, _native
from zjkit.plot import _common as c

_AVG = "#e6a700"
_LARGE = "#ff7f0e"


def minutes(chart: Any, pre_close: float, *, low_price: float | None = None, close_pos_threshold: float = 0.3,
            symbol: str | None = None, figsize: tuple[float, float] = (12, 7), dpi: float = 100) -> Figure:
    """Price and average-price lines of a minute chart, its volume with the
    large minutes of ``tick_analysis`` highlighted, the close position, and in
    the title the quality score, the keep/cancel decision and the cancel
    reason when there is one. The arguments are those of ``tick_analysis``.
    Minutes are drawn by position, as the analysis reads them.
    """
    with c.style():
        data = c.records(chart, symbol, "chart")
        grade = _native.tick_analysis(data, pre_close, low_price, close_pos_threshold)
        marks = _engine.minute_marks(data, pre_close, low_price, close_pos_threshold)
        fig = c.figure(figsize, dpi)
        _draw(fig, data, grade, marks, pre_close, c.symbol_of(data, symbol))
        c.apply_font(fig)
        return fig


def _title(sym: str, n: int, grade: dict | None) -> str:
    head = c.titled(sym, f"分时图 {n} 分钟")
    if n == 0:
        return head + "\nno minutes: no grade"
    if grade is None:
        return head + "\nfewer than 10 minutes: no grade"
    decision = "取消 (cancel)" if grade["should_cancel"] else "保留 (keep)"
    line = head + f"\n质量分 {grade['quality_score']:.0f} → {decision} · 涨幅 {grade['day_chg_pct']:+.2f}%"
    if grade["cancel_reason"]:
        line += f"\n取消原因: {grade['cancel_reason']}"
    return line


def _draw(fig, data, grade, marks, pre_close, sym) -> None:
    grid = fig.add_gridspec(2, 1, height_ratios=[3, 1.2])
    price_ax = fig.add_subplot(grid[0])
    vol_ax = fig.add_subplot(grid[1], sharex=price_ax)
    fig.suptitle(_title(sym, len(data), grade), fontsize=12, fontweight="bold")
    if marks is None:
        c.empty_note(price_ax, "nothing to draw")
        vol_ax.set_visible(False)
        return
    n = len(data)
    x = np.arange(n)
    price = np.array([float(r["price"]) for r in data])
    vol = np.array([float(r["vol"]) for r in data])
    price_ax.plot(x, price, color=c.PRICE, linewidth=1.4, label="价格", gid="price")
    # The average line where the chart supplies one.
    avg = np.array([float(r["avg"]) if "avg" in r and r["avg"] is not None else np.nan for r in data])
    if np.isfinite(avg).any():
        price_ax.plot(x, avg, color=_AVG, linewidth=1.2, label="均价", gid="avg")
    shown = list(price) + list(avg)
    if pre_close and np.isfinite(pre_close):
        price_ax.axhline(pre_close, color=c.NEUTRAL, linestyle=":", linewidth=0.9, label=f"昨收 {pre_close:.2f}")
        shown.append(pre_close)
    if grade is not None:
        pos = grade["close_pos"]
        price_ax.plot([n - 1], [price[-1]], "o", color=c.ACCENT, ms=7, zorder=5, gid="close")
        price_ax.annotate(f"收盘位置 {pos:.2f}", (n - 1, price[-1]), textcoords="offset points",
                          # on the side the day's line did not come from
                          xytext=(-50, -22) if pos < 0.5 else (-50, 22), va="top" if pos < 0.5 else "bottom",
                          ha="right", fontsize=9, color=c.ACCENT, fontweight="bold",
                          arrowprops={"arrowstyle": "-", "color": c.ACCENT, "lw": 0.8})
    c.set_ylim(price_ax, shown, pad=0.08)
    price_ax.set_ylabel("价格")
    price_ax.legend(loc="upper left", ncol=3)
    price_ax.tick_params(labelbottom=False)

    large = np.array(marks["large"], dtype=bool)
    vol_ax.bar(x[~large], vol[~large], width=0.8, color="#9aaac4", linewidth=0, gid="volume")
    vol_ax.bar(x[large], vol[large], width=0.8, color=_LARGE, linewidth=0, gid="large")
    count = grade["large_trade_count"] if grade else int(large.sum())
    vol_ax.text(0.995, 0.95, f"放量分钟 {count}", transform=vol_ax.transAxes, fontsize=8, color=_LARGE,
                va="top", ha="right")
    vol_ax.set_ylabel("成交量")
    vol_ax.set_xlim(-2, max(n, 2) + 1)
    step = 30 if n > 60 else max(1, n // 6)
    ticks = list(range(0, n, step))
    vol_ax.set_xticks(ticks, [c.clock(marks["time"][i]) for i in ticks])
