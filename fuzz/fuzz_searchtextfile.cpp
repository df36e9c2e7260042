// The reader of a book's stored page text. The file sits among the book's own
// files, so a book can ship one: whatever the bytes, reading ends, keeps
// entries in ascending page order and never takes one its binding refuses.
#include "fuzzsandbox.h"
#include "reader/searchtextfile.h"

#include <QBuffer>
#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    silenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    // Inputs that do not start with the header reach only its check.
    if (!bytes.startsWith(lf::SearchTextFile::header()))
        bytes.prepend(lf::SearchTextFile::header());
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);
    // Even pages are bound to a document of 10 bytes made at time 5, odd pages to none.
    const auto stampOfPage = [](int page) { return page % 2 == 0 ? DocumentStamp { 10, 5 } : DocumentStamp(); };
    int lastPage = -1;
    for (const lf::SearchTextFile::Entry& entry : lf::SearchTextFile::read(&file, stampOfPage)) {
        if (entry.page <= lastPage)
            failInvariant("entries out of page order", QString::number(entry.page));
        if (entry.stamp != stampOfPage(entry.page))
            failInvariant("entry taken against its binding", QString::number(entry.page));
        // What is read back is written back the same.
        if (lf::SearchTextFile::entryBytes(entry).size() < entry.text.size())
            failInvariant("entry lost its text", QString::number(entry.page));
        lastPage = entry.page;
    }
    return 0;
}
