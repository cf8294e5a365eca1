"""Hostile inputs for every function that reads records, run in a child process
by test_hostile.py so that a crash fails a test instead of ending the run.

    python hostile_cases.py shapes FUNCTION   # every shape against one function
    python hostile_cases.py fuzz SEED CALLS   # seeded random hostile inputs

Prints one JSON object: the outcome (result or exception class) of each call,
and the notes of exceptions that do not have the expected form.
"""

from __future__ import annotations

import datetime as dt
import json
import math
import random
import re
import sys
import types

import zjkit._native as native
from zjkit import ta
from zjkit.sample import daily_bars, day_tape, minute_chart, strokes
from zjkit.sample.auctions import auction

NOTE = re.compile(r"^(data|bars|bis|signals_config)\[\d+\](\['\w+'\]|\.\w+)?$")
WT = {"name": "zj_wavetrend_V260625", "freq": "日线"}
VOL = {"name": "zj_vol_ratio_V260721"}
BARS = daily_bars(n=40, seed=3)
TAPE = day_tape(n=40, seed=5)
CHART = minute_chart()[:60]
SNAPSHOTS = auction("staircase")["data"][:60]
BIS = strokes(12)
BIS_UNIX = strokes(12, times="unix")


def new_object(v):
    """An equal value that nothing else refers to, so that clearing its record frees it."""
    if type(v) in (int, float):
        return v + type(v)(0)
    if type(v) is str and len(v) > 1:
        return v[:1] + v[1:]
    return v


def copies(records):
    """A fresh list of fresh records (sample data are slow to make); the keys
    stay the interned key objects Python code makes."""
    return lambda: [{k: new_object(v) for k, v in r.items()} for r in records]


class Target:
    """The list being read and the record the hostile object sits in."""

    lst: list = []
    rec: dict = {}
    fresh: dict = {}


