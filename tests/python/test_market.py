"""zjkit.market.run over datasets, with a test frame function (market_fake.summary)."""

import os
import random
import sys
from pathlib import Path

import pyarrow as pa
import pyarrow.csv as pacsv
import pyarrow.parquet as pq
import pytest

import market_fake
import zjkit.sample
from zjkit.demo import market as market_demo
from zjkit.cli import main
from zjkit.market import COMMANDS, Command, Option, UsageError, run
from zjkit.market.commands import _float, _table, parse_signal
from zjkit.market.dataset import Reading, plan

SYMBOLS = ["000001.SZ", "000002.SZ", "300001.SZ", "600000.SH", "688001.SH"]


@pytest.fixture(autouse=True)
def summary_command(monkeypatch):
    options = (
        Option("scale", _float, "scale", "multiplies the sums"),
        Option("interrupt_at", str, "interrupt_at", "interrupted at this symbol"),
        Option("days", _table, "days", "symbol, pre_close", path=True),
    )
    command = Command("summary", "market_fake:summary", "per-symbol sums", options)
    monkeypatch.setitem(COMMANDS, "summary", command)


def bars(symbols=SYMBOLS, n=6, seed=1):
    """A long table, symbols interleaved day by day (not clustered)."""
    rng = random.Random(seed)
    rows = []
    for day in range(n):
        for s in symbols:
            close = rng.randint(1, 99) / 4
            rows.append({"symbol": s, "dt": f"2024-01-{day + 2:02d}", "close": close})
    return pa.Table.from_pylist(rows)


def expected(table, **kwargs):
    result, errors = market_fake.summary(table, errors="collect", **kwargs)
    return result


def by_symbol(table, s):
    return table.filter(pa.compute.equal(table.column("symbol"), s))


def write_layout(root, table, layout):
    """The table on disk in one of the layouts the runner reads; returns the DATA argument."""
    if layout == "long parquet":
        pq.write_table(table, root / "bars.parquet")
        return root / "bars.parquet"
    if layout == "long csv":
        pacsv.write_csv(table, root / "bars.csv")
        return root / "bars.csv"
    symbols = sorted(set(table.column("symbol").to_pylist()))
    for s in symbols:
        part = by_symbol(table, s)
        if layout == "hive":
            folder = root / "data" / f"symbol={s}"
            folder.mkdir(parents=True)
            pq.write_table(part.drop_columns(["symbol"]), folder / "part-0.parquet")
        elif layout == "file per symbol":
            (root / "data").mkdir(exist_ok=True)
            pq.write_table(part, root / "data" / f"{s}.parquet")
        elif layout == "named files":
            (root / "data").mkdir(exist_ok=True)
            pacsv.write_csv(part.drop_columns(["symbol"]), root / "data" / f"{s}.csv")
        elif layout == "glob":
            pq.write_table(part, root / f"bars-{s}.parquet")
    return root / "bars-*.parquet" if layout == "glob" else root / "data"


LAYOUTS = ["long parquet", "long csv", "hive", "file per symbol", "named files", "glob"]


@pytest.mark.parametrize("layout", LAYOUTS)
@pytest.mark.parametrize("batch_rows", [1, 10**6])
def test_every_layout_equals_the_direct_call(tmp_path, layout, batch_rows):
    table = bars()
    data = write_layout(tmp_path, table, layout)
    result = run("summary", data, tmp_path / "out.parquet", batch_rows=batch_rows, scale=2)
    assert result.ok
    assert result.errors_path is None
    got = pq.read_table(tmp_path / "out.parquet")
    want = expected(table, scale=2)
    compared = ["symbol", "rows", "close_sum"]
    assert got.select(compared) == want.select(compared)


@pytest.mark.parametrize("order, group_rows, batch_rows, batches", [
    ("symbol", 4, 6, 3),        # groups share symbols: cut only where a symbol ends
    ("symbol", 6, 6, 5),        # one group per symbol, one batch each
    ("symbol", 6, 100, 1),      # small enough to read whole
    ("day", 6, 6, 1),           # not ordered by symbol: read whole
])
def test_a_long_parquet_file_ordered_by_symbol_is_read_in_parts(
        tmp_path, order, group_rows, batch_rows, batches):
    table = bars()
    if order == "symbol":
        table = table.sort_by("symbol")
    pq.write_table(table, tmp_path / "bars.parquet", row_group_size=group_rows)
    layout = plan(tmp_path / "bars.parquet", Reading(), batch_rows)
    assert len(layout.batches) == batches
    result = run("summary", tmp_path / "bars.parquet", tmp_path / "out.parquet",
                 batch_rows=batch_rows)
    assert result.ok
    assert pq.read_table(tmp_path / "out.parquet") == expected(table)


