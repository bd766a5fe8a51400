# The examples run as their users run them, against the local servers: the
# scripts with their arguments, the pages' script part with stand-ins for the
# ASP host's objects (tests/support/asp_page.py). Sourced by scripts/test,
# after common.sh; `record` counts.

# Runs one example with the cscript of `arch`: example ARCH OUTPUT SCRIPT ARGS...
run_example() {
    local arch=$1 output=$2 script=$3
    shift 3
    "$(wine_for "$arch")" "$(system_tool "$arch" cscript.exe)" //nologo "$(winpath "$script")" "$@" >"$output" 2>&1 || true
}

# The page's script part: run_page ARCH OUTPUT PAGE NAME=VALUE...
run_page() {
    local arch=$1 output=$2 page=$3 script
    shift 3
    script=$OUT/examples/$(basename "$page" .asp).vbs
    python3 "$REPO/tests/support/asp_page.py" "$page" "$script"
    (export "$@"; run_example "$arch" "$output" "$script")
}

# What the examples work on: a small site on the FTP server, a file an upload
# form saved, a page on the web server.
make_example_fixtures() {
    local site=$FTP_HOME/examples/site
    rm -rf "$FTP_HOME/examples" "$SCRATCH/examples" "$OUT/examples"
    mkdir -p "$site/img" "$FTP_HOME/examples/uploads" "$SCRATCH/examples/saved" "$OUT/examples"
    printf '<h1>home</h1>\n' >"$site/index.html"
    printf 'fish & chips\n' >"$site/a&b.txt"
    head -c 70000 /dev/urandom >"$site/img/logo.png"
    local exchange=$SCRATCH/examples/exchange partner=$FTP_HOME/examples/partner
    mkdir -p "$exchange/outbox" "$partner/in" "$partner/out"
    printf 'order;1\n' >"$exchange/outbox/orders.csv"
    printf 'stock;2\n' >"$exchange/outbox/stock.csv"
    printf 'draft\n' >"$exchange/outbox/notes.tmp"
    printf 'invoice;9\n' >"$partner/out/invoices.csv"
    touch -d '2026-01-02 03:04:05 UTC' "$partner/out/invoices.csv"
    chown -R "$FTP_USER" "$FTP_HOME/examples"
    head -c 150000 /dev/urandom >"$SCRATCH/examples/saved/report.pdf"
    printf '<!DOCTYPE html>\n<title>quorlin example</title>\n<p>served by nginx</p>\n' >"$WWW/example.html"
}

