#!/bin/sh
# The release of two add-ons (the default and the tests' cok one) from a
# commit of this tree's tracked files, as they are: both installers, their
# detection scripts and a SHA256SUMS that sha256sum -c accepts. A third
# description whose version its package file contradicts stops a release with
# that one line and leaves no release folder.
#   check_release.sh SOURCE_DIR
set -u
source_dir=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/lvm-release-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# A clean commit of the tracked files, uncommitted changes included.
mkdir "$work/src"
(cd "$source_dir" && git ls-files -z | xargs -0 tar -cf - 2>/dev/null) | tar -xf - -C "$work/src"
git -C "$work/src" init -q
git -C "$work/src" add -A
GIT_AUTHOR_DATE=@1700000000 GIT_COMMITTER_DATE=@1700000000 \
    git -C "$work/src" -c user.name=test -c user.email=test@localhost commit -q -m release-test
scripts="$work/src/scripts"

"$scripts/release.sh" --out "$work/rel" "$work/src/packages/lvm0.ini" "$work/src/tests/packages/lvm7.ini" \
    >"$work/out" 2>&1 || { cat "$work/out"; fail "the release of two add-ons failed"; }
for file in lvm0-215-setup.exe lvm0-215-detect.ps1 lvm7-7-setup.exe lvm7-7-detect.ps1; do
    [ -s "$work/rel/$file" ] || fail "the release lacks $file"
done
(cd "$work/rel" && sha256sum --quiet -c SHA256SUMS) || fail "sha256sum -c does not accept SHA256SUMS"
[ "$(wc -l <"$work/rel/SHA256SUMS")" = 4 ] || fail "SHA256SUMS does not name the four files"
grep -q "Join-Path \$folder 'lvm7.cok'" "$work/rel/lvm7-7-detect.ps1" &&
    grep -q '\$bytes\[5 + \$i\]' "$work/rel/lvm7-7-detect.ps1" && grep -q -- '-ge 7$' "$work/rel/lvm7-7-detect.ps1" ||
    fail "the cok add-on's detection script does not read lvm7.cok's field at offset 5 against version 7"
grep -q "Join-Path \$folder 'lvm0.pak'" "$work/rel/lvm0-215-detect.ps1" && grep -q -- '-ge 215$' "$work/rel/lvm0-215-detect.ps1" ||
    fail "the default add-on's detection script does not check lvm0.pak against version 215"

# Version 216 described, 215 in the file.
mkdir "$work/bad"
python3 "$work/src/tools/make_package.py" lvm5 pak 215 "$work/bad/lvm5.pak"
printf 'name = lvm5\nkind = pak\nversion = 216\ntitle = "x"\nfile = lvm5.pak\n' >"$work/bad/lvm5.ini"
status=0
"$scripts/release.sh" --out "$work/rel2" "$work/bad/lvm5.ini" "$work/src/tests/packages/lvm7.ini" \
    >"$work/out2" 2>"$work/err2" || status=$?
[ "$status" = 1 ] || fail "a refused description ended the release with $status, not 1"
[ ! -e "$work/rel2" ] || fail "a refused release left its folder behind"
[ "$(wc -l <"$work/err2")" = 1 ] && grep -q "^$work/bad/lvm5.ini: .*216.*215" "$work/err2" ||
    fail "the refusal is not one line naming the description and both versions: $(cat "$work/err2")"
# A build whose description is refused leaves no stale installer of that add-on.
mkdir -p "$work/typo" "$work/build/bin"
sed 's/^kind.*/kind = pka/' "$work/bad/lvm5.ini" >"$work/typo/lvm5.ini"
: >"$work/build/bin/lvm5-setup.exe"
LVM_BUILD_DIR="$work/build" "$scripts/build.sh" -DANY=1 --package "$work/typo/lvm5.ini" >/dev/null 2>"$work/err3" &&
    fail "a build of a refused description succeeded"
[ ! -e "$work/build/bin/lvm5-setup.exe" ] || fail "a refused build left the add-on's earlier installer in place"
grep -q "^$work/typo/lvm5.ini: kind 'pka' has no version rule" "$work/err3" || fail "the build's refusal: $(cat "$work/err3")"
[ $failed = 0 ] && echo "ok: two add-ons released; a contradicted description refused in one line; no stale installer"
exit $failed
