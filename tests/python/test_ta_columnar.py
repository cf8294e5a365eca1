"""zjkit.ta over DataFrame-library and Arrow series: same values, outputs in the input's flavour."""

import subprocess
import sys
import threading

import numpy as np
import pandas as pd
import polars as pl
import pyarrow as pa
import pytest

import zjkit

ta = zjkit.ta

PRICES = [10.0, 10.4, 10.1, 10.9, 11.3, 11.0, 11.8, 12.2, 11.9, 12.5]
WANT = ta.sma(np.array(PRICES), 3)


@pytest.mark.parametrize("make, out_type", [
    (lambda v: pa.array(v), np.ndarray),
    (lambda v: pa.chunked_array([v[:4], [], v[4:]]), np.ndarray),
    (lambda v: pl.Series("close", v), pl.Series),
    (lambda v: pl.concat([pl.Series(v[:3]), pl.Series(v[3:])], rechunk=False), pl.Series),
    (lambda v: pd.Series(v), pd.Series),
    (lambda v: pd.Series(v, dtype="float64[pyarrow]"), pd.Series),
])
def test_columnar_inputs_give_the_numpy_values_in_their_flavour(make, out_type):
    got = ta.sma(make(PRICES), 3)
    assert type(got) is out_type
    assert np.array_equal(np.asarray(got), WANT, equal_nan=True)


@pytest.mark.parametrize("series", [
    pl.Series([1, 2, 3, 4, 5]),
    pa.array([1, 2, 3, 4, 5], pa.int32()),
    pd.Series([1, 2, 3, 4, 5]),
    pd.Series([1, 2, 3, 4, 5], dtype="Int64"),
    pl.Series([1.0, 2.0, 3.0, 4.0, 5.0], dtype=pl.Float32),
])
def test_integer_and_float32_series_widen(series):
    assert np.array_equal(np.asarray(ta.sma(series, 2)), [np.nan, 1.5, 2.5, 3.5, 4.5], equal_nan=True)


@pytest.mark.parametrize("series", [
    pl.Series([1.0, None, 3.0, 4.0, 5.0]),
    pa.chunked_array([[1.0, None], [3.0, 4.0, 5.0]]),
    pd.Series([1.0, None, 3.0, 4.0, 5.0], dtype="float64[pyarrow]"),
])
def test_nulls_read_as_nan(series):
    want = ta.trima(np.array([1.0, np.nan, 3.0, 4.0, 5.0]), 2)
    assert np.array_equal(np.asarray(ta.trima(series, 2)), want, equal_nan=True)


def test_pandas_output_keeps_the_index_for_every_output():
    index = pd.date_range("2024-01-01", periods=len(PRICES), name="dt")
    upper, middle, lower = ta.bbands(pd.Series(PRICES, index=index), 3)
    for out in (upper, middle, lower):
        assert isinstance(out, pd.Series)
        assert out.index.equals(index)
    want = ta.bbands(np.array(PRICES), 3)[1]
    assert np.array_equal(middle.to_numpy(), want, equal_nan=True)


def test_first_series_decides_the_flavour():
    high = pl.Series([p + 0.5 for p in PRICES])
    got = ta.atr(high, np.array([p - 0.5 for p in PRICES]), PRICES, 3)
    assert isinstance(got, pl.Series)


@pytest.mark.parametrize("series, error, text", [
    (pa.array(["a", "b"]), TypeError, "argument 'real': the array has type string; expected numbers"),
    (pl.Series("name", ["a"]), TypeError, "column 'name' has type string"),
    (pa.table({"a": [1.0], "b": [2.0]}), TypeError, "expected one series, got a table of 2 columns"),
    (pa.array([1.0]), zjkit.ta.TaError, "InsufficientData"),
])
def test_bad_columnar_input(series, error, text):
    with pytest.raises(error, match=text):
        ta.sma(series, 3)


def test_other_threads_run_while_an_indicator_computes():
    values = pa.array(np.random.default_rng(1).random(2_000_000))
    ticks = []
    stop = threading.Event()

    def count():
        while not stop.is_set():
            ticks.append(1)

    thread = threading.Thread(target=count)
    thread.start()
    try:
        for _ in range(5):
            ta.kama(values, 30)
    finally:
        stop.set()
        thread.join()
    assert ticks


def test_ta_is_loaded_on_first_use():
    code = ("import sys, zjkit; assert 'zjkit.ta' not in sys.modules; "
            "print(zjkit.ta.sma([1.0, 2.0], 2)[1]); assert 'zjkit.ta' in sys.modules; "
            "zjkit.nope")
    run = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True)
    assert run.stdout == "1.5\n"
    assert "module 'zjkit' has no attribute 'nope'" in run.stderr
