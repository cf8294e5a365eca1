"""Minute-chart grades and pivot zones over sample data."""

from __future__ import annotations

from typing import TextIO

from zjkit import _native
from zjkit.sample.minute import MINUTE_PATTERNS, minute_chart
from zjkit.sample.strokes import strokes

TITLE = "tick_analysis and get_zs_seq: minute charts and pivot zones"


def run(seed: int, out: TextIO) -> None:
    print("tick_analysis — three 240-minute charts, previous close 10.00:", file=out)
    for pattern in MINUTE_PATTERNS:
        chart = minute_chart(pattern, seed=seed, pre_close=10.0)
        r = _native.tick_analysis(chart, 10.0)
        verdict = "cancel" if r["should_cancel"] else "keep"
        print(f"  {pattern:<7} close {chart[-1]['price']:.2f} ({r['day_chg_pct']:+.2f}%)"
              f"  close_pos {r['close_pos']:.2f}  large minutes {r['large_trade_count']:>2}"
              f" ({r['large_trade_vol_ratio']:.0%} of volume)  score {r['quality_score']:>5.1f}  {verdict}",
              file=out)
        if r["cancel_reason"]:
            print(f"          {r['cancel_reason']}", file=out)

    bis = strokes(24, seed=seed)
    zones = _native.get_zs_seq(bis)
    print(f"\nget_zs_seq — {len(bis)} strokes of 30 minutes form {len(zones)} pivot zones:", file=out)
    for z in zones:
        print(f"  {z['sdt'][:16]} .. {z['edt'][11:16]}  {z['sdir']:>4} -> {z['edir']:<4}"
              f"  core {z['zd']:.2f}-{z['zg']:.2f} (mid {z['zz']:.2f})  range {z['dd']:.2f}-{z['gg']:.2f}",
              file=out)
