#include "app/ui/PlaceSearchField.h"

#include "app/ui/MapScreen.h"
#include "app/ui/CompassPad.h"
#include "app/ui/OverlayLayer.h"
#include "app/ui/PlaceSuggestionRow.h"
#include "app/ui/tests/WidgetTest.h"
#include "features/PlaceSuggestionText.h"
#include "testing/PlaceDatabaseFile.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>
#include <iostream>

using testing_support::PlaceRow;
using velorin::Place;
using velorin::PlaceOperation;
using velorin::PlaceSearchField;
using velorin::PlaceSuggestionRow;
using velorin::PlaceSuggestionText;

namespace {

PlaceRow row(int64_t id, std::string name, const char* kind, double latitude, double longitude, int64_t importance,
    std::optional<double> altitude = std::nullopt)
{
    PlaceRow place;
    place.id = id;
    place.name = std::move(name);
    place.kind = kind;
    place.latitude = latitude;
    place.longitude = longitude;
    place.importance = importance;
    place.altitude = altitude;
    return place;
}

// The massif around Chamonix, as the French database holds it.
const std::vector<PlaceRow> kChamonix = {
    row(1, "Mont Blanc", "summit", 45.8326, 6.8652, 1, 4808.7),
    row(2, "Aiguille du Midi (Chamonix-Mont-Blanc)", "summit", 45.8786, 6.8874, 2, 3842),
    row(3, "Aiguille Verte", "summit", 45.9348, 6.9700, 2, 4122),
    row(4, "Arête des Cosmiques", "ridge", 45.8700, 6.8860, 3, 3600),
    row(5, "Col du Midi", "col", 45.8710, 6.8850, 3, 3532),
    row(6, "Refuge des Cosmiques", "refuge", 45.8722, 6.8868, 3, 3613),
    row(7, "Aiguilles Rouges de Chamonix", "ridge", 45.9600, 6.8400, 3),
    row(8, "Chamonix-Mont-Blanc", "place", 45.9237, 6.8694, 2),
    row(9, "Les Mottets", "place", 45.9300, 6.9200, 6),
    row(10, "Le Montenvers", "viewpoint", 45.9290, 6.9180, 4, 1913),
    row(11, "Aiguille du Plan", "summit", 45.8917, 6.9000, 3, 3673),
    row(12, "Aiguille des Grands Charmoz", "summit", 45.9017, 6.9190, 4, 3445),
};

// Where a person can look at the field: beside the test program, in the build tree.
constexpr const char* kPictureName = "place-search.png";

} // namespace

class PlaceSearchFieldWidget : public testing_support::WidgetTest {
protected:
    QWidget screen;
    PlaceSearchField* field = nullptr;

    void SetUp() override
    {
        WidgetTest::SetUp();
        screen.resize(400, 600);
        field = new PlaceSearchField(*model, velorin::SheetCatalog(), &screen);
    }

    // The field reads the model until it goes, a focused one as it loses its focus: it goes
    // before the model.
    void TearDown() override
    {
        delete field;
        WidgetTest::TearDown();
    }

    void addDatabase(const std::string& code, const std::vector<PlaceRow>& rows)
    {
        std::filesystem::create_directories(folders.places());
        testing_support::writePlaceDatabase(folders.places() / ("places-" + code + ".sqlite"), rows);
    }

    std::vector<std::string> names() const
    {
        std::vector<std::string> result;
        for (const Place& place : field->places())
            result.push_back(place.name);
        return result;
    }

    std::vector<PlaceSuggestionRow*> rows() const
    {
        const auto found = field->suggestions().findChildren<PlaceSuggestionRow*>();
        return {found.begin(), found.end()};
    }

    bool shows(const QWidget& widget) const { return widget.isVisibleTo(field); }

    std::string message() const { return field->message().text().toStdString(); }

    // Sends `key` to the text box; whether the field took it.
    bool press(Qt::Key key)
    {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        return QApplication::sendEvent(&field->textBox(), &event) && event.isAccepted();
    }

