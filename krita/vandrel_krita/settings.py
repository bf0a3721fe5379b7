"""The dialogs' choices, kept in Krita's own settings store between runs."""

from krita import Krita

GROUP = "vandrel"

# name: (default, lowest, highest)
FLAT = {"depth": (256, 1, 65535), "white": (0, 0, 1)}
AUTO = {"gap": (0, 0, 1024), "min_region": (-1, -1, 1 << 30), "spot_blacks": (1, 0, 1), "keep_lines": (0, 0, 1),
        "threshold": (128, 1, 255), "keep_colours": (1, 0, 1)}
# Text choices: name: default.
AUTO_TEXT = {"palette": ""}


def read_text(fields, prefix):
    return {name: Krita.instance().readSetting(GROUP, prefix + name, default) for name, default in fields.items()}


def read(fields, prefix):
    """Each stored value, or its default when missing or not a number in
    range (a settings file edited by hand must not break the dialog)."""
    values = {}
    for name, (default, low, high) in fields.items():
        text = Krita.instance().readSetting(GROUP, prefix + name, str(default))
        try:
            value = int(text)
        except ValueError:
            value = default
        values[name] = value if low <= value <= high else default
    return values


def write(values, prefix):
    for name, value in values.items():
        Krita.instance().writeSetting(GROUP, prefix + name, value if isinstance(value, str) else str(int(value)))
