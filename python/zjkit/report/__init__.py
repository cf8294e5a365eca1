"""An HTML report of a market screen: the top candidates and their charts.

``write(screen, data, out)`` takes a screen made by the ``tape`` or ``auctions``
command (the kind is told by its columns), ranks it by ``confidence`` (tapes)
or ``score`` (auctions), or by ``by=``, descending, and writes one
self-contained page: a sortable table of the top ``top`` symbols and, for each,
its chart of ``zjkit.plot`` drawn from ``data`` (the dataset the screen was
made from; only the candidates' rows are read). Nothing in the page comes from
the network: the images are embedded and the script and style are inline.

A candidate whose data is missing, or whose data does not give the screen's
verdict (another day, another days table), gets a note in its place in the
page instead of failing the report; the result lists those problems.
"""

from __future__ import annotations

import base64
import datetime as _dt
import io
import math
import os
from dataclasses import dataclass, field
from pathlib import Path
from typing import Any, Callable

import pyarrow as pa
import pyarrow.compute as pc

from zjkit.market import dataset
from zjkit.market.commands import UsageError
from zjkit.market.runner import parse_columns

__all__ = ["KINDS", "Report", "UsageError", "write"]

_DPI = 100


@dataclass(frozen=True)
class Kind:
    """What a report of one kind of screen shows."""

    name: str
    rank: str                         # default ranking column
    tells: tuple[str, ...]            # columns only this kind of screen has
    shown: tuple[str, ...]            # table columns, when the screen has them
    notes: tuple[str, ...]            # text columns written under the chart
    days: tuple[str, ...]             # columns the days table must have (none: optional)
    draw: Callable[..., Any]          # (records, day, row, Options) -> (figure, problem or None)
    headline: Callable[[dict], str]   # a candidate's verdict in a few words


def _number(value: Any) -> float | None:
    if isinstance(value, bool) or value is None:
        return None
    try:
        f = float(value)
    except (TypeError, ValueError):
        return None
    return f if math.isfinite(f) else None


def _same(a: Any, b: Any) -> bool:
    """Screen value against recomputed value: numbers to 1e-9, anything else exactly."""
    x, y = _number(a), _number(b)
    if x is not None and y is not None:
        return math.isclose(x, y, rel_tol=1e-9, abs_tol=1e-9)
    return (a is None and b is None) or a == b


def _mismatch(row: dict, computed: dict | None, keys: tuple[str, ...]) -> str | None:
    """Why the data does not give the screen's row, or None when it does: the
    verdict `keys` first, then every other field the screen and the analysis share."""
    shared = [k for k in (computed or {}) if k in row and k not in keys]
    for key in (*keys, *shared):
        if key not in row:
            continue
        mine = None if computed is None else computed.get(key)
        if not _same(row[key], mine):
            return (f"this data gives {key} = {mine!r} where the screen says {row[key]!r}: "
                    "was the screen made from this data (and days table)?")
    return None


def _float_or_none(day: dict, key: str) -> float | None:
    value = day.get(key)
    return None if value is None else float(value)


@dataclass(frozen=True)
class Options:
    """What the screen was made with besides its data and days."""

    threshold: int = 50                # auctions' score threshold
    breakout: float | None = None      # tapes' breakout price, where days has none


def _draw_tape(records: list[dict], day: dict, row: dict, options: Options) -> tuple[Any, str | None]:
    from zjkit import _native, plot

    pre_close, high, low = (float(day[k]) for k in ("pre_close", "high", "low"))
    breakout = day.get("breakout") if day.get("breakout") is not None else options.breakout
    verdict = _native.trans_analysis(records, pre_close, high, low)
    fig = plot.tape(records, pre_close, high, low, breakout_price=breakout, symbol=row["symbol"],
                    figsize=(12, 6.2), dpi=_DPI)
    problem = _mismatch(row, verdict, ("conclusion", "confidence"))
    if problem is None and row.get("breakout_classification") is not None:
        if breakout is None:
            return fig, ("the screen has breakout figures but the report has no breakout price: give it "
                         "(--breakout, or a breakout column in the days table)")
        found = _native.trans_breakout(records, breakout)
        named = None if found is None else {k if k.startswith("breakout_") else f"breakout_{k}": v
                                            for k, v in found.items()}
        problem = _mismatch(row, named, ("breakout_classification", "breakout_confidence"))
    return fig, problem


def _draw_auction(records: list[dict], day: dict, row: dict, options: Options) -> tuple[Any, str | None]:
    from zjkit import _native, plot

    prices = {k: _float_or_none(day, k) for k in ("open_price", "pre_close", "limit_up", "limit_down")}
    scan = _native.auction_scan(records, options.threshold, *prices.values())
    fig = plot.auction(records, threshold=options.threshold, symbol=row["symbol"], figsize=(11, 7), dpi=_DPI,
                       **prices)
    return fig, _mismatch(row, scan, ("score", "match", "morphology"))


