# Proxies on loopback, for the FTP-over-TLS and SFTP clients' proxy settings.
# Source after common.sh; it sets up names only. start_proxy_servers starts
# them all (each its own instance on 127.0.0.1, none the system's service,
# each relaying to 127.0.0.0/8 only) and exports for the tests:
#   QUORLIN_PROXY_SOCKS_PORT        dante: SOCKS5 without authentication, and SOCKS4 (not 4a: its
#                                   0.0.0.x address is taken as such and refused); CONNECT and BIND
#   QUORLIN_PROXY_SOCKS_AUTH_PORT   dante: SOCKS5 with username/password (RFC 1929) alone, CONNECT and
#                                   BIND: a wrong password fails the login (status 1), another system
#                                   user's passes it and has each request refused (0x02); SOCKS4 gets 0x5B
#   QUORLIN_PROXY_HTTP_PORT         tinyproxy: HTTP CONNECT without authentication
#   QUORLIN_PROXY_HTTP_AUTH_PORT    tinyproxy: HTTP CONNECT with Basic authentication alone: 407 without
#                                   credentials, but "401 Unauthorized" (WWW-Authenticate) for wrong ones
#   QUORLIN_PROXY_USER, QUORLIN_PROXY_PASSWORD
#                                   the credentials both take (a system user of that name, for dante)
#   QUORLIN_PROXY_STAND_IN_PORT     first of the 6 ports of tests/support/proxy_stand_in.py (its SOCKS4a,
#                                   the refusals, stalls and garbage the real ones will not send)
#   QUORLIN_PROXY_SOCKS_LOG, QUORLIN_PROXY_SOCKS_AUTH_LOG, QUORLIN_PROXY_HTTP_LOG,
#   QUORLIN_PROXY_HTTP_AUTH_LOG, QUORLIN_PROXY_STAND_IN_LOG
#                                   Windows paths of each one's log (Linux paths: PROXY_*_LOG), emptied
#                                   at start; a line for every connection relayed, control and data:
#     dante      ... info: pass(1): tcp/connect [: 127.0.0.1.41000 127.0.0.1.21080 -> 127.0.0.1.52000 127.0.0.1.21021
#                (client, proxy, the proxy's own end, target; "username%quorlinproxy@127.0.0.1.41000" with
#                a login; a BIND is "tcp/bind [:", the server's connection "tcp/bindreply [:")
#     tinyproxy  CONNECT   Dec 10 13:43:00.337 [1578]: Request (file descriptor 5): CONNECT 127.0.0.1:21021 HTTP/1.1
#                (the target as the client wrote it; the line "Connect (file descriptor 5): 127.0.0.1"
#                before it names the client)
#     stand-in   127.0.0.1:41234 -> 21084 socks5 user=- target=localhost:21021 relayed
# (wait_port's own probe leaves a "block(1): tcp/accept ]" line in dante's.) The SOCKS
# proxies resolve a target's name themselves, dante over IPv4 alone (its external address),
# even where localhost is ::1 as well; it logs the address. A BIND listens on a port of the
# system's ephemeral range.
# tinyproxy allows CONNECT to the suite's own ports alone (PROXY_CONNECT_PORTS:
# any other is answered 403) and to the hosts localhost and 127.0.0.1.
# Installs dante-server and tinyproxy (their system services neither started
# nor enabled) and the system user $PROXY_USER; nothing else outside $OUT.

PROXY_SOCKS_PORT=21080
PROXY_SOCKS_AUTH_PORT=21081
PROXY_HTTP_PORT=21082
PROXY_HTTP_AUTH_PORT=21083
PROXY_STAND_IN_PORT=21084  # 21084-21089, see tests/support/proxy_stand_in.py
PROXY_USER=quorlinproxy
PROXY_PASSWORD=proxy-pw
PROXY_SOCKS_LOG=$RUN/proxy-socks/danted.log
PROXY_SOCKS_AUTH_LOG=$RUN/proxy-socks-auth/danted.log
PROXY_HTTP_LOG=$RUN/proxy-http/tinyproxy.log
PROXY_HTTP_AUTH_LOG=$RUN/proxy-http-auth/tinyproxy.log
PROXY_STAND_IN_LOG=$RUN/proxy-stand-in/proxy.log
# The ports tinyproxy lets CONNECT reach, low-high: the FTP servers' control
# ports (with the FTP stand-in's and the stall servers'), the SFTP servers',
# and the passive ranges of FTP_SERVERS and of ftps.sh. The stand-ins' passive
# ports are the system's ephemeral ones: not reachable through tinyproxy.
PROXY_CONNECT_PORTS="21021-21024 21030-21038 21040-21050 21060-21066 30000-30149 30200-30409"

