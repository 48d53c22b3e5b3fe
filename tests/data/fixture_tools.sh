# Sourced by the fixture scripts: stops at the first failure, names the
# script's own folder $here and a scratch folder $tmp removed at the end.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT

# ppm_text W H EXPR: a P3 picture, on standard output, whose pixel (x, y) is
# the "r g b" that the awk expression prints.
ppm_text() {
  awk -v w="$1" -v h="$2" "BEGIN {
    printf \"P3\n%d %d\n255\n\", w, h
    for (y = 0; y < h; y++) for (x = 0; x < w; x++) { $3 }
  }"
}

# ppm NAME W H EXPR: the same picture in the file NAME.
ppm() {
  ppm_text "$2" "$3" "$4" > "$1"
}