def _tape_headline(row: dict) -> str:
    if row.get("conclusion") is None:
        return row.get("reason") or "no verdict"
    return f"{row['conclusion']} · confidence {_fmt(row.get('confidence'))}"


def _auction_headline(row: dict) -> str:
    if row.get("score") is None:
        return row.get("reason") or "no verdict"
    head = f"{row.get('morphology') or ''} · score {_fmt(row['score'])}"
    if row.get("false_sell_match"):
        head += " · 假卖单"
    return head


KINDS: dict[str, Kind] = {k.name: k for k in (
    Kind("tape", "confidence", ("conclusion", "is_breakout"),
         ("confidence", "conclusion", "day_chg_pct", "price_position", "buy_vol_ratio", "large_buy_count",
          "large_sell_count", "inst_net_flow_ratio", "matched_pairs", "breakout_classification",
          "breakout_confidence", "reason"),
         ("details", "breakout_details"), ("pre_close", "high", "low"), _draw_tape, _tape_headline),
    Kind("auctions", "score", ("morphology", "false_sell_score"),
         ("score", "match", "morphology", "morphology_conf", "vr", "false_sell_score", "false_sell_match",
          "false_sell_neg_ratio", "reason"),
         (), (), _draw_auction, _auction_headline),
)}


@dataclass
class Candidate:
    rank: int
    row: dict                          # the screen's row
    image: bytes | None = None         # PNG
    problem: str | None = None         # said in the page instead of (or beside) the chart


@dataclass
class Report:
    """What ``write`` wrote: the page, the kind of screen, the candidates shown
    and, by symbol, what kept a chart out or disagreed with the screen."""

    out: Path
    kind: str
    by: str
    symbols: list[str]
    problems: dict[str, str] = field(default_factory=dict)

    @property
    def ok(self) -> bool:
        return not self.problems


# ---- reading -----------------------------------------------------------------------------------

def _table(value: Any, reading: dataset.Reading, what: str) -> pa.Table:
    """A path (file, directory or glob) read whole, or a table given from Python."""
    if isinstance(value, (str, os.PathLike)):
        try:
            return dataset.read_whole(value, reading)
        except UsageError as e:
            raise UsageError(f"{what}: {e}") from None
        except Exception as e:
            raise UsageError(f"{what} {os.fspath(value)}: {type(e).__name__}: {e}") from None
    table = dataset.as_arrow(value)
    if table is None:
        raise UsageError(f"{what}: expected a path or a table, got {type(value).__name__}")
    return table


def _text_symbols(table: pa.Table, what: str, reading: dataset.Reading | None = None) -> pa.Table:
    """The table with its symbol column (the caller's, else the first alias) as text named ``symbol``."""
    name = dataset._symbol_of(table.column_names, reading or dataset.Reading())
    if name is None:
        raise UsageError(f"{what}: no symbol column (symbol, ts_code, code, 代码, 证券代码)")
    index = table.column_names.index(name)
    return table.set_column(index, "symbol", dataset._as_text(table.column(name)))


def _read_candidates(data: Any, symbols: list[str], reading: dataset.Reading) -> tuple[pa.Table | None, list[str]]:
    """The rows of `symbols` in the dataset `data`, read through filters so
    that other symbols' rows are skipped (whole files of them, where the
    symbol is in the file's path). Returns the table (None when no file holds
    one of them) and the files that failed to read."""
    if not isinstance(data, (str, os.PathLike)):
        table = _text_symbols(_table(data, reading, "data"), "data", reading)
        return table.filter(pc.is_in(table.column("symbol"), pa.array(symbols, pa.string()))), []
    try:
        root, files = dataset.find_files(data)
    except UsageError as e:
        raise UsageError(f"data: {e}") from None
    wanted = set(symbols)
    tables, failed = [], []
    for path in files:
        partition = dataset._partition(path, root)
        try:
            part = _read_file(path, partition, wanted, reading, several=len(files) > 1)
        except Exception as e:
            failed.append(f"{path}: {type(e).__name__}: {e}")
            continue
        if part is not None and part.num_rows:
            tables.append((path, part))
    if not tables:
        return None, failed
    names = tables[0][1].column_names
    same = [t for _, t in tables if set(t.column_names) == set(names)]
    failed += [f"{path}: its columns differ from those of {tables[0][0]}"
               for path, t in tables if set(t.column_names) != set(names)]
    return pa.concat_tables([t.select(names) for t in same], promote_options="permissive"), failed


