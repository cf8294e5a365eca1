"""trans_analysis, trans_breakout and screening_metrics from Python."""

import datetime
import inspect
import random

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import zjkit._native as native
from zjkit.sample import day_range, day_tape

ANALYSIS_KEYS = [
    "buy_vol_ratio", "sell_vol_ratio", "neutral_vol_ratio", "large_trade_count", "large_trade_vol_ratio",
    "large_buy_count", "large_sell_count", "large_buy_vol_ratio", "inst_buy_vol_ratio", "inst_buy_count",
    "inst_sell_count", "inst_net_flow_ratio", "split_clusters", "matched_pairs", "price_position", "day_chg_pct",
    "last_30min_vol_ratio", "last_30min_buy_sell_ratio", "last_30min_momentum", "is_breakout", "confidence",
    "conclusion", "details",
]
BREAKOUT_KEYS = [
    "total_n", "breakout_n", "breakout_vol_ratio", "breakout_buy_ratio", "breakout_large_buy",
    "breakout_large_sell", "price_sustain_ratio", "is_strong", "classification", "confidence", "details",
]
SCREENING_KEYS = [
    "first30_vol_pct", "midday_vol_pct", "afternoon_vol_pct", "last30_vol_pct", "last5_vol_pct", "large_pct",
    "xl_pct", "large_amount_pct", "xl_amount_pct", "avg_trade_vol", "vwap", "avg_shares_per_trade",
    "single_trade_vol_pct",
]

# Each function with arguments that make a valid call around `data`.
CALLS = {
    "trans_analysis": lambda data: native.trans_analysis(data, 10.0, 10.5, 9.5),
    "trans_breakout": lambda data: native.trans_breakout(data, 10.0),
    "screening_metrics": lambda data: native.screening_metrics(data),
}


def clock(sec: int) -> str:
    return f"{sec // 3600:02d}:{sec // 60 % 60:02d}:{sec % 60:02d}"


def trade(sec=36000, price=10.0, vol=100, trade_count=1, bs_flag=0):
    return {"time": clock(sec), "price": price, "vol": vol, "trade_count": trade_count, "bs_flag": bs_flag}


def day(*blocks, start=9 * 3600 + 30 * 60):
    """Trades from (count, flag, vol, step) blocks; blocks start 10 s after the previous trade."""
    out, sec = [], start - 10
    for count, flag, vol, step in blocks:
        for k in range(count):
            sec += 10 if k == 0 else step
            out.append(trade(sec, 9.5, vol, 1, flag))
    return out


# ---- binding ---------------------------------------------------------------

def test_signatures():
    assert str(inspect.signature(native.trans_analysis)) == "(data, pre_close, high, low)"
    assert str(inspect.signature(native.trans_breakout)) == "(data, breakout_price)"
    assert str(inspect.signature(native.screening_metrics)) == "(data)"


@pytest.mark.parametrize("call, exc, message", [
    (lambda: native.trans_analysis(), TypeError,
     "trans_analysis() missing 4 required positional arguments: 'data', 'pre_close', 'high', and 'low'"),
    (lambda: native.trans_analysis([], 1.0), TypeError,
     "trans_analysis() missing 2 required positional arguments: 'high' and 'low'"),
    (lambda: native.trans_breakout([], 1.0, 2.0), TypeError,
     "trans_breakout() takes 2 positional arguments but 3 were given"),
    (lambda: native.trans_breakout([], data=[]), TypeError,
     "trans_breakout() got multiple values for argument 'data'"),
    (lambda: native.screening_metrics(data=[], foo=1), TypeError,
     "screening_metrics() got an unexpected keyword argument 'foo'"),
    (lambda: native.trans_analysis((), 1, 2, 3), TypeError,
     "argument 'data': 'tuple' object is not an instance of 'list'"),
    (lambda: native.screening_metrics(None), TypeError, "argument 'data': 'None' is not an instance of 'list'"),
    (lambda: native.trans_analysis([], "10", 2, 3), TypeError, "argument 'pre_close': "),
    (lambda: native.trans_analysis([], 1, 2, None), TypeError, "argument 'low': "),
    (lambda: native.trans_breakout([], breakout_price=None), TypeError, "argument 'breakout_price': "),
])
def test_argument_errors(call, exc, message):
    with pytest.raises(exc) as info:
        call()
    assert str(info.value).startswith(message)
    assert message.endswith(": ") or str(info.value) == message


