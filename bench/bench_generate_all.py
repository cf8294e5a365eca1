"""generate_all_signals: where the time goes.

Built-in only: every registered signal over 5,000 bars, with df=False and
df=True, split into zjkit's own work (reading bars and configurations, the
signals, the cells) and pandas' table work (DataFrame, Series, insert,
to_dict). Mixed (needs czsc): four built-in and four czsc signals over 2,000
RawBars, split into czsc, pandas and zjkit.

The split comes from timing proxies: while a run is measured, "pandas" and
"czsc" in sys.modules are stand-ins that forward to the real packages and add
up the time spent inside them; zjkit's share is the rest.

    python bench/bench_generate_all.py
"""

from __future__ import annotations

import contextlib
import datetime
import io
import os
import sys
import time
import types

import pandas as pd

import zjkit._native as native
from zjkit.sample import daily_bars

REPEAT = 9


class Clock:
    def __init__(self) -> None:
        self.spent = 0.0

    def timed(self, fn):
        def wrapper(*args, **kwargs):
            t0 = time.perf_counter()
            try:
                return fn(*args, **kwargs)
            finally:
                self.spent += time.perf_counter() - t0
        return wrapper


def pandas_proxy(clock: Clock) -> types.ModuleType:
    class Frame(pd.DataFrame):
        @property
        def _constructor(self):
            return pd.DataFrame

        __len__ = clock.timed(pd.DataFrame.__len__)
        insert = clock.timed(pd.DataFrame.insert)
        to_dict = clock.timed(pd.DataFrame.to_dict)

        @property
        def columns(self):  # noqa: D401 - timed read of the column index
            t0 = time.perf_counter()
            try:
                return pd.DataFrame.columns.__get__(self)
            finally:
                clock.spent += time.perf_counter() - t0

        @columns.setter
        def columns(self, value):
            pd.DataFrame.columns.__set__(self, value)

    proxy = types.ModuleType("pandas")
    proxy.__getattr__ = lambda name: getattr(pd, name)  # anything else, for whoever imports pandas meanwhile
    proxy.Frame = Frame
    proxy.DataFrame = clock.timed(Frame)
    proxy.Series = clock.timed(pd.Series)
    return proxy


def czsc_proxy(clock: Clock, czsc, frame: type) -> types.ModuleType:
    timed = clock.timed(czsc.generate_czsc_signals)

    def generate_czsc_signals(*args):
        result = timed(*args)
        if isinstance(result, pd.DataFrame):
            result.__class__ = frame  # so that the table work on czsc's own frame is timed too
        return result

    proxy = types.ModuleType("czsc")
    proxy.generate_czsc_signals = generate_czsc_signals
    return proxy


@contextlib.contextmanager
def modules(**replacements):
    saved = {k: sys.modules.get(k) for k in replacements}
    sys.modules.update(replacements)
    try:
        yield
    finally:
        for k, v in saved.items():
            if v is None:
                sys.modules.pop(k, None)
            else:
                sys.modules[k] = v


@contextlib.contextmanager
def quiet_stderr():
    """czsc's progress bar is not what we time."""
    devnull = os.open(os.devnull, os.O_WRONLY)
    saved = os.dup(2)
    os.dup2(devnull, 2)
    try:
        with contextlib.redirect_stderr(io.StringIO()):
            yield
    finally:
        os.dup2(saved, 2)
        os.close(saved)
        os.close(devnull)


def measure(run, czsc=None):
    """Total, pandas and czsc seconds of the fastest of REPEAT runs (after one
    unmeasured run: pyarrow binds to the real pandas on first use)."""
    run()
    totals, in_pandas, in_czsc = [], [], []
    for _ in range(REPEAT):
        pandas_clock, czsc_clock = Clock(), Clock()
        swap = {"pandas": pandas_proxy(pandas_clock)}
        if czsc is not None:
            swap["czsc"] = czsc_proxy(czsc_clock, czsc, swap["pandas"].Frame)
        with modules(**swap):
            t0 = time.perf_counter()
            result = run()
            totals.append(time.perf_counter() - t0)
            del result  # freeing the result is the caller's time, not the call's
        in_pandas.append(pandas_clock.spent)
        in_czsc.append(czsc_clock.spent)
    best = min(range(REPEAT), key=lambda i: totals[i])  # the least disturbed run, on a shared machine
    return totals[best], in_pandas[best], in_czsc[best]


def report(label: str, total: float, pandas_s: float, czsc_s: float = 0.0) -> None:
    ours = total - pandas_s - czsc_s
    parts = [f"zjkit {ours * 1e3:7.1f} ms ({ours / total:5.1%})", f"pandas {pandas_s * 1e3:7.1f} ms"]
    if czsc_s:
        parts.append(f"czsc {czsc_s * 1e3:8.1f} ms")
    print(f"{label:<46} total {total * 1e3:8.1f} ms = " + ", ".join(parts))


def main() -> None:
    names = sorted(native.zj_signal_list())
    bars = daily_bars(n=5_000, seed=3)
    configs = [{"name": n, "freq": "日线"} for n in names]
    print(f"built-in only: {len(names)} signals x {len(bars)} bars (fastest of {REPEAT} runs)")
    for df in (False, True):
        total, pandas_s, _ = measure(lambda: native.generate_all_signals(bars, configs, init_n=500, df=df))
        report(f"  df={df}", total, pandas_s)

    try:
        with contextlib.redirect_stdout(io.StringIO()), quiet_stderr():
            import czsc
            from czsc import Freq, RawBar
    except ImportError:
        print("\nmixed: czsc is not installed (pip install zjkit[czsc])")
        return
    small = daily_bars(n=2_000, seed=5)
    raw = [RawBar(symbol=b["symbol"], id=i, dt=datetime.datetime.fromisoformat(b["dt"]), freq=Freq.D,
                  open=b["open"], close=b["close"], high=b["high"], low=b["low"], vol=b["vol"],
                  amount=b["amount"]) for i, b in enumerate(small)]
    builtin = [{"name": n, "freq": "日线"} for n in names if n != "zj_ic_state_V260718"][:4]
    k = 0
    while len(builtin) < 4:  # fewer than four signals built in: vary the parameters of those there are
        k += 1
        builtin.append({"name": names[k % len(names)], "freq": "日线", "n1": 8 + k})
    foreign = [
        {"name": "czsc.signals.cxt_bi_base_V230228", "freq": "日线", "bi_init_length": 9},
        {"name": "czsc.signals.tas_ma_base_V221101", "freq": "日线", "di": 1, "ma_type": "SMA", "timeperiod": 5},
        {"name": "czsc.signals.tas_macd_base_V221028", "freq": "日线", "di": 1, "key": "macd"},
        {"name": "czsc.signals.bar_zdt_V230331", "freq": "日线", "di": 1},
    ]
    print(f"\nmixed: {len(builtin)} built-in ({', '.join(c['name'] for c in builtin)}) + 4 czsc signals "
          f"x {len(raw)} RawBars, init_n=500")
    for df in (False, True):
        with quiet_stderr():
            total, pandas_s, czsc_s = measure(
                lambda: native.generate_all_signals(raw, foreign + builtin, "20170101", 500, df), czsc=czsc)
        ours = total - pandas_s - czsc_s
        report(f"  df={df}", total, pandas_s, czsc_s)
        print(f"  {'':<44} zjkit / czsc = {ours / czsc_s:.2%}")


if __name__ == "__main__":
    main()
