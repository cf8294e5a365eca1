"""get_zs_seq: zone building, stroke reading (directions, the two time keys and
their text forms) and the output format."""

import datetime as dt
import inspect
import math

import numpy as np
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from zjkit import _native
from zjkit.sample.strokes import strokes

get_zs_seq = _native.get_zs_seq

ZONE_KEYS = ["zg", "zd", "zz", "gg", "dd", "sdir", "edir", "sdt", "edt", "sdt_ts", "edt_ts"]
BAD_START = "Missing or invalid time: 'sdt_ts' (unix secs) / 'sdt' (str)"
BAD_END = "Missing or invalid time: 'edt_ts' (unix secs) / 'edt' (str)"


def bi(direction, high, low, i=0, **times):
    out = {"direction": direction, "high": high, "low": low}
    out.update(times or {"sdt_ts": 600 * i, "edt_ts": 600 * (i + 1)})
    return out


def seq(*rows):
    return [bi(d, h, lo, i) for i, (d, h, lo) in enumerate(rows)]


# ---- zone building -----------------------------------------------------------

def test_zones_of_the_worked_example():
    # Three strokes make a core of 10..11; an up stroke topping out at 9.8 leaves it.
    core = seq(("Up", 12, 10), ("Down", 12, 9), ("Up", 11, 9.5), ("Up", 9.8, 8))
    got = get_zs_seq(core)
    assert [(z["zg"], z["zd"], z["zz"], z["gg"], z["dd"]) for z in got] == [(11, 10, 10.5, 12, 9),
                                                                           (9.8, 8, 8.9, 9.8, 8)]
    assert [(z["sdt_ts"], z["edt_ts"], z["sdir"], z["edir"]) for z in got] == [(0, 1800, "Up", "Up"),
                                                                             (1800, 2400, "Up", "Up")]


def test_one_stroke_zone_in_full():
    assert get_zs_seq([bi("向下", 12.5, 10, sdt="2024-01-02 09:30:00", edt="2024-01-02T10:00:00.25Z")]) == [
        {"zg": 12.5, "zd": 10.0, "zz": 11.25, "gg": 12.5, "dd": 10.0, "sdir": "Down", "edir": "Down",
         "sdt": "2024-01-02T09:30:00+00:00", "edt": "2024-01-02T10:00:00.250+00:00",
         "sdt_ts": 1704187800, "edt_ts": 1704189600},
    ]


def test_chinese_directions_match_english():
    english = seq(("Up", 12, 10), ("Down", 12, 9), ("Up", 11, 9.5), ("Up", 9.8, 8))
    chinese = [dict(b, direction={"Up": "向上", "Down": "向下"}[b["direction"]]) for b in english]
    assert get_zs_seq(chinese) == get_zs_seq(english)


# ---- bad input ---------------------------------------------------------------

@pytest.mark.parametrize("text", ["up", "UP", " Up", "Up ", "上", "down", "", "Up\x00"])
def test_invalid_direction_texts(text):
    with pytest.raises(ValueError) as e:
        get_zs_seq([bi(text, 1, 0)])
    assert str(e.value) == f"Invalid direction '{text}', expected Up/Down"


def test_unencodable_direction_is_invalid():
    with pytest.raises(ValueError, match="^Invalid direction '.*', expected Up/Down$"):
        get_zs_seq([bi("\ud800", 1, 0)])


@pytest.mark.parametrize(
    "item, exc, message",
    [
        ({"high": 1, "low": 0, "sdt_ts": 0, "edt_ts": 0}, ValueError, "Missing 'direction'"),
        (bi(1, 1, 0), TypeError, "'int' object is not an instance of 'str'"),
        (bi(None, 1, 0), TypeError, None),  # the str conversion's own wording
        ({"direction": "Up", "low": 0, "sdt_ts": 0, "edt_ts": 0}, ValueError, "Missing 'high'"),
        ({"direction": "Up", "high": 0, "sdt_ts": 0, "edt_ts": 0}, ValueError, "Missing 'low'"),
        ({"direction": "Up", "high": 1, "low": 0}, ValueError, BAD_START),
        ({"direction": "Up", "high": 1, "low": 0, "sdt_ts": 0}, ValueError, BAD_END),
        ({"direction": "bad"}, ValueError, "Invalid direction 'bad', expected Up/Down"),  # direction read first
        ("stroke", TypeError, "'str' object is not an instance of 'dict'"),
    ],
)
def test_stroke_errors(item, exc, message):
    good = bi("Up", 1, 0)
    with pytest.raises(exc) as e:
        get_zs_seq([good, item, good])
    assert message is None or str(e.value) == message


