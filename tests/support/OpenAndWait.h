#pragma once

#include "engine/MovieEngine.h"
#include "panes/QTMovieSubView.h"

#include <QTest>

#include <algorithm>
#include <optional>

namespace tetrapan::test {

// Opens go through the event loop; these wait for the answer, turning it (at once on the fake engine, which
// answers before the open returns). A test is no window that must stay answering.

// True when the movie is in the pane; an open not answered within the time is cancelled.
inline bool openInPane(QTMovieSubView& pane, const QString& path, int timeoutMs = 30000)
{
    std::optional<bool> opened;
    pane.createMovieView(path, [&opened](QTMovieSubView::OpenOutcome outcome, const QString&) {
        opened = outcome == QTMovieSubView::OpenOutcome::Opened;
    });
    if (!opened && !QTest::qWaitFor([&opened] { return opened.has_value(); }, timeoutMs))
        pane.cancelOpening();
    return opened.value_or(false);
}

// Waits until none of the panes is opening: a refusal is put in the user's words off the GUI thread, even on
// the fake engine, as it looks at the file.
template <typename Panes> bool openingsEnded(const Panes& panes, int timeoutMs = 10000)
{
    return QTest::qWaitFor(
        [&panes] {
            return std::none_of(panes.begin(), panes.end(), [](auto* pane) { return pane->isOpening(); });
        },
        timeoutMs);
}

inline MovieOpenResult openAndWait(MovieEngine& engine, const QString& path, int timeoutMs = 30000)
{
    std::optional<MovieOpenResult> answer;
    const quint64 opening = engine.openMovie(path, [&answer](MovieOpenResult result) { answer = std::move(result); });
    if (!answer && !QTest::qWaitFor([&answer] { return answer.has_value(); }, timeoutMs)) {
        engine.cancelOpening(opening);
        answer.emplace();
        answer->error = QStringLiteral("%1: no answer within %2 ms").arg(path).arg(timeoutMs);
    }
    return std::move(*answer);
}

} // namespace tetrapan::test