    void hover(QWidget& widget, bool entering)
    {
        QEvent event(entering ? QEvent::Enter : QEvent::Leave);
        QApplication::sendEvent(&widget, &event);
    }

    void focusTextBox()
    {
        screen.show();
        QApplication::setActiveWindow(&screen);
        field->textBox().setFocus();
        QApplication::processEvents();
        ASSERT_TRUE(field->textBox().hasFocus());
    }
};

TEST_F(PlaceSearchFieldWidget, ThePanelSaysWhyItHasNoSuggestion)
{
    struct Case {
        const char* query;
        bool database;
        std::optional<std::string> message;
    };
    const std::string noDatabase = PlaceSuggestionText::noDatabase(model->places().directory());
    // Where a person reads that no database is installed, and where to put one.
    screen.show();
    field->setQuery("zz");
    QApplication::processEvents();
    const auto path = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "place-search-no-database.png";
    ASSERT_TRUE(screen.grab().toImage().save(QString::fromStdString(path.string()), "PNG"));
    std::cout << "picture: " << path.string() << '\n';
    for (const auto& c : std::vector<Case>{
             {"", false, std::nullopt},
             {"a", false, std::string(PlaceSuggestionText::kTooShort)},
             {" ", false, std::string(PlaceSuggestionText::kTooShort)},
             {"zz", false, noDatabase},
             {"   ", false, noDatabase},
             {"a", true, std::string(PlaceSuggestionText::kTooShort)},
             {"zz", true, std::string(PlaceSuggestionText::kNothingFound)},
             {" - ", true, std::string(PlaceSuggestionText::kNothingFound)},
         }) {
        SCOPED_TRACE(std::string("\"") + c.query + "\"");
        if (c.database && !model->places().hasOpenDatabase())
            addDatabase("fr", kChamonix);
        field->setQuery("");
        field->setQuery(c.query);
        EXPECT_TRUE(field->places().empty());
        EXPECT_EQ(shows(field->message()), c.message.has_value());
        EXPECT_FALSE(shows(field->suggestions()));
        if (c.message) {
            EXPECT_EQ(message(), *c.message);
        }
    }
}

TEST_F(PlaceSearchFieldWidget, SuggestionsListThePlacesWithTheirTitleAndDetail)
{
    addDatabase("fr", kChamonix);
    field->setQuery("aig");
    ASSERT_TRUE(field->isOpen());
    EXPECT_TRUE(shows(field->suggestions()));
    EXPECT_FALSE(shows(field->message()));
    EXPECT_TRUE(shows(field->clearButton()));
    EXPECT_FALSE(shows(field->chosenActions()));
    const auto listed = rows();
    ASSERT_EQ(listed.size(), 5u);
    std::vector<std::pair<std::string, std::string>> shown;
    for (auto* row : listed)
        shown.emplace_back(row->showButton().accessibleName().toStdString(),
            row->showButton().accessibleDescription().toStdString());
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Aiguille du Midi", "Sommet · 3842 m · France"},
        {"Aiguille Verte", "Sommet · 4122 m · France"},
        {"Aiguille du Plan", "Sommet · 3673 m · France"},
        {"Aiguilles Rouges de Chamonix", "Crête · France"},
        {"Aiguille des Grands Charmoz", "Sommet · 3445 m · France"},
    };
    EXPECT_EQ(shown, expected);
    EXPECT_LE(field->suggestions().height(), PlaceSearchField::kListMaxHeightPoints);
    // As wide as its longest name needs, within the window.
    const int room = screen.width() - PlaceSearchField::kSuggestionsWindowMarginPoints;
    EXPECT_GT(field->suggestions().width(), PlaceSearchField::kSuggestionsWidthPoints);
    EXPECT_LE(field->suggestions().width(), room);
    screen.resize(330, 600);
    field->setQuery("aigu");
    EXPECT_EQ(field->suggestions().width(), 330 - PlaceSearchField::kSuggestionsWindowMarginPoints)
        << "a narrow window holds the list";

    field->setQuery("");
    EXPECT_FALSE(shows(field->suggestions()));
    EXPECT_FALSE(shows(field->clearButton()));
}

