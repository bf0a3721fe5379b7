"""Vandrel in Krita: Vandrel Pro's flat of black lines and Auto Flats, as
menu actions (Tools > Scripts > Vandrel) and as functions for scripts:

    from vandrel_krita import flat_layer, auto_flats
    flat_layer(document, node, depth=256, white=False)       -> the new layer
    auto_flats(document, line_node, hints_node=None, gap=0,
               min_region=-1, spot_blacks=1, keep_lines=0,
               threshold=128, palette=None)                   -> the "Flats" layer

Both work within the document's selection when there is one; see
Manual.html for the layers they make and what undo does.
"""

from .layers import Refused, auto_flats, flat_layer  # noqa: F401
from .native import Cancelled, FilterError  # noqa: F401

try:
    from krita import Krita as _Krita

    from .extension import VandrelExtension as _Extension

    # Krita imports the package once at start-up, and a script may import it
    # again: one menu either way.
    if not any(isinstance(e, _Extension) for e in _Krita.instance().extensions()):
        _Krita.instance().addExtension(_Extension(_Krita.instance()))
except ImportError:  # outside Krita: the functions alone
    pass
