# Shared steps of scripts/demo and scripts/test: install, build, Wine prefix,
# registration and the local servers. Source it; it sets up paths only.
set -euo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
OUT=${QUORLIN_OUT:-$REPO/out}
DEPS=$OUT/deps
ARCHES="x86_64 i686"  # both builds of quorlin.dll, from one source
BUILD=$OUT/build-x86_64
BUILD32=$OUT/build-i686
RUN=$OUT/run
export WINEPREFIX=$OUT/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export no_proxy=127.0.0.1,localhost
# Wine reads the host's file names in the locale's character set: UTF-8, so that
# names in any language reach the servers' folders unchanged.
export LC_ALL=C.UTF-8
unset http_proxy https_proxy ftp_proxy HTTP_PROXY HTTPS_PROXY FTP_PROXY || true
WINE=/usr/lib/wine/wine64   # runs 64-bit programs
WINE32=/usr/lib/wine/wine   # runs 32-bit programs in the WoW64 prefix
FTP_USER=quorlintest
FTP_PASSWORD=quorlin-pw
FTP_HOME=$RUN/ftp-home
SCRATCH=$RUN/scratch  # local files of the tests and the demo
# name:port:passive range, one per server
FTP_SERVERS="vsftpd:21021:30000:30049 proftpd:21022:30050:30099 pureftpd:21023:30100:30149"
# nginx: plain HTTP, TLS with a certificate for 127.0.0.1, TLS with one for
# another name; and the stand-in for what nginx cannot do.
HTTP_PORT=28080
HTTPS_PORT=28443
HTTPS_OTHER_NAME_PORT=28444
STAND_IN_PORT=28090
FTP_STAND_IN_PORT=21024  # the scripted FTP server for listings no real server sends
STALL_PORT=21030         # servers that stop answering: 21030-21038, see tests/support/stall_server.py
WWW=$RUN/www  # nginx's document root
TLS=$OUT/tls  # the test CA and the server certificates, made once

log() { printf '== %s\n' "$*"; }

# Per architecture: the build folder, the Wine loader and the system tools of
# that bitness (the 32-bit ones are the syswow64 copies).
build_dir() { printf '%s/build-%s' "$OUT" "$1"; }
wine_for() { if [ "$1" = i686 ]; then echo "$WINE32"; else echo "$WINE"; fi; }
system_tool() {  # arch tool.exe
    if [ "$1" = i686 ]; then printf 'C:\\windows\\syswow64\\%s' "$2"; else printf '%s' "$2"; fi
}

# A Japanese UTF-8 locale of our own (LOCPATH=$LOCALES): Wine takes code page
# 932 from LC_ALL=ja_JP.UTF-8, and reads host file names in UTF-8 only when
# the C library has that locale.
LOCALES=$DEPS/locale
make_japanese_locale() {
    [ -d "$LOCALES/ja_JP.UTF-8" ] && return
    mkdir -p "$LOCALES"
    localedef -i ja_JP -f UTF-8 "$LOCALES/ja_JP.UTF-8" 2>/dev/null || [ -d "$LOCALES/ja_JP.UTF-8" ]
}

