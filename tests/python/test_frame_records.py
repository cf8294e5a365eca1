"""zjkit.frame.tape, minutes, auctions and zones: every table flavour against
the dict functions per symbol, rows of nulls with a reason, bad tables, and
errors raised or collected."""

import math

import numpy as np
import pandas as pd
import polars as pl
import pyarrow as pa
import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import zjkit
import zjkit.sample as sample
from zjkit import frame

FLAVOURS = ["pandas", "polars", "pyarrow", "dict"]
SETTINGS = settings(max_examples=12, deadline=None, suppress_health_check=[HealthCheck.too_slow])
SYMBOLS = ["000001", "600000", "300750", "000002"]


def table_of(by_symbol, flavour, float_vol=False):
    """One long table of every symbol's records (record order kept)."""
    rows = [dict(r, symbol=s) for s, records in by_symbol.items() for r in records]
    cols = {k: [r[k] for r in rows] for k in (rows[0] if rows else {"symbol": 0})}
    out = {}
    for k, values in cols.items():
        if isinstance(values[0] if values else "", str):
            out[k] = np.array(values, dtype=object)
        elif k in ("vol", "matched", "unmatched") and float_vol:
            out[k] = np.array(values, dtype=np.float64)
        else:
            out[k] = np.array(values)
    if flavour == "dict":
        return out
    if flavour == "pandas":
        return pd.DataFrame(out)
    table = pa.table({k: pa.array(list(v)) if v.dtype == object else v for k, v in out.items()})
    return pl.from_arrow(table) if flavour == "polars" else table


def rows_of(result):
    """The result as a list of row dicts, nulls as None."""
    if isinstance(result, dict):
        result = pd.DataFrame(result)
    elif isinstance(result, pl.DataFrame):
        result = result.to_arrow()
    if isinstance(result, pa.Table):
        return result.to_pylist()
    records = result.astype(object).to_dict("records")
    return [{k: None if is_null(v) else v for k, v in r.items()} for r in records]


def is_null(v):
    return v is None or v is pd.NA or (isinstance(v, float) and math.isnan(v))


def check_row(row, expected, prefix=""):
    """Every field of a dict result (nulls for a None result) in the row; a
    list field is one column per element."""
    for key, value in expected.items():
        name = key if key.startswith(prefix) else prefix + key
        if name in row:
            got = row[name]
        else:
            got = [v for k, v in row.items() if k.rpartition("_")[0] == name]
        if value is None:
            assert all(map(is_null, got)) if isinstance(got, list) else is_null(got), (name, got)
        else:
            assert got == value, (name, got, value)


# ---- results equal the dict functions' ----------------------------------------


@st.composite
def tape_cases(draw):
    count = draw(st.integers(1, 3))
    tapes = {}
    days = {}
    for i, symbol in enumerate(SYMBOLS[:count]):
        n = draw(st.sampled_from([4, 19, 60, 400]))
        scenario = draw(st.sampled_from(["breakout", "fade", "limit_up", "quiet"]))
        tape = sample.day_tape(n=max(n, 10), seed=draw(st.integers(0, 50)), scenario=scenario)[:n]
        high, low = sample.day_range(tape)
        tapes[symbol] = tape
        days[symbol] = {"pre_close": 10.0, "high": high, "low": low, "breakout": 10.0 + 0.05 * i}
    breakout = draw(st.sampled_from(["none", "value", "column"]))
    flavour = draw(st.sampled_from(FLAVOURS))
    return tapes, days, breakout, flavour, draw(st.booleans())