@pytest.mark.parametrize("high", ["1", None, [1]])
def test_price_conversion_errors(high):
    with pytest.raises(TypeError):
        get_zs_seq([bi("Up", high, 0)])


@pytest.mark.parametrize(
    "value, message",
    [
        ((bi("Up", 1, 0),), "argument 'bis': 'tuple' object is not an instance of 'list'"),
        (None, "argument 'bis': 'None' is not an instance of 'list'"),
    ],
)
def test_bis_must_be_a_list(value, message):
    with pytest.raises(TypeError) as e:
        get_zs_seq(value)
    assert str(e.value) == message
    with pytest.raises(TypeError, match="missing 1 required positional argument: 'bis'"):
        get_zs_seq()


def test_signature_and_docstring():
    assert str(inspect.signature(get_zs_seq)) == "(bis)"
    assert get_zs_seq.__doc__.splitlines() == [
        "从笔列表识别中枢序列。",
        "",
        "参数:",
        "    bis: 笔字典列表，每项含:",
        '        - direction: "Up" / "Down"（或 "向上"/"向下"）',
        "        - high: 笔最高价",
        "        - low: 笔最低价",
        "        - sdt: 开始时间（字符串或 datetime，UTC）",
        "        - edt: 结束时间（字符串或 datetime，UTC）",
        "",
        "返回:",
        "    list[dict]: 中枢字典列表，每项含",
        "    zg/zd/zz/gg/dd（数值）、sdir/edir（\"Up\"/\"Down\"）、sdt/edt（时间字符串）。",
    ]
    assert get_zs_seq([]) == []


# ---- time reading ------------------------------------------------------------

class Floaty:
    def __float__(self):
        return 7.5


@pytest.mark.parametrize(
    "times, text, secs",
    [
        ({"sdt_ts": 0}, "1970-01-01T00:00:00+00:00", 0),
        ({"sdt_ts": -1}, "1969-12-31T23:59:59+00:00", -1),
        ({"sdt_ts": 1.9}, "1970-01-01T00:00:01+00:00", 1),
        ({"sdt_ts": -1.9}, "1969-12-31T23:59:59+00:00", -1),
        ({"sdt_ts": True}, "1970-01-01T00:00:01+00:00", 1),
        ({"sdt_ts": np.int64(1704187800)}, "2024-01-02T09:30:00+00:00", 1704187800),
        ({"sdt_ts": np.float64(1704187800.7)}, "2024-01-02T09:30:00+00:00", 1704187800),
        ({"sdt_ts": Floaty()}, "1970-01-01T00:00:07+00:00", 7),
        ({"sdt_ts": 253402300799}, "9999-12-31T23:59:59+00:00", 253402300799),
        ({"sdt_ts": -62167219200}, "0000-01-01T00:00:00+00:00", -62167219200),
        ({"sdt_ts": 1704187800, "sdt": "1999-01-01 00:00:00"}, "2024-01-02T09:30:00+00:00", 1704187800),
        ({"sdt": "2024-01-02 09:30:00"}, "2024-01-02T09:30:00+00:00", 1704187800),
        ({"sdt": "2024-01-02T17:30:00+08:00"}, "2024-01-02T09:30:00+00:00", 1704187800),
        ({"sdt": "2024-01-02 17:30:00+08:00"}, "2024-01-02T09:30:00+00:00", 1704187800),
        ({"sdt": "2024-01-02T09:30:00.5+08:00"}, "2024-01-02T01:30:00.500+00:00", 1704159000),
        ({"sdt_ts": None, "sdt": "2024-01-02 09:30:00"}, "2024-01-02T09:30:00+00:00", 1704187800),
        ({"sdt_ts": "0", "sdt": "2024-01-02 09:30:00"}, "2024-01-02T09:30:00+00:00", 1704187800),
        ({"sdt_ts": 10**400, "sdt": "2024-01-02 09:30:00"}, "2024-01-02T09:30:00+00:00", 1704187800),
        # NaN and infinities say nothing about the time: the text is used.
        ({"sdt_ts": math.nan, "sdt": "2024-01-02 09:30:00"}, "2024-01-02T09:30:00+00:00", 1704187800),
        ({"sdt_ts": -math.inf, "sdt": "2024-01-02 09:30:00"}, "2024-01-02T09:30:00+00:00", 1704187800),
    ],
)
def test_start_time_reading(times, text, secs):
    (zone,) = get_zs_seq([bi("Up", 1, 0, **times, edt_ts=2**33)])
    assert (zone["sdt"], zone["sdt_ts"]) == (text, secs)