def _shrink():
    del Target.lst[len(Target.lst) // 2:]


def _raise():
    raise RuntimeError("hostile")


def _interrupt():
    raise KeyboardInterrupt


ACTIONS = {
    "clear": lambda: Target.rec.clear(),
    "refill": lambda: (Target.rec.clear(), Target.rec.update(dict(Target.fresh))),
    "resize": lambda: Target.rec.update({f"k{i}": float(i) for i in range(600)}),
    "extend": lambda: Target.lst.extend(dict(Target.fresh) for _ in range(300)),
    "clear_list": lambda: Target.lst.clear(),
    "shrink": _shrink,
    "raise": _raise,
    "interrupt": _interrupt,
}


def hostile_value(base, act):
    """A stand-in for a number (or anything else) that acts when converted."""
    if isinstance(base, str) and re.fullmatch(r"\d\d:\d\d:\d\d", base):
        h, m, s = map(int, base.split(":"))

        class T(dt.time):
            @property
            def hour(self):
                act()
                return h

        return T(h, m, s)

    class V:
        def __float__(self):
            act()
            return float(base) if isinstance(base, (int, float)) else 1.0

        def __index__(self):
            act()
            return int(base) if isinstance(base, (int, float)) else 1

        def __str__(self):
            act()
            return str(base)

        def __eq__(self, other):
            act()
            return False

        __hash__ = object.__hash__

    return V()


def hostile_key(name, act):
    class K(str):
        __hash__ = str.__hash__

        def __eq__(self, other):
            act()
            return str.__eq__(self, other)

    return K(name)


def _attr_bars():
    return [types.SimpleNamespace(**b) for b in BARS]


# name: (fresh input, call, keys of a record, keys whose values are converted)
FUNCTIONS = {
    "generate_zj_signals.bars": (
        copies(BARS),
        lambda x: native.generate_zj_signals([VOL, WT], x),
        ["dt", "open", "high", "low", "close", "vol", "amount"],
        ["open", "high", "low", "close", "vol", "amount"]),
    "generate_zj_signals.signals_config": (
        copies([VOL, WT, {"name": "zj_wavetrend_V260625", "params": {"n1": "9"}}]),
        lambda x: native.generate_zj_signals(x, BARS),
        ["name", "freq", "params"], []),
    "generate_all_signals.bars": (
        copies(BARS),
        lambda x: native.generate_all_signals(x, [VOL]),
        ["dt", "close", "vol"], ["close", "vol"]),
    "generate_all_signals.objects": (
        _attr_bars,
        lambda x: native.generate_all_signals(x, [VOL]),
        [], []),
    "generate_all_signals.signals_config": (
        copies([VOL, {**WT, "n1": 9, "freq": "F"}, {**VOL, "freq": "F"}]),
        lambda x: native.generate_all_signals(BARS, x),
        ["name", "freq", "n1"], []),
    "trans_analysis": (
        copies(TAPE),
        lambda x: native.trans_analysis(x, 10.0, 10.6, 9.6),
        ["time", "price", "vol", "trade_count", "bs_flag"],
        ["time", "price", "vol", "trade_count", "bs_flag"]),
    "trans_breakout": (
        copies(TAPE),
        lambda x: native.trans_breakout(x, 10.2),
        ["time", "price", "vol", "trade_count", "bs_flag"],
        ["time", "price", "vol", "trade_count", "bs_flag"]),
    "screening_metrics": (
        copies(TAPE),
        native.screening_metrics,
        ["time", "price", "vol", "trade_count"],
        ["time", "price", "vol", "trade_count"]),
    "tick_analysis": (
        copies(CHART),
        lambda x: native.tick_analysis(x, 10.0),
        ["time", "price", "avg", "vol", "momentum"],
        ["time", "price", "avg", "vol", "momentum"]),
    "auction_scan": (
        copies(SNAPSHOTS),
        lambda x: native.auction_scan(x, pre_close=10.0),
        ["time", "price", "matched", "unmatched"],
        ["time", "price", "matched", "unmatched"]),
    "auction_false_sell": (
        copies(SNAPSHOTS),
        native.auction_false_sell,
        ["time", "price", "matched", "unmatched"],
        ["time", "price", "matched", "unmatched"]),
    "get_zs_seq": (
        copies(BIS),
        native.get_zs_seq,
        ["direction", "high", "low", "sdt", "edt"],
        ["high", "low"]),
    "get_zs_seq.unix": (
        copies(BIS_UNIX),
        native.get_zs_seq,
        ["direction", "high", "low", "sdt_ts", "edt_ts"],
        ["high", "low", "sdt_ts", "edt_ts"]),
    "ta.sma": (
        lambda: [float(i % 7) for i in range(40)],
        lambda x: ta.sma(x, 5),
        [], []),
}


def run(call, data):
    """The outcome of one call, and a note that has not the expected form."""
    try:
        call(data)
        return "ok", None
    except BaseException as e:  # noqa: B036 - KeyboardInterrupt is one of the outcomes
        notes = getattr(e, "__notes__", [])
        bad = None if len(notes) <= 1 and all(NOTE.match(n) for n in notes) else notes
        return type(e).__name__, bad


def shapes(name):
    make, call, keys, _ = FUNCTIONS[name]
    out, bad_notes = {}, []
    for action_name, act in ACTIONS.items():
        for index in (0, 2, -1):
            places = [("key", k) for k in keys] + [("value", k) for k in keys]
            if not keys:
                places = [("item", None)]
            for where, key in places:
                data = make()
                Target.lst, Target.fresh = data, dict(make()[0]) if keys else {}
                if where == "item":
                    data[index] = hostile_item(data[index], act)
                else:
                    Target.rec = rec = data[index]
                    if key not in rec:
                        continue
                    if where == "key":
                        rec[hostile_key(key, act)] = rec.pop(key)
                    else:
                        rec[key] = hostile_value(rec[key], act)
                outcome, bad = run(call, data)
                out[f"{where}:{key}:{action_name}:{index}"] = outcome
                if bad:
                    bad_notes.append(bad)
    return {"outcomes": out, "bad_notes": bad_notes, "converted": FUNCTIONS[name][3]}


def hostile_item(item, act):
    """A bar object whose close acts, or a number in a series that does."""
    if isinstance(item, float):
        return hostile_value(item, act)
    fields = dict(vars(item))

    class Bar:
        def __getattr__(self, attr):
            if attr == "close":
                act()
            if attr in fields:
                return fields[attr]
            raise AttributeError(attr)

    return Bar()


JUNK = [None, "x", "", b"09:30:00", math.nan, math.inf, -math.inf, -1, 0, 2**31, 2**63, 2**70,
        -2**70, True, [], {}, (), 1.5, "09:30:00", "9:30", "向上", "Up", dt.time(9, 30), object()]


def mutate(rng, data, keys):
    """One random change of `data` (a list of records), which may plant hostility."""
    if not data:
        data.append({})
        return
    i = rng.randrange(len(data))
    rec = data[i]
    choice = rng.random()
    act = rng.choice(list(ACTIONS.values()))
    Target.lst = data
    if not isinstance(rec, dict) or choice < 0.05:
        data[i] = rng.choice(JUNK + [dict(rec) if isinstance(rec, dict) else rec])
        return
    Target.rec = rec
    key = rng.choice(keys + ["extra"])
    if choice < 0.25:
        rec.pop(key, None)
    elif choice < 0.5:
        rec[key] = rng.choice(JUNK)
    elif choice < 0.7 and key in rec:
        rec[hostile_key(key, act)] = rec.pop(key)
    elif choice < 0.9:
        rec[key] = hostile_value(rec.get(key, 1.0), act)
    elif choice < 0.95:
        del data[i:]
    else:
        data.extend(dict(r) for r in data[:5] if isinstance(r, dict))


def fuzz(seed, calls):
    rng = random.Random(seed)
    outcomes, bad_notes = {}, []
    for name, (make, call, keys, _) in FUNCTIONS.items():
        if not keys:
            continue
        for _ in range(calls):
            data = make()
            Target.fresh = dict(data[0])
            for _ in range(rng.randint(1, 3)):
                try:
                    mutate(rng, data, keys)
                except BaseException:  # noqa: B036 - planted hostility went off early
                    pass
            outcome, bad = run(call, data)
            outcomes[outcome] = outcomes.get(outcome, 0) + 1
            if bad:
                bad_notes.append(bad)
    return {"outcomes": outcomes, "bad_notes": bad_notes}


if __name__ == "__main__":
    mode = sys.argv[1]
    report = shapes(sys.argv[2]) if mode == "shapes" else fuzz(int(sys.argv[2]), int(sys.argv[3]))
    print(json.dumps(report, default=str))