@SETTINGS
@given(tape_cases())
def test_tape_equals_the_dict_functions(case):
    tapes, days, breakout, flavour, float_vol = case
    if breakout != "column":
        for d in days.values():
            del d["breakout"]
    value = 10.1 if breakout == "value" else None
    out = frame.tape(table_of(tapes, flavour, float_vol), days, breakout=value, workers=2)
    rows = rows_of(out)
    assert [r["symbol"] for r in rows] == sorted(tapes)
    for row in rows:
        symbol = row["symbol"]
        records = tapes[symbol]
        d = days[symbol]
        found = [zjkit.trans_analysis(records, d["pre_close"], d["high"], d["low"])]
        check_row(row, found[-1] or dict.fromkeys(KEYS["tape"]))
        found.append(zjkit.screening_metrics(records))
        check_row(row, found[-1] or dict.fromkeys(KEYS["screening"]))
        level = value if breakout == "value" else d.get("breakout")
        if level is None:
            assert "breakout_n" not in row
        else:
            found.append(zjkit.trans_breakout(records, level))
            check_row(row, found[-1] or dict.fromkeys(KEYS["breakout"]), "breakout_")
        assert is_null(row["reason"]) == all(f is not None for f in found)


KEYS = {}


def setup_module():
    tape = sample.day_tape(n=400, seed=1)
    high, low = sample.day_range(tape)
    KEYS["tape"] = list(zjkit.trans_analysis(tape, 10.0, high, low))
    KEYS["screening"] = list(zjkit.screening_metrics(tape))
    KEYS["breakout"] = list(zjkit.trans_breakout(tape, 10.0))
    KEYS["tick"] = list(zjkit.tick_analysis(sample.minute_chart(), 10.0))
    kind = sample.auctions()["staircase"]
    KEYS["scan"] = list(zjkit.auction_scan(kind["data"]))
    KEYS["false_sell"] = list(zjkit.auction_false_sell(kind["data"]))


@SETTINGS
@given(st.sampled_from(FLAVOURS), st.integers(1, 4), st.booleans(), st.sampled_from([None, 9.9]))
def test_minutes_equal_the_dict_function(flavour, count, short, low_price):
    charts = sample.minute_charts(count, seed=count)
    by_symbol = {}
    days = {}
    for i, (pre_close, chart) in enumerate(charts):
        symbol = SYMBOLS[i]
        by_symbol[symbol] = chart[:6] if short and i == 0 else chart
        days[symbol] = {"pre_close": pre_close}
    out = frame.minutes(table_of(by_symbol, flavour), days, low_price=low_price, workers=2)
    for row in rows_of(out):
        symbol = row["symbol"]
        expected = zjkit.tick_analysis(by_symbol[symbol], days[symbol]["pre_close"], low_price)
        check_row(row, expected or dict.fromkeys(KEYS["tick"]))
        assert is_null(row["reason"]) == (expected is not None)


@SETTINGS
@given(st.sampled_from(FLAVOURS), st.booleans(), st.integers(0, 100), st.booleans())
def test_auctions_equal_the_dict_functions(flavour, with_days, threshold, float_vol):
    kinds = sample.auctions()
    by_symbol = {f"{i:06d}": kind["data"] for i, kind in enumerate(kinds.values())}
    by_symbol["999999"] = kinds["staircase"]["data"][:10]
    prices = ("open_price", "pre_close", "limit_up", "limit_down")
    days = {s: {k: kind[k] for k in prices} for s, kind in zip(by_symbol, kinds.values())}
    days["999999"] = {"pre_close": 10.0}
    out = frame.auctions(table_of(by_symbol, flavour, float_vol), days if with_days else None,
                         threshold=threshold)
    rows = rows_of(out)
    assert [r["symbol"] for r in rows] == sorted(by_symbol)
    for row in rows:
        data = by_symbol[row["symbol"]]
        given_prices = days[row["symbol"]] if with_days else {}
        scan = zjkit.auction_scan(data, threshold, **given_prices)
        check_row(row, scan or dict.fromkeys(KEYS["scan"]))
        sell = zjkit.auction_false_sell(data, threshold)
        check_row(row, sell or dict.fromkeys(KEYS["false_sell"]), "false_sell_")
    assert is_null(rows[-1]["morphology_scores_0"])
    assert rows[-1]["reason"] == "fewer than 15 snapshots in 09:15-09:25"


