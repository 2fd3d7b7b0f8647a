#include "app/ui/RootView.h"

#include "app/tests/AppModelFixture.h"
#include "app/ui/FailureView.h"
#include "app/ui/LoadingView.h"
#include "widgets/Symbols.h"
#include "testing/TestApplication.h"

#include <QLabel>
#include <QLayout>
#include <QPushButton>

using velorin::AppModel;
using velorin::FailureView;
using velorin::LoadingView;
using velorin::RootView;

namespace {

class RootViewTest : public testing_support::AppModelFixture {
protected:
    void SetUp() override { testing_support::application(); }

    velorin::MapCanvasView::Environment canvasEnvironment()
    {
        return {clock, mainQueue, readPreferences(), folder / "VelorinGestes.log", {"velorin"}, {}};
    }
};

} // namespace

TEST_F(RootViewTest, StartsOnTheLoadingScreenOverTheDarkBackground)
{
    auto& model = makeModel();
    RootView root(model, canvasEnvironment());
    auto* loading = dynamic_cast<LoadingView*>(root.content());
    ASSERT_NE(loading, nullptr);
    const auto captions = loading->findChildren<QLabel*>();
    ASSERT_EQ(captions.size(), 1);
    EXPECT_EQ(captions.front()->text(), QStringLiteral("Préparation de la carte…"));
    EXPECT_TRUE(root.autoFillBackground());
    EXPECT_EQ(root.palette().color(QPalette::Window), QColor::fromRgbF(0.11f, 0.145f, 0.22f));
}

TEST_F(RootViewTest, AMissingGpuShowsTheFailureAndRetryingShowsLoadingThenTheFailureAgain)
{
    gpu.reset();
    auto& model = makeModel();
    RootView root(model, canvasEnvironment());
    model.start();

    auto* failure = dynamic_cast<FailureView*>(root.content());
    ASSERT_NE(failure, nullptr);
    EXPECT_EQ(failure->message().text().toStdString(), AppModel::kNoGpuMessage);
    EXPECT_EQ(failure->retryButton().text(), QStringLiteral("Réessayer"));
    EXPECT_EQ(failure->symbol().text(), velorin::Symbols::glyph("wifi.exclamationmark"));
    EXPECT_FALSE(failure->symbol().text().isEmpty());
    EXPECT_EQ(failure->symbol().palette().color(QPalette::WindowText), FailureView::kSymbolColor) << "orange";

    failure->retryButton().click();
    EXPECT_NE(dynamic_cast<LoadingView*>(root.content()), nullptr) << "the loading screen replaces it at once";
    EXPECT_EQ(gpuProbes, 1) << "start-up runs again from the main queue";

    mainQueue->drain();
    failure = dynamic_cast<FailureView*>(root.content());
    ASSERT_NE(failure, nullptr);
    EXPECT_EQ(failure->message().text().toStdString(), AppModel::kNoGpuMessage);
    EXPECT_EQ(gpuProbes, 2);
}

TEST_F(RootViewTest, TheFailureScreenStaysWhileTheModelPublishesOtherChanges)
{
    gpu.reset();
    auto& model = makeModel();
    RootView root(model, canvasEnvironment());
    model.start();
    QWidget* failure = root.content();
    model.toggleSlopes();
    EXPECT_EQ(root.content(), failure);
}

TEST_F(RootViewTest, AMapThatCannotDrawTurnsTheReadyModelIntoTheFailureScreen)
{
    auto& model = makeModel();
    model.start();
    ASSERT_EQ(model.state().kind, velorin::LoadState::Kind::ready);
    RootView root(model, canvasEnvironment());
    model.mapDidFail("Impossible d'initialiser le moteur OpenGL");
    auto* failure = dynamic_cast<FailureView*>(root.content());
    ASSERT_NE(failure, nullptr);
    EXPECT_EQ(failure->message().text(), QStringLiteral("Impossible d'initialiser le moteur OpenGL"));
}

TEST_F(RootViewTest, ALongMessageWrapsInsideThePadding)
{
    FailureView view(std::string(400, 'x') + " fin", {});
    EXPECT_TRUE(view.message().wordWrap());
    EXPECT_EQ(view.message().alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    const QMargins margins = view.layout()->contentsMargins();
    EXPECT_EQ(margins, QMargins(32, 32, 32, 32));
}
