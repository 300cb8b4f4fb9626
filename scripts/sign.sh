#!/bin/sh
# Signs a built installer with Authenticode (osslsigncode, SHA-256), then
# verifies the signature; on any problem it prints one line and leaves the
# installer as it was.
#
#   scripts/sign.sh INSTALLER KEY [--out SIGNED] [--pass-env VAR | --pass-file FILE]
#                   [--timestamp URL [--timestamp-ca PEM]] [--ca-file PEM] [--description TEXT]
#   KEY: --pkcs12 FILE.p12                        key and certificate in one file
#      | --pkcs11-module MODULE.so --key URI      key in a token (a pkcs11: URI or an id)
#        (--cert PEM | --pkcs11-cert URI)         its certificate, in a file or the token
#        [--pkcs11-engine ENGINE.so]              default: OpenSSL's "pkcs11" engine
#                                                 (Debian's libengine-pkcs11-openssl)
#
# The password of the PKCS#12 file, or the token's PIN, comes from the
# environment variable named by --pass-env or from the file --pass-file names,
# and reaches osslsigncode through a pipe or that file: never as an argument,
# where `ps` would show it to every user of the machine.
#
# Without --out the installer is signed in place: the signed file is written
# and verified beside it under a temporary name, then renamed over it, so a
# failed or interrupted run never leaves a half-signed installer. With --out
# the installer is not touched.
#
# --timestamp adds an RFC 3161 time stamp from that address, so the signature
# stays valid after the certificate expires. It is worth only what its
# authority is trusted for, so the time stamp must verify against
# --timestamp-ca (default: the system's CA bundle), or the signing fails.
# osslsigncode's own status does not say so: it ends "Succeeded" after
# "Timestamp Server Signature verification: failed", so that line is read.
# --ca-file is the CA the signature's verification trusts (default:
# osslsigncode's, the system's CA bundle).
set -eu

say() { echo "sign: $*" >&2; }
fail() { say "$*"; exit 1; }
usage() { fail "usage: scripts/sign.sh INSTALLER (--pkcs12 FILE | --pkcs11-module SO --key URI (--cert PEM | --pkcs11-cert URI)) [--out FILE] [--pass-env VAR | --pass-file FILE] [--timestamp URL [--timestamp-ca PEM]] [--ca-file PEM] [--description TEXT]"; }

[ $# -ge 1 ] || usage
input=$1; shift
out="" pkcs12="" module="" engine="" key="" cert="" token_cert=""
pass_env="" pass_file="" timestamp="" timestamp_ca="" ca_file="" description=""
while [ $# -gt 0 ]; do
    [ $# -ge 2 ] || usage
    case "$1" in
        --out) out=$2 ;;
        --pkcs12) pkcs12=$2 ;;
        --pkcs11-module) module=$2 ;;
        --pkcs11-engine) engine=$2 ;;
        --key) key=$2 ;;
        --cert) cert=$2 ;;
        --pkcs11-cert) token_cert=$2 ;;
        --pass-env) pass_env=$2 ;;
        --pass-file) pass_file=$2 ;;
        --timestamp) timestamp=$2 ;;
        --timestamp-ca) timestamp_ca=$2 ;;
        --ca-file) ca_file=$2 ;;
        --description) description=$2 ;;
        *) usage ;;
    esac
    shift 2
done

command -v osslsigncode >/dev/null 2>&1 || fail "osslsigncode is not installed (scripts/setup.sh installs it)"
readable() {  # WHAT FILE
    [ -f "$2" ] && [ -r "$2" ] || fail "$1 $2: no such readable file"
}
readable "installer" "$input"
if [ -n "$pkcs12" ] && [ -n "$module" ]; then fail "give either --pkcs12 or --pkcs11-module, not both"; fi
if [ -n "$pkcs12" ]; then
    readable "PKCS#12 file" "$pkcs12"
    if [ -n "$key$cert$token_cert$engine" ]; then fail "--key, --cert, --pkcs11-cert and --pkcs11-engine go with --pkcs11-module, not --pkcs12"; fi
    set -- -pkcs12 "$pkcs12"
elif [ -n "$module" ]; then
    readable "PKCS#11 module" "$module"
    [ -n "$key" ] || fail "--pkcs11-module needs --key (the key's pkcs11: URI or id)"
    if [ -n "$cert" ] && [ -n "$token_cert" ]; then fail "give either --cert or --pkcs11-cert, not both"; fi
    set -- -pkcs11module "$module" -key "$key"
    if [ -n "$engine" ]; then readable "PKCS#11 engine" "$engine"; set -- "$@" -pkcs11engine "$engine"; fi
    if [ -n "$cert" ]; then
        readable "certificate" "$cert"; set -- "$@" -certs "$cert"
    elif [ -n "$token_cert" ]; then
        set -- "$@" -pkcs11cert "$token_cert"
    else
        fail "--pkcs11-module needs the certificate: --cert PEM or --pkcs11-cert URI"
    fi
else
    fail "no key: give --pkcs12 FILE or --pkcs11-module SO with --key URI"
fi
if [ -n "$pass_env" ] && [ -n "$pass_file" ]; then fail "give either --pass-env or --pass-file, not both"; fi
if [ -n "$pass_env" ]; then
    case "$pass_env" in
        ''|[0-9]*|*[!A-Za-z0-9_]*) fail "--pass-env $pass_env: not a variable name" ;;
    esac
    eval "[ -n \"\${$pass_env+set}\" ]" || fail "--pass-env $pass_env: the variable is not set"
    set -- "$@" -readpass -
