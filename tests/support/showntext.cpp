#include "showntext.h"

#include <QGlyphRun>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QRegularExpression>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>

bool lf::test::showsPlain(const QLabel* label)
{
    return label->textFormat() == Qt::PlainText
        || (label->textFormat() == Qt::AutoText && !Qt::mightBeRichText(label->text()));
}

QString lf::test::withoutIsolates(QString text)
{
    text.remove(QRegularExpression(QStringLiteral("[\u2066-\u2069]")));
    return text;
}

bool lf::test::drawnRightToLeft(const QString& text, int earlier, int later, const QFont& font)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setTextDirection(Qt::LeftToRight);
    layout.setTextOption(option);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const auto middle = [&layout](int at) {
        const QList<QGlyphRun> runs = layout.glyphRuns(at, 1);
        return runs.isEmpty() ? -1.0 : runs.first().boundingRect().center().x();
    };
    return middle(later) < middle(earlier);
}

namespace {
QString textWithMarks(const QWidget* widget)
{
    using lf::test::showsPlain;
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        if (showsPlain(label))
            return label->text();
        QTextDocument rendered;
        rendered.setHtml(label->text());
        return rendered.toPlainText();
    }
    if (const auto* editor = qobject_cast<const QTextEdit*>(widget))
        return editor->toPlainText();
    if (const auto* list = qobject_cast<const QListWidget*>(widget)) {
        QListWidgetItem* first = list->item(0);
        return first && !list->itemWidget(first) ? first->text() : QString();
    }
    return QStringLiteral("<no text shown by %1>").arg(QString::fromLatin1(widget->metaObject()->className()));
}
} // namespace

QString lf::test::shownText(const QWidget* widget)
{
    return withoutIsolates(textWithMarks(widget));
}

QPair<int, int> lf::test::inkColumns(const QImage& image, int top, int bottom)
{
    QPair<int, int> columns(-1, -1);
    for (int y = qMax(0, top); y < qMin(image.height(), bottom); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) >= 128)
                continue;
            columns.first = columns.first < 0 ? x : qMin(columns.first, x);
            columns.second = qMax(columns.second, x);
        }
    }
    return columns;
}
