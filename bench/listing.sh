# Listing benchmark: the component's own cost per entry on synthetic find
# records (1k to 1M), keyed lookups, and Files on a real 500-entry listing from
# vsftpd beside the platform's plain find loop. Sourced by bench/run.
bench_listing() {
    local entries=${QUORLIN_BENCH_LISTING_ENTRIES:-500} folder=$FTP_HOME/bench-listing
    log "listing: $entries entries on vsftpd"
    install -d -o "$FTP_USER" "$folder"
    random_files "$folder" "$entries" 100
    "${RUNNER[@]}" $WINE "$BUILD/bench/listing_bench.exe" $PORT "$FTP_USER" "$FTP_PASSWORD" bench-listing \
        >"$OUT/bench-listing.log" 2>&1 || { cat "$OUT/bench-listing.log"; return 1; }
    echo "listing benchmark (wineserver pinned: $PINNED)"
    cat "$OUT/bench-listing.log"
    rm -rf "$folder"
}
