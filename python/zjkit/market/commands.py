"""The commands of the market runner and how their options reach the frame functions.

One table, ``COMMANDS``, says for every command which frame function it runs
and what each of its options is: its name (a keyword of ``zjkit.market.run``
and ``--name`` on the command line), how a value is read, and the keyword of
the frame function it becomes. The command line and ``run`` are both built
from it, so wiring a new frame function is one entry here.
"""

from __future__ import annotations

import importlib
import tomllib
from dataclasses import dataclass, field
from typing import Any, Callable

__all__ = ["COMMANDS", "Command", "Option", "UsageError", "command"]


class UsageError(ValueError):
    """The run cannot start: a bad option, no input file, an unwritable output."""


# How option values are read. A reader takes what the caller gave (a text from
# the command line, or any value from Python) and returns the value handed on.


def _float(value: Any) -> float:
    try:
        return float(value)
    except (TypeError, ValueError):
        raise UsageError(f"expected a number, got {value!r}") from None


def _text(value: Any) -> str:
    if not isinstance(value, str):
        raise UsageError(f"expected a text, got {value!r}")
    return value


def _table(value: Any) -> Any:
    # A path (file, directory or glob) is read whole by the runner; a table,
    # DataFrame or mapping given from Python is handed on as it is.
    return value


def _scalar(text: str) -> Any:
    """A parameter value from a ``k=v`` text: int, then float, else the text."""
    for kind in (int, float):
        try:
            return kind(text)
        except ValueError:
            pass
    return text


def parse_signal(value: Any) -> list[dict]:
    """``NAME[:k=v,...]`` (``freq=`` sets the frequency), or a dict as frame.signals takes."""
    if isinstance(value, dict):
        return [value]
    text = _text(value).strip()
    name, _, rest = text.partition(":")
    if not name:
        raise UsageError(f"signal {text!r}: expected NAME[:k=v,...]")
    config: dict[str, Any] = {"name": name, "freq": "", "params": {}}
    for item in filter(None, (part.strip() for part in rest.split(","))):
        key, eq, val = item.partition("=")
        if not eq or not key.strip():
            raise UsageError(f"signal {text!r}: expected k=v, got {item!r}")
        if key.strip() == "freq":
            config["freq"] = val.strip()
        else:
            config["params"][key.strip()] = _scalar(val.strip())
    return [config]


_CONFIG_KEYS = {"name", "freq", "params"}


def read_config(path: Any) -> list[dict]:
    """The ``[[signal]]`` tables of a TOML file, each with name, freq and params."""
    try:
        with open(path, "rb") as f:
            doc = tomllib.load(f)
    except OSError as e:
        raise UsageError(f"config {path}: {e.strerror or e}") from None
    except tomllib.TOMLDecodeError as e:
        raise UsageError(f"config {path}: {e}") from None
    tables = doc.get("signal")
    if not isinstance(tables, list) or not tables:
        raise UsageError(f"config {path}: expected [[signal]] tables")
    configs = []
    for k, table in enumerate(tables, 1):
        where = f"config {path}, signal {k}"
        unknown = sorted(set(table) - _CONFIG_KEYS)
        if unknown:
            raise UsageError(f"{where}: unknown key {unknown[0]!r}; expected name, freq, params")
        if not isinstance(table.get("name"), str) or not table["name"]:
            raise UsageError(f"{where}: 'name' must be a non-empty text")
        if not isinstance(table.get("freq", ""), str):
            raise UsageError(f"{where}: 'freq' must be a text")
        if not isinstance(table.get("params", {}), dict):
            raise UsageError(f"{where}: 'params' must be a table")
        configs.append({"name": table["name"], "freq": table.get("freq", ""), "params": dict(table.get("params", {}))})
    return configs


