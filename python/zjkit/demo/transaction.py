"""The tape analytics over sample day tapes."""

from __future__ import annotations

from typing import TextIO

from zjkit import _native
from zjkit.sample import day_range, day_tape

TITLE = "trans_analysis / trans_breakout / screening_metrics: four day tapes"

PRE_CLOSE = 10.0
SCENARIOS = [("breakout", "climbs and closes strong"), ("fade", "rallies, then sells off"),
             ("limit_up", "runs to the +10% limit"), ("quiet", "drifts around the previous close")]


def run(seed: int, out: TextIO) -> None:
    for scenario, blurb in SCENARIOS:
        tape = day_tape(n=4000, seed=seed, pre_close=PRE_CLOSE, scenario=scenario)
        high, low = day_range(tape)
        close = tape[-1]["price"]
        print(f"\n[{scenario}] {blurb}: {len(tape)} trades {tape[0]['time']}..{tape[-1]['time']}, "
              f"prev close {PRE_CLOSE:.2f}, high {high:.2f}, low {low:.2f}, close {close:.2f}", file=out)

        r = _native.trans_analysis(tape, PRE_CLOSE, high, low)
        print(f"  trans_analysis: {r['conclusion']} (confidence {r['confidence']:.1f}, "
              f"breakout={r['is_breakout']})", file=out)
        print(f"    buy/sell volume {r['buy_vol_ratio']:.3f}/{r['sell_vol_ratio']:.3f}, "
              f"large trades {r['large_trade_count']} ({r['large_trade_vol_ratio']:.1%} of volume), "
              f"institutional net flow {r['inst_net_flow_ratio']:+.2%}", file=out)
        print(f"    close at {r['price_position']:.0%} of the range, after 14:00 {r['last_30min_vol_ratio']:.0%} "
              f"of volume with momentum {r['last_30min_momentum']:+.3f}; "
              f"split-order runs {r['split_clusters']}, matched pairs {r['matched_pairs']}", file=out)
        print(f"    {r['details']}", file=out)

        # Did trading above the morning's high confirm the move?
        morning_high = max(t["price"] for t in tape if t["time"] < "10:30:00")
        b = _native.trans_breakout(tape, morning_high)
        if b is None:
            print(f"  trans_breakout above the morning high {morning_high:.2f}: too few trades there", file=out)
        else:
            print(f"  trans_breakout above the morning high {morning_high:.2f}: {b['classification']} "
                  f"(confidence {b['confidence']:.0f}; {b['breakout_n']} trades, "
                  f"{b['breakout_vol_ratio']:.0%} of volume, {b['breakout_buy_ratio']:.0%} bought)", file=out)
            print(f"    {b['details']}", file=out)

        m = _native.screening_metrics(tape)
        print(f"  screening_metrics: first 30 min {m['first30_vol_pct']:.1f}%, last 30 min {m['last30_vol_pct']:.1f}%, "
              f"last 5 min {m['last5_vol_pct']:.1f}%, large trades {m['large_pct']:.1f}%, "
              f"VWAP {m['vwap']:.2f}, {m['avg_trade_vol']:.0f} shares a trade", file=out)
