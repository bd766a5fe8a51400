# libssh2 on OpenSSL's libcrypto, as static libraries for the MinGW targets.
# Source after common.sh; it sets up names only. Bookworm has only libssh2
# 1.10 and OpenSSL 3.0 (no Argon2 for PuTTY's keys), so both come from Debian
# trixie's source packages, fetched through an apt configuration of our own
# under $DEPS.
#   build_ssh_libraries ARCH   x86_64 or i686; made once, then cached
#   ssh_library_dir ARCH       its include/ and lib/ (libssh2.a, libcrypto.a)
# Users compile with -I"$(ssh_library_dir ARCH)/include", call
# OPENSSL_thread_stop() as each thread ends (a static libcrypto has no DllMain
# of its own), and link, in this order:
#   libssh2.a libcrypto.a -lws2_32 -lcrypt32 -lbcrypt -ladvapi32 -luser32

SSH_LIBSSH2_VERSION=1.11.1-1+deb13u2
# The oldest release taken: the newest one the archive serves is used.
SSH_OPENSSL_VERSION=3.5.7-1~deb13u2
SSH_SUITE=trixie
SSH_APT=$DEPS/apt-$SSH_SUITE
SSH_SRC=$DEPS/src
SSH_BUILD=$DEPS/ssh-build
SSH_KEYRING=/usr/share/keyrings/debian-archive-keyring.gpg
# Our fixes to libssh2, on top of Debian's patches.
SSH_LIBSSH2_PATCHES=$REPO/scripts/lib/libssh2-repeated-sig-algs.patch
SSH_CFLAGS="-Os -ffunction-sections -fdata-sections"
# libcrypto trimmed to what libssh2 and the key readers use. DES stays
# (3DES-encrypted PEM keys), BLAKE2 stays (Argon2 needs it), and so do the
# deprecated calls (libssh2 1.11 uses HMAC_*).
SSH_OPENSSL_OPTIONS="no-shared no-apps no-tests no-docs no-module no-engine no-legacy no-dso no-ui-console
    no-autoload-config no-winstore no-async no-filenames no-sock no-http no-ocsp no-cmp no-cms no-ct no-ts no-srp
    no-comp no-aria no-bf no-camellia no-cast no-idea no-md4 no-mdc2 no-rc2 no-rc4 no-rmd160 no-seed no-siphash
    no-siv no-sm2 no-sm3 no-sm4 no-whirlpool no-dsa no-scrypt no-ec2m no-ml-dsa no-ml-kem no-slh-dsa no-rfc3779
    no-ocb no-quic no-dtls no-srtp no-ssl-trace no-nextprotoneg"

ssh_library_dir() { echo "$DEPS/ssh-$1"; }

# What a build is made from; a build stamped with anything else is made anew.
ssh_recipe() {
    printf 'libssh2 %s, OpenSSL %s, %s, %s, licences, %s' "$SSH_LIBSSH2_VERSION" "$SSH_OPENSSL_VERSION" \
        "$SSH_CFLAGS" "$(echo $SSH_OPENSSL_OPTIONS)" "$(cat $SSH_LIBSSH2_PATCHES | sha256sum | cut -c1-16)"
}

