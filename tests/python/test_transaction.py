"""trans_analysis, trans_breakout and screening_metrics from Python."""

import datetime
import random

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import zjkit._native as native
from zjkit.sample import day_range, day_tape

ANALYSIS_KEYS = """buy_vol_ratio sell_vol_ratio neutral_vol_ratio large_trade_count
    large_trade_vol_ratio large_buy_count large_sell_count large_buy_vol_ratio inst_buy_vol_ratio
    inst_buy_count inst_sell_count inst_net_flow_ratio split_clusters matched_pairs price_position
    day_chg_pct last_30min_vol_ratio last_30min_buy_sell_ratio last_30min_momentum is_breakout
    confidence conclusion details""".split()
BREAKOUT_KEYS = """total_n breakout_n breakout_vol_ratio breakout_buy_ratio breakout_large_buy
    breakout_large_sell price_sustain_ratio is_strong classification confidence details""".split()
SCREENING_KEYS = """first30_vol_pct midday_vol_pct afternoon_vol_pct last30_vol_pct last5_vol_pct
    large_pct xl_pct large_amount_pct xl_amount_pct avg_trade_vol vwap avg_shares_per_trade
    single_trade_vol_pct""".split()

# Each function with arguments that make a valid call around `data`.
CALLS = {"trans_analysis": lambda d: native.trans_analysis(d, 10.0, 10.5, 9.5),
         "trans_breakout": lambda d: native.trans_breakout(d, 10.0), "screening_metrics": native.screening_metrics}


def clock(sec: int) -> str:
    return f"{sec // 3600:02d}:{sec // 60 % 60:02d}:{sec % 60:02d}"


def trade(sec=36000, price=10.0, vol=100, bs_flag=0):
    return {"time": clock(sec), "price": price, "vol": vol, "trade_count": 1, "bs_flag": bs_flag}


def day(*blocks):
    """Trades at 9.5 from (count, flag, vol, step) blocks, each 10 s after the previous trade; 09:30:00 first."""
    out, sec = [], 9 * 3600 + 30 * 60 - 10
    for count, flag, vol, step in blocks:
        out += [trade(sec := sec + (step if k else 10), 9.5, vol, flag) for k in range(count)]
    return out


FULL = trade()


# ---- binding ---------------------------------------------------------------

@pytest.mark.parametrize("call, message", [
    (lambda: native.trans_analysis(),
     "trans_analysis() missing 4 required positional arguments: "
     "'data', 'pre_close', 'high', and 'low'"),
    (lambda: native.trans_analysis([], 1.0),
     "trans_analysis() missing 2 required positional arguments: 'high' and 'low'"),
    (lambda: native.trans_breakout([], 1.0, 2.0), "trans_breakout() takes 2 positional arguments but 3 were given"),
    (lambda: native.trans_breakout([], data=[]), "trans_breakout() got multiple values for argument 'data'"),
    (lambda: native.screening_metrics(data=[], foo=1), "screening_metrics() got an unexpected keyword argument 'foo'"),
    (lambda: native.trans_analysis((), 1, 2, 3), "argument 'data': 'tuple' object is not an instance of 'list'"),
    (lambda: native.screening_metrics(None), "argument 'data': 'None' is not an instance of 'list'"),
    (lambda: native.trans_analysis([], "10", 2, 3), "argument 'pre_close': "),
    (lambda: native.trans_analysis([], 1, 2, None), "argument 'low': "),
    (lambda: native.trans_breakout([], breakout_price=None), "argument 'breakout_price': ")])
def test_argument_errors(call, message):
    with pytest.raises(TypeError) as info: call()
    assert str(info.value) == message or message.endswith(": ") and str(info.value).startswith(message)


# ---- records ---------------------------------------------------------------

@pytest.mark.parametrize("name", list(CALLS))
def test_missing_keys_are_reported_in_key_order(name):
    keys = ["time", "price", "vol", "trade_count", "bs_flag"][:3 if name == "screening_metrics" else 5]
    for k, key in enumerate(keys):
        partial = {key2: FULL[key2] for key2 in keys[:k]}
        with pytest.raises(ValueError, match=f"^Missing '{key}'\ndata\\[30\\]"):
            CALLS[name]([FULL] * 30 + [partial, {}])


