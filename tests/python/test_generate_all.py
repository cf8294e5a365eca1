"""generate_all_signals: built-in columns, the hand-off to czsc, and the table."""

import datetime
import os
import sys
import types

import numpy as np
import pandas as pd
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import zjkit._native as native

WT = "zj_wavetrend_V260625"
ZONE = "zj_wavetrend_zone_V260724"
IC = "zj_ic_state_V260718"
DEFAULT_CELL = "其他_任意_任意_0"
MISSING_CZSC = "signals_config 包含非 zj 信号，但未安装 czsc；请安装: pip install zjkit[czsc]"
WT_PARAMS = {"n1": "10", "n2": "21", "n3": "4"}


def cells_of(configs, bars, init_n=500):
    """Per configuration, the text of each bar's record (without its score), via
    generate_zj_signals with the "_init_n" that generate_all_signals adds."""
    configs = [{"name": c["name"], "params": {**c.get("params", {}), "_init_n": str(init_n)}} for c in configs]
    records = native.generate_zj_signals(configs, bars)
    n = len(bars)
    blocks = [records[i * n:(i + 1) * n] for i in range(len(configs))]
    return [[f"{r['v1']}_{r['v2']}_{r['v3']}" for r in block] for block in blocks]


def without_score(cell):
    return cell.rsplit("_", 1)[0]


class FakeCzsc(types.ModuleType):
    """Stands in for czsc: records its calls and returns a chosen result."""

    def __init__(self, result=None, error=None):
        super().__init__("czsc")
        self.calls = []
        self.result = result
        self.error = error

    def generate_czsc_signals(self, *args, **kwargs):
        self.calls.append((args, kwargs))
        if self.error is not None:
            raise self.error
        return self.result


@pytest.fixture
def fake_czsc(monkeypatch):
    def install(**kw):
        fake = FakeCzsc(**kw)
        monkeypatch.setitem(sys.modules, "czsc", fake)
        return fake
    return install


def czsc_rows(bars, start):
    """What czsc returns without df: one dict per bar from `start`, signal columns first."""
    return [{"czsc_sig": "向上_任意_任意_0", "dt": b["dt"], "close": b["close"]} for b in bars[start:]]


# ---- built-in only ---------------------------------------------------------------------------

def test_builtin_only_rows_follow_the_bars(daily_bars):
    configs = [{"name": WT, "freq": "日线", "params": WT_PARAMS}, {"name": ZONE, "freq": "日线"}]
    records = native.generate_all_signals(daily_bars, configs)
    wt_col, zone_col = "日线_D1WT#10#21#4_V260625", "日线_D1WT#_区位V260724"
    assert len(records) == len(daily_bars)
    assert list(records[0]) == ["dt", "close", wt_col, zone_col]
    assert [r["dt"] for r in records] == [b["dt"] for b in daily_bars]
    assert [r["close"] for r in records] == [b["close"] for b in daily_bars]
    wt, zone = cells_of(configs, daily_bars)
    assert [without_score(r[wt_col]) for r in records] == wt
    assert [without_score(r[zone_col]) for r in records] == zone
    assert all(r[wt_col].rsplit("_", 1)[1].isdigit() for r in records)

    table = native.generate_all_signals(daily_bars, configs, df=True)
    assert isinstance(table, pd.DataFrame)
    assert list(table.columns) == ["dt", "close", wt_col, zone_col]
    assert table.to_dict("records") == records


@pytest.mark.parametrize("config, column", [
    ({"name": WT, "freq": "F", "n1": 10, "n2": 21.0, "n3": True}, "F_D1WT#10#21#1_V260625"),
    ({"name": WT, "freq": "F", "n1": -3, "n2": 1e22, "n3": 2**70},
     "F_D1WT#-3#10000000000000000000000#1180591620717411303424_V260625"),
    # "params" with a non-str value gives way to the top-level entries.
    ({"name": WT, "freq": "F", "params": {"n1": 10}, "n2": 8}, "F_D1WT#8_V260625"),
    # Values of other types are skipped; a freq that is not a str is empty.
    ({"name": ZONE, "freq": 5, "n1": None, "n2": [1], "n3": np.int64(4)}, "_D1WT#_区位V260724"),
])
def test_column_names_and_parameter_texts(config, column):
    (record,) = native.generate_all_signals([{"dt": "d", "close": 1.0}], [config])
    assert list(record) == ["dt", "close", column]


