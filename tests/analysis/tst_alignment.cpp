// Aligning cuts of one recording by their sound and by a flash: offsets to the millisecond whatever the
// codec, rate, noise and volume; what has no sound, silence or another recording's sound is named, not
// aligned.
#include "analysis/Alignment.h"
#include "analysis/MediaInput.h"
#include "analysis/SoundMatch.h"
#include "analysis/TwoPoints.h"

#include "AlignClips.h"
#include "TestClips.h"

#include <QTest>

using namespace tetrapan;
using tetrapan::test::AlignClips;
using Outcome = PaneAlignment::Outcome;
using Encoding = AlignClips::Encoding;

Q_DECLARE_METATYPE(Encoding)
Q_DECLARE_METATYPE(Outcome)

namespace {

constexpr double ClipSeconds = 8.0;
constexpr double LeaderStart = 2.0; // seconds into the source

AlignClips clips()
{
    return AlignClips(QStringLiteral(TETRAPAN_BINARY_DIR "/clips/align"));
}

} // namespace

class TestAlignment : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void bySound_data()
    {
        QTest::addColumn<Encoding>("encoding");
        QTest::addColumn<double>("start"); // of the other cut, in the source
        QTest::addColumn<int>("seed");     // of the other cut's source: another seed is another recording
        QTest::addColumn<double>("position");
        QTest::addColumn<Outcome>("outcome");
        QTest::newRow("H.264 and AAC, later") << Encoding::H264Aac << 0.7 << 1 << 0.0 << Outcome::Found;
        QTest::newRow("VP9 and Opus, earlier") << Encoding::Vp9Opus << 3.123 << 1 << 2.0 << Outcome::Found;
        QTest::newRow("44.1 kHz") << Encoding::Aac44k << 1.0005 << 1 << 6.0 << Outcome::Found;
        QTest::newRow("noisy and quiet") << Encoding::NoisyQuiet << 2.5 << 1 << 0.0 << Outcome::Found;
        QTest::newRow("a hole in the sound") << Encoding::SoundHole << 0.7 << 1 << 0.0 << Outcome::Found;
        QTest::newRow("identical") << Encoding::H264Aac << LeaderStart << 1 << 0.0 << Outcome::Found;
        QTest::newRow("no sound track") << Encoding::NoSound << 1.0 << 1 << 0.0 << Outcome::NoSound;
        QTest::newRow("silence") << Encoding::Silent << 1.0 << 1 << 0.0 << Outcome::Silent;
        QTest::newRow("another recording") << Encoding::H264Aac << 1.0 << 2 << 0.0 << Outcome::NotFound;
        QTest::newRow("sound days after the picture")
            << Encoding::LateSound << 1.0 << 1 << 0.0 << Outcome::Unreadable;
    }
    void bySound()
    {
        QFETCH(Encoding, encoding);
        QFETCH(double, start);
        QFETCH(int, seed);
        QFETCH(double, position);
        QFETCH(Outcome, outcome);
        AlignClips maker = clips();
        const QString leaderPath = maker.cut(maker.source(12.0, 1), QStringLiteral("leader"), LeaderStart,
                                             ClipSeconds, Encoding::H264Aac);
        const QString otherPath =
            maker.cut(maker.source(12.0, seed),
                      QStringLiteral("other-%1-%2-%3").arg(int(encoding)).arg(start).arg(seed), start,
                      ClipSeconds, encoding);
        QVERIFY2(!leaderPath.isEmpty() && !otherPath.isEmpty(), qPrintable(maker.error()));

        const std::atomic<bool> cancel{false};
        const auto results = Alignment::run(Alignment::Method::Sound, {1, leaderPath, 1.0},
                                            {{3, otherPath, position}}, cancel);
        QCOMPARE(results.size(), size_t(1));
        QCOMPARE(results[0].viewNo, 3);
        QVERIFY2(results[0].outcome == outcome, qPrintable(QStringLiteral("outcome %1, lag %2, confidence %3")
                                                               .arg(int(results[0].outcome))
                                                               .arg(results[0].lagSeconds, 0, 'f', 5)
                                                               .arg(results[0].confidence)));
        if (outcome == Outcome::Found)
            // the engine counts time from where a file's time line starts
            QVERIFY2(std::abs(results[0].lagSeconds - (LeaderStart - start) -
                              (AlignClips::startSeconds(leaderPath) - AlignClips::startSeconds(otherPath))) <
                         0.002,
                     qPrintable(QString::number(results[0].lagSeconds, 'f', 5)));
        if (outcome == Outcome::Unreadable)
            QVERIFY2(results[0].problem.contains(QLatin1String("hours")), qPrintable(results[0].problem));
    }

    // a movie 25/24 as fast as the leader: the rate and where it stands, from two points
    void atTwoPoints_data()
    {
        QTest::addColumn<Encoding>("encoding");
        QTest::addColumn<double>("speed"); // the pane's seconds in one of the leader's
        QTest::addColumn<double>(
            "position"); // where both stand: the first point; the second at the farther end
        QTest::newRow("25/24 as fast") << Encoding::Faster << 24.0 / 25.0 << 10.0;
        QTest::newRow("as fast") << Encoding::H264Aac << 1.0 << 10.0;
        QTest::newRow("25/24 as fast, past the middle") << Encoding::Faster << 24.0 / 25.0 << 40.0;
    }
    void atTwoPoints()
    {
        QFETCH(Encoding, encoding);
        QFETCH(double, speed);
        QFETCH(double, position);
        AlignClips maker = clips();
        const QString source = maker.source(60.0, 3);
        const QString leaderPath =
            maker.cut(source, QStringLiteral("two-leader"), 1.0, 55.0, Encoding::H264Aac);
        const QString panePath =
            maker.cut(source, QStringLiteral("two-%1").arg(int(encoding)), 3.0, 55.0, encoding);
        QVERIFY2(!leaderPath.isEmpty() && !panePath.isEmpty(), qPrintable(maker.error()));

        const std::atomic<bool> cancel{false};
        const TwoPointAlignment found =
            TwoPointAlignment::run({1, leaderPath, position}, {2, panePath, position}, 1.0, cancel);
        QCOMPARE(found.outcome, Outcome::Found);
        QVERIFY2(std::abs(found.speed - speed) < 2e-5, qPrintable(QString::number(found.speed, 'f', 7)));
        // the leader's second s is the source's 1 + s, which the pane shows at (1 + s - 3) * speed
        for (const auto& [leader, pane] : {std::pair{found.leaderFirstSeconds, found.paneFirstSeconds},
                                           std::pair{found.leaderSecondSeconds, found.paneSecondSeconds}})
            QVERIFY2(std::abs(pane - (leader - 2.0) * speed) < 0.004,
                     qPrintable(QString::number(pane, 'f', 5)));
    }

    void byFlash_data()
    {
        QTest::addColumn<double>("start"); // of the other cut, in the source
        QTest::addColumn<bool>("vp9");
        QTest::addColumn<bool>("picture");
        QTest::addColumn<Outcome>("outcome");
        QTest::newRow("H.264, later") << 1.0 << false << true << Outcome::Found;
        QTest::newRow("VP9, earlier") << 3.3 << true << true << Outcome::Found;
        QTest::newRow("the same first frame") << LeaderStart << false << true << Outcome::Found;
        QTest::newRow("no picture") << 0.0 << false << false << Outcome::NoSound;
    }
    void byFlash()
    {
        QFETCH(double, start);
        QFETCH(bool, vp9);
        QFETCH(bool, picture);
        QFETCH(Outcome, outcome);
        AlignClips maker = clips();
        const QString source = maker.flashSource(10.0, 150);
        const QString leaderPath =
            maker.flashCut(source, QStringLiteral("flash-leader"), LeaderStart, 6.0, false);
        const QString otherPath =
            picture ? maker.flashCut(source, QStringLiteral("flash-%1").arg(start), start, 6.0, vp9)
                    : test::TestClips::makeForTests().tone;
        QVERIFY2(!leaderPath.isEmpty() && !otherPath.isEmpty(), qPrintable(maker.error()));

        const std::atomic<bool> cancel{false};
        const auto results =
            Alignment::run(Alignment::Method::Flash, {1, leaderPath, 0.0}, {{2, otherPath, 0.0}}, cancel);
        QCOMPARE(results[0].outcome, outcome);
        if (outcome == Outcome::Found)
            QVERIFY2(std::abs(results[0].lagSeconds - (LeaderStart - start)) <= 1.0 / 30 + 1e-3,
                     qPrintable(QString::number(results[0].lagSeconds, 'f', 5)));
    }

    // a leader that cannot be read aligns nobody, and says so; cancelling stops at once
    void leaderUnusableOrCancelled()
    {
        const test::TestClips testClips = test::TestClips::makeForTests();
        QVERIFY2(testClips.ok(), qPrintable(testClips.error));
        std::atomic<bool> cancel{false};
        auto results = Alignment::run(Alignment::Method::Sound,
                                      {1, testClips.kind(QStringLiteral("video-only.mp4")), 0.0},
                                      {{2, testClips.red, 0.0}}, cancel);
        QCOMPARE(results[0].outcome, Outcome::LeaderUnusable);
        QCOMPARE(results[0].problem, QStringLiteral("has no sound"));
        cancel = true;
        results = Alignment::run(Alignment::Method::Sound, {1, testClips.red, 0.0},
                                 {{2, testClips.green, 0.0}}, cancel);
        QCOMPARE(results[0].outcome, Outcome::Cancelled);

        // what takes long gives up where it waits: a comparison between its transforms, an open on its file
        AlignClips maker = clips();
        const QString cut = maker.cut(maker.source(12.0, 1), QStringLiteral("leader"), LeaderStart,
                                      ClipSeconds, Encoding::H264Aac);
        const SoundExcerpt excerpt = SoundExcerpt::read(cut, 0.0, 0.0, std::atomic<bool>{false});
        QVERIFY(SoundMatch::find(excerpt, excerpt).found());
        QVERIFY(!SoundMatch::find(excerpt, excerpt, SoundMatch::MinOverlapSeconds, &cancel).found());
        MediaInput input;
        QCOMPARE(input.open(cut, MediaInput::Kind::Sound, &cancel), MediaInput::Status::Unreadable);
    }
};

QTEST_GUILESS_MAIN(TestAlignment)
#include "tst_alignment.moc"
