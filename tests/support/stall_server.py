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
    BASE+3  HTTP: /headers-never (no reply), /body-stall (half the body, then silence), /body-slow (8,000 bytes/s)
    BASE+4  control: a line "drop" closes every stalled connection, as a dead server would
Everything stalled is held until "drop" or the server's end; it ends by itself after 30 minutes.
    stall_server.py BASE"""
import socket
import socketserver
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
    for offset, handler in ((1, Greetless), (2, Ftp), (3, Http), (4, Control)):
        serve(base + offset, handler)
    threading.Event().wait(1800)