def test_broken_file_and_invalid_symbol_go_to_the_errors_table(tmp_path, capsys):
    table = bars()
    data = write_layout(tmp_path, table, "hive")
    broken = data / "symbol=999999.SZ" / "part-0.parquet"
    broken.parent.mkdir()
    broken.write_bytes(b"not parquet at all")
    bad = pa.table({"dt": ["2024-01-02"], "close": [-1.0]})
    (data / "symbol=000003.SZ").mkdir()
    pq.write_table(bad, data / "symbol=000003.SZ" / "part-0.parquet")
    # Files of one symbol with different columns are not null-filled.
    extra = pa.table({"dt": ["2024-02-01"], "price": [5.0]})
    pq.write_table(extra, data / f"symbol={SYMBOLS[0]}" / "part-1.parquet")
    out = tmp_path / "res.parquet"
    previous = os.umask(0o002)
    try:
        result = run("summary", data, out)
    finally:
        os.umask(previous)
    assert not result.ok
    # Result files get an ordinary file's mode under the umask.
    assert out.stat().st_mode & 0o777 == 0o664
    assert result.errors_path.stat().st_mode & 0o777 == 0o664
    assert pq.read_table(out).column("symbol").to_pylist() == SYMBOLS[1:]
    errors = pacsv.read_csv(tmp_path / "res.errors.csv").to_pylist()
    assert [(Path(e["file"]).parent.name, e["symbol"]) for e in errors] == [
        ("symbol=999999.SZ", "999999.SZ"),
        (f"symbol={SYMBOLS[0]}", SYMBOLS[0]),
        ("symbol=000003.SZ", "000003.SZ"),
    ]
    assert "different columns: dt, close, symbol and dt, price, symbol" in errors[1]["error"]
    assert "close -1.0 in row 0" in errors[2]["error"]
    assert "3 symbols failed" in capsys.readouterr().err
    # A clean run over the same output removes the stale errors table.
    broken.unlink()
    (data / "symbol=000003.SZ" / "part-0.parquet").unlink()
    (data / f"symbol={SYMBOLS[0]}" / "part-1.parquet").unlink()
    assert run("summary", data, out).ok
    assert not (tmp_path / "res.errors.csv").exists()


def test_a_call_failing_as_a_whole_is_retried_symbol_by_symbol(tmp_path, monkeypatch):
    monkeypatch.setitem(COMMANDS, "strict", Command("strict", "market_fake:strict", "no collect"))
    table = bars()
    close = table.column("close").to_pylist()
    close[7] = -1.0
    table = table.set_column(2, "close", pa.array(close))
    data = write_layout(tmp_path, table, "long parquet")
    result = run("strict", data, tmp_path / "out.parquet")
    got = pq.read_table(tmp_path / "out.parquet")
    assert got.column("symbol").to_pylist() == SYMBOLS[:2] + SYMBOLS[3:]
    assert got.column("rows").to_pylist() == [6, 6, 6, 6]
    message = f"ValueError: {SYMBOLS[2]}: close -1.0 in row 1 (rows counted within the symbol)"
    assert result.errors.to_pylist() == [
        {"file": str(data), "symbol": SYMBOLS[2], "error": message},
    ]


def test_output_inside_the_data_folder_is_not_read_back(tmp_path):
    data = write_layout(tmp_path, bars(), "file per symbol")
    first = run("summary", data, data / "out.parquet")
    second = run("summary", data, data / "out.parquet")
    assert first.rows == second.rows == len(SYMBOLS)
    assert pq.read_table(data / "out.parquet").num_rows == len(SYMBOLS)


def test_interrupted_run_leaves_nothing_behind(tmp_path):
    data = write_layout(tmp_path, bars(), "file per symbol")
    out = tmp_path / "out.parquet"
    out.write_bytes(b"result of an earlier run")
    before = sorted(os.listdir(tmp_path))
    with pytest.raises(KeyboardInterrupt):
        run("summary", data, out, batch_rows=1, interrupt_at="600000.SH")
    assert sorted(os.listdir(tmp_path)) == before
    assert out.read_bytes() == b"result of an earlier run"


