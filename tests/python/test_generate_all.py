# generate_all_signals: built-in columns, the hand-off to czsc, and the table.

import datetime
import importlib.util
import io
import os
import sys
import types

import numpy as np
import pandas as pd
import pytest

import zjkit._native as native
import zjkit.sample

WT, ZONE, IC = "zj_wavetrend_V260625", "zj_wavetrend_zone_V260724", "zj_ic_state_V260718"
WT_COL, ZONE_COL, DEFAULT_CELL = "_D1WT#_V260625", "_D1WT#_区位V260724", "其他_任意_任意_0"


def cells_of(names, bars, init_n=500):
    # Per signal, each bar's record text without its score, with the "_init_n" generate_all_signals adds.
    records = native.generate_zj_signals([{"name": n, "params": {"_init_n": str(init_n)}} for n in names], bars)
    return [[f"{r['v1']}_{r['v2']}_{r['v3']}" for r in records[i * len(bars):][:len(bars)]] for i in range(len(names))]


def column(records, name):
    return [r[name].rsplit("_", 1)[0] for r in records]


@pytest.fixture
def fake_czsc(monkeypatch):
    # Stands in for czsc: records its calls and returns `fake.result` (or raises `fake.error`).
    def generate_czsc_signals(*args, **kwargs):
        fake.calls.append((args, kwargs))
        if fake.error is not None:
            raise fake.error
        return fake.result
    fake = types.SimpleNamespace(calls=[], result=None, error=None, generate_czsc_signals=generate_czsc_signals)
    monkeypatch.setitem(sys.modules, "czsc", fake)
    return fake


def test_builtin_only_rows_follow_the_bars(daily_bars):
    # The Ichimoku state gives one reading, of the newest bar: it sits on the last row alone,
    # and the columns after it keep their own alignment.
    configs = [{"name": WT, "freq": "日线", "params": {"n1": "10", "n2": "21", "n3": "4"}},
               {"name": IC, "freq": "日线"},
               {"name": ZONE, "freq": "日线"}]
    records = native.generate_all_signals(daily_bars, configs)
    wt_col, ic_col, zone_col = "日线_D1WT#10#21#4_V260625", "日线_D1IC#_V260718", "日线" + ZONE_COL
    assert list(records[0]) == ["dt", "close", wt_col, ic_col, zone_col]
    assert [(r["dt"], r["close"]) for r in records] == [(b["dt"], b["close"]) for b in daily_bars]
    assert [column(records, wt_col), column(records, zone_col)] == cells_of([WT, ZONE], daily_bars)
    assert column(records, ic_col) == [DEFAULT_CELL[:-2]] * (len(daily_bars) - 1) + cells_of([IC], daily_bars)[0]
    table = native.generate_all_signals(daily_bars, configs, df=True)
    assert isinstance(table, pd.DataFrame) and table.to_dict("records") == records


@pytest.mark.parametrize("config, column_name", [
    ({"name": WT, "freq": "F", "n1": 10, "n2": 21.0, "n3": True}, "F_D1WT#10#21#1_V260625"),
    ({"name": WT, "freq": "F", "n1": -3, "n2": 1e22, "n3": 10**30},
     "F_D1WT#-3#10000000000000000000000#1000000000000000000000000000000_V260625"),
    # "params" with a non-str value gives way to the top-level entries.
    ({"name": WT, "freq": "F", "params": {"n1": 10}, "n2": 8}, "F_D1WT#8_V260625"),
    # Values of other types are skipped; a freq that is not a str is empty.
    ({"name": ZONE, "freq": 5, "n1": None, "n2": [1], "n3": np.int64(4)}, ZONE_COL),
])
def test_column_names_and_parameter_texts(config, column_name):
    (record,) = native.generate_all_signals([{"dt": "d", "close": 1.0}], [config])
    assert list(record) == ["dt", "close", column_name]


