"""An SFTP server that misbehaves, for what no real server does on cue. Any
user and password log in ("slowauth" 4 s late; the size of slowauth-passwords
counts its passwords). Every file holds the same 64 KiB (byte i is i modulo
251); reading it from its start:
    stall.bin   half of it, then no reply to the next read ever
    drop.bin    half of it, then the connection ends (no end-of-file)
    short.bin   all of it, each read answered short; long.bin: long
    claims.bin  "tiny" alone, while its stat claims 1.9e9 bytes
    any other   all of it and end-of-file
and reading from further on gives the rest and end-of-file. The folder /names
lists names of 300 and 5,000 bytes and one holding CR LF, /endless lists without end.
Everything held ends with the server, which ends by itself after 30 minutes.
Runs on Debian's paramiko (/usr/bin/python3).
    ssh_stall_server.py PORT HOST-KEY"""
import socket
import sys
import threading
import time

import paramiko

SIZE = 65536
CONTENT = bytes(i % 251 for i in range(SIZE))
CLAIMED_SIZE = 1900000000
forever = threading.Event()
slow_passwords = []
NAMES = ['\u65e5' * 100, 'n' * 5000, 'cr\r\nlf.txt', 'plain.txt']


def attributes(size=SIZE, mode=0o100644, name=None):
    entry = paramiko.SFTPAttributes()
    entry.st_size, entry.st_mode, entry.filename = size, mode, name
    entry.st_atime = entry.st_mtime = 1600000000
    return entry


class Endless(list):
    """A folder's entries without end, a thousand a reply (paramiko takes [:16], then [16:])."""
    def __init__(self, first=0):
        self.first = first

    def __getitem__(self, part):
        if part.stop is None:
            return Endless(self.first + 1000)
        return [attributes(1, name='entry%09d.txt' % i) for i in range(self.first, self.first + 1000)]

class Login(paramiko.ServerInterface):
    def __init__(self, transport):
        self.transport = transport

    def get_allowed_auths(self, username):
        time.sleep(4 if username == 'slowauth' else 0)
        return 'password'

    def check_auth_password(self, username, password):
        slow_passwords.extend([password] if username == 'slowauth' else [])
        return paramiko.AUTH_SUCCESSFUL

    def check_channel_request(self, kind, chanid):
        return paramiko.OPEN_SUCCEEDED if kind == 'session' else paramiko.OPEN_FAILED_ADMINISTRATIVELY_PROHIBITED


class File(paramiko.SFTPHandle):
    def __init__(self, name, transport):
        super().__init__()
        self.name, self.transport = name, transport
        self.start = None

    def read(self, offset, length):
        self.start = offset if self.start is None else self.start
        if offset >= SIZE // 2 and self.start == 0 and self.name in ('stall.bin', 'drop.bin'):
            if self.name == 'drop.bin':
                self.transport.close()
            forever.wait()
        if self.name == 'claims.bin':
            return b'tiny'[offset:]
        if offset >= SIZE:
            return b''
        if self.name in ('short.bin', 'long.bin'):
            return CONTENT[offset:offset + (min(length // 2, 1000) if self.name == 'short.bin' else length + 10)]
        return CONTENT[offset:offset + length]


class Files(paramiko.SFTPServerInterface):
    def __init__(self, server, *args, **kwargs):
        super().__init__(server, *args, **kwargs)
        self.transport = server.transport

    def canonicalize(self, path):
        return '/' if path in ('.', '') else path

    def open(self, path, flags, attr):
        return File(path.rsplit('/', 1)[-1], self.transport)

    def list_folder(self, path):
        if path.endswith('/endless'):
            return Endless()
        return [attributes(len(name), name=name) for name in NAMES] if path.endswith('/names') else []

    def stat(self, path):
        name = path.rsplit('/', 1)[-1]
        if name in ('names', 'endless', '/', ''):
            return attributes(0, 0o040755)
        if name == 'slowauth-passwords':
            return attributes(len(slow_passwords))
        return attributes(CLAIMED_SIZE if name == 'claims.bin' else SIZE)

    lstat = stat


def serve(connection, host_key):
    transport = paramiko.Transport(connection)
    transport.add_server_key(host_key)
    transport.set_subsystem_handler('sftp', paramiko.SFTPServer, Files)
    transport.start_server(server=Login(transport))
    # The session channel lives as long as something holds it.
    channel = transport.accept(30)
    while channel is not None and transport.is_active():
        time.sleep(1)


if __name__ == '__main__':
    key = paramiko.ECDSAKey.from_private_key_file(sys.argv[2])
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(('127.0.0.1', int(sys.argv[1])))
    listener.listen(8)
    threading.Timer(1800, lambda: listener.close()).start()
    while True:
        connection, _ = listener.accept()
        threading.Thread(target=serve, args=(connection, key), daemon=True).start()
