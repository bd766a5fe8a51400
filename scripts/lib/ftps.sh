# The FTP servers again, with TLS (FTPS). Source after common.sh; it sets up
# names only. start_ftps_servers starts them all and exports for the tests:
#   QUORLIN_FTPS_SERVERS            "name:port:security ..." (1 explicit AUTH TLS, 2 implicit TLS);
#                                   each requires TLS on login and data, no session reuse, TLS 1.2
#                                   (pure-ftpd 1.2 and 1.3),
#                                   certificate $TLS/server.crt (DNS:127.0.0.1, IP:127.0.0.1, DNS:localhost,
#                                   test CA)
#   QUORLIN_FTPS_REUSE_PORT         vsftpd, explicit, data connections must resume the control session
#                                   (else "522 SSL connection failed: session reuse required")
#   QUORLIN_FTPS_PLAIN_AND_TLS_PORT vsftpd, plain FTP and explicit TLS both accepted, same home
#   QUORLIN_FTPS_EXPIRED_PORT       vsftpd, explicit, an expired certificate of the test CA
#   QUORLIN_FTPS_OTHER_NAME_PORT    vsftpd, explicit, $TLS/other.crt (DNS:other.example)
#   QUORLIN_FTPS_SELF_SIGNED_PORT   vsftpd, explicit, a self-signed certificate for 127.0.0.1
#   QUORLIN_FTPS_DNS_ADDRESS_PORT   vsftpd, explicit, $TLS/dns-address.crt (DNS:*.0.0.1, DNS:127.0.0.1)
#   QUORLIN_FTPS_IP_ADDRESS_PORT    vsftpd, explicit, $TLS/ip-address.crt (IP:127.0.0.1 alone)
#   QUORLIN_FTPS_SELF_SIGNED_SHA256 that certificate's SHA-256 fingerprint, "AB:CD:..."
#                                   (also in $TLS/selfsigned.sha256)
# All servers share $FTP_HOME and $FTP_USER with the plain ones and list times in UTC.

# name:port:passive range:security, one per server
FTPS_SERVERS="vsftpd-explicit:21040:30200:30229:1 vsftpd-implicit:21041:30230:30259:2 \
proftpd-explicit:21042:30260:30289:1 pureftpd-explicit:21043:30290:30319:1"
FTPS_REUSE_PORT=21044           # passive 30320-30339
FTPS_PLAIN_AND_TLS_PORT=21045   # passive 30340-30359
FTPS_EXPIRED_PORT=21046         # passive 30360-30369
FTPS_OTHER_NAME_PORT=21047      # passive 30370-30379
FTPS_SELF_SIGNED_PORT=21048     # passive 30380-30389
FTPS_DNS_ADDRESS_PORT=21049     # passive 30390-30399
FTPS_IP_ADDRESS_PORT=21050      # passive 30400-30409

# proftpd's mod_tls ships in proftpd-mod-crypto, not proftpd-core: unpacked
# beside it, in the same version.
ensure_ftps_deps() {
    [ -f "$DEPS/root/usr/lib/proftpd/mod_tls.so" ] && return 0
    local deb version=""
    mkdir -p "$DEPS/debs" "$DEPS/root"
    for deb in "$DEPS"/debs/proftpd-core_*.deb; do [ -f "$deb" ] && version=$(dpkg-deb -f "$deb" Version); done
    (cd "$DEPS/debs" && apt-get download "proftpd-mod-crypto${version:+=$version}" >/dev/null 2>&1) \
        || { echo "proftpd-mod-crypto${version:+ $version} cannot be downloaded" >&2; return 1; }
    for deb in "$DEPS"/debs/proftpd-mod-crypto_*.deb; do dpkg-deb -x "$deb" "$DEPS/root"; done
}

