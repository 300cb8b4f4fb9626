#!/bin/sh
# scripts/sign.sh with the build's throw-away CA and a time-stamp authority of the test's own on
# 127.0.0.1: signed from a PKCS#12 file with a trusted time stamp, the installer verifies and passes
# the smoke run (its self-check under Wine); each failure is one line naming its cause and changes
# nothing; a SoftHSM token signs.
#   check_signing.sh SOURCE_DIR SMOKE_BUILD_DIR TREE INSTALLER SIGNING_DIR
set -eu
root=$1 smoke_build=$2 tree=$3 installer=$4 keys=$5
command -v osslsigncode >/dev/null 2>&1 || { echo "SKIP: osslsigncode is not installed (scripts/setup.sh installs it)"; exit 77; }
work=$(mktemp -d) failed=0 server=""
trap 'if [ -n "$server" ]; then kill "$server"; wait "$server" 2>/dev/null || true; fi; rm -rf "$work"' EXIT && cd "$work"
check() { if [ "$2" = "$3" ]; then echo "ok: $1"; else echo "FAIL: $1: expected '$2', got '$3'"; failed=1; fi; }
sign() { "$root/scripts/sign.sh" "$@" >/dev/null 2>err.txt && echo 0 || echo $?; cat err.txt >&2; }
quiet() { "$@" >/dev/null 2>&1; }

cp "$keys/ca.pem" "$keys/signer.pem" "$keys/signer.key" "$keys/signer.p12" .
cp "$installer" lvm0-setup.exe
# Certificates of the same CA the signing must refuse: one that expired before
# it was issued, one for web servers.
printf 'extendedKeyUsage=serverAuth\n' > server.ext
for cert in "expired -days -1 -extfile $keys/signer.ext" "purpose -days 2 -extfile server.ext"; do
    set -- $cert && name=$1 && shift
    quiet openssl x509 -req -in "$keys/signer.csr" -CA ca.pem -CAkey "$keys/ca.key" "$@" -out "$name.pem"
    openssl pkcs12 -export -inkey signer.key -in "$name.pem" -passout pass:p12-pass -out "$name.p12"
done

# The time-stamp authority: a CA of its own, a certificate for time stamping only.
ec="-newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes"
quiet openssl req -x509 $ec -days 2 -subj "/CN=Throw-away TSA CA" -addext basicConstraints=critical,CA:TRUE \
    -keyout tsaca.key -out tsaca.pem
quiet openssl req $ec -subj "/CN=Throw-away TSA" -keyout tsa.key -out tsa.csr
printf 'extendedKeyUsage=critical,timeStamping\n' > tsa.ext
quiet openssl x509 -req -in tsa.csr -CA tsaca.pem -CAkey tsaca.key -days 2 -extfile tsa.ext -out tsa.pem
printf '[tsa]\ndefault_tsa = here\n[here]\nserial = tsa.serial\nsigner_cert = tsa.pem\nsigner_key = tsa.key
signer_digest = sha256\ndefault_policy = 1.2.3.4.1\ndigests = sha256, sha384, sha512\ness_cert_id_alg = sha256\n' > ts.cnf
echo 01 > tsa.serial && mkfifo ports
python3 "$root/tests/tools/timestamp_server.py" ts.cnf >ports 2>tsa.log &
server=$!
read -r tsa_port closed_port <ports || { echo "FAIL: the time-stamp server did not start: $(cat tsa.log)"; exit 1; }
tsa=http://127.0.0.1:$tsa_port/

# Each row: what goes wrong | key file | its password | options | what the one line names.
while IFS='|' read -r what p12 pass options says; do
    check "$what: fails" 1 "$(LVM_TEST_PASS=$pass sign lvm0-setup.exe --pkcs12 $p12 --pass-env LVM_TEST_PASS $options)"
    check "$what: one line naming the cause, the installer unchanged" "1 1" \
        "$(wc -l < err.txt) $(grep -c -F "$says" err.txt)$(cmp lvm0-setup.exe "$installer")"
done <<ROWS
wrong password|signer.p12|wrong|--ca-file ca.pem|wrong password
untrusted CA|signer.p12|p12-pass||unable to get local issuer certificate
time stamp, its authority's CA not given|signer.p12|p12-pass|--ca-file ca.pem --timestamp $tsa|the time stamp from $tsa does not verify against the system's CA bundle
expired certificate, trusted time stamp|expired.p12|p12-pass|--ca-file ca.pem --timestamp $tsa --timestamp-ca tsaca.pem|certificate has expired
certificate for web servers|purpose.p12|p12-pass|--ca-file ca.pem|unsupported certificate purpose
time-stamp server unreachable|signer.p12|p12-pass|--ca-file ca.pem --timestamp http://127.0.0.1:$closed_port/ --timestamp-ca tsaca.pem|cannot be reached (Connection refused)
ROWS
check "PKCS#12, trusted time stamp: signed in place" 0 "$(LVM_TEST_PASS=p12-pass sign lvm0-setup.exe --pkcs12 signer.p12 \
    --pass-env LVM_TEST_PASS --ca-file ca.pem --timestamp "$tsa" --timestamp-ca tsaca.pem)"
osslsigncode verify -CAfile ca.pem -TSA-CAfile tsaca.pem -in lvm0-setup.exe >verify.txt 2>&1 || true
check "PKCS#12: verified, SHA-256, the time stamp too" "Message digest algorithm  : SHA256|Timestamp Server Signature verification: ok" \
    "$(grep -m1 '^Message digest alg' verify.txt)|$(grep '^Timestamp Server Signature verification' verify.txt)"
LVM_SMOKE_PREFIX="$work/prefix" "$root/scripts/smoke-shipped.sh" "$smoke_build" "$tree" "$work/lvm0-setup.exe" || failed=1

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
