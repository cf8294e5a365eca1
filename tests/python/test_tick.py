"""tick_analysis at the Python boundary; the scoring itself is tested on the core."""

import contextlib
import datetime as dt

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from zjkit._native import tick_analysis
from zjkit.sample.minute import MINUTE_PATTERNS, minute_chart, minute_times

KEYS = ["close_pos", "day_chg_pct", "amplitude_pct", "total_vol", "n", "large_trade_count",
        "large_trade_vol_ratio", "quality_score", "should_cancel", "cancel_reason"]
DROP = object()


def chart(at=0, n=12, **changes):  # point `at` changed; DROP removes a key
    data = [{"time": t, "price": 10.0, "vol": 100} for t in minute_times()[:n]]
    data[at] = {k: v for k, v in (data[at] | changes).items() if v is not DROP}
    return data


# A message ending in ": " is the start of the conversion's own wording.
@pytest.mark.parametrize("args, kwargs, message", [
    ((tuple(chart()), 10.0), {}, "argument 'data': 'tuple' object is not an instance of 'list'"),
    ((None, 10.0), {}, "argument 'data': 'None' is not an instance of 'list'"),
    ((), {}, "tick_analysis() missing 2 required positional arguments: 'data' and 'pre_close'"),
    ((chart(), 10, None, 0.3, 1), {}, "tick_analysis() takes from 2 to 4 positional arguments but 5 were given"),
    ((chart(), 10.0), {"close_pos_threshold": None}, "argument 'close_pos_threshold': "),
    ((chart(), None), {}, "argument 'pre_close': "), ((chart(), 10.0), {"low_price": "9"}, "argument 'low_price': "),
])
def test_binding_errors(args, kwargs, message):
    with pytest.raises(TypeError) as e:
        tick_analysis(*args, **kwargs)
    assert str(e.value) == message or message.endswith(": ") and str(e.value).startswith(message)


def test_defaults_signature_and_low_price():
    assert tick_analysis.__text_signature__ == "(data, pre_close, low_price=None, close_pos_threshold=0.3)"
    assert (tick_analysis(chart(), 10.0, None, 0.3)
            == (base := tick_analysis(chart(), 10))
            == tick_analysis(data=chart(), pre_close=10))
    types = [float] * 3 + [int] * 3 + [float] * 2 + [bool, str]
    assert [(k, type(v)) for k, v in base.items()] == list(zip(KEYS, types))
    data = chart(-1, 240, price=9.8)  # low_price reaches the core
    assert tick_analysis(data, 10.0)["cancel_reason"] == "收盘位置过低(0.00<0.3); 尾盘跳水(-2.0%)"
    r = tick_analysis(data, 10.0, low_price=9.9)  # above the last price: a negative position, kept as it is
    assert r["close_pos"] == pytest.approx(-0.5) and r["cancel_reason"].startswith("收盘位置过低(-0.50<0.3)")


# message None: the conversion's own wording.
@pytest.mark.parametrize("data, exc, message", [
    (chart(3, time=DROP), ValueError, "Missing 'time' field"),
    (chart(3, time="9:25"), ValueError, "Invalid time string '9:25': premature end of input"),
    (chart(3, time="09:30:00 "), ValueError, "Invalid time string '09:30:00 ': trailing input"),
    (chart(3, time="24:00:00"), ValueError, "Invalid time string '24:00:00': input is out of range"),
    # the time is read before the price
    (chart(0, time="bad", price=DROP), ValueError, "Invalid time string 'bad': input contains invalid characters"),
    (chart(3, time=925), TypeError, "'time' must be str or datetime.time"),
    (chart(3, price=DROP), ValueError, "Missing 'price'"), (chart(3, vol=DROP), ValueError, "Missing 'vol'"),
    (chart(0, 11) + ["x"], TypeError, "'str' object is not an instance of 'dict'"),
    (chart(5, price="10"), TypeError, None), (chart(5, vol=1.5), TypeError, None),
    (chart(5, vol=2**63), OverflowError, None), (chart(5, avg=None), TypeError, None),  # a present None is no absence
])
def test_record_errors(data, exc, message):
    with pytest.raises(exc) as e:
        tick_analysis(data, 10.0)
    assert message is None or str(e.value) == message


def test_optional_fields_time_forms_and_guard():
    # a leap second is a valid time, unknown keys are ignored, and bool is an int
    changes = [{"avg": 9.9}, {"momentum": 1}, {"time": dt.time(9, 33, 0, 500)}, {"time": "9:34:60"},
               {"extra": object()}, {"vol": True}]
    data = [d | c for d, c in zip(chart(0, 10), changes + [{}] * 4)]
    r = tick_analysis(data, 10.0)
    assert (r["n"], r["close_pos"], r["amplitude_pct"], r["quality_score"]) == (10, 0.5, 0.0, 55.0)
    assert tick_analysis(data[:9], 10.0) is None and tick_analysis([], 10.0) is None


def test_sample_charts():
    got = {p: tick_analysis(minute_chart(p), 10.0) for p in MINUTE_PATTERNS}
    assert all(r["n"] == 240 and r["should_cancel"] == (r["quality_score"] < 40) for r in got.values())
    assert got["strong"]["quality_score"] >= 80 and "尾盘跳水" in got["fade"]["cancel_reason"]


junk = st.one_of(st.none(), st.integers(), st.floats(), st.text(max_size=10), st.times(), st.booleans(),
                 st.lists(st.integers(), max_size=2))


@settings(max_examples=200)
@given(st.lists(st.one_of(st.dictionaries(st.sampled_from(["time", "price", "avg", "vol", "momentum", "x"]), junk),
                          junk), max_size=15))
def test_random_records_never_crash(data):
    with contextlib.suppress(TypeError, ValueError, OverflowError):
        r = tick_analysis(data, 10.0)
        assert r is None or list(r) == KEYS
