#!/bin/sh
# Runs one Windows test program under wine as on a first start: the data
# folder and the recordings that earlier tests left in the prefix are gone.
# The prefix's user folders are folders of its own (scripts/windows_test.sh),
# so nothing reaches the real home folder.
set -e
for user in "$WINEPREFIX"/drive_c/users/*/; do
    rm -rf "$user/AppData/Local/Brivanta" "$user/Documents/Sonavela Recordings"
done
exec "$@"
