"""The result TypedDicts of the native stubs against what the functions return.

mypy.stubtest checks signatures but not the keys of a dict result, so the
stub's keys, their order and their value types are compared here with real
results over the sample data.
"""

import ast
import pathlib

import pytest

import zjkit
import zjkit._native as native
from zjkit import sample

STUB = pathlib.Path(zjkit.__file__).with_name("_native.pyi")

# Python types of the annotations a result field may carry.
TYPES = {
    "int": (int,),
    "float": (float,),
    "bool": (bool,),
    "str": (str,),
    "bool | None": (bool, type(None)),
    "list[int]": (list,),
}


def conforms(value, annotation):
    if annotation.startswith("Literal["):
        return value in ast.literal_eval(annotation.removeprefix("Literal")[1:-1] + ",")
    return type(value) in TYPES[annotation]


def stub_fields():
    """Each TypedDict of the stub: its fields in order, with their annotation texts."""
    tree = ast.parse(STUB.read_text(encoding="utf-8"))
    fields = {}
    for node in tree.body:
        if isinstance(node, ast.ClassDef):
            fields[node.name] = [(item.target.id, ast.unparse(item.annotation))
                                 for item in node.body if isinstance(item, ast.AnnAssign)]
    return fields


def _tape_results():
    tape = sample.day_tape()
    high, low = sample.day_range(tape)
    return {
        "TransAnalysis": [native.trans_analysis(tape, 10.0, high, low)],
        "TransBreakout": [native.trans_breakout(tape, low)],
        "ScreeningMetrics": [native.screening_metrics(tape)],
    }


def _auction_results():
    scans = []
    false_sells = []
    for kind in sample.AUCTION_KINDS:
        a = sample.auction(kind)
        scans.append(native.auction_scan(a["data"]))
        scans.append(native.auction_scan(a["data"], 50, a["open_price"], a["pre_close"]))
        false_sells.append(native.auction_false_sell(a["data"]))
    return {"AuctionScan": scans, "AuctionFalseSell": false_sells}


def _other_results():
    bars = sample.daily_bars(60)
    config = [{"name": "zj_osc_state_V260720"}]
    charts = [sample.minute_chart(pattern) for pattern in sample.MINUTE_PATTERNS]
    return {
        "TickAnalysis": [native.tick_analysis(chart, 10.0) for chart in charts],
        "SignalRecord": native.generate_zj_signals(config, bars)[:3],
        "Zone": native.get_zs_seq(sample.strokes(n=30)),
    }


RESULTS = [_tape_results, _auction_results, _other_results]


@pytest.mark.parametrize("make", RESULTS, ids=lambda f: f.__name__.strip("_"))
def test_result_dicts_have_the_stub_keys_in_order_and_types(make):
    fields = stub_fields()
    for name, results in make().items():
        expected = fields[name]
        assert results, name
        for result in results:
            assert result is not None, name
            assert list(result) == [key for key, _ in expected], name
            for key, annotation in expected:
                assert conforms(result[key], annotation), (name, key, result[key])


def test_auction_scan_lists_and_optional_flag():
    scan = native.auction_scan(sample.auction("staircase")["data"])
    assert scan["oh"] is None
    assert all(type(v) is int for v in scan["morphology_scores"])
    assert len(scan["morphology_scores"]) == len(native.auction_morphology_names())


def test_every_result_typeddict_is_checked():
    checked = {name for make in RESULTS for name in make()}
    inputs = {"Trade", "ScreeningTrade", "MinutePoint", "AuctionSnapshot", "Stroke", "Bar",
              "SignalConfig"}
    assert set(stub_fields()) - inputs == checked
