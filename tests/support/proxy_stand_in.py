"""Proxies that misbehave, for what dante and tinyproxy will not do. Every port
speaks SOCKS5, SOCKS4/4a and HTTP CONNECT, told apart by the first byte the
client sends (5, 4, anything else). Ports from BASE:
    BASE+0  relays to loopback. SOCKS5 takes any username/password when offered; these users have
            the request answered otherwise: reply-XX (reply code XX in hex, then closed), stall (no
            answer), garbage (a reply that is no SOCKS5 reply). SOCKS4/4a relays but for the user id
            "reject" (0x5B). HTTP CONNECT relays.
    BASE+1  wants credentials: SOCKS5 0xFF, SOCKS4 0x5B, HTTP 407 with Proxy-Authenticate
    BASE+2  refuses: SOCKS5 0x02, SOCKS4 0x5B, HTTP 403 Forbidden
    BASE+3  stalls: never answers
    BASE+4  garbage: SOCKS gets "HTTP/1.0 400 Bad Request", HTTP gets a SOCKS4 refusal's bytes
    BASE+5  SOCKS connections closed unanswered; HTTP gets a 200 and header lines forever
A relay goes to an IPv4 loopback address only (a name is resolved here). Every connection is
logged, one line each: "127.0.0.1:41234 -> 21084 socks5 user=- target=localhost:21021 relayed".
    proxy_stand_in.py BASE LOG"""
import socket
import socketserver
import struct
import sys
import threading

from scripted_servers import Server

MODES = ('scripted', 'auth', 'refuse', 'stall', 'garbage', 'endless')
log_lock = threading.Lock()
log_file = None


def recv_exactly(connection, size):
    data = b''
    while len(data) < size:
        more = connection.recv(size - len(data))
        if not more:
            raise EOFError
        data += more
    return data


def recv_text(connection):
    """A NUL-terminated field of SOCKS4."""
    data = b''
    while not data.endswith(b'\0') and len(data) < 1024:
        data += recv_exactly(connection, 1)
    return data[:-1].decode('latin-1')


def pump(source, sink):
    try:
        for data in iter(lambda: source.recv(65536), b''):
            sink.sendall(data)
        sink.shutdown(socket.SHUT_WR)  # FTP ends a transfer with its data connection's end
    except OSError:
        pass


