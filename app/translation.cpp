#include "app/translation.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

#ifndef LF_INSTALLED_DATA_DIR
#define LF_INSTALLED_DATA_DIR ""
#endif
#ifndef LF_DATA_DIR_FROM_BIN_DIR
#define LF_DATA_DIR_FROM_BIN_DIR ""
#endif

namespace {
const QString kResourcesFolder = QStringLiteral("Resources");

// Qt's own texts (the open-files dialog, a line edit's context menu) in the
// program's language: from Qt's translations folder, or from the program's
// data folders where a deployment ships it there.
void installQtTranslator(QCoreApplication* application)
{
    auto* translator = new QTranslator(application);
    const QString file = QStringLiteral("qtbase_ko.qm");
    const QString found = lf::findDataFile(
        file, QStringList(QLibraryInfo::location(QLibraryInfo::TranslationsPath)) + lf::translationFolders());
    if (!found.isEmpty() && translator->load(found)) {
        QCoreApplication::installTranslator(translator);
        return;
    }
    qDebug() << "Qt's own Korean texts (qtbase_ko.qm) not found; its dialogs stay English";
    delete translator;
}
} // namespace

QStringList lf::translationFolders()
{
    QStringList folders { kResourcesFolder };
    const QString programFolder = QCoreApplication::applicationDirPath();
    if (!programFolder.isEmpty()) {
        folders << programFolder + QLatin1Char('/') + kResourcesFolder;
        const QString besideProgram = QLatin1String(LF_DATA_DIR_FROM_BIN_DIR);
        if (!besideProgram.isEmpty())
            folders << QDir::cleanPath(programFolder + QLatin1Char('/') + besideProgram) + QLatin1Char('/')
                    + kResourcesFolder;
    }
    const QString installed = QLatin1String(LF_INSTALLED_DATA_DIR);
    if (!installed.isEmpty())
        folders << installed + QLatin1Char('/') + kResourcesFolder;
    return folders;
}

QString lf::findDataFile(const QString& fileName, const QStringList& folders)
{
    for (const QString& folder : folders) {
        const QString path = folder + QLatin1Char('/') + fileName;
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

QTranslator* lf::installTranslator(QCoreApplication* application)
{
    auto* translator = new QTranslator(application);
    const QString path = findDataFile(kTranslationFile, translationFolders());
    const bool korean = !path.isEmpty() && translator->load(path);
    if (korean)
        qDebug().noquote() << "translation loaded:" << translator->language() << "from" << path;
    else
        qDebug().noquote() << "translation file" << kTranslationFile << "not loaded; looked in"
                           << translationFolders().join(QLatin1String(", "));
    QCoreApplication::installTranslator(translator);
    // Qt's dialogs follow the program: Korean only when the program is.
    if (korean)
        installQtTranslator(application);
    return translator;
}
