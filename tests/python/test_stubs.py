"""The result TypedDicts of the native stubs against what the functions return.

mypy.stubtest checks signatures but not the keys of a dict result, so the
stub's keys, their order and their value types are compared here with real
results over the sample data.
"""

import ast
import pathlib

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
}


def conforms(value, annotation):
    if annotation == "list[int]":
        return type(value) is list and all(type(v) is int for v in value)
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


def results():
    """Real results of every dict-returning function, by result TypedDict."""
    tape = sample.day_tape()
    high, low = sample.day_range(tape)
    auctions = [sample.auction(kind) for kind in sample.AUCTION_KINDS]
    charts = [sample.minute_chart(pattern) for pattern in sample.MINUTE_PATTERNS]
    config = [{"name": "zj_osc_state_V260720"}]
    return {
        "TransAnalysis": [native.trans_analysis(tape, 10.0, high, low)],
        "TransBreakout": [native.trans_breakout(tape, low)],
        "ScreeningMetrics": [native.screening_metrics(tape)],
        "AuctionScan": [native.auction_scan(a["data"]) for a in auctions]
        + [native.auction_scan(a["data"], 50, a["open_price"], a["pre_close"]) for a in auctions],
        "AuctionFalseSell": [native.auction_false_sell(a["data"]) for a in auctions],
        "TickAnalysis": [native.tick_analysis(chart, 10.0) for chart in charts],
        "SignalRecord": native.generate_zj_signals(config, sample.daily_bars(60))[:3],
        "Zone": native.get_zs_seq(sample.strokes(n=30)),
    }


def test_result_dicts_have_the_stub_keys_in_order_and_types():
    fields = stub_fields()
    for name, found in results().items():
        expected = fields[name]
        assert found, name
        for result in found:
            assert result is not None, name
            assert list(result) == [key for key, _ in expected], name
            for key, annotation in expected:
                assert conforms(result[key], annotation), (name, key, result[key])


def test_auction_scan_scores_every_morphology():
    scan = native.auction_scan(sample.auction("staircase")["data"])
    assert len(scan["morphology_scores"]) == len(native.auction_morphology_names())


def test_every_result_typeddict_is_checked():
    inputs = {"Trade", "ScreeningTrade", "MinutePoint", "AuctionSnapshot", "Stroke", "Bar",
              "SignalConfig"}
    assert set(stub_fields()) - inputs == set(results())
