#include "app/UpdatePlugin.h"
#include "app/ui/RootView.h"

#include "app/tests/AppModelFixture.h"
#include "testing/LoopbackServer.h"
#include "testing/TestApplication.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include <filesystem>

using testing_support::LoopbackServer;
using velorin::RootView;
using velorin::UpdatePlugin;

namespace {

constexpr const char* kFeedPath = "/velorin/appcast.json";

void logFromPlugin(int level, const char* message)
{
    platform::Log::write(level >= KORRELVANE_LOG_WARNING ? platform::LogLevel::warning : platform::LogLevel::info,
        "Korrelvane", message);
}

class UpdatePluginWindowTest : public testing_support::AppModelFixture {
protected:
    void SetUp() override { testing_support::application(); }

    velorin::MapCanvasView::Environment canvasEnvironment()
    {
        return { clock, mainQueue, readPreferences(), folder / "VelorinGestes.log", { "velorin" }, {} };
    }

    static QStringList titles(const QMenu& menu)
    {
        QStringList list;
        for (const QAction* action : menu.actions())
            list << (action->isSeparator() ? QStringLiteral("—") : action->text());
        return list;
    }

    static QMenu* helpMenu(const RootView& root)
    {
        for (QAction* action : root.menuBar()->actions()) {
            if (action->text() == QStringLiteral("Aide"))
                return action->menu();
        }
        return nullptr;
    }

    // The plug-in's dialog among the application's windows.
    static QDialog* updateDialog()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == QStringLiteral("korrelvaneUpdateDialog") && widget->isVisible())
                return qobject_cast<QDialog*>(widget);
        }
        return nullptr;
    }

    static QString dialogMessage()
    {
        QDialog* dialog = updateDialog();
        auto* message = dialog ? dialog->findChild<QLabel*>("message") : nullptr;
        return message ? message->text() : QString();
    }
};

} // namespace

TEST_F(UpdatePluginWindowTest, TheHelpMenuOffersTheCheckRightAfterAboutOnlyWithAPlugin)
{
    const KorrelvaneHost host { KORRELVANE_ABI_VERSION, "0.9.9", "Velorin/0.9.9 (Linux)", "", &logFromPlugin };
    auto recording = velorin::loadUpdatePlugin(std::filesystem::path(VELORIN_FAKE_PLUGINS) / "recording", host);
    ASSERT_NE(recording, nullptr);
    auto& model = makeModel();

    RootView without(model, canvasEnvironment());
    without.offerUpdateCheck([]() -> UpdatePlugin* { return nullptr; });
    ASSERT_NE(helpMenu(without), nullptr);
    EXPECT_EQ(titles(*helpMenu(without)), QStringList { QStringLiteral("À propos de Velorin") });

    RootView with(model, canvasEnvironment());
    with.resize(640, 480);
    with.show();
    with.offerUpdateCheck([&] { return recording.get(); });
    const QStringList expected { QStringLiteral("À propos de Velorin"), QStringLiteral("Rechercher les mises à jour…") };
    ASSERT_EQ(titles(*helpMenu(with)), expected);
    helpMenu(with)->actions()[1]->trigger();
    helpMenu(with)->actions()[1]->trigger();
    int checks = 0;
    for (const auto& entry : log.entries())
        checks += entry.category == "Korrelvane" && entry.message == "rechercher";
    EXPECT_EQ(checks, 2) << "once per choice";

    QMenu& menu = *helpMenu(with);
    menu.popup(with.mapToGlobal(QPoint(0, with.menuBar()->height())));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    const auto picture = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "help-menu.png";
    EXPECT_TRUE(menu.grab().save(QString::fromStdString(picture.string()), "PNG"));
    menu.hide();

    // The screens sit below the bar.
    ASSERT_NE(with.content(), nullptr);
    EXPECT_EQ(with.content()->geometry().top(), with.menuBar()->height());
    EXPECT_EQ(with.content()->geometry().bottom(), with.height() - 1);
}

TEST_F(UpdatePluginWindowTest, TheRealPluginTagsItsRequestsAndShowsEachOutcome)
{
    log.expect("Korrelvane", "");
    LoopbackServer server;
    static std::string feed;
    feed = server.url(kFeedPath);
    static const KorrelvaneHost host { KORRELVANE_ABI_VERSION, "0.9.9", "Velorin/0.9.9 (Linux)", feed.c_str(),
        &logFromPlugin };
    auto plugin = velorin::loadUpdatePlugin(std::filesystem::path(VELORIN_PLUGIN).parent_path(), host);
    ASSERT_NE(plugin, nullptr);

    struct Case {
        std::optional<std::optional<std::string>> utilisateur; // unset: not sent before this check
        LoopbackServer::Handler reply;
        QString message;
        // As the server decodes it.
        std::optional<std::string> userHeader;
        const char* picture;
    };
    const std::string newer = R"({"items": [{"version": "0.10.0", "title": "Velorin 0.10",
        "notes": "Des cartes plus nettes en montagne.", "page": "https://exemple.fr/velorin"}]})";
    const Case cases[] = {
        { {}, LoopbackServer::reply(200, newer), QStringLiteral("Velorin 0.10.0 est disponible ; vous avez la version 0.9.9."),
            {}, "update-available.png" },
        { std::optional<std::string>("a+b@x.fr"), LoopbackServer::reply(200, R"({"items": []})"),
            QStringLiteral("Velorin est à jour (version 0.9.9)."), "a+b@x.fr", "update-none.png" },
        { std::optional<std::string>(), LoopbackServer::reply(500), QStringLiteral("Réponse inattendue du serveur de mises à jour."),
            {}, nullptr },
        { {}, LoopbackServer::reply(200, "pas du JSON"), QStringLiteral("Réponse inattendue du serveur de mises à jour."),
            {}, nullptr },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        if (c.utilisateur)
            plugin->utilisateur(*c.utilisateur);
        server.route(kFeedPath, c.reply);
        const int before = server.requestCount(kFeedPath);
        plugin->rechercher();
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialogMessage() == c.message; }, 20000)) << dialogMessage().toStdString();
        ASSERT_EQ(server.requestCount(kFeedPath), before + 1);
        const auto request = server.requests().back();
        EXPECT_TRUE(request.headers.count("X-Vask-Poste"));
        EXPECT_EQ(request.headers.count("X-Vask-Utilisateur"), c.userHeader ? 1u : 0u);
        if (c.userHeader) {
            EXPECT_EQ(request.headers.find("X-Vask-Utilisateur")->second, *c.userHeader);
        }
        if (c.picture) {
            const auto path = std::filesystem::read_symlink("/proc/self/exe").parent_path() / c.picture;
            EXPECT_TRUE(updateDialog()->grab().save(QString::fromStdString(path.string()), "PNG"));
        }
    }
    const auto buttons = updateDialog()->findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 1);
    buttons.front()->click();
    EXPECT_EQ(updateDialog(), nullptr);

    plugin.reset();
    static const KorrelvaneHost unconfigured { KORRELVANE_ABI_VERSION, "0.9.9", "Velorin/0.9.9 (Linux)", "",
        &logFromPlugin };
    plugin = velorin::loadUpdatePlugin(std::filesystem::path(VELORIN_PLUGIN).parent_path(), unconfigured);
    ASSERT_NE(plugin, nullptr);
    const int before = server.requestCount();
    plugin->rechercher();
    EXPECT_EQ(dialogMessage(), QStringLiteral("La recherche de mises à jour n'est pas configurée sur cet ordinateur."));
    EXPECT_EQ(server.requestCount(), before);
}
