#include "bookhref.h"

#include "base/relativepath.h"

#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

namespace lf::BookHref {

namespace {

// Joins `segments` onto `stack`, resolving "." and ".."; false when a ".."
// would climb above the top of the book.
bool appendSegments(QStringList& stack, const QStringList& segments)
{
    for (const QString& segment : segments) {
        if (segment.isEmpty() || segment == QLatin1String("."))
            continue;
        if (segment == QLatin1String("..")) {
            if (stack.isEmpty())
                return false;
            stack.removeLast();
        } else {
            stack.append(segment);
        }
    }
    return true;
}

QStringList splitPath(const QString& path)
{
    QString normalised = path;
    // Backslashes separate folders on some systems; never let them hide a "..".
    normalised.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return normalised.split(QLatin1Char('/'));
}

} // namespace

QString folderOf(const QString& path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString filePath(const QString& bookDir, const QString& bookPath)
{
    if (bookDir.isEmpty() || !lf::RelativePath::staysInside(bookPath))
        return {};
    const QString separator = bookDir.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/");
    return bookDir + separator + bookPath;
}

QString resolve(const QString& baseDocument, const QString& href)
{
    QString reference = href.trimmed();
    const int cut = reference.indexOf(QRegularExpression(QStringLiteral("[?#]")));
    if (cut >= 0)
        reference.truncate(cut);
    if (reference.isEmpty())
        return lf::RelativePath::staysInside(baseDocument) ? baseDocument : QString();
    if (lf::RelativePath::isRooted(reference) || !lf::RelativePath::staysInside(baseDocument))
        return {};

    QStringList decoded;
    for (const QString& segment : splitPath(reference)) {
        const QString name = QUrl::fromPercentEncoding(segment.toUtf8());
        // An encoded separator or NUL would name another file than it shows.
        if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) || name.contains(QChar(0)))
            return {};
        decoded.append(name);
    }

    QStringList stack;
    if (!appendSegments(stack, splitPath(folderOf(baseDocument))) || !appendSegments(stack, decoded))
        return {};
    if (stack.isEmpty())
        return {};
    return stack.join(QLatin1Char('/'));
}

} // namespace lf::BookHref
