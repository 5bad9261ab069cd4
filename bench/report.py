"""Turns the raw measurements of run_comparison.sh into the printed table,
docs/performance.md and the bar chart docs/performance.svg.

Input: a tab-separated file with one line per run:
    tool  family  size_label  bytes  seconds  peak_kib  status
and a second file with one line per run of the small-document loop:
    tool  seconds_per_process
plus a few facts about the machine passed as KEY=VALUE arguments.
"""
import math
import statistics
import sys
from collections import defaultdict
from pathlib import Path

TOOLS = ["xml2slist", "xml2r", "cat", "wc -w", "xmllint --stream", "xmllint", "python expat"]
FAMILIES = ["records", "deep", "wide", "ids", "colliding", "dense", "idrecords", "text", "huge"]
FAMILY_TEXT = {
    "records": "ordinary records",
    "deep": "deep nesting (25 levels)",
    "wide": "wide names (10^5 names)",
    "ids": "many Ids",
    "colliding": "Ids colliding under an unkeyed hash",
    "dense": "nothing but Ids (20 bytes a line)",
    "idrecords": "short records, an Id each",
    "text": "long text runs",
    "huge": "huge tokens (10 MB)",
}
COLOURS = {
    "xml2slist": "#d62728",
    "xml2r": "#ff9896",
    "cat": "#7f7f7f",
    "wc -w": "#bcbd22",
    "xmllint --stream": "#1f77b4",
    "xmllint": "#17becf",
    "python expat": "#2ca02c",
}
HUGE_TOKEN_BYTES = 10_000_000
MB = 1_000_000


class Cell:
    """The runs of one tool on one document."""

    def __init__(self):
        self.seconds = []
        self.peak_kib = []
        self.failed = False
        self.bytes = 0

    @property
    def time(self):
        return statistics.median(self.seconds)

    @property
    def rate(self):
        return self.bytes / MB / self.time

    @property
    def rss_mib(self):
        return statistics.median(self.peak_kib) / 1024


def load(path):
    cells = defaultdict(Cell)
    for line in Path(path).read_text().splitlines():
        tool, family, size, size_bytes, seconds, peak, status = line.split("\t")
        cell = cells[(tool, family, size)]
        cell.bytes = int(size_bytes)
        if status != "0":
            cell.failed = True
            continue
        cell.seconds.append(float(seconds))
        cell.peak_kib.append(int(peak))
    return cells


def fmt_rate(cell):
    if cell is None or not cell.seconds:
        return "failed" if cell is not None else "-"
    return f"{cell.rate:,.0f}"


def fmt_rss(cell):
    if cell is None or not cell.seconds:
        return "-"
    return f"{cell.rss_mib:,.1f}"


def table(cells, sizes):
    """The main table: one row per document and tool."""
    rows = [
        "| document | size | tool | runs | median s | MB/s | peak RSS MiB | xml2slist speed / tool | xml2slist RSS / tool |",
        "|---|---:|---|---:|---:|---:|---:|---:|---:|",
    ]
    for family in FAMILIES:
        for size in sizes:
            ours = cells.get(("xml2slist", family, size))
            if ours is None:
                continue
            for tool in TOOLS:
                cell = cells.get((tool, family, size))
                if cell is None:
                    continue
                speed = rss = ""
                if tool != "xml2slist" and cell.seconds and ours.seconds:
                    speed = f"{cell.time / ours.time:.2f}"
                    rss = f"{ours.rss_mib / cell.rss_mib:.2f}"
                rows.append(
                    f"| {FAMILY_TEXT[family]} | {cell.bytes / MB:.1f} MB | {tool} | {len(cell.seconds)} | "
                    + (f"{cell.time:.3f}" if cell.seconds else "failed")
                    + f" | {fmt_rate(cell)} | {fmt_rss(cell)} | {speed} | {rss} |"
                )
    return rows


