"""Prints the HTTP benchmark's figures: quorlin beside curl."""
import sys

mib, count, pinned = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
large, characters, before, peak, small = float(sys.argv[4]), int(sys.argv[5]), int(sys.argv[6]), int(sys.argv[7]), \
    float(sys.argv[8])
curl_large, curl_small = float(sys.argv[9]), float(sys.argv[10])
body = mib * 1024 * 1024
print('HTTP benchmark, nginx on loopback (wineserver pinned: %s)' % pinned)
print('  GetString %d MiB: %.2f s, %.0f MiB/s; curl %.2f s, %.0f MiB/s; quorlin/curl %.2f (throughput)'
      % (mib, large, mib / large, curl_large, mib / curl_large, curl_large / large))
print('  characters returned: %d (body %d bytes)' % (characters, body))
print('  peak working set %.0f MiB, %.2fx the body (%.2fx counting only what the call added to %.0f MiB)'
      % (peak / 2**20, peak / body, (peak - before) / body, before / 2**20))
print('  %d small pages in a row: %.2f ms per request; curl in one process %.2f ms per request'
      % (count, small * 1e3 / count, curl_small * 1e3 / count))
