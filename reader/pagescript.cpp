#include "pagescript.h"

#include "base/appconstants.h"

#include <QDebug>
#include <QFile>

namespace lf {

namespace {

// A JavaScript string literal of `text`, which holds no quote or backslash.
QString quoted(const QString& text)
{
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

} // namespace

const QString& PageScript::highlighter()
{
    static const QString script = load(kHighlighterScriptResource);
    return script;
}

const QString& PageScript::readingSystem()
{
    static const QString script
        = QStringLiteral("(function(){'use strict';"
                         "var features={'dom-manipulation':true,'layout-changes':true,'mouse-events':true,"
                         "'keyboard-events':true,'touch-events':false,'spine-scripting':false};"
                         "var system=Object.freeze({name:%1,version:%2,layoutStyle:'scrolling',"
                         "hasFeature:Object.freeze(function(feature){return features[String(feature)]===true;})});"
                         "Object.defineProperty(navigator,'epubReadingSystem',"
                         "{value:system,writable:false,configurable:false,enumerable:true});})();")
              .arg(quoted(kWindowTitle), quoted(kVersion));
    return script;
}

const QString& PageScript::domAdditions()
{
    static const QString script = load(kDomAdditionsScriptResource);
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
