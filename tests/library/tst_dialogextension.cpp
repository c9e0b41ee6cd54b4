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
        const QStringList cancel{"Cancel"}, open{"Open Playlist", "Cancel"}, del{"Delete", "Cancel"};
        const auto row = [](de::AlertText alert, const char* message, const char* info,
                            const QStringList& buttons) {
            QTest::newRow(message) << alert << QString(message) << QString(info) << buttons;
        };
        row(de::CanNotCreateItem, "Can not create item.", "", cancel);
        row(de::PlaylistIsNotSelected, "Playlist is not selected", "Please create or select playlist.", open);
        row(de::FolderIsSelected, "Folder is selected", "Please select playlist.", open);
        row(de::CanNotCreateMovie, "Can not create movie.", "Please check file.", cancel);
        row(de::FileIsNotFound, "File is not found.", "", cancel);
        row(de::TwoOrMoreFilesAdded, "Two or more files are added.", "Please add only one file.", cancel);
        row(de::DeletePlaylist, "Delete Playlist?", "", del);
        row(de::DeleteFolder, "Delete Folder?", "All playlists in folder are deleted", del);
        row(de::CantCreateMovie, "Can`t create movie.", "Check movie file.", cancel);
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

    // The real alert: buttons in the given order, the first the default, the icon drawn for the style,
    // and the answer of the button pressed.
    void messageBoxShowsAndAnswers_data()
    {
        QTest::addColumn<QString>("style");
        QTest::addColumn<QString>("info");
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("press");
        QTest::addColumn<QString>("icon");
        const auto row = [](const char* name, const char* style, const char* info, const char* list,
                            int press, const char* icon) {
            QTest::newRow(name) << QString(style) << QString(info) << QString(list) << press << QString(icon);
        };
        row("delete pressed", "error", "All playlists in folder are deleted", "Delete,Cancel", 0,
            "icon_stop");
        row("cancel pressed", "alert", "", "Delete,Cancel", 1, "icon_alert");
        row("third of three", "warning", "", "A,B,C", 2, "icon_info");
    }
    void messageBoxShowsAndAnswers()
    {
        QFETCH(QString, style);
        QFETCH(QString, info);
        QFETCH(QString, list);
        QFETCH(int, press);
        QFETCH(QString, icon);
        MessageBoxPresenter presenter;
        QString shown; // text|info|buttons|which is default|icon
        whenAlertShows([&](QMessageBox* box) {
            const QList<QAbstractButton*> buttons = box->buttons();
            QStringList titles;
            for (QAbstractButton* b : buttons)
                titles << b->text();
            const bool iconMatches = box->iconPixmap().toImage() == namedImage(icon).pixmap(64, 64).toImage();
            shown = QStringList{box->text(), box->informativeText(), titles.join(','),
                                box->defaultButton() == buttons.value(0) ? "first default" : "other default",
                                iconMatches ? "icon" : "other icon"}
                        .join('|');
            buttons.value(press)->click();
        });
        QCOMPARE(de::displayMessage(presenter, style, "Delete Folder?", info, list), 1000 + press);
        QCOMPARE(shown, QStringList({"Delete Folder?", info, list, "first default", "icon"}).join('|'));
    }
};

QTEST_MAIN(TestDialogExtension)
#include "tst_dialogextension.moc"
