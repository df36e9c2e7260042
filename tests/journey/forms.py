"""Where a control of one of the program's Designer forms lies on screen.

A form gives each control either a fixed geometry inside its parent or a
place in a box layout. Given where the form's top widget lies on screen and
how large it is there, `Form.rect` follows the control's parents down from
the top widget:

- a child with a geometry keeps its offset; it grows with its parent when the
  form has it reach (within two pixels) the parent's right or bottom edge, as
  the windows keep their title bars, toolbars and page frames against their
  edges when resized;
- a child without geometry of a plain widget fills it (a main window's
  central widget);
- an item of a box layout is packed from the end it is anchored to: from the
  start when every item before it has a fixed length, else from the end when
  every item after it has; across the layout it is centred.
"""
import os
import xml.etree.ElementTree as ET
from collections import namedtuple

FORMS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources", "forms")

# Qt's own layout margin inside a child widget and its layout spacing, which
# the forms leave unset on some layouts.
DEFAULT_MARGIN = 9
DEFAULT_SPACING = 6


class Rect(namedtuple("Rect", "x y w h")):
    @property
    def centre(self):
        return (self.x + self.w // 2, self.y + self.h // 2)

    def box(self, inset=0):
        """x0, y0, x1, y1 with `inset` pixels taken off each side."""
        return (self.x + inset, self.y + inset, self.x + self.w - inset, self.y + self.h - inset)


def _number(node, name, default=None):
    found = node.find("property[@name='%s']/number" % name)
    return int(found.text) if found is not None else default


def _size(node, name):
    found = node.find("property[@name='%s']/size" % name)
    if found is None:
        return None
    return int(found.findtext("width")), int(found.findtext("height"))


def _geometry(node):
    found = node.find("property[@name='geometry']/rect")
    if found is None:
        return None
    return Rect(*(int(found.findtext(k)) for k in ("x", "y", "width", "height")))


def _fixed_length(node, axis):
    """The item's length along `axis` (0 across, 1 down) if it cannot change, else None."""
    if node.tag == "spacer":
        fixed = node.findtext("property[@name='sizeType']/enum") == "QSizePolicy::Fixed"
        return _size(node, "sizeHint")[axis] if fixed else None
    low, high = _size(node, "minimumSize"), _size(node, "maximumSize")
    return low[axis] if low and high and low[axis] == high[axis] else None


def _minimum_length(node, axis):
    low = _size(node, "minimumSize")
    return low[axis] if low else 0


class Form:
    def __init__(self, name):
        tree = ET.parse(os.path.join(FORMS, name + ".ui"))
        self.top = tree.getroot().find("widget")
        self.parents = {child: parent for parent in tree.iter() for child in parent}

    @property
    def size(self):
        geometry = _geometry(self.top)
        return geometry.w, geometry.h

    def widget(self, name):
        found = self.top if self.top.get("name") == name else self.top.find(".//widget[@name='%s']" % name)
        if found is None:
            raise KeyError("no widget %s in the form" % name)
        return found

    def rect(self, name, placed):
        """The widget `name` on screen, the form's top widget lying at `placed`."""
        return self._rect(self.widget(name), placed)

    def _rect(self, node, placed):
        if node is self.top:
            return placed
        up = self.parents[node]
        if up.tag == "widget":
            return self._child_rect(node, up, placed)
        return self._item_rect(node, up, placed)

    def _child_rect(self, node, parent, placed):
        outer = self._rect(parent, placed)
        own = _geometry(node)
        if own is None:
            return outer
        designed = self._designed(parent)
        grow_w = grow_h = 0
        if designed is not None:
            if own.x + own.w >= designed.w - 2:
                grow_w = outer.w - designed.w
            if own.y + own.h >= designed.h - 2:
                grow_h = outer.h - designed.h
        return Rect(outer.x + own.x, outer.y + own.y, own.w + grow_w, own.h + grow_h)

    def _designed(self, node):
        """The size the form gives `node`: its geometry, or that of the widget it fills."""
        own = _geometry(node)
        if own is not None or node is self.top or self.parents[node].tag != "widget":
            return own
        return self._designed(self.parents[node])

    def _item_rect(self, node, item, placed):
        layout = self.parents[item]
        container = self.parents[layout]
        kind = layout.get("class")
        if container.tag != "widget" or kind not in ("QHBoxLayout", "QVBoxLayout"):
            raise ValueError("%s sits in a layout this reader does not follow" % node.get("name"))
        outer = self._rect(container, placed)
        axis = 0 if kind == "QHBoxLayout" else 1
        spacing = _number(layout, "spacing", DEFAULT_SPACING)
        margins = [_number(layout, side + "Margin", DEFAULT_MARGIN) for side in ("left", "top", "right", "bottom")]
        items = [entry[0] for entry in layout.findall("item")]
        index = items.index(node)

        def packed(run):
            """The length the items of `run` take with their spacing, or None."""
            lengths = [_fixed_length(entry, axis) for entry in run]
            if None in lengths:
                return None
            return sum(lengths) + spacing * sum(1 for entry in run if entry.tag != "spacer")

        origin, extent = (outer.x, outer.w) if axis == 0 else (outer.y, outer.h)
        start = origin + margins[axis]
        end = origin + extent - margins[axis + 2]
        before, after = packed(items[:index]), packed(items[index + 1 :])
        length = _fixed_length(node, axis)
        own = length if length is not None else _minimum_length(node, axis)
        if length is None and before is not None and after is not None:
            low, high = start + before, end - after  # stretched between its neighbours
        elif before is not None:
            low, high = start + before, start + before + own
        elif after is not None:
            low, high = end - after - own, end - after
        else:
            raise ValueError("%s has no fixed distance to either end of its layout" % node.get("name"))

        cross = 1 - axis
        cross_origin, cross_extent = (outer.x, outer.w) if cross == 0 else (outer.y, outer.h)
        cross_low = cross_origin + margins[cross]
        cross_high = cross_origin + cross_extent - margins[cross + 2]
        thickness = _fixed_length(node, cross)
        if thickness is not None:
            cross_low += (cross_high - cross_low - thickness) // 2
            cross_high = cross_low + thickness
        if axis == 0:
            return Rect(low, cross_low, high - low, cross_high - cross_low)
        return Rect(cross_low, low, cross_high - cross_low, high - low)
