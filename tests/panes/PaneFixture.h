#pragma once

#include "FakeDialogPresenter.h"
#include "FakeFileViewer.h"
#include "FakeMovieEngine.h"
#include "FakeScheduler.h"

#include "panes/MovController.h"
#include "panes/QTMovieSubView.h"
#include "platform/SettingsDomain.h"
#include "platform/userDefaultsExtension.h"

#include <QTemporaryDir>
#include <QWidget>

#include <array>
#include <memory>

namespace tetrapan::test {

// Four panes on the fake engine, wired to a coordinator as the application wires them, each 200x150.
struct PaneFixture {
    QTemporaryDir home;
    FakeScheduler scheduler;
    FakeMovieEngine engine;
    FakeDialogPresenter dialogs;
    FakeFileViewer fileViewer;
    SettingsDomain settings{home.filePath(QStringLiteral("Tetrapan.json"))};
    MovController controller{scheduler, settings};
    QWidget window;
    std::array<QTMovieSubView*, 4> panes{};

    PaneFixture()
    {
        settings.registerDefaults(
            {{QStringLiteral("optPlayVolume"), 0.0}, {QStringLiteral("optSkipTime"), 10.0}});
        for (int n = 1; n <= 4; ++n) {
            auto* pane = new QTMovieSubView({engine, settings, scheduler, dialogs, fileViewer}, &window);
            pane->setGeometry(0, 0, 200, 150);
            pane->setMovController(&controller);
            controller.setQtView(n, pane);
            panes[n - 1] = pane;
        }
        controller.awakeFromNib();
        for (QTMovieSubView* pane : panes)
            pane->awakeFromNib();
    }

    QTMovieSubView& pane(int viewNo) { return *panes[viewNo - 1]; }
    FakeMovie* movieOf(int viewNo) { return static_cast<FakeMovie*>(pane(viewNo).movie()); }
    // Loads "/clips/<name>" into the pane; the fake engine makes it a one-minute movie at scale 600.
    FakeMovie* load(int viewNo, const QString& name = QStringLiteral("clip.mp4"))
    {
        if (!pane(viewNo).createMovieView(QStringLiteral("/clips/") + name))
            return nullptr;
        return movieOf(viewNo);
    }
    void setFloat(const char* key, float value)
    {
        userDefaultsExtension::setDefaultFloatValue(settings, value, QLatin1String(key));
    }
};

} // namespace tetrapan::test
