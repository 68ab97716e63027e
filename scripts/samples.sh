#!/usr/bin/env bash
# Makes build/sample-photos: a few JPEG and PNG pictures carrying GPS, camera (Make, Model,
# DateTimeOriginal), XMP, IPTC and comment tags, to try the program on (run.sh maps it to E:).
# An erase run clears them, so the folder is made afresh on every call; anything else in it goes.
set -euo pipefail
source "$(dirname "$0")/env.sh"
dir=$QH_BUILD/sample-photos
work=$dir.new
rm -rf "$work"
mkdir -p "$work"

# name | ImageMagick picture | Make | Model | DateTimeOriginal | latitude | longitude | title
samples=(
  "春天的花园.jpg|gradient:#9be15d-#00e3ae|Canon|Canon EOS 80D|2023:04:02 09:15:30|30.2741|120.1551|西湖边的花园"
  "IMG_0501 旅行.jpg|radial-gradient:#fceabb-#f8b500|NIKON CORPORATION|NIKON D750|2022:10:01 16:42:05|25.0330|121.5654|旅行途中"
  "城市夜景 (1).jpg|gradient:#141e30-#243b55|SONY|ILCE-7M3|2021:12:24 21:03:11|31.2397|121.4998|城市夜景"
  "截图 2024.png|pattern:checkerboard|Apple|iPhone 13|2024:01:15 12:00:00|39.9042|116.4074|屏幕截图"
  "logo_草图.png|gradient:#ff9a9e-#fad0c4|HUAWEI|ELS-AN00|2020:06:18 08:30:45|22.5431|114.0579|草图"
)

args=()
for row in "${samples[@]}"; do
  IFS='|' read -r name picture make model taken lat lon title <<<"$row"
  file=$work/$name
  # ImageMagick writes to standard output: it would read "%d" or "[...]" in a name as its own pattern.
  convert -size 640x480 "$picture" "${name##*.}:-" >"$file"
  args+=(-GPSLatitude="$lat" -GPSLatitudeRef=N -GPSLongitude="$lon" -GPSLongitudeRef=E -GPSAltitude=12
         -Make="$make" -Model="$model" -DateTimeOriginal="$taken" -Orientation#=1
         -XMP-dc:Title="$title" -XMP-dc:Creator=青禾摄影 -XMP-dc:Subject=示例
         -IPTC:CodedCharacterSet=UTF8 -IPTC:ObjectName="$title" -IPTC:Keywords=示例 -IPTC:City=杭州
         -Comment="青禾净图示例照片：$title" "$file" -execute)
done
# One exiftool run writes every file's tags (-execute separates them, -common_args go with each);
# -q -q hides the warning about IPTC in PNG.
exiftool "${args[@]}" -common_args -q -q -overwrite_original -charset iptc=UTF8

rm -rf "$dir"
mv "$work" "$dir"
echo "Sample photos: $dir"
