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
    bool isImporting() const { return importing; }

    // Each book keeps its own wish to be opened once it is in the library.
    void enqueue(const QString& path, bool openWhenImported);
    void enqueue(const QStringList& paths);

public slots:
    // Works the queue off; does nothing while a book is in progress.
    void addBookManagement();
    // The answer to replaceAsked(): true replaces the book, false keeps it.
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
    // whether the new book replaces it. The answer may come during this signal
    // or later.
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

private:
    struct PendingImport
    {
        QString path;
        bool must_open = false;
    };
    enum class Answer { None, Replace, Keep };

    // Takes up one queued book; false when it is done with at once.
    bool startImport(const PendingImport& import);
    // Goes on after the replace question; false when the book is kept.
    bool continueAfterAnswer(Answer answer);
    // Starts extracting the current book; false when it was refused instead.
    bool startExtraction();
    void skip(ImportRefusal::Reason reason);

    BookListControl* const store;
    QList<PendingImport> pending_files;
    bool importing = false;
    // A book is between startImport() and its end (question, extraction).
    bool busy = false;
    bool awaiting_answer = false;
    // replaceAsked() is being emitted: an answer now is taken up on its return.
    bool asking = false;
    Answer answer = Answer::None;
    QString import_name;
    QString import_path;
    bool open_after_import = false;
    UnzipThread* unzip_thread = nullptr;
    // Where the current import is extracted before it replaces the book folder.
    std::unique_ptr<BookStaging> import_staging;
};
