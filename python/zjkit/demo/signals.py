"""Built-in signals over sample daily bars."""

from __future__ import annotations

import collections
from typing import TextIO

from zjkit import _native
from zjkit.sample import daily_bars

TITLE = "generate_zj_signals: the WaveTrend signals over 750 daily bars"

# Built-in signals shown, with their parameters.
CONFIGS = [
    {"name": "zj_wavetrend_V260625", "freq": "日线", "params": {"n1": "10", "n2": "21", "n3": "4"}},
    {"name": "zj_wavetrend_zone_V260724", "freq": "日线", "params": {"n1": "10", "n2": "21", "n3": "4"}},
]


def run(seed: int, out: TextIO) -> None:
    bars = daily_bars(n=750, seed=seed)
    print(f"{bars[0]['symbol']}: {len(bars)} bars {bars[0]['dt']} .. {bars[-1]['dt']}, "
          f"last close {bars[-1]['close']:.2f}", file=out)
    print(f"registered: {', '.join(sorted(_native.zj_signal_list()))}", file=out)
    records = _native.generate_zj_signals(CONFIGS, bars)
    per_signal: dict[str, list[dict]] = collections.defaultdict(list)
    for record in records:
        per_signal[record["name"]].append(record)
    for config in CONFIGS:
        rows = per_signal[config["name"]]
        print(f"\n{config['name']} — last 5 bars:", file=out)
        for bar, row in zip(bars[-5:], rows[-5:]):
            print(f"  {bar['dt']}  close {bar['close']:>8.2f}  {row['v1']} / {row['v2']} / {row['v3']}", file=out)
        counts = collections.Counter(r["v1"] for r in rows)
        print("  zones over the whole series: " + ", ".join(f"{k} {v}" for k, v in counts.most_common()), file=out)
