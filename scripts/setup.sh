#!/bin/sh
# Installs what the build and the tests need on a Debian machine, as root.
# Idempotent: packages already present are left alone, apt runs only when
# something is missing.
set -eu

NEED_PKGS="cmake make mingw-w64 g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix \
binutils-mingw-w64-i686 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix \
binutils-mingw-w64-x86-64 mingw-w64-tools googletest wine wine32:i386 wine64 \
xvfb xauth x11-apps imagemagick locales osslsigncode openssl python3 time \
clang libclang-rt-14-dev"

missing=""
for p in $NEED_PKGS; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
        missing="$missing $p"
    fi
done

if [ -n "$missing" ]; then
    echo "setup: installing:$missing"
    if [ "$(id -u)" != 0 ]; then
        echo "setup: must run as root to install packages" >&2
        exit 1
    fi
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends $missing
fi

# A Russian locale for the tests that run the installer under a Russian user.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
    if [ -f /etc/locale.gen ] && [ "$(id -u)" = 0 ]; then
        sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/; s/^# *\(en_US.UTF-8 UTF-8\)/\1/' /etc/locale.gen
        grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' >> /etc/locale.gen
        grep -q '^en_US.UTF-8 UTF-8' /etc/locale.gen || echo 'en_US.UTF-8 UTF-8' >> /etc/locale.gen
        locale-gen >/dev/null
    fi
fi
