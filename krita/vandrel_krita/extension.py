"""The menu: Tools > Scripts > Vandrel > Flat lines / Auto Flats."""

from krita import Extension, Krita
from PyQt5.QtWidgets import QMenu, QMessageBox

from . import dialogs, layers, native, settings


def _window_widget():
    window = Krita.instance().activeWindow()
    return window.qwindow() if window else None


def _tell(text, parent=None):
    QMessageBox.warning(parent or _window_widget(), "Vandrel", text)


def _run(work, title, parent):
    """`work(progress)` with a progress window; a refusal or failure is told,
    a cancel is silent. Returns the new layer, or None."""
    progress = dialogs.Progress(title, parent)
    try:
        return work(progress)
    except native.Cancelled:
        return None
    except (layers.Refused, native.FilterError) as error:
        _tell(str(error), parent)
        return None
    finally:
        progress.close()


def flat_lines(document, node, parent=None, ask=True):
    """The "Flat lines" action on a document and layer: the dialog, then the
    flat. Returns the new layer, or None when refused or cancelled."""
    try:
        layers.layout_of(node)
    except layers.Refused as error:
        _tell(str(error), parent)
        return None
    values = settings.read(settings.FLAT, "flat_")
    if ask:
        dialog = dialogs.FlatDialog(values, node.name(), parent)
        if not dialog.exec_():
            return None
        values = dialog.values()
        settings.write(values, "flat_")
    return _run(lambda progress: layers.flat_layer(document, node, values["depth"], bool(values["white"]),
                                                   progress=progress), "Flatting lines...", parent)


def auto_flats(document, node, parent=None, ask=True, hints=None):
    """The "Auto Flats" action: the dialog (hints chosen from the document's
    other paint layers), then the flats. Returns the new layer, or None."""
    try:
        layers.layout_of(node)
        if not native.has_auto_flats():
            raise layers.Refused("This Vandrel library has no Auto Flats.")
    except (layers.Refused, native.FilterError) as error:
        _tell(str(error), parent)
        return None
    values = settings.read(settings.AUTO, "auto_")
    values.update(settings.read_text(settings.AUTO_TEXT, "auto_"))
    if ask:
        others = [(n.name(), n) for n in layers.paint_layers(document) if n != node]
        dialog = dialogs.AutoFlatsDialog(values, node.name(), others, parent)
        if not dialog.exec_():
            return None
        values = dialog.values()
        hints = dialog.hints_layer()
        settings.write(values, "auto_")
    values["palette"] = values["palette"] or None
    return _run(lambda progress: layers.auto_flats(document, node, hints, progress=progress, **values),
                "Making flats...", parent)


class VandrelExtension(Extension):
    def __init__(self, parent):
        super().__init__(parent)

    def setup(self):
        pass

    def createActions(self, window):
        menu_action = window.createAction("vandrel_menu", "Vandrel", "tools/scripts")
        menu_action.setMenu(QMenu("vandrel_menu", window.qwindow()))
        flat = window.createAction("vandrel_flat_lines", "Flat lines", "tools/scripts/vandrel_menu")
        flat.triggered.connect(lambda: self._on_active(flat_lines))
        auto = window.createAction("vandrel_auto_flats", "Auto Flats", "tools/scripts/vandrel_menu")
        auto.triggered.connect(lambda: self._on_active(auto_flats))

    @staticmethod
    def _on_active(action):
        document = Krita.instance().activeDocument()
        if document is None:
            _tell("Open an image first.")
            return
        action(document, document.activeNode(), _window_widget())
