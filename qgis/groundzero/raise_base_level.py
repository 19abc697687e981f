"""The algorithm "Raise the base level": the layer written as the program reads
it in a scratch data root, the program run there on piped answers, and its
output given the layer's extent and coordinate system."""
import os
import shutil
import subprocess
import tempfile

from osgeo import gdal
from qgis.core import (QgsCoordinateReferenceSystem, QgsProcessingAlgorithm,
                       QgsProcessingException, QgsProcessingOutputNumber,
                       QgsProcessingParameterEnum, QgsProcessingParameterRasterDestination,
                       QgsProcessingParameterRasterLayer, QgsProcessingUtils, QgsRasterFileWriter,
                       QgsRasterPipe)

from . import dialogue

NAME = "dem"  # the DEM's name in the scratch folder
NODATA = -9999  # the no-data line an ASCII grid must have, where the layer gives none


class RaiseBaseLevel(QgsProcessingAlgorithm):
    def __init__(self, program_path):
        super().__init__()
        self.program_path = program_path

    def createInstance(self):  # noqa: N802 (QGIS's names)
        return RaiseBaseLevel(self.program_path)

    def name(self):
        return "raisebaselevel"

    def displayName(self):  # noqa: N802
        return "Raise the base level"

    def shortHelpString(self):  # noqa: N802
        return ("Takes the smallest strictly positive elevation of the raster's first band as "
                "the base level and raises every lower cell (the zero, negative or null collar "
                "around the terrain) to it, with the groundzero program. Say how the values are "
                "stored: decimal metres, or integers in a unit. The output has the raster's "
                "extent and coordinate system; the lowest elevation, the number of cells that "
                "hold it and the base level go to the log and the results.")

    def initAlgorithm(self, config=None):  # noqa: N802
        self.addParameter(QgsProcessingParameterRasterLayer("INPUT", "Elevation raster"))
        self.addParameter(QgsProcessingParameterEnum(
            "STORAGE", "Its values are", options=[s[0] for s in dialogue.STORAGES],
            defaultValue=0))
        self.addParameter(QgsProcessingParameterEnum(
            "FORM", "Output form", options=dialogue.FORMS, defaultValue=1))
        self.addParameter(QgsProcessingParameterEnum(
            "WIDTH", "Output integers (raw raster)", options=dialogue.WIDTHS, defaultValue=1))
        self.addParameter(QgsProcessingParameterEnum(
            "UNIT", "Output unit (raw raster)", options=dialogue.UNITS, defaultValue=2))
        self.addParameter(QgsProcessingParameterRasterDestination("OUTPUT", "Raised elevation"))
        self.addOutput(QgsProcessingOutputNumber("MINIMUM", "Lowest elevation (m)"))
        self.addOutput(QgsProcessingOutputNumber("MINIMUM_COUNT", "Cells at the lowest elevation"))
        self.addOutput(QgsProcessingOutputNumber("BASE_LEVEL", "Base level (m)"))

    def processAlgorithm(self, parameters, context, feedback):  # noqa: N802
        layer = self.parameterAsRasterLayer(parameters, "INPUT", context)
        storage = self.parameterAsEnum(parameters, "STORAGE", context)
        form = self.parameterAsEnum(parameters, "FORM", context)
        width = self.parameterAsEnum(parameters, "WIDTH", context)
        unit = self.parameterAsEnum(parameters, "UNIT", context)
        destination = self.parameterAsOutputLayer(parameters, "OUTPUT", context)
        program = self.program_path()
        cwd, folder = scratch_folder()
        try:
            source = gdal.Open(gdal_source(layer, folder, context))
            if source is None:
                raise QgsProcessingException(f"GDAL cannot open {layer.source()}")
            pixel, corner = write_input(source, storage, folder)
            answers = dialogue.answers(os.path.basename(folder), NAME, storage, form, width, unit,
                                       pixel, corner)
            feedback.pushCommandInfo(f"{program} < answers: {answers.strip()}")
            console = run(program, answers, cwd, feedback)
            figures = dialogue.figures(console)
            if figures is None:
                raise QgsProcessingException(f"{program} printed no figures:\n{console}")
            minimum, count, base = figures
            feedback.pushInfo(f"Lowest elevation {minimum:f} m, held by {count} cells; "
                              f"base level {base:f} m")
            write_output(program_output(folder, form, width), source, layer.crs(), destination)
        finally:
            shutil.rmtree(cwd or folder, ignore_errors=True)
        return {"OUTPUT": destination, "MINIMUM": minimum, "MINIMUM_COUNT": count,
                "BASE_LEVEL": base}


def scratch_folder():
    """A scratch folder in the data root, and the folder that stands for drive C:
    (the working directory) where it isn't the real one."""
    if os.name == "nt":
        images, cwd = "c:\\images", None
        os.makedirs(images, exist_ok=True)
    else:
        cwd = tempfile.mkdtemp(prefix="groundzero-", dir=QgsProcessingUtils.tempFolder())
        images = os.path.join(cwd, "images")
        os.mkdir(images)
    # Letters, digits and underscores: one word of the dialogue.
    return cwd, tempfile.mkdtemp(prefix="qgis_", dir=images)


