#pragma once

#include <QString>

namespace tetrapan {

// Why the library file could not be read or written, with the place in the file where that is known.
struct StoreError {
    QString filePath;
    qint64 line = 0;
    qint64 column = 0;
    QString reason;
    // A library that was read whole and cannot be written is not damaged; the user must be told which.
    enum class Stage { Saving, Reading };
    Stage stage = Stage::Saving;

    bool isSet() const { return !reason.isEmpty(); }
    // One sentence for people: "<file>, line 3, column 7: duplicate id 12".
    QString text() const
    {
        QString where = filePath.isEmpty() ? QStringLiteral("The library") : filePath;
        if (line > 0)
            where += QStringLiteral(", line %1, column %2").arg(line).arg(column);
        return where + QStringLiteral(": ") + reason;
    }
    QString headline() const
    {
        return stage == Stage::Reading ? QStringLiteral("The library could not be read.")
                                       : QStringLiteral("The library could not be saved.");
    }
};

} // namespace tetrapan
