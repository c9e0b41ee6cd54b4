#include "TestHome.h"

#include "library/FilelistArrayController.h"
#include "platform/SettingsDomain.h"
#include "shell/userDefaultsViewState.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScreen>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

using namespace tetrapan;
namespace ude = tetrapan::userDefaultsExtension;

namespace {

const QString WindowKey = QStringLiteral("rectWindowMain");
const QString SplitKey = QStringLiteral("rectSplitViewMain");
const QString ColumnKey = QStringLiteral("stateTableColumnFilelist");

QJsonValue storedJson(const test::TestHome& home, const QString& key)
{
    return QJsonDocument::fromJson(test::readAll(home.settingsFile())).object().value(key);
}

// A splitter of `count` plain widgets, shown at a fixed size so its layout is real.
struct SplitWindow {
    QWidget window;
    QSplitter* splitter;
    explicit SplitWindow(int count, Qt::Orientation orientation = Qt::Horizontal)
    {
        splitter = new QSplitter(orientation, &window);
        splitter->setHandleWidth(7);
        splitter->setChildrenCollapsible(true);
        for (int i = 0; i < count; ++i) {
            auto* pane = new QWidget;
            pane->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
            splitter->addWidget(pane);
        }
        splitter->setGeometry(0, 0, 1024, 640);
        window.resize(1024, 640);
        window.show();
    }
};

// A table whose columns carry their identifiers the way the file list's model does.
struct ColumnTable {
    QStandardItemModel model{0, 5};
    QTableView table;
    ColumnTable()
    {
        const QStringList ids{"filePath", "playTime", "fileSize", "fileDate", "uniqueId"};
        for (int i = 0; i < ids.size(); ++i)
            model.setHeaderData(i, Qt::Horizontal, ids[i], FilelistArrayController::AttributeKeyRole);
        table.setModel(&model);
        for (int i = 0; i < ids.size(); ++i)
            table.horizontalHeader()->resizeSection(i, 100 + i);
    }
    QStringList order() const
    {
        QStringList ids;
        const QHeaderView* header = table.horizontalHeader();
        for (int visual = 0; visual < header->count(); ++visual) {
            const int logical = header->logicalIndex(visual);
            if (!header->isSectionHidden(logical))
                ids << model.headerData(logical, Qt::Horizontal, FilelistArrayController::AttributeKeyRole)
                           .toString();
        }
        return ids;
    }
    int width(int logical) const { return table.horizontalHeader()->sectionSize(logical); }
};

QVariantMap column(const QString& identifier, int width)
{
    return {{QStringLiteral("identifier"), identifier}, {QStringLiteral("width"), width}};
}

} // namespace