build_ssh_libraries() {  # arch
    local arch=$1 prefix stamp
    case $arch in x86_64 | i686) ;; *) echo "build_ssh_libraries: no MinGW target for '$arch'" >&2; return 1 ;; esac
    prefix=$(ssh_library_dir "$arch")
    stamp=$prefix/.recipe
    if [ -f "$stamp" ] && [ "$(head -1 "$stamp")" = "$(ssh_recipe)" ]; then
        log "ssh libraries for $arch: $(sed -n 2p "$stamp") (built before)"
        return 0
    fi
    ssh_fetch_sources || return 1
    log "building the ssh libraries for $arch: libssh2 $SSH_LIBSSH2_USED, OpenSSL $SSH_OPENSSL_USED"
    rm -rf "$prefix" "${SSH_BUILD:?}/$arch"
    mkdir -p "$SSH_BUILD/$arch"
    ssh_build_openssl "$arch" "$prefix" || return 1
    ssh_patch_libssh2 || return 1
    ssh_build_libssh2 "$arch" "$prefix" || return 1
    # Their licences go into the release package beside ours.
    mkdir -p "$prefix/licenses"
    cp "$SSH_LIBSSH2_SOURCE/COPYING" "$prefix/licenses/libssh2.txt"
    cp "$SSH_OPENSSL_SOURCE/LICENSE.txt" "$prefix/licenses/openssl.txt"
    printf '%s\nlibssh2 %s, OpenSSL %s\n' "$(ssh_recipe)" "$SSH_LIBSSH2_USED" "$SSH_OPENSSL_USED" >"$stamp"
    log "ssh libraries for $arch in $prefix"
}

# Runs a step with its output in a log file, whose tail is shown if it fails:
# ssh_step LOG COMMAND...
ssh_step() {
    local output=$1; shift
    "$@" >"$output" 2>&1 && return 0
    echo "failed, the end of $output:" >&2
    tail -40 "$output" >&2
    return 1
}

# libcrypto alone, built in a copy of the source of its own per target.
# Debian's pic.patch makes the 32-bit assembly ELF-only, which MinGW's
# assembler rejects: the i686 copy goes without it.
ssh_build_openssl() {  # arch prefix
    local arch=$1 prefix=$2 build=$SSH_BUILD/$1/openssl target=mingw64
    [ "$arch" = x86_64 ] || target=mingw
    cp -r "$SSH_OPENSSL_SOURCE" "$build"
    if [ "$arch" = i686 ]; then
        (cd "$build" && ssh_step "$SSH_BUILD/$arch/openssl-unpatch.log" patch -p1 -R -f -i debian/patches/pic.patch) ||
            return 1
    fi
    # shellcheck disable=SC2086 # the options are words
    (cd "$build" && CFLAGS="$SSH_CFLAGS" ssh_step "$SSH_BUILD/$arch/openssl-configure.log" perl Configure "$target" \
        --cross-compile-prefix="$arch-w64-mingw32-" $SSH_OPENSSL_OPTIONS) || return 1
    (cd "$build" && ssh_step "$SSH_BUILD/$arch/openssl-build.log" make -j2 build_generated &&
        ssh_step "$SSH_BUILD/$arch/openssl-build.log" make -j2 libcrypto.a) || return 1
    mkdir -p "$prefix/include" "$prefix/lib"
    cp -r "$build/include/openssl" "$prefix/include/"
    cp "$build/libcrypto.a" "$prefix/lib/"
}

# Our patches, each applied once to the unpacked source (a patch already in
# place is left as it is).
ssh_patch_libssh2() {
    local patch
    for patch in $SSH_LIBSSH2_PATCHES; do
        (cd "$SSH_LIBSSH2_SOURCE" && { patch -p1 -R -s -f --dry-run <"$patch" >/dev/null 2>&1 ||
            ssh_step "$SSH_BUILD/patch-$(basename "$patch").log" patch -p1 -f -i "$patch"; }) || return 1
    done
}

