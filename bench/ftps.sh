# FTPS benchmark: the transfer benchmark over explicit TLS against vsftpd,
# beside curl --ssl-reqd, with 2,000 small files; then the same run's plain-FTP
# figures against the plain vsftpd. Sourced by bench/run.
bench_ftps() {
    source "$REPO/scripts/lib/ftps.sh"
    start_ftps_servers
    trust_test_ca x86_64
    local entry=${FTPS_SERVERS%% *} port
    port=$(cut -d: -f2 <<<"$entry")
    QUORLIN_BENCH_SMALL_COUNT=${QUORLIN_BENCH_SMALL_COUNT:-2000} bench_transfer "$port" 1
    QUORLIN_BENCH_SMALL_COUNT=${QUORLIN_BENCH_SMALL_COUNT:-2000} bench_transfer "$PORT" 0
}
