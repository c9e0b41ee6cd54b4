#include "BenchProgram.h"

#include "BenchSupport.h"

#include "FrameBarcode.h"

#include "engine/MovieView.h"
#include "engine/MpvMovieEngine.h"
#include "library/LibraryRules.h"
#include "library/LibrarySchema.h"
#include "panes/MovController.h"
#include "panes/QTMovieSubView.h"
#include "platform/ObjectContext.h"
#include "platform/Scheduler.h"
#include "platform/SettingsDomain.h"
#include "shell/MainNib.h"
#include "shell/MainWindow.h"
#include "shell/MessageBoxPresenter.h"
#include "shell/Tetrapan_AppDelegate.h"

#include <cstdio>

namespace tetrapan::bench {

BenchProgram::BenchProgram(const char* name, int& argc, char** argv) : name_(name)
{
    // the program keeps its library and settings in the user's folders; the benchmark gets its own
    qputenv("XDG_DATA_HOME", home_.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home_.filePath(QStringLiteral("config")).toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("DISPLAY") && !display_.start())
        std::fprintf(stderr, "%s: no display and Xvfb could not be started\n", name_);
    qputenv("QT_QPA_PLATFORM", "xcb");
    app_.emplace(argc, argv);
}

BenchProgram::~BenchProgram()
{
    nib_.reset();
    engine_.reset();
}

bool BenchProgram::start(std::unique_ptr<Scheduler> scheduler)
{
    x_.emplace();
    clips_ = test::TestClips::make(QCoreApplication::applicationDirPath() + QStringLiteral("/clips"), true);
    if (!x_->isConnected() || !clips_->ok()) {
        std::fprintf(stderr, "%s: no X server, or the clips could not be made: %s\n", name_,
                     qPrintable(clips_->error));
        return false;
    }
    settings_ = std::make_unique<SettingsDomain>(SettingsDomain::standardFilePath());
    Tetrapan_AppDelegate::setupDefaults(*settings_);
    scheduler_ = std::move(scheduler);
    dialogs_ = std::make_unique<MessageBoxPresenter>();
    MpvMovieEngine::Options options;
    options.movie.nullAudio = true;
    options.scheduler = scheduler_.get(); // as the application does
    engine_ = std::make_unique<MpvMovieEngine>(options);
    std::fprintf(stderr, "%s: drawing path %s, load average %.2f\n", name_,
                 engine_->drawingPath() == DrawingPath::OpenGL ? "OpenGL" : "software", loadAverage());
    nib_ = std::make_unique<MainNib>(NibServices{*settings_, *scheduler_, *dialogs_, *engine_});
    nib_->mainWindow().resize(1280, 720);
    nib_->mainWindow().show();
    runEventsFor(500); // mapped and exposed
    return true;
}

std::array<std::optional<int>, 4> BenchProgram::shownFrames()
{
    constexpr double PictureAspect = 16.0 / 9.0;
    MainWindow& window = nib_->mainWindow();
    const QRect screen(window.mapToGlobal(QPoint(0, 0)), window.size());
    const QImage shot = x_->grab(screen);
    std::array<std::optional<int>, 4> frames;
    for (int n = 1; n <= 4; ++n) {
        MovieView* view = nib_->qtView(n).movieView();
        const QRect place(view->mapToGlobal(QPoint(0, 0)) - screen.topLeft(), view->size());
        frames[n - 1] = test::FrameBarcode::readView(shot, place, PictureAspect);
    }
    return frames;
}

ObjectId makePlaylist(ObjectContext& context, SettingsDomain& settings, const QString& title,
                      const std::array<QString, 4>& files)
{
    const ObjectId node = LibraryRules::createNode(context, settings, false);
    if (!title.isEmpty())
        context.setValue(node, LibrarySchema::Title, title);
    LibraryRules::placeNode(context, node, NoObject);
    for (int n = 1; n <= 4; ++n) {
        const ObjectId entry = context.insertNewObject(LibrarySchema::Filelist);
        context.setValue(entry, LibrarySchema::UniqueId, context.value(node, LibrarySchema::UniqueId));
        context.setValue(entry, LibrarySchema::ViewNo, n);
        context.setValue(entry, LibrarySchema::FilePath, files[n - 1]);
    }
    return node;
}

void chooseFileInFourPanes(MainNib& nib, SettingsDomain& settings, const QString& file, const QString& title)
{
    ObjectContext& context = *nib.appDelegate().managedObjectContext();
    const ObjectId node = makePlaylist(context, settings, title, {file, file, file, file});
    nib.movController().setUniqueId(context.value(node, LibrarySchema::UniqueId).toString());
}

} // namespace tetrapan::bench