# Static only: with _WINDLL or LIBSSH2_EXPORTS defined, libssh2.h would
# declare its functions dllimport. CMake's own Release flags (-O3) would come
# after -Os.
ssh_build_libssh2() {  # arch prefix
    local arch=$1 prefix=$2 build=$SSH_BUILD/$1/libssh2
    ssh_step "$SSH_BUILD/$arch/libssh2-configure.log" cmake -S "$SSH_LIBSSH2_SOURCE" -B "$build" \
        -DCMAKE_TOOLCHAIN_FILE="$REPO/cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_C_FLAGS="$SSH_CFLAGS" -DCMAKE_C_FLAGS_RELEASE="-DNDEBUG" -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DCRYPTO_BACKEND=OpenSSL -DOPENSSL_USE_STATIC_LIBS=TRUE -DOPENSSL_INCLUDE_DIR="$prefix/include" \
        -DOPENSSL_CRYPTO_LIBRARY="$prefix/lib/libcrypto.a" -DOPENSSL_SSL_LIBRARY="$prefix/lib/libcrypto.a" \
        -DLIB_EAY="$prefix/lib/libcrypto.a" -DSSL_EAY="$prefix/lib/libcrypto.a" \
        -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF \
        -DENABLE_ZLIB_COMPRESSION=OFF || return 1
    ssh_step "$SSH_BUILD/$arch/libssh2-build.log" cmake --build "$build" -j2 || return 1
    ssh_step "$SSH_BUILD/$arch/libssh2-install.log" cmake --install "$build"
}

# Both source trees, unpacked with Debian's patches into $SSH_SRC. Sets
# SSH_{LIBSSH2,OPENSSL}_{USED,SOURCE}: the Debian version and its folder.
ssh_fetch_sources() {
    SSH_APT_UPDATED=no
    ssh_fetch_source libssh2 "$SSH_LIBSSH2_VERSION" LIBSSH2 || return 1
    ssh_fetch_newest_source openssl "$SSH_OPENSSL_VERSION" OPENSSL
}

