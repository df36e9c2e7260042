#pragma once

#include "reader/annotationstore.h"

#include <array>

class QObject;
class QWebView;
class QWidget;
class ReaderPanels;
class ViewerMemoForm;
struct EpubData;

// The marks the reader's pages report, taken into the annotation store (with
// its files) and the side panels' lists, and the memo editors of the two
// pages of a spread. Pages are spine positions; `right` names the editor of
// the right page.
class ReaderAnnotations
{
public:
    explicit ReaderAnnotations(ReaderPanels* panels);
    Q_DISABLE_COPY_MOVE(ReaderAnnotations)

    AnnotationStore& store() { return annotations; }
    const AnnotationStore& store() const { return annotations; }
    // Points the store at the book's files; nothing is read yet.
    void setBook(EpubData* book, const QString& book_dir);
    // Both editors lie hidden on `area`; a saved memo goes to `reader`'s
    // changeMemo(int, QString, QString) slot.
    void createMemoEditors(QWidget* area, QObject* reader);
    ViewerMemoForm* memoEditor(bool right) const { return editors[right]; }
    void hideMemoEditors();

    void setBookmark(int page, bool marked);
    void addHighlight(int page, const QString& class_name, const QString& color, const QString& text);
    void removeHighlights(int page, const QStringList& class_names);
    // A new memo opens its side's editor at the mouse cursor.
    void addMemo(bool right, int page, const QString& class_name, const QString& text);
    void removeMemos(int page, const QStringList& class_names);
    void changeMemo(int page, const QString& class_name, const QString& text);
    // Fills the side's editor, places it at the mouse cursor and shows it.
    void openMemoEditor(bool right, int page, const QString& class_name, const QString& text, const QString& memo);
    // Draws the page's stored marks into the page `view` shows.
    void restoreMarks(QWebView* view, int page) const;

private:
    AnnotationStore annotations;
    ReaderPanels* panels;
    EpubData* book = nullptr;
    QWidget* area = nullptr;
    std::array<ViewerMemoForm*, 2> editors {};
};
