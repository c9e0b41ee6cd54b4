#include "widgets/userDefaultsViewState.h"

#include "library/FilelistArrayController.h"
#include "platform/RectText.h"
#include "platform/SettingsDomain.h"
#include "platform/userDefaultsExtension.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QSplitter>
#include <QTableView>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <limits>

namespace tetrapan::userDefaultsExtension {

namespace {

const QString IdentifierKey = QStringLiteral("identifier");
const QString WidthKey = QStringLiteral("width");
const QString HiddenKey = QStringLiteral("hidden");

// How much of a window must lie on a screen for the user to take hold of it and drag it further.
constexpr int GraspableLength = 48;

// Wayland neither tells a client where its windows are nor lets it place them: every window reads as at the
// top left. A place remembered elsewhere (an X session) is kept for the next run where it counts.
bool windowsHaveKnownPlaces()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

QList<QRect> availableScreenAreas()
{
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens())
        areas.append(screen->availableGeometry());
    return areas;
}

// A stored rectangle with all four numbers, or nothing.
std::optional<QRect> storedRect(const SettingsDomain& domain, const QString& key)
{
    const QVariant value = domain.objectForKey(key);
    if (value.metaType().id() != QMetaType::QString)
        return std::nullopt;
    int numbers = 0;
    const QRectF rect = rectText::rectFromString(value.toString(), &numbers);
    if (numbers < 4)
        return std::nullopt;
    const auto bounded = [](double v) { return static_cast<int>(std::lround(std::clamp(v, -1.0e6, 1.0e6))); };
    return QRect(bounded(rect.x()), bounded(rect.y()), bounded(rect.width()), bounded(rect.height()));
}

std::optional<QVariantList> storedList(const SettingsDomain& domain, const QString& key)
{
    const QVariant value = domain.objectForKey(key);
    const int type = value.metaType().id();
    if (type != QMetaType::QVariantList && type != QMetaType::QStringList)
        return std::nullopt;
    return value.toList();
}

void storeList(SettingsDomain& domain, const QVariantList& list, const QString& key)
{
    if (!list.isEmpty())
        domain.setObject(list, key);
    else if (domain.hasStoredValue(key))
        domain.removeObject(key);
    domain.synchronize();
}

qint64 squaredDistance(const QPoint& point, const QRect& area)
{
    const qint64 dx = point.x() < area.left()    ? area.left() - point.x()
                      : point.x() > area.right() ? point.x() - area.right()
                                                 : 0;
    const qint64 dy = point.y() < area.top()      ? area.top() - point.y()
                      : point.y() > area.bottom() ? point.y() - area.bottom()
                                                  : 0;
    return dx * dx + dy * dy;
}

QString columnIdentifier(const QAbstractItemModel* model, int section)
{
    return model->headerData(section, Qt::Horizontal, FilelistArrayController::AttributeKeyRole).toString();
}

} // namespace

std::optional<QRect> reachableWindowRect(const QRect& wanted, const QList<QRect>& screenAreas)
{
    if (wanted.width() <= 0 || wanted.height() <= 0)
        return std::nullopt;
    if (screenAreas.isEmpty())
        return wanted;
    const int needWidth = std::min(GraspableLength, wanted.width());
    const int needHeight = std::min(GraspableLength, wanted.height());
    // the screen that shows most of the window, among those it can be grasped on
    const QRect* home = nullptr;
    qint64 homeShare = -1;
    for (const QRect& area : screenAreas) {
        const QRect onScreen = area.intersected(wanted);
        const qint64 share = qint64(onScreen.width()) * onScreen.height();
        if (onScreen.width() >= needWidth && onScreen.height() >= needHeight && share > homeShare) {
            home = &area;
            homeShare = share;
        }
    }
    // A frame larger than its screen (a hand-edited or damaged setting) would cost memory for pixels no
    // one sees, and be saved back to do the same at every start: it is fitted like a frame out of reach.
    if (home && wanted.width() <= home->width() && wanted.height() <= home->height())
        return wanted;
    const QPoint centre = wanted.center();
    const QRect nearest = home ? *home
                               : *std::min_element(screenAreas.cbegin(), screenAreas.cend(),
                                                   [&](const QRect& a, const QRect& b) {
                                                       return squaredDistance(centre, a) < squaredDistance(centre, b);
                                                   });
    QRect moved(wanted.topLeft(), wanted.size().boundedTo(nearest.size()));
    moved.moveLeft(std::clamp(moved.left(), nearest.left(), nearest.right() - moved.width() + 1));
    moved.moveTop(std::clamp(moved.top(), nearest.top(), nearest.bottom() - moved.height() + 1));
    return moved;
}

void setWindowRect(SettingsDomain& domain, QWidget* window, const QString& key)
{
    if (!window || key.isEmpty())
        return;
    const std::optional<QRect> stored = storedRect(domain, key);
    if (!stored)
        return;
    if (const std::optional<QRect> frame = reachableWindowRect(*stored, availableScreenAreas()))
        window->setGeometry(*frame);
}

