#include "app/translation.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLibraryInfo>
#include <QTranslator>

namespace {
// Qt's own texts (the open-files dialog, a line edit's context menu) in the
// program's language: from Qt's translations folder, or beside the program's
// own file where a deployment ships it there.
void installQtTranslator(QCoreApplication* application)
{
    auto* translator = new QTranslator(application);
    const QString file = QStringLiteral("qtbase_ko");
    for (const QString& folder :
        { QLibraryInfo::location(QLibraryInfo::TranslationsPath), QStringLiteral("Resources") }) {
        if (translator->load(file, folder)) {
            QCoreApplication::installTranslator(translator);
            return;
        }
    }
    qDebug() << "Qt's own Korean texts (qtbase_ko.qm) not found; its dialogs stay English";
    delete translator;
}
} // namespace

QTranslator* lf::installTranslator(QCoreApplication* application)
{
    auto* translator = new QTranslator(application);
    const bool korean = translator->load(QStringLiteral("Resources/lang_ko.qm"));
    if (!korean)
        qDebug() << "translation file Resources/lang_ko.qm not loaded";
    QCoreApplication::installTranslator(translator);
    // Qt's dialogs follow the program: Korean only when the program is.
    if (korean)
        installQtTranslator(application);
    return translator;
}
