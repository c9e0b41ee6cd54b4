#include "shell/KeysPage.h"

#include "shell/CommandKeys.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tetrapan {

namespace {
enum Column { CommandColumn, NameColumn, KeyColumn, ColumnCount };
constexpr int TableWidth = 560;
constexpr int TableHeight = 320;
} // namespace

KeysPage::KeysPage(CommandKeys& keys, QWidget* parent)
    : QWidget(parent), keys_(keys), table_(new QTableWidget(0, ColumnCount)), keyEdit_(new QKeySequenceEdit),
      removeButton_(new QPushButton(QStringLiteral("Remove Key"))),
      restoreButton_(new QPushButton(QStringLiteral("Restore Defaults"))), refusal_(new QLabel)
{
    setObjectName(QStringLiteral("keysPage"));
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("Command"), QStringLiteral("Name"), QStringLiteral("Key")});
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(CommandColumn, QHeaderView::Stretch);
    table_->setMinimumSize(TableWidth, TableHeight);
    table_->setAccessibleName(QStringLiteral("Commands and their keys"));
    keyEdit_->setAccessibleName(QStringLiteral("Key of the chosen command"));
    keyEdit_->setToolTip(QStringLiteral("Type the key the chosen command is to have"));
    refusal_->setWordWrap(true);

    auto* row = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("&Key:"));
    label->setBuddy(keyEdit_);
    row->addWidget(label);
    row->addWidget(keyEdit_, 1);
    row->addWidget(removeButton_);
    row->addWidget(restoreButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addLayout(row);
    layout->addWidget(refusal_);

    connect(table_, &QTableWidget::itemSelectionChanged, this, &KeysPage::showChosen);
    connect(keyEdit_, &QKeySequenceEdit::editingFinished, this,
            [this] { chooseKey(keyEdit_->keySequence()); });
    connect(removeButton_, &QPushButton::clicked, this, [this] { chooseKey({}); });
    connect(restoreButton_, &QPushButton::clicked, this, [this] {
        refusal_->clear();
        keys_.restoreDefaults();
    });
    connect(&keys_, &CommandKeys::keysChanged, this, &KeysPage::showKeys);
    showKeys();
}

KeysPage::~KeysPage() = default;

QString KeysPage::refusal() const
{
    return refusal_->text();
}

QString KeysPage::chosenName() const
{
    const QList<QTableWidgetItem*> chosen = table_->selectedItems();
    return chosen.isEmpty() ? QString() : table_->item(chosen.front()->row(), NameColumn)->text();
}

void KeysPage::chooseKey(const QKeySequence& key)
{
    const QString name = chosenName();
    if (name.isEmpty())
        return;
    refusal_->setText(keys_.setKey(name, key));
    // a refused key is not left in the field as if it were the command's
    showChosen();
}

void KeysPage::showKeys()
{
    const QString chosen = chosenName();
    const QSignalBlocker quiet(table_);
    const QList<CommandKeys::Row> rows = keys_.rows();
    table_->setRowCount(int(rows.size()));
    for (int i = 0; i < rows.size(); ++i) {
        const CommandKeys::Row& row = rows.at(i);
        const QString key =
            QKeySequence::fromString(row.key, QKeySequence::PortableText).toString(QKeySequence::NativeText);
        const QString cells[ColumnCount] = {row.text, row.name, key};
        for (int column = 0; column < ColumnCount; ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            if (!row.changeable) {
                item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
                item->setToolTip(QStringLiteral("Chosen from its menu, which is made anew at each opening: "
                                                "it takes no key"));
            }
            table_->setItem(i, column, item);
        }
        if (row.name == chosen)
            table_->selectRow(i);
    }
    table_->resizeColumnToContents(NameColumn);
    table_->resizeColumnToContents(KeyColumn);
    showChosen();
}

void KeysPage::showChosen()
{
    const QString name = chosenName();
    const QList<CommandKeys::Row> rows = keys_.rows();
    const auto row =
        std::find_if(rows.cbegin(), rows.cend(), [&name](const auto& r) { return r.name == name; });
    const bool changeable = row != rows.cend() && row->changeable;
    const QSignalBlocker quiet(keyEdit_);
    keyEdit_->setKeySequence(changeable ? QKeySequence::fromString(row->key, QKeySequence::PortableText)
                                        : QKeySequence());
    keyEdit_->setEnabled(changeable);
    removeButton_->setEnabled(changeable && !row->key.isEmpty());
}

} // namespace tetrapan
