#!/usr/bin/env python3
"""Build tables/kzam.txt, the list of accepted five-digit occupation codes.

This is a stand-in shaped like the national five-digit extension of ISCO-88
until the real list of the classification is put in its place:

  * the first four digits are a unit group: the ISCO-88 unit groups of major
    groups 1 to 9, where an ISCO-88 minor group that is a single unit group
    (code ending in 0, e.g. 2310) is split into national sub-groups 2311,
    2312, ..., and a national "not elsewhere classified" group ending in 9
    is added to some minor groups;
  * the fifth digit is a national detail; 0 stands for the unit group as a
    whole, so every unit group has its code ending in 0.

Legislators (111), traditional chiefs (113), subsistence workers (621) and
the armed forces (major group 0) have no codes in the list.

Deterministic: random.Random with a fixed seed, using only random(), whose
sequence Python keeps stable across versions.
"""

import random
import sys
from pathlib import Path

OUT = Path(__file__).resolve().parent.parent / "kzam.txt"
SEED = 20080101
TOTAL = 3702
GROUPS = 497          # four-digit unit groups, one code ending in 0 each
FIRST = [11210, 11211, 11212, 11213, 11214, 11215, 11219, 11220]
LAST = [93394, 93395, 93397, 93398, 93399]

# ISCO-88 unit groups by minor group: "minor: last digits of its unit groups".
ISCO88 = """
112:0 114:123 121:0 122:123456789 123:12345679 131:123456789
211:1234 212:12 213:129 214:123456789
221:123 222:12349 223:0
231:0 232:0 233:12 234:0 235:129
241:129 242:129 243:12 244:123456 245:12345 246:0 247:0
311:123456789 312:123 313:1239 314:12345 315:12
321:123 322:123456789 323:12 324:12
331:0 332:0 333:0 334:0
341:12345679 342:1239 343:12349 344:12349 345:0 346:0 347:12345 348:0
411:12345 412:12 413:123 414:1234 419:0
421:12345 422:123
511:123 512:123 513:1239 514:1239 515:12 516:1239
521:0 522:0 523:0
611:1234 612:12349 613:0 614:12 615:1234
711:123 712:12349 713:12345679 714:123
721:123456 722:1234 723:123 724:12345
731:123 732:1234 733:12 734:123456
741:123456 742:1234 743:1234567 744:12
811:123 812:1234 813:19 814:123 815:123459 816:123 817:12
821:12 822:12349 823:12 824:0 825:123 826:1234569 827:123456789
828:123456 829:0
831:12 832:1234 833:1234 834:0
911:123 912:0 913:123 914:12 915:123 916:12
921:123 931:123 932:12 933:123
"""

# How many national sub-groups replace an ISCO-88 unit group ending in 0.
SPLIT = {
    "112": 6, "121": 4, "223": 5, "231": 7, "232": 8, "234": 5, "246": 3,
    "247": 8, "331": 4, "332": 3, "333": 4, "334": 5, "345": 3, "346": 4,
    "348": 2, "419": 4, "521": 2, "522": 6, "523": 3, "613": 3, "824": 5,
    "829": 6, "834": 3, "912": 3,
}

# Minor groups that get a national group ending in 9 (other, n.e.c.).
ADD_NEC = ["212", "221", "243", "244", "312", "314", "321", "323", "347",
           "411", "413", "414", "422", "512", "611", "614", "711", "714",
           "721", "723", "733", "742", "744", "812", "832", "915", "933"]


def unit_groups():
    groups = []
    for item in ISCO88.split():
        minor, digits = item.split(":")
        if digits == "0":
            digits = "".join(str(i) for i in range(1, SPLIT[minor] + 1))
        elif minor in ADD_NEC:
            assert "9" not in digits, minor
            digits += "9"
        groups += [int(minor + d) for d in digits]
    assert all(len(item.split(":")[1]) for item in ISCO88.split())
    groups.sort()
    assert len(groups) == len(set(groups))
    return groups


def below(rng, n):
    return int(rng.random() * n)


def details(rng, k):
    """Choose k fifth digits out of 1-9 for one unit group."""
    if k == 9:
        return list(range(1, 10))
    x = rng.random()
    if x < 0.55:                    # 1..k-1 and 9 (other)
        return list(range(1, k)) + [9]
    if x < 0.85:                    # 1..k
        return list(range(1, k + 1))
    pool = list(range(1, 10))       # scattered, as left by later revisions
    out = []
    for _ in range(k):
        out.append(pool.pop(below(rng, len(pool))))
    return sorted(out)


def build():
    rng = random.Random(SEED)
    groups = unit_groups()
    assert len(groups) == GROUPS, len(groups)
    assert groups[0] == 1121 and groups[-1] == 9339
    fixed = {1121: [1, 2, 3, 4, 5, 9], 9339: [1, 2, 4, 5, 7, 8, 9]}
    want = TOTAL - GROUPS - sum(len(v) for v in fixed.values())
    free = [g for g in groups if g not in fixed]

    # sizes 1-9, mostly around 6 to 8
    weights = [2, 3, 5, 8, 12, 16, 18, 14, 8]
    cum = [sum(weights[:i + 1]) for i in range(9)]
    size = {}
    for g in free:
        x = rng.random() * cum[-1]
        size[g] = next(i + 1 for i, c in enumerate(cum) if x < c)
    # bring the total to the exact count, one digit at a time
    while sum(size.values()) != want:
        g = free[below(rng, len(free))]
        if sum(size.values()) < want and size[g] < 9:
            size[g] += 1
        elif sum(size.values()) > want and size[g] > 1:
            size[g] -= 1

    codes = []
    for g in groups:
        digits = fixed[g] if g in fixed else details(rng, size[g])
        codes.append(g * 10)
        codes += [g * 10 + d for d in digits]
    codes.sort()
    check(codes)
    return codes


def check(codes):
    assert len(codes) == TOTAL, len(codes)
    assert all(10000 <= c <= 99999 for c in codes)
    assert all(a < b for a, b in zip(codes, codes[1:]))
    assert sum(1 for c in codes if c % 10 == 0) == GROUPS
    assert codes[:8] == FIRST and codes[-5:] == LAST
    # every detail code has its unit group
    heads = {c for c in codes if c % 10 == 0}
    assert all(c - c % 10 in heads for c in codes)


def main():
    codes = build()
    with open(OUT, "w", encoding="ascii", newline="\n") as f:
        f.write("".join(f"{c}\n" for c in codes))
    print(f"wrote {OUT} ({len(codes)} codes, {GROUPS} unit groups)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