# The newest version the archive offers and serves, no older than the one
# named: a mirror may list a security update before it serves its files.
ssh_fetch_newest_source() {  # package oldest-version variable-stem
    local candidate
    ssh_apt_update || return 1
    while read -r candidate; do
        dpkg --compare-versions "$candidate" ge "$2" || continue
        if ssh_fetch_source "$1" "$candidate" "$3" 2>/dev/null; then
            log "$1 $candidate"
            return 0
        fi
        log "$1 $candidate is listed but not served: trying an older one"
    done < <(ssh_apt apt-cache showsrc --only-source "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -rV)
    echo "no $1 of $2 or later could be fetched from $SSH_SUITE" >&2
    return 1
}

ssh_fetch_source() {  # package pinned-version variable-stem
    local package=$1 version=$2 dir
    if [ ! -d "$SSH_SRC/${package}_$version" ]; then
        ssh_apt_update || return 1
        version=$(ssh_offered_version "$package" "$version") || return 1
    fi
    dir=$SSH_SRC/${package}_$version
    if [ ! -d "$dir" ]; then
        if ! command -v dpkg-source >/dev/null; then
            export DEBIAN_FRONTEND=noninteractive
            apt_install dpkg-dev || { apt_update && apt_install dpkg-dev; } || return 1
        fi
        mkdir -p "$SSH_SRC/dl"
        # The files land in a folder of root's, which apt's own user cannot write.
        (cd "$SSH_SRC/dl" && ssh_step "$SSH_APT/source-$package.log" ssh_apt apt-get source --download-only \
            --only-source -o APT::Sandbox::User=root "$package=$version") || return 1
        # apt has checked the files against the archive's signed index; dpkg-source
        # lacks the uploaders' keys and only warns.
        rm -rf "$dir.partial"
        ssh_step "$SSH_APT/unpack-$package.log" dpkg-source --no-copy -x \
            "$SSH_SRC/dl/${package}_${version#*:}.dsc" "$dir.partial" || return 1
        mv "$dir.partial" "$dir"
    fi
    printf -v "SSH_$3_USED" '%s' "$version"
    printf -v "SSH_$3_SOURCE" '%s' "$dir"
}

# The pinned version, or, once the archive has replaced it with a later
# security update of the same upstream release, that update.
ssh_offered_version() {  # package pinned-version
    local offered newest="" candidate
    offered=$(ssh_apt apt-cache showsrc --only-source "$1" 2>/dev/null | sed -n 's/^Version: //p')
    if grep -qxF -- "$2" <<<"$offered"; then printf '%s' "$2"; return 0; fi
    while read -r candidate; do
        if [ -z "$newest" ] || dpkg --compare-versions "$candidate" gt "$newest"; then newest=$candidate; fi
    done < <(grep -F -- "${2%-*}-" <<<"$offered")
    [ -n "$newest" ] || { echo "$1 $2 is not offered by $SSH_SUITE (offered: ${offered//$'\n'/ })" >&2; return 1; }
    log "$1 $2 is not offered any more: using $newest" >&2
    printf '%s' "$newest"
}

ssh_apt() { APT_CONFIG="$SSH_APT/apt.conf" "$@"; }

# The source lists of trixie, once per run, tried again while a mirror is being
# synchronised; with lists from an earlier run at hand, those serve.
ssh_apt_update() {
    local try
    [ "$SSH_APT_UPDATED" = no ] || return 0
    ssh_apt_config || return 1
    for try in 1 2 3; do
        if ssh_apt apt-get update -qq >"$SSH_APT/update.log" 2>&1; then SSH_APT_UPDATED=yes; return 0; fi
        log "apt-get update for $SSH_SUITE failed (try $try): $(grep -m1 -E '^(E|W):' "$SSH_APT/update.log" \
            || tail -1 "$SSH_APT/update.log")"
        [ $try = 3 ] || sleep $((try * 10))
    done
    if compgen -G "$SSH_APT/state/lists/*Sources*" >/dev/null; then
        log "going on with the $SSH_SUITE source lists at hand"
        SSH_APT_UPDATED=yes
        return 0
    fi
    tail -20 "$SSH_APT/update.log" >&2
    return 1
}

# State, cache, sources and preferences of our own, so the machine's lists stay
# as they are; the archive hosts are those of the machine's own sources.
ssh_apt_config() {
    local codename archive security
    codename=$(os_codename)
    archive=$(ssh_archive_of "$codename")
    security=$(ssh_archive_of "$codename-security")
    [ -n "$archive" ] || { echo "no Debian archive for $codename in the apt sources" >&2; return 1; }
    mkdir -p "$SSH_APT/state/lists/partial" "$SSH_APT/cache/archives/partial" "$SSH_APT/sources.list.d" \
        "$SSH_APT/preferences.d"
    touch "$SSH_APT/state/status"
    {
        printf 'deb-src [signed-by=%s] %s %s main\n' "$SSH_KEYRING" "$archive" "$SSH_SUITE"
        printf 'deb-src [signed-by=%s] %s %s-updates main\n' "$SSH_KEYRING" "$archive" "$SSH_SUITE"
        [ -z "$security" ] || printf 'deb-src [signed-by=%s] %s %s-security main\n' "$SSH_KEYRING" "$security" "$SSH_SUITE"
    } >"$SSH_APT/sources.list"
    cat >"$SSH_APT/apt.conf" <<CONF
Dir::State "$SSH_APT/state";
Dir::State::status "$SSH_APT/state/status";
Dir::Cache "$SSH_APT/cache";
Dir::Etc::SourceList "$SSH_APT/sources.list";
Dir::Etc::SourceParts "$SSH_APT/sources.list.d";
Dir::Etc::Preferences "$SSH_APT/preferences";
Dir::Etc::PreferencesParts "$SSH_APT/preferences.d";
CONF
}

# The archive URL the machine's apt sources use for a suite (deb822 or one-line).
ssh_archive_of() {  # suite
    local uri
    uri=$(awk -v suite="$1" '
        FNR == 1 || /^[ \t]*$/ { uri = ""; found = 0 }
        /^URIs:/ { uri = $2 }
        /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == suite) found = 1 }
        found && uri != "" { print uri; exit }' \
        /etc/apt/sources.list.d/*.sources 2>/dev/null)
    [ -n "$uri" ] || uri=$(awk -v suite="$1" '
        $1 == "deb" || $1 == "deb-src" { sub(/\[[^]]*\][ \t]*/, ""); if ($3 == suite) { print $2; exit } }' \
        /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null)
    printf '%s' "${uri%/}"
}
