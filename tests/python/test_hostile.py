"""Hostile input: records that change themselves while they are read, errors
that say where they were raised, lenient reads that let real errors through,
and what zjkit.ta refuses to take as a series.

The tests marked `hostile` run hostile_cases.py in a child process, so that a
crash fails the test rather than the whole run. The child runs with
PYTHONMALLOC=debug unless the environment sets an allocator (a sanitizer run
sets malloc): freed objects are overwritten, so a use after free shows.
"""

import collections
import json
import os
import subprocess
import sys
import types
from pathlib import Path

import pytest

import zjkit._native as native
from zjkit import ta
from zjkit.sample import daily_bars, day_tape, strokes
from zjkit.sample.auctions import auction

CASES = Path(__file__).with_name("hostile_cases.py")
FUNCTIONS = [
    "generate_zj_signals.bars", "generate_zj_signals.signals_config",
    "generate_all_signals.bars", "generate_all_signals.objects",
    "generate_all_signals.signals_config",
    "trans_analysis", "trans_breakout", "screening_metrics", "tick_analysis",
    "auction_scan", "auction_false_sell", "get_zs_seq", "get_zs_seq.unix", "ta.sma",
]
VOL = {"name": "zj_vol_ratio_V260721"}


def child(*args):
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path))
    env.setdefault("PYTHONMALLOC", "debug")
    proc = subprocess.run([sys.executable, str(CASES), *args], capture_output=True, text=True,
                          env=env, timeout=900)
    assert proc.returncode == 0, proc.stderr[-3000:]
    return json.loads(proc.stdout.splitlines()[-1])  # the report; czsc prints on import


@pytest.mark.hostile
@pytest.mark.parametrize("name", FUNCTIONS)
def test_self_changing_records_never_crash(name):
    report = child("shapes", name)
    outcomes = report["outcomes"]
    assert report["bad_notes"] == []
    assert not {"InternalError", "SystemError"} & set(outcomes.values())
    # A conversion that raises something other than a failed conversion
    # raises from every reader, lenient or not.
    for key in report["converted"]:
        for index in (0, 2, -1):
            assert outcomes[f"value:{key}:raise:{index}"] == "RuntimeError"
            assert outcomes[f"value:{key}:interrupt:{index}"] == "KeyboardInterrupt"


@pytest.mark.hostile
def test_seeded_hostile_fuzz():
    report = child("fuzz", "20261206", "150")
    outcomes = report["outcomes"]
    assert report["bad_notes"] == []
    assert not {"InternalError", "SystemError"} & set(outcomes)
    assert outcomes["ok"] > 100  # the fuzz reaches the analyses, not only the errors


class Raises:
    """A number whose conversion raises `exc`."""

    def __init__(self, exc):
        self.exc = exc

    def __float__(self):
        raise self.exc

    __index__ = __float__


def tape_with(index, **changes):
    tape = day_tape(n=600, seed=5)
    tape[index] = {**tape[index], **changes}
    return tape


def bars_with(index, **changes):
    bars = daily_bars(n=60, seed=3)
    bars[index] = {**bars[index], **changes}
    return bars


def objects_with(index, attr, exc):
    def fail(self):
        raise exc

    bars = [types.SimpleNamespace(**b) for b in daily_bars(n=60, seed=3)]
    bars[index] = type("Bar", (), {**vars(bars[index]), attr: property(fail)})()
    return bars


def bis_with(index, **changes):
    bis = strokes(12)
    bis[index] = {**bis[index], **changes}
    return bis


def snapshots_with(index, item):
    data = auction("staircase")["data"]
    data[index] = item
    return data


