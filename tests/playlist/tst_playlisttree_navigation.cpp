#include "PlaylistFixture.h"

#include "platform/userDefaultsExtension.h"
#include "playlist/ImageAndTextCell.h"
#include "shell/MainWindow.h"
#include "panes/QTMovieSubView.h"
#include "shell/NamedImage.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QToolButton>

using namespace tetrapan;
using tetrapan::test::PlaylistApp;

// Moving through the playlist tree, handing rows to the panes, the context menu, the open folders and
// selected row across runs, the row's icon and text, and the window that holds the tree.
class TestPlaylistTreeNavigation : public QObject {
    Q_OBJECT

private:
    static QPoint centreOf(PlaylistApp& app, const QString& title)
    {
        return app.tree()
            .visualRect(app.nib->playlistTreeController().indexOfObject(app.node(title)))
            .center();
    }

private Q_SLOTS:
    void moving_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("move"); // up, down (keys), back, next (actions)
        QTest::addColumn<bool>("canBack");
        QTest::addColumn<bool>("canNext");
        QTest::addColumn<QString>("expectedRows");
        QTest::newRow("next with nothing selected: first row, opened")
            << ""
            << "next" << true << true << "*F,a,G,T";
        QTest::newRow("back with nothing selected: last row") << ""
                                                              << "back" << true << true << "F,G,*T";
        QTest::newRow("down does not open") << "F"
                                            << "down" << false << true << "F,*G,T";
        QTest::newRow("next opens the folder it lands on") << "F"
                                                           << "next" << false << true << "F,*G,b,T";
        QTest::newRow("back opens the folder it lands on") << "T"
                                                           << "back" << true << false << "F,*G,b,T";
        QTest::newRow("up") << "G"
                            << "up" << true << true << "*F,G,T";
        QTest::newRow("down from the last row stays") << "T"
                                                      << "down" << true << false << "F,G,*T";
        QTest::newRow("up from the first row stays") << "F"
                                                     << "up" << false << true << "*F,G,T";
    }

    void moving()
    {
        QFETCH(QString, selected);
        QFETCH(QString, move);
        QFETCH(bool, canBack);
        QFETCH(bool, canNext);
        QFETCH(QString, expectedRows);
        test::TestHome home;
        PlaylistApp app(home);
        QVERIFY(app.show());
        app.build(QStringLiteral("F/(a),G/(b),T"));
        app.selectTitle(selected);
        PlaylistOutlineView& tree = app.tree();
        tree.selectClickedRow();
        QCOMPARE(tree.canMoveSelectedRowIndex(0), canBack);
        QCOMPARE(tree.canMoveSelectedRowIndex(1), canNext);

        if (move == QLatin1String("up"))
            QTest::keyClick(&tree, Qt::Key_Up);
        else if (move == QLatin1String("down"))
            QTest::keyClick(&tree, Qt::Key_Down);
        else if (move == QLatin1String("back"))
            tree.selectBackRow();
        else
            tree.selectNextRow();
        QCOMPARE(app.rows(), expectedRows);
        // what is now selected is what the panes show
        const ObjectId now = tree.itemAtRow(tree.selectedRow());
        QCOMPARE(app.coordinator().uniqueId(), app.attr(now, "uniqueId"));
    }

    void handOver_data()
    {
        QTest::addColumn<QString>("path"); // click, key, right, meta
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("targetIsShown"); // the panes already show the target's identifier
        QTest::addColumn<bool>("handedOver");
        QTest::newRow("click on the playlist shown: no reload") << "click"
                                                                << "a" << true << false;
        QTest::newRow("click on another playlist") << "click"
                                                   << "a" << false << true;
        QTest::newRow("click on a folder") << "click"
                                           << "F" << false << true;
        QTest::newRow("arrow onto the playlist shown: no reload") << "key"
                                                                  << "a" << true << false;
        QTest::newRow("arrow onto the folder shown: set again") << "key"
                                                                << "F" << true << true;
        QTest::newRow("right-click on the playlist shown") << "right"
                                                           << "a" << true << false;
        QTest::newRow("right-click on the folder shown") << "right"
                                                         << "F" << true << true;
        QTest::newRow("meta-click is a right-click") << "meta"
                                                     << "a" << false << true;
    }

    void handOver()
    {
        QFETCH(QString, path);
        QFETCH(QString, target);
        QFETCH(bool, targetIsShown);
        QFETCH(bool, handedOver);
        test::TestHome home;
        PlaylistApp app(home);
        QVERIFY(app.show());
        // the target is the row below z, so one Down reaches it
        app.build(target == QLatin1String("F") ? QStringLiteral("z,F/,a") : QStringLiteral("F/,z,a"));
        app.selectTitle(QStringLiteral("z"));
        app.coordinator().setUniqueId(targetIsShown ? app.uid(target) : app.uid(QStringLiteral("z")));
        QSignalSpy handed(&app.coordinator(), &MovController::uniqueIdChanged);
        QWidget* viewport = app.tree().viewport();

        if (path == QLatin1String("click"))
            QTest::mouseClick(viewport, Qt::LeftButton, {}, centreOf(app, target));
        else if (path == QLatin1String("key"))
            QTest::keyClick(&app.tree(), Qt::Key_Down);
        else
            QTest::mousePress(viewport, path == QLatin1String("right") ? Qt::RightButton : Qt::LeftButton,
                              path == QLatin1String("meta") ? Qt::MetaModifier : Qt::KeyboardModifiers(),
                              centreOf(app, target));

        QCOMPARE(app.tree().itemAtRow(app.tree().selectedRow()), app.node(target));
        QCOMPARE(handed.size(), handedOver ? 1 : 0);
        QCOMPARE(app.coordinator().uniqueId(), app.uid(target));
        QMenu* menu = app.tree().cmPlaylist;
        QCOMPARE(menu->isVisible(), path == QLatin1String("right") || path == QLatin1String("meta"));
        menu->close();
    }

    void rightClickOnNoRowDoesNothing()
    {
        test::TestHome home;
        PlaylistApp app(home);
        QVERIFY(app.show());
        app.build(QStringLiteral("a"));
        QSignalSpy handed(&app.coordinator(), &MovController::uniqueIdChanged);
        QTest::mousePress(app.tree().viewport(), Qt::RightButton, {},
                          QPoint(5, app.tree().viewport()->height() - 5));
        QCOMPARE(app.tree().selectedRow(), -1);
        QCOMPARE(handed.size(), 0);
        QVERIFY(!app.tree().cmPlaylist->isVisible());
    }

    void lastStateAcrossRuns()
    {
        test::TestHome home;
        QString shownId;
        {
            PlaylistApp app(home);
            QVERIFY(app.show());
            // a folder inside a closed folder keeps what it had stored
            app.build(QStringLiteral("F/(a,b),G/(c),H/(d,S/(e)),T"));
            app.ctx().setValue(app.node(QStringLiteral("S")), "isExpand", true);
            app.entry("c", 2, QStringLiteral("/clips/c2.mp4"));
            PlaylistTreeController& model = app.nib->playlistTreeController();
            app.tree().expand(model.indexOfObject(app.node(QStringLiteral("F"))));
            app.tree().expand(model.indexOfObject(app.node(QStringLiteral("G"))));
            app.tree().selectRow(4);
            QCOMPARE(app.rows(), QStringLiteral("F,a,b,G,*c,H,T"));
            shownId = app.uid(QStringLiteral("c"));
            QCOMPARE(app.nib->appDelegate().applicationShouldTerminate(),
                     int(Tetrapan_AppDelegate::TerminateNow));
        }
        PlaylistApp again(home);
        QCOMPARE(again.rows(), QStringLiteral("F,a,b,G,*c,H,T"));
        QCOMPARE(again.coordinator().uniqueId(), shownId);
        again.scheduler.advance(MovController::ChangeDelay);
        QCOMPARE(again.nib->qtView(2).filePath(), QStringLiteral("/clips/c2.mp4"));
        QVERIFY(again.nib->qtView(1).movie() == nullptr);
        QVERIFY(again.ctx().value(again.node(QStringLiteral("S")), "isExpand").toBool());
        QVERIFY(!again.ctx().value(again.node(QStringLiteral("H")), "isExpand").toBool());
    }

    void restoredSelection_data()
    {
        QTest::addColumn<int>("storedRow"); // -2: never stored
        QTest::addColumn<QString>("expectedRows");
        QTest::newRow("first start: the first row") << -2 << "*F,T";
        QTest::newRow("nothing was selected") << -1 << "F,T";
        QTest::newRow("a row that is no longer there") << 2 << "F,T";
    }

    void restoredSelection()
    {
        QFETCH(int, storedRow);
        QFETCH(QString, expectedRows);
        test::TestHome home;
        {
            PlaylistApp app(home);
            app.build(QStringLiteral("F/(a),T"));
            app.nib->appDelegate().saveAction();
        }
        if (storedRow != -2) {
            SettingsDomain settings(home.settingsFile());
            userDefaultsExtension::setDefaultIntValue(settings, storedRow,
                                                      PlaylistOutlineView::LastSelectedIndexKey);
        }
        PlaylistApp app(home);
        QCOMPARE(app.rows(), expectedRows);
        QCOMPARE(app.coordinator().uniqueId(), storedRow == -2 ? app.uid(QStringLiteral("F")) : QString());
    }

    void rowShowsIconThenText()
    {
        test::TestHome home;
        PlaylistApp app(home);
        QVERIFY(app.show());
        app.build(QStringLiteral("Folder/,Playlist"));
        PlaylistOutlineView& tree = app.tree();
        const QModelIndex folder = app.nib->playlistTreeController().indexOfObject(app.node("Folder"));
        const QRect cell = tree.visualRect(folder);
        const QSize icon = tree.iconSize();
        const QRect image = ImageAndTextCell::imageFrameForCellFrame(cell, icon);
        const QRect text = ImageAndTextCell::textFrameForCellFrame(cell, icon);
        QCOMPARE(image.left(), cell.left() + 3);
        QCOMPARE(text.left(), image.right() + 1 + 3);
        QVERIFY(qAbs(image.center().y() - cell.center().y()) <= 1);

        // the folder icon is drawn there, and not where the text goes
        const QImage shot = tree.viewport()->grab().toImage();
        const auto folderColoured = [&shot](const QRect& area) {
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x)
                    if (qAbs(QColor(shot.pixel(x, y)).hue() - QColor(0xf0, 0xb5, 0x4a).hue()) < 6 &&
                        QColor(shot.pixel(x, y)).saturation() > 100)
                        return true;
            return false;
        };
        QVERIFY(folderColoured(image));
        QVERIFY(!folderColoured(text));

        // the title editor lies over the text
        app.selectTitle(QStringLiteral("Folder"));
        tree.editSelectedRow();
        auto* editor = tree.findChild<QLineEdit*>();
        QVERIFY(editor);
        QCOMPARE(editor->geometry(), text);
    }

    void cellSizes_data()
    {
        QTest::addColumn<bool>("hasImage");
        QTest::addColumn<int>("extraWidth");
        QTest::newRow("with an icon: inset and icon") << true << 3 + 16;
        QTest::newRow("without: the inset alone") << false << 3;
    }

    void cellSizes()
    {
        QFETCH(bool, hasImage);
        QFETCH(int, extraWidth);
        QStandardItemModel model;
        model.appendRow(new QStandardItem(QStringLiteral("A title")));
        const QModelIndex index = model.index(0, 0);
        QStyleOptionViewItem option;
        option.decorationSize = QSize(16, 16);
        option.font = QApplication::font();
        option.fontMetrics = QFontMetrics(option.font);
        ImageAndTextCell cell;
        if (hasImage)
            cell.setImageProvider(
                [](const QModelIndex&) { return namedImage(QStringLiteral("icon_playlist")); });
        QStyledItemDelegate plain;
        QCOMPARE(cell.sizeHint(option, index).width(), plain.sizeHint(option, index).width() + extraWidth);

        // without an icon the editor still keeps 6 pixels from the left
        const QRect frame(10, 20, 200, 18);
        QCOMPARE(ImageAndTextCell::textFrameForCellFrame(frame, hasImage ? QSize(16, 16) : QSize()).left(),
                 hasImage ? 10 + 6 + 16 : 10 + 6);
        QCOMPARE(ImageAndTextCell::imageFrameForCellFrame(frame, {}), QRect());
    }

    void playlistWindowOpensAtStartAndCloses()
    {
        test::TestHome home;
        PlaylistApp app(home);
        QVERIFY(app.show());
        PlaylistWindow& window = app.nib->playlistWindow();
        QVERIFY(window.isVisible());
        QCOMPARE(window.parentWidget(), &app.nib->mainWindow());
        QVERIFY(window.windowFlags().testFlag(Qt::Tool));
        QVERIFY(app.tree().isDisplay());

        // its buttons and context menu reach the tree
        window.btnAdd()->click();
        QCOMPARE(app.rows(), QStringLiteral("*New Playlist"));
        const QList<QAction*> items = window.cmPlaylist()->actions();
        QStringList titles;
        for (QAction* item : items)
            if (!item->isSeparator())
                titles << item->text();
        QCOMPARE(titles, QStringList({"New Playlist", "New Folder", "Rename", "Delete"}));
        window.addFolderAction()->trigger();
        QCOMPARE(app.rows(), QStringLiteral("New Playlist,*New Folder"));

        QVERIFY(window.close());
        QVERIFY(!window.isVisible());
        QVERIFY(app.nib->mainWindow().isVisible());
        QVERIFY(!app.nib->appDelegate().isTerminating());
    }
};

QTEST_MAIN(TestPlaylistTreeNavigation)
#include "tst_playlisttree_navigation.moc"