@SETTINGS
@given(st.sampled_from(FLAVOURS), st.integers(1, 3), st.sampled_from(["text", "unix"]))
def test_zones_equal_the_dict_function(flavour, count, times):
    by_symbol = {}
    for i in range(count):
        by_symbol[SYMBOLS[i]] = sample.strokes(n=5 + 7 * i, seed=i, times=times)
    rows = rows_of(frame.zones(table_of(by_symbol, flavour)))
    expected = []
    for s in sorted(by_symbol):
        expected += [{"symbol": s, **z} for z in zjkit.get_zs_seq(by_symbol[s])]
    assert rows == expected


# ---- tables as callers hold them ---------------------------------------------------


def test_timestamps_of_one_day_default_trade_count_and_days_by_index():
    tape = sample.day_tape(300, seed=5)
    df = pd.DataFrame(tape).drop(columns="trade_count")
    df["time"] = pd.to_datetime("2024-03-01 " + df["time"])
    df["symbol"] = "000001"
    high, low = sample.day_range(tape)
    days = pd.DataFrame({"pre_close": [10.0], "high": [high], "low": [low]},
                        index=pd.Index(["000001"], name="ts_code"))
    out = frame.tape(df, days)
    ones = [dict(r, trade_count=1) for r in tape]
    check_row(rows_of(out)[0], zjkit.trans_analysis(ones, 10.0, high, low))


# ---- bad input -------------------------------------------------------------------------


def good_tapes():
    return {"000001": sample.day_tape(60, seed=1), "000002": sample.day_tape(60, seed=2)}


DAYS = {s: {"pre_close": 10.0, "high": 11.0, "low": 9.0} for s in ("000001", "000002")}


def edited(change):
    def build():
        df = table_of(good_tapes(), "pandas")
        change(df)
        return df
    return build


def set_cell(column, row, value):
    def change(df):
        df.loc[row, column] = value
    return change


def float_vol_with(row, value):
    def change(df):
        df["vol"] = df["vol"].astype(float)
        df.loc[row, "vol"] = value
    return change


def two_dates(df):
    df["time"] = pd.to_datetime("2024-03-01 " + df["time"])
    df.loc[70, "time"] = pd.Timestamp("2024-03-04 10:00:00")


BAD_TABLES = [
    ("empty symbol", edited(set_cell("symbol", 5, "")),
     ValueError, r"row 5: the symbol is empty"),
    ("null symbol", edited(set_cell("symbol", 7, None)),
     ValueError, r"row 7: the symbol is null"),
    ("mixed days", edited(two_dates),
     ValueError, r"column 'time', row 70: date 2024-03-04 differs .* \(mixed days\)"),
]


@pytest.mark.parametrize("name, build, error, message", BAD_TABLES, ids=[b[0] for b in BAD_TABLES])
def test_bad_tables_raise_naming_the_place(name, build, error, message):
    with pytest.raises(error, match=message):
        frame.tape(build(), DAYS)


BAD_SYMBOLS = [
    ("missing from days", edited(set_cell("symbol", 0, "000003")),
     "000003", r"^not in days$"),
    ("nan price", edited(set_cell("price", 63, float("nan"))),
     "000002", r"^Invalid price nan in record 3 \(row 63\)$"),
    ("null volume", edited(float_vol_with(62, float("nan"))),
     "000002", r"^missing vol \(null\) at row 62$"),
    ("flag beyond 32 bits", edited(set_cell("bs_flag", 1, 2**40)),
     "000001", r"^bs_flag 1099511627776 at row 1 does not fit a 32-bit integer$"),
]


@pytest.mark.parametrize("name, build, symbol, message", BAD_SYMBOLS,
                         ids=[b[0] for b in BAD_SYMBOLS])
def test_bad_symbols_raise_or_are_collected(name, build, symbol, message):
    df = build()
    with pytest.raises(ValueError, match=f"symbol '{symbol}': " + message.lstrip("^")):
        frame.tape(df, DAYS)
    result, errors = frame.tape(df, DAYS, errors="collect")
    assert list(errors["symbol"]) == [symbol]
    assert errors["error"].str.fullmatch(message.strip("^$")).all()
    assert symbol not in set(result["symbol"])
    assert len(result) == df["symbol"].nunique() - 1


