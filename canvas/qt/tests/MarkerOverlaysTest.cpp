#include "canvas/qt/CanvasOverlayHost.h"
#include "canvas/qt/LibraryPin.h"
#include "canvas/qt/MarkerOverlays.h"
#include "canvas/qt/PauseChip.h"
#include "canvas/qt/PhotoPin.h"
#include "platform/Image.h"
#include "testing/TemporaryFolder.h"
#include "testing/TestApplication.h"

#include <QFontMetrics>
#include <QImage>
#include <QLabel>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

namespace velorin {
namespace {

// A picture of `width` × `height` pixels, red on the left half and blue on the right.
std::vector<std::byte> jpeg(int width, int height)
{
    platform::Image image {width, height, std::vector<std::byte>(std::size_t(width) * std::size_t(height) * 4)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::byte* pixel = image.pixels.data() + (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4;
            pixel[0] = std::byte(x < width / 2 ? 230 : 20);
            pixel[1] = std::byte(40);
            pixel[2] = std::byte(x < width / 2 ? 20 : 230);
            pixel[3] = std::byte(255);
        }
    }
    return *platform::encodeJpeg(image, 0.9);
}

void write(const std::filesystem::path& path, const std::vector<std::byte>& bytes)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

TEST(MarkerViews, AChipIsItsTextWithinTwoHundredByFortyPlusItsPadding)
{
    testing_support::application(true);
    QWidget map;
    for (const QString& text : {QStringLiteral("5 min"), QStringLiteral("1 h 05"), QString(80, QLatin1Char('m'))}) {
        PauseChip chip(text, &map);
        const QSize label = chip.textSize();
        EXPECT_LE(label.width(), 200) << text.toStdString();
        EXPECT_LE(label.height(), 40) << text.toStdString();
        EXPECT_GT(label.width(), 0);
        EXPECT_EQ(chip.size(), label + QSize(18, 6)) << text.toStdString();
    }
}

TEST(MarkerViews, ABadgeIsAtLeastEighteenSquareAndCentredOverThePinsTopRightCorner)
{
    testing_support::application(true);
    QWidget map;
    LibraryPin group(QStringLiteral("Photo de 10:05"), &map);
    EXPECT_FALSE(group.badge().isVisibleTo(&group)) << "one photo shows no badge";
    for (const QString& count : {QStringLiteral("2"), QStringLiteral("12"), QStringLiteral("12345")}) {
        group.setBadge(count, count + QStringLiteral(" photos"));
        const QRect badge = group.badge().geometry();
        const QRect pin = group.pin().geometry();
        EXPECT_TRUE(group.badge().isVisibleTo(&group));
        EXPECT_EQ(badge.height(), 18);
        EXPECT_EQ(badge.width(), std::max(18, group.badge().fontMetrics().horizontalAdvance(count) + 8)) << count.toStdString();
        EXPECT_NEAR(badge.x() + badge.width() / 2.0, pin.x() + pin.width() - 2, 0.5) << count.toStdString();
        EXPECT_NEAR(badge.y() + badge.height() / 2.0, pin.y() + 2, 0.5);
        EXPECT_EQ(group.pin().accessibleName(), count + QStringLiteral(" photos"));
        EXPECT_TRUE(group.mask().contains(badge.center())) << "the badge takes clicks";
        EXPECT_FALSE(group.mask().contains(QPoint(1, group.height() - 1))) << "beside the pin the map does";
    }
    EXPECT_EQ(group.pin().size(), QSize(34, 34));
}

TEST(MarkerViews, APlacementCentresAMarkerOrHidesItAndARemovedMarkerIsGone)
{
    testing_support::application(true);
    testing_support::TemporaryFolder pictures;
    QWidget map;
    map.resize(400, 300);
    auto* labels = new QWidget(&map);
    MarkerOverlays markers(map, *labels, pictures.path());
    const int dot = markers.makeFlyoverDot();
    // A world map lowered under everything after the first markers, then one more marker:
    // every marker stands between the map and the labels.
    auto* worldMap = new QWidget(&map);
    worldMap->lower();
    const int chip = markers.makePauseChip("12 min");
    const auto stackedAt = [&](const QWidget* view) { return map.children().indexOf(view); };
    for (const int marker : {dot, chip}) {
        EXPECT_GT(stackedAt(markers.view(marker)), stackedAt(worldMap));
        EXPECT_LT(stackedAt(markers.view(marker)), stackedAt(labels));
    }
    map.show();
    EXPECT_FALSE(markers.view(dot)->isVisible()) << "made hidden";
    markers.applyMarkerPlacements({{dot, {100, 80}, false}, {chip, {-500, 0}, true}});
    EXPECT_TRUE(markers.view(dot)->isVisible());
    EXPECT_EQ(QRectF(markers.view(dot)->geometry()).center(), QPointF(100, 80));
    EXPECT_FALSE(markers.view(chip)->isVisible());
    markers.applyMarkerPlacements({{dot, {std::nan(""), 80}, false}});
    EXPECT_FALSE(markers.view(dot)->isVisible()) << "a centre that is not a number hides";
    markers.removeMarker(chip);
    EXPECT_EQ(markers.view(chip), nullptr);
    markers.applyMarkerPlacements({{chip, {10, 10}, false}});
}

TEST(MarkerViews, APhotoOfThePicturesFolderReplacesThePinsSymbolAndAnythingElseKeepsIt)
{
    testing_support::application(true);
    testing_support::TemporaryFolder home;
    const std::filesystem::path pictures = home / "Images";
    std::filesystem::create_directories(home / "config");
    std::ofstream(home / "config" / "user-dirs.dirs") << "XDG_PICTURES_DIR=\"" << pictures.string() << "\"\n";
    const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((home / "config").string()));
    const std::filesystem::path found = CanvasOverlayHost::picturesFolder();
    qputenv("XDG_CONFIG_HOME", previous);
    ASSERT_EQ(found, pictures);