@settings(max_examples=60, deadline=None)
@given(st.one_of(st.floats(allow_nan=False, allow_infinity=False), st.integers(-10**30, 10**30)))
def test_parameter_texts_read_back_exactly(x):
    (record,) = native.generate_all_signals([{}], [{"name": WT, "freq": "F", "n1": x}])
    text = list(record)[2].removeprefix("F_D1WT#").removesuffix("_V260625")
    assert "e" not in text and "E" not in text and not text.endswith(".0")
    assert (float(text) == x) if isinstance(x, float) else (text == str(x))


def test_a_repeated_configuration_fails_in_pandas(daily_bars):
    with pytest.raises(ValueError, match="already exists"):
        native.generate_all_signals(daily_bars, [{"name": WT}, {"name": WT}])


def test_bars_as_objects(daily_bars):
    dict_run = native.generate_all_signals(daily_bars, [{"name": WT}, {"name": ZONE}])
    objects = [types.SimpleNamespace(**b) for b in daily_bars]
    assert native.generate_all_signals(objects, [{"name": WT}, {"name": ZONE}]) == dict_run

    class Broken:
        @property
        def close(self):
            raise RuntimeError("no close")

    odd = [Broken(), types.SimpleNamespace(dt=datetime.datetime(2024, 1, 2), close="9"), object(), {"close": 2}]
    out = native.generate_all_signals(odd, [{"name": WT}])
    assert [(r["dt"], r["close"]) for r in out] == [("", 0.0), ("", 0.0), ("", 0.0), ("", 2.0)]


# ---- bad input ---------------------------------------------------------------------------

@pytest.mark.parametrize("args, kwargs, error, message", [
    (([], []), {}, ValueError, "bars 不能为空"),
    (([], [{"name": "x"}]), {}, ValueError, "bars 不能为空"),
    (([{}], []), {}, ValueError, "signals_config 不能为空"),
    (([{}], [1]), {}, TypeError, "'int' object is not an instance of 'dict'"),
    (([{}], [{"name": WT}, {"freq": "F"}]), {}, ValueError, "Missing 'name'"),
    (([{}], [{"name": 5}]), {}, TypeError, "'int' object is not an instance of 'str'"),
    (((), [{"name": WT}]), {}, TypeError, "argument 'bars': 'tuple' object is not an instance of 'list'"),
    (([{}], None), {}, TypeError, "argument 'signals_config': 'None' is not an instance of 'list'"),
    (([{}], [{"name": WT}]), {"sdt": 20170101}, TypeError, "argument 'sdt': 'int' object is not an instance of 'str'"),
    (([{}], [{"name": WT}]), {"init_n": 1.5}, TypeError, "argument 'init_n': "),
    (([{}], [{"name": WT}]), {"init_n": -1}, OverflowError, ""),
    (([{}], [{"name": WT}]), {"df": 1}, TypeError, "argument 'df': 'int' object is not an instance of 'bool'"),
    (([{}],), {}, TypeError, "generate_all_signals() missing 1 required positional argument: 'signals_config'"),
])
def test_bad_input(args, kwargs, error, message, fake_czsc):
    fake = fake_czsc(result=[])
    with pytest.raises(error) as info:
        native.generate_all_signals(*args, **kwargs)
    assert str(info.value).startswith(message)
    assert fake.calls == []  # every configuration is checked before czsc runs


def test_missing_czsc_is_reported_only_when_needed(monkeypatch, daily_bars):
    monkeypatch.setitem(sys.modules, "czsc", None)  # hides the package from import
    assert len(native.generate_all_signals(daily_bars, [{"name": WT}])) == len(daily_bars)
    with pytest.raises(ImportError) as info:
        native.generate_all_signals(daily_bars, [{"name": WT}, {"name": "czsc.signals.bar_zdt_V230331"}])
    assert str(info.value) == MISSING_CZSC
    assert info.value.__context__ is None and info.value.__cause__ is None


def test_other_errors_while_loading_czsc_propagate(monkeypatch):
    class Exploding:
        def find_spec(self, name, path=None, target=None):
            if name == "czsc":
                raise RuntimeError("czsc failed to initialise")
            return None

    monkeypatch.delitem(sys.modules, "czsc", raising=False)
    monkeypatch.setattr(sys, "meta_path", [Exploding(), *sys.meta_path])
    with pytest.raises(RuntimeError, match="czsc failed to initialise"):
        native.generate_all_signals([{}], [{"name": "czsc.signals.x"}])


