#include "reader/readerannotations.h"

#include "epub/epubdata.h"
#include "reader/highlighterstatements.h"
#include "reader/readerpanels.h"
#include "reader/viewermemoform.h"

#include <QCursor>
#include <QWebFrame>
#include <QWebView>

ReaderAnnotations::ReaderAnnotations(ReaderPanels* panels)
    : panels(panels)
{ }

void ReaderAnnotations::setBook(EpubData* epub, const QString& book_dir)
{
    book = epub;
    annotations.setBook(book_dir, book->contentDir, book->spine.size());
}

void ReaderAnnotations::createMemoEditors(QWidget* parent, QObject* reader)
{
    area = parent;
    for (ViewerMemoForm*& editor : editors) {
        editor = new ViewerMemoForm(area);
        QObject::connect(
            editor, SIGNAL(saveMemo(int, QString, QString)), reader, SLOT(changeMemo(int, QString, QString)));
        editor->hide();
    }
}

void ReaderAnnotations::hideMemoEditors()
{
    for (ViewerMemoForm* editor : editors) {
        if (editor && editor->isVisible())
            editor->hide();
    }
}

void ReaderAnnotations::setBookmark(int page, bool marked)
{
    annotations.setBookmark(page, marked);
    panels->bookmarksChanged();
}

void ReaderAnnotations::addHighlight(int page, const QString& class_name, const QString& color, const QString& text)
{
    annotations.addHighlight(page, class_name, color, text);
    panels->highlightAdded(page, class_name, color, text);
}

void ReaderAnnotations::removeHighlights(int page, const QStringList& class_names)
{
    if (annotations.removeHighlights(page, class_names))
        panels->highlightsRemoved(page, class_names);
}

void ReaderAnnotations::addMemo(bool right, int page, const QString& class_name, const QString& text)
{
    annotations.addMemo(page, class_name, text);
    panels->memoAdded(page, class_name, text);
    openMemoEditor(right, page, class_name, text, QString());
}

void ReaderAnnotations::removeMemos(int page, const QStringList& class_names)
{
    if (annotations.removeMemos(page, class_names))
        panels->memosRemoved(page, class_names);
}

void ReaderAnnotations::changeMemo(int page, const QString& class_name, const QString& text)
{
    if (annotations.changeMemo(page, class_name, text))
        panels->memoChanged(page, class_name, text);
}

void ReaderAnnotations::openMemoEditor(
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

void ReaderAnnotations::restoreMarks(QWebView* view, int page) const
{
    const std::optional<QString> marks = annotations.readMarks(page);
    if (marks)
        view->page()->mainFrame()->evaluateJavaScript(lf::HighlighterStatements::deserialize(*marks));
}
