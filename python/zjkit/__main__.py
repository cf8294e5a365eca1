"""Command line: ``zjkit demo`` runs every function on bundled sample data."""

from __future__ import annotations

import argparse
import sys


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(prog="zjkit", description="A-share analytics from Python.")
    sub = parser.add_subparsers(dest="command", required=True)
    demo = sub.add_parser("demo", help="run every function on bundled sample data and print the results")
    demo.add_argument("--seed", type=int, default=7, help="seed of the sample data (default 7)")
    demo.add_argument("--plots", metavar="DIR", help="write one chart of each kind as PNG into DIR instead")
    args = parser.parse_args(argv)
    if args.command == "demo" and args.plots is not None:
        return _plots(args.plots, args.seed)
    if args.command == "demo":
        from zjkit.demo import run

        run(seed=args.seed, out=sys.stdout)
    return 0


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


if __name__ == "__main__":
    sys.exit(main())
