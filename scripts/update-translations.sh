#!/usr/bin/env bash
# Gathers every translatable text of the program into translations/*.ts with lupdate, keeping the
# translations made so far. Run it after changing a text, then translate what it marks
# unfinished (Qt Linguist or any editor); the build turns the catalogues into .qm files.
#   scripts/update-translations.sh [--check] [LUPDATE]
# --check changes nothing: it fails when a catalogue is not what lupdate would make of the
# sources now, or holds a text without its translation.
set -euo pipefail
cd "$(dirname "$0")/.."
check=0
if [ "${1:-}" = --check ]; then
  check=1
  shift
fi
lupdate=${1:-$(command -v lupdate-qt6 || echo /usr/lib/qt6/bin/lupdate)}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
for catalogue in translations/MevraMP3Manager_*.ts; do
  language=$(basename "$catalogue" .ts)
  language=${language#MevraMP3Manager_}
  target=$catalogue
  if ((check)); then
    target=$scratch/$(basename "$catalogue")
    cp "$catalogue" "$target"
  fi
  # Texts live in the program (app/) and the download engine's row statuses (download/).
  "$lupdate" -silent -locations none -no-obsolete -extensions cpp,h -I . \
    -source-language zh_CN -target-language "$language" app download -ts "$target"
  if ((check)); then
    if ! diff -u "$catalogue" "$target"; then
      echo "$catalogue is out of date: run scripts/update-translations.sh and translate" >&2
      status=1
    fi
    if grep -q 'type="unfinished"' "$target"; then
      echo "$catalogue has texts without a translation:" >&2
      grep -B2 'type="unfinished"' "$target" | grep '<source>' >&2
      status=1
    fi
  fi
done
exit $status