TEST_F(PlaceSearchFieldWidget, ReturnShowsTheFirstSuggestionAndTheExactNameKeepsThePanelClosed)
{
    addDatabase("fr", kChamonix);
    model->setIsFollowingUser(true);
    EXPECT_FALSE(press(Qt::Key_Return) && !canvas->places.empty()) << "nothing to choose yet";
    EXPECT_TRUE(canvas->places.empty());

    field->setQuery("mont");
    ASSERT_FALSE(field->places().empty());
    const Place first = field->places().front();
    EXPECT_EQ(first.name, "Mont Blanc");
    press(Qt::Key_Return);
    ASSERT_EQ(canvas->places.size(), 1u);
    EXPECT_EQ(canvas->places[0].first, "show");
    EXPECT_EQ(canvas->places[0].second, first.toponym());
    EXPECT_EQ(field->query(), "Mont Blanc");
    EXPECT_FALSE(field->isOpen());
    EXPECT_FALSE(shows(field->suggestions()));
    EXPECT_FALSE(model->isFollowingUser());

    field->setQuery("Mont Blan");
    EXPECT_TRUE(field->isOpen()) << "any other text opens the panel";
    field->setQuery("Mont Blanc");
    EXPECT_FALSE(field->isOpen()) << "the name of the last choice keeps it closed";
    EXPECT_FALSE(field->places().empty()) << "and is searched";
}

TEST_F(PlaceSearchFieldWidget, EscapeClearsTheBoxAndGivesTheKeyboardBack)
{
    addDatabase("fr", kChamonix);
    focusTextBox();
    QSignalSpy released(field, &PlaceSearchField::focusReleased);
    QTest::keyClicks(&field->textBox(), "cosm");
    ASSERT_TRUE(field->isOpen());
    EXPECT_EQ(names().size(), 2u);

    EXPECT_TRUE(press(Qt::Key_Escape)) << "the key press is handled";
    EXPECT_EQ(field->query(), "");
    EXPECT_FALSE(field->isOpen());
    EXPECT_FALSE(field->textBox().hasFocus());
    EXPECT_EQ(released.count(), 1);
}

TEST_F(PlaceSearchFieldWidget, LosingTheKeyboardClosesThePanelUnlessThePointerIsOverTheList)
{
    addDatabase("fr", kChamonix);
    focusTextBox();
    QTest::keyClicks(&field->textBox(), "aig");
    hover(field->suggestions(), true);
    EXPECT_FALSE(field->textBox().hasFocus()) << "the list takes the pointer, the map the keyboard";
    EXPECT_TRUE(field->isOpen());
    hover(field->suggestions(), false);
    EXPECT_TRUE(field->isOpen());

    field->textBox().setFocus();
    QApplication::processEvents();
    field->textBox().clearFocus();
    EXPECT_FALSE(field->isOpen());
}

TEST_F(PlaceSearchFieldWidget, EachSuggestionCanBeShownReachedFlownToOrToured)
{
    addDatabase("fr", kChamonix);
    struct Case {
        PlaceOperation operation;
        const char* received;
    };
    for (auto c : {Case{PlaceOperation::show, "show"}, Case{PlaceOperation::goDirectly, "goDirectly"},
             Case{PlaceOperation::flight, "flight"}, Case{PlaceOperation::tour, "tour"}}) {
        field->setQuery("refuge");
        ASSERT_EQ(rows().size(), 1u);
        auto* row = rows().front();
        const Place place = row->place();
        if (c.operation == PlaceOperation::show) {
            row->showButton().click();
        } else {
            const char* names[] = {"", "Aller directement à ce lieu", "Y aller", "En faire le tour"};
            for (auto* button : row->actions().findChildren<QAbstractButton*>())
                if (button->accessibleName() == QString::fromUtf8(names[int(c.operation)]))
                    button->click();
        }
        ASSERT_FALSE(canvas->places.empty()) << c.received;
        EXPECT_EQ(canvas->places.back().first, c.received);
        EXPECT_EQ(canvas->places.back().second.name, "Refuge des Cosmiques");
        EXPECT_EQ(canvas->places.back().second.altitude, 3613.0);
        EXPECT_EQ(field->query(), "Refuge des Cosmiques");
    }

    // Hovering the box offers the same buttons for the place chosen last.
    EXPECT_TRUE(shows(field->clearButton()));
    hover(field->searchBox(), true);
    EXPECT_TRUE(shows(field->chosenActions()));
    EXPECT_FALSE(shows(field->clearButton()));
    for (auto* button : field->chosenActions().findChildren<QAbstractButton*>())
        if (button->accessibleName() == "Aller directement à ce lieu")
            button->click();
    EXPECT_EQ(canvas->places.back().first, "goDirectly");
    hover(field->searchBox(), false);
    EXPECT_FALSE(shows(field->chosenActions()));

    // A map that cannot fly offers no flight.
    canvas->flies = false;
    field->setQuery("refuge des");
    for (auto* button : rows().front()->actions().findChildren<QAbstractButton*>())
        EXPECT_EQ(button->isEnabled(), button->accessibleName() == "Aller directement à ce lieu")
            << button->accessibleName().toStdString();
}

