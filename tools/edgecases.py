#!/usr/bin/env python3
"""Writes the threshold cases: reports that put a value just below, at and just above every
edge of the element tables and of the rules, each as a golden case.

    tools/edgecases.py [FOLDER...]

Each case is a valid report (the submitter, an employer and a record with no finding) with
the values under test changed; the employer totals are made to agree with its records unless a
case sets them. The cases go to tests/golden/edges-*/; their expectations are then written by
the golden runner with GOLDEN_UPDATE=1 and reviewed row by row.
"""
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

SUBMITTER = [("rok", "2008"), ("AA0226", "1-6"), ("ICOpredkladatele", "00212172"),
             ("predkladatel", "Obec Lhota"), ("autor", "Jana Nováková"),
             ("mail", "mzdy@lhota.cz"), ("telefon", "+420 495 111 222"),
             ("vytvoreno", "2008-07-15T10:20:30")]
EMPLOYER = [("AA0017", "00212172"), ("AA0113", ""), ("AA0019", "801"), ("AA0179", "CZ0521"),
            ("AA0110", "20080630"), ("AA0116", None), ("AA0123", None), ("AA0114", None),
            ("AA0115", None), ("AA0118", None), ("AA0119", "0")]
RECORD = [("AA0126", None), ("AA0231", "1975"), ("AA0211", "1"), ("AA0223", "M"),
          ("AA0033", "CZ"), ("AA0013", "24212"), ("AA0125", "1"), ("AA0130", "1"),
          ("AA0131", "40"), ("AA0225", "5"), ("AA0216", "3.5"), ("AA0132", "1072"),
          ("AA0133", "0"), ("AA0134", "64"), ("AA0135", "40"), ("AA0136", "1"), ("AA0137", "1"),
          ("AA0127", "10"), ("AA0128", "5"), ("AA0129", "1"), ("AA0138", "13140"),
          ("AA0139", "1000"), ("AA0140", "0"), ("AA0141", "0"), ("AA0142", "0"),
          ("AA0143", "0"), ("AA0144", "96582"), ("AA0145", "78840"), ("AA0146", "6000"),
          ("AA0147", "0"), ("AA0148", "0"), ("AA0160", "0"), ("AA0162", "0"), ("AA0150", "3000"),
          ("AA0239", "0"), ("AA0240", "0"), ("AA0151", "1800"), ("AA0152", "1200"),
          ("AA0153", "0"), ("AA0154", "0"), ("AA0155", "0"), ("AA0156", "0"), ("AA0157", "4800"),
          ("AA0163", "0"), ("AA0161", "0"), ("AA0237", "0"), ("AA0238", "0"), ("AA0158", "3942"),
          ("AA0159", "2365"), ("AA0165", "90.5"), ("AA0166", "0"), ("AA0167", "0"),
          ("AA0168", "0"), ("AA0091", "1111"), ("AA0210", "3"), ("AA0218", "182"),
          ("AA0219", "12"), ("AA0690", "CZ0521")]
# Providers of the submitter 00212172, so that several employers of one report are apart.
PROVIDERS = ["00212172", "70096007", "70725560", "74382551"]


def number(x):
    text = f"{x:.4f}".rstrip("0").rstrip(".")
    return text if text not in ("", "-0") else "0"


def record(ident, values):
    v = dict(RECORD)
    v["AA0126"] = ident
    v.update(values)
    return v


def employer(records, **values):
    """An employer with its records; the totals follow the records unless given."""
    v = dict(EMPLOYER)
    persons = {}
    for r in records:
        if r.get("AA0137") == "1":
            persons[r["AA0126"]] = 1
    fl = lambda r, k: float(r.get(k) or 0)
    total = sum(fl(r, "AA0136") for r in records)
    paid = sum(fl(r, "AA0144") for r in records)
    v.update(AA0114=number(total) if total > 0 else "0.0001", AA0115=str(len(persons)),
             AA0118=number(paid), AA0116=str(round(total)), AA0123=number(2 * paid))
    v.update(values)
    return v, records


def element(name, value):
    return f"<{name}>{value}</{name}>" if value is not None else ""


def document(employers, submitter=None):
    s = dict(SUBMITTER)
    s.update(submitter or {})
    out = ['<?xml version="1.0" encoding="windows-1250"?>',
           '<KUF verze="1.6" xmlns="http://www.example.org/schemas/2004/KUF/1.6/">']
    out += [element(k, v) for k, v in s.items() if v is not None]
    for values, records in employers:
        out.append("<zamestnavatel>")
        out += [element(k, v) for k, v in values.items() if v is not None]
        for r in records:
            out.append("<zamestnanec>")
            out += [element(k, v) for k, v in r.items() if v is not None]
            out.append("</zamestnanec>")
        out.append("</zamestnavatel>")
    out.append("</KUF>")
    return "\n".join(line for line in out if line) + "\n"


def records_of(rows):
    """Records named R1, R2, ... from a list of value changes."""
    return [record(f"R{i}", r) for i, r in enumerate(rows, 1)]


def one(rows, **employer_values):
    return document([employer(records_of(rows), **employer_values)])


CASES = {}


def case(folder, name, description, doc, args=("kuf.xml", "p.csv")):
    CASES.setdefault(folder, []).append((name, description, doc, args))


