"""zjkit.plot: every chart renders, draws what its analysis computed, and
turns bad input into a titled figure or the analysis's own error."""

import io
import os
import subprocess
import sys
import warnings

import pytest

pytest.importorskip("matplotlib")

from matplotlib import font_manager  # noqa: E402
from matplotlib.ft2font import FT2Font  # noqa: E402
from PIL import Image  # noqa: E402

from zjkit import _engine, _native, plot, sample  # noqa: E402
from zjkit.__main__ import main  # noqa: E402
from zjkit.plot import _common  # noqa: E402

PRE = 10.0
TAPE = sample.day_tape(n=3000, seed=3, pre_close=PRE, scenario="breakout")
HIGH, LOW = sample.day_range(TAPE)
CHART = sample.minute_chart("fade", seed=3, pre_close=PRE)
AUCTION = sample.auction("staircase")
BARS = sample.daily_bars(n=200, seed=3)
STROKES = sample.strokes(24, seed=3)
SIGNALS = ["zj_wavetrend_zone_V260724", {"name": "zj_ttm_squeeze_V260711", "freq": "日线"}]


LIMITS = {k: AUCTION[k] for k in ("open_price", "pre_close", "limit_up", "limit_down")}


def auction_fig(data, **kw):
    return plot.auction(data, **LIMITS, **kw)


# kind -> a call drawing it from its input
DRAW = {
    "signals": lambda d, **kw: plot.signals(d, SIGNALS, **kw),
    "zones": lambda d, **kw: plot.zones(d, **kw),
    "auction": auction_fig,
    "tape": lambda d, **kw: plot.tape(d, PRE, HIGH, LOW, breakout_price=10.3, **kw),
    "minutes": lambda d, **kw: plot.minutes(d, PRE, **kw),
}
SAMPLE = {"signals": BARS, "zones": STROKES, "auction": AUCTION["data"], "tape": TAPE,
          "minutes": CHART}


def png(fig):
    buf = io.BytesIO()
    fig.savefig(buf, format="png")
    return Image.open(io.BytesIO(buf.getvalue()))


def title(fig):
    texts = [fig._suptitle.get_text()] if fig._suptitle else []
    locs = ("left", "center", "right")
    return "\n".join(texts + [ax.get_title(loc=loc) for ax in fig.axes for loc in locs])


def gid(fig, name):
    return [a for ax in fig.axes for a in ax.get_children() if a.get_gid() == name]


def offsets(fig, name):
    return sum(len(a.get_offsets()) for a in gid(fig, name))


@pytest.mark.parametrize("kind", list(DRAW))
@pytest.mark.parametrize("size", [((9, 6), 100), ((6, 4), 80)])
def test_renders_sample_at_the_requested_size(kind, size):
    figsize, dpi = size
    image = png(DRAW[kind](SAMPLE[kind], figsize=figsize, dpi=dpi))
    assert image.size == (round(figsize[0] * dpi), round(figsize[1] * dpi))
    colours = image.convert("RGB").getcolors(maxcolors=1 << 20)
    assert len(colours) > 50  # drawn, not blank


def test_tape_marks_are_what_the_verdict_counted():
    fig = DRAW["tape"](TAPE)
    r = _native.trans_analysis(TAPE, PRE, HIGH, LOW)
    assert offsets(fig, "large") == r["large_trade_count"]
    assert offsets(fig, "institutional") == r["inst_buy_count"] + r["inst_sell_count"]
    assert offsets(fig, "matched") == 2 * r["matched_pairs"]
    assert offsets(fig, "split") >= 5 * r["split_clusters"]
    assert f"{r['conclusion']} · 置信度 {r['confidence']:.1f}" in title(fig)
    assert len(gid(fig, "breakout")) == 1


def trade(clock, flag, vol, price=10.0):
    return {"time": clock, "price": price, "vol": vol, "trade_count": 1, "bs_flag": flag}


