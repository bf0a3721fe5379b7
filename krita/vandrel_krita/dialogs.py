"""The two dialogs and the progress window. They only gather choices and
show progress; the work is in layers.py."""

from PyQt5.QtCore import Qt
from PyQt5.QtWidgets import (QApplication, QCheckBox, QComboBox, QDialog, QDialogButtonBox, QFileDialog,
                             QFormLayout, QHBoxLayout, QLabel, QLineEdit, QProgressDialog, QPushButton, QSpinBox,
                             QVBoxLayout)


class FlatDialog(QDialog):
    def __init__(self, values, layer_name, parent=None):
        super().__init__(parent)
        self.setWindowTitle("Vandrel Pro: Flat lines")
        layout = QVBoxLayout(self)
        layout.addWidget(QLabel('Every black pixel of "%s" takes the colour of the nearest pixel that is '
                                "not black, within the selection if there is one. The result is a new layer "
                                "above it; the original stays under it, unchanged."
                                % layer_name, wordWrap=True))
        form = QFormLayout()
        self.depth = QSpinBox(minimum=1, maximum=65535, value=values["depth"])
        self.depth.setToolTip("How far, in pixels, a colour is looked for")
        form.addRow("Black Pixel Depth:", self.depth)
        layout.addLayout(form)
        self.white = QCheckBox("Paint too deep pixels white", checked=bool(values["white"]))
        layout.addWidget(self.white)
        buttons = QDialogButtonBox(QDialogButtonBox.Ok | QDialogButtonBox.Cancel)
        buttons.accepted.connect(self.accept)
        buttons.rejected.connect(self.reject)
        layout.addWidget(buttons)

    def values(self):
        return {"depth": self.depth.value(), "white": 1 if self.white.isChecked() else 0}


class AutoFlatsDialog(QDialog):
    def __init__(self, values, line_name, hint_layers, parent=None):
        """`hint_layers`: (name, layer) pairs the user may pick hints from."""
        super().__init__(parent)
        self.setWindowTitle("Vandrel: Auto Flats")
        self._hint_layers = hint_layers
        layout = QVBoxLayout(self)
        layout.addWidget(QLabel('A "Flats" layer under "%s" on Multiply: one flat colour for every closed region, '
                                "the lines melted into them. Within the selection, if there is one." % line_name,
                                wordWrap=True))
        form = QFormLayout()
        self.gap = QSpinBox(minimum=0, maximum=1024, value=values["gap"])
        self.gap.setSpecialValueText("from the resolution")
        self.gap.setSuffix(" px")
        self.gap.setToolTip("Lines that stop up to this many pixels short of each other still close a region")
        form.addRow("Gap:", self.gap)
        self.min_region = QSpinBox(minimum=-1, maximum=1 << 30, value=values["min_region"])
        self.min_region.setSpecialValueText("automatic")
        self.min_region.setSuffix(" px")
        self.min_region.setToolTip("Smaller regions (hatching specks) join their longest neighbour")
        form.addRow("Minimum region:", self.min_region)
        self.threshold = QSpinBox(minimum=1, maximum=255, value=values["threshold"])
        self.threshold.setToolTip("Line strength (darkness times opacity, 1 to 255) at which a pixel is line art; "
                                  "lighter anti-aliased edges take their region's colour")
        form.addRow("Line darkness:", self.threshold)
        self.palette = QLineEdit(values.get("palette", ""))
        self.palette.setPlaceholderText("automatic colours")
        self.palette.setToolTip("Take the regions' colours from a GIMP palette (.gpl) or a file of one #rrggbb a "
                                "line; touching regions still differ where it has enough colours")
        browse = QPushButton("Choose...")
        browse.clicked.connect(self._choose_palette)
        row = QHBoxLayout()
        row.addWidget(self.palette)
        row.addWidget(browse)
        form.addRow("Palette:", row)
        self.hints = QComboBox()
        self.hints.addItem("None (colours on the line art only)")
        for name, _ in hint_layers:
            self.hints.addItem(name)
        self.hints.setToolTip("A layer whose dots or fills of any colour (greys and pale ones too; not black, "
                              "white or transparent) choose their regions' colours; it is hidden afterwards")
        form.addRow("Hints layer:", self.hints)
        layout.addLayout(form)
        self.spot_blacks = QCheckBox("Spot blacks are regions of their own", checked=bool(values["spot_blacks"]))
        layout.addWidget(self.spot_blacks)
        self.keep_lines = QCheckBox("Keep the lines on the flats (to inspect the regions)",
                                    checked=bool(values["keep_lines"]))
        layout.addWidget(self.keep_lines)
        self.keep_colours = QCheckBox('Keep the colours of the "Flats" layer this replaces',
                                      checked=bool(values.get("keep_colours", 1)))
        self.keep_colours.setToolTip("For revised line art: every region takes the colour of the old flat it "
                                     "overlaps most; where a region was split, the larger part keeps it")
        layout.addWidget(self.keep_colours)
        buttons = QDialogButtonBox(QDialogButtonBox.Ok | QDialogButtonBox.Cancel)
        buttons.accepted.connect(self.accept)
        buttons.rejected.connect(self.reject)
        layout.addWidget(buttons)

    def values(self):
        return {"gap": self.gap.value(), "min_region": self.min_region.value(),
                "spot_blacks": 1 if self.spot_blacks.isChecked() else 0,
                "keep_lines": 1 if self.keep_lines.isChecked() else 0, "threshold": self.threshold.value(),
                "keep_colours": 1 if self.keep_colours.isChecked() else 0,
                "palette": self.palette.text().strip()}

    def _choose_palette(self):
        name, _ = QFileDialog.getOpenFileName(self, "Palette", self.palette.text(),
                                              "Palettes (*.gpl *.txt);;All files (*)")
        if name:
            self.palette.setText(name)

    def hints_layer(self):
        index = self.hints.currentIndex()
        return self._hint_layers[index - 1][1] if index > 0 else None


class Progress:
    """A progress window with Cancel, fed by the filters' callback; the
    events it lets through are what makes Cancel clickable during a pass."""

    def __init__(self, title, parent=None):
        self.dialog = QProgressDialog(title, "Cancel", 0, 1000, parent)
        self.dialog.setWindowTitle("Vandrel")
        self.dialog.setWindowModality(Qt.WindowModal)
        self.dialog.setMinimumDuration(300)
        self.dialog.setValue(0)

    def __call__(self, done, total):
        if total > 0:
            self.dialog.setValue(min(1000, done * 1000 // total))
        QApplication.processEvents()
        return self.dialog.wasCanceled()

    def close(self):
        self.dialog.reset()
        self.dialog.close()