def write(folder, name, description, doc, args):
    path = ROOT / "tests" / "golden" / folder / f"{name}.case"
    path.parent.mkdir(parents=True, exist_ok=True)
    text = description.strip() + "\n-- args --\n" + "".join(a + "\n" for a in args)
    text += "-- file kuf.xml --\n" + doc
    path.write_bytes(text.encode("cp1250"))


# ---- The element tables: lengths and value ranges ---------------------------------------------


def table_rows():
    rows = []
    for line in (ROOT / "tables" / "prvky.txt").read_text(encoding="utf-8").split("\n"):
        if not line or line.startswith("#"):
            continue
        f = line.split("|")
        if f[0] not in "DC":  # the bound lists are written as values in the rows as well
            rows.append(dict(sec=f[0], elem=f[1], typ=f[2], lo=int(f[3]), hi=int(f[4]),
                             vlo=f[5], vhi=f[6], code=f[7]))
    return rows


def fits(text, row):
    return row["lo"] <= len(text) <= row["hi"]


def pad(text, n):
    """A number text made n characters long with leading zeros (after the sign)."""
    sign = text[0] if text[:1] == "-" else ""
    body = text[len(sign):]
    return sign + body.rjust(n - len(sign), "0") if n > len(text) else text


def step_byte(text, step):
    """The text with its last Windows-1250 byte moved by one."""
    b = bytearray(text.encode("cp1250"))
    b[-1] += step
    return b.decode("cp1250")


def probes(row, base):
    """(value, what) pairs: lengths least - 1, least, greatest, greatest + 1, then the value
    bounds with the nearest values outside them that fit the length."""
    out = []
    numeric = row["typ"] in "NR" and row["vlo"] != ""
    for n in (row["lo"] - 1, row["lo"], row["hi"], row["hi"] + 1):
        if n < 0:
            continue
        if row["typ"] in "NR":
            v = pad(base, n) if n >= len(base) else "0" * n
            if row["typ"] == "R" and n > len(base) + 1 and "." not in v:
                v = base + "." + "0" * (n - len(base) - 1)
        else:
            v = ((base or "A") * 127)[:n]
        out.append((v, f"length {n}"))
    if numeric:
        for bound, step in ((row["vlo"], -1), (row["vhi"], +1)):
            b = float(bound)
            at = pad(number(b), row["lo"]) if row["typ"] == "N" else number(b)
            if not fits(at, row):
                continue
            out.append((at, f"bound {bound}"))
            if row["typ"] == "N":
                near = [pad(number(b + step), row["lo"])]
            else:  # the most decimals that the length allows
                near = [f"{b + step * 10 ** -d:.{d}f}" for d in range(6, 0, -1)] + [number(b + step)]
            near = [v for v in near if fits(v, row) and float(v) != b]
            if near:
                out.append((near[0], f"next to {bound}"))
    elif row["vlo"] != "" or row["vhi"] != "":
        lo, hi = row["vlo"], row["vhi"]
        below = step_byte(lo, -1) if lo.encode("cp1250")[-1] > 33 else None
        above = step_byte(hi, +1)
        n = row["lo"]
        if below is not None and len(below) < n:  # made as long as the least length allows
            below += "z" * (n - len(below))
        if len(lo) < n:
            lo += lo[-1] * (n - len(lo))
        for v, what in ((below, f"below {row['vlo']!r}"), (lo, "least"), (hi, "greatest"),
                        (above, f"above {hi!r}")):
            if v is not None and fits(v, row) and v.strip() == v and v:
                out.append((v, what))
    seen, unique = set(), []
    for v, what in out:
        if v not in seen:
            seen.add(v)
            unique.append((v, what))
    return unique