# Beside make_certificates' ones: an expired certificate of the test CA and a
# self-signed one, both for 127.0.0.1 and localhost, made once.
make_ftps_certificates() {
    make_certificates
    [ -f "$TLS/selfsigned.sha256" ] && return 0
    local san="DNS:127.0.0.1,IP:127.0.0.1,DNS:localhost" ca=$TLS/expired-ca
    # openssl x509 cannot date a certificate in the past; openssl ca can.
    mkdir -p "$ca"
    : >"$ca/index.txt"
    cat >"$ca/ca.conf" <<CONF
[ca]
default_ca = test
[test]
database = $ca/index.txt
new_certs_dir = $ca
serial = $ca/serial
default_md = sha256
policy = any
copy_extensions = none
[any]
commonName = supplied
[server]
subjectAltName = $san
extendedKeyUsage = serverAuth
CONF
    openssl rand -hex 8 >"$ca/serial"
    openssl req -newkey rsa:2048 -nodes -keyout "$TLS/expired.key" -out "$TLS/expired.csr" -subj "/CN=127.0.0.1" \
        >>"$TLS/openssl.log" 2>&1
    openssl ca -batch -notext -config "$ca/ca.conf" -extensions server -cert "$TLS/ca.crt" -keyfile "$TLS/ca.key" \
        -startdate 20200101000000Z -enddate 20200201000000Z -in "$TLS/expired.csr" -out "$TLS/expired.crt" \
        >>"$TLS/openssl.log" 2>&1
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$TLS/selfsigned.key" -out "$TLS/selfsigned.crt" -days 3650 \
        -subj "/CN=127.0.0.1" -addext "subjectAltName=$san" -addext "extendedKeyUsage=serverAuth" \
        >>"$TLS/openssl.log" 2>&1
    openssl x509 -in "$TLS/selfsigned.crt" -noout -fingerprint -sha256 | sed 's/^.*=//' >"$TLS/selfsigned.sha256"
}

# vsftpd 3.0.3 has no setting for TLS 1.1 or 1.2, only for SSLv2, SSLv3 and
# TLS 1.0: OpenSSL's own configuration, read by the server at start, keeps
# it to TLS 1.2 (what the platform's Schannel speaks): ftps_tls12_only DIR
ftps_tls12_only() {
    cat >"$1/openssl.cnf" <<CONF
openssl_conf = init
[init]
ssl_conf = ssl
[ssl]
system_default = tls12
[tls12]
MinProtocol = TLSv1.2
MaxProtocol = TLSv1.2
CONF
}

# vsftpd with TLS: dir port low high certificate-name [extra settings...]
start_ftps_vsftpd() {
    local dir=$RUN/$1 port=$2 low=$3 high=$4 cert=$5
    shift 5
    mkdir -p "$dir/empty"
    cat >"$dir/vsftpd.conf" <<CONF
listen=YES
listen_address=127.0.0.1
listen_port=$port
background=NO
seccomp_sandbox=NO
pasv_enable=YES
pasv_min_port=$low
pasv_max_port=$high
pasv_address=127.0.0.1
port_enable=YES
connect_from_port_20=NO
local_enable=YES
write_enable=YES
local_umask=022
check_shell=NO
anonymous_enable=NO
secure_chroot_dir=$dir/empty
pam_service_name=vsftpd
xferlog_enable=YES
xferlog_std_format=NO
log_ftp_protocol=YES
vsftpd_log_file=$dir/vsftpd.log
ssl_enable=YES
allow_anon_ssl=NO
rsa_cert_file=$TLS/$cert.crt
rsa_private_key_file=$TLS/$cert.key
ssl_sslv2=NO
ssl_sslv3=NO
ssl_tlsv1=NO
# 3.0.3's default cipher list (DES-CBC3-SHA) is refused by today's clients.
ssl_ciphers=HIGH
ssl_request_cert=NO
debug_ssl=YES
CONF
    printf '%s\n' "$@" >>"$dir/vsftpd.conf"
    ftps_tls12_only "$dir"
    OPENSSL_CONF=$dir/openssl.cnf TZ=UTC /usr/sbin/vsftpd "$dir/vsftpd.conf" >"$dir/out.log" 2>&1 &
    echo $! >"$dir/pid"
}

# TLS required for login and data; no session reuse required unless said.
VSFTPD_TLS_REQUIRED="force_local_logins_ssl=YES force_local_data_ssl=YES require_ssl_reuse=NO"

start_vsftpd_explicit() { start_ftps_vsftpd ftps-vsftpd-explicit "$1" "$2" "$3" server $VSFTPD_TLS_REQUIRED; }
start_vsftpd_implicit() {
    start_ftps_vsftpd ftps-vsftpd-implicit "$1" "$2" "$3" server $VSFTPD_TLS_REQUIRED implicit_ssl=YES
}

start_proftpd_explicit() {
    local dir=$RUN/ftps-proftpd-explicit
    start_proftpd "$1" "$2" "$3" ftps-proftpd-explicit "ModulePath $DEPS/root/usr/lib/proftpd
LoadModule mod_tls.c
TLSEngine on
TLSLog $dir/tls.log
TLSRequired on
TLSProtocol TLSv1.2
TLSRSACertificateFile $TLS/server.crt
TLSRSACertificateKeyFile $TLS/server.key
TLSVerifyClient off
TLSOptions NoSessionReuseRequired"
}

