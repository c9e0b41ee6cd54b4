#include "panes/PaneOffsetDialog.h"

#include "library/LibrarySchema.h"
#include "library/TBArrayController.h"
#include "panes/MovController.h"
#include "panes/PaneOffsets.h"
#include "platform/ObjectContext.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <cmath>

namespace tetrapan {

PaneOffsetDialog::PaneOffsetDialog(MovController& panes, int viewNo, QWidget* parent)
    : QDialog(parent), panes_(panes), viewNo_(viewNo), offsetField_(new QLineEdit(this)),
      rateField_(new QLineEdit(this)), problem_(new QLabel(this))
{
    setWindowTitle(QStringLiteral("Offset and Rate of Pane %1").arg(viewNo));
    const PaneOffsets& offsets = panes.offsets();
    shownOffset_ = QString::number(offsets.offsetMs(viewNo) / 1000.0, 'f', 3);
    shownRate_ = QString::number(offsets.rate(viewNo), 'g', 10);
    entry_ = offsets.entry(viewNo);
    filePath_ = entryFile();
    offsetField_->setText(shownOffset_);
    rateField_->setText(shownRate_);
    offsetField_->setToolTip(QStringLiteral("How far this movie leads the others, in seconds"));
    rateField_->setToolTip(QStringLiteral("Seconds of this movie in a second of the others': 25/24 for a "
                                          "24 fps recording played at 25 fps"));
    problem_->setWordWrap(true);
    problem_->setVisible(false);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Offset (s):"), offsetField_);
    form->addRow(QStringLiteral("&Rate:"), rateField_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &PaneOffsetDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PaneOffsetDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(problem_);
    layout->addWidget(buttons);
}

std::optional<qint64> PaneOffsetDialog::parseOffsetMs(const QString& text)
{
    QString number = text.trimmed();
    if (number.endsWith(QLatin1Char('s')))
        number.chop(1);
    bool ok = false;
    const double seconds = number.trimmed().replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || std::abs(seconds) > PaneOffsets::LongestOffsetMs / 1000.0)
        return std::nullopt;
    return qRound64(seconds * 1000.0);
}

QString PaneOffsetDialog::entryFile() const
{
    const ObjectId entry = panes_.offsets().entry(viewNo_);
    return entry == NoObject ? QString()
                             : panes_.tbArrayController()
                                   ->getManagedObjectContext(LibrarySchema::Filelist)
                                   ->value(entry, LibrarySchema::FilePath)
                                   .toString();
}

QString PaneOffsetDialog::problem() const
{
    return problem_->isHidden() ? QString() : problem_->text();
}

bool PaneOffsetDialog::apply()
{
    const std::optional<qint64> offsetMs = parseOffsetMs(offsetField_->text());
    const std::optional<double> rate = PaneOffsets::parseRate(rateField_->text());
    QStringList problems;
    if (!offsetMs)
        problems << QStringLiteral("The offset \"%1\" is no number of seconds, such as +4.000 or -0.5.")
                        .arg(offsetField_->text());
    if (!rate)
        problems << QStringLiteral("The rate \"%1\" is no number or ratio such as 25/24 between %2 and %3.")
                        .arg(rateField_->text())
                        .arg(PaneOffsets::MinRate)
                        .arg(PaneOffsets::MaxRate);
    PaneOffsets& offsets = panes_.offsets();
    // another playlist chosen or another file placed while the dialog was open (from the media controls or a
    // launch): what was measured against one movie is not set on another
    if (offsets.entry(viewNo_) != entry_ || entryFile() != filePath_)
        problems << QStringLiteral("Pane %1 shows another movie now: nothing is changed; close and open the "
                                   "dialog again.")
                        .arg(viewNo_);
    problem_->setText(problems.join(QLatin1Char('\n')));
    problem_->setVisible(!problems.isEmpty());
    if (!problems.isEmpty() || entry_ == NoObject)
        return problems.isEmpty();
    // A field left as it was shown changes nothing: the rate is shown rounded.
    const bool newOffset = offsetField_->text() != shownOffset_ && *offsetMs != offsets.offsetMs(viewNo_);
    const bool newRate = rateField_->text() != shownRate_ && *rate != offsets.rate(viewNo_);
    ObjectContext* context = panes_.tbArrayController()->getManagedObjectContext(LibrarySchema::Filelist);
    if (newOffset && newRate)
        context->beginUndoGroup(QStringLiteral("Set Offset and Rate"));
    if (newOffset)
        offsets.setOffsetMs(viewNo_, *offsetMs);
    if (newRate)
        offsets.setRate(viewNo_, *rate);
    if (newOffset && newRate)
        context->endUndoGroup();
    return true;
}

void PaneOffsetDialog::accept()
{
    if (apply())
        QDialog::accept();
}

} // namespace tetrapan