def element_cases():
    rows = table_rows()
    sub = [r for r in rows if r["sec"] == "P"]
    emp = [r for r in rows if r["sec"] == "T"]
    rec = [r for r in rows if r["sec"] == "N"]
    base_s, base_e, base_r = dict(SUBMITTER), dict(EMPLOYER), dict(RECORD)
    base_e.update(AA0116="1", AA0123="193164", AA0114="1", AA0115="1", AA0118="96582")
    base_r["AA0126"] = "R"

    # Employee elements: record k holds probe k of every element.
    plist = {r["elem"]: probes(r, base_r[r["elem"]]) for r in rec}
    depth = max(len(p) for p in plist.values())
    records = []
    lines = []
    for k in range(depth):
        values = {}
        for r in rec:
            if k < len(plist[r["elem"]]):
                values[r["elem"]], what = plist[r["elem"]][k]
        values["AA0126"] = values.get("AA0126", f"R{k}") if k < len(plist["AA0126"]) else f"R{k}"
        records.append(record(values["AA0126"], values))
    for r in rec:
        lines.append(f"  {r['elem']} ({r['code']}): " +
                     ", ".join(f"«{v}»" for v, _ in plist[r["elem"]]))
    case("edges-elements", "employee",
         "The employee elements at the edges of their lengths and value ranges: record k holds the\n"
         "k-th value of each list below (lengths least - 1, least, greatest, greatest + 1, then\n"
         "the value bounds and the nearest values outside them that fit the length). A value\n"
         "outside gets the element's code; the rules of the record add their own rows.\n" +
         "\n".join(lines), document([(dict(base_e), records)]))

    # Employer elements: employer k holds probe k of every element.
    plist = {r["elem"]: probes(r, base_e[r["elem"]] or "") for r in emp}
    depth = max(len(p) for p in plist.values())
    employers = []
    for k in range(depth):
        values = dict(base_e)
        for r in emp:
            if k < len(plist[r["elem"]]):
                values[r["elem"]] = plist[r["elem"]][k][0]
        employers.append((values, []))
    lines = [f"  {r['elem']} ({r['code']}): " + ", ".join(f"«{v}»" for v, _ in plist[r["elem"]])
             for r in emp]
    case("edges-elements", "employer",
         "The employer elements at the edges of their lengths and value ranges: employer k holds\n"
         "the k-th value of each list below; no employer has records.\n" + "\n".join(lines),
         document(employers))

    # The end marker names right after the last element of each section.
    doc = document([employer([record("R1", {})])])
    doc = doc.replace("</vytvoreno>\n", "</vytvoreno>\n<KoNeCP>x</KoNeCP>\n")
    doc = doc.replace("</AA0119>\n", "</AA0119>\n<KoNeCT>x</KoNeCT>\n")
    doc = doc.replace("</AA0690>\n", "</AA0690>\n<KoNeCN>x</KoNeCN>\n")
    case("edges-elements", "end-markers",
         "The end marker names KoNeCP, KoNeCT and KoNeCN, each right after the last element of\n"
         "its section, where the table's next row is the marker: unknown elements (ES301).", doc)

    # Submitter elements: one report for each value, the other elements as in the base.
    for r in sub:
        for i, (v, what) in enumerate(probes(r, base_s[r["elem"]])):
            case("edges-submitter", f"{r['elem']}-{i}", f"{r['elem']} «{v}»: {what}.",
                 document([], {r["elem"]: v}))


# ---- The rules ----------------------------------------------------------------------------------


def tariff(t, k, g):
    rows = [line.split() for line in (ROOT / "tables" / "sazby.txt").read_text().split("\n")
            if line and not line.startswith("#")]
    return int(rows[16 * (t - 1) + (k - 1)][g - 1])


def part(f, **more):
    """A record of a part-time employee (AA0136 = f) whose hours and working time fit f."""
    v = {"AA0136": number(f), "AA0131": f"{40 * f:.2f}".rstrip("0").rstrip("."),
         "AA0132": f"{904 * f:.2f}".rstrip("0").rstrip(".")}
    v.update(more)
    return v


def short(days, years, weekly, hours):
    """A record of AA0136 = 0.1 over the given days, with the years of employment given."""
    return part(0.1, AA0218=str(days), AA0225="0", AA0216=years, AA0131=weekly, AA0132=hours,
                AA0219="8")


def pay(total, **more):
    """A record paid AA0144 = total, its parts adding up to it."""
    v = {"AA0144": str(total), "AA0145": str(total - 17742)}
    v.update(more)
    return v


def employers_apart(groups):
    """Employers told apart by their facility codes 1, 2, ... (each gets WL054)."""
    return document([employer(records_of(rows), AA0113=str(i), **values)
                     for i, (values, rows) in enumerate(groups, 1)])


