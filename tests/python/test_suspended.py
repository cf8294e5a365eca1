"""A suspended stock (停牌) repeats one price for many bars. Once a stretch fills
an indicator's window it reads as exactly flat, whatever rounding residue the
moving bars before it left in the carried sums: no cross or one-sided label is
made out of ±1e-14. (The indicators themselves: tests/cpp/test_indicators.cpp.)

The WaveTrend signals are left out: their four-decimal rounded averages
settle in a dead band beside a flat price by definition, not by residue."""

import pytest

from zjkit._native import generate_zj_signals
from zjkit.sample import daily_bars

AT, LENGTH = 120, 80
SEEDS = range(6)


def suspended(seed, vol=0.0, at=AT, length=LENGTH):
    """Sample bars with a stretch of `length` bars at the close before bar `at`;
    `vol` None keeps the last volume."""
    bars = daily_bars(n=260, seed=seed)
    p = bars[at - 1]["close"]
    v = bars[at - 1]["vol"] if vol is None else vol
    flat = {"open": p, "high": p, "low": p, "close": p, "vol": v, "amount": p * v}
    stretch = [{**bars[at], **flat} for _ in range(length)]
    return bars[:at] + stretch + bars[at:]


def labels(name, bars, **params):
    config = [{"name": name, "freq": "D", "params": params}]
    return [(r["v1"], r["v2"], r["v3"]) for r in generate_zj_signals(config, bars)]


# ---- signals -----------------------------------------------------------------

CROSSES = {"金叉", "死叉", "金叉次日", "死叉次日"}


@pytest.mark.parametrize("seed", SEEDS)
@pytest.mark.parametrize("n1", [20, 10])
def test_ttm_momentum_is_exactly_flat(seed, n1):
    # 2·n1 − 1 bars fill the regression of the distance from the centre line.
    out = labels("zj_ttm_squeeze_V260711", suspended(seed), n1=str(n1))
    first_zero = AT + 2 * n1 - 2
    for i in range(first_zero, AT + LENGTH):
        assert out[i][0] == "空头", i
        assert out[i][1] not in CROSSES, i
    # From the bar after, the three momenta before are zero too.
    for i in range(first_zero + 1, AT + LENGTH):
        assert out[i][:2] == ("空头", "其他"), i


@pytest.mark.parametrize("seed", SEEDS)
@pytest.mark.parametrize("name, heat", [
    ("zj_osc_state_V260720", "偏低"),
    ("zj_osc_state_V260721", "适中"),
])
def test_oscillator_sits_on_zero(seed, name, heat):
    out = labels(name, suspended(seed))
    for i in range(AT + 19, AT + LENGTH):
        assert out[i][:2] == ("零", heat), i
    # Its rounded average has decayed to zero by the end.
    assert out[AT + LENGTH - 1][2] == "平稳"


@pytest.mark.parametrize("seed", SEEDS[:3])
def test_volume_ratio_of_a_suspension(seed):
    # No volume: no average to compare with. A repeated volume: exactly normal.
    no_volume = labels("zj_vol_ratio_V260721", suspended(seed, vol=0.0))
    repeated = labels("zj_vol_ratio_V260721", suspended(seed, vol=None))
    for i in range(AT + 19, AT + LENGTH):
        assert no_volume[i] == ("其他", "任意", "任意"), i
        assert repeated[i] == ("平量", "任意", "任意"), i


@pytest.mark.parametrize("seed", SEEDS[:3])
def test_dmi_and_ichimoku_hold_still(seed):
    # The smoothed directional sums decay alike, so the ADX stops moving.
    out = labels("zj_dmi_state_V260714", suspended(seed))
    assert {r[2] for r in out[AT + 40:AT + LENGTH]} == {"平稳"}
    # A suspension long enough for both cloud spans: inside the cloud, on both lines.
    ending = suspended(seed)[:AT + LENGTH]
    assert labels("zj_ic_state_V260718", ending) == [("云内", "下降云", "双强")]