# ---- the hand-off to czsc ----------------------------------------------------------------

def test_czsc_gets_the_callers_objects(fake_czsc, monkeypatch):
    sentinel = object()
    fake = fake_czsc(result=sentinel)
    monkeypatch.setitem(sys.modules, "pandas", None)  # only foreign configurations: pandas is not needed
    bars = [{"dt": "d"}]
    # Names the registry lacks (case counts) are czsc's.
    a, b = {"name": WT.upper(), "freq": "日线", "di": 1}, {"name": "czsc.signals.b"}
    assert native.generate_all_signals(bars, [a, b]) is sentinel
    sdt = type("Sdt", (str,), {})("20200101")
    assert native.generate_all_signals(bars, [b], sdt, 0, np.True_) is sentinel
    assert native.generate_all_signals(bars, [a], init_n=True, df=False) is sentinel

    (args1, kw1), (args2, _), (args3, _) = fake.calls
    assert kw1 == {}
    assert args1[0] is bars and args1[1][0] is a and args1[1][1] is b and len(args1[1]) == 2
    assert args1[2:] == ("20170101", 500, False)
    assert args2[2] is sdt and args2[3] == 0 and type(args2[4]) is np.bool_
    assert args3[3] is True


def test_czsc_errors_propagate_unchanged(fake_czsc, daily_bars):
    error = KeyError("00:00")
    fake_czsc(error=error)
    with pytest.raises(KeyError) as info:
        native.generate_all_signals(daily_bars, [{"name": WT}, {"name": "czsc.signals.x"}])
    assert info.value is error


def test_builtin_columns_follow_czsc_rows(fake_czsc, daily_bars):
    n, start = len(daily_bars), 100
    fake = fake_czsc(result=czsc_rows(daily_bars, start))
    configs = [{"name": "czsc.signals.x"}, {"name": WT, "freq": "日线"}, {"name": ZONE, "freq": "日线"}]
    records = native.generate_all_signals(daily_bars, configs, "20170101", start)
    assert fake.calls[0][0][3] == start
    wt, zone = cells_of(configs[1:], daily_bars, init_n=start)
    assert len(records) == n - start
    assert list(records[0]) == ["czsc_sig", "dt", "close", "日线_D1WT#_V260625", "日线_D1WT#_区位V260724"]
    assert [r["dt"] for r in records] == [b["dt"] for b in daily_bars[start:]]
    assert [without_score(r["日线_D1WT#_V260625"]) for r in records] == wt[start:]
    assert [without_score(r["日线_D1WT#_区位V260724"]) for r in records] == zone[start:]

    table = pd.DataFrame(czsc_rows(daily_bars, start))
    fake.result = table
    out = native.generate_all_signals(daily_bars, configs, "20170101", start, True)
    assert out is table  # czsc's table, with the built-in columns appended in place
    assert out.to_dict("records") == records


# ---- blocks shorter than the table ---------------------------------------------------------

def test_a_block_shorter_than_the_table_is_padded_at_the_top(fake_czsc, daily_bars):
    # czsc's table has more rows than there are bars: every built-in block is short.
    extra = [{"czsc_sig": "x", "dt": "early", "close": 0.0}] * 3
    fake_czsc(result=extra + czsc_rows(daily_bars, 0))
    records = native.generate_all_signals(daily_bars, [{"name": "x"}, {"name": WT}, {"name": ZONE}])
    (wt, zone) = cells_of([{"name": WT}, {"name": ZONE}], daily_bars)
    assert [r["_D1WT#_V260625"] for r in records[:3]] == [DEFAULT_CELL] * 3
    assert [without_score(r["_D1WT#_V260625"]) for r in records[3:]] == wt
    assert [without_score(r["_D1WT#_区位V260724"]) for r in records[3:]] == zone


