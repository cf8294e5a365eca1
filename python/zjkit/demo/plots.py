"""``zjkit demo --plots DIR``: one picture of each kind on the sample data."""

from __future__ import annotations

from pathlib import Path

from zjkit.sample import auction, daily_bars, day_range, day_tape, minute_chart, strokes

PRE_CLOSE = 10.0
SIGNALS = [
    {"name": "zj_wavetrend_zone_V260724", "freq": "日线", "params": {"n1": "10", "n2": "21", "n3": "4"}},
    {"name": "zj_ttm_squeeze_V260711", "freq": "日线"},
    {"name": "zj_osc_state_V260721", "freq": "日线"},
]


def write(folder: str | Path, seed: int = 7, figsize: tuple[float, float] | None = None,
          dpi: float = 100) -> list[Path]:
    """Writes signals.png, zones.png, auction.png, tape.png and minutes.png
    into `folder` (made when missing) and returns their paths."""
    from zjkit import plot  # matplotlib is needed from here on

    out = Path(folder)
    out.mkdir(parents=True, exist_ok=True)
    size = {} if figsize is None else {"figsize": figsize}
    tape = day_tape(n=4000, seed=seed, pre_close=PRE_CLOSE, scenario="breakout")
    high, low = day_range(tape)
    morning_high = max(t["price"] for t in tape if t["time"] < "10:30:00")
    a = auction("staircase")
    figures = {
        "signals": lambda: plot.signals(daily_bars(n=750, seed=seed), SIGNALS, **size, dpi=dpi),
        "zones": lambda: plot.zones(strokes(24, seed=seed), **size, dpi=dpi),
        "auction": lambda: plot.auction(a["data"], threshold=60, open_price=a["open_price"],
                                        pre_close=a["pre_close"], limit_up=a["limit_up"],
                                        limit_down=a["limit_down"], **size, dpi=dpi),
        "tape": lambda: plot.tape(tape, PRE_CLOSE, high, low, breakout_price=morning_high, **size, dpi=dpi),
        "minutes": lambda: plot.minutes(minute_chart("fade", seed=seed, pre_close=PRE_CLOSE), PRE_CLOSE,
                                        **size, dpi=dpi),
    }
    paths = []
    for name, make in figures.items():
        path = out / f"{name}.png"
        make().savefig(path)
        paths.append(path)
    return paths
