"""``zjkit.market.run``: a frame function over a dataset of files, into one result file."""

from __future__ import annotations

import concurrent.futures
import contextlib
import inspect
import os
import sys
from dataclasses import dataclass
from pathlib import Path
from typing import Any, Callable, Iterator

import pyarrow as pa
import pyarrow.compute as pc

from zjkit.market import dataset
from zjkit.market.commands import Command, UsageError, command
from zjkit.market.output import ResultSink, check_writable, errors_path, output_format, write_errors

__all__ = ["RunResult", "run"]

#: Rows read at a time when the dataset is partitioned by symbol.
BATCH_ROWS = 4_000_000


@dataclass
class RunResult:
    out: Path
    rows: int                          # rows written
    errors: pa.Table                   # file, symbol, error
    errors_path: Path | None           # written only when there are errors

    @property
    def ok(self) -> bool:
        return self.errors.num_rows == 0


def parse_columns(columns: Any) -> dict[str, str]:
    """``{"vol": "volume"}``, or texts ``"vol=volume"`` (comma-separated or listed)."""
    if columns is None:
        return {}
    if isinstance(columns, dict):
        return {str(k): str(v) for k, v in columns.items()}
    items = [columns] if isinstance(columns, str) else list(columns)
    mapping = {}
    for item in items:
        for pair in filter(None, (p.strip() for p in str(item).split(","))):
            key, eq, value = pair.partition("=")
            if not eq or not key.strip() or not value.strip():
                raise UsageError(f"columns {pair!r}: expected canonical=yours")
            mapping[key.strip()] = value.strip()
    return mapping


def _read_whole(value: Any, reading: dataset.Reading, name: str) -> Any:
    """A path option read into one table; any other value is handed on as it is."""
    if not isinstance(value, (str, os.PathLike)):
        return value
    try:
        return dataset.read_whole(value, reading)
    except UsageError:
        raise
    except Exception as e:
        raise UsageError(f"{name} {os.fspath(value)}: {type(e).__name__}: {e}") from None


def frame_options(cmd: Command, options: dict[str, Any], reading: dataset.Reading) -> dict[str, Any]:
    """The frame function's keywords from a command's options."""
    known = {o.name: o for o in cmd.options}
    unknown = sorted(set(options) - set(known))
    if unknown:
        raise UsageError(f"{cmd.name}: unknown option {unknown[0]!r}; expected "
                         f"{', '.join(known) or 'none'}")
    kwargs: dict[str, Any] = {}
    for opt in cmd.options:
        value = options.get(opt.name)
        if value is None:
            if opt.required:
                raise UsageError(f"{cmd.name}: {opt.name} is required")
            continue
        values = list(value) if opt.repeat and isinstance(value, (list, tuple)) else [value]
        for v in values:
            if opt.choices and v not in opt.choices:
                raise UsageError(f"{cmd.name}: {opt.name} {v!r}: expected one of {', '.join(opt.choices)}")
            try:
                read = _read_whole(v, reading, opt.name) if opt.path else opt.read(v)
            except UsageError as e:
                raise UsageError(f"{cmd.name}: {opt.name}: {e}") from None
            if isinstance(read, list):
                kwargs.setdefault(opt.target, []).extend(read)
            else:
                kwargs[opt.target] = read
    for target in cmd.needs:
        if not kwargs.get(target):
            names = " or ".join(o.name for o in cmd.options if o.target == target)
            raise UsageError(f"{cmd.name}: give at least one {names}")
    if cmd.check is not None:
        try:
            cmd.check(kwargs)
        except UsageError as e:
            raise UsageError(f"{cmd.name}: {e}") from None
    return kwargs


def _arrow(table: Any) -> pa.Table:
    """A frame function's result as an Arrow table, whatever its flavour."""
    arrow = dataset.as_arrow(table)
    if arrow is not None:
        return arrow
    if isinstance(table, dict):
        return pa.table(table)
    raise TypeError(f"a frame function returned {type(table).__name__}, not a table")


def _collects(fn: Callable[..., Any]) -> bool:
    """Whether fn takes errors="collect" (every frame function should)."""
    try:
        return "errors" in inspect.signature(fn).parameters
    except (TypeError, ValueError):  # no signature to read: assume the frame interface
        return True


def _call(fn: Callable[..., Any], table: pa.Table, symbol: str | None,
          kwargs: dict[str, Any]) -> tuple[pa.Table, list[tuple[str, str]]]:
    """(result, [(symbol, error)]) of one call of the frame function."""
    if not _collects(fn):
        return _arrow(fn(table, symbol=symbol, **kwargs)), []
    result, errs = fn(table, symbol=symbol, errors="collect", **kwargs)
    rows = _arrow(errs).to_pylist()
    return _arrow(result), [("" if r.get("symbol") is None else str(r["symbol"]), str(r.get("error")))
                            for r in rows]


