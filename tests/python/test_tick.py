"""tick_analysis: argument and record errors, scoring against a plain-Python
model of the rules, and the sample charts."""

import datetime as dt
import inspect
import math

import pytest
from hypothesis import HealthCheck, given, settings
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


def model(points, pre_close, low_price=None, threshold=0.3):
    """The scoring rules written out plainly, in the same operation order."""
    p = [x["price"] for x in points]
    v = [x["vol"] for x in points]
    n = len(p)
    if n < 10:
        return None
    last = p[-1]
    real = [x for x in p if not math.isnan(x)]
    hi, lo = (max(real), min(real)) if real else (-math.inf, math.inf)
    day = (last - pre_close) / pre_close * 100 if pre_close > 0 else 0.0
    amp = (hi - lo) / pre_close * 100 if pre_close > 0 else 0.0
    rng = hi - lo
    if rng > 0:
        base = lo if low_price is None else low_price
        close_pos = (last - base) / max(hi - base, rng)
    else:
        close_pos = 0.5

    def mean(xs):
        s = 0.0
        for x in xs:
            s += x
        return s / len(xs)

    am, pm = (mean(p), mean(p)) if n <= 120 else (mean(p[:120]), mean(p[120:]))
    total = sum(v)
    mv = total / n
    large = [i for i in range(n) if v[i] > 2 * mv]
    am_l = sum(1 for i in large if i < 120)
    pm_l = len(large) - am_l
    late = sum(1 for i in large if i >= 210)
    ratio = sum(v[i] for i in large) / total if total >= 1 else 0.0
    p210 = p[min(n - 1, 210)]
    pm_vs_am = (pm - am) / am * 100 if am > 0 else 0.0
    late_chg = (last - p210) / p210 * 100 if p210 > 0 else 0.0

    notes = []
    if close_pos >= 0.8:
        score = 75
    elif close_pos >= threshold:
        score = 60
    else:
        score = 25
        notes.append(f"收盘位置过低({close_pos:.2f}<{threshold:.1f})")
    if late >= 3:
        score += 20
        notes.append(f"尾盘大单活跃({late})")
    else:
        score += 5 if late >= 1 else -5
    if am_l > 0 and pm_l > 0 and am_l / pm_l > 3.0 and late == 0:
        score -= 20
        notes.append(f"大单集中在早盘({am_l}:{pm_l})尾盘无支撑")
    if late_chg > 1.0:
        score += 10
    elif late_chg < -1.0:
        score -= 10
        notes.append(f"尾盘跳水({late_chg:+.1f}%)")
    score += 5 if pm_vs_am > 0.5 else -5 if pm_vs_am < -0.5 else 0
    if day > 8.0:
        score -= 10
        notes.append(f"当日涨幅过大({day:+.1f}%)")
    score = float(min(100, max(0, score)))
    cancel = score < 40
    return {
        "close_pos": close_pos, "day_chg_pct": day, "amplitude_pct": amp, "total_vol": total, "n": n,
        "large_trade_count": len(large), "large_trade_vol_ratio": ratio, "quality_score": score,
        "should_cancel": cancel, "cancel_reason": "; ".join(notes) if cancel else "",
    }


def same(a, b):
    assert a.keys() == b.keys()
    for k in a:
        if isinstance(a[k], float) and math.isnan(a[k]):
            assert math.isnan(b[k]), k
        else:
            assert a[k] == b[k], k


# ---- arguments and records -------------------------------------------------

GOOD = chart()


@pytest.mark.parametrize(
    "args, kwargs, exc, message",
    [
        ((tuple(GOOD), 10.0), {}, TypeError, "argument 'data': 'tuple' object is not an instance of 'list'"),
        ((None, 10.0), {}, TypeError, "argument 'data': 'None' is not an instance of 'list'"),
        ((GOOD,), {}, TypeError, "tick_analysis() missing 1 required positional argument: 'pre_close'"),
        ((), {}, TypeError, "tick_analysis() missing 2 required positional arguments: 'data' and 'pre_close'"),
        ((GOOD, 10, None, 0.3, 1), {}, TypeError,
         "tick_analysis() takes from 2 to 4 positional arguments but 5 were given"),
        ((GOOD, 10), {"threshold": 1}, TypeError, "tick_analysis() got an unexpected keyword argument 'threshold'"),
        ((GOOD, 10), {"data": GOOD}, TypeError, "tick_analysis() got multiple values for argument 'data'"),
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
        ({"pre_close": "10"}, "argument 'pre_close': "),
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
        (with_point(3, price=DROP, vol=DROP), ValueError, "Missing 'price'"),
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
        ({"price": None}, TypeError),
        ({"vol": 1.5}, TypeError),
        ({"vol": 2**63}, OverflowError),
        ({"avg": None}, TypeError),
        ({"momentum": None}, TypeError),
        ({"momentum": "x"}, TypeError),
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
    data = minute_chart(pattern)
    r = tick_analysis(data, 10.0)
    same(r, model(data, 10.0))
    assert r["n"] == 240
    if pattern == "strong":
        assert not r["should_cancel"] and r["quality_score"] >= 80
    if pattern == "fade":
        assert r["should_cancel"] and "尾盘跳水" in r["cancel_reason"]


# ---- properties ------------------------------------------------------------

prices = st.one_of(st.floats(1.0, 20.0), st.sampled_from([10.0, 10.5, 9.5]), st.just(math.nan))
points = st.builds(lambda p, v: {"time": "10:00:00", "price": p, "vol": v}, prices,
                   st.one_of(st.integers(0, 10**6), st.integers(-(2**40), 2**40)))


@settings(max_examples=200, suppress_health_check=[HealthCheck.too_slow])
@given(
    data=st.lists(points, max_size=260),
    pre_close=st.one_of(st.floats(-1, 20), st.just(0.0)),
    low=st.one_of(st.none(), st.floats(0, 20)),
    threshold=st.floats(0, 1),
)
def test_matches_the_rules(data, pre_close, low, threshold):
    got = tick_analysis(data, pre_close, low, threshold)
    want = model(data, pre_close, low, threshold)
    if want is None:
        assert got is None
    else:
        same(got, want)
        assert got["should_cancel"] == (got["quality_score"] < 40)
        if got["should_cancel"]:
            assert got["cancel_reason"]


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
