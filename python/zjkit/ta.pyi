"""TA-Lib-style indicators over 1-D float series, in the flavour of their input.

Every indicator returns a full-length series whose first lookback values are
NaN, or raises ``TaError``. The output follows the first series argument: a
pandas Series (with its index) for pandas, a polars Series for polars, a
float64 numpy array for numpy and Arrow data (pyarrow arrays and chunked
arrays, any exporter of the Arrow PyCapsule interface), and
``array.array('d')`` for anything else (lists, tuples, ``array.array('d')``,
memoryviews, ranges).
"""

import array
import enum
from collections.abc import Sequence
from typing import Any, TypeAlias, TypeVar, overload

import numpy as np
import numpy.typing as npt
import pandas as pd
import polars as pl

__all__ = [
    "TaError",
    "MaType",
    "sma",
    "ema",
    "ema_core",
    "wma",
    "dema",
    "tema",
    "trima",
    "kama",
    "t3",
    "mama",
    "compute_ma",
    "bbands",
    "max",
    "min",
    "linearreg",
    "linearreg_components",
    "atr",
    "plus_di",
    "minus_di",
    "adx",
    "adxr",
]

# A series of the flavours that come back as they went in.
_S = TypeVar("_S", "pd.Series[Any]", pl.Series, npt.NDArray[np.float64])
# Plain sequences of numbers come back as array.array('d'). Arrow data is
# untyped here and so matches the first overload (result: Any).
_Plain: TypeAlias = Sequence[float] | memoryview
# Any series argument after the first: its flavour does not matter.
_Series: TypeAlias = Any

class TaError(ValueError):
    """An indicator rejected its input: a bad parameter, too short a series or
    series of different lengths. ``kind`` names the variant; the variant's
    fields are attributes too."""

    kind: str
    need: int
    got: int
    expected: int
    name: str
    value: str
    reason: str

class MaType(enum.IntEnum):
    """The moving-average types of ``compute_ma`` and ``bbands``."""

    SMA = 0
    EMA = 1
    WMA = 2
    DEMA = 3
    TEMA = 4
    TRIMA = 5
    KAMA = 6
    MAMA = 7
    T3 = 8

@overload
def sma(real: _S, timeperiod: int = 30) -> _S:
    """Simple moving average: the mean of the last timeperiod values (carried window sum). Lookback
    timeperiod - 1. TaError when timeperiod is 0 or the series is shorter than it.
    """

@overload
def sma(real: _Plain, timeperiod: int = 30) -> array.array[float]: ...

@overload
def ema(real: _S, timeperiod: int = 30) -> _S:
    """Exponential moving average with k = 2 / (timeperiod + 1), seeded with the mean of the first
    timeperiod values. Lookback timeperiod - 1.
    """

@overload
def ema(real: _Plain, timeperiod: int = 30) -> array.array[float]: ...

@overload
def ema_core(real: _S, timeperiod: int, k: float) -> _S:
    """Exponential moving average with the smoothing factor k given: seeded with the mean of the
    first timeperiod values, then e <- e + k(x - e). Lookback timeperiod - 1.
    """

@overload
def ema_core(real: _Plain, timeperiod: int, k: float) -> array.array[float]: ...

@overload
def wma(real: _S, timeperiod: int = 30) -> _S:
    """Linearly weighted moving average (weights 1..timeperiod, newest heaviest). Lookback
    timeperiod - 1.
    """

@overload
def wma(real: _Plain, timeperiod: int = 30) -> array.array[float]: ...

@overload
def dema(real: _S, timeperiod: int = 30) -> _S:
    """Double exponential moving average 2*EMA - EMA(EMA). timeperiod >= 2; lookback 2*(timeperiod
    - 1).
    """

@overload
def dema(real: _Plain, timeperiod: int = 30) -> array.array[float]: ...

@overload
def tema(real: _S, timeperiod: int = 30) -> _S:
    """Triple exponential moving average 3*EMA1 - 3*EMA2 + EMA3. timeperiod >= 2; lookback
    3*(timeperiod - 1).
    """

@overload
def tema(real: _Plain, timeperiod: int = 30) -> array.array[float]: ...

@overload
def trima(real: _S, timeperiod: int = 30) -> _S:
    """Triangular moving average: a simple average of a simple average. Lookback timeperiod - 1;
    timeperiod 1 returns a copy of the input.
    """

@overload
def trima(real: _Plain, timeperiod: int = 30) -> array.array[float]: ...

@overload
def kama(real: _S, timeperiod: int = 30) -> _S:
    """Kaufman adaptive moving average (fastest 2, slowest 30). timeperiod >= 2; lookback
    timeperiod. A window without movement uses the slowest constant.
    """

@overload
def kama(real: _Plain, timeperiod: int = 30) -> array.array[float]: ...

@overload
def t3(real: _S, timeperiod: int = 5, vfactor: float = 0.7) -> _S:
    """Tillson T3: six cascaded EMAs weighted by the volume factor. timeperiod >= 2; lookback
    6*(timeperiod - 1).
    """

@overload
def t3(real: _Plain, timeperiod: int = 5, vfactor: float = 0.7) -> array.array[float]: ...

