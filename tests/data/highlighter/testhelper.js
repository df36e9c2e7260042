// Test-only helpers evaluated next to the highlighter: set a selection by the
// text it covers and describe the marks of the page in a compact notation.
(function () {
    'use strict';

    // The text nodes of the body in document order, with their start in the joined text.
    function textRuns() {
        var runs = [];
        var joined = '';
        (function visit(node) {
            if (node.nodeType === 3) {
                runs.push({ node: node, start: joined.length });
                joined += node.data;
                return;
            }
            for (var child = node.firstChild; child; child = child.nextSibling)
                visit(child);
        })(document.body);
        return { runs: runs, joined: joined };
    }

    // The boundary before character `index` of the joined text; `atEnd` prefers
    // the end of a text node over the start of the next one.
    function boundaryAt(runs, index, atEnd) {
        for (var i = 0; i < runs.length; i++) {
            var start = runs[i].start;
            var end = start + runs[i].node.length;
            if (atEnd ? index > start && index <= end : index >= start && index < end)
                return { node: runs[i].node, offset: index - start };
        }
        throw new Error('no text at ' + index);
    }

    function selectIndices(runs, start, end) {
        var from = boundaryAt(runs, start, false);
        var to = boundaryAt(runs, end, true);
        var range = document.createRange();
        range.setStart(from.node, from.offset);
        range.setEnd(to.node, to.offset);
        var selection = window.getSelection();
        selection.removeAllRanges();
        selection.addRange(range);
        return selection.toString();
    }

    // Selects from the first occurrence of `from` to the end of the first
    // occurrence of `to` that starts there or later. Returns the selected text.
    window.lfSelect = function (from, to) {
        var text = textRuns();
        var start = text.joined.indexOf(from);
        if (start < 0)
            throw new Error('not in the page: ' + from);
        var last = text.joined.indexOf(to, start);
        if (last < 0)
            throw new Error('not in the page after ' + from + ': ' + to);
        return selectIndices(text.runs, start, last + to.length);
    };

    // Selects the characters [start, end) of the body's joined text.
    window.lfSelectIndices = function (start, end) {
        return selectIndices(textRuns().runs, start, end);
    };

    window.lfTextLength = function () {
        return textRuns().joined.length;
    };

    // Text as is, wrappers as [class:content], other elements as <tag>content</tag>,
    // "|" between neighbouring text nodes and "{}" for an empty one.
    window.lfDescribe = function (node) {
        var out = '';
        var afterText = false;
        for (var child = (node || document.body).firstChild; child; child = child.nextSibling) {
            if (child.nodeType === 3) {
                out += (afterText ? '|' : '') + (child.length ? child.data : '{}');
                afterText = true;
                continue;
            }
            afterText = false;
            if (child.nodeType !== 1)
                continue;
            if (child.hasAttribute('data-highlighted'))
                out += '[' + child.getAttribute('class') + ':' + window.lfDescribe(child) + ']';
            else
                out += '<' + child.localName + '>' + window.lfDescribe(child) + '</' + child.localName + '>';
        }
        return out;
    };
})();
