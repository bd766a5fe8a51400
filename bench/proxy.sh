# Proxy benchmark: the transfer benchmark's component run through a proxy
# beside the same run straight to the server, taking turns (which goes first
# alternating): FTP over TLS (vsftpd, explicit) and SFTP (OpenSSH), each
# through dante (SOCKS5) and tinyproxy (HTTP CONNECT). Sourced by bench/run.
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
    local tls_port sftp_port entry transport port security proxy repeat
    tls_port=$(cut -d: -f2 <<<"${FTPS_SERVERS%% *}")
    sftp_port=${SFTP_SERVERS#*:}
    sftp_port=${sftp_port%% *}
    log "proxy: $large_mib MiB and $small_count x 4 KiB, through a proxy and straight, $repeats repeats each"
    mkdir -p "$local/small"
    install -d -o "$FTP_USER" "$FTP_HOME/bench"
    head -c $((large_mib * 1024 * 1024)) /dev/urandom >"$local/large.bin"
    random_files "$local/small" "$small_count" 4096
    : >"$results"
    for entry in "ftps-socks|$tls_port|1|socks5://127.0.0.1:$PROXY_SOCKS_PORT" \
        "ftps-http|$tls_port|1|http://127.0.0.1:$PROXY_HTTP_PORT" \
        "sftp-socks|$sftp_port|sftp|socks5://127.0.0.1:$PROXY_SOCKS_PORT" \
        "sftp-http|$sftp_port|sftp|http://127.0.0.1:$PROXY_HTTP_PORT"; do
        IFS='|' read -r transport port security proxy <<<"$entry"
        for repeat in $(seq 1 "$repeats"); do
            if [ $((repeat % 2)) = 1 ]; then
                proxy_run "$repeat" proxied && proxy_run "$repeat" direct
            else
                proxy_run "$repeat" direct && proxy_run "$repeat" proxied
            fi || return 1
        done
    done
    python3 "$REPO/bench/pair_report.py" "$results" "$PINNED" \
        "proxy: the transfer bench through a proxy against the same straight to the server" direct proxied
    rm -rf "$local" "$FTP_HOME/bench"
}

# One run of the component: lines "REPEAT TRANSPORT proxied|direct FIGURE SECONDS" in $results.
proxy_run() {
    local routed=()
    rm -rf "$local/small-back" "$local/small-fresh"
    mkdir -p "$local/small-back" "$local/small-fresh"
    [ "$2" = proxied ] && routed=(QUORLIN_BENCH_PROXY="$proxy")
    env "${routed[@]}" QUORLIN_BENCH_HOST_KEYS="$QUORLIN_SFTP_OPENSSH_FINGERPRINTS" "${RUNNER[@]}" $WINE \
        "$BUILD/bench/transfer_bench.exe" "$port" "$FTP_USER" "$FTP_PASSWORD" "$(winpath "$local")" large.bin \
        "$small_count" "$security" >"$OUT/bench-proxy.log" 2>&1 || { cat "$OUT/bench-proxy.log"; return 1; }
    cmp -s "$local/large.bin" "$local/large.bin.back" || { echo "large file came back different"; return 1; }
    sed -nE "s/^RESULT ([a-z-]+) ([0-9.]+).*/$1 $transport $2 \1 \2/p" "$OUT/bench-proxy.log" >>"$results"
}
