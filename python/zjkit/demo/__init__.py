"""The demo: one section per area, each printing readable results."""

from __future__ import annotations

import importlib
import sys
from typing import TextIO

# Modules of zjkit.demo, each with run(seed, out), in the order they print.
SECTIONS = [
    "signals",
    "signal_states",
    "panel",
    "tick_zs",
    "transaction",
    "auction",
    "ta",
    "generate_all",
    "market",
]


def run(seed: int = 7, out: TextIO = sys.stdout) -> None:
    for name in SECTIONS:
        module = importlib.import_module(f"zjkit.demo.{name}")
        title = module.TITLE
        print(f"\n=== {title} " + "=" * max(0, 60 - len(title)), file=out)
        module.run(seed=seed, out=out)
