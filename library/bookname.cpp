#include "library/bookname.h"

#include <QStringList>

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
           && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}
