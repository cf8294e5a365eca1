"""A frame function for the runner's tests, following the frame interface:
a table in, one row per symbol out (ordered by symbol text) in the same
flavour, and with errors="collect" an errors table (symbol, error) beside it.

Per symbol: rows, sum of close times ``scale``, last dt, and with ``days``
(a table of symbol, pre_close) the symbol's pre_close; a symbol with a null or
negative close, or missing from ``days``, is invalid. A symbol named ``interrupt_at`` raises
KeyboardInterrupt, as Ctrl-C in the middle of a run would.
"""

from __future__ import annotations

import pyarrow as pa
import pyarrow.compute as pc

SYMBOL_ALIASES = ("symbol", "ts_code", "code", "代码")


def summary(table, *, symbol=None, columns=None, workers=None, errors="raise", scale=1.0,
            interrupt_at=None, days=None):
    columns = columns or {}
    close = columns.get("close", "close")
    if close not in table.column_names:
        raise ValueError(f"missing column {close!r}; found {', '.join(table.column_names)}")
    symbol = symbol or next((a for a in SYMBOL_ALIASES if a in table.column_names), None)
    if symbol is None:
        groups = {"": table}
    else:
        keys = table.column(symbol).to_pylist()
        groups = {}
        for key in sorted(set(keys)):
            groups[key] = table.filter(pc.equal(table.column(symbol), key))
    pre_close = {} if days is None else dict(zip(days.column("symbol").to_pylist(),
                                                    days.column("pre_close").to_pylist()))
    rows, errs = [], []
    for key, part in groups.items():
        if key == interrupt_at:
            raise KeyboardInterrupt
        values = part.column(close).to_pylist()
        bad = next((i for i, v in enumerate(values) if v is None or v < 0), None)
        message = f"{key}: close {values[bad]!r} in row {bad}" if bad is not None else None
        if days is not None and key not in pre_close:
            message = f"{key}: not in days"
        if message:
            if errors == "raise":
                raise ValueError(message)
            errs.append({"symbol": key, "error": message})
            continue
        last_dt = part.column("dt")[-1].as_py() if "dt" in part.column_names else None
        rows.append({"symbol": key, "rows": len(values), "close_sum": sum(values) * scale,
                     "last_dt": last_dt, "pre_close": pre_close.get(key)})
    dt_type = table.schema.field("dt").type if "dt" in table.column_names else pa.null()
    schema = pa.schema([("symbol", pa.string()), ("rows", pa.int64()), ("close_sum", pa.float64()),
                        ("last_dt", dt_type), ("pre_close", pa.float64())])
    result = pa.Table.from_pylist(rows, schema)
    if errors == "collect":
        errors_schema = pa.schema([("symbol", pa.string()), ("error", pa.string())])
        return result, pa.Table.from_pylist(errs, errors_schema)
    return result


def strict(table, *, symbol=None, columns=None, workers=None, **options):
    """summary without errors="collect": a bad symbol fails the whole call."""
    return summary(table, symbol=symbol, columns=columns, workers=workers, **options)