@pytest.mark.parametrize("name", list(CALLS))
@pytest.mark.parametrize("change, exc, message", [
    *[({"time": v}, TypeError, "'time' must be str or datetime.time") for v in (925, None, b"09:25:00")],
    *[({"time": t}, ValueError, f"Invalid time '{t}': {why}") for t, why in [
        ("9:25", "premature end of input"), ("", "premature end of input"), ("09:25:00x", "trailing input"),
        ("09-25-00", "input contains invalid characters"), (" 9:25:00", "input contains invalid characters"),
        ("24:00:00", "input is out of range"), ("23:60:00", "input is out of range")]],
    ({"price": "10.0"}, TypeError, None), ({"vol": 100.0}, TypeError, None), ({"vol": 2 ** 63}, OverflowError, None),
    # trade_count and bs_flag: the screener takes a bad count as 1 and never reads the flag.
    ({"trade_count": 2 ** 31}, OverflowError, None), ({"trade_count": None}, TypeError, None),
    ({"trade_count": "2"}, TypeError, None), ({"bs_flag": -2 ** 31 - 1}, OverflowError, None),
    ({"bs_flag": "0"}, TypeError, None)])
def test_bad_values_raise_the_conversion_error(name, change, exc, message):
    records = [FULL] * 30 + [{**FULL, **change}]
    if name == "screening_metrics" and {"trade_count", "bs_flag"} & change.keys():
        assert native.screening_metrics(records) == native.screening_metrics([FULL] * 31); return
    with pytest.raises(exc) as info: CALLS[name](records)
    assert str(info.value) == message if message else not str(info.value).startswith("argument")


@pytest.mark.parametrize("name", list(CALLS))
def test_items_must_be_dicts_and_the_first_bad_item_wins(name):
    with pytest.raises(TypeError,
                       match="^'list' object is not an instance of 'dict'\ndata\\[1\\]$"):
        CALLS[name]([FULL, ["09:30:00", 10.0, 100, 1, 0], {}])
    with pytest.raises(ValueError, match="^Missing 'price'\ndata\\[1\\]\\['price'\\]$"):
        CALLS[name]([FULL, {"time": "09:30:00"}, {**FULL, "time": 7}])
    assert CALLS[name]([type("Record", (dict,), {})(FULL, note="x")] * 30) is not None  # dict subclass, extra key


def test_datetime_time_reads_like_text_and_subseconds_do_not_reorder():
    tape = day_tape(n=300, seed=3)
    as_time, (high, low) = [{**t, "time": datetime.time.fromisoformat(t["time"])} for t in tape], day_range(tape)
    assert (native.trans_analysis(as_time, 10.0, high, low)
            == native.trans_analysis(tape, 10.0, high, low)
            and native.screening_metrics(as_time) == native.screening_metrics(tape))
    # Two trades in the last second: input order decides the last price, not microseconds.
    last = [trade(50000 + k, 9.9) for k in range(23)]
    last += [{**trade(price=p, bs_flag=2), "time": datetime.time(13, 53, 44, us)}
             for p, us in ((9.9, 999_999), (9.1, 0))]
    assert native.trans_analysis(last, 9.5, 10, 9)["price_position"] == 0.1
    last[-1], last[-2] = last[-2], last[-1]
    assert native.trans_analysis(last, 9.5, 10, 9)["price_position"] == 0.9


# ---- results ---------------------------------------------------------------

def test_too_little_input_or_zero_volume_gives_none():
    for name, enough in (("trans_analysis", 20), ("trans_breakout", 10), ("screening_metrics", 5)):
        assert CALLS[name]([FULL] * (enough - 1)) is None and CALLS[name]([{**FULL, "vol": 0}] * 30) is None, name
        assert CALLS[name]([FULL] * enough) is not None, name
    # A record without trade_count is a single-order trade.
    uncounted = {k: v for k, v in FULL.items() if k != "trade_count"}
    assert native.screening_metrics([uncounted] * 5)["single_trade_vol_pct"] == 100


