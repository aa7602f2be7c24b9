#!/bin/sh
# Reads the registry's test server as the clinic's IT would, with psql: runs the SQL in FILE on
# DATABASE of the server whose folder (scripts/pg-test-server.sh) is SERVER_DIR, and writes the
# rows, tab-separated, to OUT (complete when it appears: the end-to-end cases wait for it).
#   read_registry.sh SERVER_DIR DATABASE FILE OUT
set -u
dir=$1 database=$2 file=$3 out=$4
PGPASSWORD=$(cat "$dir/password") PGCONNECT_TIMEOUT=10 psql -X -q -At -F "$(printf '\t')" \
    -h 127.0.0.1 -p "$(cat "$dir/port")" -U virel -d "$database" -f "$file" >"$out.part" 2>&1
mv "$out.part" "$out"