class Proxy(socketserver.BaseRequestHandler):
    mode = 'scripted'

    def handle(self):
        try:
            first = recv_exactly(self.request, 1)
            {b'\x05': self.socks5, b'\x04': self.socks4}.get(first, lambda: self.http(first))()
        except (EOFError, OSError):
            pass

    def note(self, protocol, user, target, outcome):
        with log_lock:
            log_file.write('%s:%d -> %d %s user=%s target=%s %s\n' % (
                self.client_address + (self.server.server_address[1], protocol, user or '-', target or '-', outcome)))
            log_file.flush()

    def finish_as(self, protocol, user, target, answer):
        """The answer of a mode that does not relay; True when there was one."""
        if self.mode == 'stall':
            self.note(protocol, user, target, 'stalled')
            while self.request.recv(65536):
                pass
        elif self.mode in ('garbage', 'endless') or answer is not None:
            self.note(protocol, user, target, 'answered' if self.mode == 'scripted' else self.mode)
            self.request.sendall(answer or b'')
        return self.mode != 'scripted' or answer is not None

    def relay(self, protocol, user, host, port, accepted):
        target = '%s:%d' % (host, port)
        try:
            address = socket.getaddrinfo(host, port, socket.AF_INET, socket.SOCK_STREAM)[0][4][0]
            connection = socket.create_connection((address, port), timeout=10) if address.startswith('127.') else None
        except OSError:
            connection = None
        if connection is None:
            return self.note(protocol, user, target, 'unreachable')
        self.request.sendall(accepted)
        self.note(protocol, user, target, 'relayed')
        connection.settimeout(None)
        threading.Thread(target=pump, args=(connection, self.request), daemon=True).start()
        pump(self.request, connection)

    def socks5(self):
        methods = recv_exactly(self.request, recv_exactly(self.request, 1)[0])
        if self.mode in ('auth', 'stall', 'garbage', 'endless'):
            return self.finish_as('socks5', '', '', {'auth': b'\x05\xff',
                                                    'garbage': b'HTTP/1.0 400 Bad Request\r\n\r\n'}.get(self.mode))
        user = ''
        if b'\x02' in methods:  # any username and password are taken
            self.request.sendall(b'\x05\x02')
            user = recv_exactly(self.request, recv_exactly(self.request, 2)[1]).decode('latin-1')
            recv_exactly(self.request, recv_exactly(self.request, 1)[0])
            self.request.sendall(b'\x01\x00')
        else:
            self.request.sendall(b'\x05\x00')
        _, command, _, kind = recv_exactly(self.request, 4)
        host = recv_exactly(self.request, recv_exactly(self.request, 1)[0]).decode('latin-1') if kind == 3 else '?'
        port = struct.unpack('>H', recv_exactly(self.request, 2))[0]
        code = int(user[6:], 16) if user.startswith('reply-') else 2 if self.mode == 'refuse' else None
        if code is not None:
            return self.finish_as('socks5', user, host, b'\x05' + bytes([code]) + b'\x00\x01' + b'\0' * 6)
        if user in ('stall', 'garbage'):
            self.mode = user
            return self.finish_as('socks5', user, host, b'\x00\x5a' + b'\0' * 8)
        self.relay('socks5', user, host, port, b'\x05\x00\x00\x01\x7f\x00\x00\x01' + struct.pack('>H', port))

    def socks4(self):
        command, port, address = struct.unpack('>BH4s', recv_exactly(self.request, 7))
        user, host = recv_text(self.request), socket.inet_ntoa(address)
        if address.startswith(b'\0\0\0'):
            host = recv_text(self.request)
        refused = b'\x00\x5b' + b'\0' * 6
        answers = {'auth': refused, 'refuse': refused, 'garbage': b'HTTP/1.0 400 Bad Request\r\n\r\n'}
        if self.finish_as('socks4', user, host, refused if user == 'reject' else answers.get(self.mode)):
            return
        self.relay('socks4', user, host, port, b'\x00\x5a' + struct.pack('>H', port) + socket.inet_aton('127.0.0.1'))

    def http(self, first):
        head = first
        while b'\r\n\r\n' not in head and len(head) < 65536:
            head += recv_exactly(self.request, 1)
        target = head.split(b' ')[1].decode('latin-1') if head.count(b' ') > 1 else '?'
        if self.mode == 'endless':
            self.note('http', '', target, 'endless headers')
            self.request.sendall(b'HTTP/1.1 200 Connection established\r\n')
            while True:
                self.request.sendall(b'X-Filler: more and more\r\n' * 100)
        answers = {'auth': b'HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm="q"\r\n'
                           b'Content-Length: 0\r\n\r\n',
                   'refuse': b'HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\nConnection: close\r\n\r\n',
                   'garbage': b'\x00\x5b\x00\x00\x00\x00\x00\x00'}
        if self.finish_as('http', '', target, answers.get(self.mode)):
            return
        host, _, port = target.rpartition(':')
        self.relay('http', '', host.strip('[]'), int(port), b'HTTP/1.1 200 Connection established\r\n\r\n')


if __name__ == '__main__':
    base = int(sys.argv[1])
    log_file = open(sys.argv[2], 'a', encoding='utf-8')
    for offset, mode in enumerate(MODES):
        server = Server(('127.0.0.1', base + offset), type('Proxy_' + mode, (Proxy,), {'mode': mode}))
        threading.Thread(target=server.serve_forever, daemon=True).start()
    threading.Event().wait()
