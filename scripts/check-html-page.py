#!/usr/bin/env python3
"""Checks a tree report page as a browser left it (chromium --dump-dom).

    check-html-page.py EXPECT ALL_DOM DEFAULT_DOM [DEFAULT_LEVEL]

EXPECT holds one line per node that must be shown: its path (the node codes
from depth 1 down, joined by "/"; empty for the root), a tab, the number of
holdings, and optionally a tab and the name the node must show. Lines that
start with "#" are comments. Nodes of the page that EXPECT does not list must
show 0 holdings.

ALL_DOM is the page loaded with "#all" (every level open), DEFAULT_DOM the
page loaded plainly (levels below DEFAULT_LEVEL, default 2, folded away).
Prints what is wrong and exits 1, or prints a one-line summary and exits 0.
"""

import sys
from html.parser import HTMLParser


class Rows(HTMLParser):
    """The rows of the tree table, the page's script elements and markers."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.rows, self.scripts, self.ready = [], 0, False
        self.title, self._in_title = "", False
        self._row, self._cell = None, None

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "html":
            self.ready = a.get("data-ready") == "1"
        elif tag == "script":
            self.scripts += 1
        elif tag == "title":
            self._in_title = True
        elif tag == "tr" and "data-depth" in a:
            self._row = {"depth": int(a["data-depth"]), "path": a.get("data-path", ""),
                         "count_attr": a.get("data-count"), "hidden": "hidden" in a,
                         "cells": [], "tags": []}
            self.rows.append(self._row)
        elif self._row is not None:
            if tag == "td":
                self._cell = []
                self._row["cells"].append(self._cell)
            else:
                self._row["tags"].append(tag)

    def handle_endtag(self, tag):
        if tag == "tr":
            self._row, self._cell = None, None
        elif tag == "td":
            self._cell = None
        elif tag == "title":
            self._in_title = False

    def handle_data(self, data):
        if self._in_title:
            self.title += data
        if self._cell is not None:
            self._cell.append(data)


def parse(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        p = Rows()
        p.feed(f.read())
        p.close()
    for r in p.rows:
        r["text"] = ["".join(c).strip() for c in r["cells"]]
    return p


def read_expect(path):
    expect = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            parts = line.split("\t")
            name = parts[2] if len(parts) > 2 else None
            expect[parts[0]] = (int(parts[1]), name)
    return expect


def main():
    if len(sys.argv) not in (4, 5):
        sys.stderr.write(__doc__)
        return 2
    expect = read_expect(sys.argv[1])
    full, plain = parse(sys.argv[2]), parse(sys.argv[3])
    level = int(sys.argv[4]) if len(sys.argv) > 4 else 2
    errors = []

    for page, label in ((full, "#all"), (plain, "plain")):
        if not page.ready:
            errors.append("%s: the page's script did not run to its end (no data-ready)" % label)
        if page.scripts != 1:
            errors.append("%s: %d script elements, expected the page's own one only"
                          % (label, page.scripts))
        if not page.rows:
            errors.append("%s: no tree rows" % label)
    for r in full.rows:
        for tag in r["tags"]:
            if tag not in ("button", "span"):
                errors.append("row %r: a <%s> element inside (unescaped markup?)" % (r["path"], tag))

    shown = {}
    for r in full.rows:
        if r["hidden"]:
            errors.append("#all: row %r is hidden" % r["path"])
        if len(r["text"]) < 3:
            errors.append("row %r: %d cells" % (r["path"], len(r["text"])))
            continue
        code, name, count_text = r["text"][0], r["text"][1], r["text"][2]
        try:
            count = int(count_text.replace(",", ""))
        except ValueError:
            errors.append("row %r: holdings cell reads %r" % (r["path"], count_text))
            continue
        if r["count_attr"] != str(count):
            errors.append("row %r: shows %d holdings but data-count is %s"
                          % (r["path"], count, r["count_attr"]))
        if r["path"] in shown:
            errors.append("row %r appears twice" % r["path"])
        shown[r["path"]] = (count, name, code, r["depth"])

    roots = [p for p, v in shown.items() if v[3] == 0]
    for path, (count, name) in sorted(expect.items()):
        if path == "" and not roots:
            continue  # a page without a root row: the tops must add up instead
        if path not in shown:
            errors.append("node %r (%d holdings) is not on the page" % (path, count))
            continue
        if shown[path][0] != count:
            errors.append("node %r shows %d holdings, expected %d" % (path, shown[path][0], count))
        if name is not None and shown[path][1] != name:
            errors.append("node %r shows the name %r, expected %r" % (path, shown[path][1], name))
    for path, (count, _, _, _) in sorted(shown.items()):
        if path not in expect and count != 0:
            errors.append("node %r shows %d holdings, expected none" % (path, count))
    if "" in expect:
        tops = sum(v[0] for v in shown.values() if v[3] == 1)
        if tops != expect[""][0]:
            errors.append("the top-level nodes show %d holdings together, expected %d"
                          % (tops, expect[""][0]))

    for r in plain.rows:
        folded = r["depth"] > level
        if r["hidden"] != folded:
            errors.append("plain: row %r (depth %d) is %s" % (
                r["path"], r["depth"], "hidden" if r["hidden"] else "shown"))

    if errors:
        for e in errors[:50]:
            print("check-html-page: " + e)
        if len(errors) > 50:
            print("check-html-page: ... and %d more" % (len(errors) - 50))
        return 1
    visible = sum(1 for r in plain.rows if not r["hidden"])
    print("check-html-page: %d nodes shown with the expected counts (%d checked by name); "
          "%d rows open at load" % (len(shown), sum(1 for v in expect.values() if v[1] is not None),
                                   visible))
    return 0


if __name__ == "__main__":
    sys.exit(main())