# -Y 3: no session without TLS, and every transfer protected (PROT P). It
# offers TLS 1.3 as well; -g keeps its pid file out of /run.
start_pureftpd_explicit() {
    local dir=$RUN/ftps-pureftpd-explicit
    mkdir -p "$dir"
    TZ=UTC LD_LIBRARY_PATH="$DEPS/root/usr/lib/x86_64-linux-gnu" "$DEPS/root/usr/sbin/pure-ftpd" -S "127.0.0.1,$1" \
        -p "$2:$3" -P 127.0.0.1 -l unix -E -4 -H -A -Y 3 -2 "$TLS/server.crt,$TLS/server.key" \
        -O "clf:$dir/transfer.log" -g "$dir/pure-ftpd.pid" >"$dir/out.log" 2>&1 &
    echo $! >"$dir/pid"
}

start_ftps_servers() {
    ensure_ftp_user
    ensure_ftps_deps
    make_ftps_certificates
    local entry name port low high security servers=""
    for entry in $FTPS_SERVERS; do
        IFS=: read -r name port low high security <<<"$entry"
        log "starting $name with TLS on 127.0.0.1:$port"
        start_"${name//-/_}" "$port" "$low" "$high"
        wait_port "$port" "$RUN/ftps-$name/pid"
        servers+="$name:$port:$security "
    done
    log "starting vsftpd with TLS on 127.0.0.1:$FTPS_REUSE_PORT-$FTPS_IP_ADDRESS_PORT"
    start_ftps_vsftpd ftps-vsftpd-reuse $FTPS_REUSE_PORT 30320 30339 server \
        force_local_logins_ssl=YES force_local_data_ssl=YES require_ssl_reuse=YES
    start_ftps_vsftpd ftps-vsftpd-plain-and-tls $FTPS_PLAIN_AND_TLS_PORT 30340 30359 server \
        force_local_logins_ssl=NO force_local_data_ssl=NO require_ssl_reuse=NO
    start_ftps_vsftpd ftps-vsftpd-expired $FTPS_EXPIRED_PORT 30360 30369 expired $VSFTPD_TLS_REQUIRED
    start_ftps_vsftpd ftps-vsftpd-other-name $FTPS_OTHER_NAME_PORT 30370 30379 other $VSFTPD_TLS_REQUIRED
    start_ftps_vsftpd ftps-vsftpd-self-signed $FTPS_SELF_SIGNED_PORT 30380 30389 selfsigned $VSFTPD_TLS_REQUIRED
    start_ftps_vsftpd ftps-vsftpd-dns-address $FTPS_DNS_ADDRESS_PORT 30390 30399 dns-address $VSFTPD_TLS_REQUIRED
    start_ftps_vsftpd ftps-vsftpd-ip-address $FTPS_IP_ADDRESS_PORT 30400 30409 ip-address $VSFTPD_TLS_REQUIRED
    wait_port $FTPS_REUSE_PORT "$RUN/ftps-vsftpd-reuse/pid"
    wait_port $FTPS_PLAIN_AND_TLS_PORT "$RUN/ftps-vsftpd-plain-and-tls/pid"
    wait_port $FTPS_EXPIRED_PORT "$RUN/ftps-vsftpd-expired/pid"
    wait_port $FTPS_OTHER_NAME_PORT "$RUN/ftps-vsftpd-other-name/pid"
    wait_port $FTPS_SELF_SIGNED_PORT "$RUN/ftps-vsftpd-self-signed/pid"
    wait_port $FTPS_DNS_ADDRESS_PORT "$RUN/ftps-vsftpd-dns-address/pid"
    wait_port $FTPS_IP_ADDRESS_PORT "$RUN/ftps-vsftpd-ip-address/pid"
    export QUORLIN_FTPS_SERVERS=${servers% }
    export QUORLIN_FTPS_REUSE_PORT=$FTPS_REUSE_PORT QUORLIN_FTPS_PLAIN_AND_TLS_PORT=$FTPS_PLAIN_AND_TLS_PORT
    export QUORLIN_FTPS_EXPIRED_PORT=$FTPS_EXPIRED_PORT QUORLIN_FTPS_OTHER_NAME_PORT=$FTPS_OTHER_NAME_PORT
    export QUORLIN_FTPS_SELF_SIGNED_PORT=$FTPS_SELF_SIGNED_PORT
    export QUORLIN_FTPS_DNS_ADDRESS_PORT=$FTPS_DNS_ADDRESS_PORT QUORLIN_FTPS_IP_ADDRESS_PORT=$FTPS_IP_ADDRESS_PORT
    export QUORLIN_FTPS_SELF_SIGNED_SHA256=$(cat "$TLS/selfsigned.sha256")
}