# ---- records ---------------------------------------------------------------

FULL = trade()
MISSING_ORDER = ["time", "price", "vol", "trade_count", "bs_flag"]


@pytest.mark.parametrize("name", list(CALLS))
def test_missing_keys_are_reported_in_key_order(name):
    call = CALLS[name]
    required = MISSING_ORDER if name != "screening_metrics" else MISSING_ORDER[:3]
    for k, key in enumerate(required):
        record = {key2: FULL[key2] for key2 in MISSING_ORDER[:k]}
        with pytest.raises(ValueError, match=f"^Missing '{key}'$"):
            call([FULL] * 30 + [record, {}])


@pytest.mark.parametrize("name", list(CALLS))
@pytest.mark.parametrize("change, exc, message", [
    ({"time": 925}, TypeError, "'time' must be str or datetime.time"),
    ({"time": None}, TypeError, "'time' must be str or datetime.time"),
    ({"time": b"09:25:00"}, TypeError, "'time' must be str or datetime.time"),
    ({"time": "9:25"}, ValueError, "Invalid time '9:25': premature end of input"),
    ({"time": "09:25:00x"}, ValueError, "Invalid time '09:25:00x': trailing input"),
    ({"time": "09-25-00"}, ValueError, "Invalid time '09-25-00': input contains invalid characters"),
    ({"time": " 9:25:00"}, ValueError, "Invalid time ' 9:25:00': input contains invalid characters"),
    ({"time": "24:00:00"}, ValueError, "Invalid time '24:00:00': input is out of range"),
    ({"time": "23:60:00"}, ValueError, "Invalid time '23:60:00': input is out of range"),
    ({"time": ""}, ValueError, "Invalid time '': premature end of input"),
    ({"price": "10.0"}, TypeError, None),
    ({"price": None}, TypeError, None),
    ({"vol": 100.0}, TypeError, None),
    ({"vol": "100"}, TypeError, None),
    ({"vol": 2 ** 63}, OverflowError, None),
])
def test_bad_values_raise_the_conversion_error(name, change, exc, message):
    with pytest.raises(exc) as info:
        CALLS[name]([FULL] * 30 + [{**FULL, **change}])
    if message is not None:
        assert str(info.value) == message
    else:
        assert not str(info.value).startswith("argument")


@pytest.mark.parametrize("name", ["trans_analysis", "trans_breakout"])
@pytest.mark.parametrize("change, exc", [
    ({"trade_count": 2 ** 31}, OverflowError), ({"trade_count": 1.0}, TypeError), ({"trade_count": None}, TypeError),
    ({"bs_flag": -2 ** 31 - 1}, OverflowError), ({"bs_flag": "0"}, TypeError),
])
def test_directional_records_need_integer_counts_and_flags(name, change, exc):
    with pytest.raises(exc):
        CALLS[name]([FULL] * 30 + [{**FULL, **change}])


@pytest.mark.parametrize("name", list(CALLS))
def test_items_must_be_dicts_and_the_first_bad_item_wins(name):
    with pytest.raises(TypeError, match="^'list' object is not an instance of 'dict'$"):
        CALLS[name]([FULL, ["09:30:00", 10.0, 100, 1, 0], {}])
    with pytest.raises(ValueError, match="^Missing 'price'$"):
        CALLS[name]([FULL, {"time": "09:30:00"}, {**FULL, "time": 7}])
    # dict subclasses and extra keys are fine
    class Record(dict):
        pass
    assert CALLS[name]([Record(FULL, note="x")] * 30) is not None


def test_screening_trade_count_is_lenient():
    base = [{**FULL, "vol": 100} for _ in range(5)]
    expected = native.screening_metrics(base)
    assert expected["single_trade_vol_pct"] == 100.0
    for odd in (None, 1.0, "2", 2 ** 31, -2 ** 40, [1]):
        records = [{**r, "trade_count": odd} for r in base]
        assert native.screening_metrics(records) == expected, odd
    assert native.screening_metrics([{k: v for k, v in r.items() if k != "trade_count"} for r in base]) == expected


