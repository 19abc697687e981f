#!/bin/sh
# Draws docs/before_after.png: a DEM with a zero collar (a rotated terrain, as
# reprojection leaves it) before and after groundzero raised the collar to the
# base level, each as a colour relief stretched over its own range, shaded.
# Needs gdal-bin and python3-gdal (Debian), and a built build/groundzero.
set -e
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/images/pic"
/usr/bin/python3 - "$work/images/pic" <<'PY'
import sys
import numpy as np
n, m = 360, 420
y, x = np.mgrid[0:n, 0:m].astype(float)
u, v = (x - m / 2) * np.cos(0.35) + (y - n / 2) * np.sin(0.35), -(x - m / 2) * np.sin(0.35) + (y - n / 2) * np.cos(0.35)
inside = (np.abs(u) < 165) & (np.abs(v) < 120)
z = 160 + 70 * np.sin(x / 37) * np.cos(y / 53) + 60 * np.exp(-((x - 260) ** 2 + (y - 150) ** 2) / 4000) + 0.12 * x
cm = np.where(inside, np.round(z * 100), 0).astype("<u2")
cm.tofile(sys.argv[1] + "/terrain_m2.raw")
open(sys.argv[1] + "/terrain_m2.txt", "w").write("%d\n%d\n2\n0\n%d\n30\n" % (n, m, cm.max()))
PY
(cd "$work" && printf 'pic terrain 1 0 2 0 0 1 0 2\n' | "$OLDPWD/build/groundzero" > /dev/null)
for name in terrain terrain_new_base; do
  cat > "$work/$name.vrt" <<VRT
<VRTDataset rasterXSize="420" rasterYSize="360">
  <GeoTransform>0, 30, 0, 10800, 0, -30</GeoTransform>
  <VRTRasterBand dataType="UInt16" band="1" subClass="VRTRawRasterBand">
    <SourceFilename relativeToVRT="1">images/pic/${name}_m2.raw</SourceFilename>
    <ImageOffset>0</ImageOffset><PixelOffset>2</PixelOffset><LineOffset>840</LineOffset><ByteOrder>LSB</ByteOrder>
  </VRTRasterBand>
</VRTDataset>
VRT
  printf '0%% 40 70 160\n25%% 70 140 80\n50%% 200 190 110\n75%% 150 100 60\n100%% 250 250 250\n' > "$work/ramp.txt"
  gdaldem color-relief -q "$work/$name.vrt" "$work/ramp.txt" "$work/$name.color.tif"
  gdaldem hillshade -q -z 0.02 "$work/$name.vrt" "$work/$name.shade.tif"
done
/usr/bin/python3 - "$work" docs/before_after.png <<'PY'
import sys
import numpy as np
from osgeo import gdal
work, out = sys.argv[1], sys.argv[2]
panels = []
for name in ("terrain", "terrain_new_base"):
    color = gdal.Open(work + "/%s.color.tif" % name).ReadAsArray().astype(float)
    shade = gdal.Open(work + "/%s.shade.tif" % name).ReadAsArray().astype(float)
    shade[shade == 0] = 180  # the hillshade leaves its border cells empty
    panels.append(np.clip(color * (0.35 + 0.65 * shade / 255), 0, 255))
gap = np.full((3, panels[0].shape[1], 12), 255.0)
image = np.concatenate([panels[0], gap, panels[1]], axis=2).astype(np.uint8)
mem = gdal.GetDriverByName("MEM").Create("", image.shape[2], image.shape[1], 3, gdal.GDT_Byte)
for b in range(3):
    mem.GetRasterBand(b + 1).WriteArray(image[b])
gdal.GetDriverByName("PNG").CreateCopy(out, mem)
PY
rm -f docs/before_after.png.aux.xml
echo "wrote docs/before_after.png"
