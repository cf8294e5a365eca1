"""The TTM, Ichimoku, DMI, oscillator and volume signals through
generate_zj_signals: parameter placement, the one failure, random bars and
parameter texts that must never crash, and their inputs against zjkit.ta.
Thresholds and warm-up counts are tested in tests/cpp/test_signals_*.cpp."""
import math
import re

import pytest
from hypothesis import HealthCheck, given, settings, strategies as st

import zjkit
from zjkit._native import generate_zj_signals, zj_signal_list
from zjkit.sample import daily_bars

TTM, IC, DMI = "zj_ttm_squeeze_V260711", "zj_ic_state_V260718", "zj_dmi_state_V260714"
OSC720, OSC721, VOL = "zj_osc_state_V260720", "zj_osc_state_V260721", "zj_vol_ratio_V260721"
SIX = [TTM, IC, DMI, OSC720, OSC721, VOL]
DEFAULT = ("其他", "任意", "任意")


def bars_from(closes, freq="日线"):
    return [{"dt": str(i), "freq": freq, "open": c, "high": c + 0.5, "low": c - 0.5, "close": c,
             "vol": 1000.0 + i % 7 * 100, "amount": 1000.0 * c} for i, c in enumerate(closes)]


def wave(n):
    return [20 + 5 * math.sin(i / 7) + 0.05 * i for i in range(n)]


def run(name, bars, **params):
    return generate_zj_signals([{"name": name, "freq": "D", "params": params}], bars)


def labels(r):
    return r["v1"], r["v2"], r["v3"]


def test_registry_holds_the_eight():
    assert sorted(zj_signal_list()) == sorted(SIX + ["zj_wavetrend_V260625", "zj_wavetrend_zone_V260724"])


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


bad_values = st.sampled_from([math.nan, math.inf, -math.inf, 0.0, -3.0, 1e308])


@settings(max_examples=100, deadline=None)
@given(n=st.integers(min_value=0, max_value=150),
       damage=st.lists(st.tuples(st.integers(min_value=0, max_value=149),
                                 st.sampled_from(["high", "low", "close", "vol"]), bad_values), max_size=8))
def test_all_six_over_damaged_series(n, damage):
    """Clean bars with a few broken values: every signal still answers, and the
    computed readings before the first broken bar are those of the clean series."""
    clean = bars_from(wave(n))
    bars = [dict(b) for b in clean]
    for i, key, value in damage:
        if i < n:
            bars[i][key] = value
    config = [{"name": name, "freq": "D"} for name in SIX]  # TTM, IC, DMI, OSC720, OSC721, VOL
    out = generate_zj_signals(config, bars)
    reference = generate_zj_signals(config, clean)
    assert len(out) == len(reference) == 5 * n + 1
    assert out[n]["name"] == IC
    first_bad = min([i for i, _, _ in damage if i < n], default=n)
    # The per-bar signals look only backwards: bars before the damage read as before.
    for start in (0, n + 1, 2 * n + 1, 3 * n + 1, 4 * n + 1):
        assert out[start:start + first_bad] == reference[start:start + first_bad]


# --- the signals' inputs against zjkit.ta ------------------------------------
# zjkit.ta is the library the signals call: its values must reproduce every
# label exactly, thresholds included.

ta = pytest.importorskip("zjkit.ta")
np = pytest.importorskip("numpy")


def _hlc(bars):
    return (np.array([b["high"] for b in bars]), np.array([b["low"] for b in bars]),
            np.array([b["close"] for b in bars]))


