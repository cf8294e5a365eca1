"""zjkit.ta as a Python module: inputs, outputs, errors, signatures (values: test_ta_reference.py)."""

import array
import contextlib
import inspect
import subprocess
import sys

import numpy as np
import pandas as pd
import pytest

import zjkit.ta as ta

PRICES = [10.0, 10.5, 10.2, 10.8, 11.0, 10.7, 11.3, 11.9, 11.4, 12.0]


def test_listing_and_signatures():
    assert ta.__all__ == [
        "TaError", "MaType", "sma", "ema", "ema_core", "wma", "dema", "tema", "trima", "kama", "t3", "mama",
        "compute_ma", "bbands", "max", "min", "linearreg", "linearreg_components", "atr", "plus_di", "minus_di",
        "adx", "adxr"]
    for name, sig in [("sma", "(real, timeperiod=30)"), ("ema_core", "(real, timeperiod, k)"),
                      ("t3", "(real, timeperiod=5, vfactor=0.7)"), ("mama", "(real, fastlimit=0.5, slowlimit=0.05)"),
                      ("bbands", "(real, timeperiod=5, nbdevup=2.0, nbdevdn=2.0, matype=0)"),
                      ("adxr", "(high, low, close, timeperiod=14)")]:
        assert str(inspect.signature(getattr(ta, name))) == sig
    assert ta.sma.__doc__.strip()
    assert [m.name for m in ta.MaType] == ["SMA", "EMA", "WMA", "DEMA", "TEMA", "TRIMA", "KAMA", "MAMA", "T3"]
    assert ta.MaType.T3 == 8 and ta.MaType.__module__ == "zjkit.ta"
    assert np.array_equal(ta.compute_ma(PRICES, 3, ta.MaType.EMA), ta.ema(PRICES, 3), equal_nan=True)


@pytest.mark.parametrize("make", [
    list, tuple, lambda v: array.array("d", v), lambda v: memoryview(array.array("d", v)),
    lambda v: (x for x in v), np.array, lambda v: np.repeat(np.array(v), 2)[::2],
    lambda v: pd.Series(v, index=range(100, 100 + len(v))), lambda v: [int(x) if x.is_integer() else x for x in v],
], ids=["list", "tuple", "array", "memoryview", "generator", "ndarray", "strided", "pandas", "ints"])
def test_every_input_kind_gives_the_same_values(make):
    assert np.array_equal(ta.sma(make(PRICES), 3), ta.sma(array.array("d", PRICES), 3), equal_nan=True)


def test_outputs_follow_the_input_kind():
    out = ta.sma(PRICES, 3)
    assert isinstance(out, array.array) and out.typecode == "d" and len(out) == len(PRICES)
    nd = ta.sma(np.array(PRICES), 3)
    assert isinstance(nd, np.ndarray) and nd.dtype == np.float64 and nd.shape == (10,)
    assert all(isinstance(x, array.array) for x in ta.bbands(PRICES, 3))
    assert all(isinstance(x, np.ndarray) for x in ta.linearreg_components(np.array(PRICES), 3))
    # Outputs are new arrays, never views of the input.
    src = np.array(PRICES)
    ta.trima(src, 1)[0] = -1.0
    assert src[0] == PRICES[0]


@pytest.mark.parametrize("call, fields, text", [
    (lambda: ta.sma([], 1), dict(kind="InsufficientData", need=1, got=0), "InsufficientData { need: 1, got: 0 }"),
    (lambda: ta.atr(PRICES, PRICES, PRICES, 0), dict(need=1), "InsufficientData { need: 1, got: 10 }"),
    (lambda: ta.t3(PRICES, 2 ** 62), dict(need=2 ** 64 - 1), f"InsufficientData {{ need: {2 ** 64 - 1}, got: 10 }}"),
    (lambda: ta.dema(PRICES * 10, 1), dict(kind="InvalidParameter", name="timeperiod", reason="must be >= 2 for DEMA"),
     'InvalidParameter { name: "timeperiod", value: "1", reason: "must be >= 2 for DEMA" }'),
    (lambda: ta.mama(PRICES * 4, 1.5), dict(name="fastlimit", value="1.5"),
     'InvalidParameter { name: "fastlimit", value: "1.5", reason: "must be in (0, 1]" }'),
    (lambda: ta.bbands(PRICES, 5, matype=9), dict(name="matype", value="9", reason="must be 0..8"),
     'InvalidParameter { name: "matype", value: "9", reason: "must be 0..8" }'),
    (lambda: ta.compute_ma(PRICES, 5, -1), dict(value="-1"),
     'InvalidParameter { name: "matype", value: "-1", reason: "must be 0..8" }'),
    # A length mismatch is reported before the period.
    (lambda: ta.adx(PRICES, PRICES[:7], PRICES[:9], 0), dict(kind="LengthMismatch", expected=10, got=7),
     "LengthMismatch { expected: 10, got: 7 }"),
])
def test_ta_errors_carry_their_fields_and_debug_text(call, fields, text):
    with pytest.raises(ta.TaError) as info:
        call()
    assert isinstance(info.value, ValueError) and str(info.value) == text
    assert {k: getattr(info.value, k) for k in fields} == fields


@pytest.mark.parametrize("arg, exc, text", [
    (np.arange(10), TypeError, "argument 'real': expected float64 values, got a buffer of format 'l'"),
    (np.arange(10.0).astype(">f8"), TypeError, "format '>d'"),
    (np.zeros((5, 2)), ValueError, "expected a 1-D series, got a buffer of 2 dimensions (shape 5x2)"),
    (np.float64(3.0), ValueError, "got a buffer of 0 dimensions"),
    (b"abcdefgh" * 4, TypeError, "format 'B'"),
    ([1.0, "2", 3.0], TypeError, "argument 'real': item 1 is not a number (str)"),
    (5, TypeError, "argument 'real': expected a 1-D float64 buffer or a sequence of numbers, not int"),
    ("12345", TypeError, "item 0 is not a number (str)"),
])
def test_unusable_series_are_refused_with_a_clear_error(arg, exc, text):
    with pytest.raises(exc) as info:
        ta.sma(arg, 2)
    assert text in str(info.value) and not isinstance(info.value, ta.TaError)


@pytest.mark.parametrize("call, exc, text", [
    (lambda: ta.sma(PRICES, -3), ValueError, "a period must be a non-negative integer, not -3"),
    (lambda: ta.sma(PRICES, 3.0), TypeError, "argument 'timeperiod': 'float' object cannot be interpreted"),
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
    for call in [
        lambda: ta.sma(good, 3), lambda: ta.bbands(good, 3, matype=ta.MaType.KAMA), lambda: ta.adx(good, good, good, 3),
        lambda: ta.mama(good), lambda: ta.sma(good, 0), lambda: ta.adx(good, good, good[:-1], 3),
        lambda: ta.sma(good, -1), lambda: ta.sma(ints, 2), lambda: ta.adx(good, ints, good, 3),
        lambda: ta.sma(memoryview(ints).cast("B").cast("l", (5, 10)), 2)]:
        with contextlib.suppress(ValueError, TypeError):
            call()
        for buf in (good, ints):
            buf.append(buf[0])
            buf.pop()


def test_numpy_is_not_imported_by_the_module():
    code = ("import sys, zjkit.ta as ta; out = ta.bbands([1.0, 2.0, 4.0, 8.0], 2); "
            "assert 'numpy' not in sys.modules, 'numpy imported'; print(type(out[0]).__name__)")
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True)
    assert done.stdout.strip() == "array"