def _by_symbol(table: pa.Table, symbol: str) -> list[tuple[str, pa.Table]]:
    """The table cut into one slice per symbol (rows of a symbol keep their order)."""
    order = pc.sort_indices(table, [(symbol, "ascending")])  # stable; nulls last
    ordered = table.take(order)
    runs = pc.run_end_encode(ordered.column(symbol).combine_chunks())
    ends, values = runs.run_ends.to_pylist(), runs.values.to_pylist()
    starts = [0, *ends[:-1]]
    return [("" if v is None else v, ordered.slice(a, b - a)) for v, a, b in zip(values, starts, ends)]


def _compute(fn: Callable[..., Any], unit_tables: list[tuple[list, pa.Table]], symbol: str | None,
             kwargs: dict[str, Any]) -> tuple[pa.Table | None, list[dict]]:
    """The frame function over a batch's tables: together when they have the
    same columns (files with other columns are computed on their own, never
    filled with nulls). When a call fails as a whole, each group of files is
    computed alone, and a group that fails alone symbol by symbol, so that
    one bad file or symbol costs only its own rows."""
    if not unit_tables:
        return None, []
    shapes: dict[frozenset, list] = {}
    for unit_table in unit_tables:
        shapes.setdefault(frozenset(unit_table[1].column_names), []).append(unit_table)
    if len(shapes) > 1:
        return _parts(fn, list(shapes.values()), symbol, kwargs)
    files = [s.path for unit, _ in unit_tables for s in unit]
    try:
        table = dataset._concat([t for _, t in unit_tables])
        result, errs = _call(fn, table, symbol, kwargs)
    except Exception as e:
        if len(unit_tables) > 1:
            return _parts(fn, [[unit_table] for unit_table in unit_tables], symbol, kwargs)
        unit, table = unit_tables[0]
        if symbol is None or symbol not in table.column_names:
            return None, dataset.unit_errors(unit, e)
        slices = _by_symbol(table, symbol)
        if len(slices) < 2:
            return None, [_row(files, slices[0][0] if slices else "", e)]
        results, errors = [], []
        for sym, part in slices:
            try:
                result, errs = _call(fn, part, symbol, kwargs)
            except Exception as e:
                row = _row(files, sym, e)
                if "row" in row["error"]:
                    row["error"] += " (rows counted within the symbol)"
                errors.append(row)
                continue
            results.append(result)
            errors.extend(_row(files, s, error) for s, error in errs)
        return _merge(results), errors
    where: dict[str, list[str]] = {}
    for unit, _ in unit_tables:
        for source in unit:
            for s in source.symbols:
                where.setdefault(s, []).append(source.path)
    return result, [_row(where.get(s) or files, s, error) for s, error in errs]


def _row(files: list[str], symbol: str, error: BaseException | str) -> dict:
    text = error if isinstance(error, str) else f"{type(error).__name__}: {error}"
    return {"file": ";".join(files), "symbol": symbol, "error": text}


def _parts(fn: Callable[..., Any], groups: list[list], symbol: str | None,
           kwargs: dict[str, Any]) -> tuple[pa.Table | None, list[dict]]:
    parts = [_compute(fn, group, symbol, kwargs) for group in groups]
    return _merge([r for r, _ in parts]), [e for _, es in parts for e in es]


def _merge(results: list[pa.Table | None]) -> pa.Table | None:
    """Results of parts of a batch as one, ordered by symbol (stable: a symbol's rows keep their order)."""
    tables = [r for r in results if r is not None]
    if not tables:
        return None
    schema = pa.unify_schemas([t.schema for t in tables], promote_options="permissive")
    from zjkit.market.output import _conform

    merged = pa.concat_tables([_conform(t, schema) for t in tables])
    if "symbol" not in merged.column_names or len(tables) == 1:
        return merged
    key = merged.column("symbol")
    if pa.types.is_dictionary(key.type):  # frame results code their texts
        key = key.cast(key.type.value_type)
    return merged.take(pc.sort_indices(key))  # stable


def compute_batch(fn: Callable[..., Any], batch: dataset.Batch, reading: dataset.Reading,
                  kwargs: dict[str, Any]) -> tuple[pa.Table | None, list[dict]]:
    """Read and compute one batch (what a Dask worker runs)."""
    tables, read_errors = dataset.read_batch(batch, reading)
    result, errors = _compute(fn, tables, batch.symbol, kwargs)
    return result, read_errors + errors


def _local(fn: Callable[..., Any], batches: list[dataset.Batch], reading: dataset.Reading,
           kwargs: dict[str, Any]) -> Iterator[tuple[pa.Table | None, list[dict]]]:
    # The next batch is read while this one is computed.
    pool = concurrent.futures.ThreadPoolExecutor(1, thread_name_prefix="zjkit-read")
    try:
        pending = pool.submit(dataset.read_batch, batches[0], reading) if batches else None
        for i, batch in enumerate(batches):
            assert pending is not None
            tables, read_errors = pending.result()
            pending = pool.submit(dataset.read_batch, batches[i + 1], reading) if i + 1 < len(batches) else None
            result, errors = _compute(fn, tables, batch.symbol, kwargs)
            yield result, read_errors + errors
    finally:
        pool.shutdown(wait=False, cancel_futures=True)


