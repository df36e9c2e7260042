#include "readerbooks.h"

#include "base/datadirectory.h"
#include "import/unzipthread.h"
#include "testsupport.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace lf::test {

QString installCorpusBook(const QString& file)
{
    const QString name = QFileInfo(file).completeBaseName();
    lf::ensureDataDirectory();
    const QString dir = lf::dataDirectory() + name;
    if (!QFileInfo::exists(dir))
        UnzipThread::extractArchive(corpusDir() + QLatin1Char('/') + file, dir);
    return name;
}

bool writeProgress(const QString& name, int current)
{
    return writeFile(lf::dataDirectory() + name + QStringLiteral("/cp"),
        QJsonDocument(QJsonObject { { "current_page", current }, { "total_page", 99 } }).toJson());
}

} // namespace lf::test
