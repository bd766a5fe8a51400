"""What the scripted servers of the tests share: the threaded server, an HTTP
request read up to its blank line, and an FTP session's command lines."""
import socketserver


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True


def request_path(connection):
    """The path of the HTTP request arriving on `connection`, or None when it closes first."""
    request = b''
    while b'\r\n\r\n' not in request:
        data = connection.recv(4096)
        if not data:
            return None
        request += data
    return request.split(b' ', 2)[1]


class FtpSession(socketserver.StreamRequestHandler):
    """Replies and command lines of one FTP control connection."""

    def reply(self, text):
        self.wfile.write(text.encode() + b'\r\n')

    def commands(self):
        """(COMMAND, argument) for each line the client sends."""
        for raw in self.rfile:
            command, _, argument = raw.decode('latin-1').rstrip('\r\n').partition(' ')
            yield command.upper(), argument