@pytest.mark.parametrize("seed", [1, 7, 23])
def test_ttm_inputs(seed):
    bars = daily_bars(n=300, seed=seed)
    h, l, c = _hlc(bars)
    n = 20
    basis = ta.sma(c, n)
    delta = c - ((ta.max(h, n) + ta.min(l, n)) * 0.5 + basis) * 0.5
    mom = np.full(len(c), np.nan)
    mom[n - 1:] = ta.linearreg(delta[n - 1:], n)
    upper, _, lower = ta.bbands(c, n, 2.0, 2.0, 0)
    atr = ta.atr(h, l, c, n)
    squeeze = (lower > basis - 1.5 * atr) & (basis + 1.5 * atr > upper)
    out = run(TTM, bars)
    assert all(labels(r) == DEFAULT for r in out[:2 * (n - 1)])
    for i in range(2 * (n - 1), len(bars)):
        squeeze_label = {(True, True): "挤压", (True, False): "转挤压", (False, True): "转震动",
                         (False, False): "震动"}[(bool(squeeze[i]), bool(squeeze[i - 1]))]
        assert (out[i]["v1"], out[i]["v3"]) == ("多头" if mom[i] > 0 else "空头", squeeze_label), i


def _moving_average_adx(pdi, mdi, n2):
    """ADX as a plain n2-bar mean of DX, carried as a running sum from the first DX."""
    dx = [abs(m - p) / (p + m) * 100 if p + m > 0 else math.nan for p, m in zip(pdi, mdi)]
    a = [math.nan] * len(dx)
    f = next(i for i, x in enumerate(dx) if not math.isnan(x))
    total = 0.0
    for j in range(f, f + n2):
        total += dx[j]
    a[f + n2 - 1] = total / n2
    for j in range(f, len(dx) - n2):
        total += dx[j + n2]
        total -= dx[j]
        a[j + n2] = total / n2
    b = [math.nan] * n2 + [(a[i] + a[i - n2]) * 0.5 for i in range(n2, len(a))]
    return a, b


@pytest.mark.parametrize("n1,n2", [(14, 14), (14, 6), (10, 20)])
def test_dmi_inputs(n1, n2):
    bars = daily_bars(n=400, seed=3)
    h, l, c = _hlc(bars)
    pdi, mdi = ta.plus_di(h, l, c, n1), ta.minus_di(h, l, c, n1)
    if n1 == n2:
        a, b = ta.adx(h, l, c, n1), ta.adxr(h, l, c, n1)
    else:
        a, b = (np.array(x) for x in _moving_average_adx(pdi.tolist(), mdi.tolist(), n2))
    out = run(DMI, bars, n1=str(n1), n2=str(n2))
    for i in range(1, len(bars)):
        if np.isnan([a[i], b[i], a[i - 1], b[i - 1]]).any():
            assert labels(out[i]) == DEFAULT, i
            continue
        d, slope = pdi[i] - mdi[i], a[i] - a[i - min(i, 3)]
        strength = "强趋势" if a[i] >= 40 else "趋势" if a[i] >= 25 else "酝酿" if a[i] >= 20 else "盘整"
        side = ("多头强势" if d > 10 else "多头" if d > 5 else "缠绕" if d >= -5 else
                "空头" if d >= -10 else "空头强势")
        trend = "上升" if slope > 0.5 else "下降" if slope < -0.5 else "平稳"
        assert labels(out[i]) == (strength, side, trend), i


@pytest.mark.parametrize("di", [1, 2, 5, 40])
def test_ichimoku_inputs(di):
    bars = daily_bars(n=200, seed=11)
    h, l, c = _hlc(bars)
    mid = {k: (ta.max(h, k) + ta.min(l, k)) * 0.5 for k in (9, 26, 52)}
    i = len(bars) - di
    span_a = (mid[9][i - 26] + mid[26][i - 26]) * 0.5
    span_b = mid[52][i - 26]
    top, bottom = max(span_a, span_b), min(span_a, span_b)
    r = run(IC, bars, di=str(di))[0]
    assert r["v2"] == ("上升云" if span_a > span_b else "下降云")
    if l[i] > top:
        assert r["v1"] == "云上"
    elif h[i] < bottom:
        assert r["v1"] == "云下"
    elif c[i] > top:
        assert r["v1"] == "突破上"
    elif c[i] < bottom:
        assert r["v1"] == "跌破下"
    else:
        assert r["v1"] in ("测云顶", "云内", "贯穿云", "测云底")