def test_tape_marks_name_each_trade():
    filler = [trade(f"10:{k:02d}:00", 2, 100) for k in range(20)]
    run = [trade(f"11:00:0{k}", 0, 1000) for k in range(5)]
    pair = [trade("13:30:00", 0, 2000, 10.5), trade("13:30:03", 1, 1900, 10.51)]
    tape = pair + filler[:10] + run + filler[10:]  # out of time order
    marks = _engine.tape_marks(tape, PRE, 10.6, 9.9)
    in_run = range(12, 17)
    assert marks["split_cluster"] == [0 if k in in_run else -1 for k in range(len(tape))]
    assert marks["matched_with"] == [1, 0] + [-1] * (len(tape) - 2)
    assert marks["large"] == [True, True] + [False] * (len(tape) - 2)
    assert not any(marks["institutional"])
    assert marks["time"][:2] == [48600.0, 48603.0]
    assert _engine.tape_marks(tape[:19], PRE, 10.6, 9.9) is None


def test_minutes_marks_and_grade():
    fig = DRAW["minutes"](CHART)
    r = _native.tick_analysis(CHART, PRE)
    assert len(gid(fig, "large")) == r["large_trade_count"]
    assert f"质量分 {r['quality_score']:.0f}" in title(fig)
    assert r["should_cancel"] and r["cancel_reason"] in title(fig)


def test_zones_rectangles_are_the_zones():
    fig = DRAW["zones"](STROKES)
    assert len(gid(fig, "zone")) == len(_native.get_zs_seq(STROKES))
    assert len(gid(fig, "strokes")[0].get_segments()) == len(STROKES)


def test_auction_title_has_class_and_false_sell_verdict():
    fig = DRAW["auction"](AUCTION["data"], threshold=60)
    s = _native.auction_scan(AUCTION["data"], 60, **LIMITS)
    f = _native.auction_false_sell(AUCTION["data"], 60)
    assert s["morphology"] in title(fig)
    assert f"假卖单 {f['score']}" in title(fig)
    assert len(gid(fig, "cancel_stop")) == 3


def test_signal_bands_colour_each_label():
    fig = DRAW["signals"](BARS)
    bands = gid(fig, "band:zj_ttm_squeeze_V260711")
    records = _native.generate_zj_signals([{"name": "zj_ttm_squeeze_V260711"}], BARS)
    image = bands[0].get_array()
    for level in range(3):
        colours = {tuple(px) for px in image[level]}
        assert len(colours) == len({r[f"v{level + 1}"] for r in records})


# input -> text the title must hold
EDGES = [
    ("signals", [], "no bars"),
    ("signals", BARS[:8], "仅默认记录"),
    ("zones", [], "no strokes"),
    ("auction", [], "no snapshots"),
    ("auction", AUCTION["data"][:14], "too few snapshots"),
    ("tape", [], "no trades"),
    ("tape", TAPE[:19], "fewer than 20 trades"),
    ("minutes", [], "no minutes"),
    ("minutes", CHART[:9], "fewer than 10 minutes"),
]


@pytest.mark.parametrize("kind, data, text", EDGES)
def test_edge_cases_say_so_in_the_title(kind, data, text):
    fig = DRAW[kind](data)
    assert text in title(fig)
    assert png(fig).size == tuple(round(v) for v in fig.get_size_inches() * fig.dpi)


def test_unregistered_signal_is_named_in_the_title():
    assert "未注册" in title(plot.signals(BARS, ["no_such_signal"]))


def broken(rows, key, value):
    rows = [dict(r) for r in rows]
    if value is None:
        del rows[3][key]
    else:
        rows[3][key] = value
    return rows


# kind, analysis called on the same input, bad input
REJECTED = [
    ("tape", lambda d: _native.trans_analysis(d, PRE, HIGH, LOW), broken(TAPE, "price", None)),
    ("minutes", lambda d: _native.tick_analysis(d, PRE), broken(CHART, "vol", None)),
    ("auction", lambda d: _native.auction_scan(d), broken(AUCTION["data"], "price", float("nan"))),
    ("zones", _native.get_zs_seq, broken(STROKES, "direction", "up")),
    ("zones", _native.get_zs_seq, tuple(STROKES)),
]


