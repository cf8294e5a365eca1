"""The column reader behind the frame API: every input flavour, column type and binding rule."""

import math

import numpy as np
import pandas as pd
import polars as pl
import pyarrow as pa
import pytest

from zjkit._engine import _read_columns

NS_PER_DAY = 86_400 * 10**9
D20240102 = 19724 * NS_PER_DAY

BARS = {
    "ts_code": ["000001.SZ", "600000.SH", "000001.SZ"],
    "trade_date": ["20240102", "20240102", "20240103"],
    "open": [10.0, 7.5, 10.2],
    "high": [10.5, 7.9, 10.4],
    "low": [9.8, 7.4, 10.0],
    "close": [10.2, 7.8, 10.3],
    "vol": [1000, 2000, 1500],
}
WANT = {
    "symbol": ["000001.SZ", "600000.SH", "000001.SZ"],
    "dt": [D20240102, D20240102, D20240102 + NS_PER_DAY],
    "open": [10.0, 7.5, 10.2],
    "close": [10.2, 7.8, 10.3],
    "vol": [1000.0, 2000.0, 1500.0],
}

FLAVOURS = {
    "pandas": pd.DataFrame,
    "polars": pl.DataFrame,
    "pyarrow table": pa.table,
    "pyarrow batch": pa.RecordBatch.from_pydict,
    "numpy mapping": lambda d: {k: np.asarray(v) for k, v in d.items()},
    "list mapping": dict,
}


def read(source, kind="bar", **kw):
    return _read_columns(source, kind, **kw)


def only(array, kind="bar", name="dt"):
    return read(pa.table({name: array}), kind)[name]


@pytest.mark.parametrize("flavour", FLAVOURS)
def test_every_flavour_reads_the_same_bars(flavour):
    got = read(FLAVOURS[flavour](BARS))
    for field, values in WANT.items():
        assert got[field] == values, field
    assert "amount" not in got


@pytest.mark.parametrize("array, want", [
    (pa.array([0, 1], pa.timestamp("s")), [0, 10**9]),
    (pa.array([0, 1], pa.timestamp("ns")), [0, 1]),
    # Wall time as stored for UTC; a fixed offset gives the local wall time.
    (pa.array([0], pa.timestamp("s", tz="UTC")), [0]),
    (pa.array([0], pa.timestamp("s", tz="+08:00")), [8 * 3600 * 10**9]),
    (pa.array([19724], pa.date32()), [D20240102]),
    (pa.array([19724 * 86_400_000], pa.date64()), [D20240102]),
    (pa.array(["2024-1-2"], pa.large_string()), [D20240102]),
    (pa.array(["20240102"], pa.string_view()), [D20240102]),
    (pa.array(["2024-01-02 09:30:01"]), [D20240102 + (34_200 + 1) * 10**9]),
    (pa.array(["2024-01-02", "2024-01-02"]).dictionary_encode(), [D20240102] * 2),
    (pa.array([20240102], pa.int64()), [D20240102]),
    (pa.array([20240102], pa.int32()), [D20240102]),
])
def test_time_columns_read_as_naive_nanoseconds(array, want):
    assert only(array) == want


@pytest.mark.parametrize("array, want", [
    (pa.array([1.5, None], pa.float64()), [1.5, math.nan]),
    (pa.array([1.5, None], pa.float32()), [1.5, math.nan]),
    (pa.array([3, None], pa.int32()), [3.0, math.nan]),
    (pa.array([255], pa.uint8()), [255.0]),
    (pa.chunked_array([[1.0], [], [2.0, None]]), [1.0, 2.0, math.nan]),
])
def test_numbers_widen_to_float_and_nulls_read_as_nan(array, want):
    got = only(array, name="close")
    assert np.array_equal(got, want, equal_nan=True)


@pytest.mark.parametrize("array, want", [
    (pa.array(["09:30:00", None]), ValueError),
    (pa.array(["09:30:00", "14:57:03"]), [34_200 * 10**9, (14 * 3600 + 57 * 60 + 3) * 10**9]),
    (pa.array([34_200_000], pa.time32("ms")), [34_200 * 10**9]),
    (pa.array([34_200 * 10**6], pa.time64("us")), [34_200 * 10**9]),
])
def test_times_of_day(array, want):
    table = pa.table({"time": array, "price": [1.0] * len(array), "vol": [1] * len(array),
                      "trade_count": [1] * len(array), "bs_flag": [0] * len(array)})
    if want is ValueError:
        with pytest.raises(ValueError, match="column 'time', row 1: missing time"):
            read(table, "trade")
    else:
        assert read(table, "trade")["time"] == want


def test_int_fields_keep_nulls_and_take_whole_floats():
    table = pa.table({"time": ["09:30:00"] * 2, "price": [1.0, 2.0], "vol": pa.array([5, None], pa.int16()),
                      "trade_count": [1, 2], "bs_flag": [0, 1]})
    assert read(table, "trade")["vol"] == [5, None]
    # What pandas makes of integers with gaps: NaN is the null.
    assert read(table.set_column(2, "vol", pa.array([1.0, np.nan])), "trade")["vol"] == [1, None]
    with pytest.raises(ValueError, match="column 'vol', row 1: 2.5 is not a whole number"):
        read(table.set_column(2, "vol", pa.array([1.0, 2.5])), "trade")
    with pytest.raises(TypeError, match="column 'vol' has type string; expected integers"):
        read(table.set_column(2, "vol", pa.array(["1", "2"])), "trade")


