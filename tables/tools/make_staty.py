#!/usr/bin/env python3
"""Build tables/staty.txt, the list of accepted country codes.

Source: the ISO 3166-1 data of the Debian package iso-codes
(iso_3166-1.json for the current entries, iso_3166-3.json for the withdrawn
ones). The package is needed only to rerun this script; the build uses the
committed tables/staty.txt.

Layout of the output (rows counted from 0):
  0-5      CZ, CZE, 203, SK, SVK, 703 (home countries first)
  6-240    numeric codes, ascending, then 999 (unknown country)
  241-705  alpha-2 and alpha-3 codes in Czech alphabetical order
  706-717  the last twelve letter rows once more

The country set is the one in force in 2008. Entries created later are left
out, entries withdrawn later (or still in use then) are kept. To fit the fixed
row counts some territories are left out, see LEFT_OUT_* below.
"""

import json
import sys
from pathlib import Path

ISO_DIR = Path("/usr/share/iso-codes/json")
OUT = Path(__file__).resolve().parent.parent / "staty.txt"

HEAD = ["CZ", "CZE", "203", "SK", "SVK", "703"]
NUMERIC_ROWS = 235   # including the closing 999
LETTER_ROWS = 465
TAIL = ["WSM", "YE", "YEM", "YT", "YU", "YUG",
        "ZA", "ZAF", "ZM", "ZMB", "ZW", "ZWE"]
TOTAL_ROWS = len(HEAD) + NUMERIC_ROWS + LETTER_ROWS + len(TAIL)

# Created after 2008 (Netherlands Antilles dissolved 2010, South Sudan 2011).
CREATED_AFTER_2008 = {
    "BQ": "Bonaire, Sint Eustatius and Saba (2010)",
    "CW": "Curacao (2010)",
    "SX": "Sint Maarten (2010)",
    "SS": "South Sudan (2011)",
}

# Withdrawn entries that the 2008 list still carried.  YU and CS share the
# numeric code 891, which is therefore listed once.
KEPT_WITHDRAWN = {"ANT", "SCG", "YUG"}

# Left out of both parts: territories without a permanent population, then
# the six smallest inhabited dependencies (about 2,000 people or fewer).
LEFT_OUT_BOTH = {
    "AQ": "Antarctica, no permanent population",
    "BV": "Bouvet Island, uninhabited",
    "GS": "South Georgia and the South Sandwich Islands, no permanent population",
    "HM": "Heard Island and McDonald Islands, uninhabited",
    "IO": "British Indian Ocean Territory, no permanent population",
    "TF": "French Southern Territories, no permanent population",
    "UM": "United States Minor Outlying Islands, no permanent population",
    "PN": "Pitcairn, about 50 people",
    "CC": "Cocos (Keeling) Islands, about 600 people",
    "CX": "Christmas Island, about 1,400 people",
    "TK": "Tokelau, about 1,400 people",
    "NU": "Niue, about 1,600 people",
    "NF": "Norfolk Island, about 2,000 people",
}

# The letter part has room for fewer countries than the numeric part
# (465 rows against 234 codes), so it also leaves out the next three
# smallest dependencies; their numeric codes stay.
LEFT_OUT_LETTERS = {
    "SJ": "Svalbard and Jan Mayen, about 2,500 people",
    "FK": "Falkland Islands, about 3,000 people",
    "MS": "Montserrat, about 5,000 people",
}

# CSK, the alpha-3 code of Czechoslovakia: its alpha-2 code CS passed to Serbia
# and Montenegro (kept above), and older personnel records still carry CSK as
# a citizenship.  It is the one letter code without a partner of its own, which
# makes the letter count odd.
EXTRA_LETTERS = ["CSK"]


def czech_key(code):
    """Byte order, except that CH sorts as a letter of its own after H."""
    if code.startswith("CH"):
        return ("H\x7f", code[2:])
    return (code, "")


