"""How a typed caller uses zjkit: checked by `mypy --strict` (MYPYPATH=python).

Each line of `rejected` carries a `type: ignore[code]`; with
--strict (warn_unused_ignores) a stub that stopped rejecting it fails too.
The rest also runs, over the sample data.
"""

from __future__ import annotations

import array
import datetime
from typing import TYPE_CHECKING, Any

import numpy as np
import numpy.typing as npt
import pandas as pd
import polars as pl

import zjkit
from zjkit import _native, frame, sample, ta

if TYPE_CHECKING:
    from zjkit._native import AuctionScan, Trade, Zone


def tapes() -> None:
    tape = sample.day_tape()
    high, low = sample.day_range(tape)
    verdict = zjkit.trans_analysis(tape, 10.0, high, low)
    if verdict is not None:
        confidence: float = verdict["confidence"]
        breakout: bool = verdict["is_breakout"]
        conclusion: str = verdict["conclusion"]
        print(confidence, breakout, conclusion)
    confirmed = _native.trans_breakout(tape, high * 0.99)
    if confirmed is not None:
        strong: bool = confirmed["is_strong"]
        zone_trades: int = confirmed["breakout_n"]
        print(strong, zone_trades)
    one: Trade = {"time": datetime.time(9, 30), "price": 10.0, "vol": 100, "trade_count": 1,
                  "bs_flag": 0}
    typed: list[Trade] = [one] * 20
    print(_native.trans_analysis(typed, 10.0, 10.0, 10.0))


def minutes_and_auctions() -> None:
    chart = sample.minute_chart()
    quality = _native.tick_analysis(chart, 10.0, low_price=None)
    if quality is not None:
        cancel: bool = quality["should_cancel"]
        reason: str = quality["cancel_reason"]
        print(cancel, reason)
    auction = sample.auction("staircase")
    scan: AuctionScan | None = _native.auction_scan(auction["data"], 50, pre_close=10.0)
    if scan is not None:
        opened_higher: bool | None = scan["oh"]
        scores: list[int] = scan["morphology_scores"]
        print(opened_higher, scores, scan["morphology"])
    false_sell = _native.auction_false_sell(auction["data"], threshold=60)
    if false_sell is not None:
        net: int = false_sell["net_um"]
        print(net)
    names: list[str] = _native.auction_morphology_names()
    print(names, _native.auction_scanner_version(), _native.false_sell_version())


def signals_and_zones() -> None:
    bars = sample.daily_bars(120)
    config = [{"name": "zj_osc_state_V260720", "freq": "日线", "params": {"n": "14", "m": "3"}}]
    for record in _native.generate_zj_signals(config, bars):
        label: str = record["v1"]
        print(label)
    rows: list[dict[str, Any]] = _native.generate_all_signals(bars, config)
    table: pd.DataFrame = _native.generate_all_signals(bars, config, df=True)
    either = _native.generate_all_signals(bars, config, df=np.bool_(False))
    print(len(rows), table.shape, type(either), _native.zj_signal_list())
    zones: list[Zone] = _native.get_zs_seq(sample.strokes())
    direction: str = zones[0]["sdir"]
    start: int = zones[0]["sdt_ts"]
    print(direction, start)


def indicators() -> None:
    close = [float(i % 17) for i in range(100)]
    plain: array.array[float] = ta.sma(close, 10)
    numpy_in: npt.NDArray[np.float64] = ta.ema(np.asarray(close), 10)
    upper, middle, lower = ta.bbands(pd.Series(close), 20)
    pandas_out: pd.Series[Any] = upper
    polars_out: pl.Series = ta.atr(pl.Series(close), pl.Series(close), pl.Series(close))
    print(plain[-1], numpy_in[-1], middle.iloc[-1], lower.iloc[-1])
    print(pandas_out.size, polars_out.len())
    try:
        ta.sma(close, 1000)
    except ta.TaError as error:
        print(error.kind, error.need, error.got)
    print(ta.compute_ma(close, 10, ta.MaType.EMA)[-1])


def frames() -> None:
    bars = pd.DataFrame(sample.daily_bars(120))
    wide: pd.DataFrame = frame.signals(bars, ["zj_osc_state_V260720"])
    long, errors = frame.signals(bars, "zj_osc_state_V260720", layout="long", errors="collect")
    polars: pl.DataFrame = frame.signals(pl.from_pandas(bars), ["zj_osc_state_V260720"])
    columns = {name: bars[name].to_numpy() for name in ("dt", "high", "low", "close", "vol")}
    arrays: dict[str, npt.NDArray[Any]] = frame.signals(columns, ["zj_osc_state_V260720"])
    print(wide.shape, long.shape, errors.shape, polars.shape, len(arrays))
    strokes = pd.DataFrame(sample.strokes(n=20)).assign(symbol="600519.SH")
    zones, bad = frame.zones(strokes, errors="collect")
    print(zones.shape, bad.shape)


def rejected(tape: list[dict[str, Any]], scan: AuctionScan, bars: pd.DataFrame) -> None:
    """Mistakes the stubs must catch (never run)."""
    _native.trans_analysis(tuple(tape), 10.0, 11.0, 9.0)  # type: ignore[arg-type]
    partial: Trade = {"time": "09:30:00", "price": 10.0}  # type: ignore[typeddict-item]
    print(partial, scan["no_such_key"])  # type: ignore[typeddict-item]
    above: bool = scan["oh"]  # type: ignore[assignment]
    print(above, _native.zj_signal_list(1))  # type: ignore[call-arg]
    config = [{"name": "zj_osc_state_V260720"}]
    wrong: pd.DataFrame = _native.generate_all_signals(tape, config)  # type: ignore[assignment]
    broken: pd.DataFrame = frame.signals(bars, "x", errors="collect")  # type: ignore[assignment]
    table: pd.DataFrame = frame.zones({"dt": np.zeros(3)})  # type: ignore[assignment]
    print(wrong, broken, table, ta.sma(iter([1.0]), 5))  # type: ignore[call-overload]


if __name__ == "__main__":
    tapes()
    minutes_and_auctions()
    signals_and_zones()
    indicators()
    frames()
