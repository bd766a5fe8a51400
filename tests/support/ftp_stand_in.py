"""A small FTP server for listings no real server sends. Any user and
password log in; each directory name below the root is a kind of listing:
    /cut       200 entries, the data connection closed half way, then 426
    /blank     good lines with an empty line between them (the platform's parser
               fails on it, see the platform notes: no test lists it in-process)
    /garbage   binary garbage lines between good lines
    /long      a name of 300 bytes beside a short one
    /many      60 plain entries
    /opts      one entry, opts-seen-N.txt: how many times this session was
               sent OPTS UTF8 ON (the user "refuser" has each refused)
    /clamped   huge.bin of 3,000,000,000 bytes, whose SIZE is refused
    /short/N   longfilename.txt, then N (its short name); each holds its own name
and any other directory lists three plain files. Files, in any directory and
kept for as long as the server runs (SIZE and REST answer for them):
    cut.bin      64 KiB; RETR from its start sends half of it, then 426
    cut-up.bin   STOR from its start takes 32 KiB of it, then 426
DELE early.txt is answered "150 wait", then "550 refused"; endless.txt with a 550
line of 100,000 characters.
    ftp_stand_in.py PORT"""
import socket
import sys

from scripted_servers import FtpSession, Server

CUT_SIZE = 65536
files = {'cut.bin': bytes(i % 251 for i in range(CUT_SIZE))}

LINE = '-rw-r--r--    1 1000     1000         %d Jan 05 10:00 %s\r\n'


def listing(directory, session):
    """The lines a LIST sends, and whether it is cut (426) after them."""
    if directory == '/opts':
        return (LINE % (1, 'opts-seen-%d.txt' % session.utf8_requests)).encode(), False
    if directory == '/cut':
        lines = ''.join(LINE % (i, 'entry%04d.txt' % i) for i in range(200)).encode()
        return lines[:len(lines) // 2], True
    if directory == '/blank':
        return (LINE % (1, 'before.txt') + '\r\n' + LINE % (2, 'after.txt')).encode(), False
    if directory == '/garbage':
        # Every byte but the line end, the blank, the tab and NUL, twice over.
        junk = bytes(b for b in range(256) if b not in b'\n\r\t \x00')
        junk = b'#' + junk + b'\r\n' + b'd' + junk[::-1] + b'\r\n'
        return LINE.encode() % (1, b'first.txt') + junk + LINE.encode() % (2, b'last.txt'), False
    if directory == '/long':
        return (LINE % (1, 'n' * 300) + LINE % (2, 'short.txt')).encode(), False
    if directory == '/clamped':
        return (LINE % (3000000000, 'huge.bin')).encode(), False
    if directory.startswith('/short/'):
        return (LINE % (16, 'longfilename.txt') + LINE % (16, directory[len('/short/'):])).encode(), False
    if directory == '/many':
        return ''.join(LINE % (i, 'file%02d.txt' % i) for i in range(60)).encode(), False
    return ''.join(LINE % (i, 'plain%d.txt' % i) for i in range(3)).encode(), False


class Session(FtpSession):
    def handle(self):
        self.directory = '/'
        self.passive = None
        self.active = None
        self.user = ''
        self.utf8_requests = 0
        self.restart = 0
        self.reply('220 stand-in ready')
        for command, argument in self.commands():
            if command == 'USER':
                self.user = argument
                self.reply('331 password please')
            elif command == 'PASS':
                self.reply('230 logged in')
            elif command == 'OPTS' and argument.upper() == 'UTF8 ON':
                self.utf8_requests += 1
                self.reply('501 no such option' if self.user == 'refuser' else '200 UTF8 set to on')
            elif command in ('TYPE', 'NOOP', 'OPTS'):
                self.reply('200 ok')
            elif command == 'PWD':
                self.reply('257 "%s"' % self.directory)
            elif command == 'CWD':
                self.directory = argument if argument.startswith('/') else '/' + argument.strip('/')
                self.reply('250 ok')
            elif command == 'PASV':
                self.passive = socket.socket()
                self.passive.bind(('127.0.0.1', 0))
                self.passive.listen(1)
                port = self.passive.getsockname()[1]
                self.reply('227 Entering Passive Mode (127,0,0,1,%d,%d)' % (port // 256, port % 256))
            elif command == 'PORT':
                numbers = [int(n) for n in argument.split(',')]
                self.active = ('.'.join(map(str, numbers[:4])), numbers[4] * 256 + numbers[5])
                self.reply('200 PORT ok')
            elif command in ('LIST', 'NLST'):
                self.send_listing()
            elif command == 'SIZE':
                self.reply('213 %d' % len(files[argument]) if argument in files else '550 no such file')
            elif command == 'REST':
                self.restart = int(argument)
                self.reply('350 Restarting at %d' % self.restart)
            elif command in ('RETR', 'STOR'):
                self.transfer(command, argument)
            elif command == 'DELE':
                replies = {'early.txt': ['150 wait', '550 refused'], 'endless.txt': ['550 ' + 'x' * 100000]}
                for reply in replies.get(argument, ['250 deleted']):
                    self.reply(reply)
            elif command == 'QUIT':
                self.reply('221 bye')
                return
            else:
                self.reply('502 not here')

    def data_connection(self):
        self.reply('150 here it comes')
        if self.passive:
            connection, _ = self.passive.accept()
            self.passive.close()
            self.passive = None
            return connection
        return socket.create_connection(self.active)

    def send_listing(self):
        data, cut = listing(self.directory, self)
        connection = self.data_connection()
        connection.sendall(data)
        connection.close()
        self.reply('426 Connection closed; transfer aborted.' if cut else '226 done')

    def transfer(self, command, name):
        start, self.restart = self.restart, 0
        if name.startswith('/short/'):
            files[name] = name.rsplit('/', 1)[-1].encode()
        if command == 'RETR' and name not in files:
            return self.reply('550 no such file')
        connection = self.data_connection()
        cut = start == 0 and name == ('cut.bin' if command == 'RETR' else 'cut-up.bin')
        if command == 'RETR':
            content = files[name][start:]
            connection.sendall(content[:len(content) // 2] if cut else content)
        else:
            received = b''
            for piece in iter(lambda: connection.recv(4096), b''):
                received += piece
                if cut and len(received) >= CUT_SIZE // 2:
                    received = received[:CUT_SIZE // 2]
                    break
            files[name] = files.get(name, b'')[:start] + received
        connection.close()
        self.reply('426 Connection closed; transfer aborted.' if cut else '226 done')


if __name__ == '__main__':
    with Server(('127.0.0.1', int(sys.argv[1])), Session) as server:
        server.serve_forever()
