#pragma once

#include <QString>

#include <array>

class QObject;
class QWidget;
class ViewerMemoForm;
struct EpubData;

// The memo editors of the two pages of a spread: each opens at the mouse
// cursor over its page, and a saved memo goes to the reader window. `right`
// names the editor of the right page.
class ReaderMemoEditors
{
public:
    ReaderMemoEditors() = default;
    Q_DISABLE_COPY_MOVE(ReaderMemoEditors)

    // Both editors lie hidden on `area`; a saved memo goes to `reader`'s
    // changeMemo(int, QString, QString) slot. `book` names the pages.
    void makeEditors(QWidget* area, QObject* reader, const EpubData* book);
    ViewerMemoForm* editor(bool right) const { return editors[right]; }
    void hideAll();
    // Fills the side's editor, places it at the mouse cursor and shows it.
    void openEditor(bool right, int page, const QString& class_name, const QString& text, const QString& memo);

private:
    const EpubData* book = nullptr;
    QWidget* area = nullptr;
    std::array<ViewerMemoForm*, 2> editors {};
};
