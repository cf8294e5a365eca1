"""Native A-share analytics over lists of dicts: signals, tapes, minute charts,
call auctions and pivot zones.

The record and result types below exist for type checkers only: import them
under ``typing.TYPE_CHECKING``. Result keys keep the order in which they are
listed here.
"""

import datetime
from typing import Any, Literal, NotRequired, TypedDict, overload, type_check_only

import numpy as np
import pandas as pd

__all__ = [
    "tick_analysis",
    "trans_analysis",
    "trans_breakout",
    "screening_metrics",
    "auction_scanner_version",
    "auction_morphology_names",
    "auction_scan",
    "false_sell_version",
    "auction_false_sell",
    "generate_zj_signals",
    "zj_signal_list",
    "generate_all_signals",
    "get_zs_seq",
]

# A record list must be a list (tuples are rejected) of dicts. The typed record
# documents the keys read; any list of dicts is accepted, as the keys are
# checked when the call reads them.
_Time = str | datetime.time

# ---------------------------------------------------------------- input records

@type_check_only
class Trade(TypedDict):
    """One trade of a day's tape, as ``trans_analysis`` and ``trans_breakout`` read it.

    ``time`` is "HH:MM:SS" or a ``datetime.time``; ``bs_flag`` is 0 for an
    active buy, 1 for an active sell, anything else neutral.
    """

    time: _Time
    price: float
    vol: int
    trade_count: int
    bs_flag: int

@type_check_only
class ScreeningTrade(TypedDict):
    """One trade as ``screening_metrics`` reads it (``trade_count`` defaults to 1)."""

    time: _Time
    price: float
    vol: int
    trade_count: NotRequired[int]

@type_check_only
class MinutePoint(TypedDict):
    """One minute of a day's tick chart (``avg`` defaults to ``price``, ``momentum`` to 0)."""

    time: _Time
    price: float
    vol: int
    avg: NotRequired[float]
    momentum: NotRequired[float]

@type_check_only
class AuctionSnapshot(TypedDict):
    """One call-auction snapshot: indicative price, matched volume (lots) and the
    signed unmatched volume (negative: sell side left over)."""

    time: _Time
    price: float
    matched: int
    unmatched: int

@type_check_only
class Stroke(TypedDict):
    """One stroke for ``get_zs_seq``: each end as Unix seconds (``sdt_ts``,
    ``edt_ts``) or as text, "%Y-%m-%d %H:%M:%S" in UTC or RFC 3339 (``sdt``,
    ``edt``); the Unix seconds win when both are given."""

    direction: Literal["Up", "Down", "向上", "向下"]
    high: float
    low: float
    sdt_ts: NotRequired[int | float]
    edt_ts: NotRequired[int | float]
    sdt: NotRequired[str]
    edt: NotRequired[str]

@type_check_only
class Bar(TypedDict, total=False):
    """One K-line bar, oldest first. Every key is optional and read leniently:
    an absent or unconvertible value reads as "" or 0.0."""

    dt: str
    open: float
    high: float
    low: float
    close: float
    vol: float
    amount: float
    freq: str

@type_check_only
class SignalConfig(TypedDict):
    """One signal configuration. Parameters are texts in ``params`` or, when
    ``params`` is absent, text-valued keys of the configuration itself."""

    name: str
    freq: NotRequired[str]
    params: NotRequired[dict[str, str]]

# --------------------------------------------------------------------- results

@type_check_only
class TickAnalysis(TypedDict):
    """Result of ``tick_analysis``: the quality of a day's minute chart."""

    close_pos: float
    day_chg_pct: float
    amplitude_pct: float
    total_vol: int
    n: int
    large_trade_count: int
    large_trade_vol_ratio: float
    quality_score: float
    should_cancel: bool
    cancel_reason: str