def test_bars_as_objects(daily_bars):
    run = native.generate_all_signals
    assert run([types.SimpleNamespace(**b) for b in daily_bars], [{"name": ZONE}]) == run(daily_bars, [{"name": ZONE}])

    Broken = type("Broken", (), {"close": property(lambda self: 1 / 0)})
    odd = [Broken(), types.SimpleNamespace(dt=datetime.datetime(2024, 1, 2), close="9"), object(), {"close": 2}]
    assert [(r["dt"], r["close"]) for r in run(odd, [{"name": WT}])] == [("", 0.0)] * 3 + [("", 2.0)]


@pytest.mark.parametrize("args, kwargs, error, message", [
    (([], [{"name": "x"}]), {}, ValueError, "bars 不能为空"),
    (([{}], []), {}, ValueError, "signals_config 不能为空"),
    (([{}], [{"name": WT}, {"freq": "F"}]), {}, ValueError, "Missing 'name'"),
    (([{}], [{"name": WT}]), {"init_n": -1}, OverflowError, ""),
    # A repeated configuration repeats its column, which pandas refuses.
    (([{}], [{"name": WT}, {"name": WT}]), {}, ValueError, "cannot insert _D1WT#_V260625, already exists"),
])
def test_bad_input(args, kwargs, error, message, fake_czsc):
    with pytest.raises(error) as info:
        native.generate_all_signals(*args, **kwargs)
    assert str(info.value).startswith(message) and fake_czsc.calls == []  # all configurations are checked first


def test_missing_czsc_is_reported_only_when_needed(monkeypatch, daily_bars, tmp_path):
    monkeypatch.setitem(sys.modules, "czsc", None)  # hides the package from import
    assert len(native.generate_all_signals(daily_bars, [{"name": WT}])) == len(daily_bars)
    with pytest.raises(ImportError) as info:
        native.generate_all_signals(daily_bars, [{"name": WT}, {"name": "czsc.signals.bar_zdt_V230331"}])
    assert str(info.value) == ("signals_config 包含非 zj 信号，但未安装 czsc；"
                               "请安装: pip install zjkit[czsc]")
    assert info.value.__context__ is None and info.value.__cause__ is None
    # Other errors while loading czsc are its own.
    (tmp_path / "czsc.py").write_text("raise RuntimeError('czsc failed to initialise')")
    monkeypatch.syspath_prepend(tmp_path)
    monkeypatch.delitem(sys.modules, "czsc", raising=False)
    with pytest.raises(RuntimeError, match="czsc failed to initialise"):
        native.generate_all_signals([{}], [{"name": "czsc.signals.x"}])


def test_czsc_gets_the_callers_objects_and_its_errors_propagate(fake_czsc, monkeypatch):
    fake_czsc.result, sdt = object(), type("Sdt", (str,), {})("20200101")
    monkeypatch.setitem(sys.modules, "pandas", None)  # only foreign configurations: pandas is not needed
    # Names the registry lacks (case counts) are czsc's.
    bars, a, b = [{"dt": "d"}], {"name": WT.upper(), "freq": "日线", "di": 1}, {"name": "czsc.signals.b"}
    assert native.generate_all_signals(bars, [a, b]) is fake_czsc.result
    assert native.generate_all_signals(bars, [b], sdt, True, np.True_) is fake_czsc.result
    (args1, kw1), (args2, _) = fake_czsc.calls
    assert kw1 == {} and args1[0] is bars and args1[2:] == ("20170101", 500, False)
    assert len(args1[1]) == 2 and args1[1][0] is a and args1[1][1] is b
    assert args2[2] is sdt and args2[3] is True and type(args2[4]) is np.bool_

    fake_czsc.error = KeyError("00:00")
    with pytest.raises(KeyError) as info:
        native.generate_all_signals(bars, [{"name": WT}, b])
    assert info.value is fake_czsc.error