def test_gbk_csv_with_chinese_headers_keeps_codes_as_text(tmp_path):
    text = "代码,dt,收盘\n000001,2024-01-02,10.5\n000001,2024-01-03,11\n300750,2024-01-02,200\n"
    (tmp_path / "bars.csv").write_bytes(text.encode("gbk"))
    result = run("summary", tmp_path / "bars.csv", tmp_path / "out.parquet", encoding="gbk",
                 columns="close=收盘", days=pa.table({"symbol": ["000001", "300750"],
                                                     "pre_close": [10.0, 190.0]}))
    assert result.ok
    got = pq.read_table(tmp_path / "out.parquet").to_pylist()
    assert [(r["symbol"], r["rows"], r["close_sum"], r["pre_close"]) for r in got] == [
        ("000001", 2, 21.5, 10.0),
        ("300750", 1, 200.0, 190.0),
    ]


def test_days_from_a_file_and_a_symbol_missing_there(tmp_path):
    data = write_layout(tmp_path, bars(), "long parquet")
    days = pa.table({"symbol": SYMBOLS[1:], "pre_close": [1.0] * 4})
    pacsv.write_csv(days, tmp_path / "days.csv")
    result = run("summary", data, tmp_path / "out.parquet", days=str(tmp_path / "days.csv"))
    assert pq.read_table(tmp_path / "out.parquet").column("symbol").to_pylist() == SYMBOLS[1:]
    assert result.errors.to_pylist() == [
        {"file": str(data), "symbol": SYMBOLS[0], "error": f"{SYMBOLS[0]}: not in days"},
    ]


USAGE_ERRORS = [
    # (run arguments beyond data and out, output name, message fragment)
    ({"command_name": "nosuch"}, "out.parquet", "unknown command 'nosuch'"),
    ({"command_name": "summary", "colour": 1}, "out.parquet", "unknown option 'colour'"),
    ({"command_name": "summary", "scale": "x"}, "out.parquet", "scale: expected a number"),
    ({"command_name": "summary", "workers": 0}, "out.parquet", "workers must be"),
    ({"command_name": "summary", "columns": "close"}, "out.parquet", "expected canonical=yours"),
    ({"command_name": "summary", "encoding": "nope"}, "out.parquet", "unknown encoding"),
    ({"command_name": "summary", "format": "xlsx"}, "out.parquet", "expected parquet or csv"),
    ({"command_name": "summary"}, "out.xlsx", "cannot tell the output format"),
    ({"command_name": "summary"}, "missing/out.parquet", "no such directory"),
    ({"command_name": "summary", "days": "no-*.csv"}, "out.parquet", "no Parquet or CSV"),
    ({"command_name": "tape"}, "out.parquet", "tape: "),
]


@pytest.mark.parametrize("kwargs, out, message", USAGE_ERRORS)
def test_usage_errors(tmp_path, kwargs, out, message):
    data = write_layout(tmp_path, bars(), "long parquet")
    with pytest.raises(UsageError, match=message):
        run(data=data, out=tmp_path / out, **kwargs)
    assert sorted(os.listdir(tmp_path)) == ["bars.parquet"]


@pytest.mark.parametrize("data, message", [
    ("none.parquet", "no such file or directory"),
    ("bars.parquet.bak", "cannot tell the format"),
    (".", "no Parquet or CSV file in this directory"),
])
def test_inputs_that_match_nothing(tmp_path, monkeypatch, data, message):
    monkeypatch.chdir(tmp_path)
    Path("bars.parquet.bak").write_bytes(b"")
    with pytest.raises(UsageError, match=message):
        run("summary", data, tmp_path / "out.parquet")


def test_sample_market_files(tmp_path):
    paths = zjkit.sample.market(tmp_path, symbols=6, days=30, trades=200)
    days = pq.read_table(paths["days"]).to_pylist()
    assert [d["symbol"] for d in days] == ["000001.SZ", "000002.SZ", "300001.SZ", "300002.SZ",
                                           "600001.SH", "688001.SH"]
    for kind in ("tape", "minutes", "auctions", "strokes"):
        table = pq.read_table(paths[kind])
        assert table.schema.field("symbol").type == pa.string()
        assert table.column("symbol").to_pylist() == sorted(table.column("symbol").to_pylist())
        assert set(table.column("symbol").to_pylist()) == {d["symbol"] for d in days}
    first = pq.read_table(paths["bars"] / "symbol=000001.SZ" / "bars.parquet")
    assert first.num_rows == 30
    assert days[0]["pre_close"] == first.column("close")[-1].as_py()
    assert days[0]["date"] > first.column("dt")[-1].as_py()


