#!/usr/bin/env bash
# JPEG files, Kelvo's beside ImageMagick's at the same qualities: an
# ordinary 1920x1080 desktop (bench/desktop_picture.py) as a 24-bit BMP,
# read, encoded and written as a JPEG file. Time (median, whole command for
# ImageMagick, the same steps in one process for Kelvo), size, and how far
# each file is from the picture (PSNR, by ImageMagick's compare).
#
#   bench/run_jpeg_bench.sh <build folder>
#
# Needs <build folder>/kelvo_jpeg_bench, Debian's /usr/bin/convert and
# /usr/bin/compare, /usr/bin/python3 with Pillow, imagemagick-6-doc.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bench=$1/kelvo_jpeg_bench
work=$(mktemp -d /tmp/kelvo-jpeg-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
qualities="50 75 90 95"

/usr/bin/python3 "$here/desktop_picture.py" "$work/desktop.png" 1920 1080 >/dev/null
/usr/bin/convert "$work/desktop.png" -type TrueColor "BMP3:$work/desktop.bmp"

"$bench" "$work/desktop.bmp" "$work" $qualities > "$work/kelvo.txt"

median_ms() {  # command... : median wall time of 15 runs, in ms
  for _ in $(seq 15); do
    s=$(date +%s%N); "$@"; e=$(date +%s%N)
    echo $(( (e - s) / 1000 ))
  done | sort -n | sed -n 8p | awk '{ printf "%.1f", $1 / 1000 }'
}
psnr() { /usr/bin/compare -metric PSNR "$1" "$work/desktop.bmp" null: 2>&1 || true; }

echo "| quality | Kelvo ms | ImageMagick ms | time / ImageMagick | Kelvo bytes | ImageMagick bytes | size / ImageMagick | Kelvo PSNR dB | ImageMagick PSNR dB |"
echo "|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
for q in $qualities; do
  read -r _ _ kms _ kbytes _ < <(grep "^kelvo q$q " "$work/kelvo.txt")
  im="$work/im-q$q.jpg"
  ims=$(median_ms /usr/bin/convert "$work/desktop.bmp" -strip -quality "$q" "$im")
  imbytes=$(stat -c %s "$im")
  awk -v q="$q" -v k="$kms" -v i="$ims" -v kb="$kbytes" -v ib="$imbytes" \
      -v kp="$(psnr "$work/kelvo-q$q.jpg")" -v ip="$(psnr "$im")" \
      'BEGIN { printf "| %d | %.1f | %.1f | %.2f | %d | %d | %.3f | %.2f | %.2f |\n", q, k, i, k / i, kb, ib, kb / ib, kp, ip }'
done
