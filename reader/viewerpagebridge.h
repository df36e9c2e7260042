#pragma once

#include <QObject>
#include <QPointer>

// The object book pages see as `viewer_pc`. Every public slot of an object
// exposed to a page is callable by any script of the book, so this one offers
// a single slot of its own, the memo-mark click of the page script, and
// forwards it to the reader window. The one slot every object inherits,
// deleteLater(), does nothing here: only its owner deletes it.
class ViewerPageBridge : public QObject
{
    Q_OBJECT

public:
    // `reader` must have a slot webviewShowMemo(QString).
    explicit ViewerPageBridge(QObject* reader, QObject* parent = nullptr);

public slots:
    void webviewShowMemo(QString class_name);

protected:
    bool event(QEvent* event) override;

private:
    QPointer<QObject> m_reader;
};
