#include "library/dialogExtension.h"
#include "shell/MessageBoxPresenter.h"
#include "widgets/NamedImage.h"
#include "widgets/Resources.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace tetrapan;
namespace de = tetrapan::dialogExtension;

class TestDialogExtension : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { initResources(); }

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
        row("names that look like markup", "alert", "<b>Dailies</b> & <i>raw</i>: <link> has an invalid id",
            "Delete,Cancel", 1, "icon_alert");
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
        // from inside the alert's modal loop, which is up before the loop runs the timer
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            const QList<QAbstractButton*> buttons = box->buttons();
            QStringList titles;
            for (QAbstractButton* b : buttons)
                titles << b->text();
            const bool iconMatches = box->iconPixmap().toImage() == namedImage(icon).pixmap(64, 64).toImage();
            bool asWritten = true;
            for (const QLabel* label : box->findChildren<QLabel*>())
                asWritten &= label->textFormat() == Qt::PlainText || !Qt::mightBeRichText(label->text());
            shown = QStringList{box->text(),
                                box->informativeText(),
                                titles.join(','),
                                box->defaultButton() == buttons.value(0) ? "first default" : "other default",
                                iconMatches ? "icon" : "other icon",
                                asWritten ? "as written" : "as markup"}
                        .join('|');
            buttons.value(press)->click();
        });
        QCOMPARE(de::displayMessage(presenter, style, "Delete Folder?", info, list), 1000 + press);
        QCOMPARE(
            shown,
            QStringList({"Delete Folder?", info, list, "first default", "icon", "as written"}).join('|'));
    }
};

QTEST_MAIN(TestDialogExtension)
#include "tst_dialogextension.moc"
