"""An SFTP server on asyncssh: a second SSH implementation beside OpenSSH, for
the logins with every kind of key file. It serves ROOT to USER, who logs in
with PASSWORD or any key in AUTHORIZED_KEYS (OpenSSH's format), on
127.0.0.1:PORT with the host key in HOST_KEY. Its server-sig-algs names each
algorithm twice, as asyncssh 2.10 sends it.
Runs on Debian's python3-asyncssh (/usr/bin/python3).
    asyncssh_server.py PORT HOST_KEY AUTHORIZED_KEYS ROOT USER PASSWORD"""
import asyncio
import sys

import asyncssh


def main(port, host_key, authorized_keys, root, user, password):
    class Server(asyncssh.SSHServer):
        def begin_auth(self, username):
            return True

        def password_auth_supported(self):
            return True

        def validate_password(self, username, given):
            return username == user and given == password

    async def serve():
        server = await asyncssh.listen(
            '127.0.0.1', int(port), server_factory=Server, server_host_keys=[host_key],
            authorized_client_keys=authorized_keys, allow_scp=False,
            sftp_factory=lambda channel: asyncssh.SFTPServer(channel, chroot=root))
        await server.wait_closed()

    asyncio.run(serve())


if __name__ == '__main__':
    main(*sys.argv[1:])
