#include "account/ui/LegalView.h"

#include "account/ui/SoftwareCredit.h"
#include "account/ui/tests/SheetPictures.h"
#include "testing/TestApplication.h"

#include <QDesktopServices>
#include <QLabel>
#include <QUrl>

#include <gtest/gtest.h>

using velorin::LegalView;
using velorin::Publisher;

namespace {

class LegalViewTest : public ::testing::Test {
protected:
    void SetUp() override { testing_support::application(); }
};

// Receives the links the sheet opens.
class LinkCatcher : public QObject {
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened.push_back(url); }
};

TEST_F(LegalViewTest, TheVersionReadsVersionAndBuildWithEmptyPartsLeftEmpty)
{
    EXPECT_EQ(LegalView::versionText("1.2", "345"), "1.2 (345)");
    EXPECT_EQ(LegalView::versionText("1.2", ""), "1.2 ()");
    EXPECT_EQ(LegalView::versionText("", ""), " ()");
}

TEST_F(LegalViewTest, ThePublisherShowsOnlyItsLinesAndItsMailGoesToTheMailProgram)
{
    LegalView bare(Publisher {"VASK", "", "", ""});
    ASSERT_EQ(bare.publisherRows().size(), 2u) << "the name and the version";
    EXPECT_EQ(bare.publisherRows()[0], "VASK");
    EXPECT_EQ(bare.mailLink(), nullptr);
    EXPECT_TRUE(bare.personalData().back().endsWith("auprès de l'éditeur."));

    LegalView full(Publisher {"VASK", "1 rue du Col, 74400 Chamonix", "04 50 00 00 00", "contact@vask.example"});
    const auto rows = full.publisherRows();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[1], "1 rue du Col, 74400 Chamonix");
    EXPECT_EQ(rows[2], "04 50 00 00 00");
    EXPECT_EQ(rows[3], "contact@vask.example");
    EXPECT_TRUE(full.personalData().back().endsWith(": contact@vask.example."));
    testing_support::writeSheetPicture(full, "legal-page.png");

    LinkCatcher catcher;
    QDesktopServices::setUrlHandler("mailto", &catcher, "open");
    ASSERT_TRUE(full.mailLink());
    emit full.mailLink()->linkActivated("mailto:contact@vask.example");
    QDesktopServices::unsetUrlHandler("mailto");
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened[0], QUrl("mailto:contact@vask.example"));
}

TEST_F(LegalViewTest, TheMapSourcesAreCreditedInOrderAndNoneIsUntrue)
{
    std::vector<QString> names;
    for (const auto& credit : LegalView::mapCredits()) {
        names.push_back(credit.name);
        EXPECT_FALSE(credit.line.contains("Apple")) << "no basemap here is Apple's";
    }
    const std::vector<QString> expected {"IGN — Géoplateforme", "OpenTopoMap", "swisstopo", "BEV", "OpenStreetMap",
        "Instituto Geográfico Nacional", "basemap.at", "Relief", "OpenStreetMap et Sentinel-2", "Natural Earth"};
    EXPECT_EQ(names, expected);
}

} // namespace

#include "LegalViewTest.moc"
