"""Corrupt market data is an error, not a verdict: the tape and minute-chart
analyses refuse NaN, infinite or negative prices, negative volumes and unusable
reference prices, and keep working on data that is merely unusual."""

import math

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import zjkit._native as native
from zjkit.sample import day_range, day_tape, minute_chart

TAPE = day_tape(n=300, seed=3)
HIGH, LOW = day_range(TAPE)
CHART = minute_chart("strong")


def with_value(records, at, **change):
    out = [dict(r) for r in records]
    out[at].update(change)
    return out


TAPE_CALLS = {
    "trans_analysis": lambda d: native.trans_analysis(d, 10.0, HIGH, LOW),
    "trans_breakout": lambda d: native.trans_breakout(d, 10.0),
    "screening_metrics": native.screening_metrics,
}


# ---- reference prices, checked before the records --------------------------

@pytest.mark.parametrize("call, message", [
    (lambda: native.trans_analysis(TAPE, math.nan, HIGH, LOW), "Invalid pre_close nan"),
    (lambda: native.trans_analysis(TAPE, 10.0, math.inf, LOW), "Invalid high inf"),
    (lambda: native.trans_analysis(TAPE, 10.0, HIGH, -math.inf), "Invalid low -inf"),
    (lambda: native.trans_analysis(TAPE, 10.0, 9.5, 10.5), "high 9.5 < low 10.5"),
    (lambda: native.trans_breakout(TAPE, math.nan), "Invalid breakout_price nan"),
    (lambda: native.tick_analysis(CHART, math.nan), "Invalid pre_close nan"),
    (lambda: native.tick_analysis(CHART, -0.0), "Invalid pre_close -0.0"),
    # before any record is read or counted
    (lambda: native.trans_analysis([{}], math.nan, 1.0, 1.0), "Invalid pre_close nan"),
    (lambda: native.trans_breakout([], -1), "Invalid breakout_price -1.0"),
    (lambda: native.tick_analysis([{"time": 925}], 0.0), "Invalid pre_close 0.0"),
])
def test_bad_reference_prices(call, message):
    with pytest.raises(ValueError) as info:
        call()
    assert str(info.value) == message


def test_argument_errors_come_first_and_a_flat_day_is_valid():
    with pytest.raises(TypeError, match="^argument 'low': "):
        native.trans_analysis(TAPE, math.nan, 10.0, "9")
    with pytest.raises(TypeError, match="^argument 'low_price': "):
        native.tick_analysis(CHART, math.nan, "9")
    # high == low: a one-price day, position 0.5 as before
    flat = [{**t, "price": 10.0} for t in TAPE]
    assert native.trans_analysis(flat, 10.0, 10.0, 10.0)["price_position"] == 0.5


FLOAT_MAX = 1.7976931348623157e308


@settings(max_examples=500)
@given(st.floats(allow_nan=False, allow_infinity=False))
def test_values_are_worded_as_python_repr(x):
    if x <= 0:
        with pytest.raises(ValueError) as info:
            native.trans_analysis([], x, HIGH, LOW)
        assert str(info.value) == f"Invalid pre_close {x!r}"
    elif x < FLOAT_MAX:
        with pytest.raises(ValueError) as info:
            native.trans_analysis([], 10.0, x, FLOAT_MAX)
        assert str(info.value) == f"high {x!r} < low {FLOAT_MAX!r}"


# ---- record values ----------------------------------------------------------

@pytest.mark.parametrize("name", list(TAPE_CALLS))
@pytest.mark.parametrize("at, change, message", [
    (0, {"price": math.nan}, "Invalid price nan in record 0"),
    (7, {"price": math.inf}, "Invalid price inf in record 7"),
    (7, {"price": -3}, "Invalid price -3.0 in record 7"),
    (299, {"vol": -100}, "Invalid vol -100 in record 299"),
    # price is read before vol
    (5, {"price": -math.inf, "vol": -1}, "Invalid price -inf in record 5"),
])
def test_bad_trade_values(name, at, change, message):
    with pytest.raises(ValueError) as info:
        TAPE_CALLS[name](with_value(TAPE, at, **change))
    assert str(info.value) == message


@pytest.mark.parametrize("at, change, message", [
    (0, {"price": math.nan}, "Invalid price nan in record 0"),
    (239, {"price": -0.01}, "Invalid price -0.01 in record 239"),
    (3, {"avg": math.inf}, "Invalid avg inf in record 3"),
    (3, {"avg": -2.0, "vol": -5}, "Invalid avg -2.0 in record 3"),
    (3, {"vol": -(2**63)}, "Invalid vol -9223372036854775808 in record 3"),
])
def test_bad_minute_values(at, change, message):
    with pytest.raises(ValueError) as info:
        native.tick_analysis(with_value(CHART, at, **change), 10.0)
    assert str(info.value) == message


def test_the_first_bad_record_wins_even_on_short_input():
    tape = with_value(TAPE, 9, vol=-1)
    tape[20]["price"] = math.nan
    for name, call in TAPE_CALLS.items():
        with pytest.raises(ValueError, match=r"^Invalid vol -1 in record 9$"):
            call(tape)
        # Too short to analyse, still refused.
        with pytest.raises(ValueError, match=r"^Invalid vol -1 in record 1$"):
            call(tape[8:11])
    with pytest.raises(ValueError, match=r"^Invalid price nan in record 2$"):
        native.tick_analysis(with_value(CHART[:3], 2, price=math.nan), 10.0)


def test_unusual_data_still_works():
    # Zero volumes, a zero price, prices outside the day's range, one side only.
    odd = with_value(TAPE, 3, vol=0)
    odd[4]["price"] = 0.0
    odd[5]["price"] = HIGH * 2
    buys_only = [{**t, "bs_flag": 0} for t in TAPE]
    for tape in (odd, buys_only):
        assert native.trans_analysis(tape, 10.0, HIGH, LOW) is not None
        assert native.trans_breakout(tape, 10.0) is not None
        assert native.screening_metrics(tape) is not None
    quiet = [{**p, "vol": 0, "momentum": -5.0} for p in CHART]
    assert native.tick_analysis(quiet, 10.0)["total_vol"] == 0
    assert native.tick_analysis(with_value(CHART, 0, avg=0.0), 10.0) is not None
