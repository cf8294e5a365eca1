"""Minute charts (分时图) of one A-share trading day, for ``tick_analysis``.

Each chart has 240 points, one per minute of continuous trading, stamped with
the minute's end: 09:31 to 11:30 for the morning and 13:01 to 15:00 for the
afternoon. Volumes follow the usual U shape (busy open, quiet midday, busier
close) with noise; prices move on the 0.01 tick. The data are made up and
deterministic for a given seed.
"""

from __future__ import annotations

import math
import random

__all__ = ["MINUTE_PATTERNS", "minute_chart", "minute_charts", "minute_times"]

#: The shapes ``minute_chart`` can draw.
MINUTE_PATTERNS = ("strong", "choppy", "fade")


def minute_times() -> list[str]:
    """The 240 minute stamps of a trading day, "%H:%M:%S"."""
    out = []
    for start in (9 * 60 + 31, 13 * 60 + 1):
        for m in range(start, start + 120):
            out.append(f"{m // 60:02d}:{m % 60:02d}:00")
    return out


def _path(pattern: str, i: int) -> float:
    """Price drift relative to the previous close at minute i, as a fraction."""
    t = i / 239
    if pattern == "strong":
        # Opens a little up, climbs all day, firmest into the close.
        return 0.01 + 0.035 * t + 0.01 * t**3
    if pattern == "fade":
        # Pops to +6% in the first hour, gives it back, and drops late.
        if i < 45:
            return 0.03 + 0.03 * i / 45
        late = max(0.0, (i - 210) / 29)
        return 0.06 - 0.035 * (i - 45) / 194 - 0.02 * late
    if pattern == "choppy":
        return 0.01 + 0.008 * math.sin(i / 12)
    raise ValueError(f"unknown pattern {pattern!r}; expected one of {MINUTE_PATTERNS}")


def _volume_profile(pattern: str, i: int) -> float:
    shape = 1.0 + 2.5 * math.exp(-i / 10) + 1.2 * math.exp(-(239 - i) / 12)
    if pattern == "strong" and i >= 210 and i % 7 == 3:
        shape *= 4.0  # buyers keep coming in the last half hour
    if pattern == "fade" and i < 30 and i % 5 == 0:
        shape *= 4.0  # the morning pop was bought in size, then nothing
    return shape


def minute_chart(pattern: str = "strong", seed: int = 1, pre_close: float = 10.0) -> list[dict]:
    """One day's minute chart as ``tick_analysis`` reads it.

    ``pattern`` is one of ``MINUTE_PATTERNS``: "strong" closes at the day's
    high with buying in the last half hour (kept), "fade" sells off from a
    morning spike into the close (cancelled), "choppy" wanders in a narrow
    range. Each point is a dict with "time", "price", "avg" (the running
    volume-weighted average price), "vol" (shares) and "momentum" (the
    minute's change in percent).
    """
    rng = random.Random(f"{pattern}:{seed}")
    base_vol = 20_000 + 2_000 * (seed % 10)
    points = []
    value = volume = 0.0
    prev = pre_close
    for i, time in enumerate(minute_times()):
        noise = rng.gauss(0.0, 0.0015) if 0 < i < 239 else 0.0
        price = round(pre_close * (1.0 + _path(pattern, i) + noise), 2)
        vol = int(base_vol * _volume_profile(pattern, i) * rng.lognormvariate(0.0, 0.25)) // 100 * 100
        value += price * vol
        volume += vol
        points.append(
            {
                "time": time,
                "price": price,
                "avg": round(value / volume, 4) if volume else price,
                "vol": vol,
                "momentum": round((price - prev) / prev * 100.0, 4),
            }
        )
        prev = price
    return points


def minute_charts(count: int, seed: int = 0) -> list[tuple[float, list[dict]]]:
    """``count`` charts of a market scan as (pre_close, chart) pairs, the
    patterns taken in turn and the previous closes spread from 3 to 60."""
    rng = random.Random(seed)
    out = []
    for k in range(count):
        pre_close = round(rng.uniform(3.0, 60.0), 2)
        out.append((pre_close, minute_chart(MINUTE_PATTERNS[k % 3], seed + k, pre_close)))
    return out
