"""Every command of the command line over a small sample market on disk."""

from __future__ import annotations

import tempfile
from pathlib import Path
from typing import TextIO

TITLE = "zjkit signals|tape|auctions|minutes|zones: a sample market, files to results"

# (command, its data, its own arguments); paths are relative to the market folder.
RUNS = [
    ("signals", "bars", ["--signal", "zj_vol_ratio_V260721", "--signal", "zj_wavetrend_zone_V260724:freq=日线"]),
    ("tape", "tape.parquet", ["--days", "days.parquet"]),
    ("auctions", "auctions.parquet", ["--days", "days.parquet"]),
    ("minutes", "minutes.parquet", ["--days", "days.parquet"]),
    ("zones", "strokes.parquet", []),
]


def run(seed: int, out: TextIO) -> None:
    import pandas as pd
    import pyarrow.parquet as pq

    from zjkit.cli import main
    from zjkit.market import COMMANDS
    from zjkit.sample import market

    with tempfile.TemporaryDirectory(prefix="zjkit-demo-") as folder:
        root = Path(folder)
        market(root / "market", symbols=24, days=250, trades=600, seed=seed)
        print(f"sample market in {root / 'market'}: 24 symbols, 250 daily bars each (one hive partition\n"
              "per symbol), and one day of tapes, minute charts, auctions and strokes", file=out)
        for name, data, args in RUNS:
            result = root / f"{name}.parquet"
            shown = ["zjkit", name, f"market/{data}", *[a if not a.endswith(".parquet") else f"market/{a}"
                                                         for a in args], "-o", f"{name}.parquet"]
            print(f"\n$ {' '.join(shown)}", file=out)
            if not COMMANDS[name].available():
                print(f"  skipped: zjkit.frame.{name} is not in this build yet", file=out)
                continue
            argv = [name, str(root / "market" / data), *[str(root / "market" / a) if a.endswith(".parquet") else a
                                                         for a in args], "-o", str(result), "--workers", "2"]
            code = main(argv)
            table = pq.read_table(result).to_pandas()
            print(f"  exit {code}: {len(table)} rows x {table.shape[1]} columns", file=out)
            if "dt" in table:  # one row per bar: the last day's rows are the screen
                table = table[table["dt"] == table["dt"].max()]
            with pd.option_context("display.width", 120, "display.max_columns", 8):
                print("  " + table.head(5).to_string(max_colwidth=24).replace("\n", "\n  "), file=out)
