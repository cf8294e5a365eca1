"""zjkit.ta over sample daily bars."""

from __future__ import annotations

import math
from typing import TextIO

import zjkit.ta as ta
from zjkit.sample import daily_bars

TITLE = "zjkit.ta: indicators behind the signals, over 750 daily bars"


def _fmt(v: float) -> str:
    return "     nan" if math.isnan(v) else f"{v:8.2f}"


def run(seed: int, out: TextIO) -> None:
    bars = daily_bars(n=750, seed=seed)
    high = [b["high"] for b in bars]
    low = [b["low"] for b in bars]
    close = [b["close"] for b in bars]
    upper, middle, lower = ta.bbands(close, 20, 2.0, 2.0, ta.MaType.SMA)
    atr = ta.atr(high, low, close, 14)
    plus, minus = ta.plus_di(high, low, close, 14), ta.minus_di(high, low, close, 14)
    adx = ta.adx(high, low, close, 14)
    line = ta.linearreg(close, 20)
    print("Every output has the input's length; the first lookback entries are NaN "
          f"(bbands(20): 19, adx(14): 27). Outputs here are {type(adx).__module__}.{type(adx).__name__}('d').",
          file=out)
    print(f"\n{'date':10s} {'close':>8s} {'bb up':>8s} {'bb mid':>8s} {'bb low':>8s} {'atr14':>8s} "
          f"{'+di':>8s} {'-di':>8s} {'adx':>8s} {'linreg':>8s}", file=out)
    for i in [0, 19, 27, *range(len(bars) - 5, len(bars))]:
        row = [upper[i], middle[i], lower[i], atr[i], plus[i], minus[i], adx[i], line[i]]
        print(f"{bars[i]['dt']:10s} {close[i]:8.2f} " + " ".join(_fmt(v) for v in row), file=out)
    last = len(bars) - 1
    width = (upper[last] - lower[last]) / middle[last] * 100
    trend = "trending" if adx[last] >= 25 else "no clear trend"
    side = "buyers lead" if plus[last] > minus[last] else "sellers lead"
    print(f"\nLast bar: band width {width:.1f}% of price, ATR {atr[last] / close[last] * 100:.1f}% of price, "
          f"ADX {adx[last]:.1f} ({trend}), {side}.", file=out)
    try:
        ta.adx(high[:20], low[:20], close[:20], 14)
    except ta.TaError as e:
        print(f"adx(14) on 20 bars raises TaError: {e}", file=out)
