#include "base/bookname.h"

#include "base/appconstants.h"

#include <QStringList>

namespace {
bool isReservedName(const QString& name)
{
    const QString reservedNames[] = { lf::kBookcaseFileName, lf::kDamagedBookcaseFileName, lf::kHandoffTicketFileName };
    // The hand-over port file and its companions all start with the port file's name.
    const QString reservedPrefixes[] = { lf::kPortFileName, lf::kStagingFolderPrefix, lf::kMoveFolderPrefix };
    for (const QString& reserved : reservedNames) {
        if (name.compare(reserved, Qt::CaseInsensitive) == 0)
            return true;
    }
    for (const QString& prefix : reservedPrefixes) {
        if (name.startsWith(prefix, Qt::CaseInsensitive))
            return true;
    }
    return false;
}
} // namespace

QString lf::bookNameFromPath(const QString& path)
{
    const QChar separator = path.contains(QLatin1Char('/')) ? QLatin1Char('/') : QLatin1Char('\\');
    QString name = path.split(separator).last();
    name.remove(QStringLiteral(".epub"), Qt::CaseInsensitive);
    return name;
}

bool lf::isUsableBookName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !isReservedName(name);
}
