"""The report's one HTML page: every text escaped, everything inline."""

from __future__ import annotations

import html
import math
import struct
from typing import Any, Callable

_TITLES = {"tape": "Tape screen", "auctions": "Call-auction screen"}

# Nothing may come from elsewhere: images are data: URIs, style and script inline.
_POLICY = ("default-src 'none'; img-src data:; style-src 'unsafe-inline'; script-src 'unsafe-inline'; "
           "base-uri 'none'; form-action 'none'")

_STYLE = """
:root { --ink: #1d2330; --muted: #667085; --line: #e4e7ec; --head: #f5f6f8; --accent: #1f3b73;
        --warn-bg: #fff6e5; --warn: #8a5300; }
* { box-sizing: border-box; }
body { margin: 0; color: var(--ink); background: #fff; line-height: 1.45;
       font: 14px/1.45 system-ui, -apple-system, "Segoe UI", "Noto Sans CJK SC", "Noto Sans SC",
             "PingFang SC", "Microsoft YaHei", "WenQuanYi Zen Hei", sans-serif; }
main { max-width: 1240px; margin: 0 auto; padding: 24px 28px 48px; }
h1 { font-size: 22px; margin: 0 0 4px; }
.meta { color: var(--muted); margin: 0 0 18px; }
.meta code { font-size: 12px; background: var(--head); padding: 1px 4px; border-radius: 3px; }
.warn { background: var(--warn-bg); color: var(--warn); border-left: 3px solid #f0a020;
        padding: 8px 12px; margin: 10px 0; border-radius: 3px; }
.table-wrap { overflow-x: auto; border: 1px solid var(--line); border-radius: 6px; }
table { border-collapse: collapse; width: 100%; font-variant-numeric: tabular-nums; }
th, td { padding: 6px 9px; border-bottom: 1px solid var(--line); white-space: nowrap; }
thead th { background: var(--head); position: sticky; top: 0; text-align: left; font-weight: 600;
           font-size: 12px; cursor: pointer; user-select: none; white-space: normal; vertical-align: bottom; }
thead th:hover { background: #eceef2; }
thead th::after { content: "\\2195"; color: #b0b6c1; margin-left: 4px; }
thead th[aria-sort="ascending"]::after { content: "\\25B2"; color: var(--accent); }
thead th[aria-sort="descending"]::after { content: "\\25BC"; color: var(--accent); }
td.num { text-align: right; }
tbody tr:nth-child(even) { background: #fafbfc; }
tbody tr:hover { background: #eef3fb; }
tr.problem td { color: var(--warn); }
a { color: var(--accent); text-decoration: none; }
a:hover { text-decoration: underline; }
section.candidate { margin-top: 36px; padding-top: 12px; border-top: 1px solid var(--line); }
section.candidate h2 { font-size: 17px; margin: 0 0 8px; display: flex; gap: 12px; align-items: baseline;
                       flex-wrap: wrap; }
.rank { color: var(--muted); font-weight: 500; }
.verdict { font-weight: 500; color: var(--accent); font-size: 15px; }
.top { margin-left: auto; font-size: 12px; font-weight: 400; }
img.chart { display: block; max-width: 100%; height: auto; border: 1px solid var(--line); border-radius: 4px; }
.notes { color: #344054; font-size: 13px; margin: 8px 0 0; white-space: pre-wrap; }
footer { color: var(--muted); font-size: 12px; margin-top: 40px; }
"""

# Sorts the table by a clicked header: numbers as numbers (when every filled
# cell of the column is one), text by the locale; empty cells stay last;
# a second click on the same header reverses the order.
_SCRIPT = """
(function () {
  "use strict";
  var table = document.getElementById("candidates");
  if (!table || !table.tHead) { return; }
  var body = table.tBodies[0];
  var heads = Array.prototype.slice.call(table.tHead.rows[0].cells);
  function value(row, col) {
    var cell = row.cells[col];
    var v = cell.getAttribute("data-v");
    return v === null ? cell.textContent.trim() : v;
  }
  function sortBy(col) {
    var th = heads[col];
    var rows = Array.prototype.slice.call(body.rows);
    var numeric = rows.every(function (r) {
      var v = value(r, col);
      return v === "" || isFinite(Number(v));
    });
    var now = th.getAttribute("aria-sort");
    var dir = now ? (now === "ascending" ? -1 : 1) : (numeric ? -1 : 1);
    rows.sort(function (a, b) {
      var x = value(a, col), y = value(b, col);
      if (x === "" || y === "") { return (x === "") - (y === ""); }
      var c = numeric ? Number(x) - Number(y) : x.localeCompare(y, undefined, {numeric: true});
      return dir * c;
    });
    heads.forEach(function (h) { h.removeAttribute("aria-sort"); });
    th.setAttribute("aria-sort", dir > 0 ? "ascending" : "descending");
    rows.forEach(function (r) { body.appendChild(r); });
  }
  heads.forEach(function (th, col) {
    th.addEventListener("click", function () { sortBy(col); });
    th.addEventListener("keydown", function (e) {
      if (e.key === "Enter" || e.key === " ") { e.preventDefault(); sortBy(col); }
    });
  });
}());
"""