install_deps() {
    local need=()
    command -v cmake >/dev/null || need+=(cmake)
    command -v python3 >/dev/null || need+=(python3)
    [ -x $WINE ] || need+=(wine64)
    [ -x $WINE32 ] || need+=(wine32)
    command -v x86_64-w64-mingw32-g++ >/dev/null || need+=(g++-mingw-w64-x86-64)
    command -v i686-w64-mingw32-g++ >/dev/null || need+=(g++-mingw-w64-i686)
    command -v x86_64-w64-mingw32-widl >/dev/null || need+=(mingw-w64-tools)
    [ -d /usr/src/googletest ] || need+=(googletest)
    [ -x /usr/sbin/vsftpd ] || need+=(vsftpd)
    [ -x /usr/sbin/nginx ] || need+=(nginx)
    command -v openssl >/dev/null || need+=(openssl)
    command -v make >/dev/null || need+=(make)
    [ -f /usr/share/i18n/locales/ja_JP ] || need+=(locales)
    for lib in libhiredis0.14 libmemcached11 libmemcachedutil2 libsodium23 libpcre2-posix3; do
        dpkg -s $lib >/dev/null 2>&1 || need+=($lib)
    done
    if [ ${#need[@]} -gt 0 ] || [ ! -d "$DEPS/root/usr/sbin" ]; then
        log "installing ${need[*]:-nothing new}"
        export DEBIAN_FRONTEND=noninteractive
        # wine32 and its libraries come from the i386 architecture.
        dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
        apt_update
        [ ${#need[@]} -eq 0 ] || apt_install "${need[@]}"
    fi
    ensure_32bit_programs
    # Packages that must not be installed beside vsftpd (or are not needed
    # installed): unpacked into a private folder.
    if [ ! -d "$DEPS/root/usr/sbin" ] || [ ! -d "$DEPS/root/usr/include/wine" ]; then
        mkdir -p "$DEPS/debs" "$DEPS/root"
        (cd "$DEPS/debs" && apt-get download libwine-dev proftpd-core pure-ftpd >/dev/null)
        for deb in "$DEPS"/debs/*.deb; do dpkg-deb -x "$deb" "$DEPS/root"; done
    fi
}

# apt-get update, tried again while a mirror is being synchronised; when it
# still complains, the package lists at hand serve, and an install that really
# cannot be done fails with apt's own message.
apt_update() {
    local try
    mkdir -p "$OUT"
    for try in 1 2 3; do
        apt-get update -qq >"$OUT/apt-update.log" 2>&1 && return 0
        log "apt-get update failed (try $try): $(grep -m1 -E '^(E|W):' "$OUT/apt-update.log" || tail -1 "$OUT/apt-update.log")"
        [ $try = 3 ] || sleep $((try * 10))
    done
    log "going on with the package lists at hand"
    APT_LISTS_INCOMPLETE=yes
}
APT_LISTS_INCOMPLETE=no

# With an index missing (one architecture's security updates, say), the two
# architectures' versions of a library may not match: the release's own suite,
# whose indexes agree, is asked for them then.
apt_install() {
    apt-get install -y -qq --no-install-recommends "$@" >"$OUT/apt-install.log" 2>&1 && return 0
    if [ $APT_LISTS_INCOMPLETE = yes ]; then
        log "installing from the $(os_codename) suite alone, as some package lists are missing"
        apt-get install -y -qq --no-install-recommends -t "$(os_codename)" "$@" >"$OUT/apt-install.log" 2>&1 && return 0
    fi
    cat "$OUT/apt-install.log" >&2
    return 1
}

# The 32-bit Wine loader is a 32-bit Linux program. A kernel without IA-32
# emulation cannot run it: there qemu-user (10 or later; older ones take a
# minute to start each process) is registered as the interpreter of i386 ELF
# programs. The registration pins the interpreter file it opened and is lost
# at reboot, so it is made anew on every run.
QEMU_I386_ENTRY=/proc/sys/fs/binfmt_misc/qemu-i386
ensure_32bit_programs() {
    mountpoint -q /proc/sys/fs/binfmt_misc || mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
    # Only our own entry is dropped: a machine's own registration stays as it is.
    if [ -e $QEMU_I386_ENTRY ] && grep -qx 'interpreter /usr/bin/qemu-i386' $QEMU_I386_ENTRY; then
        echo -1 >$QEMU_I386_ENTRY
    fi
    if $WINE32 --version >/dev/null 2>&1; then
        log "32-bit programs run natively"
        return 0
    fi
    if ! qemu_is_recent; then
        log "this kernel runs no 32-bit programs: installing qemu-user from backports"
        add_backports
        apt_install -t "$(os_codename)-backports" qemu-user
        qemu_is_recent || { echo "qemu-user 10 or later is not to be had: $(/usr/bin/qemu-i386 --version | head -1)" >&2; return 1; }
    fi
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' \
        >/proc/sys/fs/binfmt_misc/register
    $WINE32 --version >/dev/null 2>&1 || { echo "the 32-bit Wine loader does not run through qemu-user" >&2; return 1; }
    log "32-bit programs run through qemu-user $(/usr/bin/qemu-i386 --version | sed -nE '1s/.*version ([0-9.]+).*/\1/p')"
}
qemu_is_recent() {
    local major
    [ -x /usr/bin/qemu-i386 ] || return 1
    major=$(/usr/bin/qemu-i386 --version | sed -nE '1s/.*version ([0-9]+)\..*/\1/p')
    [ "${major:-0}" -ge 10 ]
}
os_codename() { . /etc/os-release && printf '%s' "$VERSION_CODENAME"; }
# The backports suite from the same archive, with the same key, as the machine's own sources.
add_backports() {
    local codename archive list=/etc/apt/sources.list.d/quorlin-backports.sources
    codename=$(os_codename)
    [ -f $list ] && return 0
    archive=$(awk -v suite="$codename" '
        /^URIs:/ { uri = $2 }
        /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == suite) { print uri; exit } }' \
        /etc/apt/sources.list.d/*.sources 2>/dev/null)
    [ -n "$archive" ] || archive=$(awk -v suite="$codename" '$1 == "deb" && $3 == suite { print $2; exit }' \
        /etc/apt/sources.list 2>/dev/null)
    [ -n "$archive" ] || { echo "no source for $codename to take backports from" >&2; return 1; }
    printf 'Types: deb\nURIs: %s\nSuites: %s-backports\nComponents: main\nSigned-By: %s\n' \
        "$archive" "$codename" /usr/share/keyrings/debian-archive-keyring.gpg >$list
    apt_update
}

build() {  # architectures, default both
    local arch stdole
    for arch in ${*:-$ARCHES}; do
        log "building $arch"
        stdole=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
        [ "$arch" = i686 ] && stdole=/usr/lib/i386-linux-gnu/wine/i386-windows
        build_ssh_libraries "$arch"
        cmake -S "$REPO" -B "$(build_dir "$arch")" -DCMAKE_TOOLCHAIN_FILE="$REPO/cmake/mingw-$arch.cmake" \
            -DCMAKE_BUILD_TYPE=Release -DQUORLIN_SSH_DIR="$(ssh_library_dir "$arch")" \
            -DQUORLIN_IDL_INCLUDE="$DEPS/root/usr/include/wine/wine/windows" \
            -DQUORLIN_STDOLE_DIR=$stdole >"$OUT/cmake-$arch.log" 2>&1 \
            || { cat "$OUT/cmake-$arch.log"; return 1; }
        cmake --build "$(build_dir "$arch")" -j"$(nproc)" >"$OUT/build-$arch.log" 2>&1 \
            || { tail -50 "$OUT/build-$arch.log"; return 1; }
    done
}

winpath() { printf 'Z:%s' "$(readlink -f "$1" | tr / '\\')"; }

# Runs a Windows program with its output in a file (a pipe costs a second per
# run): wine_run OUTPUT LOADER PROGRAM ARGS...
wine_run() {
    local output=$1; shift
    "$@" >"$output" 2>&1
}

# A WoW64 prefix: only one created while 32-bit programs could run gets a
# working syswow64 (its 32-bit programs registered), so a prefix without the
# marker, or whose syswow64 does not work, is made anew.
prepare_prefix() {
    if [ ! -f "$WINEPREFIX/.wow64" ] || ! syswow64_works; then
        log "creating the Wine prefix"
        stop_wine
        rm -rf "$WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        $WINE wineboot -i >"$OUT/wineboot.log" 2>&1
        syswow64_works || { echo "no working syswow64 in the prefix" >&2; return 1; }
        touch "$WINEPREFIX/.wow64"
    fi
    /usr/lib/wine/wineserver -p 2>/dev/null || true
}
# The 32-bit reg tool runs and finds the 32-bit VBScript engine's class, which
# only a 32-bit wineboot registers.
syswow64_works() {
    wine_run "$OUT/syswow64.log" $WINE32 'C:\windows\syswow64\reg.exe' query \
        'HKCR\CLSID\{B54F3741-5B07-11CF-A4B0-00AA004A55E8}\InprocServer32'
}

register_dll() {  # arch [/u]
    local arch=$1; shift
    wine_run "$OUT/regsvr32-$arch.log" "$(wine_for "$arch")" "$(system_tool "$arch" regsvr32.exe)" /s "$@" \
        "$(winpath "$(build_dir "$arch")/quorlin.dll")"
}

register() {  # architectures, default both
    local arch
    for arch in ${*:-$ARCHES}; do
        log "registering the $arch quorlin.dll"
        register_dll "$arch"
        wine_run "$OUT/regtlb-$arch.log" "$(wine_for "$arch")" "$(build_dir "$arch")/tests/regtypelib.exe" \
            "$(winpath "$(build_dir "$arch")/generated/asptypelib.tlb")"
    done
}

stop_wine() { /usr/lib/wine/wineserver -k 2>/dev/null || true; }

# One check of a suite, counted into the caller's `passed` and `failed`; a
# failure is named with the caller's `checking`: expect WHAT COMMAND...
expect() {
    local what=$1; shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $checking: $what"; fi
}
has() { grep -qF -- "$2" "$1"; }  # file text
# Whether each of the 8 creations by whichserver.exe of bitness ARCH reaches
# DLL (a Windows path): served_from LOG ARCH DLL
served_from() {
    wine_run "$1" "$(wine_for "$2")" "$(build_dir "$2")/tests/whichserver.exe" || return 1
    [ "$(grep -cF -- " $3" "$1")" = 8 ]
}
first_ftp_port() { local port=${FTP_SERVERS#*:}; printf '%s' "${port%%:*}"; }

# Every registry key of the library still present in the prefix, in either
# view; no_keys_left says which when any is.
keys_left() {
    local view key
    for view in 32 64; do
        for key in 'CLSID\{004F8AFA-CE85-4987-9F1B-9E1E31DD9389}' 'CLSID\{CA4F5854-F87E-41DD-9292-EFB246456348}' \
            'CLSID\{4FB3964D-525B-4E05-9412-ACFF94444051}' 'CLSID\{1722FF54-2AF5-47DC-8E17-0792786A53CF}' \
            'TypeLib\{9F7C9CD1-ED58-45C8-9190-218B634AA491}' 'Interface\{A398B91B-4CD2-4228-8FE2-D73F6493D803}' \
            'Interface\{83B0D1E7-D639-43BD-82E2-5143BCBAB223}' 'Interface\{5B0E8F0C-6A3B-4D2E-9C71-2F4B8D1E6A30}' \
            'Interface\{8C3D2A71-0E94-4B6F-A5D8-71C0E93B4F12}' 'Interface\{13017527-C4AE-447B-8A55-B6405D374B50}' \
            'Interface\{D087C19B-2D3E-4E9E-A493-78DB7E715063}' 'Interface\{E2A54C37-91D8-4F0B-B6E3-5C07A9D2F148}' \
            'Interface\{0032DD25-7DCB-459C-A3B2-D668738B7812}' \
            'Interface\{654E45B4-12B1-463E-AB95-C4D6A03D0C72}'; do
            if wine_run "$OUT/reg.log" "$WINE" reg query "HKCR\\$key" "/reg:$view"; then echo "$key (view $view)"; fi
        done
    done
    # ProgIDs are shared by both views; the 32-bit reg tool reads them as any client would.
    for key in quorlin.FTP quorlin.HTTP quorlin.FTPFile quorlin.FTPFiles; do
        if wine_run "$OUT/reg.log" "$WINE32" 'C:\windows\syswow64\reg.exe' query "HKCR\\$key"; then echo "$key"; fi
    done
}
no_keys_left() {
    local left
    left=$(keys_left)
    [ -z "$left" ] || { echo "left behind:" $left; return 1; }
}

ensure_ftp_user() {
    mkdir -p "$FTP_HOME"
    id "$FTP_USER" >/dev/null 2>&1 || useradd -M -d "$FTP_HOME" -s /bin/bash "$FTP_USER"
    usermod -d "$FTP_HOME" "$FTP_USER" >/dev/null 2>&1 || true
    echo "$FTP_USER:$FTP_PASSWORD" | chpasswd
    chown "$FTP_USER" "$FTP_HOME"
    grep -qx /bin/bash /etc/shells || echo /bin/bash >>/etc/shells
}

start_vsftpd() {  # port low high
    local dir=$RUN/vsftpd
    mkdir -p "$dir/empty"
    cat >"$dir/vsftpd.conf" <<CONF
listen=YES
listen_address=127.0.0.1
listen_port=$1
background=NO
seccomp_sandbox=NO
pasv_enable=YES
pasv_min_port=$2
pasv_max_port=$3
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
xferlog_enable=NO
vsftpd_log_file=$dir/vsftpd.log
CONF
    TZ=UTC /usr/sbin/vsftpd "$dir/vsftpd.conf" >"$dir/out.log" 2>&1 &
    echo $! >"$dir/pid"
}

start_proftpd() {  # port low high [folder under $RUN [more configuration]]
    local dir=$RUN/${4:-proftpd}
    mkdir -p "$dir"
    cat >"$dir/proftpd.conf" <<CONF
ServerName "quorlin test"
ServerType standalone
DefaultServer on
DefaultAddress 127.0.0.1
Port $1
PassivePorts $2 $3
UseIPv6 off
User root
Group root
Umask 022
AllowOverwrite on
AuthPAM off
AuthOrder mod_auth_unix.c
RequireValidShell off
UseReverseDNS off
ScoreboardFile $dir/scoreboard
PidFile $dir/proftpd.pid
DelayTable none
WtmpLog off
TransferLog none
SystemLog $dir/proftpd.log
${5:-}
<Limit LOGIN>
  AllowAll
</Limit>
# Folders named "dots" list "." and ".." as well, as some servers do.
<Directory $(readlink -f "$FTP_HOME")/*/dots>
  ListOptions "-a"
</Directory>
CONF
    TZ=UTC LD_LIBRARY_PATH="$DEPS/root/usr/lib/x86_64-linux-gnu" "$DEPS/root/usr/sbin/proftpd" -n -q -c "$dir/proftpd.conf" \
        >"$dir/out.log" 2>&1 &
    echo $! >"$dir/pid"
}

start_pureftpd() {
    local dir=$RUN/pureftpd
    mkdir -p "$dir"
    TZ=UTC LD_LIBRARY_PATH="$DEPS/root/usr/lib/x86_64-linux-gnu" "$DEPS/root/usr/sbin/pure-ftpd" -S "127.0.0.1,$1" -p "$2:$3" \
        -P 127.0.0.1 -l unix -E -4 -H -A >"$dir/out.log" 2>&1 &
    echo $! >"$dir/pid"
}

# A test CA and, signed by it, a certificate for 127.0.0.1 and localhost and
# one for another name. The CA is trusted inside the private prefix only.
make_certificates() {
    [ -f "$TLS/ip-address.crt" ] && return 0
    mkdir -p "$TLS"
    local days=3650
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$TLS/ca.key" -out "$TLS/ca.crt" -days $days \
        -subj "/CN=quorlin test CA" -addext "basicConstraints=critical,CA:TRUE" \
        -addext "keyUsage=critical,keyCertSign,cRLSign" >"$TLS/openssl.log" 2>&1
    openssl x509 -in "$TLS/ca.crt" -outform der -out "$TLS/ca.der"
    local name san
    # The platform's HTTP client ignores IP entries in a certificate's names,
    # and the component's own FTP client takes nothing else for an address:
    # 127.0.0.1 goes in both ways. dns-address names the address only as DNS
    # names, ip-address only as an IP entry.
    for name in server other dns-address ip-address; do
        case $name in
            server) san="DNS:127.0.0.1,IP:127.0.0.1,DNS:localhost" ;;
            other) san="DNS:other.example" ;;
            dns-address) san="DNS:*.0.0.1,DNS:127.0.0.1" ;;
            ip-address) san="IP:127.0.0.1" ;;
        esac
        openssl req -newkey rsa:2048 -nodes -keyout "$TLS/$name.key" -out "$TLS/$name.csr" -subj "/CN=$name" \
            >>"$TLS/openssl.log" 2>&1
        printf 'subjectAltName=%s\nextendedKeyUsage=serverAuth\n' "$san" >"$TLS/$name.ext"
        openssl x509 -req -in "$TLS/$name.csr" -CA "$TLS/ca.crt" -CAkey "$TLS/ca.key" -CAcreateserial \
            -out "$TLS/$name.crt" -days $days -extfile "$TLS/$name.ext" >>"$TLS/openssl.log" 2>&1
    done
}

# Puts the test CA into the prefix's trusted roots (for both bitnesses).
trust_test_ca() {
    local arch
    for arch in ${*:-$ARCHES}; do
        wine_run "$OUT/trustca-$arch.log" "$(wine_for "$arch")" "$(build_dir "$arch")/tests/trustca.exe" \
            "$(winpath "$TLS/ca.der")"
    done
}

start_nginx() {
    local dir=$RUN/nginx
    mkdir -p "$dir/logs" "$dir/temp" "$WWW"
    echo 'location = /status/500 { return 500 "the server failed\n"; }' >"$dir/pages.conf"
    cat >"$dir/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
user root;
pid $dir/nginx.pid;
error_log $dir/logs/error.log;
events { worker_connections 256; }
http {
    client_body_temp_path $dir/temp/body;
    proxy_temp_path $dir/temp/proxy;
    fastcgi_temp_path $dir/temp/fastcgi;
    uwsgi_temp_path $dir/temp/uwsgi;
    scgi_temp_path $dir/temp/scgi;
    default_type application/octet-stream;
    # What each request carried: agent, path and every cache-validation header.
    log_format requests '"\$request" agent="\$http_user_agent" host="\$http_host" ims="\$http_if_modified_since" '
                        'inm="\$http_if_none_match" cc="\$http_cache_control" pragma="\$http_pragma" '
                        'status=\$status port=\$server_port';
    access_log $dir/logs/access.log requests;
    root $WWW;
    server {
        listen 127.0.0.1:$HTTP_PORT;
        include $dir/pages.conf;
    }
    server {
        listen 127.0.0.1:$HTTPS_PORT ssl;
        include $dir/pages.conf;
        ssl_certificate $TLS/server.crt;
        ssl_certificate_key $TLS/server.key;
    }
    server {
        listen 127.0.0.1:$HTTPS_OTHER_NAME_PORT ssl;
        include $dir/pages.conf;
        ssl_certificate $TLS/other.crt;
        ssl_certificate_key $TLS/other.key;
    }
}
CONF
    /usr/sbin/nginx -c "$dir/nginx.conf" -p "$dir" -e "$dir/logs/error.log" >"$dir/out.log" 2>&1 &
    echo $! >"$dir/pid"
}

start_stand_in() {  # name script port [arguments]
    local dir=$RUN/$1
    mkdir -p "$dir"
    python3 "$REPO/tests/support/$2" "${@:3}" >"$dir/out.log" 2>&1 &
    echo $! >"$dir/pid"
}

start_http_servers() {
    make_certificates
    log "starting nginx on 127.0.0.1:$HTTP_PORT, $HTTPS_PORT and $HTTPS_OTHER_NAME_PORT"
    start_nginx
    start_stand_in stand-in http_stand_in.py "$STAND_IN_PORT"
    start_stand_in ftp-stand-in ftp_stand_in.py "$FTP_STAND_IN_PORT"
    start_stand_in stall stall_server.py "$STALL_PORT" "$TLS/server.crt" "$TLS/server.key" "$TLS/other.crt" \
        "$TLS/other.key"
    wait_port "$HTTP_PORT" "$RUN/nginx/pid"
    wait_port "$HTTPS_PORT" "$RUN/nginx/pid"
    wait_port "$STAND_IN_PORT" "$RUN/stand-in/pid"
    wait_port "$FTP_STAND_IN_PORT" "$RUN/ftp-stand-in/pid"
    wait_port $((STALL_PORT + 8)) "$RUN/stall/pid"
}

# Empties the FTP home and the local scratch folder, so every run starts clean.
reset_folders() {
    ensure_ftp_user
    find "$FTP_HOME" -mindepth 1 -delete
    rm -rf "$SCRATCH" "$WWW"
    mkdir -p "$SCRATCH" "$WWW"
}

wait_port() {  # port [pid file of the server that must be the one listening]
    local port=$1 i
    for i in $(seq 1 100); do
        if (exec 3<>/dev/tcp/127.0.0.1/"$port") 2>/dev/null; then
            # Another process on the port (one left over from an earlier run) is no server of ours.
            if [ -n "${2:-}" ] && ! kill -0 "$(cat "$2")" 2>/dev/null; then
                echo "port $port is taken by another process" >&2
                return 1
            fi
            return 0
        fi
        sleep 0.1
    done
    echo "server on port $port did not start" >&2
    return 1
}

# Each server lists times in UTC, whatever the machine's zone.
start_ftp_servers() {  # names to start, default all
    ensure_ftp_user
    local entry name port low high
    for entry in $FTP_SERVERS; do
        IFS=: read -r name port low high <<<"$entry"
        if [ $# -gt 0 ] && [[ " $* " != *" $name "* ]]; then continue; fi
        log "starting $name on 127.0.0.1:$port"
        start_"$name" "$port" "$low" "$high"
        wait_port "$port" "$RUN/$name/pid"
    done
}

# Stops every server started and waits until each has let go of its port.
stop_servers() {
    local pidfile pid i
    for pidfile in "$RUN"/*/pid; do
        [ -f "$pidfile" ] || continue
        pid=$(cat "$pidfile")
        kill "$pid" 2>/dev/null || true
        for i in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        rm -f "$pidfile"
    done
}

source "$REPO/scripts/lib/sshlib.sh"
