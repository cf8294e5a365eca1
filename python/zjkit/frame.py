"""Analyses over tables: DataFrames and Arrow data in, the same flavour out.

``signals(bars, signals)`` runs built-in signals over a table of bars, one
symbol or a whole market in one long table. ``tape``, ``minutes``,
``auctions`` and ``zones`` run the intraday analyses over a day's trades,
minute charts, auction snapshots or strokes of many symbols: one row per
symbol (one per zone), ordered by symbol. The table is read column by
column without copying where the data allow, the work runs on a pool of
threads with the interpreter lock released, and the result comes back in the
caller's flavour: pandas in, pandas out; polars in, polars out; pyarrow (or
any other Arrow exporter) in, a pyarrow Table out; a mapping of column name
to array in, a dict of numpy arrays out.
"""

from __future__ import annotations

import os
from collections.abc import Mapping
from typing import Any

import numpy as np

from zjkit import _engine

__all__ = ["signals", "tape", "minutes", "auctions", "zones"]

_LAYOUTS = ("wide", "long")
_ERRORS = ("raise", "collect")


def _flavour(bars: Any) -> str:
    top = type(bars).__module__.partition(".")[0]
    if top in ("pandas", "polars"):
        return top
    if isinstance(bars, Mapping):
        return "dict"
    return "arrow"


def _pandas_columns(df: Any) -> dict[str, Any]:
    """A pandas DataFrame as a mapping of column name to array: numpy columns
    as they are (no copy, NaN stays NaN), others through Arrow. Named index
    levels count as columns (a "trade_date" index, say), as in Arrow export."""
    import pandas as pd
    import pyarrow as pa

    names = [str(c) for c in df.columns]
    if len(set(names)) != len(names):
        dup = sorted({n for n in names if names.count(n) > 1})
        raise ValueError(f"duplicated column names: {', '.join(map(repr, dup))}")
    out: dict[str, Any] = {}
    for name, series in zip(names, (df.iloc[:, i] for i in range(df.shape[1]))):
        out[name] = series
    if not isinstance(df.index, pd.RangeIndex):
        for level, index_name in enumerate(df.index.names):
            if index_name is not None and str(index_name) not in out:
                out[str(index_name)] = df.index.get_level_values(level)
    for name, values in out.items():
        if isinstance(values.dtype, np.dtype) and values.dtype.kind in "fiuM":
            out[name] = values.to_numpy()
            continue
        # Objects (str, datetime.date, ...), categorical, nullable, Arrow-backed,
        # time-zone aware: as Arrow types them; what Arrow cannot type is left
        # to the reader, which names the column.
        try:
            out[name] = pa.array(values)
        except (pa.ArrowInvalid, pa.ArrowTypeError, pa.ArrowNotImplementedError):
            out[name] = values.to_numpy()
    return out


def _workers(workers: Any) -> int:
    if workers is None:
        try:
            return max(1, len(os.sched_getaffinity(0)))
        except AttributeError:  # no affinity on this platform
            return max(1, os.cpu_count() or 1)
    if isinstance(workers, bool) or not isinstance(workers, int):
        raise TypeError(f"workers must be an int or None, not {type(workers).__name__}")
    if workers < 1:
        raise ValueError(f"workers must be at least 1, not {workers}")
    return workers


def _codes(buffer: bytearray) -> np.ndarray:
    return np.frombuffer(buffer, dtype=np.int32)


def _coded(flavour: str, buffer: bytearray, categories: list[str]) -> Any:
    """A text column from its codes and category table, built without a
    Python object per cell."""
    codes = _codes(buffer)
    if flavour == "pandas":
        import pandas as pd

        categories_index = pd.Index(categories, dtype=object)
        return pd.Categorical.from_codes(codes, categories=categories_index, validate=False)
    if flavour == "dict":
        return np.asarray(categories, dtype=str)[codes]
    import pyarrow as pa

    return pa.DictionaryArray.from_arrays(pa.array(codes), pa.array(categories, type=pa.string()))


