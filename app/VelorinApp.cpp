#include "app/VelorinApp.h"

#include "app/UpdatePluginSlot.h"
#include "app/ui/MapScreen.h"

#include "platform/SteadyClock.h"
#include "platform/qt/QtKeychainStore.h"
#include "platform/qt/LocationSourceFactory.h"
#include "platform/qt/QtMainQueue.h"
#include "platform/qt/QtNetworkPathSource.h"

#include <QPalette>
#include <QStyleFactory>

#include <fmt/format.h>

#include <cstdlib>

namespace velorin {

namespace {

// The map reads best on a dark frame, whatever the desktop's own appearance.
QPalette darkPalette()
{
    const QColor window(37, 37, 38);
    const QColor base(28, 28, 30);
    const QColor text(235, 235, 240);
    const QColor accent(10, 132, 255);
    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::ToolTipBase, window);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Highlight, accent);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, accent);
    palette.setColor(QPalette::PlaceholderText, QColor(140, 140, 146));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(110, 110, 115));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(110, 110, 115));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(110, 110, 115));
    return palette;
}

// A scripted run reads the window's preferences but keeps its own changes (the camera it
// flew, a flyover mode) to itself.
AppEnvironment processEnvironment(bool scripted)
{
    AppEnvironment environment;
    environment.folders = platform::Folders::fromEnvironment();
    environment.defaults = std::make_shared<platform::UserDefaults>(environment.folders.defaults(),
        scripted ? platform::UserDefaults::Changes::keptInMemory : platform::UserDefaults::Changes::saved);
    environment.hosts = ServiceHosts::fromEnvironment();
    environment.clock = std::make_shared<platform::SteadyClock>();
    environment.mainQueue = std::make_shared<platform::QtMainQueue>();
    environment.networkPaths = std::make_unique<platform::QtNetworkPathSource>();
    environment.makeLocationSource = [mainQueue = environment.mainQueue](const platform::PositionSourceChoice& choice) {
        return platform::LocationSourceFactory::make(choice, mainQueue);
    };
    environment.probeGpu = &GpuDevice::probeDefault;
    environment.keychain = std::make_shared<platform::QtKeychainStore>(environment.mainQueue);
    environment.updatePlugin = &updatePlugin;
    return environment;
}

} // namespace

VelorinApp::VelorinApp(int& argc, char** argv)
    : application_(argc, argv)
{
    QApplication::setApplicationName("Velorin");
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QApplication::setPalette(darkPalette());
    std::vector<std::string> arguments;
    for (const QString& argument : QApplication::arguments())
        arguments.push_back(argument.toStdString());
    mode_ = launchMode(arguments, hasDisplay());
    const bool scripted = HeadlessRun::isRequested(arguments);
    // Before the model is built: it closes the tracks it finds open and trims videos, which
    // would end the walk a first window is recording.
    if (!scripted) {
        instance_ = std::make_unique<SingleInstance>(SingleInstance::defaultFolder());
        switch (instance_->claim({arguments.begin() + (arguments.empty() ? 0 : 1), arguments.end()})) {
        case SingleInstance::Claim::first:
            break;
        case SingleInstance::Claim::handedOver:
            exitStatus_ = 0;
            return;
        case SingleInstance::Claim::unanswered:
            fmt::print(stderr, "velorin : une autre fenêtre de Velorin est ouverte mais ne répond pas\n");
            exitStatus_ = 1;
            return;
        }
    }
    if (mode_ == LaunchMode::refused)
        return;
    AppEnvironment environment = processEnvironment(scripted);
    environment.arguments = arguments;
    environment.scripted = scripted;
    canvasEnvironment_ = {environment.clock, environment.mainQueue, environment.defaults,
        environment.folders.gestureJournal(), std::move(arguments), [](int status) { QApplication::exit(status); }};
    model_ = std::make_unique<AppModel>(std::move(environment));
    QObject::connect(&application_, &QCoreApplication::aboutToQuit, model_.get(),
        [model = model_.get()] { model->applicationWillTerminate(); });
}

VelorinApp::~VelorinApp()
{
    // The plug-in's transfers and dialogs end while Qt is still there.
    releaseUpdatePlugin();
}

bool VelorinApp::hasDisplay()
{
    return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
}

int VelorinApp::exec()
{
    if (exitStatus_)
        return *exitStatus_;
    if (mode_ == LaunchMode::offscreenRun) {
        QObject::connect(model_.get(), &AppModel::changed, &application_, [this] {
            const auto& state = model_->state();
            if (state.kind == LoadState::Kind::failed) {
                fmt::print(stderr, "velorin : {}\n", state.message);
                QApplication::exit(1);
            } else if (state.kind == LoadState::Kind::ready) {
                startRun();
            }
        });
    } else if (mode_ == LaunchMode::window) {
        openWindow();
    } else {
        fmt::print(stderr, "velorin : aucun écran pour la fenêtre de la carte ; essayez -startAt … -snapshotTo ou -filmTo\n");
        return 1;
    }
    QMetaObject::invokeMethod(model_.get(), [this] { model_->start(); }, Qt::QueuedConnection);
    return QApplication::exec();
}

void VelorinApp::openWindow()
{
    window_ = std::make_unique<RootView>(*model_, canvasEnvironment_);
    window_->setWindowTitle(QStringLiteral("Velorin"));
    // Decided once: the account service's first message has loaded the plug-in, or not.
    window_->offerUpdateCheck(&updatePlugin);
    window_->resize(kWindowWidthPoints, kWindowHeightPoints);
    window_->show();
    if (instance_) {
        QObject::connect(instance_.get(), &SingleInstance::argumentsReceived, window_.get(),
            [this](const std::vector<std::string>& arguments) { handOver(arguments); });
    }
}

void VelorinApp::handOver(const std::vector<std::string>& arguments)
{
    window_->setWindowState((window_->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window_->show();
    window_->raise();
    window_->activateWindow();
    // Before the map is shown there is nothing to act on yet.
    if (auto* screen = dynamic_cast<MapScreen*>(window_->content()))
        screen->actOn(arguments);
}

void VelorinApp::startRun()
{
    if (run_)
        return;
    try {
        run_ = std::make_unique<HeadlessRun>(*model_, canvasEnvironment_);
    } catch (const std::exception& error) {
        fmt::print(stderr, "velorin : {}\n", error.what());
        QApplication::exit(1);
    }
}

} // namespace velorin
