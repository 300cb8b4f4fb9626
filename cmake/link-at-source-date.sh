#!/bin/sh
# Link launcher of the installer: GNU ld takes the PE header's time stamp from
# SOURCE_DATE_EPOCH when it is set (and the link time otherwise), so two links
# of one commit give the same bytes.
#   link-at-source-date.sh EPOCH_FILE LINK COMMAND...
set -eu
epoch_file="$1"; shift
SOURCE_DATE_EPOCH=$(cat "$epoch_file")
export SOURCE_DATE_EPOCH
exec "$@"
