#!/usr/bin/env bash
# Writes small BMP pictures of every depth and layout the reader takes, made by ImageMagick and
# FFmpeg, into the folder given (default: ./seeds), as a starting corpus for bmp_fuzzer; and, when
# a second folder is given, the same pictures as information and pixel blocks (a two-byte size of
# the information block, the block, the pixels) for picture_info_fuzzer; and, when a third is
# given, small pictures of the formats the FFmpeg plug-in reads, for picture_ffmpeg_fuzzer.
set -euo pipefail
out=${1:-seeds}
info=${2:-}
pictures=${3:-}
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
convert -size 7x5 -seed 3 plasma:fractal "$tmp/src.png"
convert "$tmp/src.png" -type TrueColor BMP3:"$out/rgb24.bmp"
convert "$tmp/src.png" -colors 200 -type Palette BMP3:"$out/pal8.bmp"
convert "$tmp/src.png" -colors 12 -type Palette BMP3:"$out/pal4.bmp"
convert "$tmp/src.png" -monochrome BMP3:"$out/pal1.bmp"
convert "$tmp/src.png" -type TrueColor BMP:"$out/v5.bmp"
convert "$tmp/src.png" -define bmp:subtype=RGB565 BMP:"$out/rgb565.bmp"
convert "$tmp/src.png" -colors 16 -compress RLE BMP3:"$out/rle.bmp" 2>/dev/null || true
for fmt in bgra rgb555le rgb565le pal8 monow; do
  ffmpeg -v error -y -i "$tmp/src.png" -pix_fmt "$fmt" "$out/ff-$fmt.bmp"
done
if [ -n "$info" ]; then
  mkdir -p "$info"
  for f in "$out"/*.bmp; do
    offset=$(od -An -tu4 -j10 -N4 "$f" | tr -d ' ')
    n=$((offset - 14))
    { printf "\\x$(printf %02x $((n & 255)))\\x$(printf %02x $((n >> 8)))"; tail -c +15 "$f"; } \
      > "$info/$(basename "$f" .bmp).blocks"
  done
fi
if [ -n "$pictures" ]; then
  mkdir -p "$pictures"
  convert "$tmp/src.png" -alpha set -channel A -evaluate set 50% +channel PNG32:"$pictures/alpha.png"
  for ext in png jpg gif tiff tga ppm; do convert "$tmp/src.png" "$pictures/pic.$ext"; done
  convert "$tmp/src.png" -colors 16 -compress RLE BMP3:"$pictures/rle.bmp"
  ffmpeg -v error -y -i "$tmp/src.png" -c:v libwebp "$pictures/pic.webp"
  ffmpeg -v error -y -i "$tmp/src.png" -c:v targa -rle 1 "$pictures/rle.tga"
fi
