#include "base/relativepath.h"

#include <QStringList>

namespace lf::RelativePath {

namespace {

bool isAsciiLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

// A letter, then letters, digits, "+", "." or "-" up to a ":". A drive letter
// reads as a one-letter scheme.
bool startsWithScheme(const QString& path)
{
    if (path.isEmpty() || !isAsciiLetter(path.at(0)))
        return false;
    for (int i = 1; i < path.size(); ++i) {
        const QChar c = path.at(i);
        if (c == QLatin1Char(':'))
            return true;
        if (!isAsciiLetter(c) && !(c >= QLatin1Char('0') && c <= QLatin1Char('9')) && c != QLatin1Char('+')
            && c != QLatin1Char('.') && c != QLatin1Char('-'))
            return false;
    }
    return false;
}

} // namespace

bool isRooted(const QString& path)
{
    return path.startsWith(QLatin1Char('/')) || path.startsWith(QLatin1Char('\\')) || startsWithScheme(path);
}

bool staysInside(const QString& path)
{
    if (path.isEmpty() || path.contains(QChar(0)) || isRooted(path))
        return false;
    QString slashed = path;
    slashed.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return !slashed.split(QLatin1Char('/')).contains(QStringLiteral(".."));
}

} // namespace lf::RelativePath
