// writeUserFile where the system offers no file owners or links to keep.
#include "ui/UserFile.h"

#include <QFileInfo>
#include <QSaveFile>

namespace tevra {

bool writeUserFile(const QString& path, const QByteArray& bytes)
{
    const QFileInfo existing(path);
    if (existing.exists() && !existing.isFile())
        return false;
    QSaveFile file(path);
    // Unbuffered, so a full disk fails the write itself: commit() would not
    // notice a failure of the final flush and would put a cut file in place.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

}  // namespace tevra
