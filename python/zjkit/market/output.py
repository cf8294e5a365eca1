"""Result files written atomically: nothing appears under the output's name
until the whole result is there."""

from __future__ import annotations

import os
import shutil
import tempfile
from contextlib import contextmanager
from pathlib import Path
from typing import Iterable, Iterator

import pyarrow as pa
import pyarrow.csv as pacsv
import pyarrow.ipc as ipc
import pyarrow.parquet as pq

from zjkit.market.commands import UsageError

__all__ = ["ResultSink", "atomic_file", "errors_path", "output_format", "write_errors"]

_EXTENSIONS = {".parquet": "parquet", ".pq": "parquet", ".csv": "csv"}


def output_format(out: Path, fmt: str | None) -> str:
    if fmt is not None:
        if fmt not in ("parquet", "csv"):
            raise UsageError(f"format {fmt!r}: expected parquet or csv")
        return fmt
    try:
        return _EXTENSIONS[out.suffix.lower()]
    except KeyError:
        raise UsageError(f"{out}: cannot tell the output format from the extension; "
                         "name it .parquet or .csv, or give the format") from None


def errors_path(out: Path) -> Path:
    """``res.parquet`` -> ``res.errors.csv``."""
    return out.with_name(out.stem + ".errors.csv") if out.suffix else out.with_name(out.name + ".errors.csv")


def check_writable(out: Path) -> None:
    folder = out.parent
    if out.is_dir():
        raise UsageError(f"{out}: is a directory")
    if not folder.is_dir():
        raise UsageError(f"{out}: no such directory {folder}")
    try:  # the only sure test: permissions, a read-only mount, a full disk
        with tempfile.NamedTemporaryFile(prefix=f".{out.name}.", suffix=".tmp", dir=folder):
            pass
    except OSError as e:
        raise UsageError(f"{out}: cannot write in {folder}: {e.strerror or e}") from None


def _plain(table: pa.Table) -> pa.Table:
    """Dictionary columns decoded: CSV has no categories."""
    for i, column in enumerate(table.columns):
        if pa.types.is_dictionary(column.type):
            table = table.set_column(i, table.field(i).name, column.cast(column.type.value_type))
    return table


def _write(table_parts: Iterable[pa.Table], schema: pa.Schema, path: str, fmt: str) -> None:
    if fmt == "parquet":
        with pq.ParquetWriter(path, schema) as writer:
            for part in table_parts:
                writer.write_table(part)
        return
    plain = _plain(schema.empty_table()).schema
    with pacsv.CSVWriter(path, plain) as writer:
        for part in table_parts:
            writer.write_table(_plain(part))


class ResultSink:
    """Batches of a result spooled beside the output, then written under its name at once.

    The spool keeps memory flat however large the result; the final file gets
    one schema that fits every batch (a column that is all null in one batch
    takes its type from the others).
    """

    def __init__(self, out: Path, fmt: str) -> None:
        self.out, self.fmt = out, fmt
        self.spool = Path(tempfile.mkdtemp(prefix=f".{out.name}.", suffix=".tmp", dir=out.parent))
        self.parts: list[Path] = []
        self.rows = 0

    def add(self, table: pa.Table) -> None:
        path = self.spool / f"{len(self.parts):06d}.arrow"
        with ipc.new_file(path, table.schema) as writer:
            writer.write_table(table)
        self.parts.append(path)
        self.rows += table.num_rows

    def commit(self, empty_schema: pa.Schema) -> None:
        schemas = [ipc.open_file(p).schema for p in self.parts]
        schema = pa.unify_schemas(schemas, promote_options="permissive") if schemas else empty_schema
        with atomic_file(self.out) as tmp:
            _write((_conform(self._read(p), schema) for p in self.parts), schema, tmp, self.fmt)

    @staticmethod
    def _read(path: Path) -> pa.Table:
        with pa.memory_map(str(path)) as source:
            return ipc.open_file(source).read_all()

    def close(self) -> None:
        shutil.rmtree(self.spool, ignore_errors=True)

    def __enter__(self) -> "ResultSink":
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()


def _conform(table: pa.Table, schema: pa.Schema) -> pa.Table:
    """A batch in the final schema: missing columns as nulls, types widened."""
    for f in schema:
        if f.name not in table.column_names:
            table = table.append_column(f.name, pa.nulls(table.num_rows, f.type))
    table = table.select(schema.names)
    return table if table.schema == schema else table.cast(schema)


@contextmanager
def atomic_file(out: Path) -> Iterator[str]:
    """A temporary file's path beside `out`, renamed to `out` once the block is
    done and removed if it fails. The file gets an ordinary new file's mode
    (0666 less the umask), not mkstemp's owner-only 0600."""
    fd, tmp = tempfile.mkstemp(prefix=f".{out.name}.", suffix=".tmp", dir=out.parent)
    os.close(fd)
    try:
        yield tmp
        umask = os.umask(0)
        os.umask(umask)
        os.chmod(tmp, 0o666 & ~umask)
        os.replace(tmp, out)
    except BaseException:
        _remove(tmp)
        raise


def _remove(path: str | Path) -> None:
    try:
        os.unlink(path)
    except FileNotFoundError:
        pass


def write_errors(out: Path, rows: list[dict]) -> Path | None:
    """The errors table beside the output (only when there are errors; a stale one is removed)."""
    path = errors_path(out)
    if not rows:
        _remove(path)
        return None
    table = pa.table({k: pa.array([r[k] for r in rows], pa.string()) for k in ("file", "symbol", "error")})
    with atomic_file(path) as tmp:
        pacsv.write_csv(table, tmp)
    return path
