"""Prints the transfer benchmark's figures: quorlin beside curl, medians of
the alternated repeats and the median of each repeat's own ratio."""
import statistics
import sys
from collections import defaultdict

mib, count, pinned, path = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3], sys.argv[4]
security = sys.argv[5] if len(sys.argv) > 5 else '0'
reference = sys.argv[6] if len(sys.argv) > 6 else 'curl'  # the tool beside quorlin
seconds = defaultdict(dict)  # (tool, operation) -> repeat -> seconds
for line in open(path):
    repeat, tool, operation, value = line.split()
    seconds[tool, operation][repeat] = float(value)


def figures(operation):
    q, c = seconds['quorlin', operation], seconds[reference, operation]
    paired = [c[r] / q[r] for r in q if r in c]  # > 1: quorlin is faster
    return statistics.median(q.values()), statistics.median(c.values()), statistics.median(paired), len(paired)


over = {'0': 'vsftpd, plain FTP', '1': 'vsftpd, explicit TLS (curl --ssl-reqd)', '2': 'vsftpd, implicit TLS (curl --ssl-reqd)',
        'sftp': 'OpenSSH, SFTP (its own sftp client on Linux)'}[security]
print('transfer benchmark, %s on loopback, binary (wineserver pinned: %s)' % (over, pinned))
for op, member in (('put', 'PutFile'), ('get', 'GetFile')):
    q, c, paired, n = figures(op + '-large')
    print('  %s %d MiB: quorlin %7.1f MiB/s   %s %7.1f MiB/s   quorlin/%s %.2f   paired %.2f (%d repeats)'
          % (member, mib, mib / q, reference, mib / c, reference, c / q, paired, n))
for op, member in (('put', 'PutFile'), ('get', 'GetFile')):
    q, c, paired, n = figures(op + '-small')
    print('  %s %d x 4 KiB: quorlin %6.2f ms/file   %s %6.2f ms/file   quorlin/%s %.2f   paired %.2f'
          % (member, count, 1000 * q / count, reference, 1000 * c / count, reference, q / c, 1 / paired))
fresh = statistics.median(seconds['quorlin', 'get-small-fresh'].values())
replacing = statistics.median(seconds['quorlin', 'get-small'].values())
print('  GetFile 4 KiB onto a new file without overwrite: %.2f ms/file (replacing: %.2f)'
      % (1000 * fresh / count, 1000 * replacing / count))
