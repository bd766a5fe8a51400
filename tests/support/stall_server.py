"""Servers that stop answering, for the time limits. Ports from BASE:
    BASE+0  accepts no connection at all: its backlog is full, so a SYN is never answered
    BASE+1  FTP that never greets
    BASE+2  FTP that greets and then stalls where told:
              user "silent"          no reply to PASS
              CWD /silent            no reply
              LIST in /stall-list    2 lines, then the data connection stays open and silent
              RETR stall.bin         half of 64 KiB, then silence
              STOR                   the data connection is never read
              RETR/STOR slow.bin     32 KiB sent, or all read, at 16 KiB/s
              MKD                    no reply
              PORT (active mode)     the server never connects back
              in /cut                lists cut.bin of 64 KiB, sends half of it as if whole, keeps every STOR
                                     at 10 bytes (SIZE) and refuses DELE
              in /slow               lists nothing, reads STOR of .slow.bin.part at 16 KiB/s, refuses STOR
                                     under any other name and a rename to slow.bin of anything else
    BASE+3  HTTP: /headers-never (no reply), /body-stall (half the body, then silence), /body-slow (8,000 bytes/s)
    BASE+4  control: a line "drop" closes every stalled connection, as a dead server would
    BASE+5  FTP over TLS (AUTH TLS) that misbehaves after login as its user tells: "silent" never answers
            PASS, "long" answers with a line of a megabyte, "endless" with a multi-line reply without end,
            "garbage" with bytes that are no reply; for anyone, a data connection never opens
            and, with a data connection it serves: "cut" ends RETR's data (half of 64 KiB) and LIST's (20 of
            40 lines) without close_notify, then answers 226; "early" answers DELE with 150, then 550;
            "other" secures data connections with OTHER-CERTIFICATE; "slow" reads STOR at 16 KiB/s and
            refuses it (552) unless every TLS record but the last carried 16 KiB;
            "stuck" never reads STOR's data
    BASE+6  FTP that accepts AUTH TLS and then never answers the handshake
    BASE+7  FTP whose 234 to AUTH TLS comes with clear-text replies for the protected session behind it
    BASE+8  SSH that sends its banner and then never takes part in the key exchange
Everything stalled is held until "drop" or the server's end; it ends by itself after 30 minutes.
    stall_server.py BASE CERTIFICATE KEY OTHER-CERTIFICATE OTHER-KEY"""
import socket
import socketserver
import ssl
import sys
import threading
import time

from scripted_servers import FtpSession, Server, request_path

release = threading.Event()
release_lock = threading.Lock()


def hold():
    """Waits until the stalled connections are dropped."""
    with release_lock:
        event = release
    event.wait()


class Greetless(socketserver.BaseRequestHandler):
    def handle(self):
        hold()


