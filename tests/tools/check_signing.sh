#!/bin/sh
# scripts/sign.sh with the build's throw-away CA: signed from a PKCS#12 file, the installer verifies
# and passes the smoke run (its self-check under Wine); failures change nothing; a SoftHSM token signs.
#   check_signing.sh SOURCE_DIR SMOKE_BUILD_DIR TREE INSTALLER SIGNING_DIR
set -eu
root=$1 installer=$4 keys=$5
command -v osslsigncode >/dev/null 2>&1 || { echo "SKIP: osslsigncode is not installed (scripts/setup.sh installs it)"; exit 77; }
work=$(mktemp -d) failed=0
trap 'rm -rf "$work"' EXIT && cd "$work"
check() { if [ "$2" = "$3" ]; then echo "ok: $1"; else echo "FAIL: $1: expected '$2', got '$3'"; failed=1; fi; }
sign() { "$root/scripts/sign.sh" "$@" >/dev/null 2>err.txt && echo 0 || echo $?; }

cp "$keys/ca.pem" "$keys/signer.pem" "$keys/signer.key" "$keys/signer.p12" .
cp "$installer" lvm0-setup.exe
# Each row: what goes wrong | password | the CA the verification trusts (default: the system's).
while IFS='|' read -r what pass ca; do
    check "$what: fails" 1 "$(LVM_TEST_PASS=$pass sign lvm0-setup.exe --pkcs12 signer.p12 --pass-env LVM_TEST_PASS $ca)"
    check "$what: one line, the installer unchanged" "1" "$(wc -l < err.txt)$(cmp lvm0-setup.exe "$installer")"
done <<'ROWS'
wrong password|wrong|--ca-file ca.pem
untrusted CA|p12-pass|
ROWS
check "PKCS#12: signed in place" 0 "$(LVM_TEST_PASS=p12-pass sign lvm0-setup.exe --pkcs12 signer.p12 --pass-env LVM_TEST_PASS --ca-file ca.pem)"
check "PKCS#12: verified, SHA-256" "Message digest algorithm  : SHA256" \
    "$(osslsigncode verify -CAfile ca.pem -in lvm0-setup.exe >verify.txt 2>&1 && grep -m1 '^Message digest alg' verify.txt)"
LVM_SMOKE_PREFIX="$work/prefix" "$root/scripts/smoke-shipped.sh" "$2" "$3" "$work/lvm0-setup.exe" || failed=1

softhsm=/usr/lib/softhsm/libsofthsm2.so
if [ ! -f "$softhsm" ] || ! openssl engine -t pkcs11 >/dev/null 2>&1; then
    echo "skipped the PKCS#11 part: needs softhsm2 ($softhsm) and OpenSSL's pkcs11 engine (libengine-pkcs11-openssl)"
else
    mkdir tokens && echo "directories.tokendir = $work/tokens" > softhsm2.conf && echo 2468 > pin.txt
    export SOFTHSM2_CONF="$work/softhsm2.conf"
    softhsm2-util --init-token --free --label signing --pin 2468 --so-pin 1357 >/dev/null
    openssl pkcs8 -topk8 -nocrypt -in signer.key | softhsm2-util --import /dev/stdin --token signing --label signer --id 01 --pin 2468 >/dev/null
    check "PKCS#11: signed with the token's key" 0 "$(sign "$installer" --pkcs11-module "$softhsm" --cert signer.pem \
        --key 'pkcs11:token=signing;object=signer;type=private' --pass-file pin.txt --ca-file ca.pem --out token.exe)"
    check "PKCS#11: verified" 0 "$(osslsigncode verify -CAfile ca.pem -in token.exe >/dev/null 2>&1 && echo 0 || echo $?)"
fi
exit $failed
