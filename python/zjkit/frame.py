"""Analyses over tables: DataFrames and Arrow data in, the same flavour out.

``signals(bars, signals)`` runs built-in signals over a table of bars, one
symbol or a whole market in one long table. The table is read column by
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

__all__ = ["signals"]

_LAYOUTS = ("wide", "long")


def _flavour(bars: Any) -> str:
    top = type(bars).__module__.partition(".")[0]
    if top in ("pandas", "polars"):
        return top
    if isinstance(bars, Mapping):
        return "dict"
    return "arrow"


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

        return pd.Categorical.from_codes(codes, categories=pd.Index(categories, dtype=object))
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

    table = pa.table({k: pa.array(v) if isinstance(v, np.ndarray) else v for k, v in columns.items()})
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
) -> Any:
    """Built-in signals over a table of bars. See ``frame.pyi`` for the full
    description."""
    if layout not in _LAYOUTS:
        raise ValueError(f"layout must be 'wide' or 'long', not {layout!r}")
    if not isinstance(sort, bool):
        raise TypeError(f"sort must be a bool, not {type(sort).__name__}")
    if isinstance(signals, (str, Mapping)):
        signals = [signals]
    elif not isinstance(signals, list):
        signals = list(signals)
    flavour = _flavour(bars)
    res = _engine.signals(bars, signals, symbol, columns, layout, sort, _workers(workers))

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
    return _build(flavour, out)
