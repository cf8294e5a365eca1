"""get_zs_seq at the Python boundary: stroke reading, time keys and texts, output format."""

import datetime as dt
import math

import numpy as np
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from zjkit import _native
from zjkit.sample.strokes import strokes

get_zs_seq = _native.get_zs_seq

BAD_START = "Missing or invalid time: 'sdt_ts' (unix secs) / 'sdt' (str)"
BAD_END = "Missing or invalid time: 'edt_ts' (unix secs) / 'edt' (str)"


def bi(direction, high, low, i=0, **times):
    return {"direction": direction, "high": high, "low": low} | (times or {"sdt_ts": 600 * i, "edt_ts": 600 * i + 600})


def seq(*rows):
    return [bi(d, h, lo, i) for i, (d, h, lo) in enumerate(rows)]


def test_worked_example():
    # Three strokes make a core of 10..11; an up stroke topping out at 9.8 leaves it.
    english = seq(("Up", 12, 10), ("Down", 12, 9), ("Up", 11, 9.5), ("Up", 9.8, 8))
    assert [tuple(v for k, v in z.items() if k not in ("sdt", "edt")) for z in get_zs_seq(english)] == [
        (11, 10, 10.5, 12, 9, "Up", "Up", 0, 1800), (9.8, 8, 8.9, 9.8, 8, "Up", "Up", 1800, 2400)]


def test_one_stroke_zone_in_full_and_sample_time_forms():
    assert get_zs_seq([bi("向下", 12.5, 10, sdt="2024-01-02 09:30:00", edt="2024-01-02T10:00:00.25Z")]) == [
        {"zg": 12.5, "zd": 10.0, "zz": 11.25, "gg": 12.5, "dd": 10.0, "sdir": "Down", "edir": "Down",
         "sdt": "2024-01-02T09:30:00+00:00", "edt": "2024-01-02T10:00:00.250+00:00", "sdt_ts": 1704187800,
         "edt_ts": 1704189600}]
    text, rfc3339, unix = (get_zs_seq(strokes(40, times=t)) for t in ("text", "rfc3339", "unix"))
    assert text == rfc3339 == unix and len(text) > 1


G = bi("Up", 1, 0)


# message None: the conversion's own wording.
@pytest.mark.parametrize("bis, exc, message", [
    # unencodable text is just not a direction
    *[([bi(text, 1, 0)], ValueError, f"Invalid direction '{shown}', expected Up/Down")
      for text, shown in [(t, t) for t in ["up", "UP", " Up", "Up ", "上", "down", "", "Up\x00"]]
      + [("\ud800", "\\ud800")]],
    (None, TypeError, "argument 'bis': 'None' is not an instance of 'list'"),
    ([G, "stroke", G], TypeError, "'str' object is not an instance of 'dict'"),
    ([G, {"high": 1, "low": 0, "sdt_ts": 0}], ValueError, "Missing 'direction'"),
    ([G, bi(1, 1, 0)], TypeError, "'int' object is not an instance of 'str'"), ([G, bi(None, 1, 0)], TypeError, None),
    ([G, {"direction": "Up", "low": 0}], ValueError, "Missing 'high'"), ([G, bi("Up", "1", 0)], TypeError, None),
    ([G, {"direction": "Up", "high": 0}], ValueError, "Missing 'low'"),
    ([G, {"direction": "Up", "high": 1, "low": 0}, G], ValueError, BAD_START),
    ([G, {"direction": "Up", "high": 1, "low": 0, "sdt_ts": 0}, G], ValueError, BAD_END),
    ([G, {"direction": "bad"}, G], ValueError, "Invalid direction 'bad', expected Up/Down"),  # direction read first
])
def test_argument_and_stroke_errors(bis, exc, message):
    with pytest.raises(exc) as e:
        get_zs_seq(bis)
    assert message is None or str(e.value) == message


def test_signature_and_docstring():
    assert get_zs_seq.__text_signature__ == "(bis)" and get_zs_seq(bis=[]) == []
    with pytest.raises(TypeError, match=r"^get_zs_seq\(\) missing 1 required positional argument: 'bis'$"):
        get_zs_seq()
    assert get_zs_seq.__doc__.startswith("从笔列表识别中枢序列。\n\n"
                                         "参数:\n    bis: 笔字典列表，每项含:\n")


TEXT = "2024-01-02 09:30:00"


