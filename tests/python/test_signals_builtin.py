# The TTM, Ichimoku, DMI, oscillator and volume signals through
# generate_zj_signals: random bars and parameter texts that must never crash,
# and their inputs against zjkit.ta (thresholds and warm-up: tests/cpp).
import math
import re

import pytest
from hypothesis import HealthCheck, given, settings, strategies as st

import zjkit
from zjkit._native import generate_zj_signals
from zjkit.sample import daily_bars

TTM, IC, DMI = "zj_ttm_squeeze_V260711", "zj_ic_state_V260718", "zj_dmi_state_V260714"
SIX = [TTM, IC, DMI, "zj_osc_state_V260720", "zj_osc_state_V260721", "zj_vol_ratio_V260721"]
DEFAULT = ("其他", "任意", "任意")


def bars_from(closes):
    return [{"dt": str(i), "freq": "日线", "open": c, "high": c + 0.5, "low": c - 0.5, "close": c,
             "vol": 1000.0 + i % 7 * 100, "amount": 1000.0 * c} for i, c in enumerate(closes)]


def run(name, bars, **params):
    return generate_zj_signals([{"name": name, "freq": "D", "params": params}], bars)


def labels(r): return r["v1"], r["v2"], r["v3"]


def test_ttm_rejected_period_is_internal_error():
    with pytest.raises(zjkit.InternalError, match="InvalidParameter"):
        run(TTM, bars_from(range(60)), n3="0")


# --- random input never crashes ----------------------------------------------

bad_values = st.sampled_from([math.nan, math.inf, -math.inf, 0.0, -0.0, -3.0, 1e-300, 1e308])
prices = st.one_of(st.floats(width=64), bad_values, st.floats(min_value=1, max_value=100))
bar_dicts = st.fixed_dictionaries({k: prices for k in ("open", "high", "low", "close", "vol", "amount")},
                                  optional={"freq": st.sampled_from(["日线", "", "60分钟"])})
param_texts = st.one_of(st.text(max_size=6), st.integers(0, 70).map(str), st.sampled_from(
    ["+0", "+5", "-1", "1.5", "nan", "-inf", "1e3", "18446744073709551615", "18446744073709551616"]))
param_maps = st.dictionaries(st.sampled_from(["n", "m", "n1", "n2", "n3", "n4", "n5", "di", "scale", "x"]), param_texts)


