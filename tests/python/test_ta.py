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
    for name, sig in [("ema_core", "(real, timeperiod, k)"), ("mama", "(real, fastlimit=0.5, slowlimit=0.05)"),
                      ("bbands", "(real, timeperiod=5, nbdevup=2.0, nbdevdn=2.0, matype=0)"),
                      ("adxr", "(high, low, close, timeperiod=14)")]:
        assert str(inspect.signature(getattr(ta, name))) == sig
    assert [m.name for m in ta.MaType] == ["SMA", "EMA", "WMA", "DEMA", "TEMA", "TRIMA", "KAMA", "MAMA", "T3"]
    assert ta.MaType.T3 == 8 and ta.MaType.__module__ == "zjkit.ta"
    assert np.array_equal(ta.compute_ma(PRICES, 3, ta.MaType.EMA), ta.ema(PRICES, 3), equal_nan=True)


def test_input_kinds_give_the_same_values_and_outputs_follow_the_kind():
    want = ta.sma(array.array("d", PRICES), 3)
    assert isinstance(want, array.array) and want.typecode == "d" and len(want) == len(PRICES)
    for make in [list, lambda v: memoryview(array.array("d", v)), lambda v: (x for x in v),
                 lambda v: np.repeat(np.array(v), 2)[::2], lambda v: pd.Series(v, index=range(100, 100 + len(v))),
                 lambda v: [int(x) if x.is_integer() else x for x in v]]:
        assert np.array_equal(ta.sma(make(PRICES), 3), want, equal_nan=True)
    nd = ta.sma(np.array(PRICES), 3)
    assert isinstance(nd, np.ndarray) and nd.dtype == np.float64 and np.array_equal(nd, want, equal_nan=True)
    assert all(isinstance(x, array.array) for x in ta.bbands(PRICES, 3))
    assert all(isinstance(x, np.ndarray) for x in ta.linearreg_components(np.array(PRICES), 3))
    # Outputs are new arrays, never views of the input.
    ta.trima((src := np.array(PRICES)), 1)[0] = -1.0
    assert src[0] == PRICES[0]


@pytest.mark.parametrize("call, fields, text", [
    (lambda: ta.sma([], 1), dict(kind="InsufficientData", need=1, got=0), "InsufficientData { need: 1, got: 0 }"),
    (lambda: ta.t3(PRICES, 2 ** 62), dict(need=2 ** 64 - 1), f"InsufficientData {{ need: {2 ** 64 - 1}, got: 10 }}"),
    (lambda: ta.dema(PRICES * 10, 1), dict(kind="InvalidParameter", name="timeperiod", value="1"), None),
    (lambda: ta.mama(PRICES * 4, 1.5), dict(name="fastlimit", value="1.5", reason="must be in (0, 1]"), None),
    (lambda: ta.bbands(PRICES, 5, matype=9), dict(name="matype", value="9", reason="must be 0..8"),
     'InvalidParameter { name: "matype", value: "9", reason: "must be 0..8" }'),
    # A length mismatch is reported before the period.
    (lambda: ta.adx(PRICES, PRICES[:7], PRICES[:9], 0), dict(kind="LengthMismatch", expected=10, got=7),
     "LengthMismatch { expected: 10, got: 7 }"),
])
def test_ta_errors_carry_their_fields_and_debug_text(call, fields, text):
    with pytest.raises(ta.TaError) as info:
        call()
    assert isinstance(info.value, ValueError) and str(info.value) == (text or str(info.value))
    assert {k: getattr(info.value, k) for k in fields} == fields


@pytest.mark.parametrize("call, exc, text", [(lambda a=a: ta.sma(a, 2), e, t) for a, e, t in [
    (np.arange(10), TypeError, "argument 'real': expected float64 values, got a buffer of format 'l'"),
    (np.arange(10.0).astype(">f8"), TypeError, "format '>d'"),
    (np.zeros((5, 2)), ValueError, "expected a 1-D series, got a buffer of 2 dimensions (shape 5x2)"),
    (np.float64(3.0), ValueError, "got a buffer of 0 dimensions"),
    ([1.0, "2", 3.0], TypeError, "argument 'real': item 1 is not a number (str)"),
    (5, TypeError, "argument 'real': expected a 1-D float64 buffer or a sequence of numbers, not int"),
]] + [
    (lambda: ta.sma(PRICES, -3), ValueError, "a period must be a non-negative integer, not -3"),
    (lambda: ta.sma(PRICES, 3.0), TypeError, "argument 'timeperiod': 'float' object cannot be interpreted"),
    (lambda: ta.sma(PRICES, 3, 4), TypeError, "sma() takes from 1 to 2 positional arguments but 3 were given"),
    (lambda: ta.atr(PRICES, PRICES, close=PRICES, period=3), TypeError, "unexpected keyword argument 'period'"),
    (lambda: ta.sma(PRICES, 2 ** 70), OverflowError, ""),
])
def test_unusable_series_and_bad_arguments_are_refused_with_a_clear_error(call, exc, text):
    with pytest.raises(exc) as info:
        call()
    assert text in str(info.value) and not isinstance(info.value, ta.TaError)


def test_buffers_are_released_on_every_path():
    # array.array refuses to grow while a buffer of it is exported.
    good = array.array("d", PRICES * 5)
    ints = array.array("l", range(50))
    for call in [lambda: ta.bbands(good, 3, matype=ta.MaType.KAMA), lambda: ta.mama(good), lambda: ta.sma(good, 0),
                 lambda: ta.adx(good, good, good[:-1], 3), lambda: ta.sma(good, -1),
                 lambda: ta.adx(good, ints, good, 3), lambda: ta.sma(memoryview(ints).cast("B").cast("l", (5, 10)), 2)]:
        with contextlib.suppress(ValueError, TypeError):
            call()
        for buf in (good, ints):
            buf.append(buf.pop())


def test_numpy_is_not_imported_by_the_module():
    code = ("import sys, zjkit.ta as ta; out = ta.bbands([1.0, 2.0, 4.0, 8.0], 2); "
            "assert 'numpy' not in sys.modules, 'numpy imported'; print(type(out[0]).__name__)")
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True)
    assert done.stdout.strip() == "array"
