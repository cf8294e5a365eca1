"""The module frame: function table, signatures, binding errors, conversions."""

import importlib
import inspect

import pytest

import zjkit
import zjkit._native as native

# The module's function table, in order.
TABLE = [
    "tick_analysis", "trans_analysis", "trans_breakout", "screening_metrics",
    "auction_scanner_version", "auction_morphology_names", "auction_scan",
    "false_sell_version", "auction_false_sell", "generate_zj_signals",
    "zj_signal_list", "generate_all_signals", "get_zs_seq",
]


def test_functions_follow_the_table_and_nothing_else_is_public():
    present = [name for name in TABLE if hasattr(native, name)]
    assert native.__all__ == present
    assert {"generate_zj_signals", "zj_signal_list"} <= set(present)
    public = [k for k in vars(native) if not k.startswith("_")]
    assert public == present  # attribute order is the order of addition
    assert importlib.import_module("zjkit._native") is native
    assert all(callable(getattr(native, n)) for n in present)


def test_docstrings_carry_text_signatures():
    assert str(inspect.signature(native.generate_zj_signals)) == "(signals_config, bars)"
    assert str(inspect.signature(native.zj_signal_list)) == "()"
    assert native.generate_zj_signals.__text_signature__ == "(signals_config, bars)"


@pytest.mark.parametrize("call, message", [
    (lambda: native.generate_zj_signals([]),
     "generate_zj_signals() missing 1 required positional argument: 'bars'"),
    (lambda: native.generate_zj_signals(),
     "generate_zj_signals() missing 2 required positional arguments: 'signals_config' and 'bars'"),
    (lambda: native.generate_zj_signals([], [], []),
     "generate_zj_signals() takes 2 positional arguments but 3 were given"),
    (lambda: native.generate_zj_signals([], [], foo=1),
     "generate_zj_signals() got an unexpected keyword argument 'foo'"),
    (lambda: native.generate_zj_signals([], signals_config=[]),
     "generate_zj_signals() got multiple values for argument 'signals_config'"),
    (lambda: native.generate_zj_signals((), []),
     "argument 'signals_config': 'tuple' object is not an instance of 'list'"),
    (lambda: native.generate_zj_signals([], None),
     "argument 'bars': 'None' is not an instance of 'list'"),
    (lambda: native.generate_zj_signals(bars=[], signals_config="x"),
     "argument 'signals_config': 'str' object is not an instance of 'list'"),
])
def test_binding_errors(call, message):
    with pytest.raises(TypeError) as info:
        call()
    assert str(info.value) == message


def test_no_argument_functions_reject_arguments():
    with pytest.raises(TypeError):
        native.zj_signal_list(1)
    with pytest.raises(TypeError):
        native.zj_signal_list(x=1)


def test_list_subclasses_are_accepted():
    class MyList(list):
        pass

    assert native.generate_zj_signals(MyList(), MyList()) == []


def test_internal_error_is_a_direct_base_exception():
    assert zjkit.InternalError.__bases__ == (BaseException,)
    assert not issubclass(zjkit.InternalError, Exception)
    assert "InternalError" not in native.__all__
