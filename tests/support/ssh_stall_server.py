"""An SFTP server that misbehaves in the middle of a download, for what no
real server does on cue. Any user and password log in. Every file holds the
same 64 KiB (byte i is i modulo 251); reading it from its start:
    stall.bin   half of it, then no reply to the next read ever
    drop.bin    half of it, then the connection ends (no end-of-file)
    any other   all of it and end-of-file
and reading from further on gives the rest and end-of-file.
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
forever = threading.Event()


class Login(paramiko.ServerInterface):
    def __init__(self, transport):
        self.transport = transport

    def check_auth_password(self, username, password):
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
        if offset >= SIZE:
            return b''
        return CONTENT[offset:offset + length]


class Files(paramiko.SFTPServerInterface):
    def __init__(self, server, *args, **kwargs):
        super().__init__(server, *args, **kwargs)
        self.transport = server.transport

    def canonicalize(self, path):
        return '/' if path in ('.', '') else path

    def open(self, path, flags, attr):
        return File(path.rsplit('/', 1)[-1], self.transport)

    def stat(self, path):
        attributes = paramiko.SFTPAttributes()
        attributes.st_size, attributes.st_mode = SIZE, 0o100644
        attributes.st_atime = attributes.st_mtime = 1600000000
        return attributes

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
