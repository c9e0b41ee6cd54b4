#pragma once

#include <QWidget>

class QKeySequenceEdit;
class QLabel;
class QPushButton;
class QTableWidget;

namespace tetrapan {

class CommandKeys;

// The Keys page of the preferences: every command with its key. Choosing a row and typing a key gives it
// that key; a key another command holds is refused with that command named; Remove Key takes the key away
// and Restore Defaults gives every command its menu's key back. The page follows the keys however they
// change.
class KeysPage : public QWidget {
    Q_OBJECT
public:
    explicit KeysPage(CommandKeys& keys, QWidget* parent = nullptr);
    ~KeysPage() override;

    QTableWidget* table() const { return table_; }
    QKeySequenceEdit* keyEdit() const { return keyEdit_; }
    QPushButton* removeButton() const { return removeButton_; }
    QPushButton* restoreButton() const { return restoreButton_; }
    // Why the last key was refused, or "".
    QString refusal() const;

    // Gives the chosen row's command the key, as typing it does.
    void chooseKey(const QKeySequence& key);

private:
    void showKeys();
    void showChosen();
    QString chosenName() const;

    CommandKeys& keys_;
    QTableWidget* table_;
    QKeySequenceEdit* keyEdit_;
    QPushButton* removeButton_;
    QPushButton* restoreButton_;
    QLabel* refusal_;
};

} // namespace tetrapan
