"""zjkit.ta as a Python module: inputs, outputs, errors, signatures.

Agreement with TA-Lib is checked in test_ta_reference.py.
"""

import array
import inspect
import math
import subprocess
import sys

import numpy as np
import pandas as pd
import pytest

import zjkit.ta as ta

PRICES = [10.0, 10.5, 10.2, 10.8, 11.0, 10.7, 11.3, 11.9, 11.4, 12.0]


def same(a, b):
    a, b = np.asarray(a, dtype=float), np.asarray(b, dtype=float)
    return a.shape == b.shape and np.array_equal(a, b, equal_nan=True)


def test_listing_and_signatures():
    assert ta.__all__ == [
        "TaError", "MaType", "sma", "ema", "ema_core", "wma", "dema", "tema", "trima", "kama", "t3", "mama",
        "compute_ma", "bbands", "max", "min", "linearreg", "linearreg_components", "atr", "plus_di",
        "minus_di", "adx", "adxr",
    ]
    signatures = {
        "sma": "(real, timeperiod=30)",
        "ema_core": "(real, timeperiod, k)",
        "t3": "(real, timeperiod=5, vfactor=0.7)",
        "mama": "(real, fastlimit=0.5, slowlimit=0.05)",
        "compute_ma": "(real, timeperiod=30, matype=0)",
        "bbands": "(real, timeperiod=5, nbdevup=2.0, nbdevdn=2.0, matype=0)",
        "atr": "(high, low, close, timeperiod=14)",
        "adxr": "(high, low, close, timeperiod=14)",
    }
    for name, sig in signatures.items():
        assert str(inspect.signature(getattr(ta, name))) == sig
    assert ta.sma.__doc__.strip()
    assert [m.name for m in ta.MaType] == ["SMA", "EMA", "WMA", "DEMA", "TEMA", "TRIMA", "KAMA", "MAMA", "T3"]
    assert ta.MaType.T3 == 8 and ta.MaType.__module__ == "zjkit.ta"


@pytest.mark.parametrize("make", [
    list, tuple, lambda v: array.array("d", v), lambda v: memoryview(array.array("d", v)),
    lambda v: (x for x in v), lambda v: np.array(v), lambda v: np.repeat(np.array(v), 2)[::2], lambda v: pd.Series(v, index=range(100, 100 + len(v))),
    lambda v: [int(x) if x.is_integer() else x for x in v],
], ids=["list", "tuple", "array", "memoryview", "generator", "ndarray", "strided", "pandas",
        "ints"])
def test_every_input_kind_gives_the_same_values(make):
    expected = ta.sma(array.array("d", PRICES), 3)
    assert same(ta.sma(make(PRICES), 3), expected)


def test_outputs_follow_the_input_kind():
    out = ta.sma(PRICES, 3)
    assert isinstance(out, array.array) and out.typecode == "d" and len(out) == len(PRICES)
    # numpy wraps the array without copying
    assert np.asarray(out).dtype == np.float64
    nd = ta.sma(np.array(PRICES), 3)
    assert isinstance(nd, np.ndarray) and nd.dtype == np.float64 and nd.shape == (10,)
    upper, middle, lower = ta.bbands(PRICES, 3)
    assert all(isinstance(x, array.array) for x in (upper, middle, lower))
    slope, intercept = ta.linearreg_components(np.array(PRICES), 3)
    assert isinstance(slope, np.ndarray) and isinstance(intercept, np.ndarray)
    # Outputs are new arrays, never views of the input.
    src = np.array(PRICES)
    out = ta.trima(src, 1)
    out[0] = -1.0
    assert src[0] == PRICES[0]


def test_values_by_hand():
    out = ta.sma([1.0, 2.0, 3.0, 4.0], 2)
    assert math.isnan(out[0]) and list(out[1:]) == [1.5, 2.5, 3.5]
    assert list(ta.max([1, 3, 3, 2], 2))[1:] == [3.0, 3.0, 3.0]
    assert same(ta.compute_ma(PRICES, 3, ta.MaType.SMA), ta.sma(PRICES, 3))
    assert same(ta.compute_ma(PRICES, 3, 1), ta.ema(PRICES, 3))
    assert same(ta.ema(PRICES, 4), ta.ema_core(PRICES, 4, 0.4))
    assert same(ta.compute_ma(np.arange(40.0), 999, ta.MaType.MAMA), ta.mama(np.arange(40.0))[0])
    assert len(ta.trima([], 1)) == 0


@pytest.mark.parametrize("call, need, got", [
    (lambda: ta.sma(PRICES, 11), 11, 10),
    (lambda: ta.sma([], 1), 1, 0),
    (lambda: ta.dema(PRICES[:4], 3), 5, 4),
    (lambda: ta.mama(PRICES), 33, 10),
    (lambda: ta.atr(PRICES, PRICES, PRICES, 0), 1, 10),
    (lambda: ta.adx(PRICES, PRICES, PRICES, 6), 12, 10),
    (lambda: ta.t3(PRICES, 2 ** 62), 2 ** 64 - 1, 10),
])
def test_too_short_input_raises_insufficient_data(call, need, got):
    with pytest.raises(ta.TaError) as info:
        call()
    e = info.value
    assert isinstance(e, ValueError)
    assert (e.kind, e.need, e.got) == ("InsufficientData", need, got)
    assert str(e) == f"InsufficientData {{ need: {need}, got: {got} }}"