def test_datetime_time_reads_like_text_and_subseconds_do_not_reorder():
    tape = day_tape(n=300, seed=3)
    as_time = [{**t, "time": datetime.time.fromisoformat(t["time"])} for t in tape]
    high, low = day_range(tape)
    assert native.trans_analysis(as_time, 10.0, high, low) == native.trans_analysis(tape, 10.0, high, low)
    assert native.screening_metrics(as_time) == native.screening_metrics(tape)
    # Two trades in the last second: input order decides the last price, not microseconds.
    last = [trade(50000 + k, 9.9, 100, 1, 0) for k in range(25)]
    last.append({**trade(50024, 9.1, 100, 1, 2), "time": datetime.time(13, 53, 44, 0)})
    last[-2]["time"] = datetime.time(13, 53, 44, 999_999)
    assert native.trans_analysis(last, 9.5, 10, 9)["price_position"] == 0.1
    last[-1], last[-2] = last[-2], last[-1]
    assert native.trans_analysis(last, 9.5, 10, 9)["price_position"] == 0.9


# ---- results ---------------------------------------------------------------

def test_too_little_input_gives_none():
    assert native.trans_analysis(day((19, 0, 100, 10)), 9.5, 10, 9) is None
    assert native.trans_analysis(day((20, 0, 100, 10)), 9.5, 10, 9) is not None
    assert native.trans_analysis(day((30, 0, 0, 10)), 9.5, 10, 9) is None
    assert native.trans_analysis([], 9.5, 10, 9) is None
    assert native.trans_breakout(day((9, 0, 100, 10)), 9.0) is None
    assert native.trans_breakout(day((10, 0, 100, 10)), 9.0) is not None
    assert native.trans_breakout(day((10, 0, 100, 10)), 10.0) is None  # no trade in the zone
    assert native.trans_breakout(day((10, 0, 0, 10)), 9.0) is None
    assert native.screening_metrics([FULL] * 4) is None
    assert native.screening_metrics([FULL] * 5) is not None
    assert native.screening_metrics([{**FULL, "vol": 0}] * 9) is None


def test_the_worked_example_explanation():
    # 200 trades, buys:sells 9:5 by volume, 5 large trades, three split-order runs.
    tape = day((40, 0, 100, 10), (5, 0, 100, 1), (40, 1, 100, 10), (1, 0, 1000, 10), (5, 0, 100, 1),
               (30, 0, 100, 10), (2, 1, 1000, 10), (1, 0, 50, 10), (26, 1, 100, 10), (5, 0, 100, 1),
               (2, 0, 1000, 10), (42, 0, 100, 10), (1, 1, 150, 10))
    tape[-1]["price"] = 9.85
    random.Random(1).shuffle(tape)  # order of the input does not matter
    r = native.trans_analysis(tape, 9.5, 10.0, 9.0)
    assert list(r) == ANALYSIS_KEYS
    assert r["details"] == "主动买/卖比=1.80; 高位收盘(85%分位)｜风险: 存在拆单(3集群,占比1.5%)"
    assert (r["split_clusters"], r["matched_pairs"], r["price_position"]) == (3, 0, 0.85)
    assert (r["buy_vol_ratio"], r["sell_vol_ratio"], r["large_trade_count"]) == (0.643, 0.357, 5)
    assert r["confidence"] == 52.25 and r["conclusion"] == "疑似突破" and r["is_breakout"] is True


def test_result_types_and_ranges_on_sample_days():
    for scenario in ("breakout", "fade", "limit_up", "quiet"):
        tape = day_tape(n=2000, seed=5, scenario=scenario)
        high, low = day_range(tape)
        r = native.trans_analysis(tape, 10.0, high, low)
        types = {k: bool if k == "is_breakout" else str if k in ("conclusion", "details") else
                 int if k.endswith(("_count", "_clusters", "_pairs")) else float for k in ANALYSIS_KEYS}
        assert list(r) == ANALYSIS_KEYS and all(type(r[k]) is t for k, t in types.items())
        assert r["is_breakout"] == (r["confidence"] >= 45) and 0 <= r["confidence"] <= 100
        assert all(r[k] == round(r[k], p) for k, p in (("buy_vol_ratio", 3), ("inst_net_flow_ratio", 4)))

        b = native.trans_breakout(tape, (high + low) / 2)
        assert list(b) == BREAKOUT_KEYS and type(b["breakout_n"]) is int and type(b["is_strong"]) is bool
        assert b["total_n"] == len(tape) and b["is_strong"] == (b["confidence"] >= 60)

        m = native.screening_metrics(tape)
        assert list(m) == SCREENING_KEYS and all(type(v) is float for v in m.values()) and low <= m["vwap"] <= high


