"""Daily K-line bars."""

from __future__ import annotations

import datetime as _dt
import math
import random


def _trading_days(start: _dt.date, n: int) -> list[_dt.date]:
    days: list[_dt.date] = []
    d = start
    while len(days) < n:
        if d.weekday() < 5:
            days.append(d)
        d += _dt.timedelta(days=1)
    return days


def _tick(price: float) -> float:
    """Rounded to the 0.01 price tick."""
    return round(price + 1e-9, 2)


def daily_bars(n: int = 750, seed: int = 7, symbol: str = "600519.SH", start_price: float = 25.0,
               start: str = "2022-01-04", freq: str = "日线") -> list[dict]:
    """``n`` daily bars (about three years for 750), oldest first.

    Each bar is a dict with "symbol", "dt" ("YYYY-MM-DD"), "freq", "open",
    "high", "low", "close" (0.01 ticks, within the ±10% daily limit), "vol"
    (shares, whole lots of 100) and "amount" (turnover in yuan). Prices follow a
    random walk with slowly changing drift and volatility, so trends, ranges and
    reversals all occur.
    """
    rng = random.Random(seed)
    days = _trading_days(_dt.date.fromisoformat(start), n)
    bars: list[dict] = []
    close = start_price
    drift, vol = 0.0, 0.02
    base_lots = rng.randint(20_000, 80_000)
    for day in days:
        if rng.random() < 0.03:  # a new regime every month or so
            drift = rng.gauss(0.0, 0.004)
            vol = min(0.05, max(0.008, vol * math.exp(rng.gauss(0.0, 0.3))))
        prev = close
        change = max(-0.095, min(0.095, drift + rng.gauss(0.0, vol)))
        close = max(1.0, _tick(prev * (1 + change)))
        open_ = _tick(prev * (1 + max(-0.05, min(0.05, rng.gauss(0.0, vol / 2)))))
        spread = abs(rng.gauss(0.0, vol)) * prev
        high = _tick(min(prev * 1.1, max(open_, close) + spread * rng.random()))
        low = _tick(max(prev * 0.9, min(open_, close) - spread * rng.random()))
        low = min(low, open_, close)
        high = max(high, open_, close)
        lots = max(1, int(base_lots * math.exp(rng.gauss(0.0, 0.35)) * (1 + 8 * abs(change))))
        volume = lots * 100
        typical = (high + low + close) / 3
        bars.append({
            "symbol": symbol,
            "dt": day.isoformat(),
            "freq": freq,
            "open": open_,
            "high": high,
            "low": low,
            "close": close,
            "vol": float(volume),
            "amount": round(volume * typical, 2),
        })
    return bars