@type_check_only
class TransAnalysis(TypedDict):
    """Result of ``trans_analysis``: breakout verdict of a day's tape."""

    buy_vol_ratio: float
    sell_vol_ratio: float
    neutral_vol_ratio: float
    large_trade_count: int
    large_trade_vol_ratio: float
    large_buy_count: int
    large_sell_count: int
    large_buy_vol_ratio: float
    inst_buy_vol_ratio: float
    inst_buy_count: int
    inst_sell_count: int
    inst_net_flow_ratio: float
    split_clusters: int
    matched_pairs: int
    price_position: float
    day_chg_pct: float
    last_30min_vol_ratio: float
    last_30min_buy_sell_ratio: float
    last_30min_momentum: float
    is_breakout: bool
    confidence: float
    conclusion: str
    details: str

@type_check_only
class TransBreakout(TypedDict):
    """Result of ``trans_breakout``: how trading above a price confirmed it."""

    total_n: int
    breakout_n: int
    breakout_vol_ratio: float
    breakout_buy_ratio: float
    breakout_large_buy: int
    breakout_large_sell: int
    price_sustain_ratio: float
    is_strong: bool
    classification: str
    confidence: float
    details: str

@type_check_only
class ScreeningMetrics(TypedDict):
    """Result of ``screening_metrics``: volume shares (percent) and trade sizes."""

    first30_vol_pct: float
    midday_vol_pct: float
    afternoon_vol_pct: float
    last30_vol_pct: float
    last5_vol_pct: float
    large_pct: float
    xl_pct: float
    large_amount_pct: float
    xl_amount_pct: float
    avg_trade_vol: float
    vwap: float
    avg_shares_per_trade: float
    single_trade_vol_pct: float

@type_check_only
class AuctionScan(TypedDict):
    """Result of ``auction_scan``. ``oh`` (opened above the previous close) is
    None unless ``open_price`` and a positive ``pre_close`` were given;
    ``morphology_scores`` holds the seven class scores in the order of
    ``auction_morphology_names()``."""

    score: int
    match: bool
    steps: int
    eff_steps: int
    neg_pos_alt: bool
    buy_rev: bool
    vr: float
    end_p: bool
    oh: bool | None
    n: int
    morphology: str
    morphology_conf: int
    morphology_tag: str
    morphology_scores: list[int]
    morphology_group: str

@type_check_only
class AuctionFalseSell(TypedDict):
    """Result of ``auction_false_sell``."""

    score: int
    match: bool
    neg_ratio: float
    price_up: bool
    vr: float
    last_um: int
    neg_total: int
    late_peak: bool
    recovery_score: float
    n: int
    max_match: int
    price_change_pct: float
    net_um: int
    total_amt: float
    big_order_ratio: float

@type_check_only
class SignalRecord(TypedDict):
    """One record of ``generate_zj_signals``: the signal's three labels."""

    name: str
    freq: str
    v1: str
    v2: str
    v3: str

@type_check_only
class Zone(TypedDict):
    """One pivot zone of ``get_zs_seq``. Times are RFC 3339 texts in UTC
    ("2024-01-02T09:30:00+00:00") and Unix seconds."""

    zg: float
    zd: float
    zz: float
    gg: float
    dd: float
    sdir: Literal["Up", "Down"]
    edir: Literal["Up", "Down"]
    sdt: str
    edt: str
    sdt_ts: int
    edt_ts: int

# ------------------------------------------------------------------- functions

def tick_analysis(
    data: list[MinutePoint] | list[dict[Any, Any]],
    pre_close: float,
    low_price: float | None = None,
    close_pos_threshold: float = 0.3,
) -> TickAnalysis | None:
    """Quality of one day's minute chart (records in time order).

    Returns None for fewer than 10 points. Raises TypeError for a wrong
    argument or record type, ValueError for a missing key or a bad time text.
    """

def trans_analysis(
    data: list[Trade] | list[dict[Any, Any]], pre_close: float, high: float, low: float
) -> TransAnalysis | None:
    """Breakout verdict of one day's trade-by-trade tape (any order).

    Returns None for fewer than 20 trades or no volume. Raises TypeError for a
    wrong argument or record type, ValueError for a missing key or a bad time.
    """

def trans_breakout(
    data: list[Trade] | list[dict[Any, Any]], breakout_price: float
) -> TransBreakout | None:
    """How trading in the zone from 0.5% below ``breakout_price`` up confirmed
    the breakout.

    Returns None for fewer than 10 trades, no volume or fewer than 5 trades in
    the zone. Raises as ``trans_analysis``.
    """