TEST_F(PlaceSearchFieldWidget, WithoutAMapTheSearchLooksFromTheCatalogueCentreAndChoosingStillWorks)
{
    addDatabase("fr", {row(1, "Piz Nord", "summit", 46.0, 7.0, 3), row(2, "Piz Sud", "summit", 1.0, 1.0, 3)});
    canvas->center = velorin::WorldPoint::fromLatitudeLongitude(46.1, 7.1);
    field->setQuery("piz");
    EXPECT_EQ(names(), (std::vector<std::string>{"Piz Nord", "Piz Sud"})) << "nearest the map's centre first";

    model->setCanvas({});
    model->setIsFollowingUser(true);
    field->setQuery("piz ");
    EXPECT_EQ(names(), (std::vector<std::string>{"Piz Sud", "Piz Nord"})) << "the empty catalogue's centre is 0° N 0° E";
    field->choose(field->places().front(), PlaceOperation::show);
    EXPECT_EQ(field->query(), "Piz Sud");
    EXPECT_FALSE(field->isOpen());
    EXPECT_FALSE(model->isFollowingUser());
    EXPECT_TRUE(canvas->places.empty());
}

TEST_F(PlaceSearchFieldWidget, ADatabaseThatArrivesRunsTheSearchAgain)
{
    field->setQuery("mont");
    EXPECT_TRUE(field->places().empty());
    addDatabase("fr", kChamonix);
    EXPECT_TRUE(field->places().empty()) << "nothing searches on its own";
    model->placesDidChange();
    EXPECT_EQ(model->placesRevision(), 1);
    EXPECT_EQ(names(), (std::vector<std::string>{"Mont Blanc", "Aiguille du Midi (Chamonix-Mont-Blanc)",
                           "Chamonix-Mont-Blanc", "Le Montenvers"}));
    EXPECT_TRUE(shows(field->suggestions()));
}

TEST_F(PlaceSearchFieldWidget, TheOpenFieldIsDrawnOverTheMap)
{
    addDatabase("fr", kChamonix);
    addDatabase("ch", {row(1, "Grand Combin (Valais)", "summit", 45.9375, 7.2992, 1, 4314),
                          row(2, "Col du Grand-Saint-Bernard", "col", 45.8686, 7.1706, 2, 2469)});
    canvas->center = velorin::WorldPoint::fromLatitudeLongitude(45.92, 6.87);
    QWidget map;
    map.resize(520, 560);
    map.setAutoFillBackground(true);
    QPalette palette = map.palette();
    palette.setColor(QPalette::Window, QColor(196, 214, 170));
    map.setPalette(palette);
    auto* shown = new PlaceSearchField(*model, velorin::SheetCatalog(), &map);
    shown->move(12, 16);
    map.show();
    shown->setQuery("gr");
    ASSERT_GE(shown->places().size(), 3u);
    QApplication::processEvents();

    const QImage picture = map.grab().toImage();
    const auto path = std::filesystem::read_symlink("/proc/self/exe").parent_path() / kPictureName;
    ASSERT_TRUE(picture.save(QString::fromStdString(path.string()), "PNG"));
    std::cout << "picture: " << path.string() << '\n';
    // The panel is drawn: its dark material covers the map below the box.
    const QRect panel(shown->suggestions().mapTo(&map, QPoint(0, 0)), shown->suggestions().size());
    EXPECT_LT(qGray(picture.pixel(panel.center())), 120);
    EXPECT_GT(qGray(picture.pixel(panel.right() + 20, panel.center().y())), 150) << "the map beside it shows";
}

