#include "app/ui/CameraInfoPanel.h"

#include "app/ui/tests/WidgetTest.h"

#include <QClipboard>
#include <QLabel>
#include <QPushButton>

#include <filesystem>
#include <numbers>

using velorin::CameraInfo;
using velorin::CameraInfoPanel;

namespace {

constexpr double kDegree = std::numbers::pi / 180;

CameraInfo southWest()
{
    CameraInfo info;
    info.camera.center = velorin::WorldPoint::fromLatitudeLongitude(-0.5, -1.25);
    info.camera.zoom = 14.5;
    info.camera.bearing = 190 * kDegree;
    info.camera.pitch = 60 * kDegree;
    info.camera.focalLength = 1;
    info.eye = {velorin::WorldPoint::fromLatitudeLongitude(-0.51, -1.25), 1843.6};
    return info;
}

} // namespace

using CameraInfoPanelWidget = testing_support::WidgetTest;

TEST_F(CameraInfoPanelWidget, BeforeAnyReadoutThePanelAsksForAMove)
{
    CameraInfoPanel panel(*model, nullptr);
    EXPECT_FALSE(panel.showsReadout());
    EXPECT_EQ(panel.waitingLabel().text(), QStringLiteral("Déplacez la carte…"));
    EXPECT_TRUE(panel.launchLine().isEmpty());
}

TEST_F(CameraInfoPanelWidget, ShowingThePanelReadsTheCameraAndTheButtonCopiesTheLine)
{
    canvas->info = southWest();
    CameraInfoPanel panel(*model, nullptr);
    panel.show();
    ASSERT_TRUE(panel.showsReadout()) << "shown, it asked for a readout";
    EXPECT_EQ(panel.centerText(), QStringLiteral("0,50000° S  1,25000° O"));
    EXPECT_EQ(panel.eyeText(), QStringLiteral("0,51000° S  1,25000° O"));
    EXPECT_EQ(panel.altitudeText(), QStringLiteral("1\u202F844 m d'altitude"));
    EXPECT_EQ(panel.bearingText(), QStringLiteral("-170,0°"));
    EXPECT_EQ(panel.pitchText(), QStringLiteral("60,0°"));
    EXPECT_EQ(panel.zoomText(), QStringLiteral("14,50"));
    EXPECT_EQ(panel.focalText(), QStringLiteral("×1,00"));
    EXPECT_EQ(panel.launchLine(), QStringLiteral("-startAt -0.500000,-1.250000,14.5000,-170.00,60.00,1.0000"));
    EXPECT_EQ(panel.copyButton().accessibleName(), QStringLiteral("Copier la ligne qui rouvre cette vue"));
    panel.copyButton().click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), panel.launchLine());

    canvas.reset();
    model->refreshCameraInfo();
    EXPECT_FALSE(panel.showsReadout()) << "without a map the readout empties";
}

TEST_F(CameraInfoPanelWidget, ThePanelAsDrawn)
{
    canvas->info = southWest();
    canvas->info->eye.altitude = std::nan("");
    QWidget backdrop;
    backdrop.setAutoFillBackground(true);
    QPalette palette = backdrop.palette();
    palette.setColor(QPalette::Window, QColor(120, 150, 110));
    backdrop.setPalette(palette);
    auto* panel = new CameraInfoPanel(*model, &backdrop);
    panel->move(10, 10);
    backdrop.show();
    QCoreApplication::processEvents();
    backdrop.resize(panel->size() + QSize(20, 20));
    EXPECT_EQ(panel->altitudeText(), QStringLiteral("—"));
    EXPECT_EQ(panel->width(), CameraInfoPanel::kWidthPoints + 2 * CameraInfoPanel::kPaddingPoints);
    const auto file = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "velorin-camera-info.png";
    ASSERT_TRUE(backdrop.grab().save(QString::fromStdString(file.string())));
}
