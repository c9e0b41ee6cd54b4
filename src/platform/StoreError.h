#pragma once

#include <QString>

namespace tetrapan {

// Why the library file could not be read or written, with the place in the file where that is known.
struct StoreError {
    QString filePath;
    qint64 line = 0;
    qint64 column = 0;
    QString reason;

    bool isSet() const { return !reason.isEmpty(); }
    // One sentence for people: "<file>, line 3, column 7: duplicate id 12".
    QString text() const
    {
        QString where = filePath.isEmpty() ? QStringLiteral("The library") : filePath;
        if (line > 0)
            where += QStringLiteral(", line %1, column %2").arg(line).arg(column);
        return where + QStringLiteral(": ") + reason;
    }
};

} // namespace tetrapan
