#pragma once

#include "platform/ObjectModel.h"

#include <QDialog>

#include <optional>

class QLabel;
class QLineEdit;

namespace tetrapan {

class MovController;

// A pane's offset and rate typed in (the pane menu's "Offset and Rate…"): the offset in seconds, the rate
// as a number or a ratio such as 25/24 or 30000/29970 (PaneOffsets). What cannot be read is said under the
// fields, which stay open, and nothing changes; what can is set as one undo step. Set only on the entry and
// file the dialog opened on: another movie in the pane meanwhile is said, and nothing changes.
class PaneOffsetDialog : public QDialog {
    Q_OBJECT
public:
    PaneOffsetDialog(MovController& panes, int viewNo, QWidget* parent = nullptr);

    // "+4.000", "-0.5", "1,25 s": milliseconds; none for text that is no number of seconds.
    static std::optional<qint64> parseOffsetMs(const QString& text);

    QLineEdit* offsetField() const { return offsetField_; }
    QLineEdit* rateField() const { return rateField_; }
    // What was wrong with the last try; empty when nothing was.
    QString problem() const;
    // Sets what the fields hold; false, and the problem said, when either cannot be read.
    bool apply();
    void accept() override;

private:
    // The file of the pane's entry now; "" without one.
    QString entryFile() const;

    MovController& panes_;
    int viewNo_;
    QLineEdit* offsetField_;
    QLineEdit* rateField_;
    QLabel* problem_;
    QString shownOffset_;
    QString shownRate_;
    // the entry and its file the offset and rate shown belong to
    ObjectId entry_ = NoObject;
    QString filePath_;
};

} // namespace tetrapan