void setWindowPosition(SettingsDomain& domain, QWidget* window, const QString& key)
{
    if (!window || key.isEmpty())
        return;
    const std::optional<QRect> stored = storedRect(domain, key);
    if (!stored)
        return;
    const QRect wanted(stored->topLeft(), window->size());
    if (const std::optional<QRect> frame = reachableWindowRect(wanted, availableScreenAreas()))
        window->setGeometry(QRect(frame->topLeft(), window->size()));
}

void saveWindowRect(SettingsDomain& domain, QWidget* window, const QString& key)
{
    if (window)
        saveWindowRect(domain, window->geometry(), key);
}

void saveWindowRect(SettingsDomain& domain, const QRect& frame, const QString& key)
{
    if (key.isEmpty())
        return;
    QRect kept = frame;
    if (!windowsHaveKnownPlaces()) {
        if (const std::optional<QRect> stored = storedRect(domain, key))
            kept.moveTopLeft(stored->topLeft());
    }
    domain.setObject(rectText::stringFromRect(kept), key);
    domain.synchronize();
}

void setSplitViewRect(SettingsDomain& domain, QSplitter* splitView, const QString& key)
{
    if (!splitView)
        return;
    const std::optional<QVariantList> entries = storedList(domain, key);
    if (!entries)
        return;
    QList<int> sizes = splitView->sizes();
    const qsizetype count = std::min<qsizetype>(sizes.size(), entries->size());
    for (qsizetype i = 0; i < count; ++i) {
        int numbers = 0;
        const QRectF frame = rectText::rectFromString(entries->at(i).toString(), &numbers);
        // a damaged entry leaves its subview as it is rather than collapse it
        if (numbers < 4)
            continue;
        const double extent = splitView->orientation() == Qt::Horizontal ? frame.width() : frame.height();
        sizes[i] = static_cast<int>(std::lround(std::clamp(extent, 0.0, 1.0e6)));
    }
    splitView->setSizes(sizes);
}

void saveSplitViewRect(SettingsDomain& domain, QSplitter* splitView, const QString& key)
{
    QVariantList frames;
    for (int i = 0; splitView && i < splitView->count(); ++i)
        frames.append(rectText::stringFromRect(splitView->widget(i)->geometry()));
    storeList(domain, frames, key);
}

void setTableColumnState(SettingsDomain& domain, QTableView* table, const QString& key)
{
    if (!table || !table->model())
        return;
    const std::optional<QVariantList> entries = storedList(domain, key);
    if (!entries)
        return;
    QHeaderView* header = table->horizontalHeader();
    const QAbstractItemModel* model = table->model();
    // a hidden column's entry keeps no place; it says that the column existed when the list was stored
    QVariantList placed;
    for (const QVariant& entry : *entries) {
        if (!entry.toMap().value(HiddenKey).toBool())
            placed.append(entry);
    }
    for (qsizetype position = 0; position < placed.size(); ++position) {
        const QVariantMap entry = placed.at(position).toMap();
        if (!entry.contains(IdentifierKey))
            continue;
        const QString identifier = entry.value(IdentifierKey).toString();
        const QList<int> shown = shownSections(header);
        const auto section = std::find_if(shown.cbegin(), shown.cend(), [&](int logical) {
            return columnIdentifier(model, logical) == identifier;
        });
        if (section == shown.cend())
            continue;
        // a list longer than the table asks for a place past the last column: that entry stays unapplied
        if (position >= shown.size())
            continue;
        header->moveSection(header->visualIndex(*section), header->visualIndex(shown.at(position)));
        if (entry.contains(WidthKey)) {
            if (const auto width = integerMeaning(entry.value(WidthKey))) {
                header->resizeSection(
                    *section, static_cast<int>(std::clamp<qint64>(*width, header->minimumSectionSize(),
                                                                  header->maximumSectionSize())));
            }
        }
    }
}

void saveTableColumnState(SettingsDomain& domain, QTableView* table, const QString& key)
{
    QVariantList columns;
    if (table && table->model()) {
        const QHeaderView* header = table->horizontalHeader();
        for (int logical : shownSections(header)) {
            columns.append(QVariantMap{{IdentifierKey, columnIdentifier(table->model(), logical)},
                                       {WidthKey, header->sectionSize(logical)}});
        }
        for (int logical = 0; logical < header->count(); ++logical) {
            if (header->isSectionHidden(logical))
                columns.append(QVariantMap{{IdentifierKey, columnIdentifier(table->model(), logical)},
                                           {HiddenKey, true}});
        }
    }
    storeList(domain, columns, key);
}

QList<int> shownSections(const QHeaderView* header)
{
    QList<int> sections;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (!header->isSectionHidden(logical))
            sections.append(logical);
    }
    return sections;
}

} // namespace tetrapan::userDefaultsExtension
