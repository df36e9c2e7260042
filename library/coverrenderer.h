#pragma once

#include <QObject>
#include <QSize>
#include <QStringList>

#include <memory>

class BookInfo;
class QTimer;
class QWebPage;
struct EpubData;

// Draws the cover of books that name no picture of their own: the first page,
// loaded once off screen without the book's scripts and drawn at the tile's
// size, kept in the book folder under the name the bookcase record holds.
// One book at a time, on the GUI thread.
class CoverRenderer : public QObject
{
    Q_OBJECT

public:
    // `tileSize` is the size the list shows covers at, in device pixels.
    CoverRenderer(QObject* parent, const QSize& tileSize);
    ~CoverRenderer() override;

    bool isIdle() const;

public slots:
    // Queues the book when it has no picture at its record's cover path and
    // no drawn picture yet; anything else is left alone.
    void request(BookInfo* record);
    // Requests, a few per turn of the event loop, each book of the bookcase
    // named: a large bookcase is looked through once the window is shown
    // instead of before.
    void requestEach(const QStringList& names);

signals:
    void coverRendered(QString bookName);

private slots:
    void pageLoaded(bool ok);
    void giveUp();
    void checkSomeBooks();

private:
    void startNext();
    void finish(const QString& outcome);

    QSize m_tileSize;
    QStringList m_queue;
    QString m_current;
    std::unique_ptr<EpubData> m_book;
    QWebPage* m_page = nullptr;
    QTimer* m_deadline = nullptr;
    // Books still to look at, from m_nextToCheck on.
    QStringList m_toCheck;
    int m_nextToCheck = 0;
    QTimer* m_checking = nullptr;
};