@pytest.mark.parametrize("kind, analysis, data", REJECTED)
def test_rejected_data_raises_the_analysis_error(kind, analysis, data):
    with pytest.raises((TypeError, ValueError)) as expected:
        analysis(data)
    with pytest.raises(expected.type) as got:
        DRAW[kind](data)
    assert str(got.value) == str(expected.value)


def test_unusable_bar_values_still_draw():
    bars = [dict(b) for b in BARS]
    bars[10]["high"] = float("inf")
    bars[11]["close"] = float("nan")
    bars[12]["open"] = "x"
    assert png(plot.signals(bars, SIGNALS)).size == (1400, 900)


def test_frames_pick_one_symbol():
    pd = pytest.importorskip("pandas")
    frame = pd.DataFrame([dict(r, symbol=s) for s in ("A", "B") for r in CHART])
    frame["time"] = pd.to_datetime("2024-01-02 " + frame["time"])
    with pytest.raises(ValueError, match="2 symbols"):
        plot.minutes(frame, PRE)
    fig = plot.minutes(frame, PRE, symbol="B")
    assert title(fig).startswith("B · ") and "质量分" in title(fig)


def test_single_panel_kinds_draw_into_a_given_axes():
    from matplotlib.figure import Figure

    fig = Figure()
    left, right = fig.subplots(1, 2)
    assert plot.zones(STROKES, ax=left) is fig
    assert plot.tape(TAPE, PRE, HIGH, LOW, ax=right) is fig


def test_chinese_labels_have_a_font_or_a_warning():
    family = plot.cjk_font()
    if family is None:
        pytest.skip("no CJK font on this machine (see the warning test)")
    face = font_manager.FontProperties(family=family)
    path = font_manager.findfont(face, fallback_to_default=False)
    assert FT2Font(path).get_char_index(ord("突")) != 0
    with warnings.catch_warnings(record=True) as seen:
        warnings.simplefilter("always")
        png(DRAW["tape"](TAPE))
    assert not [w for w in seen if "missing from font" in str(w.message)]


def test_missing_cjk_font_warns_once_with_the_install_command(monkeypatch):
    monkeypatch.setattr(_common, "_font", None)
    monkeypatch.setattr(_common, "_installed_family", lambda: None)
    monkeypatch.setattr(font_manager, "findSystemFonts", lambda: [])
    with pytest.warns(RuntimeWarning, match="apt-get install fonts-noto-cjk"):
        assert _common.cjk_font() is None
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        assert _common.cjk_font() is None


def run(code):
    return subprocess.run([sys.executable, "-c", code], capture_output=True, text=True)


def test_charts_never_touch_pyplot_or_a_display(tmp_path):
    code = ("import sys, zjkit; print('matplotlib' in sys.modules)\n"
            "from zjkit import plot, sample\n"
            f"plot.zones(sample.strokes(8)).savefig({str(tmp_path / 'z.png')!r})\n"
            "print('matplotlib.pyplot' in sys.modules)")
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                          env={**os.environ, "MPLBACKEND": "tkagg", "DISPLAY": ""})
    assert done.stdout.split() == ["False", "False"]
    assert (tmp_path / "z.png").stat().st_size > 10_000


def test_demo_writes_every_kind(tmp_path, capsys):
    assert main(["demo", "--plots", str(tmp_path)]) == 0
    printed = capsys.readouterr().out.split()
    assert sorted(p.rsplit("/", 1)[1] for p in printed) == sorted(f"{k}.png" for k in DRAW)
    assert all(Image.open(p).size[0] > 500 for p in printed)


def test_demo_without_matplotlib_says_how_to_install():
    done = run("import sys; sys.modules['matplotlib'] = None\n"
               "from zjkit.__main__ import main; sys.exit(main(['demo', '--plots', 'x']))")
    assert done.returncode == 1
    assert done.stderr.strip() == "zjkit demo --plots needs matplotlib: pip install 'zjkit[plot]'"
