#include "app/ui/MapToolbar.h"

#include "app/ui/SymbolButton.h"
#include "app/ui/tests/WidgetTest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>

#include <numbers>
#include <string>
#include <vector>

using velorin::Basemap;
using velorin::MapToolbar;
using velorin::SymbolButton;
using Tint = velorin::SymbolButton::Tint;

class MapToolbarWidget : public testing_support::WidgetTest {
protected:
    QWidget screen;

    SymbolButton& button(const MapToolbar& toolbar, const char* name) const
    {
        return *toolbar.findChild<SymbolButton*>(name);
    }

    static std::vector<std::string> shownButtons(const MapToolbar& toolbar)
    {
        std::vector<std::string> names;
        for (const auto* button : toolbar.findChildren<SymbolButton*>())
            if (!button->isHidden())
                names.push_back(button->objectName().toStdString());
        return names;
    }
};

TEST_F(MapToolbarWidget, ShowsItsSevenCommandsOnEveryBasemap)
{
    MapToolbar toolbar(*model, &screen);
    const std::vector<std::string> all { "settings", "relief", "follow", "compass", "recording", "tracks", "account" };
    for (Basemap basemap : Basemap::allCases) {
        model->selectBasemap(basemap);
        const std::string at(basemap.rawValue());
        EXPECT_EQ(shownButtons(toolbar), all) << at;
        for (const char* name : { "settings", "relief", "follow", "compass", "recording", "tracks", "account" })
            EXPECT_TRUE(button(toolbar, name).isEnabled()) << name << " on " << at;
        for (const char* name : { "settings", "relief", "follow", "compass", "recording", "tracks", "account" })
            EXPECT_EQ(button(toolbar, name).tint(), Tint::primary) << name << " on " << at;
    }
    struct Label {
        const char* name;
        const char* symbol;
        const char* accessibleName;
    };
    for (auto c : {
             Label { "settings", "gearshape", "Réglages" },
             Label { "relief", "view.3d", "Vue en relief" },
             Label { "follow", "location", "Suivre ma position" },
             Label { "compass", "location.north.line.fill", "Suivre la boussole" },
             Label { "recording", "figure.walk", "Enregistrer un trajet" },
             Label { "tracks", "point.topleft.down.to.point.bottomright.curvepath", "Trajets enregistrés" },
             Label { "account", "person.crop.circle", "Mon compte" },
         }) {
        EXPECT_EQ(button(toolbar, c.name).symbol(), c.symbol);
        EXPECT_EQ(button(toolbar, c.name).accessibleName().toStdString(), c.accessibleName);
    }
}

TEST_F(MapToolbarWidget, WithoutAHeadingTheRowHasSixButtonsAndNoGap)
{
    MapToolbar withCompass(*model, &screen);
    const int fullWidth = withCompass.sizeHint().width();
    position->headingAvailable = false;
    MapToolbar toolbar(*model, &screen);
    EXPECT_EQ(shownButtons(toolbar),
        (std::vector<std::string> { "settings", "relief", "follow", "recording", "tracks", "account" }));
    EXPECT_EQ(toolbar.sizeHint().width(),
        fullWidth - button(toolbar, "compass").width() - MapToolbar::kSpacingPoints);
}

TEST_F(MapToolbarWidget, TheReliefButtonSwitchesTheViewAndSaysWhatAPressWillDo)
{
    MapToolbar toolbar(*model, &screen);
    QTest::mouseClick(&button(toolbar, "relief"), Qt::LeftButton);
    EXPECT_TRUE(model->is3D());
    EXPECT_EQ(button(toolbar, "relief").tint(), Tint::accent);
    EXPECT_EQ(button(toolbar, "relief").symbol(), "view.3d");
    EXPECT_EQ(button(toolbar, "relief").accessibleName(), "Vue de dessus");
}

TEST_F(MapToolbarWidget, TheFollowButtonFollowsThePosition)
{
    MapToolbar toolbar(*model, &screen);
    QTest::mouseClick(&button(toolbar, "follow"), Qt::LeftButton);
    EXPECT_TRUE(model->isFollowingUser());
    EXPECT_EQ(button(toolbar, "follow").symbol(), "location.fill");
    EXPECT_EQ(button(toolbar, "follow").tint(), Tint::accent);
}

