"""The ``zjkit`` command line: the demo, and the market runner's commands.

Exit codes: 0 success; 1 the errors table is not empty (the rest of the output
is complete); 2 a usage error (bad option, no file matched, output not
writable); 130 interrupted, with no output left behind.
"""

from __future__ import annotations

import argparse
import sys

from zjkit.market.commands import COMMANDS, UsageError

EXIT_OK, EXIT_ERRORS, EXIT_USAGE, EXIT_INTERRUPTED = 0, 1, 2, 130


def _parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(prog="zjkit", description="A-share analytics from Python.")
    import zjkit

    parser.add_argument("--version", action="version", version=f"zjkit {zjkit.__version__}")
    sub = parser.add_subparsers(dest="command", required=True)
    demo = sub.add_parser("demo", help="run every function on bundled sample data and print the results")
    demo.add_argument("--seed", type=int, default=7, help="seed of the sample data (default 7)")
    demo.add_argument("--plots", metavar="DIR", help="write one chart of each kind as PNG into DIR instead")
    report = sub.add_parser("report", help="an HTML page of a tape or auctions screen's top candidates and charts",
                            description="One self-contained HTML page (no network needed) of the top "
                                        "candidates of a screen made by the tape or auctions command.")
    report.add_argument("screen", metavar="SCREEN", help="the screen: a Parquet or CSV file, directory or glob")
    report.add_argument("--data", required=True, metavar="DATA", help="the dataset the screen was made from")
    report.add_argument("--days", metavar="DAYS", help="the days table the screen was made with (tapes)")
    report.add_argument("--top", type=int, default=20, metavar="N", help="candidates shown (default 20)")
    report.add_argument("--by", metavar="COLUMN",
                        help="rank by this column, descending (default: confidence for tapes, score for auctions)")
    report.add_argument("--threshold", type=int, default=50, metavar="SCORE",
                        help="the auction score threshold the screen was made with (default 50)")
    report.add_argument("--breakout", type=float, metavar="PRICE",
                        help="the breakout price the tape screen was made with")
    report.add_argument("--columns", action="append", metavar="canonical=yours",
                        help="name your columns as the screen's command did (repeatable)")
    report.add_argument("--encoding", default="utf-8", help="encoding of CSV input (default utf-8; e.g. gbk)")
    report.add_argument("-o", "--output", required=True, metavar="OUT", help="the page to write (.html)")
    for cmd in COMMANDS.values():
        p = sub.add_parser(cmd.name, help=cmd.help, description=cmd.help)
        p.add_argument("data", metavar="DATA", help="a Parquet or CSV file, a directory of them, or a glob")
        p.add_argument("-o", "--output", required=True, metavar="OUT", help="result file (.parquet or .csv)")
        for opt in cmd.options:
            flag = "--" + opt.name.replace("_", "-")
            extra = {"choices": opt.choices} if opt.choices else {"metavar": opt.metavar}
            p.add_argument(flag, dest=opt.name, help=opt.help, required=opt.required,
                           action="append" if opt.repeat else "store", **extra)
        p.add_argument("--workers", type=int, metavar="N", help="threads per batch (default: every core)")
        p.add_argument("--dask", metavar="ADDRESS", help="run on the Dask cluster of this scheduler")
        p.add_argument("--columns", action="append", metavar="canonical=yours",
                       help="name your columns, e.g. vol=volume,symbol=sec_code (repeatable)")
        p.add_argument("--encoding", default="utf-8", help="encoding of CSV input (default utf-8; e.g. gbk)")
        p.add_argument("--format", choices=("parquet", "csv"), help="output format (default: from OUT)")
    return parser


def _plots(folder: str, seed: int) -> int:
    try:
        import matplotlib  # noqa: F401
    except ImportError:
        print("zjkit demo --plots needs matplotlib: pip install 'zjkit[plot]'", file=sys.stderr)
        return 1
    from zjkit.demo.plots import write

    for path in write(folder, seed=seed):
        print(path)
    return 0


def _report(args: argparse.Namespace) -> int:
    from zjkit.report import write

    try:
        result = write(args.screen, args.data, args.output, days=args.days, top=args.top, by=args.by,
                       threshold=args.threshold, breakout=args.breakout, columns=args.columns,
                       encoding=args.encoding)
    except UsageError as e:
        print(f"zjkit report: error: {e}", file=sys.stderr)
        return EXIT_USAGE
    except KeyboardInterrupt:
        print("zjkit report: interrupted; nothing written", file=sys.stderr)
        return EXIT_INTERRUPTED
    for symbol, problem in result.problems.items():
        print(f"zjkit report: {symbol}: {problem}", file=sys.stderr)
    print(result.out)
    return EXIT_OK if result.ok else EXIT_ERRORS


def main(argv: list[str] | None = None) -> int:
    args = _parser().parse_args(argv)
    if args.command == "demo" and args.plots is not None:
        return _plots(args.plots, args.seed)
    if args.command == "demo":
        from zjkit.demo import run

        run(seed=args.seed, out=sys.stdout)
        return EXIT_OK
    if args.command == "report":
        return _report(args)
    cmd = COMMANDS[args.command]
    options = {opt.name: getattr(args, opt.name) for opt in cmd.options}
    from zjkit.market import run

    try:
        result = run(cmd.name, args.data, args.output, workers=args.workers, dask=args.dask,
                     columns=args.columns, encoding=args.encoding, format=args.format, **options)
    except UsageError as e:
        print(f"zjkit {cmd.name}: error: {e}", file=sys.stderr)
        return EXIT_USAGE
    except KeyboardInterrupt:
        print(f"zjkit {cmd.name}: interrupted; nothing written", file=sys.stderr)
        return EXIT_INTERRUPTED
    return EXIT_OK if result.ok else EXIT_ERRORS
