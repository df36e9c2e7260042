#include "reader/panels/visiblerowforms.h"

#include <QEvent>
#include <QListWidget>
#include <QScrollBar>
#include <QTimer>

namespace {
// Rows this far beyond either edge of the view keep their forms, so a short
// scroll back makes nothing anew.
constexpr int kSpareRows = 8;
} // namespace

VisibleRowForms::VisibleRowForms(QListWidget* list, MakeForm makeForm)
    : QObject(list)
    , m_list(list)
    , m_viewport(list->viewport())
    , m_makeForm(std::move(makeForm))
{
    // Every row of these lists has its form's size: the view lays out ten
    // thousand rows without asking each.
    list->setUniformItemSizes(true);
    connect(list->verticalScrollBar(), SIGNAL(valueChanged(int)), this, SLOT(attach()));
    connect(list->model(), SIGNAL(rowsInserted(QModelIndex, int, int)), this, SLOT(attachSoon()));
    connect(list->model(), SIGNAL(rowsAboutToBeRemoved(QModelIndex, int, int)), this,
        SLOT(rowsAboutToBeRemoved(QModelIndex, int, int)));
    connect(list->model(), SIGNAL(modelAboutToBeReset()), this, SLOT(modelAboutToBeReset()));
    m_viewport->installEventFilter(this);
}

void VisibleRowForms::attachSoon()
{
    if (m_attachQueued)
        return;
    m_attachQueued = true;
    QTimer::singleShot(0, this, SLOT(attach()));
}

void VisibleRowForms::attach()
{
    m_attachQueued = false;
    if (m_list->count() == 0 || !m_list->isVisible())
        return; // the viewport's Show event comes back here
    QModelIndex first = m_list->indexAt(QPoint(0, 0));
    if (!first.isValid()) {
        m_list->doItemsLayout(); // rows just added are placed on the next turn otherwise
        first = m_list->indexAt(QPoint(0, 0));
    }
    const QModelIndex last = m_list->indexAt(QPoint(0, m_list->viewport()->height() - 1));
    const int firstRow = qMax(0, first.row());
    const int lastRow = last.isValid() ? last.row() : m_list->count() - 1;

    const QSet<QListWidgetItem*> attached = m_attached;
    for (QListWidgetItem* item : attached) {
        const int row = m_list->row(item);
        if (row < firstRow - kSpareRows || row > lastRow + kSpareRows) {
            m_attached.remove(item);
            m_list->removeItemWidget(item);
        }
    }
    for (int row = firstRow; row <= lastRow; ++row) {
        QListWidgetItem* item = m_list->item(row);
        if (m_attached.contains(item))
            continue;
        if (QWidget* form = m_makeForm(item)) {
            m_list->setItemWidget(item, form);
            m_attached.insert(item);
        }
    }
}

bool VisibleRowForms::eventFilter(QObject* watched, QEvent* event)
{
    // Shown rows have their forms at once; a resize may come in a burst.
    if (watched == m_viewport && event->type() == QEvent::Show)
        attach();
    else if (watched == m_viewport && event->type() == QEvent::Resize)
        attachSoon();
    return QObject::eventFilter(watched, event);
}

void VisibleRowForms::rowsAboutToBeRemoved(const QModelIndex&, int first, int last)
{
    for (int row = first; row <= last; ++row)
        m_attached.remove(m_list->item(row));
    attachSoon();
}

void VisibleRowForms::modelAboutToBeReset()
{
    m_attached.clear();
}
