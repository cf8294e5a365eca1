"""Finding, probing and reading the files of a dataset in batches of whole symbols.

A dataset is a file, a directory (searched recursively) or a glob of Parquet
and CSV files, told apart by extension. Directory names ``key=value`` are hive
partitions and become text columns. Every file is probed first for the symbols
it holds (the symbol column alone, or its partition, or its name); files that
share a symbol are read together, and groups of files are packed into batches
of bounded size in symbol order, so that a dataset partitioned by symbol is
read a few thousand symbols at a time. One long Parquet file ordered by
symbol is read in runs of row groups; one not ordered by symbol is read whole.
"""

from __future__ import annotations

import concurrent.futures
import glob
import os
import sys
import urllib.parse
from dataclasses import dataclass, field
from pathlib import Path
from typing import Any, Callable

import pyarrow as pa
import pyarrow.compute as pc
import pyarrow.csv as pacsv
import pyarrow.dataset as ds
import pyarrow.parquet as pq

from zjkit.market.commands import UsageError

__all__ = ["SYMBOL_ALIASES", "Batch", "Plan", "Reading", "as_arrow", "find_files", "plan", "read_batch", "read_table",
           "read_whole"]

#: Names a symbol column goes by, tried in this order.
SYMBOL_ALIASES = ("symbol", "ts_code", "code", "代码", "证券代码")

_FORMATS = {".parquet": "parquet", ".pq": "parquet", ".csv": "csv"}

# Files read at once: many small files (one per symbol) cost mostly their
# opening, which overlaps well.
_READ_THREADS = min(8, len(os.sched_getaffinity(0)) * 2)


@dataclass(frozen=True)
class Reading:
    """How every file of a run is read (shipped to Dask workers as it is)."""

    encoding: str = "utf-8"
    symbol: str | None = None          # symbol column, when the caller names it


@dataclass
class Source:
    path: str
    partition: dict[str, str]          # hive keys from the directory names
    symbols: list[str] = field(default_factory=list)
    rows: int = 0
    stem_symbol: bool = False          # the file holds one symbol, named after the file
    row_groups: list[int] | None = None  # a Parquet file read in part: these row groups


@dataclass
class Batch:
    """Files read and computed together: every symbol in it is whole."""

    units: list[list[Source]]          # groups of files sharing symbols
    symbol: str | None                 # the symbol column of the batch's table

    @property
    def sources(self) -> list[Source]:
        return [s for unit in self.units for s in unit]

    @property
    def size(self) -> int:
        return sum(max(1, len(s.symbols)) for s in self.sources)


@dataclass
class Plan:
    batches: list[Batch]
    errors: list[dict]                 # files that could not be read: file, symbol, error
    symbol: str | None
    files: int


def as_arrow(value: Any) -> pa.Table | None:
    """A table given from Python (Arrow, pandas, or any Arrow stream exporter such
    as polars) as an Arrow table; None for anything else."""
    if isinstance(value, pa.Table):
        return value
    pd = sys.modules.get("pandas")
    if pd is not None and isinstance(value, pd.DataFrame):
        return pa.Table.from_pandas(value, preserve_index=False)
    if hasattr(value, "__arrow_c_stream__"):
        return pa.table(value)
    return None


def _format(path: str) -> str | None:
    return _FORMATS.get(Path(path).suffix.lower())


def _walk(root: str) -> list[str]:
    """Parquet and CSV files under root, skipping names that start with "." or
    "_" (bookkeeping: _SUCCESS, _metadata, temporary files)."""
    found = []
    for folder, dirs, names in os.walk(root):
        dirs[:] = [d for d in dirs if not d.startswith((".", "_"))]
        found.extend(os.path.join(folder, n) for n in names if not n.startswith((".", "_")) and _format(n))
    return sorted(found)


