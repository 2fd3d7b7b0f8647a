#include "app/tests/AppModelFixture.h"

#include <QCoreApplication>

using platform::LocationAuthorization;
using platform::LocationError;
using platform::PositionSourceChoice;
using velorin::AppModel;
using velorin::PositionProblem;

namespace {

class AppModelPosition : public testing_support::AppModelFixture {
protected:
    int argc = 0;
    QCoreApplication application { argc, nullptr };
};

} // namespace

TEST_F(AppModelPosition, TheLaunchOptionWinsOverTheStoredChoiceAndNeitherMeansAutomatic)
{
    struct Case {
        std::vector<std::string> arguments;
        std::optional<std::string> stored;
        PositionSourceChoice expected;
    };
    const Case cases[] = {
        { { "velorin" }, std::nullopt, {} },
        { { "velorin" }, "nmea:/dev/ttyACM0", PositionSourceChoice::nmea("/dev/ttyACM0") },
        { { "velorin", "-position", "gpsd:10.0.0.2:2948" }, "nmea:/dev/ttyACM0", PositionSourceChoice::gpsd("10.0.0.2", 2948) },
        { { "velorin", "-position", "auto" }, "gpsd", {} },
        { { "velorin", "-position", "satellite" }, "gpsd", PositionSourceChoice::gpsd() },
        { { "velorin", "-position" }, "gpsd", PositionSourceChoice::gpsd() },
        { { "velorin" }, "geoclue", {} },
    };
    log.expect("Location", "source de position inconnue");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.value_or("none"));
        platform::UserDefaults defaults(folder / "defaults.json");
        defaults.remove(AppModel::kPositionSourceKey);
        if (c.stored)
            defaults.setString(AppModel::kPositionSourceKey, *c.stored);
        EXPECT_EQ(AppModel::positionSourceChoice(c.arguments, defaults), c.expected);
    }
}

TEST_F(AppModelPosition, AChosenSourceIsStoredAndReadAtOnceWhileUpdatesGoOn)
{
    std::vector<PositionSourceChoice> built;
    std::shared_ptr<testing_support::FakeLocationSource::Control> latest;
    makeLocationSource = [&](const PositionSourceChoice& choice) {
        built.push_back(choice);
        auto source = std::make_unique<testing_support::FakeLocationSource>();
        latest = source->control();
        latest->authorization = LocationAuthorization::authorizedWhenInUse;
        return source;
    };
    arguments = { "velorin", "-position", "gpsd" };
    devicePermission = LocationAuthorization::authorizedWhenInUse;
    auto& model = makeModel();
    auto first = position;
    mainQueue->drain();
    EXPECT_EQ(model.positionSource(), PositionSourceChoice::gpsd());
    model.locateUser();
    EXPECT_EQ(first->locationStarts, 1);

    const auto walk = PositionSourceChoice::nmea("/home/marche/sortie.nmea");
    model.selectPositionSource(walk);
    mainQueue->drain();
    EXPECT_EQ(built, std::vector { walk });
    EXPECT_EQ(model.positionSource(), walk);
    EXPECT_EQ(readPreferences()->string(AppModel::kPositionSourceKey), "nmea:/home/marche/sortie.nmea");
    EXPECT_EQ(latest->locationStarts, 1) << "the new source picks up the updates";
    EXPECT_EQ(latest->distanceFilter, velorin::LocationService::kDistanceFilterMeters);
    first->deliver({ walkerFix(45.9, 6.8, 1000) });
    EXPECT_FALSE(model.location().location()) << "the old source is no longer heard";
    latest->deliver({ walkerFix(45.92, 6.87, 1035) });
    ASSERT_TRUE(model.location().location());
    EXPECT_EQ(model.location().location()->latitude, 45.92);
}

TEST_F(AppModelPosition, FollowingWithoutAFixSaysWhyOnceTheWaitIsOverAndAFixEndsIt)
{
    struct Case {
        std::optional<LocationError::Code> failure;
        PositionProblem problem;
        const char* text;
    };
    const Case cases[] = {
        { std::nullopt, PositionProblem::noFixYet, "Position indisponible · pas encore de position" },
        { LocationError::Code::locationUnknown, PositionProblem::noFixYet, "Position indisponible · pas encore de position" },
        { LocationError::Code::serviceUnavailable, PositionProblem::serviceNotRunning, "Position indisponible · gpsd n'est pas lancé" },
        { LocationError::Code::noReceiver, PositionProblem::noReceiver, "Position indisponible · aucun récepteur GPS" },
    };
    log.expect("Location", "échec de localisation");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        devicePermission = LocationAuthorization::authorizedWhenInUse;
        auto& model = makeModel();
        mainQueue->drain();
        model.locateUser();
        if (c.failure)
            position->fail({ *c.failure, "raison" });
        advance(AppModel::kPositionWaitSeconds - 1);
        EXPECT_FALSE(model.positionProblem()) << "still within the wait";
        advance(1);
        ASSERT_EQ(model.positionProblem(), c.problem);
        EXPECT_EQ(velorin::positionProblemText(c.problem), c.text);

        position->deliver({ walkerFix(45.92, 6.87, 1035) });
        EXPECT_FALSE(model.positionProblem());
        advance(AppModel::kPositionWaitSeconds);
        EXPECT_EQ(model.positionProblem(), PositionProblem::noFixYet) << "a fix lost for as long";
        model.setIsFollowingUser(false);
        EXPECT_FALSE(model.positionProblem()) << "not following, nothing is missing";
    }
}

TEST_F(AppModelPosition, AMachineWithoutAnySourceSaysSoAsSoonAsTheMapFollows)
{
    devicePermission = LocationAuthorization::restricted;
    auto& model = makeModel();
    mainQueue->drain();
    EXPECT_FALSE(model.positionProblem());
    model.toggleRecording();
    EXPECT_EQ(model.positionProblem(), PositionProblem::noReceiver);
    model.toggleRecording();
}