@overload
def mama(real: _S, fastlimit: float = 0.5, slowlimit: float = 0.05) -> tuple[_S, _S]:
    """MESA adaptive moving average: returns (mama, fama). Needs 33 values (lookback 32); 0 <
    fastlimit <= 1 and 0 < slowlimit < fastlimit.
    """

@overload
def mama(
    real: _Plain,
    fastlimit: float = 0.5,
    slowlimit: float = 0.05,
) -> tuple[array.array[float], array.array[float]]: ...

@overload
def compute_ma(real: _S, timeperiod: int = 30, matype: int = 0) -> _S:
    """The moving average of type matype (MaType or its code 0..8) with its own checks and
    lookback. MAMA ignores timeperiod and returns its MAMA line; T3 uses vfactor 0.7.
    """

@overload
def compute_ma(real: _Plain, timeperiod: int = 30, matype: int = 0) -> array.array[float]: ...

@overload
def bbands(
    real: _S,
    timeperiod: int = 5,
    nbdevup: float = 2.0,
    nbdevdn: float = 2.0,
    matype: int = 0,
) -> tuple[_S, _S, _S]:
    """Bollinger bands: returns (upper, middle, lower). middle is the moving average of type
    matype; the bands are nbdevup / nbdevdn standard deviations of the last timeperiod
    values away from it (population deviation, measured from the average itself). Lookback:
    the average's (timeperiod - 1 for SMA).
    """

@overload
def bbands(
    real: _Plain,
    timeperiod: int = 5,
    nbdevup: float = 2.0,
    nbdevdn: float = 2.0,
    matype: int = 0,
) -> tuple[array.array[float], array.array[float], array.array[float]]: ...

@overload
def max(real: _S, timeperiod: int = 30) -> _S:
    """Highest value of the last timeperiod values. Lookback timeperiod - 1. A NaN never replaces a
    number; a NaN at the start of a window scan stays until the next scan.
    """

@overload
def max(real: _Plain, timeperiod: int = 30) -> array.array[float]: ...

@overload
def min(real: _S, timeperiod: int = 30) -> _S:
    """Lowest value of the last timeperiod values. Lookback timeperiod - 1; NaN as for max.
    """

@overload
def min(real: _Plain, timeperiod: int = 30) -> array.array[float]: ...

@overload
def linearreg(real: _S, timeperiod: int = 14) -> _S:
    """The least-squares line of the last timeperiod values, evaluated at the newest bar.
    timeperiod >= 2; lookback timeperiod - 1.
    """

@overload
def linearreg(real: _Plain, timeperiod: int = 14) -> array.array[float]: ...

@overload
def linearreg_components(real: _S, timeperiod: int = 14) -> tuple[_S, _S]:
    """Returns (slope, intercept) of the least-squares line of each window, x = 0 at its oldest
    bar. timeperiod >= 2; lookback timeperiod - 1.
    """

@overload
def linearreg_components(
    real: _Plain,
    timeperiod: int = 14,
) -> tuple[array.array[float], array.array[float]]: ...

@overload
def atr(high: _S, low: _Series, close: _Series, timeperiod: int = 14) -> _S:
    """Average true range (Wilder): the mean of the first timeperiod true ranges, then atr <-
    (atr*(timeperiod - 1) + TR) / timeperiod. Lookback timeperiod; needs timeperiod + 1
    bars. A NaN price is left out of the true range.
    """

@overload
def atr(
    high: _Plain,
    low: _Series,
    close: _Series,
    timeperiod: int = 14,
) -> array.array[float]: ...

@overload
def plus_di(high: _S, low: _Series, close: _Series, timeperiod: int = 14) -> _S:
    """Plus directional indicator 100 * smoothed +DM / smoothed TR (0 without true range). Lookback
    timeperiod; needs timeperiod + 1 bars.
    """

@overload
def plus_di(
    high: _Plain,
    low: _Series,
    close: _Series,
    timeperiod: int = 14,
) -> array.array[float]: ...

@overload
def minus_di(high: _S, low: _Series, close: _Series, timeperiod: int = 14) -> _S:
    """Minus directional indicator 100 * smoothed -DM / smoothed TR (0 without true range).
    Lookback timeperiod; needs timeperiod + 1 bars.
    """

@overload
def minus_di(
    high: _Plain,
    low: _Series,
    close: _Series,
    timeperiod: int = 14,
) -> array.array[float]: ...

@overload
def adx(high: _S, low: _Series, close: _Series, timeperiod: int = 14) -> _S:
    """Average directional index. timeperiod >= 2; lookback 2*timeperiod - 1. A bar without true
    range has no DX: it leaves ADX unchanged and reads 0.
    """

@overload
def adx(
    high: _Plain,
    low: _Series,
    close: _Series,
    timeperiod: int = 14,
) -> array.array[float]: ...

@overload
def adxr(high: _S, low: _Series, close: _Series, timeperiod: int = 14) -> _S:
    """Average directional index rating (ADX + ADX timeperiod - 1 bars ago) / 2. timeperiod >= 2;
    needs 2*timeperiod bars; lookback 3*timeperiod - 2.
    """

@overload
def adxr(
    high: _Plain,
    low: _Series,
    close: _Series,
    timeperiod: int = 14,
) -> array.array[float]: ...