def find_files(data: Any) -> tuple[Path, list[str]]:
    """(root of the partition directories, files) for a file, directory or glob."""
    text = os.fspath(data)
    path = Path(text)
    if path.is_dir():
        files = _walk(text)
        root = path
        if not files:
            raise UsageError(f"{text}: no Parquet or CSV file in this directory")
    elif path.is_file():
        if not _format(text):
            raise UsageError(f"{text}: cannot tell the format; expected a .parquet or .csv file")
        return path.parent, [text]
    elif glob.has_magic(text):
        files = sorted(p for p in glob.glob(text, recursive=True) if os.path.isfile(p) and _format(p))
        prefix = text[: min(text.index(c) for c in "*?[" if c in text)]
        root = Path(prefix if prefix.endswith(os.sep) else os.path.dirname(prefix) or ".")
        if not files:
            raise UsageError(f"{text}: no Parquet or CSV file matched")
    else:
        raise UsageError(f"{text}: no such file or directory")
    return root, files


def _partition(path: str, root: Path) -> dict[str, str]:
    """Hive keys of the folders between root and the file (``symbol=000001.SZ``)."""
    folder, base = os.path.dirname(os.path.abspath(path)), os.path.abspath(root)
    if folder != base and not folder.startswith(base.rstrip(os.sep) + os.sep):
        return {}
    keys = {}
    for part in folder[len(base):].split(os.sep):
        key, eq, value = part.partition("=")
        if eq and key:
            keys[urllib.parse.unquote(key)] = urllib.parse.unquote(value)
    return keys


def _file_format(path: str, reading: Reading) -> ds.FileFormat:
    if _format(path) == "parquet":
        return ds.ParquetFileFormat()
    names = (reading.symbol, *SYMBOL_ALIASES) if reading.symbol else SYMBOL_ALIASES
    # Symbol codes stay text: "000001" must not become the integer 1.
    return ds.CsvFileFormat(read_options=pacsv.ReadOptions(encoding=reading.encoding),
                            convert_options=pacsv.ConvertOptions(column_types={n: pa.string() for n in names}))


def _dataset(path: str, reading: Reading) -> ds.Dataset:
    return ds.dataset(path, format=_file_format(path, reading))


def _symbol_of(names: list[str], reading: Reading) -> str | None:
    if reading.symbol:
        return reading.symbol if reading.symbol in names else None
    return next((a for a in SYMBOL_ALIASES if a in names), None)


def _as_text(column: pa.ChunkedArray) -> pa.ChunkedArray:
    if pa.types.is_dictionary(column.type):
        column = column.cast(column.type.value_type)
    if not (pa.types.is_string(column.type) or pa.types.is_large_string(column.type)):
        column = column.cast(pa.string())
    return column


def _clustered(source: Source, symbol: str, batch_rows: int) -> list[Source] | None:
    """A Parquet file ordered by symbol cut into runs of row groups of about
    ``batch_rows`` rows, never inside a symbol (told by the row groups' text
    statistics); None when the file is small, not ordered, or cannot say."""
    if _format(source.path) != "parquet":
        return None
    try:
        meta = pq.ParquetFile(source.path).metadata
    except Exception:  # reported when the file is read
        return None
    if meta.num_rows <= batch_rows or meta.num_row_groups < 2:
        return None
    column = next((j for j in range(meta.num_columns) if meta.schema.column(j).path == symbol), None)
    if column is None or meta.schema.column(column).physical_type != "BYTE_ARRAY":
        return None  # no such column, or numbers, whose order is not the texts' order
    ranges = []
    for k in range(meta.num_row_groups):
        stats = meta.row_group(k).column(column).statistics
        if stats is None or not stats.has_min_max or stats.null_count:
            return None
        if getattr(stats, "is_min_value_exact", None) is False or getattr(stats, "is_max_value_exact", None) is False:
            return None  # truncated texts: the bounds are not the symbols
        ranges.append((stats.min, stats.max, meta.row_group(k).num_rows))
    parts: list[Source] = []
    rows = 0
    for k, (low, high, n) in enumerate(ranges):
        if low > high or (k and low < ranges[k - 1][1]):
            return None  # not ordered by symbol: read whole
        shared = k > 0 and low == ranges[k - 1][1]  # a symbol runs on from the last group
        if not parts or (rows + n > batch_rows and not shared):
            parts.append(Source(source.path, source.partition, row_groups=[]))
            rows = 0
        parts[-1].row_groups.append(k)
        parts[-1].rows += n
        rows += n
    return parts


