#include "FakeDialogPresenter.h"
#include "library/dialogExtension.h"
#include "shell/MessageBoxPresenter.h"
#include "shell/NamedImage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <functional>

Q_DECLARE_METATYPE(tetrapan::dialogExtension::AlertText)

using namespace tetrapan;
using tetrapan::test::FakeDialogPresenter;
namespace de = tetrapan::dialogExtension;

// The images live in the static gui library, whose resources are only linked in when asked for by name.
void initImages()
{
    Q_INIT_RESOURCE(resources);
}

namespace {

// Runs f on the alert once it is up, from inside its modal loop; polls by re-posting itself, so nothing
// waits on a clock.
void whenAlertShows(std::function<void(QMessageBox*)> f, int attemptsLeft = 1000)
{
    QMetaObject::invokeMethod(
        qApp,
        [f = std::move(f), attemptsLeft]() mutable {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box && box->isVisible())
                f(box);
            else if (attemptsLeft > 0)
                whenAlertShows(std::move(f), attemptsLeft - 1);
        },
        Qt::QueuedConnection);
}

} // namespace

class TestDialogExtension : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { initImages(); }

    // The wording of every alert the program shows; a slip in one of these is what a user sees.
    void everyAlertOfTheProgram_data()
    {
        QTest::addColumn<de::AlertText>("alert");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("info");
        QTest::addColumn<QStringList>("buttons");
        const QStringList cancel{"Cancel"};
        const QStringList openOrCancel{"Open Playlist", "Cancel"};
        const QStringList deleteOrCancel{"Delete", "Cancel"};
        QTest::newRow("create item") << de::CanNotCreateItem << "Can not create item."
                                     << "" << cancel;
        QTest::newRow("no playlist") << de::PlaylistIsNotSelected << "Playlist is not selected"
                                     << "Please create or select playlist." << openOrCancel;
        QTest::newRow("folder") << de::FolderIsSelected << "Folder is selected"
                                << "Please select playlist." << openOrCancel;
        QTest::newRow("create movie") << de::CanNotCreateMovie << "Can not create movie."
                                      << "Please check file." << cancel;
        QTest::newRow("file not found") << de::FileIsNotFound << "File is not found."
                                        << "" << cancel;
        QTest::newRow("two files") << de::TwoOrMoreFilesAdded << "Two or more files are added."
                                   << "Please add only one file." << cancel;
        QTest::newRow("delete playlist") << de::DeletePlaylist << "Delete Playlist?"
                                         << "" << deleteOrCancel;
        QTest::newRow("delete folder") << de::DeleteFolder << "Delete Folder?"
                                       << "All playlists in folder are deleted" << deleteOrCancel;
        QTest::newRow("can't create movie") << de::CantCreateMovie << "Can`t create movie."
                                            << "Check movie file." << cancel;
    }
    void everyAlertOfTheProgram()
    {
        QFETCH(de::AlertText, alert);
        QFETCH(QString, message);
        QFETCH(QString, info);
        QFETCH(QStringList, buttons);
        FakeDialogPresenter presenter;
        presenter.alertAnswers = {1001};
        QCOMPARE(de::displayMessage(presenter, alert), 1001);
        QCOMPARE(presenter.alerts.size(), 1);
        const AlertRequest& asked = presenter.alerts.front();
        QCOMPARE(asked.iconName, QStringLiteral("icon_alert"));
        QCOMPARE(asked.messageText, message);
        QCOMPARE(asked.informativeText, info);
        QCOMPARE(asked.buttons, buttons);
    }

    void alertCreateMovieAsksTheFixedQuestion()
    {
        FakeDialogPresenter presenter;
        QCOMPARE(de::displayMessageAlertCreateMovie(presenter), 1000);
        QCOMPARE(presenter.alerts.front().messageText, QStringLiteral("Can`t create movie."));
    }

    void iconByStyleWord_data()
    {
        QTest::addColumn<QString>("style");
        QTest::addColumn<QString>("icon");
        QTest::newRow("alert") << "alert"
                               << "icon_alert";
        QTest::newRow("error") << "error"
                               << "icon_stop";
        QTest::newRow("info") << "info"
                              << "icon_info";
        QTest::newRow("warning") << "warning"
                                 << "icon_info";
        QTest::newRow("empty") << ""
                               << "icon_info";
        QTest::newRow("case differs") << "Alert"
                                      << "icon_info";
    }
    void iconByStyleWord()
    {
        QFETCH(QString, style);
        QFETCH(QString, icon);
        FakeDialogPresenter presenter;
        de::displayMessage(presenter, style, "m", "", "OK");
        QCOMPARE(presenter.alerts.front().iconName, icon);
        QVERIFY2(!namedImage(icon).isNull(), qPrintable(icon));
    }

    void iconByName()
    {
        FakeDialogPresenter presenter;
        de::displayMessageWithIcon(presenter, "icon_stop", "m", "", "OK");
        de::displayMessageWithIcon(presenter, "", "m", "", "OK");
        QCOMPARE(presenter.alerts[0].iconName, QStringLiteral("icon_stop"));
        QCOMPARE(presenter.alerts[1].iconName, QStringLiteral("icon_info"));
    }

    void buttonListSplitsExactly_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QStringList>("buttons");
        QTest::newRow("two") << "Delete,Cancel" << QStringList{"Delete", "Cancel"};
        QTest::newRow("blank after comma") << "Delete, Cancel" << QStringList{"Delete", " Cancel"};
        QTest::newRow("empty list") << "" << QStringList{""};
        QTest::newRow("trailing comma") << "OK," << QStringList{"OK", ""};
    }
    void buttonListSplitsExactly()
    {
        QFETCH(QString, list);
        QFETCH(QStringList, buttons);
        QCOMPARE(de::buttonTitles(list), buttons);
    }

    void openPanelPassesTheChoicesAndTheAnswer()
    {
        FakeDialogPresenter presenter;
        presenter.openPanelAnswers = {{}, {"/movies/a.mov"}};
        QCOMPARE(de::selectFilePath(presenter, true, false, false, false, true, ""), QStringList());
        QCOMPARE(de::selectFilePath(presenter, false, true, true, true, false, "/movies"),
                 QStringList{"/movies/a.mov"});
        const OpenPanelRequest& first = presenter.openPanels[0];
        QVERIFY(first.canChooseFiles && !first.canChooseDirectories && !first.allowsMultipleSelection);
        QVERIFY(!first.treatsPackagesAsDirectories && first.resolvesAliases && first.directory.isEmpty());
        const OpenPanelRequest& second = presenter.openPanels[1];
        QVERIFY(!second.canChooseFiles && second.canChooseDirectories && second.allowsMultipleSelection);
        QVERIFY(second.treatsPackagesAsDirectories && !second.resolvesAliases);
        QCOMPARE(second.directory, QStringLiteral("/movies"));
    }

    // The real alert: buttons in the given order, the first the default, the icon drawn for the style,
    // and the answer of the button pressed.
    void messageBoxShowsAndAnswers_data()
    {
        QTest::addColumn<QString>("style");
        QTest::addColumn<QString>("info");
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("press");
        QTest::addColumn<QString>("icon");
        QTest::newRow("delete pressed") << "error"
                                        << "All playlists in folder are deleted"
                                        << "Delete,Cancel" << 0 << "icon_stop";
        QTest::newRow("cancel pressed") << "alert"
                                        << ""
                                        << "Delete,Cancel" << 1 << "icon_alert";
        QTest::newRow("third of three") << "warning"
                                        << ""
                                        << "A,B,C" << 2 << "icon_info";
    }
    void messageBoxShowsAndAnswers()
    {
        QFETCH(QString, style);
        QFETCH(QString, info);
        QFETCH(QString, list);
        QFETCH(int, press);
        QFETCH(QString, icon);
        MessageBoxPresenter presenter;
        QStringList titles;
        QString shownInfo;
        QString shownText;
        bool firstIsDefault = false;
        bool iconMatches = false;
        bool seen = false;
        whenAlertShows([&](QMessageBox* box) {
            seen = true;
            shownText = box->text();
            shownInfo = box->informativeText();
            const QList<QAbstractButton*> buttons = box->buttons();
            for (QAbstractButton* b : buttons)
                titles << b->text();
            firstIsDefault = !buttons.isEmpty() && box->defaultButton() == buttons.front();
            iconMatches = box->iconPixmap().toImage() == namedImage(icon).pixmap(64, 64).toImage();
            buttons.value(press)->click();
        });
        const int answer = de::displayMessage(presenter, style, "Delete Folder?", info, list);
        QVERIFY(seen);
        QCOMPARE(answer, 1000 + press);
        QCOMPARE(shownText, QStringLiteral("Delete Folder?"));
        QCOMPARE(shownInfo, info);
        QCOMPARE(titles, de::buttonTitles(list));
        QVERIFY(firstIsDefault);
        QVERIFY(iconMatches);
    }
};

QTEST_MAIN(TestDialogExtension)
#include "tst_dialogextension.moc"
