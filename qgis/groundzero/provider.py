"""The plugin, its Processing provider, and where the provider finds the program."""
import shutil

from processing.core.ProcessingConfig import ProcessingConfig, Setting
from qgis.core import QgsApplication, QgsProcessingException, QgsProcessingProvider

from .raise_base_level import RaiseBaseLevel

PROGRAM_SETTING = "GROUNDZERO_PROGRAM"


def program_path():
    """The program the options name, or else groundzero on the PATH."""
    chosen = ProcessingConfig.getSetting(PROGRAM_SETTING) or "groundzero"
    found = shutil.which(chosen)
    if found is None:
        raise QgsProcessingException(
            f"the groundzero program ({chosen}) is not found: install it, or name it in "
            "Settings > Options > Processing > Providers > groundzero")
    return found


class GroundzeroProvider(QgsProcessingProvider):
    def id(self):
        return "groundzero"

    def name(self):
        return "groundzero"

    def longName(self):  # noqa: N802 (QGIS's names)
        return "groundzero: raise the null collar of a DEM to its base level"

    def load(self):
        ProcessingConfig.addSetting(Setting(
            self.name(), PROGRAM_SETTING, "groundzero program (empty: found on the PATH)",
            "", valuetype=Setting.FILE))
        ProcessingConfig.readSettings()
        self.refreshAlgorithms()
        return True

    def unload(self):
        ProcessingConfig.removeSetting(PROGRAM_SETTING)

    def loadAlgorithms(self):  # noqa: N802
        self.addAlgorithm(RaiseBaseLevel(program_path))


class GroundzeroPlugin:
    """Adds the provider: in the desktop at start-up, in qgis_process on its own."""

    def __init__(self, iface):
        self.provider = None

    def initProcessing(self):  # noqa: N802
        self.provider = GroundzeroProvider()
        QgsApplication.processingRegistry().addProvider(self.provider)

    def initGui(self):  # noqa: N802
        self.initProcessing()

    def unload(self):
        QgsApplication.processingRegistry().removeProvider(self.provider)
