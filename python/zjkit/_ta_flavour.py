"""Outputs of ``zjkit.ta`` in the flavour of their input.

A pandas Series in gives a pandas Series out, with the input's index; a polars
Series in gives a polars Series out. The arrays the indicators wrote are taken
over without a copy. Called by ``zjkit.ta`` only for such inputs, so the
library is already loaded.
"""

from __future__ import annotations

from typing import Any


def pandas_series(source: Any, result: Any) -> Any:
    import pandas as pd

    def one(values: Any) -> Any:
        return pd.Series(values, index=source.index, copy=False)

    if isinstance(result, tuple):
        return tuple(one(r) for r in result)
    return one(result)


def polars_series(source: Any, result: Any) -> Any:
    import polars as pl

    def one(values: Any) -> Any:
        return pl.Series("", values)

    if isinstance(result, tuple):
        return tuple(one(r) for r in result)
    return one(result)