@settings(max_examples=200, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(bars=st.lists(bar_dicts, max_size=90), name=st.sampled_from(SIX), params=param_maps)
def test_random_bars_and_parameters(bars, name, params):
    try:
        out = run(name, bars, **params)
    except zjkit.InternalError:  # only TTM handing a period of 0 to the library fails
        assert name == TTM and any(re.fullmatch(r"\+?0+", params.get(k, "")) for k in ("n1", "n3"))
        return
    assert len(out) == (1 if name == IC else len(bars))
    assert all(list(r) == ["name", "freq", "v1", "v2", "v3"] and r["freq"] == "D" and r["name"] in (name, "")
               and all(isinstance(v, str) and v for v in labels(r)) for r in out)


@settings(max_examples=100, deadline=None)
@given(n=st.integers(0, 150), damage=st.lists(st.tuples(
    st.integers(0, 149), st.sampled_from(["high", "low", "close", "vol"]), bad_values), max_size=8))
def test_damage_never_reaches_back(n, damage):
    # Clean bars with a few broken values: every signal still answers, and the
    # per-bar readings before the first broken bar are those of the clean series.
    closes = [20 + 5 * math.sin(i / 7) + 0.05 * i for i in range(n)]
    bars = [dict(b, **{key: value for i, key, value in damage if i == j}) for j, b in enumerate(bars_from(closes))]
    # IC gives the one record at index n
    out, ref = (generate_zj_signals([{"name": x, "freq": "D"} for x in SIX], b) for b in (bars, bars_from(closes)))
    assert len(out) == len(ref) == 5 * n + 1 and out[n]["name"] == IC
    k = min([i for i, _, _ in damage if i < n], default=n)  # the first broken bar
    assert all(out[s:s + k] == ref[s:s + k] for s in (0, n + 1, 2 * n + 1, 3 * n + 1, 4 * n + 1))


# --- the signals' inputs against zjkit.ta ------------------------------------
# zjkit.ta is the library the signals call: its values must reproduce every
# label exactly, thresholds included.

ta, np = pytest.importorskip("zjkit.ta"), pytest.importorskip("numpy")


def sample(n, seed):  # sample bars and their highs, lows and closes
    bars = daily_bars(n=n, seed=seed)
    return bars, *(np.array([b[k] for b in bars]) for k in ("high", "low", "close"))


@pytest.mark.parametrize("seed", [1, 7, 23])
def test_ttm_inputs(seed):
    bars, h, l, c = sample(300, seed)
    basis = ta.sma(c, 20)
    delta = c - ((ta.max(h, 20) + ta.min(l, 20)) * 0.5 + basis) * 0.5
    mom = np.r_[np.full(19, np.nan), ta.linearreg(delta[19:], 20)]
    (upper, _, lower), atr = ta.bbands(c, 20, 2.0, 2.0, 0), 1.5 * ta.atr(h, l, c, 20)
    squeeze, out = (lower > basis - atr) & (basis + atr > upper), run(TTM, bars)
    assert all(labels(r) == DEFAULT for r in out[:38])
    for i in range(38, len(bars)):
        m2, m1, m0 = mom[i - 2:i + 1]
        cross = ("其他" if i < 41 else "金叉" if m0 > 0 >= m1 else "死叉" if m0 < 0 <= m1 else
                 "金叉次日" if m0 > m1 > 0 >= m2 else "死叉次日" if m0 < m1 < 0 <= m2 else None)
        assert (out[i]["v2"] == cross if cross
                else out[i]["v2"] not in ("金叉", "死叉", "金叉次日", "死叉次日"))
        squeeze_label = ["震动", "转震动", "转挤压", "挤压"][2 * squeeze[i] + squeeze[i - 1]]
        assert (out[i]["v1"], out[i]["v3"]) == ("多头" if m0 > 0 else "空头", squeeze_label), i
    assert len({r["v3"] for r in out[38:]}) == 4  # the series passes through every squeeze state


@pytest.mark.parametrize("n1,n2", [(14, 14), (14, 6), (10, 20)])
def test_dmi_inputs(n1, n2):
    bars, h, l, c = sample(400, 3)
    pdi, mdi = ta.plus_di(h, l, c, n1), ta.minus_di(h, l, c, n1)
    if n1 == n2:
        a, b = ta.adx(h, l, c, n1), ta.adxr(h, l, c, n1)
    else:  # a plain n2-bar mean of DX from its first value, paired with the value n2 bars back
        f = np.flatnonzero(~np.isnan(dx := np.abs(mdi - pdi) / (pdi + mdi) * 100))[0]
        a = np.r_[np.full(f + n2 - 1, np.nan), np.convolve(dx[f:], np.ones(n2), "valid") / n2]
        b = np.r_[np.full(n2, np.nan), (a[n2:] + a[:-n2]) * 0.5]
    d, slope = pdi - mdi, a - np.roll(a, 3)  # the slope of the first readings too looks 3 bars back
    strength = np.select([a >= 40, a >= 25, a >= 20], ["强趋势", "趋势", "酝酿"], "盘整")
    side = np.select([d > 10, d > 5, d >= -5, d >= -10], ["多头强势", "多头", "缠绕", "空头"], "空头强势")
    trend = np.select([slope > 0.5, slope < -0.5], ["上升", "下降"], "平稳")
    read = ~np.isnan(a + b) & ~np.isnan(np.roll(a + b, 1))  # this reading and the one before
    expected = [tuple(map(str, x)) if r else DEFAULT for x, r in zip(zip(strength, side, trend), read)]
    assert [labels(r) for r in run(DMI, bars, n1=str(n1), n2=str(n2))][1:] == expected[1:]


@pytest.mark.parametrize("di", [1, 2, 5, 40])
def test_ichimoku_inputs(di):
    bars, h, l, c = sample(200, 11)
    i, mid = len(bars) - di, {k: (ta.max(h, k) + ta.min(l, k)) * 0.5 for k in (9, 26, 52)}
    span_a, span_b, r = (mid[9][i - 26] + mid[26][i - 26]) * 0.5, mid[52][i - 26], run(IC, bars, di=str(di))[0]
    top, bottom = max(span_a, span_b), min(span_a, span_b)
    assert r["v2"] == ("上升云" if span_a > span_b else "下降云")
    assert r["v1"] == ("云上" if l[i] > top else "云下" if h[i] < bottom else "突破上" if c[i] > top else
                       "跌破下" if c[i] < bottom else "测云顶" if l[i] >= bottom and h[i] > top else
                       "云内" if l[i] >= bottom else "贯穿云" if h[i] > top else "测云底")
