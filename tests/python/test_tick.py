"""tick_analysis at the Python boundary; the scoring itself is tested on the core."""

import datetime as dt

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from zjkit import _native
from zjkit.sample.minute import MINUTE_PATTERNS, minute_chart, minute_times

tick_analysis = _native.tick_analysis

KEYS = ["close_pos", "day_chg_pct", "amplitude_pct", "total_vol", "n", "large_trade_count",
        "large_trade_vol_ratio", "quality_score", "should_cancel", "cancel_reason"]
DROP = object()


def chart(n=240):
    return [{"time": t, "price": 10.0, "vol": 100} for t in minute_times()[:n]]


def with_point(index, n=12, **changes):
    data = chart(n)
    data[index] = {k: v for k, v in (data[index] | changes).items() if v is not DROP}
    return data


# A message ending in ": " is the start of the conversion's own wording.
@pytest.mark.parametrize("args, kwargs, message", [
    ((tuple(chart()), 10.0), {}, "argument 'data': 'tuple' object is not an instance of 'list'"),
    ((None, 10.0), {}, "argument 'data': 'None' is not an instance of 'list'"),
    ((), {}, "tick_analysis() missing 2 required positional arguments: 'data' and 'pre_close'"),
    ((chart(), 10, None, 0.3, 1), {}, "tick_analysis() takes from 2 to 4 positional arguments but 5 were given"),
    ((chart(), 10.0), {"close_pos_threshold": None}, "argument 'close_pos_threshold': "),
    ((chart(), None), {}, "argument 'pre_close': "),
    ((chart(), 10.0), {"low_price": "9"}, "argument 'low_price': "),
])
def test_binding_errors(args, kwargs, message):
    with pytest.raises(TypeError) as e:
        tick_analysis(*args, **kwargs)
    assert str(e.value) == message or message.endswith(": ") and str(e.value).startswith(message)


def test_defaults_and_signature():
    assert tick_analysis.__text_signature__ == "(data, pre_close, low_price=None, close_pos_threshold=0.3)"
    base = tick_analysis(chart(), 10)
    assert tick_analysis(chart(), 10.0, None, 0.3) == base == tick_analysis(data=chart(), pre_close=10, low_price=None)
    assert list(base) == KEYS
    assert [type(base[k]) for k in KEYS] == [float, float, float, int, int, int, float, float, bool, str]


# message None: the conversion's own wording.
@pytest.mark.parametrize("data, exc, message", [
    (with_point(3, time=DROP), ValueError, "Missing 'time' field"),
    (with_point(3, time="9:25"), ValueError, "Invalid time string '9:25': premature end of input"),
    (with_point(3, time="09:30:00 "), ValueError, "Invalid time string '09:30:00 ': trailing input"),
    (with_point(3, time="24:00:00"), ValueError, "Invalid time string '24:00:00': input is out of range"),
    (with_point(3, time="9h30"), ValueError, "Invalid time string '9h30': input contains invalid characters"),
    (with_point(3, time=925), TypeError, "'time' must be str or datetime.time"),
    (with_point(3, price=DROP), ValueError, "Missing 'price'"),
    (with_point(3, vol=DROP), ValueError, "Missing 'vol'"),
    (with_point(0, time="bad", price=DROP), ValueError, "Invalid time string 'bad': input contains invalid characters"),
    (chart(11) + ["x"], TypeError, "'str' object is not an instance of 'dict'"),
    (with_point(5, price="10"), TypeError, None),
    (with_point(5, vol=1.5), TypeError, None),
    (with_point(5, vol=2**63), OverflowError, None),
    (with_point(5, avg=None), TypeError, None),  # a present None is not an absence
    (with_point(5, momentum=None), TypeError, None),
])
def test_record_errors(data, exc, message):
    with pytest.raises(exc) as e:
        tick_analysis(data, 10.0)
    assert message is None or str(e.value) == message


def test_optional_fields_time_forms_and_guard():
    data = chart(10)
    data[0]["avg"] = 9.9
    data[1]["momentum"] = 1
    data[2]["time"] = dt.time(9, 33, 0, 500)
    data[3]["time"] = "9:34:60"  # a leap second is a valid time
    data[4]["extra"] = object()  # unknown keys are ignored
    data[5]["vol"] = True  # bool is an int
    r = tick_analysis(data, 10.0)
    assert (r["n"], r["close_pos"], r["amplitude_pct"], r["quality_score"]) == (10, 0.5, 0.0, 55.0)
    assert tick_analysis(data[:9], 10.0) is None and tick_analysis([], 10.0) is None


def test_low_price_reaches_the_core():
    data = with_point(-1, 240, price=9.8)
    r = tick_analysis(data, 10.0)
    assert r["should_cancel"] and r["cancel_reason"] == "收盘位置过低(0.00<0.3); 尾盘跳水(-2.0%)"
    r = tick_analysis(data, 10.0, low_price=9.9)  # above the last price: a negative position, kept as it is
    assert r["close_pos"] == pytest.approx(-0.5) and r["cancel_reason"].startswith("收盘位置过低(-0.50<0.3)")


def test_sample_charts():
    got = {p: tick_analysis(minute_chart(p), 10.0) for p in MINUTE_PATTERNS}
    assert all(r["n"] == 240 and r["should_cancel"] == (r["quality_score"] < 40) for r in got.values())
    assert not got["strong"]["should_cancel"] and got["strong"]["quality_score"] >= 80
    assert got["fade"]["should_cancel"] and "尾盘跳水" in got["fade"]["cancel_reason"]


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
