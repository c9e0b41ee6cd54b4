#include "library/FrameSet.h"

#include <QTest>

using namespace tetrapan;

// The frame-set text kept in a playlist, in the forms the main window's own saving and loading never
// write: items of several slots, damaged items, dividers without room.
class TestFrameSet : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void savingAndRemoving_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("slot"); // -1: slot 0 removed
        QTest::addColumn<QString>("after");
        QTest::newRow("every item of the slot goes")
            << "0:0.1:0.1:0.1/2:0.9:0.9:0.9/0:0.2:0.2:0.2" << 0 << "2:0.9:0.9:0.9/0:0.50:0.50:0.50";
        QTest::newRow("empty items dropped")
            << "/0:0.20:0.30:0.40//" << 1 << "0:0.20:0.30:0.40/1:0.50:0.50:0.50";
        QTest::newRow("removed, others kept in order")
            << "1:0.1:0.1:0.1/0:0.5:0.5:0.5/2:0.2:0.2:0.2" << -1 << "1:0.1:0.1:0.1/2:0.2:0.2:0.2";
    }

    void savingAndRemoving()
    {
        QFETCH(QString, before);
        QFETCH(int, slot);
        QTEST(slot < 0 ? frameSet::removeSlot(before, frameSet::SystemSlot)
                       : frameSet::saveSlot(before, FrameSetItem{slot, 0.5f, 0.5f, 0.5f}),
              "after");
    }

    void finding_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("slot");
        QTest::addColumn<float>("main");
        QTest::addColumn<float>("left");
        QTest::addColumn<float>("right");
        QTest::newRow("first of a slot wins") << "0:0.1:0.2:0.3/0:0.9:0.9:0.9" << 0 << 0.1f << 0.2f << 0.3f;
        QTest::newRow("a slot without number is 0") << "x:0.30:0.20:0.10" << 0 << 0.3f << 0.2f << 0.1f;
        QTest::newRow("leading numbers") << "2.7:0.3abc: 0.2:.1" << 2 << 0.3f << 0.2f << 0.1f;
        QTest::newRow("not a number collapses") << "0:abc:nan:inf" << 0 << 0.f << 0.f << 0.f;
        QTest::newRow("held to 0..1") << "0:1.70:-0.5:0.99" << 0 << 1.f << 0.f << 0.99f;
    }

    void finding()
    {
        QFETCH(QString, text);
        QFETCH(int, slot);
        const std::optional<FrameSetItem> result = frameSet::findSlot(text, slot);
        QVERIFY(result.has_value());
        QCOMPARE(result->slot, slot);
        QTEST(result->main, "main");
        QTEST(result->left, "left");
        QTEST(result->right, "right");
    }

    // a split view with no room beside its divider is kept as halves
    void noRoomIsKeptAsHalves()
    {
        const float r = frameSet::ratio(0.f, 7.f, 7.f);
        QCOMPARE(frameSet::formatItem(FrameSetItem{0, r, r, r}), QStringLiteral("0:0.50:0.50:0.50"));
    }
};

QTEST_GUILESS_MAIN(TestFrameSet)
#include "tst_frameset.moc"
