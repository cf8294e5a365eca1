"""Opening call auction: the organised-buying scan and the false-sell detector
over the seven sample auctions, one per shape."""

from __future__ import annotations

from typing import TextIO

from zjkit import _native
from zjkit.sample.auctions import AUCTION_KINDS, auction

TITLE = "auction_scan / auction_false_sell: seven opening call auctions"

# What each shape tells a trader, by class index.
MEANING = [
    "bid up near limit-up early, then let go: a probe of selling pressure",
    "climbs level by level on growing volume: steady accumulation",
    "pulled up before 09:20, dropped right after: the early strength was a lure",
    "stuck near limit-down, then pried up by buyers: the panic is being absorbed",
    "one price with heavy volume: a sealed limit with real turnover",
    "one price with hardly any volume: a sealed limit nobody trades against",
    "swings with the leftover side flipping: buyers and sellers disagree",
]


def run(seed: int, out: TextIO) -> None:
    # The sample auctions are fixed drawings of each shape; the seed is not used.
    names = _native.auction_morphology_names()
    print(f"scanner {_native.auction_scanner_version()}, false-sell {_native.false_sell_version()}; "
          f"shapes: {' '.join(names)}", file=out)
    print(f"\n{'sample':16s} {'shape':18s} {'conf':>4s}  {'scan':>4s} {'match':>5s} {'steps':>5s} {'vr':>4s} "
          f"{'end_p':>5s} {'oh':>5s} | {'false-sell':>10s} {'match':>5s} {'neg%':>5s} {'recov':>5s}", file=out)
    for kind in AUCTION_KINDS:
        a = auction(kind)
        s = _native.auction_scan(a["data"], 60, a["open_price"], a["pre_close"], a["limit_up"], a["limit_down"])
        f = _native.auction_false_sell(a["data"], 60)
        print(f"{kind:16s} {s['morphology']:{18 - _wide(s['morphology'])}s} {s['morphology_conf']:4d}  "
              f"{s['score']:4d} {'yes' if s['match'] else 'no':>5s} {s['steps']:5d} {s['vr']:4.2f} "
              f"{str(s['end_p']):>5s} {str(s['oh']):>5s} | {f['score']:10d} {'yes' if f['match'] else 'no':>5s} "
              f"{f['neg_ratio'] * 100:5.1f} {f['recovery_score']:5.2f}", file=out)
    print("\nwhat the shapes mean:", file=out)
    for name, meaning in zip(names, MEANING):
        print(f"  {name:{12 - _wide(name)}s} {meaning}", file=out)

    a = auction("staircase")
    s = _native.auction_scan(a["data"], 60, a["open_price"], a["pre_close"])
    f = _native.auction_false_sell(a["data"], 60)
    print(f"\nstaircase in full: {len(a['data'])} snapshots {a['data'][0]['time']} .. {a['data'][-1]['time']}", file=out)
    print("  auction_scan:", s, file=out)
    print("  auction_false_sell:", f, file=out)
    print("  -> the price walked up", s["steps"], "cent levels after sellers flipped to buyers at 09:20-09:22 "
          f"(buy_rev {s['buy_rev']}); {f['neg_ratio']:.0%} of snapshots showed sellers left over, yet the price "
          "kept rising: heavy selling that is being absorbed.", file=out)


def _wide(text: str) -> int:
    """Extra terminal columns taken by CJK characters (two columns each)."""
    return sum(1 for ch in text if ord(ch) > 0x2E80)
