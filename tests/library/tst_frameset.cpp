#include "library/FrameSet.h"

#include <QTest>

using namespace tetrapan;

namespace {

FrameSetItem item(int slot, float main, float left, float right)
{
    return FrameSetItem{slot, main, left, right};
}

} // namespace

// The frame-set text kept in a playlist: saving, removing and finding a slot's divider ratios.
class TestFrameSet : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void saving_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("after");
        QTest::newRow("into none") << "" << 0 << "0:0.50:0.50:0.50";
        QTest::newRow("replaces slot 0") << "0:0.20:0.30:0.40" << 0 << "0:0.50:0.50:0.50";
        QTest::newRow("slot 1 stays first")
            << "0:0.50:0.50:0.50/1:0.20:0.30:0.40" << 0 << "1:0.20:0.30:0.40/0:0.50:0.50:0.50";
        QTest::newRow("every item of the slot goes")
            << "0:0.1:0.1:0.1/2:0.9:0.9:0.9/0:0.2:0.2:0.2" << 0 << "2:0.9:0.9:0.9/0:0.50:0.50:0.50";
        QTest::newRow("another slot appended")
            << "0:0.20:0.30:0.40" << 3 << "0:0.20:0.30:0.40/3:0.50:0.50:0.50";
        QTest::newRow("empty items dropped")
            << "/0:0.20:0.30:0.40//" << 1 << "0:0.20:0.30:0.40/1:0.50:0.50:0.50";
    }

    void saving()
    {
        QFETCH(QString, before);
        QFETCH(int, slot);
        QFETCH(QString, after);
        QCOMPARE(frameSet::saveSlot(before, item(slot, 0.5f, 0.5f, 0.5f)), after);
    }

    void removing_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("the only item") << "0:0.50:0.25:0.50"
                                       << "";
        QTest::newRow("none") << ""
                              << "";
        QTest::newRow("others kept in order") << "1:0.1:0.1:0.1/0:0.5:0.5:0.5/2:0.2:0.2:0.2"
                                              << "1:0.1:0.1:0.1/2:0.2:0.2:0.2";
    }

    void removing()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QCOMPARE(frameSet::removeSlot(before, frameSet::SystemSlot), after);
    }

    void finding_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("slot");
        QTest::addColumn<bool>("found");
        QTest::addColumn<float>("main");
        QTest::addColumn<float>("left");
        QTest::addColumn<float>("right");
        QTest::newRow("stored form") << "0:0.50:0.25:0.50" << 0 << true << 0.5f << 0.25f << 0.5f;
        QTest::newRow("second item") << "1:0.10:0.20:0.30/0:0.40:0.60:0.70" << 0 << true << 0.4f << 0.6f
                                     << 0.7f;
        QTest::newRow("first of a slot wins")
            << "0:0.1:0.2:0.3/0:0.9:0.9:0.9" << 0 << true << 0.1f << 0.2f << 0.3f;
        QTest::newRow("none") << "" << 0 << false << 0.f << 0.f << 0.f;
        QTest::newRow("missing slot") << "1:0.10:0.20:0.30" << 0 << false << 0.f << 0.f << 0.f;
        QTest::newRow("a slot without number is 0")
            << "x:0.30:0.20:0.10" << 0 << true << 0.3f << 0.2f << 0.1f;
        QTest::newRow("leading numbers") << "2.7:0.3abc: 0.2:.1" << 2 << true << 0.3f << 0.2f << 0.1f;
        QTest::newRow("not a number collapses") << "0:abc:nan:inf" << 0 << true << 0.f << 0.f << 0.f;
        QTest::newRow("held to 0..1") << "0:1.70:-0.5:0.99" << 0 << true << 1.f << 0.f << 0.99f;
        QTest::newRow("fields missing") << "0:0.50:0.50" << 0 << false << 0.f << 0.f << 0.f;
    }

    void finding()
    {
        QFETCH(QString, text);
        QFETCH(int, slot);
        QFETCH(bool, found);
        const std::optional<FrameSetItem> result = frameSet::findSlot(text, slot);
        QCOMPARE(result.has_value(), found);
        if (!found)
            return;
        QCOMPARE(result->slot, slot);
        QTEST(result->main, "main");
        QTEST(result->left, "left");
        QTEST(result->right, "right");
    }

    void ratiosRoundToTwoDecimals_data()
    {
        QTest::addColumn<float>("first");
        QTest::addColumn<float>("whole");
        QTest::addColumn<float>("thickness");
        QTest::addColumn<QString>("written");
        QTest::newRow("333 of 1007, thickness 7") << 333.f << 1007.f << 7.f << "0:0.33:0.33:0.33";
        QTest::newRow("half without dividers") << 400.f << 800.f << 0.f << "0:0.50:0.50:0.50";
        QTest::newRow("second collapsed") << 800.f << 807.f << 7.f << "0:1.00:1.00:1.00";
        QTest::newRow("no room at all") << 0.f << 7.f << 7.f << "0:0.50:0.50:0.50";
    }

    void ratiosRoundToTwoDecimals()
    {
        QFETCH(float, first);
        QFETCH(float, whole);
        QFETCH(float, thickness);
        const float r = frameSet::ratio(first, whole, thickness);
        QTEST(frameSet::formatItem(item(0, r, r, r)), "written");
    }
};

QTEST_GUILESS_MAIN(TestFrameSet)
#include "tst_frameset.moc"
