#include "map-data/ui/tests/ScreenFixture.h"

#include "app/ui/DownloadBanner.h"
#include "app/ui/ElidedLabel.h"
#include "app/ui/OverlayLayer.h"

#include <QImage>
#include <QPainter>
#include <QProgressBar>

#include <cmath>
#include <filesystem>
#include <iostream>

namespace {

constexpr const char* kPictureName = "download-banner.png";

// WCAG relative luminance of an opaque colour.
double luminance(const QColor& colour)
{
    const auto channel = [](double value) {
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) + 0.0722 * channel(colour.blueF());
}

double contrast(const QColor& a, const QColor& b)
{
    const double first = luminance(a);
    const double second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

class DownloadBanner : public testing_support::ScreenFixture {
protected:
    static QString title(QWidget& banner)
    {
        auto* label = dynamic_cast<velorin::ElidedLabel*>(child<QLabel>(banner, "title"));
        return label ? label->fullText() : QString();
    }
};

} // namespace

TEST_F(DownloadBanner, ShowsTheJobUntilItEndsAndStopsItOnRequest)
{
    addSheets({ "A" });
    makeDownloader();
    QWidget screen;
    auto banner = new velorin::DownloadBanner(downloader, &screen);
    EXPECT_TRUE(banner->isHidden()) << "no job, no banner";

    downloader->downloadBasemap();
    EXPECT_FALSE(banner->isHidden());
    EXPECT_EQ(title(*banner), "Fond de carte France");
    EXPECT_EQ(child<QPushButton>(*banner, "stop")->text(), "Arrêter");

    child<QPushButton>(*banner, "stop")->click();
    EXPECT_TRUE(downloader->cancelRequested());
    EXPECT_EQ(title(*banner), "Annulation…");
    EXPECT_FALSE(banner->isHidden());

    runQueues();
    EXPECT_FALSE(downloader->job());
    EXPECT_TRUE(banner->isHidden());
}

TEST_F(DownloadBanner, ShowsAZoneJobByItsTitle)
{
    addSheets({ "A", "B" });
    makeDownloader();
    QWidget screen;
    auto banner = new velorin::DownloadBanner(downloader, &screen);
    downloader->downloadZone("Belledonne", sheets);
    EXPECT_EQ(title(*banner), "Belledonne");
    EXPECT_EQ(child<QProgressBar>(*banner, "progress")->value(), 0);
}

TEST_F(DownloadBanner, ReadsOverLightAndDarkMapsAndKeepsALongTitleOnOneLine)
{
    // The program draws its widgets in a dark palette, whose text is light.
    const QPalette previous = QApplication::palette();
    QPalette dark = previous;
    for (auto role : { QPalette::WindowText, QPalette::Text, QPalette::ButtonText })
        dark.setColor(role, QColor(235, 235, 240));
    QApplication::setPalette(dark);

    addSheets({ "A" });
    makeDownloader();
    constexpr int kScreenWidth = 420;
    constexpr int kLayerHeight = 70;
    QWidget screen;
    screen.resize(kScreenWidth, kLayerHeight);
    auto* layer = new velorin::OverlayLayer(Qt::AlignTop, QMargins(0, 10, 0, 0), 6, &screen);
    layer->resize(screen.size());
    auto* banner = new velorin::DownloadBanner(downloader, layer);
    layer->add(banner, Qt::AlignHCenter);
    const QString longTitle = QStringLiteral("Belledonne, Chartreuse, Vercors, Écrins et tout l'Oisans pour l'été");
    downloader->downloadZone(longTitle.toStdString(), sheets);
    layer->layout()->activate();
    banner->layout()->activate();

    auto* label = child<QLabel>(*banner, "title");
    EXPECT_LE(banner->width(), kScreenWidth);
    EXPECT_TRUE(label->text().endsWith(QStringLiteral("…"))) << label->text().toStdString();
    EXPECT_TRUE(longTitle.startsWith(label->text().chopped(1))) << "the title's beginning, then the ellipsis";
    EXPECT_EQ(label->height(), label->fontMetrics().height()) << "one line";
    EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text())) << "nothing cut mid-glyph";

    // Over a pale plan and a dark aerial photo, stacked in one picture.
    const QColor text = label->palette().color(QPalette::WindowText);
    const QColor backdrops[] = { QColor(242, 238, 228), QColor(36, 52, 38) };
    QImage picture(kScreenWidth, kLayerHeight * 2, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&picture);
    for (int i = 0; i < 2; ++i) {
        const QPoint origin(0, i * kLayerHeight);
        painter.fillRect(QRect(origin, screen.size()), backdrops[i]);
        layer->render(&painter, origin, QRegion(), QWidget::DrawChildren);
        // Inside the capsule, in its leading padding, level with the title.
        const QPoint inside = origin + banner->pos()
            + QPoint(velorin::DownloadBanner::kHorizontalPaddingPoints / 2, label->geometry().center().y());
        const QColor fill = picture.pixelColor(inside);
        EXPECT_GE(contrast(text, fill), 4.5) << "backdrop " << i << ": text " << text.name().toStdString()
                                              << " on " << fill.name().toStdString();
    }
    painter.end();
    QApplication::setPalette(previous);

    const auto path = std::filesystem::read_symlink("/proc/self/exe").parent_path() / kPictureName;
    ASSERT_TRUE(picture.save(QString::fromStdString(path.string()), "PNG"));
    std::cout << "download banner picture: " << path.string() << '\n';
}
