/*
 * Highlighter of the reader's pages.
 *
 * Marks the selected text with highlight and memo wrappers, tells which marks a
 * selection touches, removes marks by class name, and turns all marks of a page
 * into one JSON string and back. Nothing happens by itself: the reader evaluates
 * one statement per action in the page.
 *
 * The reader evaluates this file again after every page load, sometimes twice in
 * one document, so nothing is declared at the top level with let, const or class
 * (a second declaration would be a SyntaxError): everything lives in the function
 * scope below and only the globals TextHighlighter and text_highlighter are set.
 *
 * Written for the page engine of the reader (Safari 10 generation): ES2015, but
 * no for...of over DOM lists and nothing newer than ES2016.
 */
(function (window, document) {
    'use strict';

    var XHTML_NS = 'http://www.w3.org/1999/xhtml';
    var DATA_ATTR = 'data-highlighted';
    var TIMESTAMP_ATTR = 'data-timestamp';
    var ELEMENT_NODE = 1;
    var TEXT_NODE = 3;

    // The reader serves right-to-left text with zero-width direction marks
    // (U+200E, U+200F) around what is not a letter, and may place them
    // differently in a later version. Stored offsets and lengths count text
    // without them, and a wrapper takes in the marks at its edges, so a mark
    // saved on a page with or without them restores onto the same characters.
    var DIRECTION_MARKS = /[\u200e\u200f]/g;

    function isDirectionMark(text, at) {
        var code = text.charCodeAt(at);
        return code === 0x200e || code === 0x200f;
    }

    function withoutMarks(text) {
        return text.replace(DIRECTION_MARKS, '');
    }

    // The offset in `text` just after its `count`th character that is not a
    // mark (0 for none), or -1 when it has fewer.
    function offsetAfterCharacters(text, count) {
        var at = 0;
        for (var seen = 0; seen < count; at++) {
            if (at >= text.length)
                return -1;
            if (!isDirectionMark(text, at))
                seen++;
        }
        return at;
    }

    function offsetPastMarks(text, at) {
        while (at < text.length && isDirectionMark(text, at))
            at++;
        return at;
    }

    // Text directly inside these elements is never wrapped, and their subtrees are
    // not entered. Compared in upper case: XHTML pages report lower-case tag names.
    var IGNORE_TAGS = ['SCRIPT', 'STYLE', 'SELECT', 'OPTION', 'BUTTON', 'OBJECT', 'APPLET',
        'VIDEO', 'AUDIO', 'CANVAS', 'EMBED', 'PARAM', 'METER', 'PROGRESS'];

    // ---------------------------------------------------------------- DOM helpers

    function isIgnoredElement(node) {
        return node.nodeType === ELEMENT_NODE && IGNORE_TAGS.includes(String(node.tagName).toUpperCase());
    }

    function isWrapper(node) {
        return !!node && node.nodeType === ELEMENT_NODE && node.hasAttribute(DATA_ATTR);
    }

    function haveSameColor(a, b) {
        return a.style.backgroundColor === b.style.backgroundColor;
    }

    function depthOf(node) {
        var depth = 0;
        for (var n = node.parentNode; n; n = n.parentNode)
            depth++;
        return depth;
    }

    // Sorts by depth and keeps document order among equal depths, whatever the
    // engine's own sort does with ties.
    function sortByDepth(nodes, deepestFirst) {
        var keyed = nodes.map(function (node, index) {
            return { node: node, index: index, depth: depthOf(node) };
        });
        keyed.sort(function (a, b) {
            var byDepth = deepestFirst ? b.depth - a.depth : a.depth - b.depth;
            return byDepth || a.index - b.index;
        });
        return keyed.map(function (entry) { return entry.node; });
    }

    function inDocumentOrder(nodes) {
        var unique = nodes.filter(function (node, index) { return nodes.indexOf(node) === index; });
        unique.sort(function (a, b) {
            return a.compareDocumentPosition(b) & Node.DOCUMENT_POSITION_FOLLOWING ? -1 : 1;
        });
        return unique;
    }

    function childIndex(node) {
        var index = 0;
        for (var n = node.previousSibling; n; n = n.previousSibling)
            index++;
        return index;
    }

    function nextInDocumentOrder(node) {
        if (node.firstChild)
            return node.firstChild;
        for (var n = node; n; n = n.parentNode) {
            if (n.nextSibling)
                return n.nextSibling;
        }
        return null;
    }

    // Joins neighbouring text nodes among the direct children of `parent` and drops
    // empty ones. A freshly loaded page never has either, and stored paths and
    // offsets count text nodes, so a page must keep that shape after every change.
    function joinTextChildren(parent) {
        var node = parent.firstChild;
        while (node) {
            var next = node.nextSibling;
            if (node.nodeType === TEXT_NODE) {
                if (node.length === 0) {
                    parent.removeChild(node);
                } else if (next && next.nodeType === TEXT_NODE) {
                    node.appendData(next.data);
                    parent.removeChild(next);
                    continue;
                }
            }
            node = next;
        }
    }

    function unwrapElement(element) {
        var parent = element.parentNode;
        if (!parent)
            return;
        while (element.firstChild)
            parent.insertBefore(element.firstChild, element);
        parent.removeChild(element);
        joinTextChildren(parent);
    }

    // The text that `range` and the content of `node` have in common.
    function sharedText(range, node) {
        var shared = document.createRange();
        shared.selectNodeContents(node);
        if (range.compareBoundaryPoints(Range.START_TO_START, shared) > 0)
            shared.setStart(range.startContainer, range.startOffset);
        if (range.compareBoundaryPoints(Range.END_TO_END, shared) < 0)
            shared.setEnd(range.endContainer, range.endOffset);
        return shared.collapsed ? '' : shared.toString();
    }

    // Splits the text nodes at the range's ends so that the selected characters
    // are whole text nodes. Returns the boundaries as a new range and the parents
    // of the split nodes, which are joined again where nothing gets wrapped.
    function splitRangeBoundaries(range) {
        var startNode = range.startContainer;
        var startOffset = range.startOffset;
        var endNode = range.endContainer;
        var endOffset = range.endOffset;
        var splitParents = [];
        // A wrapper takes in the marks at its edges, as a restored one does.
        while (startNode.nodeType === TEXT_NODE && startOffset > 0 && isDirectionMark(startNode.data, startOffset - 1))
            startOffset--;
        if (endNode.nodeType === TEXT_NODE)
            endOffset = offsetPastMarks(endNode.data, endOffset);

        if (endNode.nodeType === TEXT_NODE && endOffset > 0 && endOffset < endNode.length) {
            endNode.splitText(endOffset);
            splitParents.push(endNode.parentNode);
        }
        if (startNode.nodeType === TEXT_NODE && startOffset > 0 && startOffset < startNode.length) {
            var tail = startNode.splitText(startOffset);
            splitParents.push(startNode.parentNode);
            if (endNode === startNode) {
                endNode = tail;
                endOffset -= startOffset;
            }
            startNode = tail;
            startOffset = 0;
        }

        var bounds = document.createRange();
        bounds.setStart(startNode, startOffset);
        bounds.setEnd(endNode, endOffset);
        return { bounds: bounds, splitParents: splitParents };
    }

    // Text nodes lying wholly inside `bounds`, in document order, without entering
    // ignored elements.
    function textNodesWithin(bounds) {
        var found = [];
        (function visit(node) {
            if (node.nodeType === TEXT_NODE) {
                if (node.length > 0 && bounds.comparePoint(node, 0) >= 0
                    && bounds.comparePoint(node, node.length) <= 0)
                    found.push(node);
                return;
            }
            if (node.nodeType !== ELEMENT_NODE || isIgnoredElement(node) || !bounds.intersectsNode(node))
                return;
            for (var child = node.firstChild; child; child = child.nextSibling)
                visit(child);
        })(bounds.commonAncestorContainer);
        return found;
    }

    // ------------------------------------------------------------ the highlighter

    function TextHighlighter(element, options) {
        if (!element)
            throw new Error('Missing anchor element');
        this.el = element;
        this.options = Object.assign({
            color: '#ffff7b',
            highlightedClass: 'highlighted',
            contextClass: 'highlighter-context',
            onRemoveHighlight: function () { return true; },
            onBeforeHighlight: function () { return true; },
            onAfterHighlight: function () {}
        }, options || {});
        this.el.classList.add(this.options.contextClass);
    }

    // A highlight wrapper of the given class and background colour.
    TextHighlighter.createWrapperNS = function (highlightedClass, color) {
        var span = createSpan();
        span.className = highlightedClass;
        span.style.backgroundColor = color;
        return span;
    };

    // A memo wrapper: dashed underline, and a click opens the memo in the reader.
    TextHighlighter.createWrapperMemoNS = function (memoClass) {
        var span = createSpan();
        span.className = memoClass;
        span.style.borderBottom = '2px dashed #FF7900';
        span.style.cursor = 'pointer';
        span.setAttribute('onclick', 'javascript:viewer_pc.webviewShowMemo("' + memoClass + '");');
        return span;
    };

    TextHighlighter.createWrapper = function (options) {
        return TextHighlighter.createWrapperNS(options.highlightedClass, options.color);
    };

    function createSpan() {
        var namespace = (document.body && document.body.namespaceURI) || XHTML_NS;
        return document.createElementNS(namespace, 'span');
    }

    TextHighlighter.prototype = {
        constructor: TextHighlighter,

        // ------------------------------------------------------------ marking

        doHighlightNS: function (date, class_name, color, keepRange) {
            this.markSelection(TextHighlighter.createWrapperNS(class_name, color), date, keepRange);
        },

        doMemoNS: function (date, class_name, keepRange) {
            this.markSelection(TextHighlighter.createWrapperMemoNS(class_name), date, keepRange);
        },

        doHighlight: function (keepRange) {
            this.markSelection(TextHighlighter.createWrapper(this.options), Date.now(), keepRange);
        },

        markSelection: function (wrapper, date, keepRange) {
            var range = this.selectedRange();
            if (!range || range.collapsed)
                return;
            if (this.options.onBeforeHighlight(range) === true) {
                var timestamp = +date;
                wrapper.setAttribute(TIMESTAMP_ATTR, timestamp);
                var created = this.highlightRange(range, wrapper);
                var normalized = this.normalizeHighlights(created);
                this.options.onAfterHighlight(range, normalized, timestamp);
            }
            if (!keepRange)
                this.clearSelection();
        },

        // Encloses every non-blank text run of the range in its own copy of
        // `wrapper`. Returns the new wrappers in document order.
        highlightRange: function (range, wrapper) {
            if (!range || range.collapsed)
                return [];
            var split = splitRangeBoundaries(range);
            var root = this.el;
            var created = textNodesWithin(split.bounds).filter(function (text) {
                var parent = text.parentNode;
                // A span inside SVG or MathML text would hide that text.
                return withoutMarks(text.data).trim() !== '' && parent && parent.nodeType === ELEMENT_NODE
                    && !isIgnoredElement(parent) && parent.namespaceURI === root.namespaceURI
                    && (parent === root || root.contains(parent));
            }).map(function (text) {
                var copy = wrapper.cloneNode(true);
                copy.setAttribute(DATA_ATTR, 'true');
                text.parentNode.insertBefore(copy, text);
                copy.appendChild(text);
                return copy;
            });
            // Blank or ignored text was split for nothing: join it again.
            split.splitParents.forEach(joinTextChildren);
            return created;
        },

        normalizeHighlights: function (highlights) {
            var root = this.el;
            this.flattenNestedHighlights(highlights);
            this.mergeSiblingHighlights(highlights);
            return inDocumentOrder(highlights.filter(function (hl) { return root.contains(hl); }));
        },

        // A wrapper inside a wrapper of the same colour dissolves into it; one at
        // the edge of a wrapper of another colour moves out of it; one in the middle
        // stays nested. Entries of `highlights` that dissolve are replaced by the
        // wrapper that took their text.
        flattenNestedHighlights: function (highlights) {
            var root = this.el;
            var changed;
            do {
                changed = false;
                for (var i = 0; i < highlights.length; i++) {
                    var hl = highlights[i];
                    var parent = hl.parentNode;
                    if (!isWrapper(parent) || !root.contains(parent))
                        continue;
                    if (haveSameColor(parent, hl)) {
                        unwrapElement(hl);
                        highlights[i] = parent;
                        changed = true;
                        continue;
                    }
                    if (!hl.nextSibling)
                        parent.parentNode.insertBefore(hl, parent.nextSibling);
                    else if (!hl.previousSibling)
                        parent.parentNode.insertBefore(hl, parent);
                    else
                        continue;
                    changed = true;
                    if (!parent.hasChildNodes())
                        parent.parentNode.removeChild(parent);
                }
            } while (changed);
        },

        // Each wrapper takes in a neighbouring wrapper of the same colour.
        mergeSiblingHighlights: function (highlights) {
            var root = this.el;
            highlights.forEach(function (hl) {
                if (!root.contains(hl))
                    return;
                var prev = hl.previousSibling;
                if (isWrapper(prev) && haveSameColor(prev, hl)) {
                    while (prev.lastChild)
                        hl.insertBefore(prev.lastChild, hl.firstChild);
                    prev.parentNode.removeChild(prev);
                }
                var next = hl.nextSibling;
                if (isWrapper(next) && haveSameColor(next, hl)) {
                    while (next.firstChild)
                        hl.appendChild(next.firstChild);
                    next.parentNode.removeChild(next);
                }
                joinTextChildren(hl);
            });
        },

        // --------------------------------------------------------------- lookup

        isHighlight: function (element) {
            return isWrapper(element);
        },

        // All wrappers inside `params.container` (the body by default), in document
        // order; the container itself too unless `params.andSelf` is false.
        getHighlights: function (params) {
            var container = (params && params.container) || this.el;
            var andSelf = !params || params.andSelf !== false;
            var found = Array.from(container.querySelectorAll('[' + DATA_ATTR + ']'));
            if (andSelf && isWrapper(container))
                found.unshift(container);
            return found;
        },

        // Class names of the marks that the selection touches, in the order their
        // elements start in the page. Marks that enclose the whole selection are
        // left out: the reader removes every reported class, and removing an inner
        // mark must keep the mark around it. Elements of the book whose class merely
        // contains "highlighted" or "memo" are reported too; the reader sorts by prefix.
        isHighlightNS: function () {
            var range = this.selectedRange();
            if (!range || range.collapsed)
                return [];
            var names = [];
            this.elementsAround(range).forEach(function (element) {
                var name = element.getAttribute('class');
                if (!name || names.includes(name) || !(name.includes('highlighted') || name.includes('memo')))
                    return;
                if (withoutMarks(sharedText(range, element)) !== '')
                    names.push(name);
            });
            return names;
        },

        // Candidates for isHighlightNS. A range within one node has the element that
        // holds the selected content: the parent of a text node, else the node itself.
        // Otherwise the ancestors of the start below the common ancestor, outermost
        // first; the common ancestor and what lies above it enclose the whole range.
        // Then every element that starts inside the range.
        elementsAround: function (range) {
            var root = this.el;
            var candidates = [];
            var start = range.startContainer;
            if (start === range.endContainer) {
                var holder = start.nodeType === ELEMENT_NODE ? start : start.parentNode;
                if (holder && holder !== root && holder.nodeType === ELEMENT_NODE)
                    candidates.push(holder);
            } else {
                for (var s = start; s && s !== range.commonAncestorContainer; s = s.parentNode) {
                    if (s.nodeType === ELEMENT_NODE)
                        candidates.unshift(s);
                }
            }
            for (var node = nextInDocumentOrder(start);
                node && range.comparePoint(node, 0) < 1; node = nextInDocumentOrder(node)) {
                if (node.nodeType === ELEMENT_NODE)
                    candidates.push(node);
            }
            return candidates;
        },

        // -------------------------------------------------------------- removal

        removeHighlightNS: function (class_name, element) {
            var self = this;
            var container = element || this.el;
            sortByDepth(this.getHighlights({ container: container, andSelf: true }), true).forEach(function (hl) {
                if (hl.getAttribute('class') === class_name && self.options.onRemoveHighlight(hl) === true)
                    unwrapElement(hl);
            });
        },

        removeHighlights: function (element) {
            var self = this;
            var container = element || this.el;
            sortByDepth(this.getHighlights({ container: container, andSelf: true }), true).forEach(function (hl) {
                if (self.options.onRemoveHighlight(hl) === true)
                    unwrapElement(hl);
            });
        },

        // ------------------------------------------------ saving and restoring

        // One descriptor per wrapper, shallowest first:
        // [wrapper markup, text, path of child indices from the body, length of the
        //  preceding text node, text length], text and lengths without direction
        //  marks. Stored by the reader: keep it stable.
        serializeHighlights: function () {
            var root = this.el;
            var wrappers = sortByDepth(this.getHighlights({ container: root, andSelf: false }), false);
            var descriptors = wrappers.map(function (hl) {
                var path = [];
                for (var n = hl; n && n !== root; n = n.parentNode)
                    path.unshift(childIndex(n));
                var prev = hl.previousSibling;
                var offset = prev && prev.nodeType === TEXT_NODE ? withoutMarks(prev.data).length : 0;
                var text = withoutMarks(hl.textContent);
                return [hl.cloneNode(false).outerHTML, text, path.join(':'), offset, text.length];
            });
            return JSON.stringify(descriptors);
        },

        // Applies the descriptors in their stored order: the paths and offsets of
        // later ones count the wrappers that earlier ones restored.
        deserializeHighlights: function (json) {
            console.log(json);
            if (!json)
                return;
            var descriptors;
            try {
                descriptors = JSON.parse(json);
            } catch (error) {
                throw new Error("Can't parse JSON: " + error.message);
            }
            if (!Array.isArray(descriptors)) {
                console.warn("Can't deserialize highlights: not an array");
                return;
            }
            var self = this;
            descriptors.forEach(function (descriptor) {
                try {
                    self.restoreDescriptor(descriptor);
                } catch (error) {
                    console.warn("Can't deserialize highlight descriptor. Cause: " + error);
                }
            });
        },

        // Checks everything before touching the page, so a descriptor that does not
        // fit leaves no split text behind.
        restoreDescriptor: function (descriptor) {
            if (!Array.isArray(descriptor) || descriptor.length < 5)
                throw new Error('not a descriptor: ' + JSON.stringify(descriptor));
            var path = descriptor[2];
            var offset = descriptor[3];
            var length = descriptor[4];
            var wrapper = this.wrapperFromMarkup(descriptor[0]);
            if (typeof path !== 'string' || !/^\d+(:\d+)*$/.test(path))
                throw new Error('bad path ' + JSON.stringify(path));
            var indices = path.split(':').map(Number);
            var elementIndex = indices.pop();
            var parent = this.el;
            indices.forEach(function (index) {
                parent = parent.childNodes[index];
                if (!parent)
                    throw new Error('path ' + path + ' leaves the page');
            });
            var before = parent.childNodes[elementIndex - 1];
            var text = before && before.nodeType === TEXT_NODE ? before : parent.childNodes[elementIndex];
            if (!text || text.nodeType !== TEXT_NODE)
                throw new Error('path ' + path + ' does not lead to text');
            if (!Number.isInteger(offset) || !Number.isInteger(length) || offset < 0 || length < 1)
                throw new Error('bad offset ' + offset + '+' + length);
            var start = offsetAfterCharacters(text.data, offset);
            var end = offsetAfterCharacters(text.data, offset + length);
            if (end < 0)
                throw new Error('text at ' + path + ' is too short for ' + offset + '+' + length);
            end = offsetPastMarks(text.data, end);

            var middle = start > 0 ? text.splitText(start) : text;
            if (end - start < middle.length)
                middle.splitText(end - start);
            middle.parentNode.insertBefore(wrapper, middle);
            wrapper.appendChild(middle);
            return wrapper;
        },

        // Parses stored wrapper markup in an inert document (nothing in it loads or
        // runs) and copies its attributes onto a new span of this page. An XHTML
        // page writes xmlns into the markup; as an attribute it would differ from
        // the wrapper that was saved, so it is dropped.
        wrapperFromMarkup: function (markup) {
            if (typeof markup !== 'string')
                throw new Error('wrapper markup is not a string');
            var scratch = document.implementation.createHTMLDocument('');
            scratch.body.innerHTML = markup;
            var parsed = scratch.body.firstElementChild;
            if (!parsed || parsed.localName.toLowerCase() !== 'span' || !parsed.hasAttribute(DATA_ATTR))
                throw new Error('not a wrapper: ' + markup);
            var wrapper = document.createElementNS(this.el.namespaceURI || XHTML_NS, 'span');
            Array.from(parsed.attributes).forEach(function (attribute) {
                if (attribute.name !== 'xmlns' && attribute.name.indexOf('xmlns:') !== 0)
                    wrapper.setAttribute(attribute.name, attribute.value);
            });
            return wrapper;
        },

        // ---------------------------------------------------------- the rest

        // Highlights every occurrence of `text` with the default colour.
        find: function (text, caseSensitive) {
            var selection = this.selection();
            if (!text || !selection || typeof window.find !== 'function')
                return;
            selection.removeAllRanges();
            selection.collapse(this.el, 0);
            var limit = 10000;
            while (limit-- > 0 && window.find(text, !!caseSensitive, false, false))
                this.doHighlight(true);
            this.clearSelection();
        },

        setColor: function (color) {
            this.options.color = color;
        },

        getColor: function () {
            return this.options.color;
        },

        destroy: function () {
            this.el.classList.remove(this.options.contextClass);
        },

        selection: function () {
            var view = this.el.ownerDocument.defaultView || window;
            return view.getSelection();
        },

        selectedRange: function () {
            var selection = this.selection();
            return selection && selection.rangeCount > 0 ? selection.getRangeAt(0) : null;
        },

        clearSelection: function () {
            var selection = this.selection();
            if (selection)
                selection.removeAllRanges();
        }
    };

    window.TextHighlighter = TextHighlighter;
    if (document.body)
        window.text_highlighter = new TextHighlighter(document.body);
    else
        console.warn('No body in this page: no highlighter');
})(window, document);