@pytest.mark.parametrize("call, exc, message, note", [
    (lambda: native.trans_analysis(tape_with(500, price="10"), 10.0, 10.6, 9.6),
     TypeError, "must be real number, not str", "data[500]['price']"),
    (lambda: native.screening_metrics(data=tape_with(7, vol=None)),
     TypeError, "'NoneType' object cannot be interpreted as an integer", "data[7]['vol']"),
    (lambda: native.trans_breakout(tape_with(3, trade_count=2**40), 10.2),
     OverflowError, "signed integer is greater than maximum", "data[3]['trade_count']"),
    (lambda: native.screening_metrics(tape_with(4, trade_count=Raises(KeyboardInterrupt))),
     KeyboardInterrupt, "", "data[4]['trade_count']"),
    (lambda: native.tick_analysis([{"time": "09:31:00", "price": 1.0, "vol": 1}] * 5
                                  + [{"time": "9:3", "price": 1.0, "vol": 1}], 1.0),
     ValueError, "Invalid time string '9:3': premature end of input", "data[5]['time']"),
    (lambda: native.auction_false_sell(snapshots_with(7, ("09:20:00", 10.0, 1, 1))),
     TypeError, "'tuple' object is not an instance of 'dict'", "data[7]"),
    (lambda: native.get_zs_seq(bis_with(2, high="x")),
     TypeError, "must be real number, not str", "bis[2]['high']"),
    (lambda: native.get_zs_seq(bis_with(4, sdt="yesterday")),
     ValueError, "Missing or invalid time: 'sdt_ts' (unix secs) / 'sdt' (str)", "bis[4]['sdt']"),
    (lambda: native.generate_zj_signals([VOL], bars_with(3, close=Raises(RuntimeError("x")))),
     RuntimeError, "x", "bars[3]['close']"),
    (lambda: native.generate_zj_signals(bars=bars_with(3, vol=Raises(MemoryError)),
                                        signals_config=[VOL]),
     MemoryError, "", "bars[3]['vol']"),
    (lambda: native.generate_zj_signals([VOL, {"freq": "F"}], daily_bars(n=60)),
     ValueError, "Missing 'name'", "signals_config[1]['name']"),
    (lambda: native.generate_all_signals(daily_bars(n=60), [VOL, 5]),
     TypeError, "'int' object is not an instance of 'dict'", "signals_config[1]"),
    (lambda: native.generate_all_signals(objects_with(3, "close", RuntimeError("y")), [VOL]),
     RuntimeError, "y", "bars[3].close"),
])
def test_errors_say_where_once(call, exc, message, note):
    with pytest.raises(exc) as info:
        call()
    assert str(info.value) == message
    assert info.value.__notes__ == [note]


@pytest.mark.parametrize("exc", [TypeError, ValueError, OverflowError])
def test_lenient_reads_fall_back_on_failed_conversions(exc):
    config = [VOL, {"name": "zj_wavetrend_V260625"}]
    expected = native.generate_zj_signals(config, bars_with(5, close=0.0))
    assert native.generate_zj_signals(config, bars_with(5, close=Raises(exc))) == expected
    run = native.generate_all_signals
    assert run(objects_with(5, "close", exc), config) == run(bars_with(5, close=0.0), config)
    ones = native.screening_metrics(tape_with(9, trade_count=1))
    assert native.screening_metrics(tape_with(9, trade_count=Raises(exc))) == ones


def test_a_bar_object_without_an_attribute_has_the_default():
    run = native.generate_all_signals
    expected = run(bars_with(5, vol=0.0), [VOL])
    assert run(objects_with(5, "vol", AttributeError), [VOL]) == expected


@pytest.mark.parametrize("exc", [KeyboardInterrupt, MemoryError, RuntimeError, ZeroDivisionError])
def test_lenient_reads_let_other_errors_through(exc):
    with pytest.raises(exc):
        native.generate_zj_signals([VOL], bars_with(5, high=Raises(exc)))
    with pytest.raises(exc):
        native.screening_metrics(tape_with(9, trade_count=Raises(exc)))
    with pytest.raises(exc):
        native.get_zs_seq(bis_with(1, sdt_ts=Raises(exc)))


@pytest.mark.parametrize("series", [
    {3.0, 1.0, 2.0, 10.0}, frozenset([1.0, 2.0]), {1: 1.0, 2: 2.0},
    collections.OrderedDict(a=1.0, b=2.0), collections.Counter([1.0, 2.0]),
])
def test_ta_refuses_what_has_no_order(series):
    expected = "^argument 'real': expected a 1-D float64 buffer or a sequence of numbers, not "
    with pytest.raises(TypeError, match=expected):
        ta.sma(series, 2)


@pytest.mark.parametrize("call, name", [
    (lambda: ta.sma([1.0, 2.0, 3.0], True), "timeperiod"),
    (lambda: ta.compute_ma([1.0, 2.0, 3.0], 2, True), "matype"),
    (lambda: ta.compute_ma([1.0, 2.0, 3.0], 2, matype=False), "matype"),
])
def test_ta_refuses_bool_periods_and_ma_types(call, name):
    with pytest.raises(TypeError, match=f"^argument '{name}': expected an int, not bool$"):
        call()
