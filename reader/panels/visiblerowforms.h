#pragma once

#include <QObject>
#include <QSet>

#include <functional>

class QListWidget;
class QListWidgetItem;

// Gives the rows of a list widget their row forms only while they are in
// view: a row scrolled into view gets a form from `makeForm`, one scrolled far
// out of view loses it. A list of ten thousand rows so holds a few dozen
// widgets. The rows' data stays in the items, and all rows are of one size.
// Owned by the list; GUI thread.
class VisibleRowForms : public QObject
{
    Q_OBJECT

public:
    using MakeForm = std::function<QWidget*(QListWidgetItem*)>;

    VisibleRowForms(QListWidget* list, MakeForm makeForm);

public slots:
    // Makes the forms of the rows now in view and drops those far from it.
    void attach();
    // attach() on the next turn of the event loop, once for many calls.
    void attachSoon();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void rowsAboutToBeRemoved(const QModelIndex& parent, int first, int last);
    void modelAboutToBeReset();

private:
    QListWidget* m_list;
    // The widget the filter watches, kept apart from the list: while the list
    // is destroyed, its viewport still sends events after the list has
    // stopped being a scroll area.
    QWidget* m_viewport;
    MakeForm m_makeForm;
    QSet<QListWidgetItem*> m_attached;
    bool m_attachQueued = false;
};
