#pragma once

#include "epub/epubdata.h"

#include <QByteArray>
#include <QMap>
#include <QString>

class QWebFrame;

namespace lf::test {

// A book's font shipped both obfuscated and plain, and a page that sets the
// same text in each and in the fallback font. The obfuscated font draws its
// own glyphs when its text is as wide as the plain font's, which differs
// from the fallback's. The book's identifier is "urn:uuid:f0".
struct ObfuscatedFontBook
{
    // Book-relative path to content: "hidden.ttf" (obfuscated) and
    // "plain.ttf" in the font folder, and the encryption file naming the first.
    QMap<QString, QByteArray> files;
    // What the parser reads from that encryption file, for a book model
    // built without parsing.
    ObfuscatedFont obfuscation;
    QString style; // a <style> element for the page's head
    QString body; // the spans "hidden", "plain" and "fallback"
};

// `fontFolder` is the fonts' book-relative folder ("EPUB/fonts/"),
// `fromPage` the same folder as the page names it ("../fonts/").
ObfuscatedFontBook obfuscatedFontBook(const QString& fontFolder, const QString& fromPage);

// The laid-out width of the element with the id `id` in `frame`.
int elementWidth(QWebFrame* frame, const char* id);

} // namespace lf::test