@pytest.mark.parametrize(
    "times",
    [
        {},
        {"sdt": "2024/01/02 09:30"},
        {"sdt": dt.datetime(2024, 1, 2, 9, 30, tzinfo=dt.timezone.utc)},
        {"sdt": b"2024-01-02 09:30:00"},
        {"sdt": "2024-01-02T09:30:00"},  # no offset
        {"sdt_ts": None},
        {"sdt_ts": math.nan},
        {"sdt_ts": math.inf},
        # Timestamps past what a date can show are errors, not the epoch.
        {"sdt_ts": 253402300800},
        {"sdt_ts": -62167219201},
        {"sdt_ts": 2**63},
        {"sdt_ts": -(2**63)},
        {"sdt_ts": 1e30},
        {"sdt_ts": -1e300},
        {"sdt_ts": 10**30, "sdt": "2024-01-02 09:30:00"},
    ],
)
def test_start_time_errors(times):
    with pytest.raises(ValueError) as e:
        get_zs_seq([bi("Up", 1, 0, **times, edt_ts=0)])
    assert str(e.value) == BAD_START


def test_end_time_errors_name_the_end_keys():
    with pytest.raises(ValueError) as e:
        get_zs_seq([bi("Up", 1, 0, sdt_ts=0, edt_ts=math.nan, edt="soon")])
    assert str(e.value) == BAD_END


# ---- samples and properties -----------------------------------------------------

@pytest.mark.parametrize("times", ["text", "rfc3339", "unix"])
def test_sample_time_forms_agree(times):
    zones = get_zs_seq(strokes(40, times=times))
    assert zones == get_zs_seq(strokes(40, times="text"))
    assert len(zones) > 1


price = st.one_of(st.floats(5, 15), st.just(math.nan), st.sampled_from([9.0, 10.0, 11.0]))


@settings(max_examples=300)
@given(st.lists(st.tuples(st.sampled_from(["Up", "Down", "向上", "向下"]), price, price), max_size=40))
def test_random_strokes_form_ordered_zones(rows):
    bis = seq(*rows)
    zones = get_zs_seq(bis)
    assert all(list(z) == ZONE_KEYS for z in zones)
    # Zones tile the strokes in order: each starts where the previous ended,
    # on a stroke boundary, from the first stroke's start to the last one's end.
    if bis:
        assert zones[0]["sdt_ts"] == 0 and zones[-1]["edt_ts"] == 600 * len(bis)
    for a, b in zip(zones, zones[1:]):
        assert a["edt_ts"] == b["sdt_ts"] and b["sdt_ts"] % 600 == 0
    for z in zones:
        first = bis[z["sdt_ts"] // 600]
        assert z["sdir"] == {"向上": "Up", "向下": "Down"}.get(first["direction"], first["direction"])


@settings(max_examples=300)
@given(st.datetimes(min_value=dt.datetime(1, 1, 2), max_value=dt.datetime(9999, 12, 30)),
       st.integers(-23 * 60, 23 * 60), st.sampled_from(["T", "t", " "]), st.booleans())
def test_random_time_texts_match_python(when, offset_min, sep, plain):
    tz = dt.timezone(dt.timedelta(minutes=offset_min))
    if plain:
        text = when.isoformat(sep=" ", timespec="seconds")
        utc = when.replace(microsecond=0, tzinfo=dt.timezone.utc)
    else:
        aware = when.replace(tzinfo=tz)
        text, utc = aware.isoformat(sep=sep), aware.astimezone(dt.timezone.utc)
    (zone,) = get_zs_seq([bi("Up", 1, 0, sdt=text, edt_ts=0)])
    assert zone["sdt"] == utc.isoformat(timespec="milliseconds" if utc.microsecond % 1000 == 0
                                        and utc.microsecond else "microseconds" if utc.microsecond
                                        else "seconds")
    assert zone["sdt_ts"] == (utc - dt.datetime(1970, 1, 1, tzinfo=dt.timezone.utc)) // dt.timedelta(seconds=1)


@settings(max_examples=300)
@given(st.one_of(st.text(max_size=40), st.text(alphabet="0123456789-:T .Zz+", max_size=35)),
       st.one_of(st.none(), st.integers(), st.floats(), st.text(max_size=5)))
def test_random_time_texts_never_crash(text, ts):
    try:
        (zone,) = get_zs_seq([bi("Up", 1, 0, sdt=text, sdt_ts=ts, edt_ts=0)])
    except ValueError as e:
        assert str(e) == BAD_START
        return
    assert zone["sdt"].endswith("+00:00")