# Distinct level-1 names of the families that have many, as the generator
# writes them: (count, bytes of each name).
MANY_NAMES = {"wide": (100_000, len("field00000"))}
ID_FAMILIES = ("records", "ids", "colliding", "dense", "idrecords")


def targets(cells, sizes, small, ids=None):
    """The issue's targets, each with its numbers and whether it is met."""
    lines = []
    ids = ids or {}

    def verdict(ok):
        return "**met**" if ok else "**not met**"

    def speed(family, size, peer, factor):
        ours = cells.get(("xml2slist", family, size))
        other = cells.get((peer, family, size))
        if not (ours and other and ours.seconds and other.seconds):
            return None
        ratio = ours.rate / other.rate
        return ratio, ratio >= factor, f"{ours.rate:.0f} vs {other.rate:.0f} MB/s = {ratio:.2f}x"

    for family, peer, factor in (
        ("dense", "xmllint --stream", 2),
        ("idrecords", "xmllint --stream", 2),
        ("idrecords", "wc -w", 1),
        ("records", "xmllint --stream", 2.5),
    ):
        parts = []
        all_ok = True
        for size in sizes:
            found = speed(family, size, peer, factor)
            if found:
                parts.append(f"{size} MB {found[2]}")
                all_ok = all_ok and found[1]
        if parts:
            lines.append(
                f"- {FAMILY_TEXT[family][0].upper()}{FAMILY_TEXT[family][1:]}: xml2slist at least {factor}x `{peer}`: "
                f"{'; '.join(parts)}: {verdict(all_ok)}."
            )
    if len(sizes) >= 2:
        small_size, large_size = min(sizes, key=int), max(sizes, key=int)
        parts = []
        all_ok = True
        for family in FAMILIES:
            a = cells.get(("xml2slist", family, small_size))
            b = cells.get(("xml2slist", family, large_size))
            if not (a and b and a.seconds and b.seconds):
                continue
            # Scaled by the real byte counts, which differ a little from the nominal sizes.
            nominal = int(large_size) / int(small_size)
            ratio = b.time / a.time
            scaled = ratio * nominal / (b.bytes / a.bytes)
            ok = scaled <= 1.1 * nominal
            all_ok = all_ok and ok
            parts.append(f"{family} {ratio:.2f}" + ("" if abs(scaled - ratio) < 0.01 else f" (per byte {scaled:.2f})"))
        lines.append(
            f"- time({large_size} MB) / time({small_size} MB) <= {1.1 * int(large_size) / int(small_size):.0f} "
            f"for every family: {', '.join(parts)}: {verdict(all_ok)}."
        )
    rss_parts = []
    rss_ok = True
    bound_parts = []
    bound_ok = True
    for family in FAMILIES:
        for size in sizes:
            ours = cells.get(("xml2slist", family, size))
            if not ours or not ours.seconds:
                continue
            if family == "huge":
                limit = 4 * HUGE_TOKEN_BYTES / 1024 / 1024
                ok = ours.rss_mib <= limit
                rss_parts.append(f"huge {size} MB {ours.rss_mib:.1f} MiB (limit {limit:.1f})" + ("" if ok else " over"))
                rss_ok = rss_ok and ok
            elif family in ID_FAMILIES or family in MANY_NAMES:
                if family in MANY_NAMES:
                    count, each = MANY_NAMES[family]
                    count, total, what = count, count * each, "names"
                elif (family, size) in ids:
                    count, total = ids[(family, size)]
                    what = "Ids"
                else:
                    continue
                limit = (2 * 1024 * 1024 + total + 8 * count) / 1024 / 1024
                ok = ours.rss_mib <= limit
                bound_parts.append(
                    f"{family} {size} MB {ours.rss_mib:.1f} MiB for {count:,} {what} (bound {limit:.1f})"
                    + ("" if ok else " over")
                )
                bound_ok = bound_ok and ok
            else:
                peer = cells.get(("xmllint --stream", family, size))
                if not peer or not peer.seconds:
                    continue
                ok = ours.rss_mib <= peer.rss_mib
                rss_parts.append(
                    f"{family} {size} MB {ours.rss_mib:.1f} vs {peer.rss_mib:.1f} MiB" + ("" if ok else " over")
                )
                rss_ok = rss_ok and ok
    lines.append(
        "- Peak RSS without Ids no more than `xmllint --stream`'s (huge tokens: at most 4x the 10 MB token): "
        + "; ".join(rss_parts)
        + f": {verdict(rss_ok)}."
    )
    if bound_parts:
        lines.append(
            "- Peak RSS with Ids (or many level-1 names) at most 2 MiB plus the bytes of the distinct values "
            "plus 8 bytes each: " + "; ".join(bound_parts) + f": {verdict(bound_ok)}."
        )
    # xml2r writes R code from the same translation: at least as fast.
    r_parts, r_ok = [], True
    for family in FAMILIES:
        for size in sizes:
            ours, r = cells.get(("xml2slist", family, size)), cells.get(("xml2r", family, size))
            if ours and r and ours.seconds and r.seconds:
                ratio = r.rate / ours.rate
                r_ok = r_ok and ratio >= 1
                r_parts.append(f"{family} {size} MB {ratio:.2f}")
    if r_parts:
        lines.append(
            "- xml2r converts at least as fast as xml2slist (xml2r's MB/s over xml2slist's): "
            + "; ".join(r_parts) + f": {verdict(r_ok)}."
        )
    if small:
        ours, cat = small.get("xml2slist"), small.get("cat")
        if ours and cat:
            ratio = ours / cat
            lines.append(
                f"- 17 KB document, whole process: xml2slist {ours * 1e3:.3f} ms, `cat` {cat * 1e3:.3f} ms, "
                f"ratio {ratio:.2f}, target <= 1.5: {verdict(ratio <= 1.5)}."
            )
    return lines


