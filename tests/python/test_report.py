"""zjkit report: the HTML page of a tape or auctions screen, its ranking, its
bad input, and the page itself in a real headless browser."""

from __future__ import annotations

import base64
import os
import re
import shutil
from pathlib import Path
from types import SimpleNamespace

import pytest

pytest.importorskip("matplotlib")

import pyarrow as pa  # noqa: E402
import pyarrow.compute as pc  # noqa: E402
import pyarrow.csv as pacsv  # noqa: E402
import pyarrow.parquet as pq  # noqa: E402

import zjkit.sample  # noqa: E402
from zjkit.cli import main  # noqa: E402
from zjkit.market import run  # noqa: E402
from zjkit.report import UsageError, write  # noqa: E402

IMG = re.compile(r'<img class="chart" src="data:image/png;base64,([A-Za-z0-9+/=]+)"')
ROW_SYMBOL = re.compile(r'<td><a href="#c\d+">([^<]*)</a></td>')


@pytest.fixture(scope="module")
def market(tmp_path_factory):
    root = tmp_path_factory.mktemp("report")
    paths = zjkit.sample.market(root / "m", symbols=12, days=30, trades=300)
    tape = root / "tape.parquet"
    auctions = root / "auctions.parquet"
    assert run("tape", paths["tape"], tape, days=paths["days"], workers=1).ok
    assert run("auctions", paths["auctions"], auctions, days=paths["days"], workers=1).ok
    return SimpleNamespace(root=root, paths=paths, tape=tape, auctions=auctions)


def ranked(screen: Path, by: str, top: int) -> list[str]:
    frame = pq.read_table(screen).to_pandas()
    frame = frame.sort_values(["symbol"]).sort_values(by, ascending=False, kind="stable")
    return list(frame["symbol"][:top])


def images(page: str) -> list[bytes]:
    return [base64.b64decode(b) for b in IMG.findall(page)]


@pytest.mark.parametrize("kind, by, top", [
    ("tape", "day_chg_pct", 3),
    ("auctions", None, 4),
])
def test_top_candidates_ranked_and_charted(market, tmp_path, kind, by, top):
    screen = market.tape if kind == "tape" else market.auctions
    data = market.paths["tape" if kind == "tape" else "auctions"]
    out = tmp_path / "report.html"
    result = write(screen, data, out, days=market.paths["days"], top=top, by=by)
    expected = ranked(screen, by or ("confidence" if kind == "tape" else "score"), top)
    assert result.kind == kind
    assert result.ok, result.problems
    assert result.symbols == expected
    page = out.read_text(encoding="utf-8")
    assert ROW_SYMBOL.findall(page) == expected
    pngs = images(page)
    assert len(pngs) == top
    assert all(png.startswith(b"\x89PNG\r\n\x1a\n") for png in pngs)
    # Self-contained: no reference to anything outside the page.
    assert not re.search(r'(src|href)="(?!data:|#)', page)
    assert "http://" not in page and "https://" not in page


def test_one_file_per_symbol_only_the_candidates_read(market, tmp_path):
    folder = tmp_path / "tape"
    folder.mkdir()
    table = pq.read_table(market.paths["tape"])
    for symbol in pc.unique(table["symbol"]).to_pylist():
        rows = table.filter(pc.equal(table["symbol"], symbol)).drop_columns(["symbol"])
        pq.write_table(rows.rename_columns(["t", "price", "volume", "trade_count", "bs_flag"]),
                       folder / f"{symbol}.parquet")
    # A broken file of a symbol outside the top is never opened.
    outside = ranked(market.tape, "confidence", 12)[-1]
    (folder / f"{outside}.parquet").write_bytes(b"not parquet")
    out = tmp_path / "r.html"
    columns = "time=t,vol=volume"
    result = write(market.tape, folder, out, days=market.paths["days"], top=2, columns=columns)
    assert result.ok, result.problems
    assert result.symbols == ranked(market.tape, "confidence", 2)


