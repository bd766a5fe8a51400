"""Prints the transfer benchmark's figures: quorlin beside curl."""
import sys

mib, count, pinned = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
q = dict(zip(['put-large', 'get-large', 'put-small', 'get-small', 'get-small-fresh'], map(float, sys.argv[4:9])))
c = dict(zip(['put-large', 'get-large', 'put-small', 'get-small'], map(float, sys.argv[9:13])))
print('transfer benchmark, vsftpd on loopback, binary, passive (wineserver pinned: %s)' % pinned)
for op, member in (('put', 'PutFile'), ('get', 'GetFile')):
    qs, cs = mib / q[op + '-large'], mib / c[op + '-large']
    print('  %s %d MiB: quorlin %7.1f MiB/s   curl %7.1f MiB/s   quorlin/curl %.2f' % (member, mib, qs, cs, qs / cs))
for op, member in (('put', 'PutFile'), ('get', 'GetFile')):
    qf, cf = 1000 * q[op + '-small'] / count, 1000 * c[op + '-small'] / count
    print('  %s %d x 4 KiB: quorlin %6.2f ms/file   curl %6.2f ms/file   quorlin/curl %.2f' % (member, count, qf, cf, qf / cf))
fresh, replacing = 1000 * q['get-small-fresh'] / count, 1000 * q['get-small'] / count
print('  GetFile 4 KiB onto a new file without overwrite: %.2f ms/file (replacing through a temporary file: %.2f)'
      % (fresh, replacing))