def _build(flavour: str, columns: dict[str, Any]) -> Any:
    if flavour == "pandas":
        import pandas as pd

        return pd.DataFrame(columns, copy=False)
    if flavour == "dict":
        return columns
    import pyarrow as pa

    arrays = {k: pa.array(v) if isinstance(v, np.ndarray) else v for k, v in columns.items()}
    table = pa.table(arrays)
    if flavour == "polars":
        import polars as pl

        return pl.from_arrow(table)
    return table


def signals(
    bars: Any,
    signals: Any,
    *,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    layout: str = "wide",
    sort: bool = True,
    workers: int | None = None,
    errors: str = "raise",
) -> Any:
    """Built-in signals over a table of bars. See ``frame.pyi`` for the full
    description."""
    if layout not in _LAYOUTS:
        raise ValueError(f"layout must be 'wide' or 'long', not {layout!r}")
    if errors not in _ERRORS:
        raise ValueError(f"errors must be 'raise' or 'collect', not {errors!r}")
    if not isinstance(sort, bool):
        raise TypeError(f"sort must be a bool, not {type(sort).__name__}")
    if isinstance(signals, (str, Mapping)):
        signals = [signals]
    elif not isinstance(signals, list):
        signals = list(signals)
    flavour = _flavour(bars)
    source = _pandas_columns(bars) if flavour == "pandas" and hasattr(bars, "iloc") else bars
    collect = errors == "collect"
    res = _engine.signals(source, signals, symbol, columns, layout, sort, _workers(workers),
                          collect)

    out: dict[str, Any] = {}
    if "symbol" in res:
        out["symbol"] = _coded(flavour, res["symbol"], res["symbol_categories"])
    out["dt"] = np.frombuffer(res["dt"], dtype="datetime64[ns]")
    if layout == "wide":
        for name, cells, categories in zip(res["columns"], res["cells"], res["categories"]):
            out[name] = _coded(flavour, cells, categories)
    else:
        for key in ("signal", "freq", "v1", "v2", "v3"):
            out[key] = _coded(flavour, res[key], res[f"{key}_categories"])
        out["score"] = _codes(res["score"])
    result = _build(flavour, out)
    if not collect:
        return result
    return result, _errors_table(flavour, res["errors"])


def _errors_table(flavour: str, errors: list[tuple[str, str]]) -> Any:
    """The (symbol, error) table of errors="collect" in the caller's flavour."""
    symbols = [s for s, _ in errors]
    messages = [m for _, m in errors]
    if flavour == "pandas":
        import pandas as pd

        return pd.DataFrame({"symbol": symbols, "error": messages}, dtype=object)
    table = {"symbol": np.asarray(symbols, dtype=str), "error": np.asarray(messages, dtype=str)}
    return _build(flavour, table)


# ---- intraday analyses per symbol ------------------------------------------------


def _days_table(days: Any) -> Any:
    """``days`` as the engine reads it: a table as given (a pandas index named
    like a symbol column becomes a column), or a mapping symbol -> dict of
    reference prices turned into columns."""
    if days is None:
        return None
    if isinstance(days, Mapping) and all(isinstance(v, Mapping) for v in days.values()):
        symbols = list(days)
        for s in symbols:
            if not isinstance(s, str):
                raise TypeError(f"days: symbols must be str, not {type(s).__name__} ({s!r})")
        keys: dict[str, None] = {}
        for fields in days.values():
            keys.update(dict.fromkeys(fields))
        table: dict[str, Any] = {"symbol": np.array(symbols, dtype=object)}
        for key in keys:
            if not isinstance(key, str):
                raise TypeError(f"days: field names must be str, not {type(key).__name__}")
            column = np.empty(len(symbols))
            for i, (s, fields) in enumerate(days.items()):
                value = fields.get(key)
                try:
                    column[i] = np.nan if value is None else float(value)
                except (TypeError, ValueError) as e:
                    raise TypeError(f"days[{s!r}][{key!r}]: {e}") from None
            table[key] = column
        return table
    if _flavour(days) == "pandas" and hasattr(days, "iloc"):
        return _pandas_columns(days)  # a named index (the symbols, say) is a column
    return days


