"""Checks kinex-report's outputs against a KINEX results file read here
independently: the pair table (one line per pair, in file order, with the
two orders of each pair agreeing), the individual table, and the SVG plot
(well-formed XML, one point per pair, or binned cells past --max-points).

Usage: reportcheck.py RESULTS PREFIX BINNED-PREFIX
"""
import sys
import xml.etree.ElementTree as ET

SVG = "{http://www.w3.org/2000/svg}"


def lines(path):
    with open(path, "rb") as f:
        data = f.read().decode()
    return [l[:-1] if l.endswith("\r") else l for l in data.split("\n")]


def main():
    results, prefix, binned = sys.argv[1:4]
    l = lines(results)
    n = int(next(x for x in l if x.startswith("  Number of individuals = ")).split("= ")[1])
    h = l.index("IBD coefficient estimates") + 3
    ibd = [x.split(" ") for x in l[h:h + n * n]]
    assert all(len(x) == 22 for x in ibd), "IBD lines of 22 fields"

    want = []
    for j in range(n):
        for k in range(j + 1, n):
            x = ibd[j * n + k]
            y = ibd[k * n + j]
            # the other order: Delta3/Delta5, Delta4/Delta6 and their counts exchanged
            back = list(y)
            for a in (5, 6, 14, 15):
                back[a], back[a + 2] = back[a + 2], back[a]
            assert back[3:] == x[3:], f"pair {j + 1},{k + 1}: the two orders disagree"
            assert x[1] == y[2] and x[2] == y[1]
            want.append("\t".join(x[1:3] + x[12:22] + x[3:12]))
    got = lines(prefix + ".pairs.tsv")
    assert got[-1] == "", "pair table ends with a line feed"
    assert got[0].split("\t")[:3] == ["id1", "id2", "d1"]
    assert got[1:-1] == want, "pair table differs from the results file"
    print(f"pair table: {len(want)} pairs agree with the results file")

    i = l.index("Indiv #Miss #Gens #HomG #HetG F_Mean F_SD") + 1
    want = [x.replace(" ", "\t") for x in l[i:i + n]]
    got = lines(prefix + ".indiv.tsv")
    assert got[1:-1] == want, "individual table differs from the results file"
    print(f"individual table: {n} individuals agree")

    npairs = n * (n - 1) // 2
    root = ET.parse(prefix + ".svg").getroot()
    assert root.tag == SVG + "svg"
    pts = [c for c in root.iter(SVG + "circle") if c.get("class") == "pt"]
    assert len(pts) == npairs, f"{len(pts)} points for {npairs} pairs"
    texts = " ".join(t.text or "" for t in root.iter(SVG + "text"))
    for name in ("parent-offspring", "full sibs", "half sibs", "first cousins", "unrelated"):
        assert name in texts, name
    print(f"plot: well-formed SVG with {len(pts)} points")

    root = ET.parse(binned + ".svg").getroot()
    pts = [c for c in root.iter(SVG + "circle") if c.get("class") == "pt"]
    cells = [c for c in root.iter(SVG + "rect") if c.get("class") == "cell"]
    texts = " ".join(t.text or "" for t in root.iter(SVG + "text"))
    assert not pts and 0 < len(cells) <= npairs
    assert f"{npairs} pairs, too many to draw one by one: binned" in texts
    print(f"binned plot: well-formed SVG with {len(cells)} cells for {npairs} pairs")


main()
