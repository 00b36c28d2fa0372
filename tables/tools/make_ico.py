#!/usr/bin/env python3
"""Build tables/predkladatele.txt and tables/poskytovatele.txt.

predkladatele.txt: the submitters, one eight-digit identification number a
line, ascending.
poskytovatele.txt: the providers, "PPPPPPPP SSSSSSSS" a line (provider, blank,
its submitter), ascending by provider.

The real lists belong to the survey campaign and are not public, so this is a
deterministic stand-in to be replaced by them. The numbers are spread the way
public-sector identification numbers are: state bodies low in 00000000-00100000,
municipalities in 00200000-00600000, further state organisations up to
01000000, schools, hospitals and other institutions in the 40000000-75000000
ranges, a few companies in 2xxxxxxx and a few recent numbers in 8xxxxxxx.
Within a range numbers come in runs, as they were handed out in series.

Every number carries a valid check digit (weights 8..2, modulus 11). A
submitter that employs people itself is its own provider; any submitter
number found among the providers has itself as submitter.

Deterministic: random.Random with a fixed seed, using only random(), whose
sequence Python keeps stable across versions.
"""

import math
import random
import sys
from pathlib import Path

TABLES = Path(__file__).resolve().parent.parent
OUT_SUBMITTERS = TABLES / "predkladatele.txt"
OUT_PROVIDERS = TABLES / "poskytovatele.txt"
SEED = 20081231
N_SUBMITTERS = 7132
N_PROVIDERS = 19665
CAP = 400             # most further providers of one submitter

# (first number, end number, submitters, other providers, longest run,
#  largest gap within a run in seven-digit prefixes, weight of a submitter
#  of this range being its own provider, mean count of further providers)
RANGES = [
    # ministries, central offices, state funds and agencies
    (100, 100000, 420, 500, 12, 6, 0.55, 9.0),
    # municipalities and their unions
    (200000, 600000, 3150, 1800, 40, 10, 0.85, 1.2),
    # further state organisations, courts, offices
    (600000, 1000000, 180, 300, 10, 40, 0.65, 3.0),
    (10000000, 20000000, 15, 40, 3, 2000, 0.60, 1.0),
    # companies owned by the state or by municipalities
    (25000000, 30000000, 170, 600, 4, 500, 0.75, 1.5),
    # schools, hospitals, institutes founded in the early nineties
    (40000000, 50000000, 520, 2100, 20, 300, 0.70, 2.0),
    (60000000, 70000000, 1160, 3500, 25, 150, 0.65, 2.5),
    # schools and institutions founded by regions and municipalities
    (70000000, 75200000, 1467, 6200, 40, 60, 0.65, 2.0),
    # numbers given out recently
    (86000000, 89000000, 50, 203, 5, 300, 0.50, 1.0),
]


def check_digit(prefix7):
    """Check digit of a seven-digit prefix (0..9999999)."""
    digits = [int(ch) for ch in f"{prefix7:07d}"]
    s = sum(w * d for w, d in zip(range(8, 1, -1), digits))
    c = 11 - s % 11
    return c - 10 if c > 9 else c


def number(prefix7):
    return prefix7 * 10 + check_digit(prefix7)


def is_valid(text):
    return (len(text) == 8 and text.isdigit()
            and check_digit(int(text[:7])) == int(text[7]))


def below(rng, n):
    return int(rng.random() * n)


def shuffle(rng, items):
    for i in range(len(items) - 1, 0, -1):
        j = below(rng, i + 1)
        items[i], items[j] = items[j], items[i]


def range_prefixes(rng, lo, hi, count, run, gap):
    """count distinct seven-digit prefixes in [lo/10, hi/10), in runs."""
    lo7, hi7 = lo // 10, hi // 10
    found = set()
    while len(found) < count:
        p = lo7 + below(rng, hi7 - lo7)
        for _ in range(1 + below(rng, run)):
            if p >= hi7 or len(found) >= count:
                break
            found.add(p)
            p += 1 + below(rng, gap)
    return sorted(found)


