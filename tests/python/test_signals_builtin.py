"""The six built-in signals of the TTM / Ichimoku / DMI / oscillator / volume
families through generate_zj_signals: record counts, warm-up, parameter
placement, and random bars and parameter texts that must never crash."""
import math
import re

import pytest
from hypothesis import HealthCheck, given, settings, strategies as st

import zjkit
from zjkit._native import generate_zj_signals, zj_signal_list

TTM, IC, DMI = "zj_ttm_squeeze_V260711", "zj_ic_state_V260718", "zj_dmi_state_V260714"
OSC720, OSC721, VOL = "zj_osc_state_V260720", "zj_osc_state_V260721", "zj_vol_ratio_V260721"
SIX = [TTM, IC, DMI, OSC720, OSC721, VOL]
DEFAULT = ("其他", "任意", "任意")


def bars_from(closes, vols=None, freq="日线"):
    vols = vols or [1000.0] * len(closes)
    return [{"dt": str(i), "freq": freq, "open": c, "high": c + 0.5, "low": c - 0.5, "close": c,
             "vol": v, "amount": v * c} for i, (c, v) in enumerate(zip(closes, vols))]


def wave(n):
    return [20 + 5 * math.sin(i / 7) + 0.05 * i for i in range(n)]


def run(name, bars, **params):
    return generate_zj_signals([{"name": name, "freq": "D", "params": params}], bars)


def labels(r):
    return r["v1"], r["v2"], r["v3"]


def test_registry_holds_the_eight():
    assert sorted(zj_signal_list()) == sorted(SIX + ["zj_wavetrend_V260625", "zj_wavetrend_zone_V260724"])


@pytest.mark.parametrize("name,params,short,defaults", [
    (TTM, {}, 24, 38), (TTM, {"n5": "40"}, 44, 44),
    (DMI, {}, 46, 26), (DMI, {"n2": "14"}, 46, 41), (DMI, {"n2": "0"}, 46, None),
    (OSC720, {}, 24, 19), (OSC721, {"m": "+10"}, 24, 19), (VOL, {}, 24, 19), (VOL, {"n": "0"}, 4, None),
])
def test_warm_up(name, params, short, defaults):
    """`short` bars give records with no reading; from `short` + 1 bars on,
    the first `defaults` records are the signal's default (None: all of them)."""
    few = run(name, bars_from(wave(short)), **params)
    assert len(few) == short and all(labels(r) == DEFAULT for r in few)
    bars = bars_from(wave(120))
    out = run(name, bars, **params)
    assert len(out) == 120 and all(r["name"] == name and r["freq"] == "D" for r in out)
    cut = 120 if defaults is None else defaults
    assert all(labels(r) == DEFAULT for r in out[:cut])
    assert all(r["v1"] != "其他" for r in out[cut:])


def test_ichimoku_reads_one_bar():
    bars = bars_from(wave(150))
    for params, computed in [({}, True), ({"di": "2"}, True), ({"di": "0"}, False),
                             ({"di": "150"}, False), ({"n1": "0"}, False)]:
        out = run(IC, bars, **params)
        assert len(out) == 1 and out[0]["name"] == IC
        assert (labels(out[0]) != DEFAULT) == computed, params
    assert run(IC, bars, di="2") == run(IC, bars[:-1])
    assert labels(run(IC, [])[0]) == DEFAULT
    assert labels(run(IC, bars_from(wave(82)))[0]) == DEFAULT


def test_parameters_at_top_level_or_under_params():
    bars = bars_from(wave(80))
    top = generate_zj_signals([{"name": OSC721, "n": "10", "scale": "0.2"}], bars)
    nested = generate_zj_signals([{"name": OSC721, "params": {"n": "10", "scale": "0.2"}}], bars)
    assert top == nested != generate_zj_signals([{"name": OSC721}], bars)
    # Unparsable texts are the defaults.
    assert run(DMI, bars, n1="abc", n2="-3") == run(DMI, bars)
    assert run(OSC721, bars, scale="abc") == run(OSC721, bars, scale="1")


def test_ttm_rejected_period_is_internal_error():
    bars = bars_from(wave(60))
    for key in ("n1", "n3"):
        with pytest.raises(zjkit.InternalError, match="InvalidParameter"):
            run(TTM, bars, **{key: "0"})
    # Too few bars to compute anything: no failure.
    assert len(run(TTM, bars[:4], n1="0")) == 4


def test_volume_thresholds():
    # n = 2: ratio = 2b / (a + b); exactly 1.2 and 0.8 are normal volume.
    for a, b, label in [(100, 150, "平量"), (100, 151, "放量"), (150, 100, "平量"), (150, 99, "缩量")]:
        out = run(VOL, bars_from([10.0] * 7, [a] * 6 + [b]), n="2")
        assert out[-1]["v1"] == label, (a, b)


# --- random input never crashes ----------------------------------------------

_U64 = 2**64


def parse_unsigned(text, default):
    if text is None or not re.fullmatch(r"\+?[0-9]+", text):
        return default
    value = int(text)
    return value if value < _U64 else default


prices = st.one_of(
    st.floats(allow_nan=True, allow_infinity=True, width=64),
    st.sampled_from([0.0, -1.0, -0.0, 1e-300, 1e300, 10.0, 10.5]),
    st.floats(min_value=1, max_value=100),
)
bar_dicts = st.fixed_dictionaries(
    {k: prices for k in ("open", "high", "low", "close", "vol", "amount")},
    optional={"freq": st.sampled_from(["日线", "", "60分钟"]), "dt": st.text(max_size=3)},
)
param_texts = st.one_of(
    st.sampled_from(["0", "1", "2", "3", "+5", "14", "20", "-1", "", "abc", "1.5", "nan", "-inf",
                     "1e3", "18446744073709551615", "18446744073709551616", "999999999999"]),
    st.text(max_size=6),
    st.integers(min_value=0, max_value=70).map(str),
)
param_maps = st.dictionaries(st.sampled_from(["n", "m", "n1", "n2", "n3", "n4", "n5", "di", "scale", "x"]),
                             param_texts, max_size=6)


def expected_failure(name, params, count):
    """TTM fails only when it gets far enough to ask the library for a period of 0."""
    if name != TTM:
        return False
    n1 = parse_unsigned(params.get("n1"), 20)
    n3 = parse_unsigned(params.get("n3"), 20)
    n5 = parse_unsigned(params.get("n5"), n1)
    return (n1 == 0 or n3 == 0) and count >= max(n1, n3, n5) + 5


@settings(max_examples=200, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(bars=st.lists(bar_dicts, max_size=90), name=st.sampled_from(SIX), params=param_maps)
def test_random_bars_and_parameters(bars, name, params):
    if expected_failure(name, params, len(bars)):
        with pytest.raises(zjkit.InternalError):
            run(name, bars, **params)
        return
    out = run(name, bars, **params)
    assert len(out) == (1 if name == IC else len(bars))
    for r in out:
        assert list(r) == ["name", "freq", "v1", "v2", "v3"]
        assert r["freq"] == "D" and r["name"] in (name, "")
        assert all(isinstance(v, str) and v for v in (r["v1"], r["v2"], r["v3"]))


@settings(max_examples=100, deadline=None)
@given(bars=st.lists(bar_dicts, min_size=60, max_size=120))
def test_all_six_in_one_call(bars):
    out = generate_zj_signals([{"name": n} for n in SIX], bars)
    assert len(out) == 5 * len(bars) + 1
