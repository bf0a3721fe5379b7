"""Run by kritarunner in a fresh Krita resource folder into which the
plug-in's zip was imported: the plug-in must load from there and work."""

import os
import sys

from krita import Krita


def main(args=None):
    import vandrel_krita
    from vandrel_krita import native

    folder = os.path.dirname(os.path.abspath(vandrel_krita.__file__))
    expected = os.path.realpath(os.environ["VANDREL_KRITA_RESOURCES"])
    checks = [
        ("the plug-in loads from the resource folder", os.path.realpath(folder).startswith(expected)),
        ("its library is the one inside it", os.path.realpath(native.library_path()).startswith(expected)),
        ("its menu extension is registered",
         any(type(e).__name__ == "VandrelExtension" for e in Krita.instance().extensions())),
    ]
    document = Krita.instance().createDocument(40, 30, "installed", "RGBA", "U8", "", 300.0)
    document.setBatchmode(True)
    node = [n for n in document.topLevelNodes() if n.type() == "paintlayer"][0]
    page = bytearray(b"\x30\x60\x90\xff" * (40 * 30))
    for x in range(40):
        page[(15 * 40 + x) * 4:(15 * 40 + x) * 4 + 3] = b"\0\0\0"
    node.setPixelData(bytes(page), 0, 0, 40, 30)
    result = vandrel_krita.flat_layer(document, node)
    checks.append(("its flat works", bytes(result.pixelData(0, 0, 40, 30)) == b"\x30\x60\x90\xff" * (40 * 30)))
    document.close()
    for name, ok in checks:
        print(("PASS: %s" % name) if ok else ("FAIL: %s" % name))
    sys.stdout.flush()