def further_count(rng, mean):
    """Heavy-tailed count of providers other than the submitter itself."""
    u = 1.0 - rng.random()
    return mean * ((1.0 / u) ** (1.0 / 1.6) - 1.0)


def build():
    rng = random.Random(SEED)
    assert sum(r[2] for r in RANGES) == N_SUBMITTERS
    # [number, draw key (later: own provider?), further providers, floor]
    submitters = []
    others = []
    for lo, hi, n_sub, n_oth, run, gap, p_self, mean in RANGES:
        prefixes = range_prefixes(rng, lo, hi, n_sub + n_oth, run, gap)
        shuffle(rng, prefixes)
        for p in sorted(prefixes[:n_sub]):
            # weighted draw without replacement: the largest keys win
            key = (1.0 - rng.random()) ** (1.0 / p_self)
            submitters.append([number(p), key, further_count(rng, mean)])
        others += [number(p) for p in prefixes[n_sub:]]

    # the submitters that are their own provider, favouring the ranges
    # where employing people oneself is common
    want = len(others)
    n_self = N_PROVIDERS - want
    cut = sorted((s[1] for s in submitters), reverse=True)[n_self - 1]
    for s in submitters:
        s[1] = s[1] >= cut
    assert sum(1 for s in submitters if s[1]) == n_self
    # round the sizes to whole providers summing to exactly `want`; a
    # submitter that is not its own provider mostly sends for at least one
    # other, the rest are registered without any provider
    total = sum(s[2] for s in submitters)
    for s in submitters:
        s[2] = min(CAP, int(s[2] * want / total))
        s.append(1 if not s[1] and rng.random() < 0.85 else 0)
        s[2] = max(s[2], s[3])
    have = sum(s[2] for s in submitters)
    while have != want:
        s = submitters[below(rng, len(submitters))]
        if have < want and (s[2] > 0 or rng.random() < 0.05) and s[2] < CAP:
            s[2] += 1
            have += 1
        elif have > want and s[2] > s[3]:
            s[2] -= 1
            have -= 1

    shuffle(rng, others)
    lines = []
    k = 0
    for num, own, size, _floor in submitters:
        if own:
            lines.append((num, num))
        for _ in range(size):
            lines.append((others[k], num))
            k += 1
    assert k == len(others)
    lines.sort()
    sub_lines = [f"{s[0]:08d}" for s in submitters]
    prov_lines = [f"{p:08d} {s:08d}" for p, s in lines]
    check(sub_lines, prov_lines)
    return sub_lines, prov_lines


def check(sub_lines, prov_lines):
    assert len(sub_lines) == N_SUBMITTERS and len(prov_lines) == N_PROVIDERS
    assert all(is_valid(x) for x in sub_lines)
    assert all(a < b for a, b in zip(sub_lines, sub_lines[1:]))
    subs = set(sub_lines)
    provs = [x.split(" ") for x in prov_lines]
    assert all(len(x) == 2 for x in provs)
    assert all(a[0] < b[0] for a, b in zip(provs, provs[1:]))
    assert all(is_valid(p) for p, _ in provs)
    assert all(s in subs for _, s in provs)
    assert all(p == s for p, s in provs if p in subs)


def main():
    sub_lines, prov_lines = build()
    for path, lines in ((OUT_SUBMITTERS, sub_lines), (OUT_PROVIDERS, prov_lines)):
        with open(path, "w", encoding="ascii", newline="\n") as f:
            f.write("".join(x + "\n" for x in lines))
        print(f"wrote {path} ({len(lines)} lines)")
    per = {}
    for line in prov_lines:
        p, s = line.split(" ")
        per.setdefault(s, []).append(p)
    own = sum(1 for s, ps in per.items() if s in ps)
    print(f"submitters with providers: {len(per)}, without: "
          f"{len(sub_lines) - len(per)}, own provider: {own}, "
          f"most providers: {max(len(v) for v in per.values())}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
