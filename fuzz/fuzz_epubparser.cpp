// The container, package and navigation parsers over a book folder written from
// the input. The input is a list of files, each introduced by a line
// "%% <book-relative path>" and followed by its content, for example
//
//   %% mimetype
//   application/epub+zip
//   %% META-INF/container.xml
//   <container>...</container>
//
// Whatever the parse gives, every path the model hands on must stay inside the
// book folder. The fallback chains and the font list are used as the reader
// uses them; run with a time limit, a chain or list that costs too much shows.
#include "base/relativepath.h"
#include "epub/bookhref.h"
#include "epub/epubparser.h"
#include "fuzzsandbox.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {
constexpr int kMaxFiles = 16;
constexpr int kMaxNameBytes = 200;
const QByteArray kFileMarker = QByteArrayLiteral("%% ");

FuzzSandbox* g_sandbox = nullptr;

// The harness's own check, independent of the code under test: plain relative
// names only.
bool isPlainRelativeName(const QString& name)
{
    if (name.isEmpty() || name.size() > kMaxNameBytes || name.startsWith(QLatin1Char('/')))
        return false;
    const QStringList segments = name.split(QLatin1Char('/'));
    for (const QString& segment : segments) {
        if (segment.isEmpty() || segment == QLatin1String(".") || segment == QLatin1String("..")
            || segment.contains(QLatin1Char('\\')) || segment.contains(QChar(0)))
            return false;
    }
    return true;
}

void writeFile(const QString& bookDir, const QString& name, const QByteArray& content)
{
    if (!isPlainRelativeName(name))
        return;
    const int slash = name.lastIndexOf(QLatin1Char('/'));
    if (slash > 0)
        QDir(bookDir).mkpath(name.left(slash));
    QFile file(bookDir + QLatin1Char('/') + name);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
}

// Splits the input at lines starting with the marker and writes each file.
void writeBook(const QString& bookDir, const QByteArray& input)
{
    int start = input.startsWith(kFileMarker) ? 0 : input.indexOf("\n" + kFileMarker);
    for (int files = 0; start >= 0 && files < kMaxFiles; ++files) {
        if (input.at(start) == '\n')
            ++start;
        const int nameStart = start + kFileMarker.size();
        int nameEnd = input.indexOf('\n', nameStart);
        if (nameEnd < 0)
            nameEnd = input.size();
        const int next = input.indexOf("\n" + kFileMarker, nameEnd);
        const int contentStart = qMin(nameEnd + 1, input.size());
        const int contentEnd = next < 0 ? input.size() : next;
        writeFile(bookDir, QString::fromUtf8(input.mid(nameStart, nameEnd - nameStart)),
            input.mid(contentStart, contentEnd - contentStart));
        start = next;
    }
}

void checkInside(const char* what, const QString& path)
{
    if (!path.isEmpty() && !lf::RelativePath::staysInside(path))
        failInvariant(what, path);
}

void checkResolvedInside(const QString& base, const QList<NavEntry>& entries)
{
    for (const NavEntry& entry : entries)
        checkInside("resolved navigation target", lf::BookHref::resolve(base, entry.href));
}

// Uses the model the way the reader does: spine ids to documents, navigation
// targets to files, page labels by target.
void useModel(const EpubData& book)
{
    checkInside("package path", book.packagePath);
    for (const QString& idref : book.spine) {
        const QString href = book.manifest.applicationHref(idref);
        checkInside("spine document", lf::BookHref::resolve(book.packagePath, href));
        book.manifest.applicationIdForHref(href);
        if (const ManifestEntry* shown = book.manifest.showableItem(idref)) {
            if (!EpubManifest::isShowable(shown->mediaType))
                failInvariant("fallback shows an item it cannot", shown->id);
            checkInside("fallback document", lf::BookHref::resolve(book.packagePath, shown->href));
        }
    }
    for (const ObfuscatedFont& font : book.obfuscatedFonts) {
        checkInside("obfuscated font", font.path);
        if (book.obfuscatedFont(font.path) == nullptr)
            failInvariant("obfuscated font not found by its path", font.path);
    }
    checkResolvedInside(book.navDocumentPath, book.toc);
    checkResolvedInside(book.navDocumentPath, book.pageList);
    for (const NavEntry& entry : book.toc)
        book.pageLabelForHref(entry.href);
    // The paths the parser opens and hands on are checked as they stand.
    checkInside("navigation document", book.navDocumentPath);
    checkInside("cover", book.coverPath);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    silenceQtMessages();
    static FuzzSandbox sandbox;
    g_sandbox = &sandbox;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    g_sandbox->clear();
    writeBook(g_sandbox->path(), QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<int>(size)));
    if (const std::unique_ptr<EpubData> book = EpubParser::parseBook(g_sandbox->path()))
        useModel(*book);
    return 0;
}
