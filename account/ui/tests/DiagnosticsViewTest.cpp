#include "account/ui/DiagnosticsView.h"

#include "account/ui/tests/SheetPictures.h"

#include "app/tests/AppModelFixture.h"
#include "testing/LoopbackServer.h"
#include "testing/TestApplication.h"

#include <QLabel>
#include <QPushButton>

using velorin::DiagnosticsView;
using velorin::TileLoader;

namespace {

class DiagnosticsViewTest : public testing_support::AppModelFixture {
protected:
    void SetUp() override { testing_support::application(); }
};

TEST_F(DiagnosticsViewTest, TheRowsTellTheProblemTheNetworkAndTheLoader)
{
    auto& model = makeModel();
    DiagnosticsView view(model);
    EXPECT_EQ(view.value("Message"), "aucun");
    EXPECT_EQ(view.value("Réseau système"), "joignable");
    EXPECT_EQ(view.value("Connexion facturée"), "non");
    EXPECT_EQ(view.value("Tuiles en cours"), "0") << "a zero count reads 0";
    EXPECT_EQ(view.value("Carte en préparation"), "aucune");
    EXPECT_EQ(view.value("Étape"), "") << "idle: five rows";
    EXPECT_EQ(view.sectionCount(), 5) << "no loader, no cache section";
    EXPECT_EQ(view.value("Source"), "appareil de test");
    EXPECT_EQ(view.value("Dernière position"), "aucune");

    struct Case {
        const char* name;
        TileLoader::Status status;
        platform::NetworkPath network;
        const char* message;
    };
    TileLoader::Status downloading = busy(3, 7);
    downloading.loadingSheet = "Chamonix";
    downloading.phase = velorin::TileLoaderPhase::downloading(1572864, 10485760);
    // Failures in a row while tiles wait to be asked again.
    TileLoader::Status failing;
    failing.transportFailures = 3;
    failing.retrying = 2;
    for (const Case& c : {
             Case {"downloading", downloading, {true, true}, "aucun"},
             Case {"offline", failing, {false, false}, "Hors réseau"},
             Case {"failing", failing, {true, false}, "Serveur injoignable"},
         }) {
        model.tileStatusDidChange(c.status);
        network->report(c.network);
        mainQueue->drain();
        EXPECT_EQ(view.value("Message"), QString::fromUtf8(c.message)) << c.name;
    }
    network->report({true, true});
    model.tileStatusDidChange(downloading);
    mainQueue->drain();
    EXPECT_EQ(view.value("Étape"), QStringLiteral("Téléchargement 1,5 / 10,0 Mo"));
    EXPECT_EQ(view.value("Carte en préparation"), "Chamonix");
    EXPECT_EQ(view.value("Tuiles livrées"), "7");
    EXPECT_EQ(view.value("Connexion facturée"), "oui");
    testing_support::writeSheetPicture(view, "diagnostics-sheet.png");

    // Busy without progress: a stall.
    model.tileStatusDidChange(busy(5));
    advance(velorin::AppModel::kStallTimeoutSeconds + 0.125);
    EXPECT_EQ(view.value("Message"), QStringLiteral("Chargement bloqué"));
    network->report({false, false});
    mainQueue->drain();
    EXPECT_EQ(view.value("Réseau système"), QStringLiteral("coupé"));
}

TEST_F(DiagnosticsViewTest, RowsAreUpdatedInPlaceAndTheRetryClearsTheFailuresOnceTheLoaderSaysSo)
{
    // Every provider on a port that refuses connections.
    hosts.scheme = "http";
    hosts.ignHost = hosts.openTopoHost = hosts.terrariumHost = "127.0.0.1:9";
    auto& model = makeModel();
    model.start();
    DiagnosticsView view(model);
    EXPECT_EQ(view.sectionCount(), 6) << "the cache section with a loader";
    EXPECT_EQ(view.value("Textures"), "0");
    EXPECT_FALSE(view.value("Mémoire").isEmpty());
    EXPECT_EQ(view.server().text(), "http://127.0.0.1:9") << "the server the hosts name";

    QLabel* failures = view.valueLabel("Échecs de transport");
    std::vector<velorin::TileKey> keys;
    for (int x = 0; x < 4; ++x)
        keys.push_back(velorin::TileKey::webTile(velorin::Basemap(velorin::Basemap::openTopo).index(), 12, 2100 + x, 1450));
    model.loader()->setDesired(keys);
    for (int wait = 0; wait < 2000 && model.tileStatus().transportFailures < 3; ++wait)
        mainQueue->runOneWaiting(0.01);
    ASSERT_GE(model.tileStatus().transportFailures, 3);
    EXPECT_EQ(view.value("Message"), QStringLiteral("Serveur injoignable"));
    EXPECT_EQ(view.valueLabel("Échecs de transport"), failures) << "the same label after every change";

    std::vector<QString> shown;
    QObject::connect(&model, &velorin::AppModel::changed, [&] { shown.push_back(view.value("Échecs de transport")); });
    view.retryButton().click();
    for (int wait = 0; wait < 2000 && std::find(shown.begin(), shown.end(), "0") == shown.end(); ++wait)
        mainQueue->runOneWaiting(0.01);
    EXPECT_NE(std::find(shown.begin(), shown.end(), "0"), shown.end()) << "once the loader has published its reset";
}

} // namespace
