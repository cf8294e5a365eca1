"""Opening call-auction bindings: auction_scan, auction_false_sell and friends."""

import datetime as dt
import inspect
import math
import sys

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

from zjkit import _native
from zjkit._native import (
    auction_false_sell,
    auction_morphology_names,
    auction_scan,
    auction_scanner_version,
    false_sell_version,
)
from zjkit.sample.auctions import AUCTION_KINDS, auction

NAMES = ["涨停试盘型", "阶梯攀升型", "钓鱼线型", "跌停撬板型", "一字放量型", "无量一字型", "震荡分歧型"]
SCAN_KEYS = ["score", "match", "steps", "eff_steps", "neg_pos_alt", "buy_rev", "vr", "end_p", "oh", "n",
             "morphology", "morphology_conf", "morphology_tag", "morphology_scores", "morphology_group"]
FALSE_SELL_KEYS = ["score", "match", "neg_ratio", "price_up", "vr", "last_um", "neg_total", "late_peak",
                   "recovery_score", "n", "max_match", "price_change_pct", "net_um", "total_amt",
                   "big_order_ratio"]


def snapshots(n=20, price=10.0, matched=500, unmatched=0, start=9 * 3600 + 15 * 60, step=30):
    return [{"time": f"{(start + i * step) // 3600:02d}:{(start + i * step) // 60 % 60:02d}:{(start + i * step) % 60:02d}",
             "price": price, "matched": matched, "unmatched": unmatched} for i in range(n)]


def test_module_surface():
    ours = ["auction_scanner_version", "auction_morphology_names", "auction_scan",
            "false_sell_version", "auction_false_sell"]
    assert [name for name in _native.__all__ if name in ours] == ours
    assert auction_scanner_version() == "0.1.1"
    assert false_sell_version() == "0.1.1"
    assert auction_morphology_names() == NAMES
    assert auction_morphology_names() is not auction_morphology_names()
    assert str(inspect.signature(auction_scan)) == \
        "(data, threshold=50, open_price=None, pre_close=None, limit_up=None, limit_down=None)"
    assert str(inspect.signature(auction_false_sell)) == "(data, threshold=50)"
    with pytest.raises(TypeError):
        auction_scanner_version(1)


@pytest.mark.parametrize("kind", AUCTION_KINDS)
def test_sample_auctions_show_their_shape(kind):
    a = auction(kind)
    r = auction_scan(a["data"], 50, a["open_price"], a["pre_close"], a["limit_up"], a["limit_down"])
    assert list(r) == SCAN_KEYS
    assert r["morphology"].startswith(a["shape"])
    idx = NAMES.index(a["shape"])
    assert r["morphology_conf"] == r["morphology_scores"][idx] == max(r["morphology_scores"])
    assert r["n"] == len(a["data"])
    f = auction_false_sell(a["data"])
    assert list(f) == FALSE_SELL_KEYS
    assert all(type(f[k]) is t for k, t in zip(FALSE_SELL_KEYS, [int, bool, float, bool, float, int, int, bool,
                                                                   float, int, int, float, int, float, float]))
    assert type(r["oh"]) is bool and all(type(s) is int for s in r["morphology_scores"])


def test_suffixes_and_organised_buying_sample():
    heavy = auction("one_price_heavy")
    assert auction_scan(heavy["data"], pre_close=heavy["pre_close"])["morphology"] == "一字放量型(多头)"
    assert auction_scan(heavy["data"])["morphology"] == "一字放量型"
    quiet = auction("one_price_quiet")
    assert auction_scan(quiet["data"], pre_close=10.0)["morphology"] == "无量一字型(空头)"
    stair = auction("staircase")
    r = auction_scan(stair["data"], 100, stair["open_price"], stair["pre_close"])
    assert (r["score"], r["match"], r["neg_pos_alt"], r["buy_rev"], r["end_p"], r["oh"]) == (100, True, True, True, True, True)
    assert r["morphology_tag"] == "A01" and r["morphology_group"] == "A"


def test_optional_prices_and_thresholds():
    data = snapshots(15)
    assert auction_scan(data)["oh"] is None
    assert auction_scan(data, open_price=10.5, pre_close=0)["oh"] is None
    assert auction_scan(data, 50, 10.0, 10.0)["oh"] is False
    assert auction_scan(data, 50, 10.1, 10, None, None)["oh"] is True
    assert auction_scan(data, threshold=0)["match"] is True
    assert auction_scan(auction("staircase")["data"], threshold=101)["match"] is False
    assert auction_false_sell(data, 0)["match"] is True
    assert auction_false_sell(data, threshold=-(2**31))["match"] is True


def test_too_few_snapshots_give_none():
    assert auction_scan(snapshots(14)) is None
    assert auction_false_sell([]) is None
    late = snapshots(14) + snapshots(16, start=9 * 3600 + 26 * 60, step=1)
    assert auction_scan(late) is None and auction_false_sell(late) is None


def test_datetime_time_reads_like_text():
    data = auction("divergence")["data"]
    as_time = [dict(d, time=dt.time(*map(int, d["time"].split(":")))) for d in data]
    assert auction_scan(as_time) == auction_scan(data)
    assert auction_false_sell(as_time) == auction_false_sell(data)