def gdal_source(layer, folder, context):
    """A name GDAL opens for the layer: its own, or a GeoTIFF of it for a layer
    that another provider serves."""
    if layer.providerType() == "gdal":
        return layer.dataProvider().dataSourceUri()
    path = os.path.join(folder, "layer.tif")
    provider = layer.dataProvider()
    pipe = QgsRasterPipe()
    pipe.set(provider.clone())
    error = QgsRasterFileWriter(path).writeRaster(
        pipe, provider.xSize(), provider.ySize(), provider.extent(), layer.crs(),
        context.transformContext())
    if error != QgsRasterFileWriter.NoError:
        raise QgsProcessingException(f"cannot write the layer {layer.name()} to {path}")
    return path


def write_input(source, storage, folder):
    """Writes the first band as the program reads it: an ASCII grid (with a
    no-data line), or raw samples with their descriptor, and the header GDAL
    writes beside them (the place the raster's header passes on). Cells are
    made square: the true geometry is the output's. Returns the cell size and
    the lower-left corner given to the program."""
    geometry = source.GetGeoTransform()
    pixel = abs(geometry[1]) or 1.0
    lines, columns = source.RasterYSize, source.RasterXSize
    left, top = geometry[0], geometry[3]
    bounds = [left, top, left + columns * pixel, top - lines * pixel]
    width = dialogue.STORAGES[storage][1]
    path = os.path.join(folder, NAME)
    if width is None:
        nodata = source.GetRasterBand(1).GetNoDataValue()
        done = gdal.Translate(path + ".asc", source, format="AAIGrid", bandList=[1],
                              outputBounds=bounds, noData=NODATA if nodata is None else nodata)
    else:
        suffix, kind = ("_m2", gdal.GDT_UInt16) if width == 0 else ("_m4", gdal.GDT_Int32)
        done = gdal.Translate(path + suffix + ".raw", source, format="EHdr", bandList=[1],
                              outputBounds=bounds, outputType=kind)
        with open(path + suffix + ".txt", "w", newline="\r\n") as descriptor:
            descriptor.write(f"{lines}\n{columns}\n{2 if width == 0 else 4}\n0\n0\n0\n")
    if done is None:
        raise QgsProcessingException(f"cannot write the raster for groundzero in {folder}: "
                                     f"{gdal.GetLastErrorMsg()}")
    done = None  # closed: written whole
    return pixel, (left, top - lines * pixel)


def run(program, answers, cwd, feedback):
    """Runs the program on the answers, in a session of its own (no terminal: it
    never waits for a key). Its console text; its message fails the algorithm."""
    options = {"start_new_session": True} if os.name != "nt" else {
        "creationflags": subprocess.CREATE_NEW_PROCESS_GROUP | subprocess.CREATE_NO_WINDOW}
    process = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, cwd=cwd, **options)
    while True:
        try:
            out, err = process.communicate(answers.encode(), timeout=0.5)
            break
        except subprocess.TimeoutExpired:
            if feedback.isCanceled():
                process.terminate()  # it removes its unfinished outputs
                process.communicate()
                raise QgsProcessingException("canceled")
    console, message = out.decode(errors="replace"), err.decode(errors="replace").strip()
    feedback.pushConsoleInfo(console)
    if process.returncode != 0:
        raise QgsProcessingException(message or f"{program} ended with status "
                                     f"{process.returncode}")
    if message:
        feedback.reportError(message, False)
    return console


def program_output(folder, form, width):
    """The file the program wrote, opened by GDAL as it stands: a raw raster by
    its header, an ASCII grid as doubles (the value of each word)."""
    if form == 0:
        return gdal.OpenEx(os.path.join(folder, NAME + "_new_base.asc"),
                           open_options=["DATATYPE=Float64"])
    return gdal.Open(os.path.join(folder, NAME + ("_new_base_m2.raw" if width == 0
                                                  else "_new_base_m4.raw")))


def write_output(result, source, crs, destination):
    """The program's samples at the layer's extent and in its coordinate system,
    in the format the destination's extension names."""
    if result is None:
        raise QgsProcessingException(f"GDAL cannot read the program's output: "
                                     f"{gdal.GetLastErrorMsg()}")
    view = gdal.Translate("", result, format="VRT")
    geometry = source.GetGeoTransform(can_return_null=True)
    if geometry is not None:
        view.SetGeoTransform(geometry)
    view.SetProjection(crs.toWkt(QgsCoordinateReferenceSystem.WKT_PREFERRED_GDAL)
                       if crs.isValid() else "")
    driver = QgsRasterFileWriter.driverForExtension(os.path.splitext(destination)[1]) or "GTiff"
    written = gdal.Translate(destination, view, format=driver)
    if written is None:
        raise QgsProcessingException(f"cannot write {destination}: {gdal.GetLastErrorMsg()}")
    written.FlushCache()
