"""Trade-by-trade tapes (逐笔成交) of one stock's trading day."""

from __future__ import annotations

import bisect
import functools
import itertools
import math
import random

# Seconds of the day when continuous trading runs: 09:30:00-11:29:59 and
# 13:00:00-14:56:59; the closing call auction prints at 15:00:00.
_MORNING = (9 * 3600 + 30 * 60, 11 * 3600 + 30 * 60)
_AFTERNOON = (13 * 3600, 14 * 3600 + 57 * 60)
_OPEN_AUCTION = 9 * 3600 + 25 * 60
_CLOSE_AUCTION = 15 * 3600

SCENARIOS = ("breakout", "fade", "limit_up", "quiet")


def _clock(sec: int) -> str:
    return f"{sec // 3600:02d}:{sec // 60 % 60:02d}:{sec % 60:02d}"


def _tick(price: float) -> float:
    return round(price + 1e-9, 2)


def _path(scenario: str, f: float) -> float:
    """Change against the previous close at session fraction f (0 open, 1 close)."""
    if scenario == "breakout":  # steady climb, a push in the last hour
        return 0.01 + 0.035 * f + 0.03 * max(0.0, f - 0.75) / 0.25
    if scenario == "fade":  # morning rally, afternoon sell-off
        return 0.05 * math.sin(math.pi * min(f, 0.35) / 0.7) - 0.07 * max(0.0, f - 0.35)
    if scenario == "limit_up":  # runs to the +10% limit by early afternoon
        return min(0.10, 0.02 + 0.12 * f)
    return 0.004 * math.sin(6 * f)  # quiet


def _buy_bias(scenario: str, f: float) -> float:
    """Probability that a trade at an unchanged price is an active buy."""
    if scenario == "breakout":
        return 0.55 if f < 0.75 else 0.66
    if scenario == "fade":
        return 0.56 if f < 0.35 else 0.36
    if scenario == "limit_up":
        return 0.72
    return 0.5


@functools.cache
def _session_weights() -> tuple[list[int], list[float]]:
    """The session's seconds and their cumulative trading weights (the same every day)."""
    session = [*range(*_MORNING), *range(*_AFTERNOON)]
    # Busy after the open and before the close, and after the lunch break.
    span = len(session)
    weights = [1.0 + 3.0 * math.exp(-k / 600) + 2.0 * math.exp(-(span - k) / 900)
               + 1.0 * math.exp(-abs(k - 7200) / 300) * (k >= 7200) for k in range(span)]
    return session, list(itertools.accumulate(weights))