TEST_F(MapToolbarWidget, TheCompassSymbolTurnsAgainstTheBearingAndFollowsTheHeading)
{
    MapToolbar toolbar(*model, &screen);
    EXPECT_EQ(button(toolbar, "compass").rotation(), 0);
    model->cameraDidChange({ 0.5, 0.5 }, 10, std::numbers::pi / 2);
    EXPECT_DOUBLE_EQ(button(toolbar, "compass").rotation(), -std::numbers::pi / 2);

    model->cameraDidChange({ 0.5, 0.5 }, 10, 0);
    QTest::mouseClick(&button(toolbar, "compass"), Qt::LeftButton);
    EXPECT_TRUE(model->isCompassFollowing());
    EXPECT_EQ(button(toolbar, "compass").tint(), Tint::accent);
}

TEST_F(MapToolbarWidget, EveryPressRevealsTheControls)
{
    MapToolbar toolbar(*model, &screen);
    for (const char* name : { "relief", "follow", "compass", "recording" }) {
        model->revealControls();
        advance(velorin::AppModel::kControlsHideDelaySeconds + AppModelFixture::kStepSeconds);
        ASSERT_FALSE(model->areControlsVisible());
        QTest::mouseClick(&button(toolbar, name), Qt::LeftButton);
        EXPECT_TRUE(model->areControlsVisible()) << name;
    }
}

TEST_F(MapToolbarWidget, TheAccountButtonAsksForTheSheetAndIsFilledWhileSomeoneIsSignedIn)
{
    keychain->items["Velorin.session"] = "t0k3n";
    storePreferences(R"({"Velorin.account": {"email": "marie@example.fr", "name": "Marie"}})");
    makeModel();
    MapToolbar toolbar(*model, &screen);
    EXPECT_EQ(button(toolbar, "account").symbol(), "person.crop.circle") << "until the keychain answers";
    mainQueue->drain();
    EXPECT_EQ(button(toolbar, "account").symbol(), "person.crop.circle.fill");

    int asked = 0;
    QObject::connect(&toolbar, &MapToolbar::accountRequested, [&] { ++asked; });
    QTest::mouseClick(&button(toolbar, "account"), Qt::LeftButton);
    EXPECT_EQ(asked, 1);

    model->accounts().signOut();
    EXPECT_EQ(button(toolbar, "account").symbol(), "person.crop.circle");
    EXPECT_EQ(button(toolbar, "account").accessibleName(), "Mon compte");
}

TEST_F(MapToolbarWidget, ARecordingStartsOnceConfirmedAndStopsAtTheFirstPress)
{
    position->changeAuthorization(platform::LocationAuthorization::authorizedWhenInUse);
    MapToolbar toolbar(*model, &screen);
    SymbolButton& record = button(toolbar, "recording");
    QTest::mouseClick(&record, Qt::LeftButton);
    QMessageBox* asked = toolbar.startConfirmation();
    ASSERT_TRUE(asked) << "a press while idle only asks";
    EXPECT_FALSE(model->tracks().isRecording());
    EXPECT_EQ(asked->text().toStdString(), "Démarrer un trajet");
    EXPECT_EQ(asked->informativeText().toStdString(), MapToolbar::kStartMessage);
    ASSERT_EQ(asked->buttons().size(), 2);
    EXPECT_EQ(asked->buttons()[0]->text().toStdString(), "Démarrer");
    EXPECT_EQ(asked->buttons()[1]->text().toStdString(), "Annuler");
    QTest::mouseClick(&record, Qt::LeftButton);
    EXPECT_EQ(toolbar.findChildren<QMessageBox*>().size(), 1) << "one question at a time";

    QTest::mouseClick(asked->buttons()[1], Qt::LeftButton);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(toolbar.startConfirmation());
    EXPECT_FALSE(model->tracks().isRecording()) << "Annuler starts nothing";

    QTest::mouseClick(&record, Qt::LeftButton);
    ASSERT_TRUE(toolbar.startConfirmation());
    QTest::mouseClick(toolbar.startConfirmation()->buttons()[0], Qt::LeftButton);
    ASSERT_TRUE(model->tracks().isRecording()) << "Démarrer records";
    EXPECT_EQ(record.symbol(), "stop.fill");
    EXPECT_EQ(record.tint(), Tint::red);
    EXPECT_EQ(record.accessibleName().toStdString(), "Arrêter l'enregistrement");

    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QTest::mouseClick(&record, Qt::LeftButton);
    EXPECT_FALSE(model->tracks().isRecording()) << "a press while recording stops at once";
    EXPECT_FALSE(toolbar.startConfirmation());
    EXPECT_EQ(record.symbol(), "figure.walk");
    EXPECT_EQ(record.tint(), Tint::primary);
    EXPECT_TRUE(model->tracks().savedTracks().empty()) << "a recording that got no fix leaves no track";
}
