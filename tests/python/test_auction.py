"""Opening call-auction bindings: auction_scan, auction_false_sell and friends."""

import datetime as dt
import inspect
import io
import math
import sys

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from zjkit import _native
from zjkit._native import (auction_false_sell, auction_morphology_names, auction_scan, auction_scanner_version,
                           false_sell_version)
from zjkit.sample.auctions import AUCTION_KINDS, auction

NAMES = ["涨停试盘型", "阶梯攀升型", "钓鱼线型", "跌停撬板型", "一字放量型", "无量一字型", "震荡分歧型"]
SCAN_KEYS = {"score": int, "match": bool, "steps": int, "eff_steps": int, "neg_pos_alt": bool, "buy_rev": bool,
             "vr": float, "end_p": bool, "oh": bool, "n": int, "morphology": str, "morphology_conf": int,
             "morphology_tag": str, "morphology_scores": list, "morphology_group": str}
FALSE_SELL_KEYS = {"score": int, "match": bool, "neg_ratio": float, "price_up": bool, "vr": float, "last_um": int,
                   "neg_total": int, "late_peak": bool, "recovery_score": float, "n": int, "max_match": int,
                   "price_change_pct": float, "net_um": int, "total_amt": float, "big_order_ratio": float}


def hms(secs):
    return f"{secs // 3600:02d}:{secs // 60 % 60:02d}:{secs % 60:02d}"


def snapshots(n=20, start=9 * 3600 + 15 * 60, step=30):
    return [{"time": hms(start + i * step), "price": 10.0, "matched": 500, "unmatched": 0} for i in range(n)]


def test_module_surface():
    ours = ["auction_scanner_version", "auction_morphology_names", "auction_scan", "false_sell_version",
            "auction_false_sell"]
    assert [name for name in _native.__all__ if name in ours] == ours
    assert auction_scanner_version() == false_sell_version() == "0.1.1"
    assert auction_morphology_names() == NAMES
    assert str(inspect.signature(auction_scan)) == \
        "(data, threshold=50, open_price=None, pre_close=None, limit_up=None, limit_down=None)"
    assert str(inspect.signature(auction_false_sell)) == "(data, threshold=50)"


@pytest.mark.parametrize("kind", AUCTION_KINDS)
def test_sample_auctions_show_their_shape(kind):
    a = auction(kind)
    r = auction_scan(a["data"], 50, a["open_price"], a["pre_close"], a["limit_up"], a["limit_down"])
    assert {k: type(v) for k, v in r.items()} == SCAN_KEYS and list(r) == list(SCAN_KEYS)
    assert r["morphology"].startswith(a["shape"])
    assert r["morphology_conf"] == r["morphology_scores"][NAMES.index(a["shape"])] == max(r["morphology_scores"])
    f = auction_false_sell(a["data"])
    assert {k: type(v) for k, v in f.items()} == FALSE_SELL_KEYS and list(f) == list(FALSE_SELL_KEYS)
    assert r["n"] == f["n"] == len(a["data"])


def test_arguments_reach_the_analyses():
    heavy, stair = auction("one_price_heavy"), auction("staircase")
    assert auction_scan(heavy["data"], pre_close=heavy["pre_close"])["morphology"] == "一字放量型(多头)"
    assert auction_scan(heavy["data"], 50, None, None, None, None)["morphology"] == "一字放量型"
    assert auction_scan(heavy["data"], limit_up=12.1, limit_down=9.9)["morphology"] == "一字放量型(中性)"
    r = auction_scan(stair["data"], threshold=100, open_price=10.0, pre_close=10)
    assert (r["score"], r["match"], r["oh"]) == (100, True, False)
    assert auction_scan(stair["data"], 101)["match"] is False
    assert auction_scan(stair["data"])["oh"] is None
    assert auction_false_sell(stair["data"], threshold=96)["match"] is True
    assert auction_false_sell(stair["data"], 97)["match"] is False
    assert auction_scan(snapshots(14)) is None and auction_false_sell([]) is None


def test_datetime_time_reads_like_text():
    data = auction("divergence")["data"]
    as_time = [dict(d, time=dt.time.fromisoformat(d["time"])) for d in data]
    unpadded = [dict(d, time=":".join(str(int(f)) for f in d["time"].split(":"))) for d in data]
    for other in (as_time, unpadded):
        assert auction_scan(other) == auction_scan(data)
        assert auction_false_sell(other) == auction_false_sell(data)
    leap = [dict(d, time="09:24:60") if i == 150 else d for i, d in enumerate(data)]  # 09:24:59 + 1 s
    assert auction_false_sell(leap)["n"] == len(data)


def test_nan_price_names_the_snapshot():
    data = snapshots()
    data[3]["price"] = math.nan  # 09:16:30, before 09:20: the shape cannot be decided
    with pytest.raises(ValueError, match=r"^NaN price at 09:16:30$"):
        auction_scan(data)
    data[3]["time"] = dt.time(9, 16, 30, 250)
    with pytest.raises(ValueError, match=r"^NaN price at 09:16:30\.000250$"):
        auction_false_sell(data)
    data = snapshots()
    data[15]["price"] = math.nan  # second half after 09:20, limits unknown: the scan has a result
    assert auction_scan(data)["n"] == 20
    with pytest.raises(ValueError, match="^NaN price at 09:22:30$"):
        auction_false_sell(data)


