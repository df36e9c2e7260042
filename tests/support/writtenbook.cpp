#include "writtenbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

bool lf::test::writeEpub3Book(const QString& bookDir, const QList<WrittenPage>& pages, const QString& metadata,
    const QString& spineAttributes, const QMap<QString, QByteArray>& files)
{
    QDir(bookDir).removeRecursively();
    QMap<QString, QByteArray> all = files;
    all.insert(QStringLiteral("mimetype"), "application/epub+zip");
    all.insert(QStringLiteral("META-INF/container.xml"),
        R"(<container xmlns="urn:oasis:names:tc:opendocument:xmlns:container" version="1.0"><rootfiles>)"
        R"(<rootfile full-path="EPUB/package.opf" media-type="application/oebps-package+xml"/>)"
        R"(</rootfiles></container>)");
    QString manifest;
    QString spine;
    for (int i = 0; i < pages.size(); ++i) {
        const WrittenPage& page = pages.at(i);
        const QString fileName = page.fileName.isEmpty() ? QStringLiteral("p%1.xhtml").arg(i) : page.fileName;
        manifest
            += QStringLiteral(R"(<item id="p%1" href="%2" media-type="%3"/>)").arg(i).arg(fileName, page.mediaType);
        spine += page.properties.isEmpty()
            ? QStringLiteral(R"(<itemref idref="p%1"/>)").arg(i)
            : QStringLiteral(R"(<itemref idref="p%1" properties="%2"/>)").arg(i).arg(page.properties);
        all.insert(QStringLiteral("EPUB/") + fileName, page.document);
    }
    all.insert(QStringLiteral("EPUB/package.opf"),
        QStringLiteral(R"(<?xml version="1.0" encoding="UTF-8"?>)"
                       R"(<package xmlns="http://www.idpf.org/2007/opf" version="3.0" unique-identifier="uid">)"
                       R"(<metadata xmlns:dc="http://purl.org/dc/elements/1.1/">)"
                       R"(<dc:identifier id="uid">urn:uuid:%1</dc:identifier><dc:title>Written</dc:title>%2</metadata>)"
                       R"(<manifest>%3</manifest><spine %4>%5</spine></package>)")
            .arg(QFileInfo(bookDir).fileName(), metadata, manifest, spineAttributes, spine)
            .toUtf8());
    for (auto it = all.cbegin(); it != all.cend(); ++it) {
        const QString path = bookDir + QLatin1Char('/') + it.key();
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(it.value()) != it.value().size())
            return false;
    }
    return true;
}

QByteArray lf::test::xhtmlPage(const QString& body, const QString& head)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>page</title>%2</head>"
                          "<body>%1</body></html>")
        .arg(body, head)
        .toUtf8();
}
