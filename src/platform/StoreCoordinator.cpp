#include "platform/StoreCoordinator.h"

#include "platform/XmlStore.h"
#include "platform/XmlStorePrefetch.h"
#include "platform/XmlStoreReader.h"
#include "platform/safeFiles.h"

#include <QFile>

namespace tetrapan {

StoreCoordinator::StoreCoordinator(ObjectModel model) : model_(std::move(model)) {}

StoreCoordinator::~StoreCoordinator() = default;

void StoreCoordinator::prefetchXmlStore(const QString& filePath)
{
    prefetch_ = std::make_unique<XmlStorePrefetch>(filePath, model_);
}

bool StoreCoordinator::addXmlStore(const QString& filePath, StoreError& error)
{
    auto store = std::make_unique<XmlStore>(filePath, model_);
    RecordMap records;
    const bool prefetched = prefetch_ && prefetch_->isPending() && prefetch_->filePath() == filePath;
    const bool read = prefetched ? prefetch_->take(records, error) : store->load(records, error);
    prefetch_.reset();
    if (!read) {
        error.stage = StoreError::Stage::Reading;
        openError_ = error;
        return false;
    }
    store_ = std::move(store);
    loaded_ = std::move(records);
    openError_ = {};
    return true;
}

QString StoreCoordinator::setAsideDamagedStore(const QString& filePath, const QDateTime& now,
                                               StoreError& error)
{
    QString why;
    const QString keptAs = safeFiles::setAside(filePath, now, &why);
    if (keptAs.isEmpty()) {
        error = StoreError{filePath, 0, 0,
                           QStringLiteral("the damaged library %1; it is left as it is and nothing will be "
                                          "saved until the program is started again")
                               .arg(why)};
        return {};
    }
    addXmlStore(filePath, error);
    return keptAs;
}

RecordMap StoreCoordinator::readablePartOf(const QString& filePath) const
{
    QFile file;
    if (safeFiles::openForReading(file, filePath, nullptr) != safeFiles::Opening::Opened)
        return {};
    return xmlStoreForm::readablePart(model_, file);
}

bool StoreCoordinator::startWith(const RecordMap& records, StoreError& error)
{
    // taken even when they cannot be written yet: the next save writes them, and they are not lost to it
    loaded_ = records;
    return save(records, error);
}

QString StoreCoordinator::storePath() const
{
    return store_ ? store_->filePath() : QString();
}

RecordMap StoreCoordinator::takeLoadedRecords()
{
    return std::exchange(loaded_, {});
}

bool StoreCoordinator::save(const RecordMap& records, StoreError& error) const
{
    if (!store_) {
        error = openError_;
        error.stage = StoreError::Stage::Saving;
        error.line = 0;
        error.column = 0;
        error.reason = openError_.isSet()
                           ? QStringLiteral("the library was not saved, because the file could not be read "
                                            "when it was opened (%1); it is left as it is")
                                 .arg(openError_.text())
                           : QStringLiteral("the library was not saved: no library file is open");
        return false;
    }
    if (const QString why = saveGuard_ ? saveGuard_() : QString(); !why.isEmpty()) {
        error =
            StoreError{store_->filePath(), 0, 0,
                       QStringLiteral("the library was not saved, because %1: another Tetrapan may be using "
                                      "it, and saving would write over its changes. Quit this one (Save "
                                      "Elsewhere keeps what changed here) and start Tetrapan again.")
                           .arg(why)};
        return false;
    }
    return store_->save(records, error);
}

bool StoreCoordinator::saveCopy(const RecordMap& records, const QString& filePath, StoreError& error) const
{
    return XmlStore(filePath, model_).save(records, error);
}

} // namespace tetrapan
