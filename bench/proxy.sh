# Proxy benchmark: the transfer benchmark's component run through a proxy
# beside the same run straight to the server, taking turns (bench/pairs.sh):
# FTP over TLS (vsftpd, explicit) and SFTP (OpenSSH), each through dante
# (SOCKS5) and tinyproxy (HTTP CONNECT). Sourced by bench/run.
bench_proxy() {
    source "$REPO/scripts/lib/ftps.sh"
    source "$REPO/scripts/lib/sftp.sh"
    source "$REPO/scripts/lib/proxy.sh"
    start_ftps_servers
    trust_test_ca x86_64
    start_sftp_servers
    start_proxy_servers
    local large_mib=${QUORLIN_BENCH_LARGE_MIB:-256} small_count=${QUORLIN_BENCH_SMALL_COUNT:-500}
    local repeats=${QUORLIN_BENCH_REPEATS:-5} local=$SCRATCH/bench results=$OUT/bench-proxy.results
    local tls_port sftp_port entry transport port security proxy
    tls_port=$(cut -d: -f2 <<<"${FTPS_SERVERS%% *}")
    sftp_port=${SFTP_SERVERS#*:}
    sftp_port=${sftp_port%% *}
    log "proxy: $large_mib MiB and $small_count x 4 KiB, through a proxy and straight, $repeats repeats each"
    pair_data
    for entry in "ftps-socks|$tls_port|1|socks5://127.0.0.1:$PROXY_SOCKS_PORT" \
        "ftps-http|$tls_port|1|http://127.0.0.1:$PROXY_HTTP_PORT" \
        "sftp-socks|$sftp_port|sftp|socks5://127.0.0.1:$PROXY_SOCKS_PORT" \
        "sftp-http|$sftp_port|sftp|http://127.0.0.1:$PROXY_HTTP_PORT"; do
        IFS='|' read -r transport port security proxy <<<"$entry"
        pair_repeats direct proxied QUORLIN_BENCH_PROXY="$proxy" || return 1
    done
    python3 "$REPO/bench/pair_report.py" "$results" "$PINNED" \
        "proxy: the transfer bench through a proxy against the same straight to the server" direct proxied
    rm -rf "$local" "$FTP_HOME/bench"
}
