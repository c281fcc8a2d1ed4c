#!/bin/sh
# The batch done by hand with curl, for comparison: sign in with a cookie jar, then fetch each
# song's download page, cut the link of the rate out of it, and fetch the file, one after the
# other.
#   curl_batch.sh LOGIN_BASE MUSIC_BASE RATE OUT_DIR ID...
set -eu
login=$1 music=$2 rate=$3 out=$4
shift 4
jar=$(mktemp)
trap 'rm -f "$jar"' EXIT
curl -sf -c "$jar" -o /dev/null --data "username=demo&password=demo" "$login/v2/?login&tpl=mn"
for id; do
  path=$(curl -sf -b "$jar" "$music/song/$id/download" |
    sed -n 's/.*{"rate":'"$rate"',"link":"\([^"]*\)".*/\1/p' | tr -d '\\')
  [ -n "$path" ] || { echo "no $rate link for $id" >&2; exit 1; }
  curl -sfL -b "$jar" -o "$out/$id.mp3" "$music$path"
done
