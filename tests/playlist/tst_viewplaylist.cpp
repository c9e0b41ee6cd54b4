#include "TableFixture.h"

#include "panes/QTMovieSubView.h"
#include "platform/RectText.h"
#include "platform/userDefaultsExtension.h"
#include "shell/NamedImage.h"

#include <QMenu>
#include <QSplitter>
#include <QToolButton>

using namespace tetrapan;
using tetrapan::test::TableApp;

namespace {

bool showsImage(const QAbstractButton* button, const char* name)
{
    const QImage shown = button->icon().pixmap(16, 16).toImage();
    return !shown.isNull() && shown == namedImage(QLatin1String(name)).pixmap(16, 16).toImage();
}

bool isPlaylistOption(TableApp& app)
{
    return userDefaultsExtension::defaultBoolValue(app.settings, QLatin1String(ViewPlaylist::OptIsPlaylist));
}

QString enabled(TableApp& app)
{
    PlaylistWindow& w = app.window();
    QString states;
    for (const QAbstractButton* button :
         {static_cast<QAbstractButton*>(w.btnAdd()), static_cast<QAbstractButton*>(w.btnRemove()),
          static_cast<QAbstractButton*>(w.btnFrame())})
        states += button->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    return states;
}

} // namespace

// The playlist window's controller: opening, closing and toggling the window and what the next start
// makes of it, its frame and split across runs, and the rules of its buttons.
class TestViewPlaylist : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstStart()
    {
        TableApp app;
        QVERIFY(app.show());
        PlaylistWindow& window = app.window();
        QVERIFY(window.isVisible());
        QCOMPARE(window.parentWidget(), &app.nib->mainWindow());
        QVERIFY(window.windowFlags().testFlag(Qt::Tool));
        QVERIFY(app.nib->mainWindow().playlistWindowAction()->isChecked());
        // add, no remove without a selected row, no frame without an entry; nothing to play
        QCOMPARE(enabled(app), QStringLiteral("100"));
        QVERIFY(!window.btnPlay()->isEnabled());
        QVERIFY(showsImage(window.btnPlay(), ViewPlaylist::PlayImage));

        // what the buttons act on appears
        app.chooseWithEntries({2});
        QCOMPARE(enabled(app), QStringLiteral("111"));
        QVERIFY(window.btnPlay()->isEnabled());
    }

    void collapsingAPartOfTheSplitView_data()
    {
        QTest::addColumn<int>("collapsed");   // 0 the tree, 1 the table
        QTest::addColumn<QString>("buttons"); // add, remove, frame
        QTest::newRow("tree collapsed: no add, no remove") << 0 << "001";
        QTest::newRow("table collapsed: no frame") << 1 << "110";
    }
    void collapsingAPartOfTheSplitView()
    {
        QFETCH(int, collapsed);
        QFETCH(QString, buttons);
        TableApp app;
        QVERIFY(app.show());
        app.chooseWithEntries({1});
        QCOMPARE(enabled(app), QStringLiteral("111"));
        QSplitter* split = app.window().spvPlaylist();
        const int total = split->sizes().at(0) + split->sizes().at(1);
        split->setSizes(collapsed == 0 ? QList<int>{0, total} : QList<int>{total, 0});
        QCOMPARE(enabled(app), buttons);
        QCOMPARE(app.controller().canAddPlaylist(), buttons[0] == QLatin1Char('1'));
        QCOMPARE(app.controller().canSelectFilelist(), collapsed == 0);
        split->setSizes({total / 2, total - total / 2});
        QCOMPARE(enabled(app), QStringLiteral("111"));
    }

    void playButtonFollowsThePanes()
    {
        TableApp app;
        QVERIFY(app.show());
        QToolButton* play = app.window().btnPlay();
        app.chooseWithEntries({1, 3});
        QVERIFY(play->isEnabled());
        QVERIFY(showsImage(play, ViewPlaylist::PlayImage));

        play->click();
        QVERIFY(app.nib->qtView(1).isPlaying());
        QVERIFY(showsImage(play, ViewPlaylist::StopImage));
        play->click();
        QVERIFY(!app.nib->qtView(1).isPlaying());
        QVERIFY(showsImage(play, ViewPlaylist::PlayImage));

        // no playable pane left
        for (int n : {1, 3})
            app.nib->qtView(n).clearMovieView();
        QVERIFY(!play->isEnabled());
    }

    void spaceBarPlaysWithinTheWindow_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::newRow("the tree") << "tree";
        QTest::newRow("the table") << "table";
        QTest::newRow("the remove button") << "remove";
    }
    void spaceBarPlaysWithinTheWindow()
    {
        QFETCH(QString, focus);
        TableApp app;
        QVERIFY(app.show());
        PlaylistWindow& window = app.window();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QWidget* target = focus == QLatin1String("tree")    ? static_cast<QWidget*>(&app.tree())
                          : focus == QLatin1String("table") ? static_cast<QWidget*>(&app.table())
                                                            : static_cast<QWidget*>(window.btnRemove());
        // nothing to play: Space does nothing, and never presses the button that has the keyboard
        app.build(QStringLiteral("a"));
        app.selectTitle(QStringLiteral("a"));
        app.controller().setControlButtonEnabled();
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Space);
        QVERIFY(app.dialogs.alerts.isEmpty());
        QCOMPARE(app.rows(), QStringLiteral("*a"));

        app.entry(QStringLiteral("a"), 2, QStringLiteral("/clips/2.mp4"));
        app.tree().setFilelistPredicateWithPlaylist(true);
        app.scheduler.advance(MovController::ChangeDelay);
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Space);
        QVERIFY(app.nib->qtView(2).isPlaying());
        QTest::keyClick(target, Qt::Key_Space);
        QVERIFY(!app.nib->qtView(2).isPlaying());
        QVERIFY(app.dialogs.alerts.isEmpty());
    }

    void spaceTypesIntoATitle()
    {
        TableApp app;
        QVERIFY(app.show(QStringLiteral("a")));
        app.window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&app.window()));
        app.selectTitle(QStringLiteral("a"));
        app.tree().editSelectedRow();
        QWidget* editor = QApplication::focusWidget();
        QVERIFY(editor);
        QTest::keyClicks(editor, QStringLiteral("x y"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(app.rows(), QStringLiteral("*x y"));
    }

    void openStateAcrossRuns_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("optionAfter");
        QTest::newRow("close box: opens again") << "closeBox" << true;
        QTest::newRow("closePlaylistWindow: stays closed") << "command" << false;
        QTest::newRow("Window > Playlist: stays closed") << "menu" << false;
        QTest::newRow("left open") << "" << true;
    }
    void openStateAcrossRuns()
    {
        QFETCH(QString, how);
        QFETCH(bool, optionAfter);
        test::TestHome home;
        {
            TableApp app(home);
            QVERIFY(app.show());
            if (how == QLatin1String("closeBox"))
                QVERIFY(app.window().close());
            else if (how == QLatin1String("command"))
                app.controller().closePlaylistWindow();
            else if (how == QLatin1String("menu"))
                app.nib->mainWindow().playlistWindowAction()->trigger();
            QCOMPARE(app.window().isVisible(), how.isEmpty());
            QCOMPARE(app.nib->mainWindow().playlistWindowAction()->isChecked(), how.isEmpty());
            QCOMPARE(isPlaylistOption(app), optionAfter);
            QVERIFY(app.nib->appDelegate().terminate());
        }
        TableApp app(home);
        app.nib->showWindows();
        QCOMPARE(app.window().isVisible(), optionAfter);
        // the menu opens it again, and records it open
        if (!optionAfter) {
            app.nib->mainWindow().playlistWindowAction()->trigger();
            QVERIFY(app.window().isVisible());
            QVERIFY(isPlaylistOption(app));
        }
    }

    void frameAndSplitAcrossRuns_data()
    {
        QTest::addColumn<bool>("byCloseBox"); // else the program quits with the window open
        QTest::newRow("closed, then quit") << true;
        QTest::newRow("quit with the window open") << false;
    }
    void frameAndSplitAcrossRuns()
    {
        QFETCH(bool, byCloseBox);
        test::TestHome home;
        const QRect frame(210, 120, 330, 470);
        QList<int> sizes;
        {
            TableApp app(home);
            QVERIFY(app.show());
            app.window().setGeometry(frame);
            QTRY_COMPARE(app.window().geometry(), frame);
            app.window().spvPlaylist()->setSizes({120, 300});
            sizes = app.window().spvPlaylist()->sizes();
            if (byCloseBox)
                QVERIFY(app.window().close());
            QVERIFY(app.nib->appDelegate().terminate());
        }
        TableApp app(home);
        QCOMPARE(app.settings.objectForKey(QStringLiteral("rectWindowPlaylist")).toString(),
                 rectText::stringFromRect(frame));
        QVERIFY(app.show());
        QCOMPARE(app.window().geometry(), frame);
        QCOMPARE(app.window().spvPlaylist()->sizes(), sizes);
    }

    void windowMenuTogglesTheWindow()
    {
        TableApp app;
        QVERIFY(app.show());
        QAction* toggle = app.nib->mainWindow().playlistWindowAction();
        QCOMPARE(toggle->text().remove(QLatin1Char('&')), QStringLiteral("Playlist"));
        QCOMPARE(toggle->shortcut(), QKeySequence(QStringLiteral("Ctrl+L")));
        QVERIFY(app.nib->mainWindow().windowMenu()->actions().contains(toggle));
        // from within the playlist window too
        app.window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&app.window()));
        QTest::keyClick(&app.tree(), Qt::Key_L, Qt::ControlModifier);
        QVERIFY(!app.window().isVisible());
        QVERIFY(!isPlaylistOption(app));
        // and from the main window
        app.nib->mainWindow().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&app.nib->mainWindow()));
        QTest::keyClick(&app.nib->mainWindow(), Qt::Key_L, Qt::ControlModifier);
        QVERIFY(app.window().isVisible());
        QVERIFY(toggle->isChecked());
    }

    void paneAskingForAPlaylistOpensTheWindow()
    {
        TableApp app;
        QVERIFY(app.show());
        app.controller().closePlaylistWindow();
        app.coordinator().openPlaylistWindow();
        QVERIFY(app.window().isVisible());
        QVERIFY(isPlaylistOption(app));
    }
};

QTEST_MAIN(TestViewPlaylist)
#include "tst_viewplaylist.moc"
