#!/bin/sh
# scripts/sign.sh on the built installer, with a throw-away CA and code-signing
# certificate: signed from a PKCS#12 file it verifies and still passes its own
# self-check under Wine (the smoke run: a modest install, and a copy with one
# package byte changed refused); a wrong password changes nothing; and, where
# SoftHSM and OpenSSL's pkcs11 engine are installed, a key held in a token signs too.
#   check_signing.sh SOURCE_DIR SMOKE_BUILD_DIR TREE INSTALLER
set -eu
root=$1 smoke_build=$2 tree=$3 installer=$4
command -v osslsigncode >/dev/null 2>&1 || { echo "SKIP: osslsigncode is not installed (scripts/setup.sh installs it)"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

failed=0
check() {  # WHAT EXPECTED ACTUAL
    if [ "$2" = "$3" ]; then echo "ok: $1"; else echo "FAIL: $1: expected '$2', got '$3'"; failed=1; fi
}

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Throw-away test CA" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign \
    -keyout ca.key -out ca.pem 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=Throw-away test signer" -keyout signer.key -out signer.csr 2>/dev/null
printf 'extendedKeyUsage=codeSigning\nkeyUsage=critical,digitalSignature\n' > signer.ext
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile signer.ext -out signer.pem 2>/dev/null
openssl pkcs12 -export -inkey signer.key -in signer.pem -passout pass:throw-away -out signer.p12

cp "$installer" lvm0-setup.exe
# Each row: what goes wrong | password | the CA the verification trusts.
# (The system's CA bundle does not know the throw-away CA.)
while IFS='|' read -r what pass ca; do
    LVM_TEST_P12_PASS=$pass "$root/scripts/sign.sh" lvm0-setup.exe --pkcs12 signer.p12 \
        --pass-env LVM_TEST_P12_PASS $ca 2>err.txt && status=0 || status=$?
    check "$what: fails" 1 "$status"
    check "$what: one line" 1 "$(wc -l < err.txt)"
    check "$what: the installer unchanged" "" "$(cmp lvm0-setup.exe "$installer" 2>&1)"
done <<'ROWS'
wrong password|wrong|--ca-file ca.pem
a CA the verification does not trust|throw-away|
ROWS

LVM_TEST_P12_PASS=throw-away "$root/scripts/sign.sh" lvm0-setup.exe --pkcs12 signer.p12 \
    --pass-env LVM_TEST_P12_PASS --ca-file ca.pem >/dev/null && status=0 || status=$?
check "PKCS#12: signed in place" 0 "$status"
osslsigncode verify -CAfile ca.pem -in lvm0-setup.exe >verify.txt 2>&1 && status=0 || status=$?
check "PKCS#12: osslsigncode verify accepts it" 0 "$status"
check "PKCS#12: SHA-256 digests" "Message digest algorithm  : SHA256" "$(grep -m1 '^Message digest algorithm' verify.txt)"

# Within the unsigned bytes signing changes only the PE checksum and the
# certificate-table directory entry (PE32: at +64 and +128 of the optional
# header; PE32+: +64 and +144), the fields the self-check reads as zeros.
optional=$(($(od -An -tu4 -j60 -N4 "$installer" | tr -d ' ') + 24))
magic=$(od -An -tx2 -j$optional -N2 "$installer" | tr -d ' ')
directory=$((optional + $([ "$magic" = 010b ] && echo 128 || echo 144)))
changed=$(cmp -l "$installer" lvm0-setup.exe 2>/dev/null | awk -v c=$optional -v d=$directory \
    '$1 - 1 >= c + 64 && $1 - 1 < c + 68 { next } $1 - 1 >= d && $1 - 1 < d + 8 { next } { print $1 - 1 }' | head -3)
check "only the checksum and the certificate-table entry changed" "" "$changed"
check "the certificate table starts where the unsigned file ended" "$(stat -c %s "$installer")" \
    "$(od -An -tu4 -j$directory -N4 lvm0-setup.exe | tr -d ' ')"

LVM_SMOKE_PREFIX="$work/prefix" "$root/scripts/smoke-shipped.sh" "$smoke_build" "$tree" "$work/lvm0-setup.exe" || failed=1

softhsm=/usr/lib/softhsm/libsofthsm2.so
if ! command -v softhsm2-util >/dev/null 2>&1 || [ ! -f "$softhsm" ]; then
    echo "skipped the PKCS#11 part: SoftHSM (softhsm2-util, $softhsm) is not installed"
elif ! openssl engine -t pkcs11 >/dev/null 2>&1; then
    echo "skipped the PKCS#11 part: OpenSSL has no pkcs11 engine (libengine-pkcs11-openssl)"
else
    mkdir tokens
    printf 'directories.tokendir = %s/tokens\nobjectstore.backend = file\n' "$work" > softhsm2.conf
    export SOFTHSM2_CONF="$work/softhsm2.conf"
    softhsm2-util --init-token --free --label lvm-signing --pin 2468 --so-pin 13579 >/dev/null
    openssl pkcs8 -topk8 -nocrypt -in signer.key -out signer.p8
    softhsm2-util --import signer.p8 --token lvm-signing --label signer --id 01 --pin 2468 >/dev/null
    printf '2468\n' > pin.txt
    "$root/scripts/sign.sh" "$installer" --pkcs11-module "$softhsm" \
        --key 'pkcs11:token=lvm-signing;object=signer;type=private' --cert signer.pem \
        --pass-file pin.txt --ca-file ca.pem --out token-signed.exe >/dev/null && status=0 || status=$?
    check "PKCS#11: signed with the token's key" 0 "$status"
    osslsigncode verify -CAfile ca.pem -in token-signed.exe >/dev/null 2>&1 && status=0 || status=$?
    check "PKCS#11: osslsigncode verify accepts it" 0 "$status"
fi
exit $failed
