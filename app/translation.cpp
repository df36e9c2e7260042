#include "app/translation.h"

#include <QCoreApplication>
#include <QDebug>
#include <QTranslator>

QTranslator* lf::installTranslator(QCoreApplication* application)
{
    auto* translator = new QTranslator(application);
    if (!translator->load(QStringLiteral("Resources/lang_ko.qm")))
        qDebug() << "translation file Resources/lang_ko.qm not loaded";
    QCoreApplication::installTranslator(translator);
    return translator;
}