def screening_metrics(
    data: list[ScreeningTrade] | list[dict[Any, Any]],
) -> ScreeningMetrics | None:
    """Volume shares by session window and trade size of one day's tape.

    Returns None for fewer than 5 trades or no volume. Raises TypeError for a wrong
    argument or record type, ValueError for a missing key or a bad time.
    """

def auction_scanner_version() -> str:
    """The version text of the auction scanner."""

def auction_morphology_names() -> list[str]:
    """The seven auction morphology class names, in class-index order."""

def auction_scan(
    data: list[AuctionSnapshot] | list[dict[Any, Any]],
    threshold: int = 50,
    open_price: float | None = None,
    pre_close: float | None = None,
    limit_up: float | None = None,
    limit_down: float | None = None,
) -> AuctionScan | None:
    """Organised-buying score and morphology of an opening call auction.

    ``match``: the score, before its cap at 100, reaches ``threshold``. Returns None for
    fewer than 15 snapshots in 09:15-09:25. Raises TypeError for a wrong
    argument or record type, ValueError for a missing key or a bad time.
    """

def false_sell_version() -> str:
    """The version text of the false-sell detector."""

def auction_false_sell(
    data: list[AuctionSnapshot] | list[dict[Any, Any]], threshold: int = 50
) -> AuctionFalseSell | None:
    """False-sell (sell pressure that is not real) score of an opening call auction.

    Returns None for fewer than 15 snapshots in 09:15-09:25. Raises as
    ``auction_scan``.
    """

def generate_zj_signals(
    signals_config: list[SignalConfig] | list[dict[Any, Any]],
    bars: list[Bar] | list[dict[Any, Any]],
) -> list[SignalRecord]:
    """Run built-in signals over bars: each configuration's records in turn,
    normally one per bar (an unknown name gives "未注册" labels).

    Raises TypeError for a non-list argument or a non-dict item and ValueError
    for a configuration without "name". Writes one line to standard error.
    """

def zj_signal_list() -> list[str]:
    """The names of the built-in signals."""

# bars: dicts (keys as in Bar) or objects carrying those fields as attributes.
@overload
def generate_all_signals(
    bars: list[Any],
    signals_config: list[SignalConfig] | list[dict[Any, Any]],
    sdt: str = "20170101",
    init_n: int = 500,
    df: Literal[False] = False,
) -> list[dict[str, Any]]:
    """Built-in signals and, through czsc, any other signal, merged into one
    table of one row per bar: ``dt`` and ``close`` (or czsc's columns), then
    one "v1_v2_v3_score" column per built-in configuration.

    Returns the table's records, or the pandas DataFrame with ``df=True``.
    ``sdt`` goes to czsc only; ``init_n`` to czsc and to every built-in signal.
    Raises ValueError for empty ``bars`` or ``signals_config`` and ImportError
    when a signal needs czsc and it is not installed.
    """

@overload
def generate_all_signals(
    bars: list[Any],
    signals_config: list[SignalConfig] | list[dict[Any, Any]],
    sdt: str = "20170101",
    init_n: int = 500,
    *,
    df: Literal[True],
) -> pd.DataFrame: ...
@overload
def generate_all_signals(
    bars: list[Any],
    signals_config: list[SignalConfig] | list[dict[Any, Any]],
    sdt: str,
    init_n: int,
    df: Literal[True],
) -> pd.DataFrame: ...
@overload
def generate_all_signals(
    bars: list[Any],
    signals_config: list[SignalConfig] | list[dict[Any, Any]],
    sdt: str = "20170101",
    init_n: int = 500,
    df: bool | np.bool_ = False,
) -> list[dict[str, Any]] | pd.DataFrame: ...
def get_zs_seq(bis: list[Stroke] | list[dict[Any, Any]]) -> list[Zone]:
    """The pivot zones formed by strokes, in stroke order (at least one for
    any stroke).

    Raises TypeError for a non-list argument or a non-dict stroke, ValueError
    for a missing key, a bad direction or a missing or unreadable time.
    """
