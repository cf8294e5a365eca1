# Type stubs of zjkit._native. Each function is documented in the README.
from typing import Any

def generate_zj_signals(signals_config: list[dict[str, Any]], bars: list[dict[str, Any]]) -> list[dict[str, str]]: ...
def zj_signal_list() -> list[str]: ...

from typing import Literal as _Literal, overload as _overload
import pandas as _pd

@_overload
def generate_all_signals(bars: list[Any], signals_config: list[dict[str, Any]], sdt: str = "20170101",
                         init_n: int = 500, df: _Literal[False] = False) -> list[dict[str, Any]]: ...
@_overload
def generate_all_signals(bars: list[Any], signals_config: list[dict[str, Any]], sdt: str = "20170101",
                         init_n: int = 500, *, df: _Literal[True]) -> _pd.DataFrame: ...
@_overload
def generate_all_signals(bars: list[Any], signals_config: list[dict[str, Any]], sdt: str, init_n: int,
                         df: _Literal[True]) -> _pd.DataFrame: ...