def test_nan_price_names_the_snapshot():
    data = snapshots(20)
    data[3]["price"] = math.nan  # 09:16:30, before 09:20: the shape cannot be decided
    with pytest.raises(ValueError, match=r"^NaN price at 09:16:30$"):
        auction_scan(data)
    data[3]["time"] = dt.time(9, 16, 30, 250)
    with pytest.raises(ValueError, match=r"^NaN price at 09:16:30\.000250$"):
        auction_false_sell(data)
    data = snapshots(20)
    data[15]["price"] = math.nan  # after 09:20, second half, no limits: the scan has a result
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
    (lambda: auction_scan(None), TypeError, "argument 'data': 'None' is not an instance of 'list'"),
    (lambda: auction_scan(OK, 2**31), OverflowError, None),
    (lambda: auction_scan(OK, 50.0), TypeError, "argument 'threshold': "),
    (lambda: auction_scan(OK, None), TypeError, "argument 'threshold': "),
    (lambda: auction_scan(OK, open_price="10"), TypeError, "argument 'open_price': "),
    (lambda: auction_scan(OK, limit_down=[]), TypeError, "argument 'limit_down': "),
    (lambda: auction_false_sell(OK, 50, 1), TypeError,
     "auction_false_sell() takes from 1 to 2 positional arguments but 3 were given"),
    (lambda: auction_false_sell(OK, threshold="50"), TypeError, "argument 'threshold': "),
    (lambda: auction_false_sell(OK, -(2**31) - 1), OverflowError, None),
]


@pytest.mark.parametrize("call,exc,text", BAD_CALLS)
def test_argument_errors(call, exc, text):
    with pytest.raises(exc) as info:
        call()
    if text is not None:
        assert str(info.value).startswith(text)


def with_item(index, **changes):
    data = snapshots(20)
    item = dict(data[index])
    for k, v in changes.items():
        if v is KeyError:
            del item[k]
        else:
            item[k] = v
    data[index] = item
    return data


BAD_ITEMS = [
    (snapshots(19) + [("09:20:00", 10.0, 1, 1)], TypeError, "'tuple' object is not an instance of 'dict'"),
    (with_item(4, time=KeyError, price=KeyError), ValueError, "Missing 'time'"),
    (with_item(4, price=KeyError, matched=KeyError), ValueError, "Missing 'price'"),
    (with_item(4, matched=KeyError, unmatched=KeyError), ValueError, "Missing 'matched'"),
    (with_item(4, unmatched=KeyError), ValueError, "Missing 'unmatched'"),
    (with_item(4, time="9:25"), ValueError, "Invalid time '9:25': premature end of input"),
    (with_item(4, time="09:2x:00"), ValueError, "Invalid time '09:2x:00': input contains invalid characters"),
    (with_item(4, time="24:00:00"), ValueError, "Invalid time '24:00:00': input is out of range"),
    (with_item(4, time=925), TypeError, "'time' must be str or datetime.time"),
    (with_item(4, time=None, price=KeyError), TypeError, "'time' must be str or datetime.time"),
    (with_item(4, price="10.0"), TypeError, None),
    (with_item(4, matched=1.0), TypeError, None),
    (with_item(4, unmatched=2**31), OverflowError, None),
    (with_item(19, matched=-(2**31) - 1), OverflowError, None),
]


@pytest.mark.parametrize("fn", [auction_scan, auction_false_sell])
@pytest.mark.parametrize("data,exc,text", BAD_ITEMS)
def test_record_errors(fn, data, exc, text):
    refs = [sys.getrefcount(d) for d in data]
    with pytest.raises(exc) as info:
        fn(data)
    if text is not None:
        assert str(info.value) == text
    del info
    assert [sys.getrefcount(d) for d in data] == refs  # nothing held on to


def test_extra_keys_and_subclasses_accepted():
    class L(list):
        pass

    class D(dict):
        pass

    data = L(D(d, note="x", bid=1) for d in snapshots(20))
    assert auction_scan(data) == auction_scan(snapshots(20))
    assert auction_false_sell(data) == auction_false_sell(snapshots(20))


times = st.integers(9 * 3600 + 14 * 60, 9 * 3600 + 27 * 60).map(
    lambda s: f"{s // 3600:02d}:{s // 60 % 60:02d}:{s % 60:02d}")
prices = st.one_of(st.floats(allow_nan=True, allow_infinity=True), st.floats(9.0, 11.0), st.integers(-5, 20))
volumes = st.one_of(st.integers(-(2**31), 2**31 - 1), st.integers(-2000, 5000))
snapshot = st.fixed_dictionaries({"time": times, "price": prices, "matched": volumes, "unmatched": volumes})
limit = st.one_of(st.none(), st.floats(allow_nan=True), st.integers(-1, 20))


@settings(max_examples=200, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(st.lists(snapshot, max_size=60).map(lambda xs: sorted(xs, key=lambda d: d["time"])),
       st.integers(-(2**31), 2**31 - 1), limit, limit, limit, limit)
def test_random_auctions_never_crash(data, threshold, open_price, pre_close, limit_up, limit_down):
    for call in (lambda: auction_scan(data, threshold, open_price, pre_close, limit_up, limit_down),
                 lambda: auction_false_sell(data, threshold)):
        try:
            r = call()
        except ValueError as e:
            assert str(e).startswith("NaN price at 09:")
            continue
        if r is not None:
            assert 0 <= r["score"] <= 100
            assert r["n"] >= 15


def test_demo_section_prints_every_shape():
    import io

    from zjkit.demo import SECTIONS, auction as section

    assert "auction" in SECTIONS
    out = io.StringIO()
    section.run(seed=7, out=out)
    text = out.getvalue()
    assert all(name in text for name in NAMES) and "一字放量型(多头)" in text
