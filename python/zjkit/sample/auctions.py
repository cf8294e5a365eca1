"""Opening call auctions: one stock's 09:15:00-09:25:00 snapshots, one every
3 seconds (201 per auction), one auction for each of the seven morphology
classes that ``zjkit._native.auction_scan`` recognises.

Each auction is a dict with the keys of the scan's optional arguments
("pre_close", "open_price", "limit_up", "limit_down") plus "data", the list of
snapshot dicts ("time", "price", "matched" in lots of 100 shares, "unmatched":
negative when sellers are left over, positive for buyers), and "shape", the
class the auction is drawn to show. ``auction(kind)`` builds a fresh copy, so
callers may edit it freely.
"""

from __future__ import annotations

import math

__all__ = ["AUCTION_KINDS", "auction", "auctions"]

_N = 201  # 09:15:00 .. 09:25:00 every 3 s; index 100 is 09:20:00


def _time(i: int) -> str:
    secs = 9 * 3600 + 15 * 60 + 3 * i
    return f"{secs // 3600:02d}:{secs // 60 % 60:02d}:{secs % 60:02d}"


def _limit_probe(i: int) -> tuple[float, int, int]:
    # Bid up to the limit-up price, held there past 09:20, then let go.
    if i < 40:
        price = 10.60 + 0.01 * i
    elif i < 120:
        price = 11.00
    else:
        price = 11.00 - 0.6 * (i - 120) / 80
    matched = 300 + 12 * i
    unmatched = 4000 - 40 * i if i < 120 else -800 - 10 * (i - 120)
    return price, matched, unmatched


def _staircase(i: int) -> tuple[float, int, int]:
    # One cent at a time on growing volume; sellers keep showing up and are
    # absorbed every fourth snapshot, heavy selling left over at the end.
    price = 10.00 + 0.01 * (i * 35 // 200)
    matched = 100 + 8 * i if i < 198 else 5000
    unmatched = 200 if i % 4 == 3 else -(300 + 2 * i)
    if i == _N - 1:
        unmatched = -900
    return price, matched, unmatched


def _fishing_line(i: int) -> tuple[float, int, int]:
    # Pulled up before 09:20 when orders can still be cancelled, dropped after.
    if i < 100:
        price = 10.00 + 0.005 * i
        unmatched = 1500 - 10 * i
    else:
        price = 10.10 - 0.15 * (i - 100) / 100
        unmatched = -600 - 5 * (i - 100)
    return price, 200 + 6 * i, unmatched


def _limit_down_pry(i: int) -> tuple[float, int, int]:
    # Stuck at limit-down with sellers queued, then pried up by buyers.
    if i < 100:
        return 9.00 + 0.01 * (i % 2), 400 + 5 * i, -300
    price = 9.20 if i < 140 else 9.40 if i < 180 else 9.55
    return price, 900 + 10 * (i - 100), 2000


def _one_price_heavy(i: int) -> tuple[float, int, int]:
    # Sealed at limit-up from the first snapshot, volume pouring in.
    return 11.00, 500 + 12 * i, 20000 + 100 * i


def _one_price_quiet(i: int) -> tuple[float, int, int]:
    # Sealed at limit-down, hardly anything matched.
    return 9.00, i // 10, -15000 - 50 * i


def _divergence(i: int) -> tuple[float, int, int]:
    # Swings around the previous close, the leftover side changing every few seconds.
    price = 10.00 + 0.15 * math.sin(2 * math.pi * i / 50)
    unmatched = (300 + 3 * i) * (1 if (i // 2) % 2 == 0 else -1)
    return price, 400 + 4 * i, unmatched


# kind -> (class drawn, previous close, snapshot maker)
_KINDS = {
    "limit_probe": ("涨停试盘型", 10.00, _limit_probe),
    "staircase": ("阶梯攀升型", 10.00, _staircase),
    "fishing_line": ("钓鱼线型", 10.00, _fishing_line),
    "limit_down_pry": ("跌停撬板型", 10.00, _limit_down_pry),
    "one_price_heavy": ("一字放量型", 10.00, _one_price_heavy),
    "one_price_quiet": ("无量一字型", 10.00, _one_price_quiet),
    "divergence": ("震荡分歧型", 10.00, _divergence),
}

#: The auction kinds, in morphology-class order.
AUCTION_KINDS: tuple[str, ...] = tuple(_KINDS)


def auction(kind: str) -> dict:
    """A fresh auction of the given kind (one of ``AUCTION_KINDS``)."""
    try:
        shape, pre_close, make = _KINDS[kind]
    except KeyError:
        raise ValueError(f"unknown auction kind {kind!r}; expected one of {', '.join(AUCTION_KINDS)}") from None
    data = []
    for i in range(_N):
        price, matched, unmatched = make(i)
        data.append({"time": _time(i), "price": round(price, 2), "matched": matched, "unmatched": unmatched})
    return {
        "shape": shape,
        "pre_close": pre_close,
        "open_price": data[-1]["price"],
        "limit_up": round(pre_close * 1.1, 2),
        "limit_down": round(pre_close * 0.9, 2),
        "data": data,
    }


def auctions() -> dict[str, dict]:
    """All seven sample auctions, keyed by kind."""
    return {kind: auction(kind) for kind in AUCTION_KINDS}