@pytest.mark.parametrize("symbols", [
    pa.array(["a", "b", None, "a"]),
    pa.array(["a", "b", None, "a"]).dictionary_encode(),
    # Chunks with dictionaries of their own are merged into one.
    pa.chunked_array([pa.array(["a", "b"]).dictionary_encode(), pa.array([None, "a"]).dictionary_encode()]),
    pa.chunked_array([["a"], ["b", None, "a"]], pa.large_string()),
])
def test_text_columns_read_as_codes_and_a_dictionary(symbols):
    table = pa.table({"symbol": symbols, "close": [1.0] * 4})
    assert read(table)["symbol"] == ["a", "b", None, "a"]


def test_pandas_index_and_categories_are_columns():
    df = pd.DataFrame({"close": [1.0, 2.0], "code": pd.Categorical(["x", "y"])},
                      index=pd.DatetimeIndex(["2024-01-02", "2024-01-03"], name="dt"))
    got = read(df)
    assert got["dt"] == [D20240102, D20240102 + NS_PER_DAY]
    assert got["symbol"] == ["x", "y"]


@pytest.mark.parametrize("column, want", [
    (np.array(["2024-01-02"], "datetime64[D]"), [D20240102]),
    (np.array(["2024-01-02T00:00:01"], "datetime64[s]"), [D20240102 + 10**9]),
    (np.array(["2024-01-02"], dtype=object), [D20240102]),
    (np.array(["20240102"]), [D20240102]),
    (np.array([20240102], np.int64), [D20240102]),
])
def test_numpy_time_columns(column, want):
    assert read({"dt": column})["dt"] == want


@pytest.mark.parametrize("column, error, text", [
    (np.array(["NaT"], "datetime64[ns]"), ValueError, "column 'dt', row 0: missing time"),
    (np.array(["2024"], "datetime64[Y]"), TypeError, r"datetime64\[Y\]; expected dates"),
    (pa.array(["2024-02-30"]), ValueError, "'2024-02-30' is not a date"),
    (pa.array([20241301]), ValueError, "20241301 is not a date written YYYYMMDD"),
    (pa.array([1.0]), TypeError, "column 'dt' has type double; expected dates or date-times"),
    (pa.array([0], pa.timestamp("s", tz="Asia/Shanghai")), TypeError, "tz=Asia/Shanghai.*tz_localize"),
    (pa.array([10**18], pa.timestamp("s")), ValueError, "row 0: time outside"),
    (pa.array(["0001-01-01"]), ValueError, "time outside"),
])
def test_bad_times_name_the_column_and_row(column, error, text):
    source = {"dt": column} if isinstance(column, np.ndarray) else pa.table({"dt": column})
    with pytest.raises(error, match=text):
        read(source)


def test_unusable_columns_that_no_field_reads_are_ignored():
    got = read(pa.table({"close": [1.0], "flags": [[1, 2]], "ok": [True]}))
    assert got["close"] == [1.0]


@pytest.mark.parametrize("data, kw, want", [
    # The canonical name wins over an alias.
    ({"dt": ["2024-01-02"], "trade_date": ["20990101"]}, {}, {"dt": [D20240102]}),
    ({"收盘": [1.0], "成交量": [2.0], "代码": ["a"]}, {}, {"close": [1.0], "vol": [2.0], "symbol": ["a"]}),
    ({"volume": [5.0], "vol": [1.0]}, {"columns": {"vol": "volume"}}, {"vol": [5.0]}),
    ({"ticker": ["a"], "code": ["b"]}, {"symbol": "ticker"}, {"symbol": ["a"]}),
    ({"ticker": ["a"], "code": ["b"]}, {"columns": {"symbol": "ticker"}}, {"symbol": ["a"]}),
])
def test_binding_by_name_alias_and_override(data, kw, want):
    got = read(data, **kw)
    for field, values in want.items():
        assert got[field] == values


@pytest.mark.parametrize("data, kind, kw, error, text", [
    ({"trade_date": ["20240102"], "日期": ["20240102"]}, "bar", {}, ValueError,
     "columns 'trade_date' and '日期' both stand for the bar field 'dt'"),
    ({"time": ["09:30:00"], "price": [1.0]}, "trade", {}, ValueError,
     "missing column 'vol' \\(trade field\\); found 'time', 'price'"),
    ({"close": [1.0]}, "bar", {"columns": {"vol": "volume"}}, ValueError,
     "column 'volume' given for the bar field 'vol' is not in the table; found 'close'"),
    ({"close": [1.0]}, "bar", {"columns": {"volume": "close"}}, ValueError,
     "names 'volume', which is not a bar field"),
    ({"close": [1.0]}, "bar", {"symbol": "ticker"}, ValueError, "symbol column 'ticker' is not in the table"),
    ({"close": [1.0]}, "bar", {"columns": {"vol": 1}}, TypeError, "columns must map str to str"),
    ({"close": [1.0]}, "bar", {"columns": [("vol", "x")]}, TypeError, "columns must be a mapping"),
    ({"close": [1.0]}, "bar", {"symbol": 1}, TypeError, "symbol must be a column name"),
])
def test_binding_errors(data, kind, kw, error, text):
    with pytest.raises(error, match=text):
        read(data, kind, **kw)