@pytest.mark.skipif(IC not in native.zj_signal_list(), reason="the Ichimoku state signal is not built in yet")
def test_a_single_record_signal_sits_on_the_last_row(daily_bars):
    configs = [{"name": WT}, {"name": IC}, {"name": ZONE}]
    records = native.generate_all_signals(daily_bars, configs)
    wt, zone = cells_of([{"name": WT}, {"name": ZONE}], daily_bars)
    ic_col = "_D1IC#_V260718"
    assert [r[ic_col] for r in records[:-1]] == [DEFAULT_CELL] * (len(daily_bars) - 1)
    (last,) = native.generate_zj_signals([{"name": IC}], daily_bars)
    assert without_score(records[-1][ic_col]) == f"{last['v1']}_{last['v2']}_{last['v3']}"
    # The columns after it keep their own alignment.
    assert [without_score(r["_D1WT#_V260625"]) for r in records] == wt
    assert [without_score(r["_D1WT#_区位V260724"]) for r in records] == zone


# ---- against the real czsc ---------------------------------------------------------------

try:
    import czsc
except ImportError:  # pragma: no cover - CI installs zjkit[czsc]
    czsc = None

needs_czsc = pytest.mark.skipif(
    czsc is None and not os.environ.get("CI"),
    reason="czsc 0.9.59 is not installed (pip install zjkit[czsc]); CI always runs these")

CZSC_CONFIGS = [
    {"name": "czsc.signals.cxt_bi_base_V230228", "freq": "日线", "bi_init_length": 9},
    {"name": "czsc.signals.tas_ma_base_V221101", "freq": "日线", "di": 1, "ma_type": "SMA", "timeperiod": 5},
    {"name": "czsc.signals.tas_macd_base_V221028", "freq": "日线", "di": 1, "key": "macd"},
    {"name": "czsc.signals.bar_zdt_V230331", "freq": "日线", "di": 1},
]


@pytest.fixture(scope="module")
def raw_bars():
    import zjkit.sample
    from czsc import Freq, RawBar
    bars = zjkit.sample.daily_bars(n=650, seed=5)
    raw = [RawBar(symbol=b["symbol"], id=i, dt=datetime.datetime.fromisoformat(b["dt"]), freq=Freq.D,
                  open=b["open"], close=b["close"], high=b["high"], low=b["low"], vol=b["vol"],
                  amount=b["amount"]) for i, b in enumerate(bars)]
    return bars, raw


@needs_czsc
@pytest.mark.parametrize("df", [False, True])
def test_mixed_with_czsc_signals(raw_bars, df):
    bars, raw = raw_bars
    builtin = sorted(native.zj_signal_list())
    configs = [CZSC_CONFIGS[0], *({"name": n, "freq": "日线"} for n in builtin), *CZSC_CONFIGS[1:]]
    init_n = 400
    out = native.generate_all_signals(raw, configs, "20170101", init_n, df)
    table = out if df else pd.DataFrame(out)
    assert isinstance(out, pd.DataFrame) == df

    own = czsc.generate_czsc_signals(raw, [c for c in configs if c["name"].startswith("czsc.")],
                                     "20170101", init_n, True)
    assert len(table) == len(own) == len(bars) - init_n
    assert list(table.columns[:len(own.columns)]) == list(own.columns)
    for column in own.columns:
        if column.endswith(("V230228", "V221101", "V221028", "V230331")):
            assert table[column].tolist() == own[column].tolist()

    # Each built-in cell is that signal's reading of the very bar czsc put on the row.
    builtin_columns = dict(zip(builtin, table.columns[len(own.columns):]))
    assert len(builtin_columns) == len(builtin) == len(table.columns) - len(own.columns)
    ids = table["id"].tolist()
    assert ids == list(range(init_n, len(bars)))
    per_bar = [n for n in builtin if n != IC]
    for name, cells in zip(per_bar, cells_of([{"name": n} for n in per_bar], bars, init_n)):
        column = builtin_columns[name]
        assert column.startswith("日线_D1")
        assert [without_score(c) for c in table[column]] == [cells[i] for i in ids], name
    if IC in builtin_columns:  # one reading, of the newest bar
        ic = table[builtin_columns[IC]].tolist()
        (last,) = native.generate_zj_signals([{"name": IC}], bars)
        assert ic[:-1] == [DEFAULT_CELL] * (len(ic) - 1)
        assert without_score(ic[-1]) == f"{last['v1']}_{last['v2']}_{last['v3']}"


def test_demo_section_runs():
    import io

    import zjkit.demo.generate_all as section
    out = io.StringIO()
    section.run(seed=3, out=out)
    text = out.getvalue()
    assert "built-in only, 750 rows" in text and "日线_D1IC#_V260718" in text
    assert ("mixed with czsc" in text) == (czsc is not None)
