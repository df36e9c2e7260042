#include "app/atomicfile.h"

#include <QDebug>
#include <QSaveFile>

bool lf::writeFileAtomically(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    // Unbuffered, so a short write (full disk, size limit) shows in write()'s
    // count instead of being lost in a flush that still lets commit() succeed.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        qDebug().noquote() << "not written:" << path << file.errorString();
        return false;
    }
    // An unfinished QSaveFile removes its temporary file when it goes out of scope.
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        qDebug().noquote() << "not written:" << path << file.errorString();
        return false;
    }
    return true;
}
