// DOM functions book scripts use that this engine lacks; run before any
// script of a book's document.
(function () {
    'use strict';
    if (typeof Element !== 'undefined' && !Element.prototype.replaceChildren) {
        Object.defineProperty(Element.prototype, 'replaceChildren', {
            configurable: true,
            writable: true,
            value: function replaceChildren() {
                var fragment = document.createDocumentFragment();
                for (var i = 0; i < arguments.length; ++i) {
                    var node = arguments[i];
                    fragment.appendChild(node instanceof Node ? node : document.createTextNode(String(node)));
                }
                while (this.firstChild)
                    this.removeChild(this.firstChild);
                this.appendChild(fragment);
            }
        });
    }
    if (!('origin' in self)) {
        Object.defineProperty(self, 'origin', {
            configurable: true,
            enumerable: true,
            get: function () { return location.origin; }
        });
    }
})();