def test_auction_screen_as_a_table_with_csv_data(market, tmp_path):
    data = tmp_path / "auctions.csv"
    table = pq.read_table(market.paths["auctions"])
    # Times as exports write them.
    times = pa.array([t.strftime("%H:%M:%S") for t in table["time"].to_pylist()])
    pacsv.write_csv(table.set_column(table.column_names.index("time"), "time", times), data)
    screen = pq.read_table(market.auctions).to_pandas()
    # Days under other names the frame functions know too.
    days = pq.read_table(market.paths["days"]).to_pandas()
    days = days.rename(columns={"symbol": "ts_code", "pre_close": "昨收", "open_price": "open",
                                "limit_up": "up_limit", "limit_down": "down_limit"})
    result = write(screen, data, tmp_path / "r.html", days=days, top=3)
    assert result.ok, result.problems
    assert len(images((tmp_path / "r.html").read_text(encoding="utf-8"))) == 3
    # Without the days table it was made with, the data does not give the
    # screen's open-price fields.
    result = write(screen, data, tmp_path / "r.html", top=3)
    assert set(result.problems) == set(result.symbols)


def with_top_row(screen: Path, **values) -> pa.Table:
    table = pq.read_table(screen)
    row = table.slice(0, 1).to_pylist()[0] | values
    return pa.concat_tables([pa.Table.from_pylist([row], table.schema), table])


HOSTILE = '<img src=x onerror="alert(1)">&'


@pytest.mark.parametrize("case, problem", [
    ("no data", "no rows for this symbol in the data"),
    ("not in days", "no row for this symbol in the days table"),
    ("other day", "this data gives"),
    ("bad prices", "the analysis refused this symbol's data"),
])
def test_a_candidate_without_a_chart_is_said_in_the_page(market, tmp_path, case, problem):
    top = ranked(market.tape, "confidence", 1)[0]
    screen = pq.read_table(market.tape)
    data = pq.read_table(market.paths["tape"])
    days = pq.read_table(market.paths["days"])
    if case == "no data":
        details = "<script>x</script>"
        screen = with_top_row(market.tape, symbol=HOSTILE, confidence=1000.0, details=details)
        top = HOSTILE
    elif case == "not in days":
        days = days.filter(pc.not_equal(days["symbol"], top))
    elif case == "other day":
        symbols = days["symbol"].to_pylist()
        pre_close = days["pre_close"].to_pylist()
        pre_close[symbols.index(top)] /= 2
        index = days.column_names.index("pre_close")
        days = days.set_column(index, "pre_close", pa.array(pre_close))
    else:
        price = data["price"].to_pylist()
        first = data["symbol"].to_pylist().index(top)
        price[first] = float("nan")
        data = data.set_column(data.column_names.index("price"), "price", pa.array(price))
    out = tmp_path / "r.html"
    result = write(screen, data, out, days=days, top=3)
    assert list(result.problems) == [top]
    assert result.problems[top].startswith(problem)
    page = out.read_text(encoding="utf-8")
    assert len(images(page)) == (3 if case == "other day" else 2)
    assert HOSTILE not in page
    assert "<script>x" not in page
    if case == "no data":
        assert "&lt;img src=x onerror=&quot;alert(1)&quot;&gt;&amp;" in page
        assert "&lt;script&gt;x&lt;/script&gt;" in page


def test_breakout_figures_are_checked_against_the_breakout_price(market, tmp_path):
    days = pq.read_table(market.paths["days"])
    middle = pc.round(pc.multiply(pc.add(days["high"], days["low"]), 0.5), 2)
    days_with_level = tmp_path / "days.parquet"
    pq.write_table(days.append_column("breakout", middle), days_with_level)
    screen = tmp_path / "screen.parquet"
    assert run("tape", market.paths["tape"], screen, days=days_with_level, workers=1).ok
    out = tmp_path / "r.html"
    result = write(screen, market.paths["tape"], out, days=days_with_level, top=3)
    assert result.ok, result.problems
    result = write(screen, market.paths["tape"], out, days=market.paths["days"], top=3)
    assert set(result.problems) == set(result.symbols)
    assert all("no breakout price" in p for p in result.problems.values())
    days = market.paths["days"]
    result = write(screen, market.paths["tape"], out, days=days, top=3, breakout=1.0)
    assert set(result.problems) == set(result.symbols)
    assert all("this data gives breakout_" in p for p in result.problems.values())


