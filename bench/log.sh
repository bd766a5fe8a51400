# Session-log benchmark: the transfer benchmark's component run with LogFile
# set beside the same run without it, taking turns (bench/pairs.sh), over
# plain FTP (vsftpd), FTP over TLS (vsftpd, explicit) and SFTP (OpenSSH). The
# report gives each figure's median with and without the log and the median
# of each repeat's own ratio. Sourced by bench/run.
bench_log() {
    source "$REPO/scripts/lib/ftps.sh"
    source "$REPO/scripts/lib/sftp.sh"
    start_ftps_servers
    trust_test_ca x86_64
    start_sftp_servers
    local large_mib=${QUORLIN_BENCH_LARGE_MIB:-256} small_count=${QUORLIN_BENCH_SMALL_COUNT:-500}
    local repeats=${QUORLIN_BENCH_REPEATS:-5} local=$SCRATCH/bench results=$OUT/bench-log.results
    local tls_port sftp_port transport port security
    tls_port=$(cut -d: -f2 <<<"${FTPS_SERVERS%% *}")
    sftp_port=${SFTP_SERVERS#*:}
    sftp_port=${sftp_port%% *}
    log "log: $large_mib MiB and $small_count x 4 KiB, with and without LogFile, $repeats repeats per transport"
    pair_data
    for transport in "ftp:$PORT:0" "ftps:$tls_port:1" "sftp:$sftp_port:sftp"; do
        IFS=: read -r transport port security <<<"$transport"
        pair_repeats without with QUORLIN_BENCH_LOG="$(winpath "$local")\\session.log" || return 1
    done
    # The runs with the log wrote it, over every transport.
    local logged
    for logged in "through the platform's client" "FTP over explicit TLS" "SFTP over SSH"; do
        grep -q -- "$logged" "$local/session.log" || { echo "nothing logged: $logged"; return 1; }
    done
    python3 "$REPO/bench/pair_report.py" "$results" "$PINNED" \
        "session log: the transfer bench with LogFile set against the same without it" without with
    rm -rf "$local" "$FTP_HOME/bench"
}
