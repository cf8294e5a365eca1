"""The zjkit command line: exit codes, options, signal texts and TOML configs."""

import os
import subprocess
import sys

import pyarrow as pa
import pyarrow.parquet as pq
import pytest

import zjkit
from zjkit.cli import main
from zjkit.market import COMMANDS, Command, Option, UsageError
from zjkit.market.commands import _float, parse_signal, read_config
from zjkit.market.runner import frame_options
from zjkit.market.dataset import Reading

@pytest.fixture(autouse=True)
def summary_command(monkeypatch):
    options = (
        Option("scale", _float, "scale", "multiplies the sums"),
        Option("interrupt_at", str, "interrupt_at", "interrupted at this symbol"),
    )
    command = Command("summary", "market_fake:summary", "per-symbol sums", options)
    monkeypatch.setitem(COMMANDS, "summary", command)


@pytest.fixture
def data(tmp_path):
    table = pa.table({
        "ts_code": ["000001.SZ", "000001.SZ", "000002.SZ", "000003.SZ"],
        "dt": ["2024-01-02", "2024-01-03", "2024-01-02", "2024-01-02"],
        "close": [10.0, 10.5, 3.0, 7.0],
    })
    pq.write_table(table, tmp_path / "bars.parquet")
    return tmp_path / "bars.parquet"


EXIT_CODES = [
    # (arguments after DATA, exit code, files left in the folder)
    (["-o", "{tmp}/out.parquet"], 0, ["bars.parquet", "out.parquet"]),
    (["-o", "{tmp}/out.csv", "--workers", "1", "--scale", "2"], 0, ["bars.parquet", "out.csv"]),
    (["-o", "{tmp}/out.parquet", "--columns", "close=dt"], 1,
     ["bars.parquet", "out.errors.csv", "out.parquet"]),
    (["-o", "{tmp}/out.parquet", "--interrupt-at", "000002.SZ"], 130, ["bars.parquet"]),
    (["-o", "{tmp}/no/out.parquet"], 2, ["bars.parquet"]),
]


@pytest.mark.parametrize("args, code, files", EXIT_CODES)
def test_exit_codes(tmp_path, data, args, code, files):
    argv = ["summary", str(data), *[a.format(tmp=tmp_path) for a in args]]
    assert main(argv) == code
    assert sorted(os.listdir(tmp_path)) == files


@pytest.mark.parametrize("argv", [
    ["summary", "x.parquet"],
    ["signals", "x.parquet", "-o", "o.parquet", "--layout", "tall"],
    ["tape", "x.parquet", "-o", "o.parquet"],
    ["nosuch"],
])
def test_argument_errors_exit_2(argv):
    with pytest.raises(SystemExit) as exit:
        main(argv)
    assert exit.value.code == 2


def test_version_and_module_entry_point():
    done = subprocess.run([sys.executable, "-m", "zjkit", "--version"], capture_output=True,
                          text=True, check=True)
    assert done.stdout == f"zjkit {zjkit.__version__}\n"


SIGNAL_TEXTS = [
    ("zj_vol_ratio_V260721", {"name": "zj_vol_ratio_V260721", "freq": "", "params": {}}),
    ("zj_wt:n1=10,n2=21.5,mode=fast", {"name": "zj_wt", "freq": "",
                                       "params": {"n1": 10, "n2": 21.5, "mode": "fast"}}),
    ("zj_wt: freq=日线 , n1=3", {"name": "zj_wt", "freq": "日线", "params": {"n1": 3}}),
    ({"name": "zj_x", "params": {"n": 1}}, {"name": "zj_x", "params": {"n": 1}}),
]


@pytest.mark.parametrize("given, config", SIGNAL_TEXTS)
def test_signal_texts(given, config):
    assert parse_signal(given) == [config]


@pytest.mark.parametrize("given", [":n=1", "zj_wt:n1", "zj_wt:=3", 7])
def test_bad_signal_texts(given):
    with pytest.raises(UsageError):
        parse_signal(given)


CONFIG = """
[[signal]]
name = "zj_vol_ratio_V260721"

[[signal]]
name = "zj_wavetrend_zone_V260724"
freq = "日线"
params = { n1 = 10, n2 = 21 }
"""


def test_config_and_signals_are_merged_in_order(tmp_path):
    (tmp_path / "s.toml").write_text(CONFIG, encoding="utf-8")
    options = {"signal": ["zj_ic_state_V260718:n1=9"], "config": str(tmp_path / "s.toml"),
               "layout": "long"}
    kwargs = frame_options(COMMANDS["signals"], options, Reading())
    assert kwargs == {"signals": [
        {"name": "zj_ic_state_V260718", "freq": "", "params": {"n1": 9}},
        {"name": "zj_vol_ratio_V260721", "freq": "", "params": {}},
        {"name": "zj_wavetrend_zone_V260724", "freq": "日线", "params": {"n1": 10, "n2": 21}},
    ], "layout": "long"}


@pytest.mark.parametrize("text, message", [
    ("", "expected \\[\\[signal\\]\\] tables"),
    ("[[signal]]\nfreq = 'x'\n", "signal 1: 'name' must be"),
    ("[[signal]]\nname = 'a'\nparam = {}\n", "unknown key 'param'"),
    ("[[signal]\n", "config"),
])
def test_bad_configs(tmp_path, text, message):
    (tmp_path / "s.toml").write_text(text, encoding="utf-8")
    with pytest.raises(UsageError, match=message):
        read_config(tmp_path / "s.toml")


@pytest.mark.parametrize("options, message", [
    ({}, "give at least one signal or config"),
    ({"signal": ["zj_nosuch_V1"]}, "zj_nosuch_V1"),
    ({"signal": ["zj_vol_ratio_V260721:nope=1"]}, "unknown parameter 'nope'"),
    ({"signal": ["zj_wavetrend_zone_V260724:n1=0"]}, "'n1' = '0' must be in"),
])
def test_signals_usage_errors(options, message):
    with pytest.raises(UsageError, match=message):
        frame_options(COMMANDS["signals"], options, Reading())