def _read_file(path: str, partition: dict[str, str], wanted: set[str], reading: dataset.Reading,
               several: bool) -> pa.Table | None:
    names = dataset._dataset(path, reading).schema.names
    symbol = dataset._symbol_of(names, reading)
    keys = (reading.symbol,) if reading.symbol else dataset.SYMBOL_ALIASES
    fixed = next((partition[k] for k in keys if k in partition), None)
    if symbol is None and fixed is None and several:
        fixed = dataset._stem(path)  # one file per symbol, named after it
    if symbol is None and fixed is None:
        raise ValueError("no symbol column (symbol, ts_code, code, 代码, 证券代码)")
    if symbol is None:
        if fixed not in wanted:
            return None
        table = dataset._dataset(path, reading).to_table()
        return table.append_column("symbol", pa.array([fixed] * table.num_rows, pa.string()))
    source = dataset._dataset(path, reading)
    kind = source.schema.field(symbol).type
    if pa.types.is_string(kind) or pa.types.is_large_string(kind) or pa.types.is_dictionary(kind):
        table = source.to_table(filter=pc.field(symbol).isin(sorted(wanted)))
    else:  # numbers: compared as texts once read
        table = source.to_table()
    table = _text_symbols(table.rename_columns(["symbol" if n == symbol else n for n in table.column_names]),
                          path)
    return table.filter(pc.is_in(table.column("symbol"), pa.array(sorted(wanted), pa.string())))


# ---- ranking -----------------------------------------------------------------------------------

def _kind(screen: pa.Table) -> Kind:
    names = set(screen.column_names)
    found = [k for k in KINDS.values() if names.intersection(k.tells)]
    if len(found) != 1:
        tells = "; ".join(f"{k.name}: {', '.join(k.tells)}" for k in KINDS.values())
        raise UsageError(f"screen: cannot tell its kind from its columns (expected one of {tells})")
    return found[0]


def _ranked(screen: pa.Table, by: str, top: int) -> list[dict]:
    field_ = screen.schema.field(by)
    kind = field_.type
    if pa.types.is_dictionary(kind):
        kind = kind.value_type
    if not (pa.types.is_integer(kind) or pa.types.is_floating(kind) or pa.types.is_boolean(kind)):
        raise UsageError(f"screen: cannot rank by {by!r}, a column of {kind}; give a numeric column")
    values = screen.column(by).cast(kind)  # dictionary-encoded numbers decoded
    if pa.types.is_floating(kind):  # NaN ranks with the missing values, last
        values = pc.if_else(pc.is_nan(values), pa.scalar(None, values.type), values)
    keyed = pa.table({"v": values, "s": screen.column("symbol")})
    order = pc.sort_indices(keyed, sort_keys=[("v", "descending"), ("s", "ascending")])  # missing values last
    return screen.take(order.slice(0, top)).to_pylist()


# ---- the report --------------------------------------------------------------------------------

def _png(fig: Any) -> bytes:
    buffer = io.BytesIO()
    fig.savefig(buffer, format="png", dpi=_DPI)
    return buffer.getvalue()


def _chart(kind: Kind, candidate: Candidate, data: pa.Table | None, days: dict[str, dict] | None,
           options: Options) -> None:
    from zjkit.plot import _common

    symbol = candidate.row["symbol"]
    if symbol is None:
        candidate.problem = "the screen's row has no symbol"
        return
    rows = None if data is None else data.filter(pc.equal(data.column("symbol"), symbol))
    if rows is None or rows.num_rows == 0:
        candidate.problem = "no rows for this symbol in the data"
        return
    day = {} if days is None else days.get(symbol)
    if day is None:
        candidate.problem = "no row for this symbol in the days table"
        return
    missing = [k for k in kind.days if day.get(k) is None]
    if missing:
        candidate.problem = f"the days table has no {', '.join(missing)} for this symbol"
        return
    try:
        records = _common.records(rows, symbol, "data")
        fig, candidate.problem = kind.draw(records, day, candidate.row, options)
        candidate.image = _png(fig)
    except (ValueError, TypeError, OverflowError) as e:
        candidate.problem = f"the analysis refused this symbol's data: {type(e).__name__}: {e}"


def _days_by_symbol(days: Any, kind: Kind, reading: dataset.Reading) -> dict[str, dict] | None:
    """symbol -> {field: value or None} of the days table, its columns found
    under the names (and aliases) the frame functions read them by."""
    from zjkit import _engine, frame

    if days is None:
        if kind.days:
            raise UsageError(f"a {kind.name} screen needs the days table ({', '.join(kind.days)} per symbol)")
        return None
    if isinstance(days, (str, os.PathLike)):
        days = _table(days, dataset.Reading(encoding=reading.encoding), "days")
    try:
        columns = _engine._read_columns(frame._days_table(days), "day")
    except (TypeError, ValueError) as e:
        raise UsageError(f"days: {e}") from None
    columns.pop("_views", None)
    symbols = columns.pop("symbol", None)
    if symbols is None:
        raise UsageError("days: no symbol column (symbol, ts_code, code, 代码, 证券代码)")
    missing = [k for k in kind.days if k not in columns]
    if missing:
        raise UsageError(f"days: no {', '.join(missing)} column")
    return {symbol: {k: _number(v[i]) for k, v in columns.items()}
            for i, symbol in enumerate(symbols) if symbol is not None}