@dataclass(frozen=True)
class Option:
    name: str                     # keyword of run(), --name on the command line
    read: Callable[[Any], Any]    # turns what the caller gave into the value handed on
    target: str                   # keyword of the frame function
    help: str
    metavar: str = "VALUE"
    required: bool = False
    repeat: bool = False          # may be given several times; the values are listed
    choices: tuple[str, ...] = ()
    path: bool = False            # a path given is read whole by the runner into one table


@dataclass(frozen=True)
class Command:
    name: str
    function: str                 # "module:attribute" of the frame function
    help: str
    options: tuple[Option, ...] = ()
    needs: tuple[str, ...] = field(default=())  # frame keywords that must end up non-empty
    check: Callable[[dict[str, Any]], None] | None = None  # the frame keywords, before any data is read

    def resolve(self) -> Callable[..., Any]:
        module, _, attr = self.function.partition(":")
        try:
            return getattr(importlib.import_module(module), attr)
        except (ImportError, AttributeError):
            raise UsageError(f"{self.name}: {module}.{attr} is not available in this build") from None

    def available(self) -> bool:
        try:
            self.resolve()
        except UsageError:
            return False
        return True


def _check_signals(kwargs: dict[str, Any]) -> None:
    # A misspelt name or a bad parameter would fail every symbol: it is a usage
    # error instead, found by running the configurations over no bars at all.
    import pyarrow as pa

    from zjkit import frame

    empty = pa.table({"dt": pa.array([], pa.timestamp("ns")),
                      **{c: pa.array([], pa.float64()) for c in ("open", "high", "low", "close", "vol", "amount")}})
    try:
        frame.signals(empty, kwargs["signals"], layout=kwargs.get("layout", "wide"), workers=1)
    except (TypeError, ValueError) as e:
        raise UsageError(str(e)) from None


_DAYS_HELP = "per-symbol day figures (pre_close, high, low, ...): a file, directory or glob"

# command -> frame function and options. Every command also takes the runner's
# own options: workers, dask, columns, encoding, format (see zjkit.market.run).
COMMANDS: dict[str, Command] = {c.name: c for c in (
    Command("signals", "zjkit.frame:signals", "signals over daily (or any) K-line bars", (
        Option("signal", parse_signal, "signals", "a signal, NAME[:k=v,...]; freq=F sets its frequency",
               metavar="NAME[:k=v,...]", repeat=True),
        Option("config", read_config, "signals", "a TOML file of [[signal]] tables (name, freq, params)",
               metavar="FILE.toml"),
        Option("layout", _text, "layout", "one column per signal (wide) or one row per record (long)",
               choices=("wide", "long")),
    ), needs=("signals",), check=_check_signals),
    Command("tape", "zjkit.frame:tape", "trade-by-trade tapes of one day: breakout verdicts and screening", (
        Option("days", _table, "days", _DAYS_HELP, metavar="DAYS", required=True, path=True),
        Option("breakout", _float, "breakout", "confirm a breakout above this price", metavar="PRICE"),
    )),
    Command("auctions", "zjkit.frame:auctions", "opening call auctions: scan, shape and false selling", (
        Option("days", _table, "days", _DAYS_HELP, metavar="DAYS", path=True),
        Option("threshold", _float, "threshold", "score threshold (default 50)", metavar="SCORE"),
    )),
    Command("minutes", "zjkit.frame:minutes", "minute charts of one day: quality score and cancel flag", (
        Option("days", _table, "days", _DAYS_HELP, metavar="DAYS", required=True, path=True),
        Option("low_price", _float, "low_price", "the planned buy's low price", metavar="PRICE"),
        Option("close_pos_threshold", _float, "close_pos_threshold", "closing-position threshold (default 0.3)",
               metavar="X"),
    )),
    Command("zones", "zjkit.frame:zones", "pivot zones from strokes, one row per zone"),
)}


def command(name: str) -> Command:
    try:
        return COMMANDS[name]
    except KeyError:
        raise UsageError(f"unknown command {name!r}; expected one of {', '.join(COMMANDS)}") from None