run_examples() {  # arch
    local arch=$1 passed=0 failed=0 log=$OUT/examples/$1 checking="example ($1)" ftp_port
    lacks() { ! grep -qF -- "$2" "$1"; }
    make_example_fixtures
    ftp_port=$(first_ftp_port)
    local app=(QUORLIN_APP_FtpServer=127.0.0.1 QUORLIN_APP_FtpPort="$ftp_port" QUORLIN_APP_FtpUser="$FTP_USER"
               QUORLIN_APP_FtpPassword="$FTP_PASSWORD" QUORLIN_SCRATCH="$(winpath "$SCRATCH")")

    # A saved form file goes up whole; a missing one is reported on the page.
    run_page "$arch" "$log-upload.html" "$REPO/examples/upload_form_file.asp" "${app[@]}" \
        QUORLIN_APP_FtpUploadFolder=examples/uploads \
        QUORLIN_FORM_SavedFile="$(winpath "$SCRATCH/examples/saved")\\report.pdf"
    expect "the upload page says it uploaded" has "$log-upload.html" \
        '<p class="done">Uploaded report.pdf to examples/uploads.</p>'
    expect "the uploaded file arrived whole" cmp -s "$SCRATCH/examples/saved/report.pdf" \
        "$FTP_HOME/examples/uploads/report.pdf"
    expect "the upload page ends" has "$log-upload.html" 'END OF PAGE'
    run_page "$arch" "$log-upload-missing.html" "$REPO/examples/upload_form_file.asp" "${app[@]}" \
        QUORLIN_APP_FtpUploadFolder=examples/uploads \
        QUORLIN_FORM_SavedFile="$(winpath "$SCRATCH/examples/saved")\\gone.pdf"
    expect "the upload page reports a missing file" has "$log-upload-missing.html" \
        '<p class="failed">The upload failed: Error putting file to remote server.PutFile error code: 2 '

    # A CSV made in the page goes up as UTF-8 text; the page shows its size.
    run_page "$arch" "$log-export.html" "$REPO/examples/export_csv.asp" "${app[@]}" \
        QUORLIN_APP_FtpUploadFolder=examples/uploads
    expect "the export page shows the file's size" has "$log-export.html" '<p class="done">Exported orders.csv: 66 bytes, changed '
    expect "the export arrived as UTF-8" cmp -s "$FTP_HOME/examples/uploads/orders.csv" \
        <(printf 'order;customer;total\r\n1001;M\xc3\xbcller;12.50\r\n1002;Smith & Sons;7.25\r\n')
    run_page "$arch" "$log-export-missing.html" "$REPO/examples/export_csv.asp" "${app[@]}" \
        QUORLIN_APP_FtpUploadFolder=examples/none
    expect "the export page reports a missing folder" has "$log-export-missing.html" \
        '<p class="failed">The export failed: Error setting directory.550 '

    # The same over TLS: to a server the machine trusts, and to a self-signed
    # one, which is refused with its fingerprint until that is pinned.
    local tls_port=${FTPS_SERVERS#*:} ftps=(QUORLIN_APP_FtpsServer=127.0.0.1 QUORLIN_APP_FtpsUser="$FTP_USER"
        QUORLIN_APP_FtpsPassword="$FTP_PASSWORD" QUORLIN_APP_FtpsFolder=examples/uploads
        QUORLIN_FORM_SavedFile="$(winpath "$SCRATCH/examples/saved")\\report.pdf")
    rm -f "$FTP_HOME/examples/uploads/report.pdf"
    run_page "$arch" "$log-ftps.html" "$REPO/examples/upload_over_ftps.asp" "${ftps[@]}" \
        QUORLIN_APP_FtpsPort="${tls_port%%:*}" QUORLIN_APP_FtpsFingerprint=
    expect "the FTPS page uploads" has "$log-ftps.html" '<p class="done">Uploaded report.pdf over TLS.</p>'
    expect "the file went up whole over TLS" cmp -s "$SCRATCH/examples/saved/report.pdf" \
        "$FTP_HOME/examples/uploads/report.pdf"
    run_page "$arch" "$log-ftps-self.html" "$REPO/examples/upload_over_ftps.asp" "${ftps[@]}" \
        QUORLIN_APP_FtpsPort="$FTPS_SELF_SIGNED_PORT" QUORLIN_APP_FtpsFingerprint=
    expect "the FTPS page names a refused certificate" has "$log-ftps-self.html" \
        "error code: 12045 Message: The server's certificate has the SHA-256 fingerprint $(cat "$TLS/selfsigned.sha256")."
    run_page "$arch" "$log-ftps-pinned.html" "$REPO/examples/upload_over_ftps.asp" "${ftps[@]}" \
        QUORLIN_APP_FtpsPort="$FTPS_SELF_SIGNED_PORT" QUORLIN_APP_FtpsFingerprint="$(cat "$TLS/selfsigned.sha256")"
    expect "the FTPS page uploads to a pinned server" has "$log-ftps-pinned.html" '<p class="done">Uploaded report.pdf'

    # The same over SFTP with a key: refused until the host key is pinned, then up (pinned by the
    # server's ECDSA key, which it shows when asked for it after its Ed25519 one).
    local sftp_port=${SFTP_SERVERS#*:} sftp=(QUORLIN_APP_SftpServer=127.0.0.1 QUORLIN_APP_SftpUser="$FTP_USER"
        QUORLIN_APP_SftpFolder=examples/uploads QUORLIN_APP_SftpKeyFile="$(winpath "$SSH_KEYS/client/ecdsa_openssh_encrypted")"
        QUORLIN_APP_SftpKeyPassphrase="$SFTP_KEY_PASSPHRASE" QUORLIN_FORM_SavedFile="$(winpath "$SCRATCH/examples/saved")\\report.pdf")
    rm -f "$FTP_HOME/examples/uploads/report.pdf"
    run_page "$arch" "$log-sftp-unpinned.html" "$REPO/examples/upload_over_sftp.asp" "${sftp[@]}" \
        QUORLIN_APP_SftpPort="${sftp_port%% *}" QUORLIN_APP_SftpHostKey=
    expect "the SFTP page names the host key to pin" has "$log-sftp-unpinned.html" \
        "error code: 12045 Message: The server's host key is ssh-ed25519 $(cat "$SSH_KEYS/host/ssh_host_ed25519_key.sha256")."
    run_page "$arch" "$log-sftp.html" "$REPO/examples/upload_over_sftp.asp" "${sftp[@]}" \
        QUORLIN_APP_SftpPort="${sftp_port%% *}" QUORLIN_APP_SftpHostKey="$(cat "$SSH_KEYS/host/ssh_host_ecdsa_key.sha256")"
    expect "the SFTP page uploads" has "$log-sftp.html" '<p class="done">Uploaded report.pdf over SFTP.</p>'
    expect "the file went up whole over SFTP" cmp -s "$SCRATCH/examples/saved/report.pdf" \
        "$FTP_HOME/examples/uploads/report.pdf"

    # The folder as a table, names encoded for HTML.
    run_page "$arch" "$log-table.html" "$REPO/examples/folder_table.asp" "${app[@]}" QUORLIN_QUERY_folder=examples/site
    expect "the table lists the page" has "$log-table.html" '<tr><td>index.html</td><td>file</td><td>14</td><td>'
    expect "the table encodes names" has "$log-table.html" '<tr><td>a&amp;b.txt</td><td>file</td><td>13</td><td>'
    expect "the table lists the folder" has "$log-table.html" '<tr><td>img</td><td>folder</td><td></td><td>'
    expect "the table page has no error" lacks "$log-table.html" 'class="failed"'
    expect "the table page ends" has "$log-table.html" 'END OF PAGE'
    run_page "$arch" "$log-table-missing.html" "$REPO/examples/folder_table.asp" "${app[@]}" QUORLIN_QUERY_folder=examples/none
    expect "the table page reports a missing folder" has "$log-table-missing.html" \
        '<p class="failed">Error setting directory.550 '

    # The nightly mirror, twice (the second run replaces what the first wrote), then with a refused login.
    local mirror=$SCRATCH/examples/mirror
    local server=(127.0.0.1:"$ftp_port" "$FTP_USER" "$FTP_PASSWORD" examples/site "$(winpath "$SCRATCH/examples")\\mirror")
    run_example "$arch" "$log-mirror.log" "$REPO/examples/mirror_nightly.vbs" "${server[@]}"
    printf 'stale\n' >"$mirror/index.html"
    run_example "$arch" "$log-mirror.log" "$REPO/examples/mirror_nightly.vbs" "${server[@]}"
    expect "the mirror reports its files" has "$log-mirror.log" ": 3 files in "
    expect "the mirror equals the site" diff -r "$FTP_HOME/examples/site" "$mirror"
    run_example "$arch" "$log-mirror-refused.log" "$REPO/examples/mirror_nightly.vbs" 127.0.0.1:"$ftp_port" \
        "$FTP_USER" wrong-password examples/site "$(winpath "$mirror")"
    expect "the mirror reports a refused login" has "$log-mirror-refused.log" \
        "failed: Error opening FTP connection.OpenConnection error code: 1201"

    # The nightly exchange: two files sent and filed, one fetched with its time and removed; then nothing to do.
    local exchange=$SCRATCH/examples/exchange partner=$FTP_HOME/examples/partner
    local partners=("${app[@]}" QUORLIN_APP_ExchangeFolder="$(winpath "$exchange")"
                    QUORLIN_APP_PartnerInbox=examples/partner/in QUORLIN_APP_PartnerOutbox=examples/partner/out)
    run_page "$arch" "$log-exchange.html" "$REPO/examples/nightly_exchange.asp" "${partners[@]}"
    expect "the exchange logs each file" has "$log-exchange.html" '<li>sent orders.csv</li>'
    expect "the exchange logs the fetched file" has "$log-exchange.html" '<li>fetched invoices.csv</li>'
    expect "the exchange counts" has "$log-exchange.html" '<p class="done">2 sent, 1 fetched.</p>'
    expect "the sent files arrived whole and were filed" cmp -s "$partner/in/stock.csv" "$exchange/sent/stock.csv"
    expect "what the mask leaves out stays in the outbox" test -f "$exchange/outbox/notes.tmp" -a ! -f "$exchange/outbox/orders.csv"
    expect "the fetched file left the partner's outbox" test ! -e "$partner/out/invoices.csv"
    expect "the fetched file kept its time" test "$(stat -c %Y "$exchange/inbox/invoices.csv" 2>/dev/null)" = \
        "$(date -d '2026-01-02 03:04:05 UTC' +%s)"
    run_page "$arch" "$log-exchange-again.html" "$REPO/examples/nightly_exchange.asp" "${partners[@]}"
    expect "a second exchange has nothing to do" has "$log-exchange-again.html" '<p class="done">0 sent, 0 fetched.</p>'

    # The demo, on a clean slate for the names it uses.
    rm -rf "$FTP_HOME/site" "$SCRATCH/site" "$SCRATCH/site-back" "$SCRATCH"/hello*.txt
    printf '<!DOCTYPE html>\n<title>quorlin demo</title>\n' >"$WWW/index.html"
    (export QUORLIN_FTP_PORT=$ftp_port QUORLIN_FTP_USER=$FTP_USER QUORLIN_FTP_PASSWORD=$FTP_PASSWORD \
        QUORLIN_HTTP_PORT=$HTTP_PORT QUORLIN_SCRATCH="$(winpath "$SCRATCH")"
     run_example "$arch" "$log-demo.log" "$REPO/examples/demo.vbs")
    expect "the demo runs to its end" has "$log-demo.log" "demo done"

    # A page, a missing page, and a server that never answers within the limit.
    run_example "$arch" "$log-fetch.log" "$REPO/examples/fetch_with_limit.js" "127.0.0.1:$HTTP_PORT/example.html"
    expect "the fetch reports the page" has "$log-fetch.log" "title: quorlin example"
    run_example "$arch" "$log-fetch-404.log" "$REPO/examples/fetch_with_limit.js" "127.0.0.1:$HTTP_PORT/none.html"
    expect "the fetch reports the status" has "$log-fetch-404.log" "the server said 404 for /none.html"
    run_example "$arch" "$log-fetch-silent.log" "$REPO/examples/fetch_with_limit.js" \
        "127.0.0.1:$((STALL_PORT + 3))/headers-never" 2
    expect "the fetch gives up on a silent server" has "$log-fetch-silent.log" \
        "no page from 127.0.0.1:$((STALL_PORT + 3))/headers-never: Error opening request received from remote server.GetString error code: 12002 "
    record $passed $failed "examples ($arch)"
}