def load_countries():
    current = json.loads((ISO_DIR / "iso_3166-1.json").read_text("utf-8"))["3166-1"]
    withdrawn = json.loads((ISO_DIR / "iso_3166-3.json").read_text("utf-8"))["3166-3"]
    countries = []
    for e in current:
        if e["alpha_2"] in CREATED_AFTER_2008:
            continue
        countries.append((e["alpha_2"], e["alpha_3"], e["numeric"], e["name"]))
    for e in withdrawn:
        if e["alpha_3"] in KEPT_WITHDRAWN:
            countries.append((e["alpha_2"], e["alpha_3"], e["numeric"], e["name"]))
    found = {c[1] for c in countries}
    assert KEPT_WITHDRAWN <= found, KEPT_WITHDRAWN - found
    return countries


def build():
    countries = load_countries()
    a2_all = {c[0] for c in countries}
    for code in list(LEFT_OUT_BOTH) + list(LEFT_OUT_LETTERS):
        assert code in a2_all, code

    numeric = sorted({c[2] for c in countries if c[0] not in LEFT_OUT_BOTH})
    numeric.append("999")

    letters = []
    for a2, a3, _num, _name in countries:
        if a2 in LEFT_OUT_BOTH or a2 in LEFT_OUT_LETTERS:
            continue
        letters += [a2, a3]
    letters += EXTRA_LETTERS
    assert len(letters) == len(set(letters)), "duplicate letter code"
    letters.sort(key=czech_key)

    rows = HEAD + numeric + letters + TAIL
    check(rows, countries)
    return rows, countries


def check(rows, countries):
    assert len(rows) == TOTAL_ROWS == 718, len(rows)
    assert rows[0:6] == HEAD
    num = rows[6:241]
    assert len(num) == NUMERIC_ROWS
    assert all(len(x) == 3 and x.isdigit() for x in num)
    assert num[0] == "004" and num[-2] == "894" and num[-1] == "999"
    assert all(a < b for a, b in zip(num, num[1:])), "numeric not ascending"
    let = rows[241:706]
    assert len(let) == LETTER_ROWS
    assert all(len(x) in (2, 3) and x.isalpha() and x.isupper() for x in let)
    assert let[0] == "ABW" and let[-1] == "ZWE"
    assert len(set(let)) == len(let)
    # byte order everywhere except the CH block right after HUN
    ch = [x for x in let if x.startswith("CH")]
    assert ch == ["CH", "CHE", "CHL", "CHN"], ch
    i = let.index("HUN")
    assert let[i + 1:i + 5] == ch
    assert not any(x.startswith("H") for x in let[i + 5:])
    plain = [x for x in let if not x.startswith("CH")]
    assert plain == sorted(plain)
    assert rows[694:706] == TAIL and rows[706:718] == TAIL
    for code in ["AN", "ANT", "CS", "SCG", "YU", "YUG", "YT", "MYT",
                 "CZ", "CZE", "SK", "SVK"]:
        assert code in let, code
    for code in ["SS", "SSD", "BQ", "BES", "CW", "CUW", "SX", "SXM"]:
        assert code not in rows, code
    assert "203" in num and "703" in num and "891" in num and "530" in num
    # numeric part: exactly the countries kept in it, nothing else
    kept = {c[2] for c in countries if c[0] not in LEFT_OUT_BOTH}
    assert set(num[:-1]) == kept


def main():
    rows, countries = build()
    with open(OUT, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(rows) + "\n")
    by_a2 = {c[0]: c for c in countries}
    print(f"wrote {OUT} ({len(rows)} rows)")
    print("left out, created after 2008:")
    for a2, why in CREATED_AFTER_2008.items():
        print(f"  {a2}: {why}")
    print("left out of both parts:")
    for a2, why in LEFT_OUT_BOTH.items():
        c = by_a2[a2]
        print(f"  {c[0]} {c[1]} {c[2]}: {why}")
    print("left out of the letter part only (numeric kept):")
    for a2, why in LEFT_OUT_LETTERS.items():
        c = by_a2[a2]
        print(f"  {c[0]} {c[1]} (keeps {c[2]}): {why}")
    print("extra letter codes:", ", ".join(EXTRA_LETTERS))
    return 0


if __name__ == "__main__":
    sys.exit(main())
