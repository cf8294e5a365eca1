"""Opening call-auction bindings: auction_scan, auction_false_sell and friends."""

import datetime as dt
import inspect
import re
import sys

import pytest
from hypothesis import given, settings, strategies as st

from zjkit._native import (auction_false_sell as F, auction_morphology_names, auction_scan as S,
                           auction_scanner_version, false_sell_version)
from zjkit.demo import auction as demo
from zjkit.sample.auctions import AUCTION_KINDS, auction

NAMES = ["涨停试盘型", "阶梯攀升型", "钓鱼线型", "跌停撬板型",
         "一字放量型", "无量一字型", "震荡分歧型"]
# Result keys in order, with their types.
SCAN_KEYS = ("score:int match:bool steps:int eff_steps:int neg_pos_alt:bool buy_rev:bool vr:float end_p:bool oh:bool "
             "n:int morphology:str morphology_conf:int morphology_tag:str morphology_scores:list morphology_group:str")
FS_KEYS = ("score:int match:bool neg_ratio:float price_up:bool vr:float last_um:int neg_total:int "
           "late_peak:bool recovery_score:float n:int max_match:int price_change_pct:float "
           "net_um:int total_amt:float big_order_ratio:float")


def snapshots(n=20):  # every 30 s from 09:15:00
    return [dict(time=dt.time(9, 15 + i // 2, i % 2 * 30), price=10.0, matched=500, unmatched=0) for i in range(n)]


def test_surface_arguments_and_demo(capsys):
    assert auction_scanner_version() == false_sell_version() == "0.1.1" and auction_morphology_names() == NAMES
    assert [str(inspect.signature(fn)) for fn in (S, F)] == [
        "(data, threshold=50, open_price=None, pre_close=None, limit_up=None, limit_down=None)", "(data, threshold=50)"]
    heavy = S(auction("one_price_heavy")["data"], limit_up=12.1, limit_down=9.9)
    assert heavy["morphology"] == "一字放量型(中性)"
    r = S(stair := auction("staircase")["data"], threshold=100, open_price=10.0, pre_close=10)
    assert (r["score"], r["match"], r["oh"], S(stair, 101)["match"], S(stair)["oh"]) == (100, True, False, False, None)
    assert F(stair, threshold=96)["match"] and not F(stair, 97)["match"] and S(snapshots(14)) is None and F([]) is None
    demo.run(seed=7, out=sys.stdout)  # the demo section shows every sample
    assert all(map(capsys.readouterr().out.__contains__, AUCTION_KINDS))


@pytest.mark.parametrize("kind", AUCTION_KINDS)
def test_sample_auctions_show_their_shape(kind):
    a = auction(kind)
    r, f = S(a["data"], 50, a["open_price"], a["pre_close"], a["limit_up"], a["limit_down"]), F(a["data"])
    assert [[f"{k}:{type(v).__name__}" for k, v in x.items()] for x in (r, f)] == [SCAN_KEYS.split(), FS_KEYS.split()]
    assert r["morphology"].startswith(a["shape"]) and r["n"] == f["n"] == len(a["data"])
    assert r["morphology_conf"] == r["morphology_scores"][NAMES.index(a["shape"])] == max(r["morphology_scores"])


def test_time_forms_and_nan_price():
    data = auction("divergence")["data"]
    for other in ([dict(d, time=dt.time.fromisoformat(d["time"])) for d in data],
                  [dict(d, time=":".join(str(int(f)) for f in d["time"].split(":"))) for d in data]):  # unpadded
        assert S(other) == S(data) and F(other) == F(data)
    assert F([dict(d, time="09:24:60") if i == 150 else d for i, d in enumerate(data)])["n"] == 201  # 09:24:59 + 1 s
    # NaN at 09:16:30, before 09:20: the shape cannot be decided.
    for fn, time, text in ((S, "09:16:30", "09:16:30$"), (F, dt.time(9, 16, 30, 250), r"09:16:30\.000250$")):
        with pytest.raises(ValueError, match="^NaN price at " + text):
            fn([dict(d, price=float("nan"), time=time) if i == 3 else d for i, d in enumerate(snapshots())])


@pytest.mark.parametrize("call,exc,text", [
    (lambda: S(), TypeError, "auction_scan() missing 1 required positional argument: 'data'"),
    (lambda: S([], 1, 2, 3, 4, 5, 6), TypeError,
     "auction_scan() takes from 1 to 6 positional arguments but 7 were given"),
    (lambda: F(None), TypeError, "argument 'data': 'None' is not an instance of 'list'"),
    (lambda: S([], 2**31), OverflowError, ""), (lambda: F([], -2**31 - 1), OverflowError, ""),
    (lambda: S([], 50.0), TypeError, "argument 'threshold': "),
    (lambda: F([], None), TypeError, "argument 'threshold': "),
    (lambda: S([], limit_down=[]), TypeError, "argument 'limit_down': "),
])
def test_argument_errors(call, exc, text):
    with pytest.raises(exc, match="^" + re.escape(text)):
        call()


def item(*drop, **changes):  # snapshot 4 changed, keys `drop` removed, an extra key ignored
    data = snapshots()
    data[4] = {k: v for k, v in {**data[4], **changes, "note": "ignored"}.items() if k not in drop}
    return data


@pytest.mark.parametrize("fn", [S, F])
@pytest.mark.parametrize("data,exc,text", [
    (snapshots(19) + [("09:20:00", 10.0, 1, 1)], TypeError, "'tuple' object is not an instance of 'dict'"),
    # the first missing key, in order
    (item("time", "price"), ValueError, "Missing 'time'"), (item("price", "matched"), ValueError, "Missing 'price'"),
    (item("matched", "unmatched"), ValueError, "Missing 'matched'"),
    (item("unmatched"), ValueError, "Missing 'unmatched'"),
    (item(time=925), TypeError, "'time' must be str or datetime.time"),
    (item(time="9:25"), ValueError, "Invalid time '9:25': premature end of input"),
    (item(price="10.0"), TypeError, None),
    (item(matched=1.0), TypeError, None), (item(unmatched=2**31), OverflowError, None),
])
def test_record_errors(fn, data, exc, text):
    refs = [sys.getrefcount(d) for d in data]
    with pytest.raises(exc, match=text and f"^{re.escape(text)}\ndata\\[\\d+\\]"):  # then the note
        fn(data)
    assert [sys.getrefcount(d) for d in data] == refs  # nothing held on to


clock = st.integers(33240, 34020).map(lambda s: dt.time(s // 3600, s // 60 % 60, s % 60))  # 09:14-09:27
volume = st.one_of(st.integers(-2**31, 2**31 - 1), st.integers(-2000, 5000))
snapshot = st.fixed_dictionaries({
    "time": st.one_of(clock.map(dt.time.isoformat), clock.map(lambda t: t.replace(microsecond=500))),
    "price": st.one_of(st.floats(allow_nan=True, allow_infinity=True), st.floats(9.0, 11.0), st.integers(-5, 20)),
    "matched": volume, "unmatched": volume})
limit = st.one_of(st.none(), st.floats(allow_nan=True), st.integers(-1, 20))


@settings(max_examples=200, deadline=None)
@given(st.lists(snapshot, max_size=60).map(lambda xs: sorted(xs, key=lambda d: str(d["time"]))),
       st.integers(-2**31, 2**31 - 1), limit, limit, limit, limit)
def test_random_auctions_never_crash(data, threshold, open_price, pre_close, limit_up, limit_down):
    for call in (lambda: S(data, threshold, open_price, pre_close, limit_up, limit_down), lambda: F(data, threshold)):
        try:
            assert (r := call()) is None or (0 <= r["score"] <= 100 and r["n"] >= 15)
        except ValueError as e:
            assert str(e).startswith("NaN price at 09:")

