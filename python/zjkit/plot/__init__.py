"""Charts of every analysis, drawn with matplotlib (the ``plot`` extra:
``pip install 'zjkit[plot]'``).

Each function draws one symbol and returns a ``matplotlib.figure.Figure``
made without pyplot, so it works on machines without a display; save it with
``fig.savefig("x.png")``. Inputs are what the analyses take (lists of dicts),
or a pandas/polars/pyarrow table, from which ``symbol=`` picks one symbol's
rows. Verdicts come from ``zjkit``'s analyses and per-record marks from
``zjkit._engine``: a chart shows exactly what the analysis computed.

- ``signals(bars, signals)``: candlesticks, volume and one label band per signal
- ``zones(strokes)``: strokes and their pivot zones
- ``auction(snapshots, ...)``: the opening call auction, 09:15 to 09:25
- ``tape(trades, pre_close, high, low, ...)``: a day's trades with the marks
  of the breakout verdict
- ``minutes(chart, pre_close, ...)``: a day's minute chart and its grade

Chinese labels need a CJK font; the first one found on the machine is used
(``use_font`` picks another), and a warning says how to install one when
there is none.
"""

from __future__ import annotations

try:
    import matplotlib  # noqa: F401
except ImportError as e:  # pragma: no cover - depends on the environment
    raise ImportError("zjkit.plot needs matplotlib: pip install 'zjkit[plot]'") from e

from zjkit.plot._auction import auction
from zjkit.plot._common import cjk_font, use_font
from zjkit.plot._minutes import minutes
from zjkit.plot._signals import signals
from zjkit.plot._tape import tape
from zjkit.plot._zones import zones

__all__ = ["signals", "zones", "auction", "tape", "minutes", "cjk_font", "use_font"]