@pytest.mark.parametrize("source, error, text", [
    ([{"close": 1.0}], TypeError, "expected a DataFrame, an Arrow table or batch, or a mapping"),
    ("close", TypeError, "not str"),
    ({"close": [1.0, 2.0], "open": [1.0]}, ValueError, "column 'open' has 1 rows, column 'close' has 2"),
    ({1: [1.0]}, TypeError, "column names must be str"),
    ({"close": np.zeros((2, 2))}, ValueError, "column 'close' is not 1-D"),
    ({"close": 1.0}, TypeError, "column 'close' is a float, not an array"),
    ({"close": [1.0, "x"]}, TypeError, "column 'close' has type object"),
    ({"close": np.array([True])}, TypeError, "column 'close' has type bool"),
    (pa.table({"close": [True]}), TypeError, "column 'close' has type bool; expected numbers"),
    (pa.table({"close": ["1.0"]}), TypeError, "column 'close' has type string; expected numbers"),
    (pa.table({"close": pa.array([1], pa.decimal128(5, 2))}), TypeError, "type decimal128"),
    # A buffer in the other byte order.
    ({"close": np.arange(3, dtype=">f8")}, TypeError, "buffer of format '>d'; expected numbers"),
])
def test_bad_sources_and_unusable_types(source, error, text):
    with pytest.raises(error, match=text):
        read(source)


@pytest.mark.parametrize("make, views", [
    (lambda a: pa.table({"close": a}), True),
    (lambda a: pl.DataFrame({"close": a}), True),
    (lambda a: {"close": a}, True),
    (lambda a: {"close": pa.array(a)}, True),
    (lambda a: pa.table({"close": pa.chunked_array([a[:2], a[2:]])}), False),
    (lambda a: {"close": a.astype(np.float32)}, False),
])
def test_float64_columns_are_read_in_place(make, views):
    got = read(make(np.arange(6.0)))
    assert got["_views"]["close"] is views


BAD_CODES = pa.DictionaryArray.from_arrays(pa.array([0, 5]), pa.array(["2024-01-02"]), safe=False)


@pytest.mark.parametrize("table, kind, text", [
    (pa.table({"dt": BAD_CODES}), "bar", "column 'dt', row 1: dictionary index 5 out of range"),
    (pa.table({"symbol": BAD_CODES}), "bar", "column 'symbol', row 1: dictionary index 5 out of range"),
    (pa.table({"dt": pa.DictionaryArray.from_arrays(pa.array([0, 1]), pa.array(["2024-01-02", None]))}), "bar",
     "column 'dt', row 1: missing time"),
    (pa.table({"time": ["09:30:00"], "price": [1.0], "vol": pa.array([2**63], pa.uint64()),
               "trade_count": [1], "bs_flag": [0]}), "trade",
     "column 'vol', row 0: 9223372036854775808 does not fit a 64-bit signed integer"),
])
def test_corrupt_or_unrepresentable_cells_raise(table, kind, text):
    with pytest.raises(ValueError, match=text):
        read(table, kind)


def test_sliced_arrow_data_reads_from_the_offset():
    batch = pa.RecordBatch.from_pydict({"close": [1.0, 2.0, 3.0, None], "dt": ["20240101", "20240102", None, None]})
    got = read(batch.slice(1, 1))
    assert got["close"] == [2.0] and got["dt"] == [D20240102]


class NoPyarrowFrame(dict):
    """A DataFrame as pandas without pyarrow presents it: its export fails for want of pyarrow."""

    def __arrow_c_stream__(self, requested_schema=None):
        raise ImportError("pyarrow is required")


class NoPyarrowSeries:
    def __init__(self, values):
        self.values = values

    def __arrow_c_stream__(self, requested_schema=None):
        raise ImportError("pyarrow is required")

    def __array__(self, dtype=None, copy=None):
        return np.asarray(self.values)


def test_without_pyarrow_frames_are_read_as_mappings_of_numpy_columns():
    frame = NoPyarrowFrame(close=NoPyarrowSeries([1.0, 2.0]), dt=NoPyarrowSeries(["20240102", "20240103"]))
    got = read(frame)
    assert got["close"] == [1.0, 2.0]
    assert got["dt"] == [D20240102, D20240102 + NS_PER_DAY]


def test_mapping_of_series_from_any_library():
    got = read({"close": pd.Series([1.0, 2.0]), "open": pl.Series([3, 4]), "code": pa.array(["a", "b"])})
    assert got["close"] == [1.0, 2.0] and got["open"] == [3.0, 4.0] and got["symbol"] == ["a", "b"]
