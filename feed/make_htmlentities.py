#!/usr/bin/python3
"""Writes htmlentities.inc, the table of HTML named character references, beside this script.

The names come from Python's html.entities (html5 and name2codepoint), which Debian ships in
libpython3.11-stdlib (/usr/lib/python3.11/html/entities.py). Run it again only to follow a newer
edition of that table:

    /usr/bin/python3 feed/make_htmlentities.py
"""

import html.entities
import os

# The entity sets of HTML 4 and XHTML 1 (lat1, symbol, special) define the names of
# name2codepoint; XHTML's special set adds apos.
DTD_NAMES = set(html.entities.name2codepoint) | {"apos"}


def entry(name, text):
    codes = [ord(c) for c in text] + [0]
    dtd = 1 if name.endswith(";") and name[:-1] in DTD_NAMES else 0
    return '{ "%s", 0x%X, 0x%X, %d },' % (name, codes[0], codes[1], dtd)


def main():
    table = html.entities.html5
    lines = [entry(name, table[name]) for name in sorted(table, key=lambda n: n.encode())]
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "htmlentities.inc")
    with open(path, "w", encoding="ascii", newline="\n") as out:
        out.write("// Written by make_htmlentities.py from Python's html.entities; do not edit.\n")
        out.write("// name (a legacy one without ';'), first and second code point, defined by\n")
        out.write("// the HTML 4 / XHTML 1 entity sets.\n")
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