BAD_DAYS = [
    ("no pre_close", {s: {"high": 11.0, "low": 9.0} for s in DAYS},
     ValueError, r"days has no column 'pre_close'"),
    ("repeated symbol", pd.DataFrame({"symbol": ["000001", "000001"], "pre_close": [1.0, 1.0],
                                      "high": [2.0, 2.0], "low": [1.0, 1.0]}),
     ValueError, r"days: symbol '000001' appears twice \(rows 0 and 1\)"),
    ("bad reference price", {s: dict(d, pre_close=-1.0) for s, d in DAYS.items()},
     ValueError, r"symbol '000001': Invalid pre_close -1.0"),
    ("high below low", {s: dict(d, high=8.0) for s, d in DAYS.items()},
     ValueError, r"symbol '000001': high 8.0 < low 9.0"),
    ("text price", {"000001": {"pre_close": "x"}},
     TypeError, r"days\['000001'\]\['pre_close'\]"),
]


@pytest.mark.parametrize("name, days, error, message", BAD_DAYS, ids=[b[0] for b in BAD_DAYS])
def test_bad_days_raise(name, days, error, message):
    with pytest.raises(error, match=message):
        frame.tape(table_of(good_tapes(), "pyarrow"), days)


BAD_ARGUMENTS = [
    ({"errors": "ignore"}, ValueError, r"errors must be 'raise' or 'collect'"),
    ({"workers": 0}, ValueError, r"workers must be at least 1"),
    ({"breakout": float("nan")}, ValueError, r"Invalid breakout nan"),
]


@pytest.mark.parametrize("kwargs, error, message", BAD_ARGUMENTS)
def test_bad_arguments_raise(kwargs, error, message):
    with pytest.raises(error, match=message):
        frame.tape(table_of(good_tapes(), "polars"), DAYS, **kwargs)


def test_collected_errors_come_in_the_callers_flavour():
    up = [dict(s, direction="up") for s in sample.strokes(n=4)]
    strokes = {"000001": sample.strokes(n=6), "000002": up}
    result, errors = frame.zones(table_of(strokes, "polars"), errors="collect")
    assert isinstance(errors, pl.DataFrame)
    message = "Invalid direction 'up', expected Up/Down in record 0 (row 6)"
    assert errors.to_dicts() == [{"symbol": "000002", "error": message}]
    assert set(result["symbol"]) == {"000001"}


def one_symbol(records, row=None, key=None, value=None):
    df = pd.DataFrame(records)
    df["symbol"] = "000001"
    if row is not None:
        df.loc[row, key] = value
    return df


STAIRCASE = sample.auctions()["staircase"]["data"]
CHART = sample.minute_chart()
PER_SYMBOL_ERRORS = [
    ("minute pre_close", lambda: frame.minutes(one_symbol(CHART), {"000001": {"pre_close": 0}},
                                               errors="collect"),
     "Invalid pre_close 0.0"),
    ("auction nan price", lambda: frame.auctions(one_symbol(STAIRCASE, 5, "price", math.nan),
                                                 errors="collect"),
     "NaN price at 09:15:15"),
]


@pytest.mark.parametrize("name, call, message", PER_SYMBOL_ERRORS,
                         ids=[e[0] for e in PER_SYMBOL_ERRORS])
def test_each_analysis_reports_bad_symbols(name, call, message):
    result, errors = call()
    assert len(result) == 0
    assert errors.to_dict("records") == [{"symbol": "000001", "error": message}]


MISSING_DAYS = [
    (lambda: frame.tape(one_symbol(good_tapes()["000001"]), None),
     "^days is required: pre_close, high and low of each symbol$"),
    (lambda: frame.minutes(one_symbol(CHART), None),
     "^days is required: pre_close of each symbol$"),
]


@pytest.mark.parametrize("call, message", MISSING_DAYS)
def test_the_days_an_analysis_needs(call, message):
    with pytest.raises(ValueError, match=message):
        call()


def test_strokes_need_their_ends():
    df = one_symbol(sample.strokes(n=4)).drop(columns=["edt"])
    with pytest.raises(ValueError, match="missing column 'edt' or 'edt_ts' \\(stroke field\\)"):
        frame.zones(df)
