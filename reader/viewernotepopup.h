#pragma once

#include <QPoint>
#include <QUrl>
#include <QWidget>

class QNetworkAccessManager;
class QWebElement;
class QWebPage;

namespace Ui {
class ViewerNotePopup;
}

// A small frameless pop-up over the reader's page that shows one note (a
// footnote or an endnote) of the book. The note's document is loaded from
// the book, with its own style sheets and without its scripts, into a page of
// the pop-up, where everything but the note is dropped; the reader's page
// stays as it was. A click outside the pop-up or Escape closes it.
class ViewerNotePopup : public QWidget
{
    Q_OBJECT

public:
    // `access` serves the pop-up's page: the book's access manager, which
    // must outlive the pop-up.
    ViewerNotePopup(QNetworkAccessManager* access, QWidget* parent);
    ~ViewerNotePopup() override;

    // A link the book marks as a reference to a note.
    static bool isNoteReference(const QWebElement& link);
    // An element the book marks as a note.
    static bool isNote(const QWebElement& element);

    // Loads the document `target` names and shows the note its anchor names
    // near `point` (global coordinates), drawn at `zoom`; emits
    // noteMissing(target) when the anchor names no note.
    void showNote(const QUrl& target, const QPoint& point, qreal zoom);

signals:
    void noteMissing(QUrl);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private slots:
    void noteDocumentLoaded(bool ok);

private:
    // Drops all of the loaded document but the note with `id`; false when
    // no note has it.
    bool keepOnlyTheNote(const QString& id);
    void placeNearAnchor();

    Ui::ViewerNotePopup* ui;
    QWebPage* note_page;
    QUrl note_url;
    QPoint anchor_point;
};