// Window frames, split views and table columns kept in the settings, in their stored forms.
class TestViewState : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void windowFrameRoundTripsExactly()
    {
        test::TestHome home;
        {
            SettingsDomain domain(home.settingsFile());
            QWidget window;
            window.setGeometry(120, 35, 640, 400);
            ude::saveWindowRect(domain, &window, WindowKey);
        }
        QCOMPARE(storedJson(home, WindowKey).toString(), QStringLiteral("{{120, 35}, {640, 400}}"));

        SettingsDomain domain(home.settingsFile());
        QWidget restored;
        restored.setGeometry(0, 0, 300, 200);
        ude::setWindowRect(domain, &restored, WindowKey);
        QCOMPARE(restored.geometry(), QRect(120, 35, 640, 400));

        QWidget moved;
        moved.setGeometry(5, 6, 300, 200);
        ude::setWindowPosition(domain, &moved, WindowKey);
        QCOMPARE(moved.geometry(), QRect(120, 35, 300, 200));
    }

    void windowFrameLeftAlone_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QRect>("afterPosition");
        const QRect designed(40, 50, 320, 240);
        QTest::newRow("empty key") << QString() << QVariant("{{1, 2}, {300, 300}}") << designed;
        QTest::newRow("never saved") << WindowKey << QVariant() << designed;
        QTest::newRow("not a string") << WindowKey << QVariant(QVariantList{1, 2, 300, 300}) << designed;
        QTest::newRow("damaged") << WindowKey << QVariant("{{1, 2}, {300") << designed;
        QTest::newRow("no numbers") << WindowKey << QVariant("garbage") << designed;
        // an empty frame still has a usable origin
        QTest::newRow("empty") << WindowKey << QVariant("{{10, 10}, {0, 0}}") << QRect(10, 10, 320, 240);
        QTest::newRow("negative size")
            << WindowKey << QVariant("{{10, 10}, {-300, 200}}") << QRect(10, 10, 320, 240);
    }

    void windowFrameLeftAlone()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(QRect, afterPosition);
        test::TestHome home;
        SettingsDomain domain(home.settingsFile());
        if (stored.isValid())
            domain.setObject(stored, key.isEmpty() ? WindowKey : key);
        QWidget window;
        window.setGeometry(40, 50, 320, 240);
        ude::setWindowRect(domain, &window, key);
        QCOMPARE(window.geometry(), QRect(40, 50, 320, 240));
        ude::setWindowPosition(domain, &window, key);
        QCOMPARE(window.geometry(), afterPosition);
        ude::saveWindowRect(domain, &window, QString());
        QVERIFY(!domain.hasStoredValue(QString()));
    }

    void windowOffEveryScreenComesBack()
    {
        test::TestHome home;
        SettingsDomain domain(home.settingsFile());
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        domain.setObject(QStringLiteral("{{%1, 40}, {300, 200}}").arg(screen.right() + 500), WindowKey);
        QWidget window;
        ude::setWindowRect(domain, &window, WindowKey);
        QCOMPARE(window.geometry(), QRect(screen.right() + 1 - 300, 40, 300, 200));
    }

    void reachableFrames_data()
    {
        QTest::addColumn<QRect>("wanted");
        QTest::addColumn<QRect>("placed");
        QTest::newRow("on the first screen") << QRect(120, 35, 1024, 640) << QRect(120, 35, 1024, 640);
        QTest::newRow("across both") << QRect(1500, 100, 800, 600) << QRect(1500, 100, 800, 600);
        QTest::newRow("mostly off but graspable")
            << QRect(-950, 100, 1000, 600) << QRect(-950, 100, 1000, 600);
        QTest::newRow("a sliver is not enough") << QRect(-990, 100, 1000, 600) << QRect(0, 100, 1000, 600);
        QTest::newRow("third monitor gone") << QRect(3500, 200, 800, 600) << QRect(2400, 200, 800, 600);
        QTest::newRow("below everything") << QRect(200, 3000, 800, 600) << QRect(200, 450, 800, 600);
        QTest::newRow("larger than the nearest") << QRect(5000, 0, 1600, 1200) << QRect(1920, 0, 1280, 1024);
    }

    void reachableFrames()
    {
        QFETCH(QRect, wanted);
        QFETCH(QRect, placed);
        const QList<QRect> screens{QRect(0, 0, 1920, 1050), QRect(1920, 0, 1280, 1024)};
        QCOMPARE(ude::reachableWindowRect(wanted, screens), std::optional<QRect>(placed));
        QCOMPARE(ude::reachableWindowRect(QRect(10, 10, 0, 100), screens), std::nullopt);
    }

    void splitViewRoundTripsExactly()
    {
        test::TestHome home;
        {
            SettingsDomain domain(home.settingsFile());
            SplitWindow split(2);
            split.splitter->setSizes({300, 717});
            ude::saveSplitViewRect(domain, split.splitter, SplitKey);
        }
        const QJsonArray stored = storedJson(home, SplitKey).toArray();
        QCOMPARE(stored, (QJsonArray{"{{0, 0}, {300, 640}}", "{{307, 0}, {717, 640}}"}));

        SettingsDomain domain(home.settingsFile());
        SplitWindow split(2);
        ude::setSplitViewRect(domain, split.splitter, SplitKey);
        QCOMPARE(split.splitter->sizes(), (QList<int>{300, 717}));
        ude::saveSplitViewRect(domain, split.splitter, SplitKey);
        QCOMPARE(storedJson(home, SplitKey).toArray(), stored);
    }

    void splitViewEntriesMeetSubviews_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<Qt::Orientation>("orientation");
        QTest::addColumn<QList<int>>("sizes");
        const QStringList three{"{{0, 0}, {200, 640}}", "{{207, 0}, {817, 640}}", "{{0, 0}, {5, 5}}"};
        QTest::newRow("third entry ignored") << QVariant(three) << Qt::Horizontal << QList<int>{200, 817};
        QTest::newRow("vertical uses heights")
            << QVariant(QStringList{"{{0, 0}, {1024, 100}}", "{{0, 107}, {1024, 533}}"}) << Qt::Vertical
            << QList<int>{100, 533};
        QTest::newRow("collapsed first")
            << QVariant(QStringList{"{{0, 0}, {0, 640}}", "{{7, 0}, {1017, 640}}"}) << Qt::Horizontal
            << QList<int>{0, 1017};
        QTest::newRow("not a list") << QVariant("{{0, 0}, {200, 640}}") << Qt::Horizontal
                                    << QList<int>{505, 512};
        QTest::newRow("damaged entry kept") << QVariant(QStringList{"{{0, 0}, {505, 640}}", "broken"})
                                            << Qt::Horizontal << QList<int>{505, 512};
    }

    void splitViewEntriesMeetSubviews()
    {
        QFETCH(QVariant, stored);
        QFETCH(Qt::Orientation, orientation);
        QFETCH(QList<int>, sizes);
        test::TestHome home;
        SettingsDomain domain(home.settingsFile());
        domain.setObject(stored, SplitKey);
        SplitWindow split(2, orientation);
        split.splitter->setSizes(orientation == Qt::Horizontal ? QList<int>{505, 512} : QList<int>{316, 317});
        ude::setSplitViewRect(domain, split.splitter, SplitKey);
        QCOMPARE(split.splitter->sizes(), sizes);
    }

    void emptyViewsRemoveTheirKeys()
    {
        test::TestHome home;
        SettingsDomain domain(home.settingsFile());
        domain.setObject(QStringList{"{{0, 0}, {1, 1}}"}, SplitKey);
        domain.setObject(QVariantList{column("filePath", 10)}, ColumnKey);
        SplitWindow split(0);
        ude::saveSplitViewRect(domain, split.splitter, SplitKey);
        QTableView table;
        QStandardItemModel model;
        table.setModel(&model);
        ude::saveTableColumnState(domain, &table, ColumnKey);
        QVERIFY(!domain.hasStoredValue(SplitKey));
        QVERIFY(!domain.hasStoredValue(ColumnKey));
        QVERIFY(!storedJson(home, SplitKey).isArray());
    }

    void columnsRoundTripExactly()
    {
        test::TestHome home;
        {
            SettingsDomain domain(home.settingsFile());
            ColumnTable t;
            t.table.horizontalHeader()->moveSection(4, 0);
            t.table.horizontalHeader()->resizeSection(2, 87);
            t.table.horizontalHeader()->hideSection(3);
            ude::saveTableColumnState(domain, &t.table, ColumnKey);
        }
        const QJsonArray stored = storedJson(home, ColumnKey).toArray();
        QCOMPARE(stored, (QJsonArray{QJsonObject{{"identifier", "uniqueId"}, {"width", 104}},
                                     QJsonObject{{"identifier", "filePath"}, {"width", 100}},
                                     QJsonObject{{"identifier", "playTime"}, {"width", 101}},
                                     QJsonObject{{"identifier", "fileSize"}, {"width", 87}}}));

        SettingsDomain domain(home.settingsFile());
        ColumnTable t;
        t.table.horizontalHeader()->hideSection(3);
        ude::setTableColumnState(domain, &t.table, ColumnKey);
        QCOMPARE(t.order(), (QStringList{"uniqueId", "filePath", "playTime", "fileSize"}));
        QCOMPARE(t.width(2), 87);
        ude::saveTableColumnState(domain, &t.table, ColumnKey);
        QCOMPARE(storedJson(home, ColumnKey).toArray(), stored);
    }

    void columnEntriesKeepTheirPositions_data()
    {
        QTest::addColumn<QVariantList>("stored");
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<int>("fileDateWidth");
        QTest::addColumn<bool>("playTimeHidden");
        // the third entry goes to index 2 although the second was skipped
        QTest::newRow("unknown identifier skipped")
            << QVariantList{column("fileDate", 120), column("comments", 50), column("filePath", 90)}
            << QStringList{"fileDate", "playTime", "filePath", "fileSize", "uniqueId"} << 120 << false;
        QTest::newRow("entry without identifier skipped")
            << QVariantList{QVariantMap{{"width", 10}}, column("fileDate", 130)}
            << QStringList{"filePath", "fileDate", "playTime", "fileSize", "uniqueId"} << 130 << false;
        QTest::newRow("no width keeps the width")
            << QVariantList{QVariantMap{{"identifier", "fileDate"}}}
            << QStringList{"fileDate", "filePath", "playTime", "fileSize", "uniqueId"} << 103 << false;
        QTest::newRow("past the last column unapplied")
            << QVariantList{column("a", 1), column("b", 1), column("c", 1),
                            column("d", 1), column("e", 1), column("fileDate", 140)}
            << QStringList{"filePath", "playTime", "fileSize", "fileDate", "uniqueId"} << 103 << false;
        QTest::newRow("a hidden column is not in the table")
            << QVariantList{column("playTime", 10), column("fileDate", 150)}
            << QStringList{"filePath", "fileDate", "fileSize", "uniqueId"} << 150 << true;
    }

    void columnEntriesKeepTheirPositions()
    {
        QFETCH(QVariantList, stored);
        QFETCH(QStringList, order);
        QFETCH(int, fileDateWidth);
        QFETCH(bool, playTimeHidden);
        test::TestHome home;
        SettingsDomain domain(home.settingsFile());
        domain.setObject(stored, ColumnKey);
        ColumnTable t;
        if (playTimeHidden)
            t.table.horizontalHeader()->hideSection(1);
        ude::setTableColumnState(domain, &t.table, ColumnKey);
        QCOMPARE(t.order(), order);
        QCOMPARE(t.width(3), fileDateWidth);
    }
};

QTEST_MAIN(TestViewState)
#include "tst_viewstate.moc"
