"""tick_analysis at the Python boundary: argument and record errors, optional
fields, and the sample charts. The scoring itself is tested on the core."""

import datetime as dt
import inspect

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from zjkit import _native
from zjkit.sample.minute import MINUTE_PATTERNS, minute_chart, minute_times

tick_analysis = _native.tick_analysis

KEYS = [
    "close_pos", "day_chg_pct", "amplitude_pct", "total_vol", "n", "large_trade_count",
    "large_trade_vol_ratio", "quality_score", "should_cancel", "cancel_reason",
]


def chart(n=240, price=10.0, vol=100):
    times = minute_times()
    return [{"time": times[i % 240], "price": price, "vol": vol} for i in range(n)]


# ---- arguments and records -------------------------------------------------

GOOD = chart()


@pytest.mark.parametrize(
    "args, kwargs, exc, message",
    [
        ((tuple(GOOD), 10.0), {}, TypeError, "argument 'data': 'tuple' object is not an instance of 'list'"),
        ((None, 10.0), {}, TypeError, "argument 'data': 'None' is not an instance of 'list'"),
        ((), {}, TypeError, "tick_analysis() missing 2 required positional arguments: 'data' and 'pre_close'"),
        ((GOOD, 10, None, 0.3, 1), {}, TypeError,
         "tick_analysis() takes from 2 to 4 positional arguments but 5 were given"),
    ],
)
def test_binding_errors(args, kwargs, exc, message):
    with pytest.raises(exc) as e:
        tick_analysis(*args, **kwargs)
    assert str(e.value) == message


@pytest.mark.parametrize(
    "kwargs, prefix",
    [
        ({"close_pos_threshold": None}, "argument 'close_pos_threshold': "),
        ({"pre_close": None}, "argument 'pre_close': "),
        ({"low_price": "9"}, "argument 'low_price': "),
    ],
)
def test_float_arguments_reject_wrong_types(kwargs, prefix):
    args = {"data": GOOD, "pre_close": 10.0} | kwargs
    with pytest.raises(TypeError) as e:
        tick_analysis(**args)
    assert str(e.value).startswith(prefix)


def test_defaults_and_signature():
    assert str(inspect.signature(tick_analysis)) == "(data, pre_close, low_price=None, close_pos_threshold=0.3)"
    base = tick_analysis(GOOD, 10)
    assert tick_analysis(GOOD, 10.0, None, 0.3) == base
    assert tick_analysis(data=GOOD, pre_close=10, low_price=None) == base
    assert list(base) == KEYS
    assert [type(base[k]) for k in KEYS] == [float, float, float, int, int, int, float, float, bool, str]


def with_point(index, **changes):
    data = [dict(p) for p in chart(12)]
    data[index].update(changes)
    for k, v in list(changes.items()):
        if v is DROP:
            del data[index][k]
    return data


DROP = object()


@pytest.mark.parametrize(
    "data, exc, message",
    [
        (with_point(3, time=DROP), ValueError, "Missing 'time' field"),
        (with_point(3, time="9:25"), ValueError, "Invalid time string '9:25': premature end of input"),
        (with_point(3, time="09:30:00 "), ValueError, "Invalid time string '09:30:00 ': trailing input"),
        (with_point(3, time="24:00:00"), ValueError, "Invalid time string '24:00:00': input is out of range"),
        (with_point(3, time="9h30"), ValueError, "Invalid time string '9h30': input contains invalid characters"),
        (with_point(3, time=925), TypeError, "'time' must be str or datetime.time"),
        (with_point(3, time=None), TypeError, "'time' must be str or datetime.time"),
        (with_point(3, price=DROP), ValueError, "Missing 'price'"),
        (with_point(3, vol=DROP), ValueError, "Missing 'vol'"),
        (with_point(0, time="bad", price=DROP), ValueError, "Invalid time string 'bad': input contains invalid characters"),
        (GOOD[:11] + ["x"], TypeError, "'str' object is not an instance of 'dict'"),
    ],
)
def test_record_errors(data, exc, message):
    with pytest.raises(exc) as e:
        tick_analysis(data, 10.0)
    assert str(e.value) == message


@pytest.mark.parametrize(
    "changes, exc",
    [
        ({"price": "10"}, TypeError),
        ({"vol": 1.5}, TypeError),
        ({"vol": 2**63}, OverflowError),
        ({"avg": None}, TypeError),
        ({"momentum": None}, TypeError),
    ],
)
def test_field_conversion_errors(changes, exc):
    with pytest.raises(exc):
        tick_analysis(with_point(5, **changes), 10.0)


def test_optional_fields_and_time_forms():
    data = chart(12)
    data[0]["avg"] = 9.9
    data[1]["momentum"] = 1
    data[2]["time"] = dt.time(9, 33, 0, 500)
    data[3]["time"] = "9:34:60"  # a leap second is a valid time
    data[4]["extra"] = object()  # unknown keys are ignored
    data[5]["vol"] = True  # bool is an int
    assert tick_analysis(data, 10.0)["n"] == 12


def test_guard_and_flat_chart():
    assert tick_analysis(chart(9), 10.0) is None
    assert tick_analysis([], 10.0) is None
    r = tick_analysis(chart(10), 10.0)
    assert (r["close_pos"], r["amplitude_pct"], r["quality_score"]) == (0.5, 0.0, 55.0)


def test_cancel_reasons_and_kept_charts():
    data = chart()
    data[-1]["price"] = 9.8
    r = tick_analysis(data, 10.0)
    assert r["should_cancel"] and r["cancel_reason"] == "收盘位置过低(0.00<0.3); 尾盘跳水(-2.0%)"
    # A low above the last price gives a negative position, kept as it is.
    r = tick_analysis(data, 10.0, low_price=9.9)
    assert r["close_pos"] == pytest.approx(-0.5)
    assert r["cancel_reason"].startswith("收盘位置过低(-0.50<0.3)")


@pytest.mark.parametrize("pattern", MINUTE_PATTERNS)
def test_sample_charts(pattern):
    r = tick_analysis(minute_chart(pattern), 10.0)
    assert r["n"] == 240 and r["should_cancel"] == (r["quality_score"] < 40)
    if pattern == "strong":
        assert not r["should_cancel"] and r["quality_score"] >= 80
    if pattern == "fade":
        assert r["should_cancel"] and "尾盘跳水" in r["cancel_reason"]


# ---- properties ------------------------------------------------------------

junk = st.one_of(st.none(), st.integers(), st.floats(allow_nan=True), st.text(max_size=10),
                 st.times(), st.booleans(), st.lists(st.integers(), max_size=2))


@settings(max_examples=200)
@given(st.lists(st.one_of(st.dictionaries(st.sampled_from(["time", "price", "avg", "vol", "momentum", "x"]), junk),
                          junk), max_size=15))
def test_random_records_never_crash(data):
    try:
        r = tick_analysis(data, 10.0)
    except (TypeError, ValueError, OverflowError):
        return
    assert r is None or list(r) == KEYS
