"""Analyses over tables: DataFrames and Arrow data in, the same flavour out."""

from collections.abc import Mapping, Sequence
from typing import Any, Literal, TypedDict, overload

import numpy.typing as npt
import pandas as pd
import pyarrow as pa
import polars as pl

__all__ = ["signals"]

_ParamValue = str | int | float | bool

class _SignalConfig(TypedDict, total=False):
    """One configuration: ``name`` is required, ``freq`` defaults to ""."""

    name: str
    freq: str
    params: Mapping[str, _ParamValue]

_Signals = str | _SignalConfig | Sequence[str | _SignalConfig]
_Layout = Literal["wide", "long"]

@overload
def signals(
    bars: pd.DataFrame,
    signals: _Signals,
    *,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    layout: _Layout = "wide",
    sort: bool = True,
    workers: int | None = None,
) -> pd.DataFrame: ...
@overload
def signals(
    bars: pl.DataFrame,
    signals: _Signals,
    *,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    layout: _Layout = "wide",
    sort: bool = True,
    workers: int | None = None,
) -> pl.DataFrame: ...
@overload
def signals(
    bars: Mapping[str, Any],
    signals: _Signals,
    *,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    layout: _Layout = "wide",
    sort: bool = True,
    workers: int | None = None,
) -> dict[str, npt.NDArray[Any]]: ...
@overload
def signals(
    bars: pa.Table | pa.RecordBatch | Any,
    signals: _Signals,
    *,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    layout: _Layout = "wide",
    sort: bool = True,
    workers: int | None = None,
) -> pa.Table:
    """Built-in signals over a table of bars, one symbol or many.

    ``bars``: a pandas or polars DataFrame, a pyarrow Table or RecordBatch
    (or any object exporting the Arrow PyCapsule stream or array interface),
    or a mapping of column name to 1-D array. Columns are found by name:
    ``dt`` (or ``trade_date``, ``日期``: timestamps, dates, texts
    "YYYY-MM-DD", "YYYYMMDD", "YYYY-MM-DD HH:MM:SS", or int YYYYMMDD),
    ``high``, ``low``, ``close``, ``vol`` (or ``最高``, ``最低``, ``收盘``,
    ``成交量``) are required; ``open`` and ``amount`` are optional. A null
    price or volume reads as NaN; a null time is an error.
    ``columns={"vol": "volume"}`` names your column for a field.

    ``signals``: signal names or dicts ``{"name", "freq", "params"}``;
    ``freq`` defaults to "" and parameter values may be str, int, float or
    bool. An unknown signal, an unknown parameter, a value that does not
    parse or lies outside the parameter's range raises ValueError naming it.

    ``symbol``: the symbol column; found by name (``symbol``, ``ts_code``,
    ``code``, ``代码``, ``证券代码``) when not given. Without one, the table
    is one series. Bars are ordered oldest first within each symbol (stable);
    a time repeated within a symbol raises ValueError naming symbol and time.
    With ``sort=False`` the bars of each symbol must already be in time order
    (symbols may interleave) and the first row out of order raises.

    ``layout="wide"``: columns ``symbol`` (when there is one), ``dt`` and one
    per configuration, headed like generate_all_signals' columns
    ("{freq}_D1{tag}#{params}_V{version}", parameters as given), with
    "v1_v2_v3_score" cells; one row per bar, by symbol (in order of first
    appearance) then time. The Ichimoku signal reads one bar: its record is on
    the symbol's newest row and its other rows hold "其他_任意_任意_0".

    ``layout="long"``: columns ``symbol`` (absent without one), ``dt``
    (datetime64[ns], naive), ``signal``, ``freq``, ``v1``, ``v2``, ``v3``
    (categorical; str arrays in a dict result) and ``score`` (int32); one row
    per record, by symbol, then configuration, then time; warm-up records are
    rows too.

    ``workers``: threads to spread the symbols over (None: the cores this
    process may run on; 1: the calling thread). The interpreter lock is
    released throughout. The result is in the flavour of ``bars``: pandas,
    polars, pyarrow (for any other Arrow exporter too), or a dict of numpy
    arrays for a mapping.
    """
