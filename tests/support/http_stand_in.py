"""A small HTTP server for what nginx cannot be made to do: a response whose
connection drops in the middle of its body, one that stalls before the rest
of its body, one sent in chunks, one longer than it announced, and a reply
that is no HTTP at all.
    http_stand_in.py PORT"""
import socket
import socketserver
import sys
import time

BODY = bytes(range(256)) * 400  # 102,400 bytes


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        request = b''
        while b'\r\n\r\n' not in request:
            data = self.request.recv(4096)
            if not data:
                return
            request += data
        path = request.split(b' ', 2)[1].decode('latin-1')
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
        elif path == '/garbage':
            self.request.sendall(b'\x00\x01 this is not HTTP\r\n\r\n')
            self.request.shutdown(socket.SHUT_RDWR)
        else:
            self.request.sendall(b'HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n')


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True


if __name__ == '__main__':
    with Server(('127.0.0.1', int(sys.argv[1])), Handler) as server:
        server.serve_forever()
