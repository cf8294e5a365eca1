"""zjkit.frame.signals: every table flavour against the dict functions, the
layouts, ordering by symbol and time, and bad tables and configurations."""

import numpy as np
import pandas as pd
import polars as pl
import pyarrow as pa
import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import zjkit
import zjkit.sample
from zjkit import frame

FIELDS = ["open", "high", "low", "close", "vol", "amount"]

# Valid values per signal and parameter (small periods, so that short
# series still reach readings).
PARAMS = {
    "zj_wavetrend_V260625": {"n1": [3, 10], "n2": [5, "21"], "n3": [1, 4]},
    "zj_wavetrend_zone_V260724": {"n1": [4, 10], "n2": [6, 21], "n3": ["+2", 4]},
    "zj_ttm_squeeze_V260711": {
        "n1": [2, 8], "n2": [1.5, 0.75], "n3": [5, 20], "n4": [2, 1.25], "n5": [0, 9],
    },
    "zj_ic_state_V260718": {"n1": [3, 9], "n2": [5, 26], "n3": [8, 52], "di": [1, 2]},
    "zj_dmi_state_V260714": {"n1": [2, 14], "n2": [2, 6]},
    "zj_osc_state_V260720": {"n": [3, 20], "m": [1, 6]},
    "zj_osc_state_V260721": {"n": [3, 20], "m": [2, 6], "scale": [0.5, "2"]},
    "zj_vol_ratio_V260721": {"n": [1, 20]},
}


def bars_of(symbol, n, seed):
    return zjkit.sample.daily_bars(n=n, seed=seed, symbol=symbol) if n else []


def columns_of(bars):
    cols = {"symbol": np.array([b["symbol"] for b in bars], dtype=object)}
    cols["dt"] = np.array([b["dt"] for b in bars], dtype="datetime64[ns]")
    for f in FIELDS:
        cols[f] = np.array([b[f] for b in bars], dtype=np.float64)
    return cols


def in_flavour(cols, flavour):
    if flavour == "dict":
        return cols
    # NaN prices become Arrow nulls, which read back as NaN.
    table = pa.table({k: pa.array(list(v) if v.dtype == object else v, from_pandas=True)
                      for k, v in cols.items()})
    if flavour == "pandas":
        return pd.DataFrame(cols)
    if flavour == "polars":
        return pl.from_arrow(table)
    return table


def as_pandas(result):
    if isinstance(result, pd.DataFrame):
        return result
    if isinstance(result, dict):
        return pd.DataFrame(result)
    return result.to_pandas()


def reference(symbol_bars, configs):
    """generate_all_signals over one symbol's bars: the wide cells."""
    flat = [{"name": c["name"], "freq": c.get("freq", ""), **c.get("params", {})} for c in configs]
    return zjkit.generate_all_signals(symbol_bars, flat, init_n=0, df=True)


@st.composite
def cases(draw):
    lengths = draw(st.lists(st.integers(0, 110), min_size=1, max_size=3))
    names = draw(st.lists(st.sampled_from(sorted(PARAMS)), min_size=1, max_size=4, unique=True))
    configs = []
    for name in names:
        keys = draw(st.lists(st.sampled_from(sorted(PARAMS[name])), unique=True))
        params = {k: draw(st.sampled_from(PARAMS[name][k])) for k in keys}
        freq = draw(st.sampled_from(["", "日线"]))
        configs.append({"name": name, "freq": freq, "params": params})
    flavour = draw(st.sampled_from(["pandas", "polars", "pyarrow", "dict"]))
    holes = draw(st.booleans())
    return lengths, configs, flavour, holes, draw(st.randoms(use_true_random=False))


