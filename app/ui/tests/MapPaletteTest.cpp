#include "app/ui/MapPalette.h"
#include "widgets/Symbols.h"

#include "app/ui/CompassDial.h"
#include "app/ui/SymbolButton.h"
#include "app/ui/tests/WidgetTest.h"

#include <QTest>

#include <string>
#include <vector>

using velorin::Basemap;
using velorin::MapPalette;
using velorin::SymbolButton;
using Tint = velorin::SymbolButton::Tint;

class MapPaletteWidget : public testing_support::WidgetTest {
protected:
    QWidget screen;
    MapPalette* palette = nullptr;

    void SetUp() override
    {
        WidgetTest::SetUp();
        palette = new MapPalette(*model, &screen);
    }

    SymbolButton& button(const char* name) const { return *palette->findChild<SymbolButton*>(name); }

    void press(const char* name) { QTest::mouseClick(&button(name), Qt::LeftButton); }

    void hideControls()
    {
        model->revealControls();
        advance(velorin::AppModel::kControlsHideDelaySeconds + AppModelFixture::kStepSeconds);
        ASSERT_FALSE(model->areControlsVisible());
    }
};

TEST_F(MapPaletteWidget, TheBasemapItemsAndTheAerialButtonFollowEveryBasemap)
{
    struct Case {
        Basemap basemap;
        bool ign, apple, aerial;
    };
    const std::vector<Case> cases {
        { Basemap::top25, true, false, false },
        { Basemap::planIGN, true, false, false },
        { Basemap::orthophoto, true, false, true },
        { Basemap::openTopo, true, false, false },
        { Basemap::slopes, true, false, false },
        { Basemap::applePlan, false, true, false },
        { Basemap::appleSatellite, false, true, true },
        { Basemap::swissImage, true, false, true },
        { Basemap::spainImage, true, false, true },
        { Basemap::austriaImage, true, false, true },
    };
    ASSERT_EQ(cases.size(), Basemap::kCaseCount);
    const auto tint = [](bool on) { return on ? Tint::accent : Tint::primary; };
    for (const auto& c : cases) {
        model->selectBasemap(c.basemap);
        const std::string at(c.basemap.rawValue());
        EXPECT_EQ(button("ign").tint(), tint(c.ign)) << at;
        EXPECT_EQ(button("apple").tint(), tint(c.apple)) << at;
        EXPECT_EQ(button("aerial").tint(), tint(c.aerial)) << at;
        EXPECT_EQ(button("aerial").symbol(), "satellite") << at;
        EXPECT_NE(velorin::Symbols::glyph(button("aerial").symbol()), velorin::Symbols::glyph(button("apple").symbol()))
            << "the photo and the world maps drawn alike";
        EXPECT_EQ(button("aerial").accessibleName(), "Vue satellite") << at;
        EXPECT_EQ(button("ign").accessibleName(), "Cartes IGN") << at;
        EXPECT_EQ(button("apple").accessibleName(), "Cartes du monde") << at;
        EXPECT_EQ(button("apple").symbol(), "globe.europe.africa") << at;
        for (const char* name : { "saveView", "zoomIn", "zoomOut", "flyover" })
            EXPECT_EQ(button(name).tint(), Tint::primary) << name << " on " << at;
    }
}

TEST_F(MapPaletteWidget, TheIgnItemLeavesTheAppleMaps)
{
    model->setAppleMap(true);
    EXPECT_EQ(model->basemap(), Basemap::applePlan);
    EXPECT_EQ(button("apple").tint(), Tint::accent);
    press("aerial");
    EXPECT_EQ(model->basemap(), Basemap::appleSatellite);
    press("ign");
    EXPECT_FALSE(model->basemap().isApple());
    EXPECT_EQ(button("ign").tint(), Tint::accent);
}

TEST_F(MapPaletteWidget, TheToggleButtonsShowAndSwitchTheirOption)
{
    struct Case {
        const char* name;
        bool (velorin::AppModel::*state)() const;
        const char* onSymbol;
        const char* offSymbol;
        const char* onLabel;
        const char* offLabel;
    };
    for (const auto& c : {
             Case { "trees", &velorin::AppModel::showsTrees, "tree.fill", "tree",
                 "Masquer les arbres et bâtiments 3D", "Afficher les arbres et bâtiments 3D" },
             Case { "toponyms", &velorin::AppModel::showsToponyms, "tag.fill", "tag",
                 "Masquer les noms des sommets et cols", "Afficher les noms des sommets et cols" },
         }) {
        for (int pressCount = 0; pressCount < 2; ++pressCount) {
            const bool on = (model.get()->*c.state)();
            EXPECT_EQ(button(c.name).symbol(), on ? c.onSymbol : c.offSymbol) << c.name;
            EXPECT_EQ(button(c.name).tint(), on ? Tint::accent : Tint::primary) << c.name;
            EXPECT_EQ(button(c.name).accessibleName().toStdString(), on ? c.onLabel : c.offLabel) << c.name;
            press(c.name);
            EXPECT_NE((model.get()->*c.state)(), on) << c.name;
        }
    }
}