def rule_cases():
    c = "edges-records"
    case(c, "working-time",
         "Weekly working time. A full-time record (AA0136 = 1) below 30 hours is EL070: 29.99 (R1)\n"
         "is, 30 (R2) is not. WL060: outside 20 x 182 x AA0136 / AA0218 to 60 x 182 x AA0136 /\n"
         "AA0218; with AA0136 = 0.5 and AA0218 = 182 the band is 10 to 30: 9.99 (R3) and 30.01\n"
         "(R6) are outside, 10 (R4) and 30 (R5) inside. The upper bound shown is at most 40:\n"
         "39.57 over 138 days (R7), 40.44 shown as 40 over 135 days (R8).",
         one([{"AA0131": "29.99"}, {"AA0131": "30"},
              part(0.5, AA0131="9.99"), part(0.5, AA0131="10"), part(0.5, AA0131="30"),
              part(0.5, AA0131="30.01"),
              part(0.5, AA0218="138", AA0131="13", AA0132="400"),
              part(0.5, AA0218="135", AA0131="13", AA0132="400")]))
    case(c, "holiday",
         "EL069: AA0219 below trunc(10 x AA0135) / d + AA0210, d = 80 for an occupation code from\n"
         "1 on, 85 for one beginning with 0 (unknown, EL046). With AA0210 = 3: AA0135 = 40 gives 5\n"
         "days, so AA0219 = 8 (R1) passes and 7 (R2) not; AA0135 = 7.9 gives 0 (R3, AA0219 = 3)\n"
         "and 8 gives 1 (R4); with the code 01234, 8 gives 0 (R5) and 8.5 gives 1 (R6).\n"
         "EL010: AA0134 below AA0135: 40 against 40 passes (R7), 39.99 does not (R8).\n"
         "8.4 hours with the code 01234 are 0 days (R9); 8 with 11210 are 1 day (R10).",
         one([{"AA0219": "8"}, {"AA0219": "7"}, {"AA0135": "7.9", "AA0219": "3"},
              {"AA0135": "8", "AA0219": "3"},
              {"AA0135": "8", "AA0219": "3", "AA0013": "01234"},
              {"AA0135": "8.5", "AA0219": "3", "AA0013": "01234"},
              {"AA0134": "40"}, {"AA0134": "39.99"},
              {"AA0135": "8.4", "AA0219": "3", "AA0013": "01234"},
              {"AA0135": "8", "AA0219": "3", "AA0013": "11210"}]))
    case(c, "days",
         "Days in the register and worked. EL080: AA0218 below (AA0132 - AA0133) / 8 + AA0219\n"
         "(8.5 for an occupation code beginning with 0): AA0132 = 800, AA0219 = 82 is 182 (R1,\n"
         "none), 83 is 183 (R2); AA0132 = 850 with the code 01234: 82 (R3, none) and 83 (R4); the\n"
         "same hours at 8 a day (R5) are too many. Those hours also exceed WL009's 1248 a year.\n"
         "EL077: AA0218 above 182 (183, R7; 182 in R6 passes); EL071: a full-time record not\n"
         "182 days (R7 and R8 with 181). EL078: AA0219 above 130 (131, R10; 130 in R9 passes).\n"
         "EL073: AA0218 = 0 with AA0136 not 0 (R11); EL066: AA0136 above 1.1 x AA0218 / 182 with\n"
         "AA0218 = 91 (0.55): 0.5499 (R12) and 0.55 (R13) pass, 0.5501 (R14) does not. R15 has\n"
         "no day in the register but a day of absence (EL073, EL080): the hours, the weekly time\n"
         "and the bonuses are not judged. R16: a full-time record of 150 days is above 1.1 x\n"
         "150 / 182 (EL066, and EL071).",
         one([{"AA0132": "800", "AA0219": "82"}, {"AA0132": "800", "AA0219": "83"},
              {"AA0132": "850", "AA0219": "82", "AA0013": "01234"},
              {"AA0132": "850", "AA0219": "83", "AA0013": "01234"},
              {"AA0132": "850", "AA0219": "82"},
              {"AA0218": "182"}, {"AA0218": "183"}, {"AA0218": "181"},
              {"AA0132": "0", "AA0219": "130"}, {"AA0132": "0", "AA0219": "131"},
              part(0.5, AA0218="0", AA0132="0", AA0219="0", AA0210="0", AA0135="0"),
              *[part(f, AA0218="91", AA0132="420", AA0131="30") for f in (0.5499, 0.55, 0.5501)],
              part(0.5, AA0218="0", AA0132="0", AA0219="1", AA0210="0", AA0135="0",
                   AA0139="17061", AA0140="10237"),
              {"AA0218": "150"}]))
    case(c, "hours",
         "WL009: with AA0136 = 1, AA0218 = 182 and AA0219 = 12 the hours h = AA0132 - AA0133 + 96\n"
         "must lie within 0.6 x 1248 = 748.8 and 1248: AA0132 652.79 (R1) is below, 652.8 (R2) and\n"
         "1152 (R3) are the edges, 1152.01 (R4) is above; AA0133 counts against AA0132 (R5, R6).",
         one([{"AA0132": "652.79"}, {"AA0132": "652.8"}, {"AA0132": "1152"},
              {"AA0132": "1152.01"}, {"AA0132": "1200", "AA0133": "48"},
              {"AA0132": "1200", "AA0133": "47.99"}]))
    case(c, "years",
         "Years of employment. EL006: y = trunc(100 x (AA0218 / 366 - 0.0005)) / 100 above\n"
         "AA0216 + AA0225; AA0218 = 182 gives 0.49: 0.49 (R1) passes, 0.48 (R2) does not. EL076:\n"
         "AA0216 + AA0225 above 2008 - AA0231 - 13 (20 for 1975): 20 (R3) passes, 20.01 (R4) does\n"
         "not; born 1994 the limit is 1 (R5 passes with 1, R6 fails with 1.01). Part-time records\n"
         "(AA0136 = 0.1) of fewer days round y down at other places: 88 days give 0.23 (R7 0.23\n"
         "and R8 0.235 pass, R9 0.229 fails), 110 days 0.30 (R10 0.295 fails), 26 days 0.07 (R11\n"
         "0.065 fails), 22 days 0.05 (R12 0.055 passes); 182 days against 0.486 (R13) fails.",
         one([{"AA0225": "0", "AA0216": "0.49"}, {"AA0225": "0", "AA0216": "0.48"},
              {"AA0225": "10", "AA0216": "10"}, {"AA0225": "10", "AA0216": "10.01"},
              {"AA0231": "1994", "AA0225": "0", "AA0216": "1"},
              {"AA0231": "1994", "AA0225": "0", "AA0216": "1.01"},
              short(88, "0.23", "8", "90"), short(88, "0.235", "8", "90"),
              short(88, "0.229", "8", "90"), short(110, "0.295", "6", "90"),
              short(26, "0.065", "30", "40"), short(22, "0.055", "30", "40"),
              {"AA0225": "0", "AA0216": "0.486"}]))
    top10, top9 = tariff(1, 10, 12), tariff(1, 9, 12)
    case(c, "tariffs",
         f"Tariffs of table 1. EL051: class 10 grade 5 is {tariff(1, 10, 5)}: one more (R1) fails.\n"
         f"Without a grade the class spans {tariff(1, 10, 1)} to {top10}: both edges pass (R2, R3),\n"
         "one below (R4) and one above (R5) fail. Without a table the whole table spans 5460 to\n"
         "36500 (R6 to R9). EL012: the personal bonus up to the top of the class, "
         f"{top10} in class 10\n(R10 passes, R11 fails), half of {top9} in class 9 (R12, R13). "
         f"EL013: the management\nbonus up to 0.6 x {top10} (R14 passes, R15 fails). "
         "Class 1 halves its top as well (R16), and\nspans its own grades (R17). No tariff or "
         "bonus rule for a record not in the register\n(R18), nor bonus rules with AA0136 = 0 "
         "(R19, which has its own findings), nor for\nbonuses that fail their length (R20). "
         "Without a table and a grade the whole table holds (R21). The exact tariff holds from\n"
         "class 1 (R22) and from grade 1 (R23): one more fails.",
         one([{"AA0138": str(tariff(1, 10, 5) + 1)},
              {"AA0128": "0", "AA0138": str(tariff(1, 10, 1))},
              {"AA0128": "0", "AA0138": str(top10)},
              {"AA0128": "0", "AA0138": str(tariff(1, 10, 1) - 1)},
              {"AA0128": "0", "AA0138": str(top10 + 1)},
              {"AA0129": "0", "AA0138": "5460"}, {"AA0129": "0", "AA0138": "36500"},
              {"AA0129": "0", "AA0138": "5459"}, {"AA0129": "0", "AA0138": "36501"},
              {"AA0139": str(top10)}, {"AA0139": str(top10 + 1)},
              {"AA0127": "9", "AA0138": str(tariff(1, 9, 5)), "AA0139": str(top9 // 2)},
              {"AA0127": "9", "AA0138": str(tariff(1, 9, 5)), "AA0139": str(top9 // 2 + 1)},
              {"AA0140": str(top10 * 6 // 10)}, {"AA0140": str(top10 * 6 // 10 + 1)},
              {"AA0127": "1", "AA0138": str(tariff(1, 1, 5)),
               "AA0139": str(tariff(1, 1, 12) // 2 + 1)},
              {"AA0127": "1", "AA0128": "0", "AA0138": str(tariff(1, 1, 12) + 1),
               "AA0139": "0"},
              part(0.5, AA0137="2", AA0138=str(tariff(1, 10, 5) + 1), AA0139=str(top10 + 1),
                   AA0140=str(top10 * 6 // 10 + 1)),
              {"AA0136": "0", "AA0139": str(top10 + 1), "AA0140": str(top10 * 6 // 10 + 1)},
              {"AA0139": "1000000", "AA0140": "1000000"},
              {"AA0129": "0", "AA0128": "0"},
              {"AA0127": "1", "AA0138": str(tariff(1, 1, 5) + 1), "AA0139": "0"},
              {"AA0128": "1", "AA0138": str(tariff(1, 10, 1) + 1)}]))
    case(c, "tariffs-without-class",
         "A record without AA0127 (ES303, and ES305 for every element after it) has class 0:\n"
         "the whole tariff table holds (R1 passes, R2 without a grade too, R3 fails), and the\n"
         "bonus rules do not run.",
         one([{"AA0127": None}, {"AA0127": None, "AA0128": "0"},
              {"AA0127": None, "AA0138": "5459"}]))
    case(c, "sums",
         "Sums compared exactly. EL015: AA0144 one above (R1) and one below (R2) the sum of its\n"
         "parts. EL027: AA0150 one off the sum of AA0151 ... AA0240 (R3, R4). EL028: AA0161 one\n"
         "off AA0237 + AA0238 (R5, R6). WL016: AA0159 equal to AA0158 passes (R7), one above\n"
         "fails (R8).",
         one([{"AA0144": "96583"}, {"AA0144": "96581"}, {"AA0150": "3001", "AA0144": "96583"},
              {"AA0150": "2999", "AA0144": "96581"}, {"AA0161": "1", "AA0144": "96583"},
              {"AA0161": "-1", "AA0144": "96581"}, {"AA0159": "3942"}, {"AA0159": "3943"}]))
    case(c, "headcount",
         "Headcount. AA0136 = 0 needs the hours and days at 0 (EL037) and AA0137 = 2 (EL038):\n"
         "R1 has them all at 0, R2 has 0.01 hours of holiday. AA0136 = 1 needs AA0137 = 1\n"
         "(EL059, R3 has 2); AA0136 = 0.0001 is not 0 (R4, in the register with hours; its\n"
         "bonus is above the limit, EL012). One day in the register (AA0218 = 1): R5 has 0.01\n"
         "of headcount, above 1.1 / 182 (EL066), R6 also too few hours (WL009) and weekly\n"
         "hours (WL060). R7: one day of sickness with AA0136 = 0 (EL037).",
         one([{"AA0136": "0", "AA0137": "2", "AA0131": "0", "AA0132": "0", "AA0133": "0",
               "AA0134": "0", "AA0135": "0", "AA0210": "0", "AA0218": "0", "AA0219": "0"},
              {"AA0136": "0", "AA0137": "2", "AA0131": "0", "AA0132": "0", "AA0133": "0",
               "AA0134": "0.01", "AA0135": "0", "AA0210": "0", "AA0218": "0", "AA0219": "0"},
              {"AA0137": "2"},
              part(0.0001, AA0132="0.1", AA0219="0", AA0210="0", AA0135="0", AA0218="1",
                   AA0131="0.5", AA0139="17061"),
              part(0.01, AA0218="1", AA0131="40", AA0132="8", AA0219="0", AA0210="0",
                   AA0135="0"),
              part(0.01, AA0218="1", AA0131="30", AA0132="1", AA0219="0", AA0210="0",
                   AA0135="0"),
              {"AA0136": "0", "AA0137": "2", "AA0131": "0", "AA0132": "0", "AA0133": "0",
               "AA0134": "0", "AA0135": "0", "AA0210": "1", "AA0218": "0", "AA0219": "0"}]))

    c = "edges-closing"
    half = {"AA0136": "0.5", "AA0218": "100", "AA0132": "400"}
    grp = lambda ident, hours=None, **v: dict(half, AA0126=ident, **v,
                                              **({"AA0132": hours} if hours else {}))
    case(c, "groups",
         "Records of one employee (same AA0126) with AA0136 = 0.5 over 100 days. WL049: the\n"
         "working time of the records in the register above 79.991: A 40 + 39.99 passes, B 40 +\n"
         "30 + 9.991 passes, C 40 + 30 + 9.992 fails, D 40 + 40 fails, E 40 + 40 with one record\n"
         "not in the register passes. WL007 (records F to K not in the register): the hours of\n"
         "up to six records above 1872, after each record: F four records of 468 pass, G 468 x 3\n"
         "+ 468.01 fails once, H seven records of 320 fail once, after the sixth, the seventh not\n"
         "being looked at (the line column ends with \", ...... \"), K six records of 320 fail\n"
         "once (no mark), I 700 + 700 + 500 fails after the third record and J 1000 + 900 + 100\n"
         "after the second and the third.",
         document([employer([record(r.pop("AA0126"), r) for r in [
             grp("A", AA0131="40"), grp("A", AA0131="39.99"),
             grp("B", AA0131="40"), grp("B", AA0131="30"), grp("B", AA0131="9.991"),
             grp("C", AA0131="40"), grp("C", AA0131="30"), grp("C", AA0131="9.992"),
             grp("D", AA0131="40"), grp("D", AA0131="40"),
             grp("E", AA0131="40"), grp("E", AA0131="40", AA0137="2"),
             *[grp(*x, AA0137="2") for x in [
                 ("F", "468"), ("F", "468"), ("F", "468"), ("F", "468"),
                 ("G", "468"), ("G", "468"), ("G", "468"), ("G", "468.01"),
                 *[("H", "320")] * 7, *[("K", "320")] * 6,
                 ("I", "700"), ("I", "700"), ("I", "500"),
                 ("J", "1000"), ("J", "900"), ("J", "100")]]]])]))
    x = lambda: record("X", {})
    case(c, "flags",
         "Group checks skipped by the mark of the last record read: X has two full-time records\n"
         "(40 + 40 hours a week, 1072 + 1072 hours), so WL049 and WL007 (1). A last record with\n"
         "AA0131 out of range skips WL049 (2), with AA0137 out of range too (3), with AA0132 out\n"
         "of range WL007 (4).",
         document([employer([x(), x()], AA0113="1"),
                   employer([x(), x(), record("Y", {"AA0131": "40.5"})], AA0113="2"),
                   employer([x(), x(), record("Y", {"AA0137": "3"})], AA0113="3"),
                   employer([x(), x(), record("Y", {"AA0132": "-1"})], AA0113="4")]))
    case(c, "order",
         "The order of the records is rebuilt for every employer: the first employer's records\n"
         "sort the other way round (B before A), and P and Q of the second employer are two\n"
         "people (no WL049 for 40 + 40). An unknown country code shows three blanks in EL003:\n"
         "U has XX then CZ, V has CZ then XX (third employer).",
         document([employer([record("B", {}), record("A", {})], AA0113="1"),
                   employer([record("P", {}), record("Q", {})], AA0113="2"),
                   employer([record("U", {"AA0033": "XX"}), record("U", {}), record("V", {}),
                             record("V", {"AA0033": "XX"})], AA0113="3")]))
    low = lambda n, code, total: [{"AA0223": code} for _ in range(n)] + \
        [{"AA0223": "M"} for _ in range(total - n)]
    case(c, "education",
         "EL082: more than half of ten or more records with an education code below C. Ten\n"
         "records: 6 of A passes the edge (employer 1), 5 do not (2), 6 of C are not below C\n"
         "(3); nine records all B are too few (4, which also has no EL081); 6 of B pass it (5).",
         employers_apart([({}, low(6, "A", 10)), ({}, low(5, "B", 10)), ({}, low(6, "C", 10)),
                          ({}, low(9, "B", 9)), ({}, low(6, "B", 10))]))
    case(c, "counts",
         "Counts of records. EL081 (one education code for all) from ten records: nine (1) and\n"
         "ten (2). WL042 (all in the register) from eleven: ten (2) and eleven (3). EL082 with\n"
         "eleven records: 6 below C (3) and 5 (4).",
         employers_apart([({}, low(0, "A", 9)), ({}, low(0, "A", 10)), ({}, low(6, "A", 11)),
                          ({}, low(5, "A", 11))]))
    floor = 6 * 11 * 5460
    case(c, "salary-floor",
         f"EL058: eleven records (AA0114 = 11) must be paid at least 6 x 11 x 5460 = {floor}:\n"
         "exactly that passes (1), one less fails (2); ten records paid one less pass (3).\n"
         "A record out of the register on the last day (AA0137 = 2, EL059) keeps WL042 away:\n"
         "EL058 then names no employee by itself (4).",
         employers_apart([({}, [pay(floor // 11) for _ in range(11)]),
                          ({}, [pay(floor // 11) for _ in range(10)] + [pay(floor // 11 - 1)]),
                          ({}, [pay(floor // 11) for _ in range(9)] + [pay(floor // 11 - 1)]),
                          ({}, [pay(floor // 11, AA0137="2")] +
                           [pay(floor // 11) for _ in range(9)] + [pay(floor // 11 - 1)])]))
    case(c, "employer-start",
         "What the start of an employer resets. The education codes of (1) differ, so no EL081;\n"
         "those of (2) are all M: EL081. A total that fails its own check counts as 0 in the\n"
         "closing checks, not as the previous employer's: AA0114 = x (2) gives no EL058 against\n"
         "AA0118 = 1; AA0118 = x (3) gives EL058 with 0.",
         employers_apart([({}, [pay(floor // 11, AA0223="N")] +
                           [pay(floor // 11) for _ in range(10)]),
                          ({"AA0114": "x", "AA0118": "1"}, [pay(floor // 11) for _ in range(11)]),
                          ({"AA0118": "x"}, [pay(floor // 11) for _ in range(11)])]))
    case(c, "totals",
         "The employer's totals against its records. EL020 compares AA0114 and the sum of AA0136\n"
         "as texts of four decimals: 0.1 + 0.2 is 0.3 (1); 0.3001 is not (2). EL021: AA0115 one\n"
         "above (3) and one below (4) the records in the register. EL022: AA0118 one above (5)\n"
         "and one below (6) the sum of AA0144.",
         employers_apart([({"AA0114": "0.3"}, [part(0.1), part(0.2)]),
                          ({"AA0114": "0.3001"}, [part(0.1), part(0.2)]),
                          ({"AA0115": "3"}, [{}, {}]), ({"AA0115": "1"}, [{}, {}]),
                          ({"AA0118": "193165"}, [{}, {}]), ({"AA0118": "193163"}, [{}, {}])]))

    c = "edges-employer"
    def budget(x, a, b=None, extra=None):
        v = {"AA0116": str(x), "AA0114": number(a), "AA0115": str(b if b is not None else a),
             "AA0118": "0", "AA0119": "0", "AA0123": "0"}
        v.update(extra or {})
        return (v, [])
    case(c, "headcount-budget",
         "AA0116 against AA0114 (a) and AA0115 (b), employers without records. WL063 outside\n"
         "0.8 a to 1.2 a unless within 10 of a or of b; EL064 outside 0.11 a to 9 a unless within\n"
         "100. a = b = 100: 120 (1) and 80 (3) pass, 121 (2) and 79 (4) fail WL063; 900 passes\n"
         "EL064 (5, WL063 instead), 901 fails (6); 11 (7) and 10 (8) are WL063, being within\n"
         "100 of a; a = b = 1000: 110 (15) is WL063, 109 (16) EL064.\n"
         "a = b = 10: 20 (9) is within 10, 21 (10) is not; 110 (11) is within 100, 111 (12) not.\n"
         "a = 100, b = 125: 135 (13) is within 10 of b, 136 (14) is not. a = 10.95, b = 0:\n"
         "21 (17) is 10.05 off, WL063; 111 (18) is 100.05 off, EL064. a = 10, b = 0: 110 (19) is\n"
         "exactly 100 off a: WL063, not EL064.",
         employers_apart([budget(120, 100), budget(121, 100), budget(80, 100), budget(79, 100),
                          budget(900, 100), budget(901, 100), budget(11, 100), budget(10, 100),
                          budget(20, 10), budget(21, 10), budget(110, 10), budget(111, 10),
                          budget(135, 100, 125), budget(136, 100, 125), budget(110, 1000),
                          budget(109, 1000), budget(21, 10.95, 0), budget(111, 10.95, 0),
                          budget(110, 10, 0)]))
    ids = [str(i) for i in range(1, 103)] + ["101", "102", "100"]
    case(c, "identities",
         "The identities of a run (AA0017/AA0113, facility codes 1 to 102): the first 100 are\n"
         "kept, the 101st gets WL901 and is not kept, nor is the 102nd; a repeat of the 101st or\n"
         "the 102nd is not found, a repeat of the 100th is (EL074). No employer has records.",
         document([({**dict(EMPLOYER), "AA0113": i, "AA0116": "0", "AA0123": "0",
                     "AA0114": "0.0001", "AA0115": "0", "AA0118": "0"}, []) for i in ids]))
    case(c, "first-element-counts",
         "The counts of the employer's elements at its first record: AA0017 missing (1) and\n"
         "given twice (2); both reported there (ES303, ES304) and again at the employer's end.",
         document([employer([record("R1", {})], AA0017=None, AA0113="1"),
                   employer([record("R2", {})], AA0017="00212172</AA0017>\n<AA0017>00212172",
                            AA0113="2")]))
    nobody = lambda: record("A", {"AA0126": None})
    case(c, "rows-reset",
         "The record rows are cleared at every employer. Employer 1 has the records A and B;\n"
         "employer 2 a record without AA0126 and then A, employer 3 A and then a record without\n"
         "AA0126: a record without AA0126 is nobody's, so neither makes a group.",
         document([employer([record("A", {}), record("B", {})], AA0113="1"),
                   employer([nobody(), record("A", {})], AA0113="2"),
                   employer([record("A", {}), nobody()], AA0113="3")]))
    case(c, "missing-budget",
         "The budget values start at 0 for every employer: without AA0116 (1) the headcount\n"
         "budget is 0 against AA0114 = AA0115 = 100 (WL063); without AA0123 (2) the salary\n"
         "budget is 0 against AA0118 - AA0119 = 100 (EL062).",
         employers_apart([({"AA0116": None, "AA0114": "100", "AA0115": "100", "AA0118": "0",
                            "AA0123": "0"}, []),
                          ({"AA0123": None, "AA0118": "100", "AA0114": "0.0001", "AA0115": "0",
                            "AA0116": "0"}, [])]))
    def money(x, d):
        return ({"AA0123": str(x), "AA0118": str(d), "AA0119": "0", "AA0116": "0",
                 "AA0114": "0.0001", "AA0115": "0"}, [])
    case(c, "salary-budget",
         "AA0123 against d = AA0118 - AA0119 = 100, employers without records: WL061 outside 1.6 d\n"
         "to 2.4 d: 160 (1) and 240 (3) pass, 159 (2) and 241 (4) fail; EL062 outside 0.22 d to\n"
         "18 d: 22 (5) is WL061 only, 21 (6) EL062; 1800 (7) WL061, 1801 (8) EL062. The least\n"
         "value shown is rounded up from 0.49: 11 for d = 50 (9), 10 for 9.02 with d = 41 (10),\n"
         "21 for 20.02 with d = 91 (11).",
         employers_apart([money(160, 100), money(159, 100), money(240, 100), money(241, 100),
                          money(22, 100), money(21, 100), money(1800, 100), money(1801, 100),
                          money(10, 50), money(9, 41), money(20, 91)]))
    dates = ["20080630", "20080631", "20080731", "20080732", "20080700", "20080701",
             "20080930", "20080931", "20080229", "20080228", "20080431", "20081131",
             "20081231", "20081232", "20080001", "20081301", "20080131", "20080331",
             "20080531", "20080831", "20081031"]
    case(c, "dates",
         "AA0110 as a date (EL050), one employer each (ES110 also holds it to 20080601 -\n"
         "20080930): " + ", ".join(dates) + ".",
         employers_apart([({"AA0110": d}, []) for d in dates]))

    c = "edges-submitter"
    stamps = ["2008-06-30T23:59:59", "2008-06-31T00:00:00", "2008-07-31T00:00:00",
              "2008-07-32T00:00:00", "2008-07-00T00:00:00", "2008-07-01T24:00:00",
              "2008-07-01T00:60:00", "2008-07-01T00:00:60", "2008-09-31T10:00:00",
              "2009-07-01T10:00:00", "2007-07-01T10:00:00", "2008-13-01T10:00:00",
              "2008-00-01T10:00:00", "2008-02-29T10:00:00", "2008-02-28T10:00:00",
              "2008-07-01 10:00:00", "2008-07-01T10-00:00", "2008-07-01T10:00-00",
              "2008/07-01T10:00:00", "2008-07/01T10:00:00", "2008-0a-01T10:00:00",
              "2008-01-15T10:00:00", "2008-01-29T10:00:00", "2008-12-15T10:00:00",
              "2010-07-01T10:00:00", "2008-03-31T10:00:00", "2008-04-31T10:00:00",
              "2008-05-31T10:00:00", "2008-08-31T10:00:00", "2008-10-31T10:00:00",
              "2008-11-31T10:00:00", "2008-12-31T10:00:00", "2008-07-0aT10:00:00",
              "2008-07-01T1a:00:00", "2008-07-01T10:0a:00", "2008-07-01T10:00:0a"]
    for i, v in enumerate(stamps):
        case(c, f"vytvoreno-time-{i}", f"vytvoreno «{v}» as a date and time (ESVYT).",
             document([], {"vytvoreno": v}))
    mails = ["a@b.cz", ".ab@c.cz", "ab@c.cz.", "@abc.cz", "abc.cz@", "a.b@cz", "ab@.cz",
             "a b@c.cz", "abc@cz", "abc.cz", "a.b@c.cz.", "abc@cz.", "abc@d.e"]
    for i, v in enumerate(mails):
        case(c, f"mail-form-{i}", f"mail «{v}»: the form of an e-mail address (ESEMA).",
             document([], {"mail": v}))

    c = "edges-codes"
    case(c, "countries",
         "WL033 for every country but the first six rows (CZ, CZE, 203, SK, SVK, 703): 703\n"
         "(R1) has none, 004 (R2) and AT (R3) have it; SK (R4) none. Three characters: WL053.",
         one([{"AA0033": "703"}, {"AA0033": "004"}, {"AA0033": "AT"}, {"AA0033": "SK"}]))


def main():
    element_cases()
    rule_cases()
    wanted = sys.argv[1:]
    for folder, cases in CASES.items():
        if wanted and folder not in wanted:
            continue
        for name, description, doc, args in cases:
            write(folder, name, description, doc, args)


if __name__ == "__main__":
    main()
