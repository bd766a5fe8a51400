"""Prints the HTTP benchmark's figures: quorlin with Timeout 0 and 60 beside
curl, medians of the alternated repeats and of each repeat's own ratio."""
import statistics
import sys
from collections import defaultdict

mib, count, pinned, path = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3], sys.argv[4]
values = defaultdict(dict)  # (tool, figure) -> repeat -> value
for line in open(path):
    repeat, tool, figure, value = line.split()
    values[tool, figure][repeat] = float(value)


def median(tool, figure):
    return statistics.median(values[tool, figure].values())


def paired(tool, other, figure):
    a, b = values[tool, figure], values[other, figure]
    return statistics.median(b[r] / a[r] for r in a if r in b)


body = mib * 1024 * 1024
print('HTTP benchmark, nginx on loopback, medians of %d repeats (wineserver pinned: %s)'
      % (len(values['curl', 'large-seconds']), pinned))
curl_large = median('curl', 'large-seconds')
print('  curl: GetString %d MiB %.2f s, %.0f MiB/s; %d small pages %.2f ms per request'
      % (mib, curl_large, mib / curl_large, count, median('curl', 'small-seconds') * 1e3 / count))
for timeout in ('timeout-0', 'timeout-60'):
    large = median(timeout, 'large-seconds')
    peak = median(timeout, 'peak-working-set')
    before = median(timeout, 'working-set-before')
    print('  %s: GetString %d MiB %.2f s, %.0f MiB/s, quorlin/curl %.2f (paired %.2f); peak working set %.2fx the'
          ' body (%.2fx added); small pages %.2f ms per request'
          % (timeout.replace('-', ' ').capitalize(), mib, large, mib / large, curl_large / large,
             paired(timeout, 'curl', 'large-seconds'), peak / body, (peak - before) / body,
             median(timeout, 'small-seconds') * 1e3 / count))
print('  Timeout 60 against Timeout 0, time of the large page: %.3f (paired %.3f)'
      % (median('timeout-60', 'large-seconds') / median('timeout-0', 'large-seconds'),
         1 / paired('timeout-60', 'timeout-0', 'large-seconds')))
