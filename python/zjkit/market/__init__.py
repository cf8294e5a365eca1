"""Whole-market runs over files: ``run(command, data, out, **options)``.

The same commands as the command line (``zjkit signals|tape|auctions|minutes|zones``),
each running one frame function of ``zjkit.frame`` over a Parquet or CSV
dataset in batches of whole symbols, locally or on a Dask cluster.
"""

from zjkit.market.commands import COMMANDS, Command, Option, UsageError
from zjkit.market.output import errors_path
from zjkit.market.runner import RunResult, run

__all__ = ["COMMANDS", "Command", "Option", "RunResult", "UsageError", "errors_path", "run"]