def _e(value: Any) -> str:
    return html.escape(str(value), quote=True)


def _size(png: bytes) -> tuple[int, int] | None:
    if len(png) >= 24 and png[:8] == b"\x89PNG\r\n\x1a\n":
        return struct.unpack(">II", png[16:24])
    return None


def _cell(value: Any, fmt: Callable[[Any], str]) -> str:
    if isinstance(value, bool):
        return f'<td class="num" data-v="{int(value)}">{"✓" if value else "✗"}</td>'
    if isinstance(value, (int, float)):
        if isinstance(value, float) and not math.isfinite(value):
            return '<td class="num" data-v=""></td>'
        return f'<td class="num" data-v="{_e(repr(value))}">{_e(fmt(value))}</td>'
    if value is None:
        return '<td data-v=""></td>'
    return f"<td>{_e(fmt(value))}</td>"


def _table(shown: list[str], by: str, candidates: list, fmt: Callable[[Any], str]) -> str:
    heads = ['<th scope="col" tabindex="0">#</th>', '<th scope="col" tabindex="0">symbol</th>']
    for name in shown:
        sort = ' aria-sort="descending"' if name == by else ""
        label = _e(name).replace("_", "_<wbr>")  # long names may wrap at their underscores
        heads.append(f'<th scope="col" tabindex="0"{sort}>{label}</th>')
    rows = []
    for c in candidates:
        symbol = c.row.get("symbol")
        cells = [f'<td class="num" data-v="{c.rank}">{c.rank}</td>',
                 f'<td><a href="#c{c.rank}">{_e(symbol if symbol is not None else "")}</a></td>']
        cells += [_cell(c.row.get(name), fmt) for name in shown]
        cls = ' class="problem"' if c.problem else ""
        rows.append(f"<tr{cls}>{''.join(cells)}</tr>")
    return (f'<div class="table-wrap"><table id="candidates"><thead><tr>{"".join(heads)}</tr></thead>'
            f'<tbody>\n{chr(10).join(rows)}\n</tbody></table></div>')


def _section(kind: Any, c: Any, image_uri: Callable[[bytes], str]) -> str:
    symbol = c.row.get("symbol")
    parts = [f'<section class="candidate" id="c{c.rank}">',
             f'<h2><span class="rank">#{c.rank}</span> {_e(symbol if symbol is not None else "")}'
             f' <span class="verdict">{_e(kind.headline(c.row))}</span>'
             f' <a class="top" href="#candidates">back to the table</a></h2>']
    if c.problem:
        parts.append(f'<p class="warn">{_e(c.problem)}</p>')
    if c.image is not None:
        size = _size(c.image)
        dims = f' width="{size[0]}" height="{size[1]}"' if size else ""
        parts.append(f'<img class="chart" src="{image_uri(c.image)}"{dims} '
                     f'alt="{_e(kind.name)} chart of {_e(symbol)}">')
    for name in kind.notes:
        text = c.row.get(name)
        if text:
            parts.append(f'<p class="notes">{_e(text)}</p>')
    parts.append("</section>")
    return "\n".join(parts)


def page(*, kind: Any, by: str, shown: list[str], candidates: list, failed: list[str], source: dict[str, str],
         made: str, total: int, image_uri: Callable[[bytes], str]) -> str:
    from zjkit.report import _fmt

    title = _TITLES.get(kind.name, kind.name)
    sources = " · ".join(f"{name}: <code>{_e(path)}</code>" for name, path in source.items() if path)
    meta = (f"top {len(candidates)} of {total} symbols, ranked by <b>{_e(by)}</b> (descending) · "
            f"{sources} · made {_e(made)}")
    warnings = []
    problems = sum(1 for c in candidates if c.problem)
    if problems:
        have = "has" if problems == 1 else "have"
        warnings.append(f'<p class="warn">{problems} of {len(candidates)} candidates {have} a note in '
                        "place of, or beside, their chart (marked in the table).</p>")
    for text in failed:
        warnings.append(f'<p class="warn">Could not read {_e(text)}</p>')
    body = [f"<h1>{_e(title)}</h1>", f'<p class="meta">{meta}</p>', *warnings]
    if candidates:
        body.append(_table(shown, by, candidates, _fmt))
        body += [_section(kind, c, image_uri) for c in candidates]
    else:
        body.append('<p class="warn">The screen has no rows.</p>')
    body.append("<footer>Made by zjkit. Click a column's header to sort by it; click again to reverse."
                "</footer>")
    return "\n".join([
        "<!DOCTYPE html>",
        '<html lang="zh-CN">',
        "<head>",
        '<meta charset="utf-8">',
        f'<meta http-equiv="Content-Security-Policy" content="{_POLICY}">',
        '<meta name="viewport" content="width=device-width, initial-scale=1">',
        '<link rel="icon" href="data:,">',
        f"<title>{_e(title)} · zjkit</title>",
        f"<style>{_STYLE}</style>",
        "</head>",
        "<body>",
        "<main>",
        *body,
        "</main>",
        f"<script>{_SCRIPT}</script>",
        "</body>",
        "</html>",
        "",
    ])