@settings(max_examples=40, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(cases())
def test_every_flavour_gives_the_cells_of_the_dict_functions(case):
    lengths, configs, flavour, holes, rnd = case
    symbols = [f"{600000 + i}.SH" for i in range(len(lengths))]
    per_symbol = {s: bars_of(s, n, seed=i) for i, (s, n) in enumerate(zip(symbols, lengths))}
    for bar in (b for bars in per_symbol.values() for b in bars if holes and rnd.random() < 0.03):
        bar[rnd.choice(["close", "high", "vol"])] = float("nan")  # missing values: NaN both ways
    rows = [b for s in symbols for b in per_symbol[s]]
    rnd.shuffle(rows)  # symbols interleaved, times in any order
    if not rows:
        return
    table = in_flavour(columns_of(rows), flavour)
    wide = as_pandas(frame.signals(table, configs, workers=rnd.choice([1, 2])))
    long = as_pandas(frame.signals(table, configs, layout="long", workers=2))
    present = [s for s in dict.fromkeys(b["symbol"] for b in rows)]  # first appearance
    assert list(dict.fromkeys(wide["symbol"].astype(str))) == present
    for s in present:
        ref = reference(per_symbol[s], configs)
        got = wide[wide["symbol"].astype(str) == s]
        headers = list(ref.columns[2:])
        assert list(wide.columns[2:]) == headers
        assert list(got["dt"].dt.strftime("%Y-%m-%d")) == list(ref["dt"])
        for h in headers:
            assert list(got[h].astype(str)) == list(ref[h]), h
        # The long layout holds the records dispatch gives, configuration by
        # configuration, and their cells are the wide column's newest ones.
        mine = long[long["symbol"].astype(str) == s]
        at = 0
        for c, h in zip(configs, headers):
            texts = {k: str(v) for k, v in c["params"].items()}
            one = {"name": c["name"], "freq": c["freq"], "params": texts}
            records = zjkit.generate_zj_signals([one], per_symbol[s])
            block = mine.iloc[at:at + len(records)]
            at += len(records)
            expected = [(c["name"], c["freq"], r["v1"], r["v2"], r["v3"]) for r in records]
            fields = (block[k].astype(str) for k in ("signal", "freq", "v1", "v2", "v3"))
            assert list(zip(*fields)) == expected
            assert list(block["dt"]) == list(got["dt"].iloc[len(got) - len(block):])
            parts = (block[k].astype(str) for k in ("v1", "v2", "v3", "score"))
            cells = ["_".join(p) for p in zip(*parts)]
            assert cells == list(got[h].astype(str).iloc[len(got) - len(block):])
        assert at == len(mine)


def small_table(n=40, symbols=("A", "B")):
    bars = [b for i, s in enumerate(symbols) for b in bars_of(s, n, seed=i)]
    return columns_of(bars)


WT = "zj_wavetrend_V260625"
TTM = "zj_ttm_squeeze_V260711"


def duplicated():
    cols = small_table()
    cols["dt"][5] = cols["dt"][4]
    return cols


BAD_TABLES = [
    # (table, options, error, message fragment)
    ({k: v for k, v in small_table().items() if k != "close"}, {}, ValueError, "close"),
    (duplicated(), {"sort": False}, ValueError, "duplicated time 2022-01-10 of symbol 'A'"),
    ({k: v[::-1] for k, v in small_table().items()}, {"sort": False}, ValueError, "row 1:"),
    ([{"dt": "2024-01-02"}], {}, TypeError, "not list"),
]


@pytest.mark.parametrize("table, options, error, message", BAD_TABLES)
def test_bad_tables_raise_naming_the_problem(table, options, error, message):
    with pytest.raises(error, match=message):
        frame.signals(table, [WT], **options)


BAD_SIGNALS = [
    ("zj_nothing", ValueError, "unknown signal 'zj_nothing'"),
    ({"name": WT, "params": {"n9": 1}}, ValueError, r"unknown parameter 'n9'; known: n1, n2, n3"),
    ({"name": "zj_wavetrend_zone_V260724", "params": {"_init_n": 5}}, ValueError, "'_init_n'"),
    ({"name": WT, "n1": 5}, ValueError, "unknown key 'n1'"),
    ({"freq": "F"}, ValueError, "missing 'name'"),
    ({"name": WT, "params": {"n1": "abc"}}, ValueError, "'n1' = 'abc' is not a whole number"),
    ({"name": TTM, "params": {"n1": 1}}, ValueError, r"'n1' = '1' must be in \[2, inf\)"),
    ({"name": TTM, "params": {"n2": float("nan")}}, ValueError, "'n2' = 'nan' is not a finite"),
    ({"name": "zj_osc_state_V260721", "params": {"scale": 0}}, ValueError, r"in \(0, inf\)"),
    ({"name": WT, "params": {"n1": [1]}}, TypeError, "str, int, float or bool, not list"),
    ({"name": WT, "params": {1: "2"}}, TypeError, "parameter names must be str"),
    ({"name": 5}, TypeError, "must be a str, not int"),
    (7, TypeError, "must be a str or a dict, not int"),
]


@pytest.mark.parametrize("signal, error, message", BAD_SIGNALS)
def test_bad_configurations_raise_naming_them(signal, error, message):
    with pytest.raises(error, match=message):
        frame.signals(small_table(), [WT, signal])


def test_bad_options():
    cases = [
        ({"layout": "tall"}, ValueError, "layout"),
        ({"workers": 0}, ValueError, "workers"),
        ({"workers": 1.5}, TypeError, "workers"),
        ({"sort": "yes"}, TypeError, "sort"),
    ]
    for options, error, message in cases:
        with pytest.raises(error, match=message):
            frame.signals(small_table(), [WT], **options)
    with pytest.raises(ValueError, match=r"signals\[0\] and signals\[1\] give the same column"):
        frame.signals(small_table(), [WT, {"name": WT}])
    with pytest.raises(ValueError, match="at least one signal"):
        frame.signals(small_table(), [])


def test_tushare_layout_newest_first_gives_the_oldest_first_result():
    bars = bars_of("000001.SZ", 120, seed=3)
    tushare = pd.DataFrame(bars[::-1]).drop(columns="amount")
    tushare = tushare.rename(columns={"symbol": "ts_code", "vol": "volume"})
    tushare["trade_date"] = tushare.pop("dt").str.replace("-", "").astype(int)
    got = frame.signals(tushare, [WT, "zj_ic_state_V260718"], columns={"vol": "volume"})
    ref = reference(bars, [{"name": WT}, {"name": "zj_ic_state_V260718"}])
    assert list(got.columns) == ["symbol", "dt", *ref.columns[2:]]
    assert got["dt"].dtype == "datetime64[ns]"
    assert list(got["dt"].dt.strftime("%Y-%m-%d")) == list(ref["dt"])
    for h in ref.columns[2:]:
        assert list(got[h].astype(str)) == list(ref[h])
    # The Ichimoku record sits on the newest row only.
    ic = got.iloc[:, -1].astype(str)
    assert set(ic.iloc[:-1]) == {"其他_任意_任意_0"}


def test_long_layout_columns_types_and_order():
    cols = small_table(n=30, symbols=("B", "A"))
    configs = [{"name": "zj_vol_ratio_V260721", "freq": "日线", "params": {"n": 3}},
               {"name": "zj_ic_state_V260718", "params": {"n1": 3, "n2": 5, "n3": 8}}]
    got = frame.signals(pd.DataFrame(cols), configs, layout="long")
    assert list(got.columns) == ["symbol", "dt", "signal", "freq", "v1", "v2", "v3", "score"]
    assert got["score"].dtype == np.int32
    assert got["dt"].dtype == "datetime64[ns]"
    assert all(isinstance(got[k].dtype, pd.CategoricalDtype) for k in ("v1", "v2", "v3"))
    # Symbols by first appearance, then configuration, then time: 30 + 1 rows each.
    assert list(got["symbol"].astype(str)) == ["B"] * 31 + ["A"] * 31
    signals = ["zj_vol_ratio_V260721"] * 30 + ["zj_ic_state_V260718"]
    assert list(got["signal"].astype(str)[:31]) == signals
    assert list(got["freq"].astype(str)[29:31]) == ["日线", ""]
    assert got["dt"].iloc[30] == got["dt"].iloc[29]  # the Ichimoku record: the newest bar
    assert got["dt"].iloc[:30].is_monotonic_increasing
    plain = frame.signals(cols, configs, layout="long")
    assert plain["v1"].dtype.kind == "U" and plain["score"].dtype == np.int32


def test_flavours_workers_and_silence(capfd):
    cols = small_table(n=60, symbols=("X", "Y", "Z"))
    configs = sorted(PARAMS)
    base = frame.signals(pd.DataFrame(cols), configs, workers=1)
    for flavour, kind in [("polars", pl.DataFrame), ("pyarrow", pa.Table), ("dict", dict)]:
        got = frame.signals(in_flavour(cols, flavour), configs, workers=2)
        assert isinstance(got, kind)
        pd.testing.assert_frame_equal(as_pandas(got).astype(str), base.astype(str))
    assert capfd.readouterr().err == ""


def test_without_symbol_column_the_table_is_one_series():
    cols = small_table(n=50, symbols=("A",))
    del cols["symbol"]
    got = frame.signals(cols, [WT], layout="long")
    assert "symbol" not in got and len(got["dt"]) == 50
    empty = frame.signals({k: v[:0] for k, v in cols.items()}, [WT])
    assert [len(v) for v in empty.values()] == [0, 0]


def test_date_major_table_without_sorting():
    cols = small_table(n=45, symbols=("A", "B", "C"))
    order = np.lexsort((cols["symbol"].astype(str), cols["dt"]))  # by date, then symbol
    by_date = {k: v[order] for k, v in cols.items()}
    configs = [WT, "zj_dmi_state_V260714"]
    unsorted = frame.signals(by_date, configs, sort=False)
    expected = frame.signals(cols, configs)
    for k in expected:
        assert list(unsorted[k]) == list(expected[k]), k


def test_collect_leaves_out_bad_symbols_and_names_them():
    cols = duplicated()  # symbol A repeats a time; B is fine
    clean = {k: v[cols["symbol"] == "B"] for k, v in cols.items()}
    expected = frame.signals(clean, [WT])
    for flavour in ["pandas", "polars", "pyarrow", "dict"]:
        got, errors = frame.signals(in_flavour(cols, flavour), [WT], errors="collect")
        got, errors = as_pandas(got), as_pandas(errors)
        assert list(got[got.columns[-1]].astype(str)) == list(expected[got.columns[-1]])
        assert set(got["symbol"].astype(str)) == {"B"}
        assert list(errors["symbol"]) == ["A"]
        assert list(errors["error"]) == ["duplicated time 2022-01-10 of symbol 'A' (row 5)"]
    fine, none = frame.signals(clean, [WT], layout="long", errors="collect")
    assert len(none["symbol"]) == 0 and len(fine["dt"]) == 40
    with pytest.raises(ValueError, match="errors must be"):
        frame.signals(clean, [WT], errors="ignore")