def summary(cells, sizes, small):
    """The opening lines for users: speed and memory on ordinary documents
    beside the tools they know, then the spread over the other families."""
    big = max(sizes, key=int)

    def get(tool, family, size=big):
        cell = cells.get((tool, family, size))
        return cell if cell and cell.seconds else None

    lines = []
    ours = get("xml2slist", "records")
    if ours:
        peers = [(tool, get(tool, "records")) for tool in ("wc -w", "xmllint --stream", "xmllint", "python expat")]
        beside = "; ".join(
            f"`{tool}` {cell.rate:,.0f} MB/s in {cell.rss_mib:,.1f} MiB" for tool, cell in peers if cell
        )
        lines.append(
            f"- **Speed**: on ordinary data documents (records of a few fields, {ours.bytes / MB:.0f} MB) "
            f"xml2slist converts {ours.rate:,.0f} MB/s, a {ours.bytes / MB:.0f} MB file in "
            f"{ours.time:.1f} s, with {ours.rss_mib:,.1f} MiB of memory at most. Beside it, on the same file: "
            f"{beside}."
        )
    rates = [(get("xml2slist", family), family) for family in FAMILIES if family != "huge"]
    rates = [(cell.rate, family) for cell, family in rates if cell]
    if rates:
        low, high = min(rates), max(rates)
        lines.append(
            f"- Other shapes of document: from {low[0]:,.0f} MB/s on {FAMILY_TEXT[low[1]]} to {high[0]:,.0f} MB/s on {FAMILY_TEXT[high[1]]}."
        )
    if len(sizes) >= 2:
        small_size = min(sizes, key=int)
        ratios = []
        for family in FAMILIES:
            a, b = get("xml2slist", family, small_size), get("xml2slist", family)
            if a and b and family != "huge":
                ratios.append(b.time / a.time * a.bytes / b.bytes * int(big) / int(small_size))
        if ratios:
            lines.append(
                f"- **Time grows with the size**: {int(big) // int(small_size)} times the document took "
                f"{min(ratios):.1f} to {max(ratios):.1f} times as long."
            )
    memory = [(get("xml2slist", family), family) for family in FAMILIES if family not in ("huge", "ids", "dense", "idrecords")]
    memory = [cell.rss_mib for cell, _ in memory if cell]
    ids = get("xml2slist", "ids")
    huge = get("xml2slist", "huge")
    if memory:
        text = (
            f"- **Memory**: {min(memory):.1f} to {max(memory):.1f} MiB at {big} MB. It grows only with what "
            "must be kept: every `Id` value"
        )
        if ids:
            text += f" ({ids.rss_mib:.1f} MiB for the {ids.bytes / MB:.0f} MB document of many Ids)"
        text += ", and the longest single token"
        if huge:
            text += f" ({huge.rss_mib:.1f} MiB for tokens of {HUGE_TOKEN_BYTES // MB} MB)"
        lines.append(text + ".")
    if small:
        ours_small, cat = small.get("xml2slist"), small.get("cat")
        if ours_small and cat:
            lines.append(
                f"- **Small documents**: a 17 KB document takes {ours_small * 1e3:.2f} ms from start to exit, "
                f"against {cat * 1e3:.2f} ms for `cat` to print it, so scripts may start it for every file."
            )
    lines.append(
        "- Loading the output into R takes much longer than converting: see \"How big a document R can "
        "load\" in the README."
    )
    return lines


