"""An SFTP server on asyncssh, a second SSH implementation beside OpenSSH (its
server-sig-algs names each algorithm twice), for the logins with every kind of
key: ROOT for USER by PASSWORD or any key in AUTHORIZED-KEYS, on 127.0.0.1.
Runs on Debian's python3-asyncssh (/usr/bin/python3).
    asyncssh_server.py PORT HOST-KEY AUTHORIZED-KEYS ROOT USER PASSWORD"""
import asyncio
import sys

import asyncssh

port, host_key, authorized_keys, root, user, password = sys.argv[1:]


class Server(asyncssh.SSHServer):
    def password_auth_supported(self):
        return True

    def validate_password(self, username, given):
        return (username, given) == (user, password)


async def serve():
    server = await asyncssh.listen('127.0.0.1', int(port), server_factory=Server, server_host_keys=[host_key],
                                   authorized_client_keys=authorized_keys, allow_scp=False,
                                   sftp_factory=lambda channel: asyncssh.SFTPServer(channel, chroot=root))
    await server.wait_closed()

asyncio.run(serve())
