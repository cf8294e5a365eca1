"""What every chart shares: the CJK font, figures, inputs, the session axis."""

from __future__ import annotations

import contextlib
import datetime as _dt
import math
import warnings
from collections.abc import Iterable, Iterator, Sequence
from typing import Any

import matplotlib
from matplotlib import font_manager
from matplotlib.axes import Axes
from matplotlib.figure import Figure
from matplotlib.text import Text

# A-share colours: red rises, green falls; buys red, sells green.
UP = "#d62728"
DOWN = "#2ca02c"
NEUTRAL = "#7f7f7f"
PRICE = "#1f3b73"
ACCENT = "#ff7f0e"

# Families tried in order; the Simplified Chinese faces first.
CJK_FAMILIES = [
    "Noto Sans CJK SC", "Noto Sans SC", "Source Han Sans SC", "Source Han Sans CN",
    "WenQuanYi Zen Hei", "WenQuanYi Micro Hei", "Microsoft YaHei", "SimHei", "PingFang SC",
    "Heiti SC", "Noto Sans CJK JP", "Noto Sans CJK TC", "Sarasa Gothic SC",
]
# Font files that hold one of those families, for a font cache made before the
# font was installed.
_CJK_FILE_HINTS = ("notosanscjk", "notosanssc", "sourcehansans", "wqy", "msyh", "simhei", "pingfang")

INSTALL_HINT = (
    "zjkit.plot found no CJK font, so Chinese labels would show as empty boxes. "
    "Install one, e.g. `apt-get install fonts-noto-cjk` (Debian/Ubuntu), "
    "`dnf install google-noto-sans-cjk-fonts` (Fedora) or `brew install --cask font-noto-sans-cjk`, "
    "or point zjkit.plot.use_font() at a .ttf/.otf/.ttc file."
)

_font: list[str] | None = None


def _installed_family() -> str | None:
    names = {f.name for f in font_manager.fontManager.ttflist}
    for family in CJK_FAMILIES:
        if family in names:
            return family
    return None


def cjk_font() -> str | None:
    """The CJK family the charts use, or None (after one warning) when the
    machine has none."""
    global _font
    if _font is None:
        family = _installed_family()
        if family is None:
            # The font cache may predate the font: look at the files themselves.
            for path in font_manager.findSystemFonts():
                if any(h in path.lower().replace("-", "").replace("_", "") for h in _CJK_FILE_HINTS):
                    with contextlib.suppress(Exception):
                        font_manager.fontManager.addfont(path)
            family = _installed_family()
        if family is None:
            warnings.warn(INSTALL_HINT, RuntimeWarning, stacklevel=3)
        _font = [family] if family else []
    return _font[0] if _font else None


def use_font(font: str) -> str:
    """Use `font` for every later chart: a family name matplotlib knows, or the
    path of a font file. Returns the family name."""
    global _font
    if any(font.lower().endswith(ext) for ext in (".ttf", ".otf", ".ttc")):
        font_manager.fontManager.addfont(font)
        font = font_manager.FontProperties(fname=font).get_name()
    _font = [font]
    return font


@contextlib.contextmanager
def style() -> Iterator[None]:
    """Settings every chart is drawn under: the CJK font first, then
    matplotlib's own sans-serif faces for what it lacks."""
    family = cjk_font()
    sans = list(matplotlib.rcParams["font.sans-serif"])
    with matplotlib.rc_context({
        "font.family": "sans-serif",
        "font.sans-serif": ([family] if family else []) + sans,
        "axes.unicode_minus": False,
        "axes.spines.top": False,
        "axes.spines.right": False,
        "axes.grid": True,
        "grid.alpha": 0.25,
        "axes.titlesize": 12,
        "axes.titleweight": "bold",
        "legend.fontsize": 8,
        "legend.frameon": False,
        "xtick.labelsize": 8,
        "ytick.labelsize": 8,
    }):
        yield


def apply_font(artist: Figure | Axes) -> None:
    """Set the CJK font (then matplotlib's default face for what it lacks) on
    every text of `artist`, tick labels made later included: text properties
    are resolved when the figure is drawn, which may be long after rc settings
    are gone."""
    family = cjk_font()
    if family is None:
        return
    families = [family, "DejaVu Sans"]
    axes = artist.axes if isinstance(artist, Figure) else [artist]
    # The texts are gathered by hand: walking the artist tree would make
    # every tick of every axis long before it is drawn.
    texts: list[Text] = []
    if isinstance(artist, Figure):
        texts += [t for t in (artist._suptitle, *artist.texts) if t is not None]
    for ax in axes:
        texts += [ax.title, ax._left_title, ax._right_title, *ax.texts]
        for axis in (ax.xaxis, ax.yaxis):
            texts += [axis.label, axis.offsetText]
        legend = ax.get_legend()
        if legend is not None:
            texts += legend.get_texts()
        ax.tick_params(which="both", labelfontfamily=families)
    for text in texts:
        text.set_fontfamily(families)


def figure(figsize: tuple[float, float], dpi: float) -> Figure:
    """A figure of its own (no pyplot state, no GUI backend): headless-safe."""
    return Figure(figsize=figsize, dpi=dpi, layout="constrained")