def chart(cells, size):
    """A grouped horizontal bar chart of MB/s per family and tool, log scale."""
    tools = [t for t in TOOLS if any((t, f, size) in cells for f in FAMILIES)]
    families = [f for f in FAMILIES if ("xml2slist", f, size) in cells]
    bar, gap, left, width = 13, 14, 190, 560
    top = 60
    group = len(tools) * bar + gap
    height = top + len(families) * group + 70
    lo, hi = 1.0, 10_000.0
    rates = [c.rate for (t, f, s), c in cells.items() if s == size and c.seconds]
    if rates:
        lo = 10 ** math.floor(math.log10(max(min(rates), 1e-3)))
        hi = 10 ** math.ceil(math.log10(max(rates)))

    def x(rate):
        return left + width * (math.log10(rate) - math.log10(lo)) / (math.log10(hi) - math.log10(lo))

    out = [
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{left + width + 170}" height="{height}" '
        'font-family="sans-serif" font-size="11">',
        f'<rect width="100%" height="100%" fill="white"/>',
        f'<text x="{left}" y="22" font-size="15" font-weight="bold">Throughput on {size} MB documents '
        "(MB/s, log scale, median of runs)</text>",
    ]
    decade = lo
    while decade <= hi * 1.0001:
        gx = x(decade)
        out.append(f'<line x1="{gx:.1f}" y1="{top - 10}" x2="{gx:.1f}" y2="{height - 55}" stroke="#ddd"/>')
        out.append(f'<text x="{gx:.1f}" y="{height - 40}" text-anchor="middle">{decade:g}</text>')
        decade *= 10
    for gi, family in enumerate(families):
        gy = top + gi * group
        out.append(
            f'<text x="{left - 8}" y="{gy + len(tools) * bar / 2 + 4:.1f}" text-anchor="end" '
            f'font-weight="bold">{FAMILY_TEXT[family]}</text>'
        )
        for ti, tool in enumerate(tools):
            cell = cells.get((tool, family, size))
            y = gy + ti * bar
            if cell is None:
                continue
            if not cell.seconds:
                out.append(f'<text x="{left + 4}" y="{y + bar - 3}" fill="#555">{tool}: failed</text>')
                continue
            end = x(cell.rate)
            out.append(
                f'<rect x="{left}" y="{y}" width="{max(end - left, 1):.1f}" height="{bar - 2}" '
                f'fill="{COLOURS[tool]}"><title>{tool}: {cell.rate:.0f} MB/s</title></rect>'
            )
            out.append(f'<text x="{end + 4:.1f}" y="{y + bar - 3}">{cell.rate:,.0f}</text>')
    ly = height - 22
    lx = left
    for tool in tools:
        out.append(f'<rect x="{lx}" y="{ly - 9}" width="10" height="10" fill="{COLOURS[tool]}"/>')
        out.append(f'<text x="{lx + 14}" y="{ly}">{tool}</text>')
        lx += 14 + 7 * len(tool) + 18
    out.append("</svg>")
    return "\n".join(out) + "\n"