class Ftp(FtpSession):
    def handle(self):
        self.directory = '/'
        self.user = ''
        self.passive = None
        self.active = False
        self.stored = self.renaming = None
        self.reply('220 stall server')
        for command, argument in self.commands():
            if command == 'USER':
                self.user = argument
                self.reply('331 password please')
            elif command == 'PASS':
                if self.user == 'silent':
                    return hold()
                self.reply('230 logged in')
            elif command in ('TYPE', 'NOOP', 'OPTS'):
                self.reply('200 ok')
            elif command == 'PWD':
                self.reply('257 "%s"' % self.directory)
            elif command == 'MKD':
                return hold()
            elif command == 'CWD':
                if argument == '/silent':
                    return hold()
                self.directory = argument
                self.reply('250 ok')
            elif command == 'PASV':
                self.passive = socket.socket()
                self.passive.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
                self.passive.bind(('127.0.0.1', 0))
                self.passive.listen(1)
                port = self.passive.getsockname()[1]
                self.active = False
                self.reply('227 Entering Passive Mode (127,0,0,1,%d,%d)' % (port // 256, port % 256))
            elif command == 'PORT':
                self.active = True
                self.reply('200 PORT ok')
            elif command in ('LIST', 'RETR', 'STOR') and self.directory in ('/cut', '/slow'):
                self.reply('150 here it comes')
                data, _ = self.passive.accept()
                self.batch(data, command, argument)
            elif command == 'SIZE' and self.directory == '/cut':
                self.reply('213 10')
            elif command == 'DELE':
                self.reply('550 nothing is deleted here')
            elif command == 'RNFR':
                self.renaming = argument.rsplit('/', 1)[-1]
                self.reply('350 go on')
            elif command == 'RNTO':
                whole = self.renaming == self.stored == '.slow.bin.part' and argument.rsplit('/', 1)[-1] == 'slow.bin'
                self.reply('250 renamed' if whole else '553 not renamed')
            elif command in ('LIST', 'RETR', 'STOR'):
                self.reply('150 here it comes')
                if self.active:
                    return hold()  # never connects back
                data, _ = self.passive.accept()
                if argument == 'slow.bin':
                    self.move_slowly(data, command == 'RETR')
                    self.reply('226 done')
                    continue
                if command == 'LIST' and self.directory == '/stall-list':
                    data.sendall(b'-rw-r--r-- 1 1 1 5 Jan 05 10:00 one.txt\r\n'
                                 b'-rw-r--r-- 1 1 1 5 Jan 05 10:00 two.txt\r\n')
                elif command == 'RETR':
                    data.sendall(b's' * 32768)
                hold()
                data.close()
                return
            elif command == 'QUIT':
                self.reply('221 bye')
                return
            else:
                self.reply('502 not here')

    def batch(self, data, command, argument):
        """The data of the batch folders, each ended as if whole."""
        if command == 'LIST' and self.directory == '/cut':
            data.sendall(b'-rw-r--r-- 1 1 1 65536 Jan 05 10:00 cut.bin\r\n')
        elif command == 'RETR':
            data.sendall(b'c' * 32768)
        elif command == 'STOR' and argument.rsplit('/', 1)[-1] == '.slow.bin.part':
            self.move_slowly(data, False)
            self.stored = '.slow.bin.part'
        elif command == 'STOR':
            while data.recv(65536):
                pass
            if self.directory == '/slow':
                data.close()
                return self.reply('553 not under its own name while it arrives')
        data.close()
        self.reply('226 done')

    @staticmethod
    def move_slowly(data, sending):
        for _ in range(32) if sending else iter(lambda: data.recv(1024), b''):
            if sending:
                data.sendall(b's' * 1024)
            time.sleep(1 / 16)
        data.close()


class Http(socketserver.BaseRequestHandler):
    def handle(self):
        path = request_path(self.request)
        if path == b'/body-slow':
            self.request.sendall(b'HTTP/1.1 200 OK\r\nContent-Length: 16000\r\n\r\n')
            for _ in range(16):
                time.sleep(1 / 8)
                self.request.sendall(b'b' * 1000)
            return
        if path == b'/body-stall':
            self.request.sendall(b'HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n' + b'b' * 50000)
        hold()


class SecureFtp(socketserver.BaseRequestHandler):
    context = None
    other_context = None
    halfway = False
    injected = b''

    def handle(self):
        try:
            self.serve()
        except OSError:
            pass  # the client gave up

    def serve(self):
        self.request.sendall(b'220 stall server\r\n')
        if not self.request.recv(100).upper().startswith(b'AUTH TLS'):
            return
        self.request.sendall(b'234 go ahead\r\n' + self.injected)
        if self.halfway:
            return hold()
        tls = self.context.wrap_socket(self.request, server_side=True)
        user = b''
        serving = (b'cut', b'early', b'other', b'slow', b'stuck')
        for line in tls.makefile('rb'):
            command, _, argument = line.rstrip(b'\r\n').partition(b' ')
            command = command.upper()
            if command == b'USER':
                user = argument
                tls.sendall(b'331 password please\r\n')
            elif command == b'PASS' and user == b'silent':
                return hold()
            elif command == b'PASS' and user == b'long':
                tls.sendall(b'230 ' + b'x' * 1048576 + b'\r\n')
            elif command == b'PASS' and user == b'endless':
                while True:
                    tls.sendall(b'230-and more\r\n' * 100)
            elif command == b'PASS' and user == b'garbage':
                tls.sendall(b'\x00\xff\x16 no reply at all\r\n')
            elif command == b'PWD':
                tls.sendall(b'257 "/"\r\n')
            elif command == b'DELE' and user == b'early':
                tls.sendall(b'150 not yet\r\n550 no such file\r\n')
            elif command == b'PASV' and user in serving:
                self.passive = socket.socket()
                self.passive.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
                self.passive.bind(('127.0.0.1', 0))
                self.passive.listen(1)
                port = self.passive.getsockname()[1]
                tls.sendall(b'227 Entering Passive Mode (127,0,0,1,%d,%d)\r\n' % (port // 256, port % 256))
            elif command in (b'LIST', b'RETR', b'STOR') and user in serving:
                tls.sendall(b'150 here it comes\r\n')
                small = self.serve_data(command, user)
                tls.sendall(b'552 records of only %d bytes\r\n' % small if small else b'226 done\r\n')
            elif command == b'PASV':
                self.passive = socket.socket()  # takes connections into its backlog, never accepts
                self.passive.bind(('127.0.0.1', 0))
                self.passive.listen(1)
                port = self.passive.getsockname()[1]
                tls.sendall(b'227 Entering Passive Mode (127,0,0,1,%d,%d)\r\n' % (port // 256, port % 256))
            elif command in (b'LIST', b'RETR', b'STOR'):
                tls.sendall(b'150 here it comes\r\n')
                return hold()
            elif command == b'QUIT':
                return tls.sendall(b'221 bye\r\n')
            else:
                tls.sendall(b'200 ok\r\n')


    def serve_data(self, command, user):
        """Serves one data connection; for STOR, the size of a short record before the last one, or 0."""
        raw, _ = self.passive.accept()
        data = (self.other_context if user == b'other' else self.context).wrap_socket(raw, server_side=True)
        if command == b'STOR':
            if user == b'stuck':
                return hold()
            small, previous = 0, 16384
            for record in iter(lambda: data.recv(16384), b''):  # a record at most each
                small, previous = small or (previous if previous < 16384 else 0), len(record)
                time.sleep(len(record) / 16384)
            data.unwrap()
            data.close()
            return small
        elif user == b'cut':
            lines = [b'-rw-r--r-- 1 1 1 5 Jan 05 10:00 file%02d.txt\r\n' % n for n in range(40)]
            data.sendall(b''.join(lines[:20]) if command == b'LIST' else b'c' * 32768)
            data.shutdown(socket.SHUT_RDWR)  # no close_notify
        elif command == b'RETR':
            data.sendall(b'd' * 1000)
        if user != b'cut':
            data.unwrap()
        data.close()
        return 0


class HalfwaySecureFtp(SecureFtp):
    halfway = True


class InjectingSecureFtp(SecureFtp):
    injected = b'331 x\r\n230 x\r\n200 x\r\n200 x\r\n257 "/injected"\r\n'


class SshBannerOnly(socketserver.BaseRequestHandler):
    def handle(self):
        self.request.sendall(b'SSH-2.0-stall\r\n')
        hold()


class Control(socketserver.StreamRequestHandler):
    def handle(self):
        global release
        for line in self.rfile:
            if line.strip() == b'drop':
                with release_lock:
                    release.set()
                    release = threading.Event()
                self.wfile.write(b'dropped\n')


def serve(port, handler):
    server = Server(('127.0.0.1', port), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()


if __name__ == '__main__':
    base = int(sys.argv[1])
    full = socket.socket()
    full.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    full.bind(('127.0.0.1', base))
    full.listen(0)
    fillers = []
    for _ in range(3):  # fill the backlog, so that later SYNs go unanswered
        filler = socket.socket()
        filler.setblocking(False)
        try:
            filler.connect(('127.0.0.1', base))
        except BlockingIOError:
            pass
        fillers.append(filler)
    SecureFtp.context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    SecureFtp.context.load_cert_chain(sys.argv[2], sys.argv[3])
    SecureFtp.other_context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    SecureFtp.other_context.load_cert_chain(sys.argv[4], sys.argv[5])
    for offset, handler in ((1, Greetless), (2, Ftp), (3, Http), (4, Control), (5, SecureFtp), (6, HalfwaySecureFtp),
                            (7, InjectingSecureFtp), (8, SshBannerOnly)):
        serve(base + offset, handler)
    threading.Event().wait(1800)