def read_table(path: str, reading: Reading, symbol: str | None = None, source: Source | None = None) -> pa.Table:
    """One file as a table, its partition keys and file-name symbol added as text columns."""
    if source is not None and source.row_groups is not None:
        fragment = next(iter(_dataset(path, reading).get_fragments()))
        table = fragment.subset(row_group_ids=source.row_groups).to_table()
    else:
        table = _dataset(path, reading).to_table()
    partition = source.partition if source else {}
    for key, value in partition.items():
        if key not in table.column_names:
            table = table.append_column(key, pa.array([value] * table.num_rows, pa.string()))
    if symbol and source is not None and source.stem_symbol and symbol not in table.column_names:
        table = table.append_column(symbol, pa.array([_stem(path)] * table.num_rows, pa.string()))
    if symbol and symbol in table.column_names:
        index = table.column_names.index(symbol)
        table = table.set_column(index, symbol, _as_text(table.column(symbol)))
    return table


def _stem(path: str) -> str:
    name = Path(path).name
    return name[: -len(Path(name).suffix)]


def _probe(source: Source, reading: Reading, symbol: str | None) -> None:
    dataset = _dataset(source.path, reading)
    names = dataset.schema.names
    if symbol and symbol in names:
        column = _as_text(dataset.to_table(columns=[symbol]).column(symbol))
        source.rows = len(column)
        # Rows without a symbol are left to the frame function, which reports them.
        source.symbols = sorted(s for s in pc.unique(column).to_pylist() if s is not None)
    else:
        source.rows = dataset.count_rows()
        if symbol and symbol in source.partition:
            source.symbols = [source.partition[symbol]]
        elif symbol and not reading.symbol:
            source.symbols, source.stem_symbol = [_stem(source.path)], True


def _error(file: str, symbol: str, error: BaseException | str) -> dict:
    text = error if isinstance(error, str) else f"{type(error).__name__}: {error}"
    return {"file": file, "symbol": symbol, "error": text}


def _find_symbol(sources: list[Source], reading: Reading) -> str | None:
    """The symbol column: the caller's, else the first alias in a file or a partition key."""
    if reading.symbol:
        return reading.symbol
    for source in sources:
        for key in SYMBOL_ALIASES:
            if key in source.partition:
                return key
    for source in sources:
        try:
            found = _symbol_of(_dataset(source.path, reading).schema.names, reading)
        except Exception:  # an unreadable file is reported when it is probed
            continue
        if found:
            return found
    # Several files without a symbol column: one symbol per file, named after it.
    return "symbol" if len(sources) > 1 else None


def _units(sources: list[Source]) -> list[list[Source]]:
    """Files grouped so that no symbol spans two groups and groups follow in symbol order."""
    parent = list(range(len(sources)))

    def find(i: int) -> int:
        while parent[i] != i:
            parent[i] = parent[parent[i]]
            i = parent[i]
        return i

    owner: dict[str, int] = {}
    for i, source in enumerate(sources):
        for s in source.symbols:
            if s in owner:
                parent[find(i)] = find(owner[s])
            else:
                owner[s] = i
    groups: dict[int, list[Source]] = {}
    for i, source in enumerate(sources):
        groups.setdefault(find(i), []).append(source)
    spans = []
    for group in groups.values():
        symbols = [s for source in group for s in source.symbols]
        spans.append([min(symbols, default=""), max(symbols, default=""), group])
    spans.sort(key=lambda span: (span[0], span[1]))
    # Groups whose symbol ranges overlap are read together, so that the
    # results, each ordered by symbol, follow one another in order.
    merged: list[list] = []
    for span in spans:
        if merged and span[0] <= merged[-1][1]:
            merged[-1][1] = max(merged[-1][1], span[1])
            merged[-1][2] = merged[-1][2] + span[2]
        else:
            merged.append(span)
    return [span[2] for span in merged]


