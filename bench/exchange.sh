# Exchange benchmark: PutFiles/GetFiles of 2,000 files of 4 KiB beside
# PutDirectory/GetDirectory of the same files, and Synchronize of an unchanged
# tree of 2,000 files in 20 folders beside listing it, over plain FTP
# (vsftpd), FTP over TLS (proftpd, which lists with MLSD) and SFTP (OpenSSH).
# Sourced by bench/run.
bench_exchange() {
    source "$REPO/scripts/lib/ftps.sh"
    source "$REPO/scripts/lib/sftp.sh"
    start_ftps_servers
    start_sftp_servers
    trust_test_ca x86_64
    local files=${QUORLIN_BENCH_EXCHANGE_FILES:-2000} folders=20 repeats=${QUORLIN_BENCH_REPEATS:-3}
    local local=$SCRATCH/bench-exchange remote=$FTP_HOME/bench-exchange i
    local sftp_port=${SFTP_SERVERS#*:} proftpd_tls
    sftp_port=${sftp_port%% *}
    proftpd_tls=$(tr ' ' '\n' <<<"$FTPS_SERVERS" | grep '^proftpd-explicit:' | cut -d: -f2)
    log "exchange: $files files of 4 KiB, flat and in $folders folders, $repeats repeats"
    rm -rf "$local"
    mkdir -p "$local/flat"
    random_files "$local/flat" "$files" 4096
    for i in $(seq -w 1 "$folders"); do
        mkdir -p "$local/tree/d$i"
        random_files "$local/tree/d$i" $((files / folders)) 4096
    done
    echo "exchange benchmark, $files files of 4 KiB (wineserver pinned: $PINNED)"
    local transport name port security
    for transport in "plain FTP, vsftpd:$PORT:0" "FTP over TLS, proftpd (MLSD):$proftpd_tls:1" \
        "SFTP, OpenSSH:$sftp_port:-1"; do
        IFS=: read -r name port security <<<"$transport"
        rm -rf "$remote" "$local"/*-down*
        install -d -o "$FTP_USER" "$remote"
        QUORLIN_BENCH_HOST_KEYS=$QUORLIN_SFTP_OPENSSH_FINGERPRINTS "${RUNNER[@]}" $WINE "$BUILD/bench/exchange_bench.exe" \
            "$port" "$FTP_USER" "$FTP_PASSWORD" "$security" "$(winpath "$local")" "$(readlink -f "$remote")" \
            "$repeats" >"$OUT/bench-exchange.log" 2>&1 || { cat "$OUT/bench-exchange.log"; return 1; }
        diff -r "$local/flat" "$remote/files-up" >/dev/null || { echo "PutFiles' copy differs ($name)"; return 1; }
        diff -r "$local/flat" "$local/files-down0" >/dev/null || { echo "GetFiles' copy differs ($name)"; return 1; }
        echo " $name"
        grep -v '^RESULT' "$OUT/bench-exchange.log"
    done
    rm -rf "$local" "$remote"
}