OK = snapshots(15)
BAD_CALLS = [
    (lambda: auction_scan(), TypeError, "auction_scan() missing 1 required positional argument: 'data'"),
    (lambda: auction_scan(OK, 1, 2, 3, 4, 5, 6), TypeError,
     "auction_scan() takes from 1 to 6 positional arguments but 7 were given"),
    (lambda: auction_scan(OK, 50, foo=1), TypeError, "auction_scan() got an unexpected keyword argument 'foo'"),
    (lambda: auction_scan(OK, data=OK), TypeError, "auction_scan() got multiple values for argument 'data'"),
    (lambda: auction_scan(tuple(OK)), TypeError, "argument 'data': 'tuple' object is not an instance of 'list'"),
    (lambda: auction_false_sell(None), TypeError, "argument 'data': 'None' is not an instance of 'list'"),
    (lambda: auction_scan(OK, 2**31), OverflowError, ""),
    (lambda: auction_false_sell(OK, -(2**31) - 1), OverflowError, ""),
    (lambda: auction_scan(OK, 50.0), TypeError, "argument 'threshold': "),
    (lambda: auction_false_sell(OK, None), TypeError, "argument 'threshold': "),
    (lambda: auction_scan(OK, open_price="10"), TypeError, "argument 'open_price': "),
    (lambda: auction_scan(OK, limit_down=[]), TypeError, "argument 'limit_down': "),
    (lambda: auction_scanner_version(1), TypeError, ""),
]


@pytest.mark.parametrize("call,exc,text", BAD_CALLS)
def test_argument_errors(call, exc, text):
    with pytest.raises(exc) as info:
        call()
    assert str(info.value).startswith(text)


def with_item(**changes):
    data = snapshots()
    data[4] = {k: v for k, v in {**data[4], **changes, "note": "ignored"}.items() if v is not KeyError}
    return data


BAD_ITEMS = [
    (snapshots(19) + [("09:20:00", 10.0, 1, 1)], TypeError, "'tuple' object is not an instance of 'dict'"),
    (with_item(time=KeyError, price=KeyError), ValueError, "Missing 'time'"),
    (with_item(price=KeyError, matched=KeyError), ValueError, "Missing 'price'"),
    (with_item(matched=KeyError, unmatched=KeyError), ValueError, "Missing 'matched'"),
    (with_item(unmatched=KeyError), ValueError, "Missing 'unmatched'"),
    (with_item(time="9:25"), ValueError, "Invalid time '9:25': premature end of input"),
    (with_item(time=925), TypeError, "'time' must be str or datetime.time"),
    (with_item(price="10.0"), TypeError, None),
    (with_item(matched=1.0), TypeError, None),
    (with_item(unmatched=2**31), OverflowError, None),
    (with_item(matched=-(2**31) - 1), OverflowError, None),
]


@pytest.mark.parametrize("fn", [auction_scan, auction_false_sell])
@pytest.mark.parametrize("data,exc,text", BAD_ITEMS)
def test_record_errors(fn, data, exc, text):
    refs = [sys.getrefcount(d) for d in data]
    with pytest.raises(exc) as info:
        fn(data)
    assert text is None or str(info.value) == text
    del info
    assert [sys.getrefcount(d) for d in data] == refs  # nothing held on to


seconds = st.integers(9 * 3600 + 14 * 60, 9 * 3600 + 27 * 60)
times = st.one_of(seconds.map(hms), seconds.map(lambda s: dt.time(s // 3600, s // 60 % 60, s % 60, 500)))
prices = st.one_of(st.floats(allow_nan=True, allow_infinity=True), st.floats(9.0, 11.0), st.integers(-5, 20))
volumes = st.one_of(st.integers(-(2**31), 2**31 - 1), st.integers(-2000, 5000))
snapshot = st.fixed_dictionaries({"time": times, "price": prices, "matched": volumes, "unmatched": volumes})
limit = st.one_of(st.none(), st.floats(allow_nan=True), st.integers(-1, 20))


@settings(max_examples=200, deadline=None)
@given(st.lists(snapshot, max_size=60).map(lambda xs: sorted(xs, key=lambda d: str(d["time"]))),
       st.integers(-(2**31), 2**31 - 1), limit, limit, limit, limit)
def test_random_auctions_never_crash(data, threshold, open_price, pre_close, limit_up, limit_down):
    for call in (lambda: auction_scan(data, threshold, open_price, pre_close, limit_up, limit_down),
                 lambda: auction_false_sell(data, threshold)):
        try:
            r = call()
        except ValueError as e:
            assert str(e).startswith("NaN price at 09:")
            continue
        assert r is None or (0 <= r["score"] <= 100 and r["n"] >= 15)


def test_demo_section_prints_every_shape():
    from zjkit.demo import SECTIONS, auction as section

    out = io.StringIO()
    section.run(seed=7, out=out)
    assert "auction" in SECTIONS and all(name in out.getvalue() for name in NAMES)