class _Progress:
    """A bar on a terminal (tqdm, when installed); silent otherwise."""

    def __init__(self, enabled: bool | None, total: int, desc: str) -> None:
        self.bar = None
        if enabled is None:
            enabled = sys.stderr.isatty()
        if enabled:
            try:
                from tqdm import tqdm
            except ImportError:
                return
            self.bar = tqdm(total=total, desc=desc, file=sys.stderr, leave=False)

    def update(self, n: int) -> None:
        if self.bar is not None:
            self.bar.update(n)

    def close(self) -> None:
        if self.bar is not None:
            self.bar.close()


def run(command_name: str, data: Any, out: str | os.PathLike, *, workers: int | None = None,
        dask: Any = None, columns: Any = None, encoding: str = "utf-8", format: str | None = None,
        progress: bool | None = None, batch_rows: int = BATCH_ROWS, **options: Any) -> RunResult:
    """Run a command of ``zjkit`` over a dataset and write its result to ``out``.

    ``data`` is a Parquet or CSV file, a directory of them (hive partitions
    such as ``symbol=000001.SZ/`` become columns) or a glob. ``options`` are
    the command's own (``signal``/``config``/``layout`` for "signals", ``days``
    and ``breakout`` for "tape", ...); a ``days`` path is read whole, a table
    or DataFrame is used as it is. ``workers`` threads compute each batch;
    ``dask`` (a scheduler address or a ``distributed.Client``) runs the batches
    on a cluster instead. Files that cannot be read and symbols whose data is
    invalid go to ``OUT.errors.csv`` (file, symbol, error) and the run goes on.
    The result appears under ``out`` only once complete.

    Raises ``UsageError`` (a ``ValueError``) before reading any data when the
    command, an option, the input or the output is wrong.
    """
    cmd = command(command_name)
    fn = cmd.resolve()
    out = Path(out)
    fmt = output_format(out, format)
    check_writable(out)
    if workers is not None and (not isinstance(workers, int) or isinstance(workers, bool) or workers < 1):
        raise UsageError(f"workers must be a whole number of at least 1, not {workers!r}")
    if not isinstance(batch_rows, int) or batch_rows < 1:
        raise UsageError(f"batch_rows must be a whole number of at least 1, not {batch_rows!r}")
    mapping = parse_columns(columns)
    _check_encoding(encoding)
    reading = dataset.Reading(encoding=encoding, symbol=mapping.pop("symbol", None))
    kwargs = frame_options(cmd, options, reading)
    kwargs.update(columns=mapping or None, workers=workers)
    layout = dataset.plan(data, reading, batch_rows, exclude=(out, errors_path(out)))
    errors = list(layout.errors)
    total = sum(b.size for b in layout.batches)
    bar = _Progress(progress, total, f"zjkit {cmd.name}")
    try:
        with ResultSink(out, fmt) as sink:
            if dask is not None:
                from zjkit.market.cluster import run_batches
                results = run_batches(dask, fn, layout.batches, reading, kwargs)
            else:
                results = _local(fn, layout.batches, reading, kwargs)
            # Closed at once when interrupted: the Dask tasks are cancelled, no read is started.
            with contextlib.closing(results):
                for batch, (result, batch_errors) in zip(layout.batches, results):
                    if result is not None:
                        sink.add(result)
                    errors.extend(batch_errors)
                    bar.update(batch.size)
            sink.commit(pa.schema([("symbol", pa.string())]))
            rows = sink.rows
    finally:
        bar.close()
    errors_table = pa.table({k: pa.array([e[k] for e in errors], pa.string()) for k in ("file", "symbol", "error")})
    written = write_errors(out, errors)
    if written is not None:
        _summarise(cmd.name, errors, written)
    return RunResult(out, rows, errors_table, written)


def _check_encoding(encoding: str) -> None:
    import codecs

    try:
        codecs.lookup(encoding)
    except LookupError:
        raise UsageError(f"unknown encoding {encoding!r}") from None


def _summarise(name: str, errors: list[dict], path: Path, shown: int = 5) -> None:
    symbols = len({(e["file"], e["symbol"]) for e in errors if e["symbol"]})
    files = sum(1 for e in errors if not e["symbol"])
    parts = [f"{symbols} symbol{'s' * (symbols != 1)}"] if symbols else []
    parts += [f"{files} file{'s' * (files != 1)}"] if files else []
    print(f"zjkit {name}: {' and '.join(parts)} failed; the errors are in {path}", file=sys.stderr)
    for e in errors[:shown]:
        where = f"{e['file']} {e['symbol']}".strip()
        print(f"  {where}: {e['error']}", file=sys.stderr)
    if len(errors) > shown:
        print(f"  ... and {len(errors) - shown} more", file=sys.stderr)
