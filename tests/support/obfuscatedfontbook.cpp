#include "obfuscatedfontbook.h"

#include "epub/fontobfuscation.h"

#include <QFile>
#include <QWebElement>
#include <QWebFrame>

namespace lf::test {

ObfuscatedFontBook obfuscatedFontBook(const QString& fontFolder, const QString& fromPage)
{
    ObfuscatedFontBook book;
    QFile shipped(QStringLiteral(":/default/font/ng.ttf"));
    if (!shipped.open(QIODevice::ReadOnly)
        || !lf::FontObfuscation::describe(
            lf::FontObfuscation::kIdpfAlgorithm, QStringLiteral("urn:uuid:f0"), QString(), book.obfuscation))
        return book;
    const QByteArray font = shipped.readAll();
    book.obfuscation.path = fontFolder + QStringLiteral("hidden.ttf");
    QByteArray hidden = font;
    lf::FontObfuscation::apply(book.obfuscation, hidden);
    book.files.insert(book.obfuscation.path, hidden);
    book.files.insert(fontFolder + QStringLiteral("plain.ttf"), font);
    book.files.insert(lf::FontObfuscation::kEncryptionPath,
        QStringLiteral(
            R"(<encryption xmlns="urn:oasis:names:tc:opendocument:xmlns:container" xmlns:enc="http://www.w3.org/2001/04/xmlenc#">)"
            R"(<enc:EncryptedData><enc:EncryptionMethod Algorithm="%1"/><enc:CipherData>)"
            R"(<enc:CipherReference URI="%2"/></enc:CipherData></enc:EncryptedData></encryption>)")
            .arg(lf::FontObfuscation::kIdpfAlgorithm, book.obfuscation.path)
            .toUtf8());

    book.style = QStringLiteral("<style>@font-face { font-family: Hidden; src: url(%1hidden.ttf); }"
                                " @font-face { font-family: Plain; src: url(%1plain.ttf); }"
                                " span { font-size: 40px; white-space: nowrap; }</style>")
                     .arg(fromPage);
    const QString span = QStringLiteral(R"(<p><span id="%1" style="font-family: %2">iiiiiWWWWW</span></p>)");
    book.body = span.arg(QLatin1String("hidden"), QLatin1String("Hidden, monospace"))
        + span.arg(QLatin1String("plain"), QLatin1String("Plain, monospace"))
        + span.arg(QLatin1String("fallback"), QLatin1String("monospace"));
    return book;
}

int elementWidth(QWebFrame* frame, const char* id)
{
    return frame->findFirstElement(QStringLiteral("#") + QLatin1String(id)).geometry().width();
}

} // namespace lf::test