class PlaceSearchOnTheMapScreen : public testing_support::WidgetTest {};

TEST_F(PlaceSearchOnTheMapScreen, TheOpenPanelPushesTheCompassPadDownInsideTheLayer)
{
    model->start();
    velorin::MapCanvasView::Environment environment{clock, mainQueue, readPreferences(), folder / "VelorinGestes.log",
        {"velorin"}, {}};
    // Never shown: its map builds no canvas, as before the window's first frame.
    velorin::MapScreen screen(*model, std::move(environment));
    screen.resize(800, 700);
    // As the screen's first resize would, once shown.
    screen.topLeadingLayer().setGeometry(screen.rect());
    PlaceSearchField& field = screen.placeSearch();
    velorin::CompassPad& pad = screen.compassPad();
    const auto layOut = [&] {
        for (QLayout* layout : {field.layout(), static_cast<QLayout*>(&screen.topLeadingLayer().column())}) {
            layout->invalidate();
            layout->activate();
        }
    };
    layOut();
    const QPoint fieldAt = field.mapTo(&screen, QPoint(0, 0));
    EXPECT_EQ(fieldAt.x(), velorin::MapScreen::kEdgePaddingPoints);
    EXPECT_LT(fieldAt.y(), pad.mapTo(&screen, QPoint(0, 0)).y()) << "first in the corner";
    const int padClosed = pad.mapTo(&screen, QPoint(0, 0)).y();

    std::filesystem::create_directories(folders.places());
    testing_support::writePlaceDatabase(folders.places() / "places-fr.sqlite", kChamonix);
    field.setQuery("aig");
    layOut();
    const int padOpen = pad.mapTo(&screen, QPoint(0, 0)).y();
    EXPECT_EQ(padOpen - padClosed, field.suggestions().height() + PlaceSearchField::kStackSpacingPoints);
    field.choose(field.places().front(), PlaceOperation::show);
    layOut();
    EXPECT_EQ(pad.mapTo(&screen, QPoint(0, 0)).y(), padClosed);
}

TEST_F(PlaceSearchOnTheMapScreen, TheOpenPanelTakesThePointerAndTheMapKeepsItBeside)
{
    std::filesystem::create_directories(folders.places());
    testing_support::writePlaceDatabase(folders.places() / "places-fr.sqlite", kChamonix);
    QWidget window;
    window.resize(800, 700);
    auto* layer = new velorin::OverlayLayer(Qt::AlignTop | Qt::AlignLeft, QMargins(0, 24, 0, 0), 8, &window);
    layer->resize(window.size());
    auto* field = new PlaceSearchField(*model, velorin::SheetCatalog(), layer);
    layer->add(field, Qt::AlignLeft, 8);
    window.show();
    QApplication::processEvents();
    const QPoint belowBox = field->searchBox().geometry().bottomLeft() + field->pos() + QPoint(20, 100);
    EXPECT_FALSE(layer->mask().contains(belowBox));

    field->setQuery("aig");
    QApplication::processEvents();
    const QRect panel(field->suggestions().mapTo(layer, QPoint(0, 0)), field->suggestions().size());
    EXPECT_TRUE(panel.contains(belowBox));
    EXPECT_TRUE(layer->mask().contains(belowBox)) << "the open panel takes the pointer";
    EXPECT_FALSE(layer->mask().contains(QPoint(panel.right() + 40, panel.center().y()))) << "the map beside it keeps it";
}