# The packages' scripts would start the system's services (tinyproxy on
# 0.0.0.0:8888): a policy-rc.d of our own forbids it while none is there.
install_proxy_deps() {
    local need=() guard=""
    [ -x /usr/sbin/danted ] || need+=(dante-server)
    [ -x /usr/bin/tinyproxy ] || need+=(tinyproxy)
    [ ${#need[@]} -gt 0 ] || return 0
    log "installing ${need[*]}"
    if [ ! -e /usr/sbin/policy-rc.d ]; then
        guard=/usr/sbin/policy-rc.d
        printf '#!/bin/sh\n# quorlin: no service started while packages are installed\nexit 101\n' >$guard
        chmod 0755 $guard
    fi
    export DEBIAN_FRONTEND=noninteractive
    local status=0
    apt_install "${need[@]}" || { apt_update && apt_install "${need[@]}"; } || status=$?
    [ -z "$guard" ] || rm -f "$guard"
    [ $status = 0 ] || return $status
    keep_system_proxies_off
}

# Not started at boot either; one the packages' scripts did start (where no
# policy-rc.d forbade it) is stopped by its pid file.
keep_system_proxies_off() {
    local name pidfile
    for name in danted tinyproxy; do
        update-rc.d "$name" disable >/dev/null 2>&1 || true
        deb-systemd-helper disable "$name.service" >/dev/null 2>&1 || true
    done
    for pidfile in /run/danted.pid /run/tinyproxy/tinyproxy.pid; do
        if [ -s $pidfile ] && kill -0 "$(cat $pidfile)" 2>/dev/null; then
            invoke-rc.d "$(basename $pidfile .pid)" stop >/dev/null 2>&1 || kill "$(cat $pidfile)" 2>/dev/null || true
        fi
    done
}

# dante's "username" method checks the system's password file.
ensure_proxy_user() {
    id "$PROXY_USER" >/dev/null 2>&1 ||
        useradd --system -M -d /nonexistent -s /usr/sbin/nologin -c "quorlin test proxy" "$PROXY_USER"
    echo "$PROXY_USER:$PROXY_PASSWORD" | chpasswd
}

# One dante: folder-under-$RUN port socksmethod. BIND (active-mode FTP)
# listens on the external address, 127.0.0.1, and takes the server's
# connection from loopback alone. With logins, $PROXY_USER's alone: any
# system user's would pass otherwise.
start_danted() {
    local dir=$RUN/$1 port=$2 method=$3 users=""
    mkdir -p "$dir"
    [ "$method" = none ] || users="user: $PROXY_USER"
    cat >"$dir/danted.conf" <<CONF
logoutput: $dir/danted.log
internal: 127.0.0.1 port = $port
external: 127.0.0.1
clientmethod: none
socksmethod: $method
user.privileged: root
user.unprivileged: nobody
timeout.negotiate: 30
client pass {
    from: 127.0.0.0/8 to: 127.0.0.1/32
    log: error
}
socks pass {
    from: 127.0.0.0/8 to: 127.0.0.0/8
    command: connect bind
    $users
    log: connect disconnect error
}
socks pass {
    from: 127.0.0.0/8 to: 127.0.0.0/8
    command: bindreply
    log: connect disconnect error
}
socks block {
    from: 0/0 to: 0/0
    log: connect error
}
CONF
    : >"$dir/danted.log"
    # Not daemonised (no -D): the pid is the mother process's, which takes
    # its children along when stopped.
    /usr/sbin/danted -f "$dir/danted.conf" -p "$dir/danted.pid" >"$dir/out.log" 2>&1 &
    echo $! >"$dir/pid"
}

# One tinyproxy: folder-under-$RUN port [more settings...]
start_tinyproxy() {
    local dir=$RUN/$1 port=$2 range low high
    shift 2
    mkdir -p "$dir"
    printf '^localhost$\n^127\\.0\\.0\\.1$\n' >"$dir/filter"
    {
        cat <<CONF
Port $port
Listen 127.0.0.1
Bind 127.0.0.1
Timeout 600
MaxClients 200
LogFile "$dir/tinyproxy.log"
LogLevel Info
PidFile "$dir/tinyproxy.pid"
Allow 127.0.0.1
DisableViaHeader Yes
Filter "$dir/filter"
FilterType ere
FilterDefaultDeny Yes
CONF
        # One port a line: it takes no ranges.
        for range in $PROXY_CONNECT_PORTS; do
            IFS=- read -r low high <<<"$range"
            seq -f 'ConnectPort %g' "$low" "$high"
        done
        printf '%s\n' "$@"
    } >"$dir/tinyproxy.conf"
    : >"$dir/tinyproxy.log"
    /usr/bin/tinyproxy -d -c "$dir/tinyproxy.conf" >"$dir/out.log" 2>&1 &
    echo $! >"$dir/pid"
}

start_proxy_servers() {
    install_proxy_deps
    ensure_proxy_user
    log "starting dante on 127.0.0.1:$PROXY_SOCKS_PORT and $PROXY_SOCKS_AUTH_PORT (with a login)"
    start_danted proxy-socks $PROXY_SOCKS_PORT none
    start_danted proxy-socks-auth $PROXY_SOCKS_AUTH_PORT username
    log "starting tinyproxy on 127.0.0.1:$PROXY_HTTP_PORT and $PROXY_HTTP_AUTH_PORT (with a login)"
    start_tinyproxy proxy-http $PROXY_HTTP_PORT
    start_tinyproxy proxy-http-auth $PROXY_HTTP_AUTH_PORT "BasicAuth $PROXY_USER $PROXY_PASSWORD"
    mkdir -p "$RUN/proxy-stand-in"
    : >"$PROXY_STAND_IN_LOG"
    start_stand_in proxy-stand-in proxy_stand_in.py $PROXY_STAND_IN_PORT "$PROXY_STAND_IN_LOG"
    wait_port $PROXY_SOCKS_PORT "$RUN/proxy-socks/pid"
    wait_port $PROXY_SOCKS_AUTH_PORT "$RUN/proxy-socks-auth/pid"
    wait_port $PROXY_HTTP_PORT "$RUN/proxy-http/pid"
    wait_port $PROXY_HTTP_AUTH_PORT "$RUN/proxy-http-auth/pid"
    wait_port $((PROXY_STAND_IN_PORT + 5)) "$RUN/proxy-stand-in/pid"
    proxy_environment
}

proxy_environment() {
    export QUORLIN_PROXY_SOCKS_PORT=$PROXY_SOCKS_PORT QUORLIN_PROXY_SOCKS_AUTH_PORT=$PROXY_SOCKS_AUTH_PORT
    export QUORLIN_PROXY_HTTP_PORT=$PROXY_HTTP_PORT QUORLIN_PROXY_HTTP_AUTH_PORT=$PROXY_HTTP_AUTH_PORT
    export QUORLIN_PROXY_STAND_IN_PORT=$PROXY_STAND_IN_PORT
    export QUORLIN_PROXY_USER=$PROXY_USER QUORLIN_PROXY_PASSWORD=$PROXY_PASSWORD
    local socks socks_auth http http_auth stand_in
    socks=$(winpath "$PROXY_SOCKS_LOG") socks_auth=$(winpath "$PROXY_SOCKS_AUTH_LOG")
    http=$(winpath "$PROXY_HTTP_LOG") http_auth=$(winpath "$PROXY_HTTP_AUTH_LOG")
    stand_in=$(winpath "$PROXY_STAND_IN_LOG")
    export QUORLIN_PROXY_SOCKS_LOG=$socks QUORLIN_PROXY_SOCKS_AUTH_LOG=$socks_auth
    export QUORLIN_PROXY_HTTP_LOG=$http QUORLIN_PROXY_HTTP_AUTH_LOG=$http_auth QUORLIN_PROXY_STAND_IN_LOG=$stand_in
}
