"""Analyses over tables: DataFrames and Arrow data in, the same flavour out."""

from collections.abc import Mapping, Sequence
from typing import Any, Literal, TypedDict, overload

import numpy.typing as npt
import pandas as pd
import pyarrow as pa  # type: ignore[import-untyped]
import polars as pl

__all__ = ["signals", "tape", "minutes", "auctions", "zones"]

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
    errors: Literal["raise"] = "raise",
) -> pd.DataFrame: ...
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
    errors: Literal["collect"],
) -> tuple[pd.DataFrame, pd.DataFrame]: ...
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
    errors: Literal["raise"] = "raise",
) -> pl.DataFrame: ...
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
    errors: Literal["collect"],
) -> tuple[pl.DataFrame, pl.DataFrame]: ...
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
    errors: Literal["raise"] = "raise",
) -> dict[str, npt.NDArray[Any]]: ...
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
    errors: Literal["collect"],
) -> tuple[dict[str, npt.NDArray[Any]], dict[str, npt.NDArray[Any]]]: ...
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
    errors: Literal["raise"] = "raise",
) -> pa.Table: ...
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
    errors: Literal["collect"],
) -> tuple[pa.Table, pa.Table]:
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

    ``errors="collect"``: a symbol with a repeated (or, with ``sort=False``,
    unordered) time is left out instead of raising, and the result comes with
    an errors table beside it, ``(result, errors)``, whose columns ``symbol``
    and ``error`` name each symbol left out and why (same flavour). Bad
    columns and configurations raise either way.

    ``workers``: threads to spread the symbols over (None: the cores this
    process may run on; 1: the calling thread). The interpreter lock is
    released throughout. The result is in the flavour of ``bars``: pandas,
    polars, pyarrow (for any other Arrow exporter too), or a dict of numpy
    arrays for a mapping.
    """

_Arrays = dict[str, npt.NDArray[Any]]
_Days = pd.DataFrame | pl.DataFrame | pa.Table | Mapping[str, Any]

@overload
def tape(
    trades: pd.DataFrame,
    days: _Days,
    *,
    breakout: float | None = None,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["raise"] = "raise",
) -> pd.DataFrame: ...
@overload
def tape(
    trades: pd.DataFrame,
    days: _Days,
    *,
    breakout: float | None = None,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["collect"],
) -> tuple[pd.DataFrame, pd.DataFrame]: ...
@overload
def tape(
    trades: pl.DataFrame,
    days: _Days,
    *,
    breakout: float | None = None,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["raise"] = "raise",
) -> pl.DataFrame: ...
@overload
def tape(
    trades: pl.DataFrame,
    days: _Days,
    *,
    breakout: float | None = None,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["collect"],
) -> tuple[pl.DataFrame, pl.DataFrame]: ...
@overload
def tape(
    trades: Mapping[str, Any],
    days: _Days,
    *,
    breakout: float | None = None,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["raise"] = "raise",
) -> _Arrays: ...
@overload
def tape(
    trades: Mapping[str, Any],
    days: _Days,
    *,
    breakout: float | None = None,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["collect"],
) -> tuple[_Arrays, _Arrays]: ...
@overload
def tape(
    trades: Any,
    days: _Days,
    *,
    breakout: float | None = None,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["raise", "collect"] = "raise",
) -> Any:
    """Tape analyses per symbol of one day's trades.

    ``trades``: a table (any flavour ``signals`` takes) with columns
    ``symbol``, ``time`` (time32/time64, "HH:MM:SS" text, or timestamps of
    one day: their time of day; a second date raises "mixed days"),
    ``price``, ``vol``, ``bs_flag`` and, optionally, ``trade_count`` (1 when
    absent). Integer columns may be float columns of whole numbers (pandas
    makes them of integers with gaps); a fractional value raises naming the
    row, a null is an error of its symbol.

    ``days``: one row per symbol with ``pre_close``, ``high``, ``low`` (and
    optionally ``breakout``): a table with a symbol column, or a mapping
    symbol -> dict of those keys. A traded symbol missing from ``days`` is an
    error of that symbol; symbols only in ``days`` are ignored.

    One row per symbol, ordered by symbol text: ``symbol`` (text), every
    field of ``trans_analysis`` and ``screening_metrics``, and, when
    ``breakout`` is given (or ``days`` has a ``breakout`` column), the fields
    of ``trans_breakout`` prefixed ``breakout_`` where not already. A symbol
    without a result (too few trades, no volume) gets nulls and a ``reason``.

    ``errors="raise"`` raises ValueError for the first symbol (by symbol
    order) whose data are bad, as the dict functions would for its records
    ("symbol '000001': Invalid price nan in record 3 (row 17)");
    ``errors="collect"`` returns ``(result, errors)``, errors a table
    (symbol, error) in the same flavour, the result holding every other
    symbol. The work runs on ``workers`` threads with the interpreter lock
    released. The result's flavour follows ``trades`` (pandas: nullable
    Int64 and boolean columns).
    """

@overload
def minutes(
    chart: pd.DataFrame,
    days: _Days,
    *,
    low_price: float | None = None,
    close_pos_threshold: float = 0.3,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["raise"] = "raise",
) -> pd.DataFrame: ...
@overload
def minutes(
    chart: pd.DataFrame,
    days: _Days,
    *,
    low_price: float | None = None,
    close_pos_threshold: float = 0.3,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["collect"],
) -> tuple[pd.DataFrame, pd.DataFrame]: ...
@overload
def minutes(
    chart: pl.DataFrame,
    days: _Days,
    *,
    low_price: float | None = None,
    close_pos_threshold: float = 0.3,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["raise"] = "raise",
) -> pl.DataFrame: ...
@overload
def minutes(
    chart: pl.DataFrame,
    days: _Days,
    *,
    low_price: float | None = None,
    close_pos_threshold: float = 0.3,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["collect"],
) -> tuple[pl.DataFrame, pl.DataFrame]: ...
@overload
def minutes(
    chart: Mapping[str, Any],
    days: _Days,
    *,
    low_price: float | None = None,
    close_pos_threshold: float = 0.3,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["raise"] = "raise",
) -> _Arrays: ...
@overload
def minutes(
    chart: Mapping[str, Any],
    days: _Days,
    *,
    low_price: float | None = None,
    close_pos_threshold: float = 0.3,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["collect"],
) -> tuple[_Arrays, _Arrays]: ...
@overload
def minutes(
    chart: Any,
    days: _Days,
    *,
    low_price: float | None = None,
    close_pos_threshold: float = 0.3,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["raise", "collect"] = "raise",
) -> Any:
    """``tick_analysis`` per symbol of one day's minute charts.

    ``chart``: columns ``symbol``, ``time``, ``price``, ``vol`` and,
    optionally, ``avg`` (the price when absent or null) and ``momentum``
    (0). ``days``: ``pre_close`` per symbol, and optionally ``low_price``
    (``low_price=`` given here applies to every symbol). Rows, nulls,
    ``reason``, errors and flavours as in ``tape``.
    """

@overload
def auctions(
    snapshots: pd.DataFrame,
    days: _Days | None = None,
    *,
    threshold: int = 50,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["raise"] = "raise",
) -> pd.DataFrame: ...
@overload
def auctions(
    snapshots: pd.DataFrame,
    days: _Days | None = None,
    *,
    threshold: int = 50,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["collect"],
) -> tuple[pd.DataFrame, pd.DataFrame]: ...
@overload
def auctions(
    snapshots: pl.DataFrame,
    days: _Days | None = None,
    *,
    threshold: int = 50,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["raise"] = "raise",
) -> pl.DataFrame: ...
@overload
def auctions(
    snapshots: pl.DataFrame,
    days: _Days | None = None,
    *,
    threshold: int = 50,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["collect"],
) -> tuple[pl.DataFrame, pl.DataFrame]: ...
@overload
def auctions(
    snapshots: Mapping[str, Any],
    days: _Days | None = None,
    *,
    threshold: int = 50,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["raise"] = "raise",
) -> _Arrays: ...
@overload
def auctions(
    snapshots: Mapping[str, Any],
    days: _Days | None = None,
    *,
    threshold: int = 50,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["collect"],
) -> tuple[_Arrays, _Arrays]: ...
@overload
def auctions(
    snapshots: Any,
    days: _Days | None = None,
    *,
    threshold: int = 50,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["raise", "collect"] = "raise",
) -> Any:
    """``auction_scan`` (with its morphology) and ``auction_false_sell`` per
    symbol of one day's opening call auction.

    ``snapshots``: columns ``symbol``, ``time``, ``price``, ``matched``,
    ``unmatched``. ``days`` (optional): ``open_price``, ``pre_close``,
    ``limit_up``, ``limit_down`` per symbol, each optional (null: unknown).
    The false-sell fields are prefixed ``false_sell_``; ``morphology_scores``
    is one column per morphology, ``morphology_scores_0`` .. ``_6`` in the
    order of ``auction_morphology_names()``. Rows, nulls, ``reason``,
    errors and flavours as in ``tape``.
    """

@overload
def zones(
    strokes: pd.DataFrame,
    *,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["raise"] = "raise",
) -> pd.DataFrame: ...
@overload
def zones(
    strokes: pd.DataFrame,
    *,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["collect"],
) -> tuple[pd.DataFrame, pd.DataFrame]: ...
@overload
def zones(
    strokes: pl.DataFrame,
    *,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["raise"] = "raise",
) -> pl.DataFrame: ...
@overload
def zones(
    strokes: pl.DataFrame,
    *,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["collect"],
) -> tuple[pl.DataFrame, pl.DataFrame]: ...
@overload
def zones(
    strokes: Mapping[str, Any],
    *,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["raise"] = "raise",
) -> _Arrays: ...
@overload
def zones(
    strokes: Mapping[str, Any],
    *,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["collect"],
) -> tuple[_Arrays, _Arrays]: ...
@overload
def zones(
    strokes: Any,
    *,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: Literal["raise", "collect"] = "raise",
) -> Any:
    """``get_zs_seq`` per symbol, one row per pivot zone.

    ``strokes``: columns ``symbol``, ``direction`` ("Up"/"Down" or
    "向上"/"向下"), ``high``, ``low``, and each end as ``sdt_ts``/``edt_ts``
    (Unix seconds) or ``sdt``/``edt`` (timestamps or texts, read as UTC);
    strokes in chronological order within each symbol. Columns ``symbol``
    and the zone fields of ``get_zs_seq`` (``sdt``/``edt`` as its RFC 3339
    texts); zones by symbol, then in order. Errors and flavours as in
    ``tape``.
    """