@pytest.mark.parametrize("start, early", [(100, 0), (0, 3)])
def test_builtin_blocks_lie_on_the_newest_czsc_rows(fake_czsc, daily_bars, start, early):
    # A block longer than czsc's table keeps its newest records; a shorter one (czsc's table has
    # rows before the first bar) leaves the top rows to the default cell.
    fake_czsc.result = [{"czsc_sig": "向上_任意_任意_0", "dt": b["dt"], "close": b["close"]}
                        for b in [{"dt": "early", "close": 0.0}] * early + daily_bars[start:]]
    configs = [{"name": "czsc.signals.x"}, {"name": WT}, {"name": ZONE}]
    records = native.generate_all_signals(daily_bars, configs, "20170101", start)
    assert list(records[0]) == ["czsc_sig", "dt", "close", WT_COL, ZONE_COL]
    assert [r[WT_COL] for r in records[:early]] == [DEFAULT_CELL] * early
    assert ([column(records[early:], c) for c in (WT_COL, ZONE_COL)] ==
            [cells[start:] for cells in cells_of([WT, ZONE], daily_bars, init_n=start)])

    fake_czsc.result = table = pd.DataFrame(fake_czsc.result)
    out = native.generate_all_signals(daily_bars, configs, "20170101", start, True)
    assert out is table and out.to_dict("records") == records  # czsc's table, columns appended in place


czsc = importlib.import_module("czsc") if importlib.util.find_spec("czsc") else None  # CI installs zjkit[czsc]


@pytest.mark.skipif(czsc is None and not os.environ.get("CI"),
                    reason="czsc 0.9.59 is not installed (pip install zjkit[czsc]); CI always runs these")
@pytest.mark.parametrize("df", [False, True])
def test_mixed_with_czsc_signals(df):
    bars = zjkit.sample.daily_bars(n=650, seed=5)
    raw = [czsc.RawBar(id=i, dt=datetime.datetime.fromisoformat(b["dt"]), freq=czsc.Freq.D, **{k: b[k] for k in (
        "symbol", "open", "close", "high", "low", "vol", "amount")}) for i, b in enumerate(bars)]
    czsc_configs = [{"name": "czsc.signals.cxt_bi_base_V230228", "freq": "日线", "bi_init_length": 9},
                    {"name": "czsc.signals.tas_ma_base_V221101", "freq": "日线", "ma_type": "SMA", "timeperiod": 5},
                    {"name": "czsc.signals.bar_zdt_V230331", "freq": "日线", "di": 1}]
    builtin, init_n = sorted(native.zj_signal_list()), 400
    configs = [czsc_configs[0], *({"name": n, "freq": "日线"} for n in builtin), *czsc_configs[1:]]
    assert isinstance(out := native.generate_all_signals(raw, configs, "20170101", init_n, df), pd.DataFrame) == df
    table = out if df else pd.DataFrame(out)

    own = czsc.generate_czsc_signals(raw, czsc_configs, "20170101", init_n, True)
    assert len(table) == len(own) == len(bars) - init_n
    assert list(table.columns[:len(own.columns)]) == list(own.columns)
    signals = [c for c in own.columns if c.endswith(("V230228", "V221101", "V230331"))]
    assert table[signals].values.tolist() == own[signals].values.tolist()

    # Each built-in cell is that signal's reading of the very bar czsc put on the row; the Ichimoku
    # state's one reading (of the newest bar) sits on the last row under default cells.
    assert (ids := table["id"].tolist()) == list(range(init_n, len(bars)))
    for name, col in zip(builtin, table.columns[len(own.columns):], strict=True):
        (cells,) = cells_of([name], bars, init_n)
        expected = [cells[i] for i in ids] if name != IC else [DEFAULT_CELL[:-2]] * (len(ids) - 1) + cells
        assert column(table.to_dict("records"), col) == expected, name


def test_demo_section_runs():
    import zjkit.demo.generate_all as section
    section.run(seed=3, out=(out := io.StringIO()))
    assert "built-in only, 750 rows" in (text := out.getvalue()) and "日线_D1IC#_V260718" in text
    assert ("mixed with czsc" in text) == (czsc is not None)
