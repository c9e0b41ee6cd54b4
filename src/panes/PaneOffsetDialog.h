#pragma once

#include <QDialog>

#include <optional>

class QLabel;
class QLineEdit;

namespace tetrapan {

class MovController;

// A pane's offset and rate typed in (the pane menu's "Offset and Rate…"): the offset in seconds, the rate
// as a number or a ratio such as 25/24 or 30000/29970 (PaneOffsets). What cannot be read is said under the
// fields, which stay open, and nothing changes; what can is set as one undo step.
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
    MovController& panes_;
    int viewNo_;
    QLineEdit* offsetField_;
    QLineEdit* rateField_;
    QLabel* problem_;
    QString shownOffset_;
    QString shownRate_;
};

} // namespace tetrapan
