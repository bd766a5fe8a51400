# HTTP benchmark against nginx: GetString on a 256 MiB body beside curl, the
# peak working set of that call, and 100 small pages in a row beside curl in
# one process. Sourced by bench/run.
bench_http() {
    local mib=${QUORLIN_BENCH_HTTP_MIB:-256} count=${QUORLIN_BENCH_HTTP_PAGES:-100}
    local base=http://127.0.0.1:$HTTP_PORT i
    log "http: a $mib MiB body and $count small pages"
    head -c $((mib * 1024 * 1024)) /dev/urandom >"$WWW/large.bin"
    head -c 2000 /dev/urandom | base64 >"$WWW/small.txt"
    "${RUNNER[@]}" $WINE "$BUILD/bench/http_bench.exe" "$base/large.bin" "$base/small.txt" "$count" \
        >"$OUT/bench-http.log" 2>&1 || { cat "$OUT/bench-http.log"; return 1; }
    declare -A quorlin
    local result value
    while read -r _ result value; do quorlin[$result]=$value; done < <(grep '^RESULT' "$OUT/bench-http.log")
    local curl_large curl_small
    curl_large=$(timed curl -sS -o /dev/null "$base/large.bin")
    curl_small=$(timed curl -sS $(for i in $(seq 1 "$count"); do printf -- '-o /dev/null %s ' "$base/small.txt"; done))
    python3 "$REPO/bench/http_report.py" "$mib" "$count" "$PINNED" "${quorlin[large-seconds]}" \
        "${quorlin[large-characters]}" "${quorlin[working-set-before]}" "${quorlin[peak-working-set]}" \
        "${quorlin[small-seconds]}" "$curl_large" "$curl_small"
    rm -f "$WWW/large.bin" "$WWW/small.txt"
}
