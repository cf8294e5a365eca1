"""generate_zj_signals and zj_signal_list from Python."""

import datetime

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import zjkit._native as native

WT = "zj_wavetrend_V260625"
ZONE = "zj_wavetrend_zone_V260724"


def test_every_call_writes_one_diagnostic_line(capfd):
    native.generate_zj_signals([], [])
    native.generate_zj_signals([], [])
    err = capfd.readouterr().err
    count = len(native.zj_signal_list())
    assert err == f"[zj_python] dispatch: registry has {count} signals\n" * 2


def test_signal_list_is_distinct_and_holds_the_wavetrend_pair():
    names = native.zj_signal_list()
    assert len(names) == len(set(names))
    assert {WT, ZONE} <= set(names)


def test_unregistered_names_and_record_shape():
    out = native.generate_zj_signals([{"name": "x", "freq": "F"}], [{}, {}, {}])
    assert out == [{"name": "x", "freq": "F", "v1": "未注册", "v2": "未注册", "v3": "未注册"}] * 3
    assert list(out[0]) == ["name", "freq", "v1", "v2", "v3"]
    assert native.generate_zj_signals([{"name": "x"}], []) == []


def test_blocks_keep_configuration_order_and_freq(daily_bars):
    configs = [{"name": ZONE, "freq": "日线"}, {"name": WT}, {"name": ZONE, "freq": "日线"}]
    out = native.generate_zj_signals(configs, daily_bars)
    n = len(daily_bars)
    assert len(out) == 3 * n
    assert [r["name"] for r in out[::n]] == [ZONE, WT, ZONE]
    assert {r["freq"] for r in out[n:2 * n]} == {""}  # no "freq" key although the bars carry one
    assert out[:n] == out[2 * n:]


@pytest.mark.parametrize("config", [
    {"name": WT, "params": {"n1": 9}},           # an int value loses the whole dict
    {"name": WT, "params": {}},
    {"name": WT, "params": "n1=9"},
    {"name": WT, "n1": 9},                         # non-str top-level values are skipped
])
def test_unusable_params_fall_back_to_defaults(config, daily_bars):
    expected = native.generate_zj_signals([{"name": WT}], daily_bars)
    assert native.generate_zj_signals([config], daily_bars) == expected


def test_top_level_text_parameters_configure_the_signal(daily_bars):
    via_params = native.generate_zj_signals([{"name": WT, "params": {"n1": "5", "n2": "8"}}], daily_bars)
    via_keys = native.generate_zj_signals([{"name": WT, "n1": "5", "n2": "8"}], daily_bars)
    mixed = native.generate_zj_signals([{"name": WT, "params": {"n1": 5}, "n1": "5", "n2": "8"}], daily_bars)
    assert via_params == via_keys == mixed
    assert via_params != native.generate_zj_signals([{"name": WT}], daily_bars)


def test_bar_fields_never_raise(daily_bars):
    odd = [{"dt": datetime.datetime(2024, 1, 2), "close": "1.0", "high": None, "low": 2**2000,
            "open": object(), "vol": [1], "freq": 5}] * 50
    out = native.generate_zj_signals([{"name": WT}], odd)
    assert len(out) == 50
    good = [dict(b, close=float(b["close"])) for b in daily_bars]
    ints = [dict(b, close=int(b["close"] * 100), high=int(b["high"] * 100), low=int(b["low"] * 100))
            for b in daily_bars]
    assert len(native.generate_zj_signals([{"name": ZONE}], ints)) == len(good)


@pytest.mark.parametrize("configs, bars, error, message", [
    ([{"name": WT}], [1], TypeError, "'int' object is not an instance of 'dict'"),
    ([5], [{}], TypeError, "'int' object is not an instance of 'dict'"),
    ([{}], [{}], ValueError, "Missing 'name'"),
    ([{"name": WT}, {"freq": "F"}], [{}], ValueError, "Missing 'name'"),
    ([{}], [None], TypeError, "'NoneType' object is not an instance of 'dict'"),  # bars come first
])
def test_record_errors(configs, bars, error, message):
    with pytest.raises(error) as info:
        native.generate_zj_signals(configs, bars)
    assert str(info.value) == message


def test_name_of_wrong_type_is_a_conversion_error():
    with pytest.raises(TypeError):
        native.generate_zj_signals([{"name": 5}], [])


def test_dict_subclasses_are_read_by_key(daily_bars):
    class Bar(dict):
        def __getitem__(self, key):  # not consulted: values are read from the dict itself
            raise AssertionError

    out = native.generate_zj_signals([{"name": WT}], [Bar(b) for b in daily_bars])
    assert out == native.generate_zj_signals([{"name": WT}], daily_bars)


values = st.recursive(
    st.none() | st.booleans() | st.integers() | st.floats() | st.text(max_size=8) | st.binary(max_size=8)
    | st.just(2**70) | st.just(float("nan")),
    lambda inner: st.lists(inner, max_size=3) | st.dictionaries(st.text(max_size=5), inner, max_size=3),
    max_leaves=6,
)
bar_keys = st.sampled_from(["dt", "freq", "open", "high", "low", "close", "vol", "amount", "x"])
config_keys = st.sampled_from(["name", "freq", "params", "n1", "n2", "n3", "_init_n", ""])


class Weird(dict):
    pass


@settings(max_examples=200, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(
    configs=st.lists(st.dictionaries(config_keys, values | st.sampled_from([WT, ZONE, "0", "+3"]), max_size=5)
                     | values, max_size=4) | values,
    bars=st.lists(st.dictionaries(bar_keys, values, max_size=8).map(Weird) | values, max_size=60) | values,
)
def test_random_values_never_crash(configs, bars):
    try:
        out = native.generate_zj_signals(configs, bars)
    except (TypeError, ValueError, OverflowError):
        return
    assert isinstance(out, list)
    assert all(list(r) == ["name", "freq", "v1", "v2", "v3"] for r in out)