    write(pictures / "2024" / "lac.jpg", jpeg(300, 200));
    write(pictures / "broken.jpg", std::vector<std::byte>(600, std::byte(0xFF)));
    write(home / "outside.jpg", jpeg(60, 60));
    QWidget map;
    MarkerOverlays markers(map, *new QWidget(&map), found);
    const auto pinOf = [&](const std::string& id) {
        return dynamic_cast<PhotoPin*>(markers.view(markers.makePhotoPin(id, "Photo de 10:05", 34, [] {})));
    };
    PhotoPin* shown = pinOf("2024/lac.jpg");
    PhotoPin* absolute = pinOf((pictures / "2024" / "lac.jpg").string());
    std::vector<PhotoPin*> kept {pinOf("absent.jpg"), pinOf("broken.jpg"), pinOf("../outside.jpg"),
        pinOf((home / "outside.jpg").string()), pinOf((pictures / ".." / "outside.jpg").string())};
    const int gone = markers.makeLibraryPin("2024/lac.jpg", "Photo", [] {});
    markers.removeMarker(gone);
    markers.waitForThumbnails();

    ASSERT_NE(shown, nullptr);
    const QImage thumbnail = shown->thumbnail();
    ASSERT_FALSE(thumbnail.isNull());
    const int side = int(std::lround(34 * map.devicePixelRatioF()));
    EXPECT_EQ(thumbnail.size(), QSize(side, side)) << "cut square from the middle, to the pin's pixels";
    EXPECT_GT(qRed(thumbnail.pixel(2, side / 2)), 150) << "the left half";
    EXPECT_GT(qBlue(thumbnail.pixel(side - 3, side / 2)), 150) << "the right half";
    EXPECT_EQ(absolute->thumbnail().size(), thumbnail.size()) << "a path within the folder";
    for (PhotoPin* pin : kept)
        EXPECT_TRUE(pin->thumbnail().isNull()) << pin->accessibleName().toStdString();
    EXPECT_EQ(shown->accessibleName(), QStringLiteral("Photo de 10:05"));
}

TEST(MarkerViews, TheMarkersAsDrawn)
{
    testing_support::application(true);
    testing_support::TemporaryFolder pictures;
    write(pictures / "lac.jpg", jpeg(300, 200));
    QWidget map;
    map.resize(320, 110);
    map.setAutoFillBackground(true);
    QPalette palette = map.palette();
    palette.setColor(QPalette::Window, QColor(120, 150, 110));
    map.setPalette(palette);
    MarkerOverlays markers(map, *new QWidget(&map), pictures.path());
    const int chip = markers.makePauseChip("1 h 05");
    const int symbol = markers.makePhotoPin("absent.jpg", "Photo de 10:05", 34, [] {});
    const int photo = markers.makePhotoPin("lac.jpg", "Photo de 10:06", 34, [] {});
    const int group = markers.makeLibraryPin("lac.jpg", "Photo", [] {});
    markers.setBadge(group, "12", "12 photos");
    const int dot = markers.makeFlyoverDot();
    markers.waitForThumbnails();
    markers.applyMarkerPlacements({{chip, {45, 55}, false}, {symbol, {110, 55}, false}, {photo, {160, 55}, false},
        {group, {220, 60}, false}, {dot, {280, 55}, false}});
    map.show();
    const QImage picture = map.grab().toImage();
    const auto file = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "velorin-markers.png";
    ASSERT_TRUE(picture.save(QString::fromStdString(file.string())));
    const QColor orange = picture.pixelColor(QPointF(QPointF(280, 55) * picture.devicePixelRatioF()).toPoint());
    EXPECT_GT(orange.red(), 230);
    EXPECT_NEAR(orange.green(), 149, 20);
    EXPECT_LT(orange.blue(), 40);
}

} // namespace
} // namespace velorin
