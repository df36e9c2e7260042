#pragma once

#include "library/importrefusal.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class BookInfo;
class BookListControl;
class BookStaging;
class UnzipThread;

// Adds books to a bookcase store, one at a time from a queue: each book is
// extracted on an UnzipThread into a staging folder, parsed, swapped into its
// book folder and recorded. It shows nothing; it says what happened through
// its signals, and a window answers its replace question. GUI thread only.
class BookImporter : public QObject
{
    Q_OBJECT

public:
    explicit BookImporter(BookListControl* store, QObject* parent = nullptr);
    // A running extraction stops at its next chunk; its staging folder goes.
    ~BookImporter() override;

    // True from the first queued book until the queue has run dry, also while
    // the replace question waits for its answer.
    bool isImporting() const { return state != State::Idle; }

    // Each book keeps its own wish to be opened once it is in the library.
    void enqueue(const QString& path, bool openWhenImported);
    void enqueue(const QStringList& paths);

public slots:
    // Works the queue off; does nothing while a book is in progress.
    void addBookManagement();
    // The answer to replaceAsked(): true replaces the book, false keeps it.
    // Taken up on the next turn of the event loop, whenever it is given; only
    // the first answer to a question counts.
    void answerReplace(bool replace);
    // Takes the ended extraction's result up (waits for its end); connected
    // to the extraction thread's finished().
    void finishedUnzipAndEncrypt();

signals:
    // A book that was extracted, or waited for its replace answer, is done
    // with, imported or not; the queue goes on.
    void nextOpenFileWorkRequest();
    // The queue has run dry.
    void queueEmpty();
    // A book's extraction is about to start.
    void extractionStarted(QString bookName);
    // A folder of this name is in the library already: answerReplace() says
    // whether the new book replaces it. The answer may be given during this
    // signal or later; nothing goes on before the signal has returned.
    void replaceAsked(QString bookName);
    // The new book is about to take the place of any folder of its name:
    // whoever has that book open lets go.
    void aboutToSwapIn(QString bookName);
    // The store's record of this name is about to be removed for the new one.
    void aboutToReplaceRecord(QString bookName);
    // The book now in the store; the record lives until the book is removed.
    void imported(BookInfo* record);
    // The book the user asked to read is in the library (imported now, or
    // kept), ready to be opened.
    void openRequested(QString bookName);
    // A book was left out. `name` is its book name or, when the path gives
    // none, its file name or the path itself.
    void skipped(QString name, ImportRefusal::Reason reason);

private slots:
    // Goes on with the book after its replace question, as answered.
    void takeAnswer();

private:
    // One book at a time: where the importer stands with the queue and the
    // book in hand.
    enum class State {
        Idle, // no batch: nothing queued, nothing in hand
        BetweenBooks, // a batch runs; the next book is about to be taken up
        InHand, // a book is checked, or parsed and recorded; its signals may run event loops
        Asking, // replaceAsked() is out and has no answer yet
        Replacing, // answered: the new book replaces the old; taken up by takeAnswer()
        Keeping, // answered: the old book stays; taken up by takeAnswer()
        Extracting, // the UnzipThread runs
    };

    struct PendingImport
    {
        QString path;
        bool must_open = false;
    };
    // Takes up one queued book; false when it is done with at once.
    bool startImport(const PendingImport& import);
    // Goes on after the replace question; false when the book is kept.
    bool continueAfterAnswer(bool replace);
    // Starts extracting the current book; false when it was refused instead.
    bool startExtraction();
    void skip(ImportRefusal::Reason reason);
    // The book in hand is done with, imported or not: the queue goes on.
    void finishBook();

    BookListControl* const store;
    QList<PendingImport> pending_files;
    State state = State::Idle;
    QString import_name;
    QString import_path;
    bool open_after_import = false;
    UnzipThread* unzip_thread = nullptr;
    // Where the current import is extracted before it replaces the book folder.
    std::unique_ptr<BookStaging> import_staging;
};
