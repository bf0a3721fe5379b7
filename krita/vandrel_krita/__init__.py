"""Vandrel in Krita: Vandrel Pro's flat of black lines and Auto Flats, as
menu actions (Tools > Scripts > Vandrel) and as functions for scripts."""

from .layers import Refused, auto_flats, flat_layer  # noqa: F401
from .native import Cancelled, FilterError  # noqa: F401