def test_demo_section_runs_or_skips_every_command(capsys):
    market_demo.run(seed=3, out=sys.stdout)
    shown = capsys.readouterr().out
    for name in ("signals", "tape", "auctions", "minutes", "zones"):
        after = shown.split(f"$ zjkit {name} ", 1)[1].splitlines()[1]
        assert after.startswith("  exit 0:" if COMMANDS[name].available() else "  skipped:")


def sample_bars(symbols=("000001.SZ", "300750.SZ", "600519.SH"), n=120):
    rows = []
    for k, s in enumerate(symbols):
        rows.extend(zjkit.sample.daily_bars(n=n, seed=k, symbol=s))
    return pa.Table.from_pylist(rows).drop_columns(["freq"])


SIGNALS = ["zj_vol_ratio_V260721", "zj_wavetrend_zone_V260724:n1=8,freq=日线"]


@pytest.mark.parametrize("layout", ["wide", "long"])
@pytest.mark.parametrize("files", ["hive", "long csv"])
def test_signals_command_equals_frame_signals(tmp_path, layout, files):
    if not COMMANDS["signals"].available():
        pytest.skip("zjkit.frame.signals is not in this build")
    import zjkit.frame

    table = sample_bars()
    data = write_layout(tmp_path, table, files)
    result = run("signals", data, tmp_path / "out.parquet", signal=SIGNALS, layout=layout,
                 batch_rows=150)
    assert result.ok
    configs = [c for reading in SIGNALS for c in parse_signal(reading)]
    want = zjkit.frame.signals(table, configs, layout=layout)
    got = pq.read_table(tmp_path / "out.parquet")
    assert got.column_names == want.column_names
    assert got.to_pylist() == want.to_pylist()


@pytest.mark.cluster
def test_dask_local_cluster_equals_the_local_run(tmp_path, monkeypatch):
    distributed = pytest.importorskip("distributed")
    (tmp_path / "bars").mkdir()
    # Worker processes import the test frame function from this folder (and zjkit
    # as this process does).
    paths = [str(Path(__file__).parent), os.environ.get("PYTHONPATH", "")]
    monkeypatch.setenv("PYTHONPATH", os.pathsep.join(filter(None, paths)))
    table = bars(symbols=[f"{k:06d}.SZ" for k in range(40)], n=30)
    data = write_layout(tmp_path, table, "hive")
    pq.write_table(pa.table({"dt": ["2024-01-02"], "close": [-1.0]}),
                   data / "symbol=000007.SZ" / "part-1.parquet")
    local = run("summary", data, tmp_path / "local.parquet", batch_rows=100, workers=1)
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster:
        with distributed.Client(cluster) as client:
            remote = run("summary", data, tmp_path / "dask.parquet", batch_rows=100, workers=1,
                         dask=client)
        argv = [str(data), "-o", str(tmp_path / "cli.parquet"), "--dask", cluster.scheduler_address]
        assert main(["summary", *argv]) == 1
        if COMMANDS["signals"].available():
            bars_data = write_layout(tmp_path / "bars", sample_bars(), "hive")
            for where, dask in (("local", None), ("remote", cluster.scheduler_address)):
                run("signals", bars_data, tmp_path / f"signals-{where}.parquet", signal=SIGNALS,
                    batch_rows=150, dask=dask)
    assert pq.read_table(tmp_path / "dask.parquet") == pq.read_table(tmp_path / "local.parquet")
    assert pq.read_table(tmp_path / "cli.parquet") == pq.read_table(tmp_path / "local.parquet")
    assert remote.errors == local.errors
    assert remote.errors.column("symbol").to_pylist() == ["000007.SZ"]
    if COMMANDS["signals"].available():
        signals_local = pq.read_table(tmp_path / "signals-local.parquet")
        assert pq.read_table(tmp_path / "signals-remote.parquet") == signals_local