R_LOAD_DOCUMENTS = {
    "records-1": "ordinary records, 1 MB",
    "records-10": "ordinary records, 10 MB",
    "children-80000": "80,000 children `<e k=\"i\">t i</e>` (2 MB)",
}


def r_load_rows(path):
    """Loading documents into R: xml2r's code against xml2::as_list."""
    if not path or not Path(path).exists() or not Path(path).read_text().strip():
        return []
    times = defaultdict(list)
    for line in Path(path).read_text().splitlines():
        document, tool, seconds = line.split("\t")
        times[(document, tool)].append(float(seconds))
    median = {key: statistics.median(v) for key, v in times.items()}
    ours, theirs = "xml2r + sys.source", "xml2::as_list"
    rows = [
        "## Loading into R",
        "",
        "Each figure is the median wall time of a fresh `Rscript` (start-up included): `sys.source()` of the",
        "code xml2r wrote (its conversion not counted), against `xml2::as_list(xml2::read_xml(f))`.",
        "",
        f"| document | runs | {ours} s | {theirs} s | ratio |",
        "|---|---:|---:|---:|---:|",
    ]
    for document, text in R_LOAD_DOCUMENTS.items():
        a, b = median.get((document, ours)), median.get((document, theirs))
        if a is None or b is None:
            continue
        rows.append(f"| {text} | {len(times[(document, ours)])} | {a:.2f} | {b:.2f} | {a / b:.2f} |")
    rows.append("")
    for document in ("records-10", "children-80000"):
        a, b = median.get((document, ours)), median.get((document, theirs))
        if a and b:
            rows.append(f"- Target: loading {R_LOAD_DOCUMENTS[document]} takes at most 1/4 of `xml2::as_list`:"
                        f" {a / b:.2f}, {'**met**' if a / b <= 0.25 else '**not met**'}.")
    small, large = median.get(("records-1", ours)), median.get(("records-10", ours))
    if small and large:
        rows.append(f"- Target: linear, time(10 MB) / time(1 MB) at most 11: {large / small:.1f},"
                    f" {'**met**' if large / small <= 11 else '**not met**'}.")
    return rows + [""]


def instruction_rows(path):
    """The table of instruction counts, or nothing when none were taken."""
    if not path or not Path(path).exists():
        return []
    lines = [line.split("\t") for line in Path(path).read_text().splitlines() if line.strip()]
    counted = [(f, int(b), int(n), int(o)) for f, b, n, o in lines if int(n) > 0]
    if not counted:
        return []
    rows = [
        "## Instructions",
        "",
        "Instructions xml2slist executes on 2 MB of each family (valgrind's callgrind, same build). Unlike the",
        "times above, they do not move with the load of the shared machine.",
        "",
        "| document | input bytes | instructions (M) | per input byte | output bytes per input byte |",
        "|---|---:|---:|---:|---:|",
    ]
    for family, size, count, output in counted:
        rows.append(
            f"| {FAMILY_TEXT.get(family, family)} | {size:,} | {count / 1e6:.1f} | {count / size:.1f} |"
            f" {output / size:.2f} |"
        )
    return rows + [""]


