#include "reader/panels/viewerannotationitemform.h"

#include <QLabel>

ViewerAnnotationItemForm::ViewerAnnotationItemForm(QWidget* parent)
    : QWidget(parent)
{ }

QString ViewerAnnotationItemForm::pageText(int page, const QString& page_name)
{
    // People count pages from 1; the stored keys stay 0-based.
    return tr("%1 page").arg(page_name.isEmpty() ? QString::number(page + 1) : page_name);
}

QString ViewerAnnotationItemForm::shortenedText(const QString& text, int length)
{
    int end = 0;
    while (end < text.size() && end < length && text.at(end) != QLatin1Char('\n') && text.at(end) != QLatin1Char('\r'))
        ++end;
    // Never keep half of a surrogate pair.
    if (end > 0 && end < text.size() && text.at(end - 1).isHighSurrogate() && text.at(end).isLowSurrogate())
        --end;
    return text.left(end) + QStringLiteral("...");
}

int ViewerAnnotationItemForm::getPage_index()
{
    return page_index;
}

QString ViewerAnnotationItemForm::getClassName()
{
    return class_name;
}

void ViewerAnnotationItemForm::showPage(QLabel* page_label, int page, const QString& page_name)
{
    page_index = page;
    page_label->setText(pageText(page, page_name));
}

void ViewerAnnotationItemForm::showMark(QLabel* page_label, int page, const QString& name, const QString& page_name)
{
    class_name = name;
    showPage(page_label, page, page_name);
}
