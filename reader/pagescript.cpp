#include "pagescript.h"

#include <QDebug>
#include <QFile>

namespace lf {

const QString& PageScript::highlighter()
{
    static const QString script = load(kHighlighterScriptResource);
    return script;
}

QString PageScript::load(const QString& resourcePath)
{
    QFile file(resourcePath);
    if (!file.open(QIODevice::ReadOnly)) {
        qDebug() << "page script not readable:" << resourcePath;
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

} // namespace lf