@pytest.mark.parametrize("times, text, secs", [
    ({"sdt_ts": -1}, "1969-12-31T23:59:59+00:00", -1), ({"sdt_ts": 1.9}, "1970-01-01T00:00:01+00:00", 1),
    ({"sdt_ts": -1.9}, "1969-12-31T23:59:59+00:00", -1),  # truncated toward zero
    ({"sdt_ts": np.float32(7.5)}, "1970-01-01T00:00:07+00:00", 7),  # no int, but a float
    # The Unix value wins over the text; one that is no number, or NaN or infinite, says nothing.
    *[(times, "2024-01-02T09:30:00+00:00", 1704187800) for times in [
        {"sdt_ts": 1704187800, "sdt": "1999-01-01 00:00:00"}, {"sdt": TEXT}, {"sdt": "2024-01-02T17:30:00+08:00"},
        *({"sdt_ts": ts, "sdt": TEXT} for ts in [None, "0", 10**400, math.nan, -math.inf])]],
])
def test_start_time_reading(times, text, secs):
    (zone,) = get_zs_seq([bi("Up", 1, 0, **times, edt_ts=2**33)])
    assert (zone["sdt"], zone["sdt_ts"]) == (text, secs)


@pytest.mark.parametrize("times", [
    {}, {"sdt": "2024/01/02 09:30"}, {"sdt": dt.datetime(2024, 1, 2, 9, 30, tzinfo=dt.timezone.utc)},
    {"sdt": TEXT.encode()}, {"sdt_ts": math.nan}, {"sdt_ts": 0, "edt_ts": math.nan, "edt": "soon"},
    # Timestamps past what a date can show are errors, not the epoch, even with a valid text.
    {"sdt_ts": 253402300800}, {"sdt_ts": -62167219201}, {"sdt_ts": 2**63}, {"sdt_ts": 1e30},
    {"sdt_ts": 10**30, "sdt": TEXT},
])
def test_time_errors(times):
    with pytest.raises(ValueError) as e:
        get_zs_seq([bi("Up", 1, 0, **({"edt_ts": 0} | times))])
    assert str(e.value) == (BAD_END if "edt" in times else BAD_START)


price = st.one_of(st.floats(5, 15), st.just(math.nan), st.sampled_from([9.0, 10.0, 11.0]))


@settings(max_examples=300)
@given(st.lists(st.tuples(st.sampled_from(["Up", "Down", "向上", "向下"]), price, price), max_size=40))
def test_random_strokes_form_ordered_zones(rows):
    bis = seq(*rows)
    zones = get_zs_seq(bis)
    # Zones tile the strokes in order: each starts where the previous ended,
    # on a stroke boundary, from the first stroke's start to the last one's end.
    ends = [0] + [z["edt_ts"] for z in zones]
    assert [z["sdt_ts"] for z in zones] == ends[:-1] and ends[-1] == 600 * len(bis)
    assert ends == sorted(set(ends)) and all(t % 600 == 0 for t in ends)
    for z in zones:
        first = bis[z["sdt_ts"] // 600]
        assert z["sdir"] == {"向上": "Up", "向下": "Down"}.get(first["direction"], first["direction"])
        assert math.isinf(z["zg"]) or z["gg"] >= z["zg"]


@settings(max_examples=300)
@given(st.datetimes(min_value=dt.datetime(1, 1, 2), max_value=dt.datetime(9999, 12, 30)),
       st.integers(-23 * 60, 23 * 60), st.sampled_from(["T", "t", " "]), st.booleans())
def test_random_time_texts_match_python(when, offset_min, sep, plain):
    # plain: "%Y-%m-%d %H:%M:%S" read as UTC; else RFC 3339 with an offset
    tz = dt.timezone.utc if plain else dt.timezone(dt.timedelta(minutes=offset_min))
    aware = (when.replace(microsecond=0) if plain else when).replace(tzinfo=tz)
    text = aware.isoformat(sep=" ")[:19] if plain else aware.isoformat(sep=sep)
    utc = aware.astimezone(dt.timezone.utc)
    (zone,) = get_zs_seq([bi("Up", 1, 0, sdt=text, edt_ts=0)])
    assert zone["sdt"].endswith("+00:00") and dt.datetime.fromisoformat(zone["sdt"]) == utc
    assert zone["sdt_ts"] == (utc - dt.datetime(1970, 1, 1, tzinfo=dt.timezone.utc)) // dt.timedelta(seconds=1)


@settings(max_examples=300)
@given(st.one_of(st.text(max_size=40), st.text(alphabet="0123456789-:T .Zz+", max_size=35)),
       st.one_of(st.none(), st.integers(), st.floats(), st.text(max_size=5)))
def test_random_time_texts_never_crash(text, ts):
    try:
        assert get_zs_seq([bi("Up", 1, 0, sdt=text, sdt_ts=ts, edt_ts=0)])[0]["sdt"].endswith("+00:00")
    except ValueError as e:
        assert str(e) == BAD_START