@pytest.mark.parametrize("change, options, message", [
    ("drop confidence", {}, "no column 'confidence' to rank by"),
    (None, {"by": "nope"}, "no column 'nope' to rank by"),
    (None, {"by": "conclusion"}, "cannot rank by 'conclusion'"),
    (None, {"days": None}, "needs the days table"),
    ("plain", {}, "cannot tell its kind"),
    (None, {"top": 0}, "top must be a whole number of at least 1"),
    (None, {"data": "no/*.parquet"}, "data: no/*.parquet: no Parquet or CSV file matched"),
    (None, {"out": "no-such-folder/r.html"}, "no such directory"),
])
def test_bad_input_is_refused_before_any_page(
        market, tmp_path, monkeypatch, change, options, message):
    monkeypatch.chdir(tmp_path)
    screen = pq.read_table(market.tape)
    if change == "drop confidence":
        screen = screen.drop_columns(["confidence"])
    elif change == "plain":
        screen = pa.table({"symbol": ["000001.SZ"], "x": [1.0]})
    kwargs = {"days": market.paths["days"], "data": market.paths["tape"], "out": "r.html"}
    kwargs |= options
    with pytest.raises(UsageError, match=re.escape(message)):
        write(screen, kwargs.pop("data"), kwargs.pop("out"), **kwargs)
    assert not list(tmp_path.iterdir())


def test_command_line_exit_codes(market, tmp_path, capsys):
    out = tmp_path / "r.html"
    common = ["--data", str(market.paths["tape"]), "--days", str(market.paths["days"])]
    common += ["-o", str(out)]
    assert main(["report", str(market.tape), "--top", "2", *common]) == 0
    assert out.exists()
    out.unlink()
    assert main(["report", str(market.tape), "--by", "nope", *common]) == 2
    assert "zjkit report: error: screen: no column 'nope'" in capsys.readouterr().err
    assert not out.exists()
    screen = tmp_path / "screen.csv"
    pacsv.write_csv(with_top_row(market.tape, symbol="000999.SZ", confidence=1000.0), screen)
    assert main(["report", str(screen), "--top", "2", *common]) == 1
    err = capsys.readouterr().err
    assert "zjkit report: 000999.SZ: no rows for this symbol in the data" in err
    assert out.exists()


# ---- in a real browser -------------------------------------------------------------------------

def _driver(tmp_path):
    """A headless chromium driven by selenium, or a skip (a failure on CI)
    saying what is missing."""
    missing = []
    try:
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
    except ImportError:
        missing.append("selenium (pip install selenium)")
    browser = shutil.which("chromium") or shutil.which("chromium-browser")
    driver = shutil.which("chromedriver")
    if browser is None:
        missing.append("chromium (apt-get install chromium)")
    if driver is None:
        missing.append("chromedriver (apt-get install chromium-driver)")
    if missing:
        reason = "the browser test needs " + ", ".join(missing)
        if os.environ.get("CI", "").lower() not in ("", "0", "false", "no"):
            pytest.fail(reason + "; CI must install them")
        pytest.skip(reason)
    options = webdriver.ChromeOptions()
    options.binary_location = browser
    for arg in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--disable-gpu",
                "--window-size=1360,1800", f"--user-data-dir={tmp_path / 'profile'}"):
        options.add_argument(arg)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(service=Service(driver), options=options)


def table_symbols(driver) -> list[str]:
    cells = "document.querySelectorAll('#candidates tbody tr td:nth-child(2)')"
    script = f"return Array.from({cells}).map(td => td.textContent)"
    return driver.execute_script(script)


@pytest.mark.browser
def test_page_in_headless_chromium(market, tmp_path):
    driver = _driver(tmp_path)
    try:
        out = tmp_path / "report.html"
        result = write(market.tape, market.paths["tape"], out, days=market.paths["days"], top=8)
        assert result.ok, result.problems
        driver.get(out.as_uri())
        assert table_symbols(driver) == ranked(market.tape, "confidence", 8)

        heads = driver.find_elements("css selector", "#candidates thead th")
        column = [h.get_attribute("textContent") for h in heads].index("day_chg_pct")
        heads[column].click()
        screen = pq.read_table(market.tape).to_pandas().set_index("symbol")
        shown = result.symbols
        by_change = sorted(shown, key=lambda s: -screen.loc[s, "day_chg_pct"])
        assert table_symbols(driver) == by_change
        heads[column].click()
        assert table_symbols(driver) == by_change[::-1]
        heads[1].click()  # text: ascending first
        assert table_symbols(driver) == sorted(shown)

        widths = driver.execute_script(
            "return Array.from(document.images).map(i => i.complete ? i.naturalWidth : 0)")
        assert len(widths) == 8
        assert all(w > 0 for w in widths)
        errors = [e for e in driver.get_log("browser") if e["level"] in ("SEVERE", "WARNING")]
        assert errors == []
    finally:
        driver.quit()