elif [ -n "$pass_file" ]; then
    readable "password file" "$pass_file"
    set -- "$@" -readpass "$pass_file"
fi
if [ -n "$ca_file" ]; then readable "CA file" "$ca_file"; fi
if [ -n "$timestamp_ca" ]; then
    [ -n "$timestamp" ] || fail "--timestamp-ca goes with --timestamp: it is the CA of that time-stamp authority"
    readable "time-stamp authority's CA file" "$timestamp_ca"
fi
if [ -n "$timestamp" ]; then set -- "$@" -ts "$timestamp"; fi
if [ -n "$description" ]; then set -- "$@" -n "$description"; fi

target=${out:-$input}
target_dir=$(dirname "$target")
[ ! -d "$target" ] || fail "$target is a folder: --out takes the signed file's name"
[ -d "$target_dir" ] && [ -w "$target_dir" ] || fail "cannot write into $target_dir"
# A folder of our own beside the target: osslsigncode writes only a new file,
# and the final rename stays within one file system.
scratch=$(mktemp -d "$target_dir/.$(basename "$target").signing.XXXXXX")
tmp="$scratch/signed" log="$scratch/log"
trap 'rm -rf "$scratch"' EXIT
trap 'exit 1' INT TERM

# One line naming the cause, not osslsigncode's banners or OpenSSL's raw error
# stack (which only helps for a time-stamp server that cannot be reached).
noise() { grep -v -e '^Engine ".*" set\.$' -e '^[0-9A-F]*:error:' -e '^Failed$' -e '^Connecting to ' "$log"; }
# The reason found, else osslsigncode's first line, else that it gave none.
reason_or_first_line() {
    line=$1
    [ -n "$line" ] || line=$(noise | grep -m1 . || true)
    echo "${line:-osslsigncode gave no reason}" | sed 's/^[[:space:]]*//'
}
sign_reason() {
    if grep -q -e '^HTTP failure' -e 'timestamping failed' "$log"; then
        unreachable=$(sed -n -e 's/.*:system library:[^:]*:\([^:]*\):.*/\1/p' \
            -e 's/.*:BIO_lookup_ex:system lib:[^:]*:[0-9]*:\(.*\)/\1/p' "$log" | head -n1)
        answer=$(sed -n 's/.*:received error:[^:]*:[0-9]*:\(.*\)/\1/p' "$log" | head -n1)
        if [ -n "$unreachable" ]; then echo "the time-stamp server $timestamp cannot be reached ($unreachable)"
        else echo "the time-stamp server $timestamp gave no time stamp${answer:+ ($answer)}"; fi
    elif grep -q -i -e 'wrong password' -e 'mac verify failure' -e 'pin incorrect' "$log"; then
        echo "wrong password or PIN for the key"
    else
        reason_or_first_line "$(noise | grep -m1 -e 'Error:' || true)"
    fi
}
# osslsigncode verify reports the time stamp's chain first and the signer's
# after it; the signer's own fault (an expired certificate) is the cause even
# when the time stamp fails too.
chain_error() {  # tsa | signer
    awk -v want="$1" '/^Timestamp (Server Signature verification|is not available)/ { part = "signer"; next }
        /Error:/ && (part == "signer") == (want == "signer") { sub(/^[[:space:]]*Error:[[:space:]]*/, ""); print; exit }' "$log"
}
verify_reason() {
    if grep -q "^Unsupported Signer's certificate purpose" "$log"; then
        echo "the certificate is not one for code signing (unsupported certificate purpose)"
    else
        line=$(chain_error signer)
        [ -n "$line" ] || line=$(chain_error tsa)
        reason_or_first_line "$line"
    fi
}

status=0
if [ -n "$pass_env" ]; then
    # printf is the shell's own: the password is in no process's arguments.
    eval "printf '%s' \"\$$pass_env\"" | osslsigncode sign "$@" -h sha256 -in "$input" -out "$tmp" >"$log" 2>&1 || status=$?
else
    osslsigncode sign "$@" -h sha256 -in "$input" -out "$tmp" </dev/null >"$log" 2>&1 || status=$?
fi
[ "$status" = 0 ] && [ -s "$tmp" ] || fail "signing $input failed: $(sign_reason)"

set --
if [ -n "$ca_file" ]; then set -- "$@" -CAfile "$ca_file"; fi
if [ -n "$timestamp_ca" ]; then set -- "$@" -TSA-CAfile "$timestamp_ca"; fi
osslsigncode verify "$@" -in "$tmp" >"$log" 2>&1 || fail "the signature of $input does not verify: $(verify_reason)"
if [ -n "$timestamp" ] && ! grep -q '^Timestamp Server Signature verification: ok$' "$log"; then
    grep -q '^Timestamp Server Signature verification' "$log" || fail "the signature of $input carries no time stamp from $timestamp"
    why=$(chain_error tsa)
    fail "the time stamp from $timestamp does not verify against ${timestamp_ca:-the system's CA bundle}${why:+: $why}"
fi

chmod "$(stat -c %a "$input")" "$tmp"
mv -f "$tmp" "$target"
echo "sign: signed $target (SHA-256 $(sha256sum "$target" | cut -d' ' -f1))"
