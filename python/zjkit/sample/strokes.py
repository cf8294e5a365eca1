"""Stroke lists (笔) for ``get_zs_seq``.

Strokes alternate up and down; each starts where the previous one ended, so
the prices wander through ranges (which become pivot zones) and now and then
break away to a new level. Times are UTC; each stroke lasts a fixed number of
minutes. The data are made up and deterministic for a given seed.
"""

from __future__ import annotations

import datetime as _dt
import random

__all__ = ["strokes"]

_FORMATS = ("text", "rfc3339", "unix")


def strokes(
    n: int = 12,
    seed: int = 7,
    start: str = "2024-01-02 01:30:00",
    minutes: int = 30,
    times: str = "text",
) -> list[dict]:
    """``n`` strokes as ``get_zs_seq`` reads them.

    Each stroke is a dict with "direction" ("Up" or "Down"), "high", "low"
    and its start and end: with ``times="text"`` as "sdt"/"edt" texts
    "%Y-%m-%d %H:%M:%S" (UTC), with ``times="rfc3339"`` as texts with the
    China offset ("2024-01-02T09:30:00+08:00"), with ``times="unix"`` as
    "sdt_ts"/"edt_ts" Unix seconds.
    """
    if times not in _FORMATS:
        raise ValueError(f"unknown times {times!r}; expected one of {_FORMATS}")
    rng = random.Random(seed)
    t0 = _dt.datetime.strptime(start, "%Y-%m-%d %H:%M:%S").replace(tzinfo=_dt.timezone.utc)
    china = _dt.timezone(_dt.timedelta(hours=8))
    step = _dt.timedelta(minutes=minutes)

    centre, price = 10.0, 10.0
    up = True
    out = []
    for i in range(n):
        if rng.random() < 0.12:
            centre *= 1.0 + rng.choice((-1, 1)) * rng.uniform(0.04, 0.08)  # a new level
        swing = centre * rng.uniform(0.01, 0.03)
        target = centre + swing if up else centre - swing
        end = round(target + rng.gauss(0.0, centre * 0.004), 2)
        # A stroke moves at least half a percent in its direction.
        if up and end < price * 1.005:
            end = round(price * (1.0 + rng.uniform(0.005, 0.015)), 2)
        if not up and end > price * 0.995:
            end = round(price * (1.0 - rng.uniform(0.005, 0.015)), 2)
        sdt, edt = t0 + i * step, t0 + (i + 1) * step
        bi = {"direction": "Up" if up else "Down", "high": max(price, end), "low": min(price, end)}
        if times == "text":
            bi["sdt"], bi["edt"] = sdt.strftime("%Y-%m-%d %H:%M:%S"), edt.strftime("%Y-%m-%d %H:%M:%S")
        elif times == "rfc3339":
            bi["sdt"], bi["edt"] = sdt.astimezone(china).isoformat(), edt.astimezone(china).isoformat()
        else:
            bi["sdt_ts"], bi["edt_ts"] = int(sdt.timestamp()), int(edt.timestamp())
        out.append(bi)
        price, up = end, not up
    return out