TEST_F(MapPaletteWidget, ThePhotoPinsShowTheirStoredStateAndSwitchThePins)
{
    EXPECT_EQ(button("photoPins").symbol(), "photo.on.rectangle.angled");
    EXPECT_EQ(button("photoPins").accessibleName(), "Afficher les photos");
    press("photoPins");
    EXPECT_TRUE(model->showsPhotoPins());
    EXPECT_EQ(button("photoPins").accessibleName(), "Masquer les photos");
    press("photoPins");
    EXPECT_FALSE(model->showsPhotoPins());

    delete palette;
    storePreferences(R"({"Velorin.photoPins": true})");
    makeModel();
    MapPalette shown(*model, &screen);
    auto& pins = *shown.findChild<SymbolButton*>("photoPins");
    EXPECT_EQ(pins.symbol(), "photo.on.rectangle.angled.fill");
    EXPECT_EQ(pins.tint(), Tint::accent);
    EXPECT_EQ(pins.accessibleName(), "Masquer les photos");
}

TEST_F(MapPaletteWidget, EveryActionIsEnabledAndTheSaveButtonIsTheCamera)
{
    for (const char* name : { "photoPins", "ign", "apple", "aerial", "trees", "toponyms", "saveView", "zoomIn", "zoomOut", "flyover" })
        EXPECT_TRUE(button(name).isEnabled()) << name;
    EXPECT_EQ(button("saveView").symbol(), "camera");
    EXPECT_EQ(button("saveView").accessibleName(), "Enregistrer la vue");
}

TEST_F(MapPaletteWidget, TheFlyoverButtonSaysWhatAPressStartsAndStopsAFlightOrAFlyover)
{
    const auto expectLook = [this](const char* symbol, Tint tint, const char* label) {
        EXPECT_EQ(button("flyover").symbol(), symbol);
        EXPECT_EQ(button("flyover").tint(), tint);
        EXPECT_EQ(button("flyover").accessibleName().toStdString(), label);
    };
    expectLook("play.fill", Tint::primary, "Tourner autour du point visé");

    auto& store = model->tracks().store();
    velorin::Track track;
    track.metadata = store.create("Lac Blanc", now);
    for (int i = 0; i < 2; ++i)
        track.points.push_back({ 46.02 + i * 0.001, 6.97, 2191, now + std::chrono::minutes(i), 10, {} });
    store.writePoints({ track.points.front() }, track.metadata.id);
    model->openTrack(track);
    expectLook("play.fill", Tint::primary, "Tourner autour du point visé");

    store.writePoints(track.points, track.metadata.id);
    model->openTrack(track);
    expectLook("play.fill", Tint::primary, "Survol 3D du trajet");
    press("flyover");
    EXPECT_TRUE(model->isFlyingOver());
    expectLook("stop.fill", Tint::accent, "Arrêter");
    press("flyover");
    EXPECT_EQ(canvas->calls.back(), "stopAnimations");
    model->flyoverDidEnd();

    // A tour runs without a flyover: the button stops it.
    model->flightDidChange(velorin::AppModel::FlightInfo { "Tour de Point visé", 0 });
    expectLook("stop.fill", Tint::accent, "Arrêter");
    hideControls();
    press("flyover");
    EXPECT_TRUE(model->areControlsVisible());
    EXPECT_EQ(canvas->calls.back(), "endFlight");
}

TEST_F(MapPaletteWidget, TheSaveButtonKeepsTheViewShown)
{
    press("saveView");
    EXPECT_EQ(canvas->snapshots, 1);
    ASSERT_EQ(model->captures().views().size(), 1u);
    EXPECT_EQ(model->captureNotice(), "Vue enregistrée");
}

TEST_F(MapPaletteWidget, TheZoomButtonsStepTheCanvasOneLevel)
{
    press("zoomIn");
    press("zoomOut");
    press("zoomIn");
    EXPECT_EQ(canvas->zoomSteps, (std::vector<double> { 1, -1, 1 }));
    EXPECT_EQ(button("zoomIn").accessibleName(), "Zoomer");
    EXPECT_EQ(button("zoomOut").accessibleName(), "Dézoomer");
}

TEST_F(MapPaletteWidget, EveryPressRevealsTheControlsEvenWithoutACanvas)
{
    canvas.reset();
    for (const char* name : { "photoPins", "ign", "apple", "aerial", "trees", "toponyms", "saveView", "zoomIn", "zoomOut" }) {
        hideControls();
        press(name);
        EXPECT_TRUE(model->areControlsVisible()) << name;
    }
}

TEST_F(MapPaletteWidget, TheIgnItemAndTheCompassNorthAreWrittenHeavyNotBlack)
{
    for (const QFont& font : { button("ign").labelFont(), velorin::CompassDial::northFont() })
        EXPECT_EQ(font.weight(), QFont::ExtraBold) << font.toString().toStdString();
}