def main():
    runs_file, small_file, markdown, svg = sys.argv[1:5]
    facts = dict(arg.split("=", 1) for arg in sys.argv[5:])
    cells = load(runs_file)
    sizes = sorted({s for (_, _, s) in cells}, key=int)
    small = {}
    if Path(small_file).exists():
        per_tool = defaultdict(list)
        for line in Path(small_file).read_text().splitlines():
            tool, seconds = line.split("\t")
            per_tool[tool].append(float(seconds))
        small = {tool: statistics.median(v) for tool, v in per_tool.items()}

    rows = table(cells, sizes)
    ids = {}
    ids_file = facts.get("ids_file")
    if ids_file and Path(ids_file).exists():
        for line in Path(ids_file).read_text().splitlines():
            family, size, count, total = line.split("\t")
            ids[(family, size)] = (int(count), int(total))
    goal_lines = targets(cells, sizes, small, ids)
    print("\n".join(rows))
    print()
    print("\n".join(goal_lines))

    chart_size = max(sizes, key=int)
    Path(svg).write_text(chart(cells, chart_size))
    page = [
        "# Performance",
        "",
        "## In short",
        "",
        *summary(cells, sizes, small),
        "",
        "The rest of this page is the development detail: throughput and peak memory of xml2slist against",
        "the tools people would use instead, on the same generated documents in the same run, output to",
        "/dev/null. Produced by `make bench` (`bench/run_comparison.sh`); do not edit by hand.",
        "",
        "## Machine",
        "",
        f"- Date: {facts.get('date', '?')}",
        f"- CPU: {facts.get('cpu', '?')}, {facts.get('nproc', '?')} cores (`nproc`)",
        f"- Memory: {facts.get('memory', '?')}",
        f"- Kernel: {facts.get('kernel', '?')}; compiler: {facts.get('compiler', '?')}",
        "- The machine was shared with other jobs while this ran: every figure is the median of several runs,",
        f"  {facts.get('runs', '?')} a tool and document ({facts.get('slow_runs', '?')} for `xmllint` and Python"
        " expat at 100 MB).",
        "",
        "## How it is measured",
        "",
        "- Documents come from `xml2slist_docgen` (bench/docgen.cpp): deterministic, with a",
        '  `<?xml version="1.0"?>` prologue; each converts with status 0 and nothing on standard error.',
        "- Every process is started by `xml2slist_measure`, which takes the wall time and the peak RSS",
        "  (`ru_maxrss`) of the child; standard output goes to /dev/null.",
        "- Peers: `cat FILE`, `wc -w FILE`, `xmllint --stream --noout FILE`, `xmllint --noout FILE` (both with",
        "  `--huge` on the huge-token documents, which they otherwise reject), and Python's expat parsing the",
        "  file in 1 MiB chunks with no handlers (`bench/expat_parse.py`).",
        "- Runs go in rounds: each round runs every tool on both sizes of one family in turn, so that a",
        "  busy moment of the machine falls on no tool or size alone.",
        "- MB/s counts 10^6 bytes of input per second. \"xml2slist speed / tool\" is the tool's median time",
        "  divided by xml2slist's (above 1: xml2slist is faster); \"RSS / tool\" is xml2slist's peak RSS over",
        "  the tool's (below 1: xml2slist needs less).",
        "- The small document is the ordinary-records family cut at 17 KB; each figure is the mean time of one",
        f"  whole process over a loop of {facts.get('small_loop', '?')} runs, median of"
        f" {facts.get('small_repeats', '?')} loops.",
        "",
        "## Targets",
        "",
        *goal_lines,
        "",
        "## Throughput",
        "",
        "![Throughput per tool and document family](performance.svg)",
        "",
        "## All measurements",
        "",
        *rows,
        "",
    ]
    page += r_load_rows(facts.get("r_load_file"))
    page += instruction_rows(facts.get("instructions_file"))
    if small:
        page += [
            "## Small document (17 KB)",
            "",
            "| tool | ms per process |",
            "|---|---:|",
            *[f"| {tool} | {seconds * 1e3:.3f} |" for tool, seconds in sorted(small.items())],
            "",
        ]
    notes = facts.get("notes_file")
    if notes and Path(notes).exists():
        page += [Path(notes).read_text().rstrip(), ""]
    Path(markdown).write_text("\n".join(page))


if __name__ == "__main__":
    main()
