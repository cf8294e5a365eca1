"""The TTM squeeze, Ichimoku, DMI, oscillator and volume-ratio signals over sample daily bars."""

from __future__ import annotations

import collections
from typing import TextIO

from zjkit import _native
from zjkit.sample import daily_bars

TITLE = "generate_zj_signals: squeeze, cloud, DMI, oscillator and volume signals"

# (configuration, what its labels say), shown in this order.
CONFIGS = [
    ({"name": "zj_ttm_squeeze_V260711", "freq": "日线"}, "momentum side / momentum shape / squeeze"),
    ({"name": "zj_dmi_state_V260714", "freq": "日线", "params": {"n1": "14", "n2": "6"}},
     "trend strength / dominant side / ADX slope"),
    ({"name": "zj_osc_state_V260720", "freq": "日线"}, "close vs 20-bar mean / heat (OSC) / OSC vs its EMA"),
    ({"name": "zj_osc_state_V260721", "freq": "日线", "params": {"scale": "1.0"}},
     "close vs 20-bar mean / heat (% deviation) / OSC vs its EMA"),
    ({"name": "zj_vol_ratio_V260721", "freq": "日线", "params": {"n": "20"}}, "volume vs 20-bar mean"),
]
ICHIMOKU = {"name": "zj_ic_state_V260718", "freq": "日线"}


def run(seed: int, out: TextIO) -> None:
    bars = daily_bars(n=750, seed=seed)
    records = _native.generate_zj_signals([c for c, _ in CONFIGS], bars)
    per_signal: dict[str, list[dict]] = collections.defaultdict(list)
    for record in records:
        per_signal[record["name"]].append(record)

    for config, meaning in CONFIGS:
        rows = per_signal[config["name"]]
        print(f"\n{config['name']} ({meaning}) — last 5 of {len(rows)} bars:", file=out)
        for bar, row in zip(bars[-5:], rows[-5:]):
            print(f"  {bar['dt']}  close {bar['close']:>8.2f}  vol {bar['vol']:>12,.0f}  "
                  f"{row['v1']} / {row['v2']} / {row['v3']}", file=out)
        counts = collections.Counter(r["v1"] for r in rows)
        print("  v1 over the series: " + ", ".join(f"{k} {v}" for k, v in counts.most_common()), file=out)

    print(f"\n{ICHIMOKU['name']} (position / cloud / lines) — one reading of the chosen bar:", file=out)
    for di in ("1", "2", "3"):
        (row,) = _native.generate_zj_signals([{**ICHIMOKU, "params": {"di": di}}], bars)
        bar = bars[len(bars) - int(di)]
        print(f"  di={di}  {bar['dt']}  close {bar['close']:>8.2f}  {row['v1']} / {row['v2']} / {row['v3']}",
              file=out)
    (short,) = _native.generate_zj_signals([ICHIMOKU], bars[:82])
    print(f"  82 bars (one short of the 83 the cloud needs): {short['v1']} / {short['v2']} / {short['v3']}",
          file=out)