def plan(data: Any, reading: Reading, batch_rows: int, exclude: tuple[Path, ...] = ()) -> Plan:
    """Probe every file of ``data`` and pack them into batches of about ``batch_rows`` rows.

    ``exclude``: files never read (the run's own output, when it lies among the data)."""
    root, files = find_files(data)
    skip = {p.resolve() for p in exclude}
    files = [f for f in files if Path(f).resolve() not in skip]
    if not files:
        raise UsageError(f"{os.fspath(data)}: no Parquet or CSV file besides the output")
    sources = [Source(path, _partition(path, root)) for path in files]
    symbol = _find_symbol(sources, reading)
    errors, readable = [], []
    if len(sources) == 1:
        # One file is read whole, or in runs of row groups when it is a Parquet
        # file ordered by symbol; a file that cannot be read is reported when
        # it is read.
        parts = _clustered(sources[0], symbol, batch_rows) if symbol else None
        return Plan([Batch([[part]], symbol) for part in parts or [sources[0]]], errors, symbol, 1)

    def probe(source: Source) -> BaseException | None:
        try:
            _probe(source, reading, symbol)
        except Exception as e:
            return e
        return None

    for source, failure in zip(sources, _parallel(probe, sources)):
        if failure is None:
            readable.append(source)
        else:
            errors.append(_error(source.path, source.partition.get(symbol or "", ""), failure))
    batches: list[Batch] = []
    rows = 0
    for unit in _units(readable):
        unit_rows = sum(s.rows for s in unit)
        if not batches or rows + unit_rows > batch_rows:
            batches.append(Batch([], symbol))
            rows = 0
        batches[-1].units.append(unit)
        rows += unit_rows
    return Plan(batches, errors, symbol, len(files))


def read_whole(data: Any, reading: Reading) -> pa.Table:
    """Every file of ``data`` as one table (a small side table such as the days)."""
    root, files = find_files(data)
    sources = [Source(path, _partition(path, root)) for path in files]
    symbol = _find_symbol(sources, reading)
    return _concat([read_table(s.path, reading, symbol, s) for s in sources])


def _concat(tables: list[pa.Table]) -> pa.Table:
    """Tables with the same columns (in any order) as one; numeric types are widened."""
    if len(tables) == 1:
        return tables[0]
    names = tables[0].column_names
    for table in tables[1:]:
        if set(table.column_names) != set(names):
            raise ValueError(f"files read together have different columns: {', '.join(names)} "
                             f"and {', '.join(table.column_names)}")
    return pa.concat_tables([t.select(names) for t in tables], promote_options="permissive")


def read_batch(batch: Batch, reading: Reading) -> tuple[list[tuple[list[Source], pa.Table]], list[dict]]:
    """Each unit of the batch as one table; a file that fails is reported with its symbols."""
    def read(unit: list[Source]) -> pa.Table | BaseException:
        try:
            return _concat([read_table(s.path, reading, batch.symbol, s) for s in unit])
        except Exception as e:
            return e

    tables, errors = [], []
    for unit, table in zip(batch.units, _parallel(read, batch.units)):
        if isinstance(table, BaseException):
            errors.extend(unit_errors(unit, table))
        else:
            tables.append((unit, table))
    return tables, errors


def _parallel(fn: Callable[[Any], Any], items: list) -> list:
    """fn over items on a few threads (reading releases the GIL), results in order."""
    threads = min(len(items), _READ_THREADS)
    if threads <= 1:
        return [fn(item) for item in items]
    with concurrent.futures.ThreadPoolExecutor(threads, thread_name_prefix="zjkit-read") as pool:
        return list(pool.map(fn, items))


def unit_errors(unit: list[Source], error: BaseException | str) -> list[dict]:
    """One row per symbol of the files (one per file when a file's symbols are unknown)."""
    files = ";".join(s.path for s in unit)
    symbols = sorted({s for source in unit for s in source.symbols})
    return [_error(files, s, error) for s in symbols] or [_error(files, "", error)]
