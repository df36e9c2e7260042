#include "showntext.h"

#include <QLabel>
#include <QListWidget>
#include <QTextDocument>
#include <QTextEdit>

bool lf::test::showsPlain(const QLabel* label)
{
    return label->textFormat() == Qt::PlainText
        || (label->textFormat() == Qt::AutoText && !Qt::mightBeRichText(label->text()));
}

QString lf::test::shownText(const QWidget* widget)
{
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