def single_axes(ax: Axes | None, figsize: tuple[float, float], dpi: float) -> Axes:
    """The caller's axes, or the one axes of a new figure."""
    if ax is not None:
        return ax
    return figure(figsize, dpi).add_subplot()


# ---- inputs ------------------------------------------------------------------

_SYMBOL = "symbol"


def _plain(key: str, value: Any) -> Any:
    """A frame cell as the analyses read dict values: times of day as
    datetime.time, other date-times as "%Y-%m-%d %H:%M:%S" texts in UTC,
    numpy scalars as Python numbers."""
    if isinstance(value, _dt.datetime):  # pandas Timestamps included
        if value != value:  # NaT: missing, as the analysis will say
            return None
        if key == "time":
            return value.time()
        if value.tzinfo is not None:  # the readers take date-times as UTC
            value = value.astimezone(_dt.timezone.utc)
        return value.strftime("%Y-%m-%d %H:%M:%S")
    if isinstance(value, _dt.date):
        return value.isoformat()
    item = getattr(value, "item", None)
    if item is not None and type(value).__module__ == "numpy":
        return item()
    return value


def records(data: Any, symbol: str | None, what: str) -> list[dict]:
    """The list of dicts an analysis takes, from a list of dicts or a table
    (pandas, polars, pyarrow), keeping the rows of `symbol` when the data has
    a symbol column. Lists of dicts pass through untouched, so the analysis
    sees exactly what the caller gave, and so does anything else: the analysis
    then raises its own error for it."""
    if isinstance(data, list):
        rows = data
        frame = False
    elif hasattr(data, "to_dicts"):  # polars
        rows, frame = data.to_dicts(), True
    elif hasattr(data, "to_pylist"):  # pyarrow
        rows, frame = data.to_pylist(), True
    elif hasattr(data, "to_dict") and hasattr(data, "columns"):  # pandas
        rows, frame = data.to_dict("records"), True
    elif symbol is None:
        return data  # the analysis says what is wrong with it
    else:
        raise TypeError(f"{what}: expected a list of dicts or a DataFrame/Table, got {type(data).__name__}")
    if frame:
        rows = [{k: _plain(k, v) for k, v in row.items()} for row in rows]
    has_symbol = bool(rows) and isinstance(rows[0], dict) and _SYMBOL in rows[0]
    if symbol is not None:
        if not has_symbol:
            raise ValueError(f"{what}: symbol={symbol!r} given but the data has no 'symbol' column")
        rows = [r for r in rows if r.get(_SYMBOL) == symbol]
        if not rows:
            raise ValueError(f"{what}: no rows for symbol {symbol!r}")
    elif has_symbol and frame:
        found = list(dict.fromkeys(r.get(_SYMBOL) for r in rows))
        if len(found) > 1:
            shown = ", ".join(map(str, found[:5])) + (", ..." if len(found) > 5 else "")
            raise ValueError(f"{what}: the data holds {len(found)} symbols ({shown}); pick one with symbol=")
    return rows


def symbol_of(rows: Sequence[dict], symbol: str | None) -> str:
    if symbol is not None:
        return str(symbol)
    if rows and isinstance(rows[0], dict) and rows[0].get(_SYMBOL):
        return str(rows[0][_SYMBOL])
    return ""


def titled(*parts: str) -> str:
    return " · ".join(p for p in parts if p)


# ---- numbers and axes -----------------------------------------------------------

def finite(values: Iterable[float]) -> list[float]:
    out = []
    for v in values:
        try:
            f = float(v)
        except (TypeError, ValueError):
            continue
        if math.isfinite(f):
            out.append(f)
    return out


def set_ylim(ax: Axes, values: Iterable[float], pad: float = 0.05) -> bool:
    """Y limits from the finite values (matplotlib refuses NaN or infinite
    limits); False when there is none."""
    vs = finite(values)
    if not vs:
        return False
    lo, hi = min(vs), max(vs)
    span = hi - lo or max(abs(hi) * 0.01, 0.01)
    ax.set_ylim(lo - span * pad, hi + span * pad)
    return True


def clock(sec: float) -> str:
    sec = int(sec)
    return f"{sec // 3600:02d}:{sec // 60 % 60:02d}"


# The continuous session on one axis without the lunch break: minutes since
# 09:30, 11:30 and 13:00 meeting at 120.
_OPEN, _NOON, _RESUME = 9 * 3600 + 30 * 60, 11 * 3600 + 30 * 60, 13 * 3600


def session_x(sec: float) -> float:
    if sec <= _NOON:
        return (sec - _OPEN) / 60.0
    if sec < _RESUME:
        return 120.0
    return 120.0 + (sec - _RESUME) / 60.0


def session_ticks(ax: Axes) -> None:
    ticks = [0, 30, 60, 90, 120, 150, 180, 210, 240]
    labels = ["09:30", "10:00", "10:30", "11:00", "11:30/13:00", "13:30", "14:00", "14:30", "15:00"]
    ax.set_xticks(ticks, labels)


def empty_note(ax: Axes, text: str) -> None:
    ax.text(0.5, 0.5, text, transform=ax.transAxes, ha="center", va="center", color=NEUTRAL, fontsize=11)
    ax.set_xticks([])
    ax.set_yticks([])
