#include "base/displaytext.h"

namespace {
constexpr char16_t kLeftToRightIsolate = 0x2066;
constexpr char16_t kRightToLeftIsolate = 0x2067;
constexpr char16_t kFirstStrongIsolate = 0x2068;
constexpr char16_t kPopDirectionalIsolate = 0x2069;

bool isControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f);
}

QtMessageHandler g_nextHandler = nullptr;

void escapingHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    g_nextHandler(type, context, lf::withControlsEscaped(message));
}
} // namespace

QString lf::withControlsEscaped(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (isControl(c.unicode()))
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

void lf::escapeControlsInLog()
{
    const QtMessageHandler previous = qInstallMessageHandler(escapingHandler);
    if (previous != escapingHandler)
        g_nextHandler = previous;
}

QString lf::isolated(const QString& name)
{
    return isolated(name, Qt::LayoutDirectionAuto);
}

QString lf::isolated(const QString& text, Qt::LayoutDirection direction)
{
    if (text.isEmpty())
        return text;
    const char16_t opening = direction == Qt::RightToLeft ? kRightToLeftIsolate
        : direction == Qt::LeftToRight                    ? kLeftToRightIsolate
                                                          : kFirstStrongIsolate;
    return QChar(opening) + text + QChar(kPopDirectionalIsolate);
}
