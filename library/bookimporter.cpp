#include "library/bookimporter.h"

#include "base/bookname.h"
#include "base/datadirectory.h"
#include "epub/epubparser.h"
#include "import/booksource.h"
#include "import/bookstaging.h"
#include "import/unzipthread.h"
#include "library/bookcasefile.h"
#include "library/bookinfo.h"
#include "library/booklistcontrol.h"
#include "library/renderedcover.h"

#include <QDateTime>
#include <QDebug>
#include <QFileInfo>

BookImporter::BookImporter(BookListControl* store, QObject* parent)
    : QObject(parent)
    , store(store)
{
    connect(this, SIGNAL(nextOpenFileWorkRequest()), this, SLOT(addBookManagement()));
}

BookImporter::~BookImporter()
{
    if (unzip_thread) {
        // Quitting does not wait for the rest of the book: the thread stops at
        // its next chunk, and the staging folder goes with it.
        unzip_thread->requestInterruption();
        unzip_thread->wait();
        delete unzip_thread;
    }
    import_staging.reset();
}

// Every way in waits in the queue, so two imports never share the one set of
// import state.
void BookImporter::enqueue(const QString& path, bool openWhenImported)
{
    pending_files.append({ path, openWhenImported });
    if (state == State::Idle)
        addBookManagement();
}

void BookImporter::enqueue(const QStringList& paths)
{
    for (const QString& path : paths)
        pending_files.append({ path, false });
    if (state == State::Idle)
        addBookManagement();
}

void BookImporter::addBookManagement()
{
    // Questions and messages shown meanwhile run event loops; a call from one
    // of them must not start a second book.
    if (state != State::Idle && state != State::BetweenBooks)
        return;
    // Skipped paths go round this loop rather than through the signal again, so
    // a long run of them cannot pile up on the stack.
    while (!pending_files.isEmpty()) {
        state = State::InHand;
        if (startImport(pending_files.takeFirst()))
            return;
        state = State::BetweenBooks;
    }
    if (state == State::Idle)
        return;
    state = State::Idle;
    emit queueEmpty();
}

bool BookImporter::startImport(const PendingImport& import)
{
    import_path = import.path;
    import_name = lf::bookNameFromPath(import.path);
    open_after_import = import.must_open;

    // Checked before the replace question: a path that cannot be imported at
    // all is never worth asking about.
    const QFileInfo source(import_path);
    if (!source.isFile() || !source.isReadable()) {
        skip(ImportRefusal::Unreadable);
        return false;
    }
    if (!lf::isUsableBookName(import_name)) {
        skip(ImportRefusal::UnusableName);
        return false;
    }
    if (!lf::ensureDataDirectory()) {
        skip(ImportRefusal::LibraryNotWritable);
        return false;
    }

    const QString importDir = lf::dataDirectory() + import_name + QLatin1Char('/');
    if (!QFileInfo::exists(importDir))
        return startExtraction();

    // The very file the book came from: there is nothing to replace.
    if (store->bookInfo(import_name) && lf::BookSource::matches(importDir, import_path)) {
        qDebug().noquote() << "already in the library, unchanged:" << import_path;
        if (open_after_import)
            emit openRequested(import_name);
        return false;
    }
    state = State::Asking;
    emit replaceAsked(import_name);
    // takeAnswer() goes on from here, once answered.
    return true;
}

void BookImporter::answerReplace(bool replace)
{
    if (state != State::Asking)
        return;
    state = replace ? State::Replacing : State::Keeping;
    // Queued even when answered during replaceAsked(): the book never goes on
    // inside the signal that asked, whoever answers and however.
    QMetaObject::invokeMethod(this, "takeAnswer", Qt::QueuedConnection);
}

void BookImporter::takeAnswer()
{
    if (state != State::Replacing && state != State::Keeping)
        return;
    const bool replace = state == State::Replacing;
    state = State::InHand;
    if (!continueAfterAnswer(replace))
        finishBook();
}

bool BookImporter::continueAfterAnswer(bool replace)
{
    if (replace) {
        // The old book stays until the new one is complete and parses.
        return startExtraction();
    }
    // Asked to read it: the book already in the library is opened.
    if (open_after_import && store->bookInfo(import_name))
        emit openRequested(import_name);
    return false;
}

bool BookImporter::startExtraction()
{
    // Extracted beside the book folder, swapped in only once it is a book.
    import_staging = std::make_unique<BookStaging>();
    if (!import_staging->create()) {
        import_staging.reset();
        skip(ImportRefusal::LibraryNotWritable);
        return false;
    }
    emit extractionStarted(import_name);
    state = State::Extracting;
    unzip_thread = new UnzipThread(import_path, import_staging->contentDir());
    connect(unzip_thread, SIGNAL(finished()), this, SLOT(finishedUnzipAndEncrypt()));
    unzip_thread->start(QThread::InheritPriority);
    return true;
}

void BookImporter::finishedUnzipAndEncrypt()
{
    if (state != State::Extracting)
        return;
    state = State::InHand;
    UnzipThread* thread = unzip_thread;
    unzip_thread = nullptr;
    thread->wait();
    const ExtractionResult extraction = thread->result();
    thread->deleteLater();
    // On every way out below that is not a swap, the staging folder goes with this.
    const std::unique_ptr<BookStaging> staging = std::move(import_staging);
    // Nothing of a refused book is left behind while the user reads why.
    const auto refuse = [this, &staging](ImportRefusal::Reason reason) {
        staging->discard();
        skip(reason);
        finishBook();
    };

    if (extraction == ExtractionResult::Interrupted)
        return finishBook();
    if (extraction != ExtractionResult::Completed)
        return refuse(ImportRefusal::ofExtraction(extraction));
    EpubParser::Refusal parseRefusal = EpubParser::Refusal::None;
    const std::unique_ptr<EpubData> book = EpubParser::parseBook(staging->contentDir(), &parseRefusal);
    if (!book)
        return refuse(ImportRefusal::ofParse(parseRefusal));
    // A book without pages would open to nothing.
    if (book->spine.isEmpty())
        return refuse(ImportRefusal::NoPages);

    // Kept with the book, so that opening this same file again asks nothing.
    lf::BookSource::record(staging->contentDir(), lf::BookSource::fingerprint(import_path));
    emit aboutToSwapIn(import_name);
    if (!staging->swapInto(import_name))
        return refuse(ImportRefusal::NotMovedIn);
    // The old record makes way; one save for both.
    if (store->bookInfo(import_name))
        emit aboutToReplaceRecord(import_name);
    store->replaceBook(
        BookInfo(import_name, book->metadata.title, book->metadata.creator, QFileInfo(import_path).size(),
            lf::RenderedCover::recordPath(BookcaseFile::bookFolder(import_name), *book), QDateTime::currentDateTime()));
    BookInfo* record = store->bookInfo(import_name);

    if (open_after_import) {
        open_after_import = false;
        emit openRequested(import_name);
    }
    // The record is announced before the next import starts: that import may
    // replace this very book and release its record.
    emit imported(record);
    finishBook();
}

void BookImporter::finishBook()
{
    state = State::BetweenBooks;
    emit nextOpenFileWorkRequest();
}

void BookImporter::skip(ImportRefusal::Reason reason)
{
    qDebug().noquote() << "import refused:" << import_path << "-"
                       << ImportRefusal::message(reason).replace(QLatin1Char('\n'), QLatin1Char(' '));
    // A path without a book name (".epub", a folder) is named by its file name or in full.
    QString name = import_name.isEmpty() ? QFileInfo(import_path).fileName() : import_name;
    if (name.isEmpty())
        name = import_path;
    emit skipped(name, reason);
}
