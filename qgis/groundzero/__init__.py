"""groundzero in QGIS: a Processing provider whose algorithm runs the program."""


def classFactory(iface):  # noqa: N802 (the name QGIS calls)
    from .provider import GroundzeroPlugin

    return GroundzeroPlugin(iface)
