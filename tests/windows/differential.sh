#!/usr/bin/env bash
# The same results on Windows as on Linux: runs the README's demo commands with the Linux zuka
# and, under wine, with zuka.exe, each in a folder of its own, and compares everything they write
# (the saved drawings, the ZUKA_n.dxf block files, the JSON, CSV and SVG files, and what they
# print) byte for byte after these normalisations, the only ones:
#   - numbers with more than 12 significant digits may differ in the last digits (relative
#     difference up to 1e-12): the C libraries' sin, cos and atan2 differ in the last bit
#     (mingw-w64 against glibc), which shows in the 15th digit of coordinates written in full;
#   - printed text: CR LF to LF (Windows' console text mode) and \ to / in paths;
#   - the time a run took (a line of the equal-time output that says "秒") is left out;
#   - the calculation record's date and time (YYYY-MM-DD HH:MM:SS) in the drawings and the
#     pictures becomes 0000-00-00 00:00:00.
# The normalisations themselves are checked first on a line of each kind.
#   tests/windows/differential.sh LINUX_ZUKA WINDOWS_ZUKA_EXE   (wine set up as scripts/windows-env)
set -euo pipefail
linux_zuka=$(realpath "$1")
windows_zuka=$(realpath "$2")
root=$(cd "$(dirname "$0")/../.." && pwd)

normalise_text() { sed -e 's/\r$//' -e 's|\\|/|g' -e '/秒/d'; }
normalise_dxf() { sed -E 's/[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}/0000-00-00 00:00:00/g'; }
# Compares two normalised files: the same bytes, or the same apart from long numbers within a
# relative 1e-12 of each other.
same() {
  python3 - "$1" "$2" <<'PY'
import re, sys
a, b = (open(f, "rb").read() for f in sys.argv[1:3])
if a == b:
    sys.exit(0)
num = re.compile(rb"-?\d+\.\d+(?:[eE][-+]?\d+)?|-?\d+")
pa, pb = num.split(a), num.split(b)
na, nb = num.findall(a), num.findall(b)
if pa != pb or len(na) != len(nb):
    sys.exit(1)
for x, y in zip(na, nb):
    if x == y:
        continue
    digits = len(re.sub(rb"[^0-9]", b"", x.split(b"e")[0].split(b"E")[0]).lstrip(b"0"))
    fx, fy = float(x), float(y)
    if digits <= 12 or abs(fx - fy) > 1e-12 * max(abs(fx), abs(fy)):
        sys.exit(1)
sys.exit(0)
PY
}

# The normalisations do what they say, and nothing else.
[ "$(printf 'out\\ZUKA_1.dxf\r\n計算時間 1.5 秒\r\n保存\tx.dxf\r\n' | normalise_text)" \
  = "$(printf 'out/ZUKA_1.dxf\n保存\tx.dxf')" ] || { echo "text normalisation is wrong"; exit 1; }
[ "$(printf '計算日時 2026-12-11 07:11:27\r\n 10\r\n2026.5\r\n' | normalise_dxf)" \
  = "$(printf '計算日時 0000-00-00 00:00:00\r\n 10\r\n2026.5\r\n')" ] \
  || { echo "drawing normalisation is wrong"; exit 1; }
t=$(mktemp -d)
printf ' 10\r\n2499.22800943541\r\n 40\r\n92.790\r\n' >"$t/a"
printf ' 10\r\n2499.2280094354\r\n 40\r\n92.790\r\n' >"$t/b"
printf ' 10\r\n2499.22800943541\r\n 40\r\n92.791\r\n' >"$t/c"
same "$t/a" "$t/b" && ! same "$t/a" "$t/c" || { echo "number comparison is wrong"; exit 1; }
rm -rf "$t"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

commands=(
  "ratio-table --set Common.ido1=35 --set Common.ido2=40"
  "sun --hour 9.5 --set Common.kisetsu=1"
  "outline squares.txt"
  "model sample.dxf --buildings layer=建物 --svg model.svg"
  "time-of-day sample.dxf --buildings layer=建物 --set Jikoku.kankaku=0.5 -o jikoku.dxf --svg jikoku.svg --json jikoku.json"
  "equal-time sample.dxf --buildings layer=建物 --set Touji.kankaku2=0 -o touji.dxf --json touji.json"
  "walls sample.dxf --buildings layer=建物 --wall-at 26000,27000 --place 65000,5000 -o walls.dxf --svg walls.svg"
  "sky sample.dxf --buildings layer=建物 --points layer=測定点 --csv sky.csv --json sky.json"
  "sky sample.dxf --buildings layer=建物 --points layer=測定点 --map 1 --at 80000,40000 --set Tenku.Hatch=5 -o tenku.dxf --svg tenku.svg"
  "points sample.dxf --buildings layer=建物 --points layer=測定点 --exact --draw --at 62000,40000 -o points.dxf --json points.json"
  "boundary sample.dxf --site layer=敷地 -o boundary.dxf --json boundary.json"
  "check sample.dxf --buildings layer=建物 --site layer=敷地 --limits 4,2.5 -o check.dxf --json check.json"
  "ratio-table --draw sample.dxf --at 70000,60000 -o ratio.dxf"
)

for side in linux windows; do
  mkdir -p "$work/$side"
  cp "$root/examples/sample.dxf" "$root/examples/squares.txt" "$work/$side/"
  (
    cd "$work/$side"
    i=0
    for c in "${commands[@]}"; do
      i=$((i + 1))
      # shellcheck disable=SC2086  # the command's words
      if [ "$side" = linux ]; then
        set +e; "$linux_zuka" --workdir . $c >"out$i.txt" 2>&1; echo "exit $?" >>"out$i.txt"; set -e
      else
        set +e; timeout 600 wine "$windows_zuka" --workdir . $c >"out$i.txt" 2>&1
        echo "exit $?" >>"out$i.txt"; set -e
      fi
    done
  )
done

status=0
for f in $(cd "$work/linux" && ls); do
  a="$work/linux/$f"; b="$work/windows/$f"
  if [ ! -f "$b" ]; then echo "DIFFERS: $f is missing on Windows"; status=1; continue; fi
  case "$f" in
    out*.txt) normalise_text <"$a" >"$work/a"; normalise_text <"$b" >"$work/b" ;;
    *.dxf | *.svg) normalise_dxf <"$a" >"$work/a"; normalise_dxf <"$b" >"$work/b" ;;
    *) cp "$a" "$work/a"; cp "$b" "$work/b" ;;
  esac
  same "$work/a" "$work/b" || {
    echo "DIFFERS: $f"; status=1
    diff <(normalise_text <"$a") <(normalise_text <"$b") | head -20 || true
  }
done
for f in $(cd "$work/windows" && ls); do
  [ -f "$work/linux/$f" ] || { echo "DIFFERS: $f is only on Windows"; status=1; }
done
n=$(cd "$work/linux" && ls | wc -l)
[ "$status" -eq 0 ] && echo "differential: ${#commands[@]} commands, $n files the same on Linux and Windows"
exit "$status"
