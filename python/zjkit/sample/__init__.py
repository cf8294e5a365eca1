"""Reproducible sample data shaped like real A-share data.

Every generator is deterministic for a given seed, needs nothing beyond the
standard library, and returns plain lists of dicts ready for zjkit's functions.
"""

from zjkit.sample.bars import daily_bars

__all__ = ["daily_bars"]
