// The search text of one book document and the style rules it reads. The input
// is the document, optionally followed by a line "%% css" and a style sheet
// that every style sheet the document links or imports reads as. The document
// is read both as XHTML and as HTML; a term taken from its shown text must be
// found there again.
#include "fuzzsandbox.h"
#include "reader/hidingstyles.h"
#include "reader/searchtext.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace {
const QByteArray kStyleSheetMarker = QByteArrayLiteral("\n%% css\n");

void checkShownText(const QString& shown)
{
    // A run of ASCII letters of the shown text between ASCII neighbours, as a
    // user could type it.
    auto isAscii = [&shown](int at) { return at < 0 || at >= shown.size() || shown.at(at).unicode() < 0x80; };
    auto isAsciiLetter = [&shown](int at) { return shown.at(at).unicode() < 0x80 && shown.at(at).isLetter(); };
    for (int at = 0; at + 3 <= shown.size(); ++at) {
        if (!isAsciiLetter(at) || !isAsciiLetter(at + 1) || !isAsciiLetter(at + 2) || !isAscii(at - 1)
            || !isAscii(at + 3))
            continue;
        const QString run = shown.mid(at, 3);
        const lf::SearchText::Term term(run);
        if (!term.shown.isEmpty() && !lf::SearchText::certainlyShows(shown, term))
            failInvariant("term from the shown text not found in it", run);
        return;
    }
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    silenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const int marker = input.indexOf(kStyleSheetMarker);
    const QByteArray document = marker < 0 ? input : input.left(marker);
    const QByteArray css = marker < 0 ? QByteArray() : input.mid(marker + kStyleSheetMarker.size());
    const lf::SearchText::BookFileReader readFile = [&css](const QString&) { return std::optional<QByteArray>(css); };
    for (const char* path : { "OPS/d.xhtml", "OPS/d.html" })
        checkShownText(lf::SearchText::extract(document, QString::fromLatin1(path), readFile).shown);
    HidingStyles styles;
    styles.addStyleSheet(QString::fromUtf8(css));
    styles.mayHide(u"p", u"x", u"a b");
    return 0;
}