@pytest.mark.parametrize("call, name, value, reason", [
    (lambda: ta.sma(PRICES, 0), "timeperiod", "0", "must be >= 1"),
    (lambda: ta.dema(PRICES * 10, 1), "timeperiod", "1", "must be >= 2 for DEMA"),
    (lambda: ta.t3(PRICES, 1), "timeperiod", "1", "must be >= 2 for T3"),
    (lambda: ta.linearreg(PRICES, 1), "timeperiod", "1", "must be >= 2"),
    (lambda: ta.mama(PRICES * 4, 1.5), "fastlimit", "1.5", "must be in (0, 1]"),
    (lambda: ta.mama(PRICES * 4, 0.5, 0.5), "slowlimit", "0.5", "must be in (0, fastlimit)"),
    (lambda: ta.bbands(PRICES, 0), "timeperiod", "0", "must be >= 1"),
    (lambda: ta.bbands(PRICES, 5, matype=9), "matype", "9", "must be 0..8"),
    (lambda: ta.compute_ma(PRICES, 5, -1), "matype", "-1", "must be 0..8"),
])
def test_bad_parameters_raise_invalid_parameter(call, name, value, reason):
    with pytest.raises(ta.TaError) as info:
        call()
    e = info.value
    assert (e.kind, e.name, e.value, e.reason) == ("InvalidParameter", name, value, reason)
    assert str(e) == f'InvalidParameter {{ name: "{name}", value: "{value}", reason: "{reason}" }}'


def test_length_mismatch_is_reported_before_the_period():
    with pytest.raises(ta.TaError) as info:
        ta.adx(PRICES, PRICES[:7], PRICES[:9], 0)
    assert (info.value.kind, info.value.expected, info.value.got) == ("LengthMismatch", 10, 7)
    assert str(info.value) == "LengthMismatch { expected: 10, got: 7 }"


@pytest.mark.parametrize("arg, exc, text", [
    (np.arange(10), TypeError, "argument 'real': expected float64 values, got a buffer of format 'l'"),
    (np.arange(10, dtype=np.float32), TypeError, "format 'f'"),
    (np.arange(10.0).astype(">f8"), TypeError, "format '>d'"),
    (np.zeros((5, 2)), ValueError, "expected a 1-D series, got a buffer of 2 dimensions (shape 5x2)"),
    (np.float64(3.0), ValueError, "got a buffer of 0 dimensions"),
    (b"abcdefgh" * 4, TypeError, "format 'B'"),
    (np.array([True] * 10), TypeError, "format '?'"),
    ([1.0, "2", 3.0], TypeError, "argument 'real': item 1 is not a number (str)"),
    ([1.0, None], TypeError, "item 1 is not a number (NoneType)"),
    (5, TypeError, "argument 'real': expected a 1-D float64 buffer or a sequence of numbers, not int"),
    (None, TypeError, "not NoneType"),
    ("12345", TypeError, "item 0 is not a number (str)"),
])
def test_unusable_series_are_refused_with_a_clear_error(arg, exc, text):
    with pytest.raises(exc) as info:
        ta.sma(arg, 2)
    assert text in str(info.value)
    assert not isinstance(info.value, ta.TaError)


@pytest.mark.parametrize("call, exc, text", [
    (lambda: ta.sma(PRICES, -3), ValueError, "a period must be a non-negative integer, not -3"),
    (lambda: ta.sma(PRICES, 3.0), TypeError, "argument 'timeperiod': 'float' object cannot be interpreted"),
    (lambda: ta.sma(PRICES, timeperiod="3"), TypeError, "argument 'timeperiod'"),
    (lambda: ta.mama(PRICES, "fast"), TypeError, "argument 'fastlimit'"),
    (lambda: ta.sma(), TypeError, "sma() missing 1 required positional argument: 'real'"),
    (lambda: ta.sma(PRICES, 3, 4), TypeError, "sma() takes from 1 to 2 positional arguments but 3 were given"),
    (lambda: ta.atr(PRICES, PRICES, close=PRICES, period=3), TypeError, "unexpected keyword argument 'period'"),
    (lambda: ta.sma(PRICES, 2 ** 70), OverflowError, ""),
])
def test_bad_arguments(call, exc, text):
    with pytest.raises(exc) as info:
        call()
    assert text in str(info.value)


def test_buffers_are_released_on_every_path():
    # array.array refuses to grow while a buffer of it is exported.
    good = array.array("d", PRICES * 5)
    ints = array.array("l", range(50))
    calls = [
        lambda: ta.sma(good, 3), lambda: ta.bbands(good, 3, matype=ta.MaType.KAMA), lambda: ta.adx(good, good, good, 3),
        lambda: ta.mama(good), lambda: ta.sma(good, 0), lambda: ta.adx(good, good, good[:-1], 3),
        lambda: ta.sma(good, -1), lambda: ta.sma(ints, 2), lambda: ta.adx(good, ints, good, 3),
        lambda: ta.sma(memoryview(ints).cast("B").cast("l", (5, 10)), 2),
    ]
    for call in calls:
        try:
            call()
        except (ValueError, TypeError):
            pass
        good.append(1.0)
        ints.append(1)
        good.pop()
        ints.pop()


def test_numpy_is_not_imported_by_the_module():
    code = ("import sys, zjkit.ta as ta; out = ta.bbands([1.0, 2.0, 4.0, 8.0], 2); "
            "assert 'numpy' not in sys.modules, 'numpy imported'; print(type(out[0]).__name__)")
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True)
    assert done.stdout.strip() == "array"
