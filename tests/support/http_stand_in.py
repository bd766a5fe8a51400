"""A small HTTP server for what nginx cannot be made to do: a response whose
connection drops in the middle of its body, one that stalls before the rest
of its body, one sent in chunks, one longer than it announced, a reply that is
no HTTP at all, a 100 KB header, a large body with no length, a length claimed
and never sent, chunks with a contradicting length, and a body without end.
    http_stand_in.py PORT"""
import socket
import socketserver
import sys
import time

from scripted_servers import Server, request_path

BODY = bytes(range(256)) * 400  # 102,400 bytes


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        path = request_path(self.request)
        if path is None:
            return
        path = path.decode('latin-1')
        head = b'HTTP/1.1 200 OK\r\nContent-Length: %d\r\nConnection: close\r\n\r\n' % len(BODY)
        if path == '/drop':
            # Half the body, then the connection ends.
            self.request.sendall(head + BODY[:len(BODY) // 2])
            self.request.shutdown(socket.SHUT_RDWR)
        elif path == '/stall':
            # Half the body, a pause, then the rest.
            self.request.sendall(head + BODY[:len(BODY) // 2])
            time.sleep(1.5)
            self.request.sendall(BODY[len(BODY) // 2:])
        elif path == '/chunked':
            # The body in pieces of 1000 to 70,000 bytes, with no length announced.
            self.request.sendall(b'HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n')
            sent, size = 0, 1000
            while sent < len(BODY) * 3:
                piece = (BODY * 3)[sent:sent + size]
                self.request.sendall(b'%x\r\n%s\r\n' % (len(piece), piece))
                sent, size = sent + len(piece), size * 3 % 70001 + 1000
            self.request.sendall(b'0\r\n\r\n')
        elif path == '/overlong':
            # Twice the bytes it announced.
            self.request.sendall(b'HTTP/1.1 200 OK\r\nContent-Length: 10\r\nConnection: close\r\n\r\n' + b'0123456789' * 2)
            self.request.shutdown(socket.SHUT_RDWR)
        elif path == '/big-header':
            # A 100 KB header line before a short body.
            self.request.sendall(b'HTTP/1.1 200 OK\r\nX-Filler: ' + b'f' * 100000 +
                                 b'\r\nContent-Length: 5\r\nConnection: close\r\n\r\nsmall')
        elif path == '/big-unannounced':
            # 64 MiB with no length: the body ends when the connection does.
            self.request.sendall(b'HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n')
            piece = bytes(range(256)) * 4096
            for _ in range(64):
                self.request.sendall(piece)
            self.request.shutdown(socket.SHUT_RDWR)
        elif path.startswith('/claim/'):
            # A length claimed (the path's number), 1 KB sent, then the connection ends.
            self.request.sendall(b'HTTP/1.1 200 OK\r\nContent-Length: %s\r\nConnection: close\r\n\r\n'
                                 % path[len('/claim/'):].encode() + b'k' * 1024)
            self.request.shutdown(socket.SHUT_RDWR)
        elif path == '/chunked-with-length':
            # Chunked, with a Content-Length that claims more than the chunks hold.
            self.request.sendall(b'HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Length: 99999\r\n'
                                 b'Connection: close\r\n\r\n5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n')
        elif path == '/endless':
            # A body without end, until the client lets go.
            self.request.sendall(b'HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n')
            piece = b'e' * (1 << 20)
            try:
                while True:
                    self.request.sendall(piece)
            except OSError:
                pass
        elif path == '/garbage':
            self.request.sendall(b'\x00\x01 this is not HTTP\r\n\r\n')
            self.request.shutdown(socket.SHUT_RDWR)
        else:
            self.request.sendall(b'HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n')


if __name__ == '__main__':
    with Server(('127.0.0.1', int(sys.argv[1])), Handler) as server:
        server.serve_forever()
