"""Reproducible sample data shaped like real A-share data.

Every generator is deterministic for a given seed, needs nothing beyond the
standard library, and returns plain lists of dicts ready for zjkit's functions;
``market`` writes a whole sample market as Parquet files (it needs pyarrow).
"""

from zjkit.sample.bars import daily_bars
from zjkit.sample.minute import MINUTE_PATTERNS, minute_chart, minute_charts, minute_times
from zjkit.sample.strokes import strokes
from zjkit.sample.tapes import day_range, day_tape
from zjkit.sample.auctions import AUCTION_KINDS, auction, auctions
from zjkit.sample.market import market

__all__ = [
    "daily_bars",
    "day_tape", "day_range",
    "minute_chart", "minute_charts", "minute_times", "MINUTE_PATTERNS",
    "auction", "auctions", "AUCTION_KINDS",
    "strokes",
    "market",
]