def test_sample_tapes_look_like_exchange_data():
    for scenario in ("breakout", "fade", "limit_up", "quiet"):
        tape = day_tape(n=3000, seed=11, pre_close=20.0, scenario=scenario)
        assert tape == day_tape(n=3000, seed=11, pre_close=20.0, scenario=scenario)
        assert len(tape) == 3000
        times = [t["time"] for t in tape]
        assert times == sorted(times) and times[0] == "09:25:00" and times[-1] == "15:00:00"
        assert all(t["vol"] % 100 == 0 and t["vol"] > 0 and t["trade_count"] >= 1 for t in tape)
        assert {t["bs_flag"] for t in tape} == {0, 1, 2}
        assert all(18.0 <= t["price"] <= 22.0 and t["price"] == round(t["price"], 2) for t in tape)
    assert native.trans_analysis(day_tape(seed=3, scenario="limit_up"), 10.0, 11.0, 9.0)["day_chg_pct"] == 10.0
    with pytest.raises(ValueError):
        day_tape(scenario="moon")


# ---- robustness --------------------------------------------------------------

times = st.one_of(
    st.integers(0, 86399).map(clock),
    st.sampled_from(["00:00:00", "23:59:59", "23:59:60", "9:5:0", "24:00:00", "", "12:00", "aa"]),
    st.times(),
    st.integers(), st.none(), st.floats(),
)
values = {
    "time": times,
    "price": st.one_of(st.floats(allow_nan=True, allow_infinity=True), st.integers(-10 ** 20, 10 ** 20),
                       st.sampled_from(["10", None])),
    "vol": st.one_of(st.integers(-2 ** 64, 2 ** 64), st.sampled_from([0, 100, 2 ** 63 - 1, -2 ** 63, 1.0, None])),
    "trade_count": st.one_of(st.integers(-2 ** 33, 2 ** 33), st.sampled_from([0, 1, None, 1.5])),
    "bs_flag": st.one_of(st.integers(-3, 3), st.integers(-2 ** 33, 2 ** 33), st.sampled_from([None, "1"])),
}
record = st.fixed_dictionaries({}, optional=values)
# Mostly well-formed records, so the analyses themselves run on odd numbers.
good_record = st.fixed_dictionaries({
    "time": st.one_of(st.integers(0, 86399).map(clock), st.times()),
    "price": st.one_of(st.floats(allow_nan=True, allow_infinity=True), st.sampled_from([10.0, 10.01, 10.02])),
    "vol": st.one_of(st.integers(-2 ** 63, 2 ** 63 - 1), st.sampled_from([0, 100, 200, 2 ** 63 - 1])),
    "trade_count": st.integers(-2 ** 31, 2 ** 31 - 1),
    "bs_flag": st.one_of(st.integers(-2, 3), st.integers(-2 ** 31, 2 ** 31 - 1)),
})
tapes = st.one_of(st.lists(record, max_size=40), st.lists(good_record, max_size=80))
prices = st.floats(allow_nan=True, allow_infinity=True)


@settings(max_examples=250, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(data=tapes, a=prices, b=prices, c=prices)
def test_random_records_never_crash_or_hang(data, a, b, c):
    for call in (lambda: native.trans_analysis(data, a, b, c), lambda: native.trans_breakout(data, a),
                 lambda: native.screening_metrics(data)):
        try:
            result = call()
        except (TypeError, ValueError, OverflowError):
            continue
        assert result is None or isinstance(result, dict)
        if isinstance(result, dict) and "confidence" in result:
            assert 0 <= result["confidence"] <= 100
