"""Report of a bench that runs the component two ways, taking turns: for each
transport and figure the median seconds of each way and the median of each
repeat's own ratio (second way / first way).
Lines of the results: REPEAT TRANSPORT WAY FIGURE SECONDS.
usage: pair_report.py RESULTS PINNED TITLE FIRST-WAY SECOND-WAY"""
import statistics
import sys

results, pinned, title, first, second = sys.argv[1:6]
rows = [line.split() for line in open(results) if line.strip()]
print(title + (" (pinned to one CPU)" if pinned == "yes" else ""))
print("%-6s %-16s %10s %10s %8s" % ("", "figure", first + " s", second + " s", "ratio"))
for transport in dict.fromkeys(r[1] for r in rows):
    for figure in dict.fromkeys(r[3] for r in rows if r[1] == transport):
        times = {way: {r[0]: float(r[4]) for r in rows if r[1] == transport and r[3] == figure and r[2] == way}
                 for way in (first, second)}
        ratios = [times[second][k] / times[first][k] for k in times[second] if times[first].get(k)]
        print("%-6s %-16s %10.3f %10.3f %8.3f" % (transport, figure, statistics.median(times[first].values()),
                                                  statistics.median(times[second].values()), statistics.median(ratios)))