def test_the_worked_example_and_the_result_layout():
    # 200 trades, buys:sells 9:5 by volume, 5 large trades, three split-order runs.
    tape = day((40, 0, 100, 10), (5, 0, 100, 1), (40, 1, 100, 10), (1, 0, 1000, 10),
               (5, 0, 100, 1), (30, 0, 100, 10), (2, 1, 1000, 10), (1, 0, 50, 10),
               (26, 1, 100, 10), (5, 0, 100, 1), (2, 0, 1000, 10), (42, 0, 100, 10),
               (1, 1, 150, 10))
    tape[-1]["price"] = 9.85
    random.Random(1).shuffle(tape)  # order of the input does not matter
    r = native.trans_analysis(tape, 9.5, 10.0, 9.0)
    assert r["details"] == "主动买/卖比=1.80; 高位收盘(85%分位)｜风险: 存在拆单(3集群,占比1.5%)"
    figures = "split_clusters matched_pairs large_trade_count price_position buy_vol_ratio sell_vol_ratio".split()
    assert [r[k] for k in figures] == [3, 0, 5, 0.85, 0.643, 0.357]
    assert (r["confidence"], r["conclusion"], r["is_breakout"]) == (52.25, "疑似突破", True)

    types = {k: bool if k == "is_breakout"
             else str if k in ("conclusion", "details")
             else int if k.endswith(("_count", "_clusters", "_pairs"))
             else float
             for k in ANALYSIS_KEYS}
    assert list(r) == ANALYSIS_KEYS and all(type(r[k]) is t for k, t in types.items())
    b, m = native.trans_breakout(tape, 9.5), native.screening_metrics(tape)
    assert list(b) == BREAKOUT_KEYS and [type(b[k]) for k in ("breakout_n", "is_strong")] == [int, bool]
    assert list(m) == SCREENING_KEYS and all(type(v) is float for v in m.values())


@pytest.mark.parametrize("scenario", ["breakout", "fade", "limit_up", "quiet"])
def test_sample_days_look_like_exchange_data(scenario):
    tape = day_tape(n=2000, seed=5, pre_close=20.0, scenario=scenario)
    assert tape == day_tape(n=2000, seed=5, pre_close=20.0, scenario=scenario) and len(tape) == 2000
    assert [t["time"] for t in tape] == sorted(t["time"] for t in tape) and {t["bs_flag"] for t in tape} == {0, 1, 2}
    assert all(t["vol"] % 100 == 0 < t["vol"]
               and 18.0 <= t["price"] <= 22.0
               and t["price"] == round(t["price"], 2)
               for t in tape)
    high, low = day_range(tape)
    r, m = native.trans_analysis(tape, 20.0, high, low), native.screening_metrics(tape)
    assert r["is_breakout"] == (r["confidence"] >= 45) and low <= m["vwap"] <= high
    with pytest.raises(ValueError): day_tape(scenario="moon")


# ---- robustness --------------------------------------------------------------

# Well-formed records with odd numbers, and records of odd values and missing keys.
i32 = st.integers(-2 ** 31, 2 ** 31 - 1)
good = {"time": st.one_of(st.integers(0, 86399).map(clock), st.times()),
        "price": st.one_of(st.floats(), st.sampled_from([10.0, 10.01, 10.02])),
        "vol": st.one_of(st.integers(-2 ** 63, 2 ** 63 - 1), st.sampled_from([0, 100, 200, 2 ** 63 - 1])),
        "trade_count": i32, "bs_flag": st.one_of(st.integers(-2, 3), i32)}
odd = st.one_of(st.none(), st.integers(-2 ** 64, 2 ** 64), st.floats(),
                st.sampled_from(["10", "00:00:00", "23:59:59", "23:59:60", "9:5:0", "24:00:00", "",
                                 "12:00", "aa", b"1", 1.5, -2 ** 63]))
record = st.fixed_dictionaries({}, optional={k: st.one_of(v, odd) for k, v in good.items()})


@settings(max_examples=250, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(data=st.one_of(st.lists(record, max_size=40), st.lists(st.fixed_dictionaries(good), max_size=80)),
       a=st.floats(), b=st.floats(), c=st.floats())
def test_random_records_never_crash_or_hang(data, a, b, c):
    for call in (lambda: native.trans_analysis(data, a, b, c), lambda: native.trans_breakout(data, a),
                 lambda: native.screening_metrics(data)):
        try: result = call()
        except (TypeError, ValueError, OverflowError): continue
        assert result is None or isinstance(result, dict) and 0 <= result.get("confidence", 0) <= 100
