#include "reader/readermemoeditors.h"

#include "epub/epubdata.h"
#include "reader/viewermemoform.h"

#include <QCursor>

void ReaderMemoEditors::makeEditors(QWidget* parent, QObject* reader, const EpubData* epub)
{
    area = parent;
    book = epub;
    for (ViewerMemoForm*& editor : editors) {
        editor = new ViewerMemoForm(area);
        QObject::connect(
            editor, SIGNAL(saveMemo(int, QString, QString)), reader, SLOT(changeMemo(int, QString, QString)));
        editor->hide();
    }
}

void ReaderMemoEditors::hideAll()
{
    for (ViewerMemoForm* editor : editors) {
        if (editor && editor->isVisible())
            editor->hide();
    }
}

void ReaderMemoEditors::openEditor(
    bool right, int page, const QString& class_name, const QString& text, const QString& memo)
{
    ViewerMemoForm* editor = editors[right];
    if (!editor || !book)
        return;
    // At the cursor, kept inside the area.
    QPoint at = area->mapFromGlobal(QCursor::pos());
    if (at.x() + editor->width() > area->width())
        at.setX(area->width() - editor->width() - 10);
    if (at.y() + editor->height() > area->height())
        at.setY(area->height() - editor->height() - 10);
    editor->move(at);
    editor->setMemoInfo(page, book->pageLabelForHref(book->spine.value(page)), class_name, text, memo);
    editor->show();
    editor->raise();
    editor->setFocus();
}
