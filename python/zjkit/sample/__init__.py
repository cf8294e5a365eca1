"""Reproducible sample data shaped like real A-share data.

Every generator is deterministic for a given seed, needs nothing beyond the
standard library, and returns plain lists of dicts ready for zjkit's functions.
"""

from zjkit.sample.bars import daily_bars
from zjkit.sample.minute import MINUTE_PATTERNS, minute_chart, minute_charts, minute_times  # noqa: F401
from zjkit.sample.strokes import strokes  # noqa: F401
from zjkit.sample.tapes import day_range, day_tape  # noqa: F401
from zjkit.sample.auctions import AUCTION_KINDS, auction, auctions  # noqa: F401

__all__ = ["daily_bars"]