def _from_arrow(flavour: str, table: Any) -> Any:
    import pyarrow as pa

    if flavour == "pandas":
        import pandas as pd

        nullable = {pa.int64(): pd.Int64Dtype(), pa.bool_(): pd.BooleanDtype()}
        return table.to_pandas(types_mapper=nullable.get)
    if flavour == "polars":
        import polars as pl

        return pl.from_arrow(table)
    if flavour == "dict":
        names = table.column_names
        return {name: table.column(name).to_numpy(zero_copy_only=False) for name in names}
    return table


_NUMPY = {"float": np.float64, "int": np.int64, "bool": np.uint8}


def _result_table(res: dict[str, Any]) -> Any:
    import pyarrow as pa

    names: list[str] = []
    arrays: list[Any] = []
    if res["symbol"] is not None:
        names.append("symbol")
        arrays.append(pa.array(res["symbol"], type=pa.string()))
    for name, kind, data, valid in res["columns"]:
        names.append(name)
        if kind == "text":
            arrays.append(pa.array(data, type=pa.string()))
            continue
        values = np.frombuffer(data, dtype=_NUMPY[kind])
        if kind == "bool":
            values = values.astype(bool)
        mask = None if valid is None else np.frombuffer(valid, dtype=np.uint8) == 0
        arrays.append(pa.array(values, mask=mask))
    return pa.Table.from_arrays(arrays, names=names)


def _run(engine: Any, data: Any, args: tuple[Any, ...], symbol: Any, columns: Any,
         workers: Any, errors: str) -> Any:
    if errors not in _ERRORS:
        raise ValueError(f"errors must be 'raise' or 'collect', not {errors!r}")
    flavour = _flavour(data)
    source = _pandas_columns(data) if flavour == "pandas" and hasattr(data, "iloc") else data
    res = engine(source, *args, symbol, columns, _workers(workers))
    problems = res["errors"]
    if errors == "raise" and problems:
        sym, message = problems[0]
        where = f"symbol {sym!r}: " if res["symbol"] is not None else ""
        more = f" (and {len(problems) - 1} more symbols)" if len(problems) > 1 else ""
        raise ValueError(f"{where}{message}{more}")
    result = _from_arrow(flavour, _result_table(res))
    if errors == "raise":
        return result
    return result, _errors_table(flavour, problems)


def tape(
    trades: Any,
    days: Any,
    *,
    breakout: float | None = None,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: str = "raise",
) -> Any:
    """Breakout verdict, screening metrics and (given a breakout price) the
    confirmation above it, per symbol of a day's tape. See ``frame.pyi``."""
    args = (_days_table(days), breakout)
    return _run(_engine.tape, trades, args, symbol, columns, workers, errors)


def minutes(
    chart: Any,
    days: Any,
    *,
    low_price: float | None = None,
    close_pos_threshold: float = 0.3,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: str = "raise",
) -> Any:
    """The minute-chart grade per symbol of a day. See ``frame.pyi``."""
    args = (_days_table(days), low_price, close_pos_threshold)
    return _run(_engine.minutes, chart, args, symbol, columns, workers, errors)


def auctions(
    snapshots: Any,
    days: Any = None,
    *,
    threshold: int = 50,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: str = "raise",
) -> Any:
    """Auction scan with morphology and the false-sell check per symbol of a
    day's opening auction. See ``frame.pyi``."""
    args = (_days_table(days), threshold)
    return _run(_engine.auctions, snapshots, args, symbol, columns, workers, errors)


def zones(
    strokes: Any,
    *,
    symbol: str | None = None,
    columns: Mapping[str, str] | None = None,
    workers: int | None = None,
    errors: str = "raise",
) -> Any:
    """Pivot zones of each symbol's strokes, one row per zone. See ``frame.pyi``."""
    return _run(_engine.zones, strokes, (), symbol, columns, workers, errors)