def _check_out(out: Path) -> None:
    from zjkit.market.output import check_writable

    check_writable(out)


def write(screen: Any, data: Any, out: str | os.PathLike, *, days: Any = None, top: int = 20,
          by: str | None = None, threshold: int = 50, breakout: float | None = None, columns: Any = None,
          encoding: str = "utf-8") -> Report:
    """Write the HTML report of `screen` (a file, directory or glob of the
    ``tape`` or ``auctions`` command's output, or a table) to `out`.

    `data` is the dataset the screen was made from (file, directory or glob,
    or a table); `days` its days table (needed for tapes); `top` the number
    of candidates; `by` the ranking column (default ``confidence`` for tapes,
    ``score`` for auctions), descending. `threshold` is the auction score
    threshold the screen was made with, `breakout` the tape command's breakout
    price (where the days table has no breakout column); `columns` and `encoding` read the data
    as the command did (``{"vol": "volume"}``, ``"gbk"``).

    Raises ``UsageError`` (a ValueError) before reading the data when the
    report cannot be made; problems of single candidates are written in the
    page and listed in the result's ``problems``.
    """
    try:
        import matplotlib  # noqa: F401
    except ImportError:
        raise UsageError("the report's charts need matplotlib: pip install 'zjkit[plot]'") from None
    if isinstance(top, bool) or not isinstance(top, int) or top < 1:
        raise UsageError(f"top must be a whole number of at least 1, got {top!r}")
    if isinstance(threshold, bool) or not isinstance(threshold, int):
        raise UsageError(f"threshold must be a whole number, got {threshold!r}")
    if breakout is not None and _number(breakout) is None:
        raise UsageError(f"breakout must be a finite number, got {breakout!r}")
    options = Options(threshold, None if breakout is None else float(breakout))
    out = Path(out)
    _check_out(out)
    renames = parse_columns(columns)
    reading = dataset.Reading(encoding=encoding, symbol=renames.get("symbol"))
    table = _text_symbols(_table(screen, dataset.Reading(encoding=encoding), "screen"), "screen")
    kind = _kind(table)
    by = by or kind.rank
    if by not in table.column_names:
        raise UsageError(f"screen: no column {by!r} to rank by; its columns are {', '.join(table.column_names)}")
    day_rows = _days_by_symbol(days, kind, reading)
    candidates = [Candidate(k, row) for k, row in enumerate(_ranked(table, by, top), 1)]

    symbols = [c.row["symbol"] for c in candidates if c.row["symbol"] is not None]
    data_table, failed = (None, []) if not symbols else _read_candidates(data, symbols, reading)
    if data_table is not None:
        back = {yours: canonical for canonical, yours in renames.items() if canonical != "symbol"}
        data_table = data_table.rename_columns([back.get(n, n) for n in data_table.column_names])
    for candidate in candidates:
        _chart(kind, candidate, data_table, day_rows, options)

    from zjkit.report._page import page

    # Columns empty for every candidate (reason, when all have a result) are left out.
    shown = [c for c in kind.shown if c in table.column_names
             and any(_fmt(cand.row.get(c)) for cand in candidates)]
    if by not in shown:
        shown.insert(0, by)
    html = page(kind=kind, by=by, shown=shown, candidates=candidates, failed=failed,
                source={"screen": _describe(screen), "data": _describe(data), "days": _describe(days)},
                made=_dt.datetime.now().astimezone().strftime("%Y-%m-%d %H:%M %Z"), total=table.num_rows,
                image_uri=lambda png: "data:image/png;base64," + base64.b64encode(png).decode("ascii"))
    _write_atomically(out, html)
    problems = {str(c.row["symbol"]): c.problem for c in candidates if c.problem}
    return Report(out, kind.name, by, symbols, problems)


def _describe(value: Any) -> str:
    if value is None:
        return ""
    if isinstance(value, (str, os.PathLike)):
        return os.fspath(value)
    return f"a {type(value).__name__}"


def _write_atomically(out: Path, text: str) -> None:
    from zjkit.market.output import atomic_file

    with atomic_file(out) as tmp:
        Path(tmp).write_text(text, encoding="utf-8")


def _fmt(value: Any) -> str:
    """A cell as text: floats to at most 4 decimals, missing values as an empty text."""
    if value is None:
        return ""
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, float):
        if not math.isfinite(value):
            return ""
        return f"{value:.4f}".rstrip("0").rstrip(".") if value != int(value) else f"{value:.0f}"
    return str(value)