def day_tape(n: int = 4000, seed: int = 7, pre_close: float = 10.0, scenario: str = "breakout") -> list[dict]:
    """One day's tape of about ``n`` trades, in time order.

    Each trade is a dict with "time" ("HH:MM:SS"), "price" (0.01 ticks within
    the ±10% limits of ``pre_close``), "vol" (shares, whole lots of 100),
    "trade_count" (orders in the trade) and "bs_flag" (0 active buy, 1 active
    sell, 2 neutral). Trading is busiest after the open and before the close;
    the opening auction prints at 09:25:00 and the closing auction at
    15:00:00. Upticks are mostly buys and downticks mostly sells; a few large
    prints carry institution-sized orders, and the day holds some split-order
    runs (5-8 same-side trades a second or two apart) and matched buy/sell
    pairs.

    ``scenario`` shapes the day: "breakout" (climbs and closes strong),
    "fade" (rallies, then sells off into the close), "limit_up" (runs to the
    +10% limit and stays there) or "quiet" (drifts around the previous close).
    """
    if scenario not in SCENARIOS:
        raise ValueError(f"scenario must be one of {', '.join(SCENARIOS)}, not {scenario!r}")
    if n < 10:
        raise ValueError("n must be at least 10")
    rng = random.Random(seed)
    limit_up = _tick(pre_close * 1.1)
    limit_down = _tick(pre_close * 0.9)
    session, cumulative = _session_weights()

    run_lengths = [rng.randint(5, 8) for _ in range(max(1, n // 700))]  # split-order runs
    pairs = max(1, n // 400)  # matched pairs
    base = max(1, n - 2 - sum(run_lengths) - 2 * pairs)  # 2: the auction prints
    seconds = sorted(session[bisect.bisect_left(cumulative, rng.random() * cumulative[-1])] for _ in range(base))

    base_lots = rng.uniform(2.0, 3.2)  # log-mean of a trade's lots: a median trade of 700-2500 shares
    trades: list[dict] = []
    price = _tick(pre_close * (1 + _path(scenario, 0.0)))
    noise = 0.0
    flag = 0

    def lots() -> int:
        return max(1, int(math.exp(rng.gauss(base_lots, 1.1))))

    trades.append({"time": _clock(_OPEN_AUCTION), "price": price, "vol": 100 * lots() * 20,
                   "trade_count": rng.randint(40, 120), "bs_flag": 2})
    for sec in seconds:
        f = _fraction(sec)
        noise = 0.97 * noise + rng.gauss(0.0, 0.0012)
        target = _tick(min(limit_up, max(limit_down, pre_close * (1 + _path(scenario, f) + noise))))
        step = 0.01 if target > price else -0.01 if target < price else 0.0
        new_price = _tick(price + step) if rng.random() < 0.6 else price
        if scenario == "limit_up" and price == limit_up:  # the board holds once sealed
            new_price = price
        if new_price > price:
            flag = 0 if rng.random() < 0.85 else 1
        elif new_price < price:
            flag = 1 if rng.random() < 0.85 else 0
        elif flag in (0, 1) and rng.random() < 0.6:  # order flow keeps its side for a while
            pass
        else:
            flag = 0 if rng.random() < _buy_bias(scenario, f) else 1
        if rng.random() < 0.03:
            flag = 2
        price = new_price
        volume = 100 * lots()
        orders = 1 if volume < 2000 else rng.randint(1, max(1, volume // 2000))
        if rng.random() < 0.004:  # an institution-sized print
            volume = 100 * lots() * rng.randint(20, 60)
            orders = rng.randint(1, 3)
            flag = 0 if rng.random() < _buy_bias(scenario, f) else 1
        trades.append({"time": _clock(sec), "price": price, "vol": volume, "trade_count": orders, "bs_flag": flag})

    # Split-order runs and matched pairs, spliced in at random moments.
    extra: list[dict] = []
    for length in run_lengths:
        anchor = trades[rng.randrange(1, len(trades))]
        sec = _seconds(anchor["time"])
        side = rng.randint(0, 1)
        size = 100 * rng.randint(5, 30)
        for _ in range(length):
            sec = min(sec + rng.randint(1, 2), _AFTERNOON[1] - 1)
            extra.append({"time": _clock(sec), "price": anchor["price"], "vol": size + 100 * rng.randint(-1, 1),
                          "trade_count": 1, "bs_flag": side})
    for _ in range(pairs):
        anchor = trades[rng.randrange(1, len(trades))]
        sec = _seconds(anchor["time"])
        size = 100 * rng.randint(10, 60)
        extra.append({"time": _clock(sec), "price": anchor["price"], "vol": size, "trade_count": 1, "bs_flag": 0})
        extra.append({"time": _clock(min(sec + rng.randint(0, 3), _AFTERNOON[1] - 1)), "price": anchor["price"],
                      "vol": size, "trade_count": 1, "bs_flag": 1})
    trades.extend(extra)
    trades.sort(key=lambda t: t["time"])
    # A heavy closing auction on strong days, an ordinary one otherwise.
    heavy = scenario in ("breakout", "limit_up") and rng.random() < 0.7
    close_vol = 100 * int(math.exp(base_lots + 0.6) * (rng.uniform(12, 30) if heavy else rng.uniform(2, 6)))
    trades.append({"time": _clock(_CLOSE_AUCTION), "price": price, "vol": close_vol,
                   "trade_count": rng.randint(30, 150), "bs_flag": 2})
    return trades


def _seconds(text: str) -> int:
    h, m, s = text.split(":")
    return int(h) * 3600 + int(m) * 60 + int(s)


def _fraction(sec: int) -> float:
    """Share of the continuous session elapsed at ``sec``."""
    morning = _MORNING[1] - _MORNING[0]
    total = morning + _AFTERNOON[1] - _AFTERNOON[0]
    done = sec - _MORNING[0] if sec < _MORNING[1] else morning + sec - _AFTERNOON[0]
    return done / total


def day_range(tape: list[dict]) -> tuple[float, float]:
    """(high, low) of a tape's prices."""
    prices = [t["price"] for t in tape]
    return max(prices), min(prices)
