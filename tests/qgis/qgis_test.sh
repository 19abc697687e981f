#!/bin/sh
# The QGIS algorithm run headless by qgis_process on GeoTIFFs made from the
# sample: its output holds a direct run's samples at the input's extent and in
# its coordinate system, and a failing run fails it with the program's message.
# Usage: qgis_test.sh <groundzero> <plugin folder> <sample folder>; status 77: skipped.
set -u
exe=$1 plugins=$2 sample=$3
fail() { echo "FAIL: $*" >&2; exit 1; }
command -v qgis_process.bin > /dev/null && command -v gdal_translate > /dev/null ||
    { echo "skipped: QGIS's qgis_process.bin or GDAL's tools are not installed"; exit 77; }
scratch=$(mktemp -d) || exit 1
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" && mkdir bin -p c/images/t && ln -s "$exe" bin/groundzero
export PATH="$scratch/bin:$PATH" QGIS_PLUGINPATH="$plugins" QGIS_CUSTOM_CONFIG_PATH="$scratch/profile" \
    QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$scratch"
qgis_process.bin plugins enable groundzero > log 2>&1 || fail "the plugin is not enabled: $(cat log)"

# The sample with a coordinate system and 25 m pixels, in cm (UInt16) and in m
# (Float32); beside it, what a direct run reads: the raw sample, an ASCII grid.
printf '<VRTDataset rasterXSize="64" rasterYSize="48"><VRTRasterBand dataType="UInt16" band="1"
 subClass="VRTRawRasterBand"><SourceFilename>%s</SourceFilename><PixelOffset>2</PixelOffset>
 <LineOffset>128</LineOffset><ByteOrder>LSB</ByteOrder></VRTRasterBand></VRTDataset>' \
    "$sample/hill_m2.raw" > hill.vrt
gdal_translate -q -a_srs EPSG:32633 -a_ullr 500000 4001600 501600 4000400 hill.vrt u16.tif &&
    gdal_translate -q -ot Float32 -scale 0 100 0 1 u16.tif f32.tif &&
    gdal_translate -q -of AAIGrid -a_nodata -9999 f32.tif c/images/t/f32.asc &&
    cp "$sample/hill_m2.raw" "$sample/hill_m2.txt" c/images/t/ || fail "cannot make the inputs"

place() { gdalinfo "$1" | sed -n '/^Size is/,/^Pixel Size/p'; }
samples() { gdal_translate -q -of ENVI -oo DATATYPE=Float64 "$1" "$1.bin" 2> /dev/null && cat "$1.bin"; }
# input storage form width unit | the direct run's answers and output
while IFS='|' read -r params answers direct; do
    set -- $params
    qgis_process.bin run groundzero:raisebaselevel --INPUT="$1" --STORAGE="$2" --FORM="$3" \
        --WIDTH="$4" --UNIT="$5" --OUTPUT=out.tif > log 2>&1 || fail "$params: $(cat log)"
    grep -q "^MINIMUM_COUNT:	1598$" log || fail "$params: no figures: $(cat log)"
    (cd c && echo "$answers" | groundzero > /dev/null) || fail "$answers: the direct run failed"
    [ "$(place out.tif)" = "$(place "$1")" ] || fail "$params: not at the input's place: $(place out.tif)"
    [ "$(samples out.tif | od -An -tx1)" = "$(samples "c/images/t/$direct" | od -An -tx1)" ] ||
        fail "$params: the samples differ from $direct"
done << 'CASES'
u16.tif 3 1 0 2|t hill 1 0 2 0 0 1 0 2|hill_new_base_m2.raw
f32.tif 0 1 1 3|t f32 0 0 0 1 1 3 25|f32_new_base_m4.raw
f32.tif 0 0 0 0|t f32 0 0 0 0 25|f32_new_base.asc
CASES

# An ASCII output the file size limit cuts short: the program's message.
(ulimit -f 16 && qgis_process.bin run groundzero:raisebaselevel --INPUT=u16.tif --STORAGE=3 \
    --FORM=0 --OUTPUT=cut.tif > log 2>&1) && fail "a failed run succeeded: $(cat log)"
grep -q '^ERROR:.groundzero: cannot write c:\\images\\.*\\dem_new_base.asc (File too large)$' log ||
    fail "no message from the program: $(cat log)"
echo "qgis_process ran the algorithm: the samples of direct runs, at the input's place"
