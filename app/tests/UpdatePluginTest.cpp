#include "app/UpdatePlugin.h"
#include "app/UpdatePluginSlot.h"

#include "AppModelFixture.h"
#include "testing/LogCapture.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <elf.h>
#include <sys/stat.h>

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

using velorin::UpdatePlugin;

namespace {

const std::filesystem::path kFakePlugins = VELORIN_FAKE_PLUGINS;

// What the recording plug-in wrote to the log, in order.
std::vector<std::string> pluginCalls(const testing_support::LogCapture& log)
{
    std::vector<std::string> calls;
    for (const auto& entry : log.entries()) {
        if (entry.category == "Korrelvane")
            calls.push_back(entry.message);
    }
    return calls;
}

void logFromPlugin(int level, const char* message)
{
    platform::Log::write(level == KORRELVANE_LOG_ERROR ? platform::LogLevel::error : platform::LogLevel::info,
        "Korrelvane", message);
}

const KorrelvaneHost kHost { KORRELVANE_ABI_VERSION, "0.9.9", "Velorin/0.9.9 (Linux)", "http://127.0.0.1:9/feed",
    &logFromPlugin };

std::filesystem::path copyInto(const std::filesystem::path& folder, const std::filesystem::path& file)
{
    const auto copy = folder / UpdatePlugin::kFileName;
    std::filesystem::copy_file(file, copy, std::filesystem::copy_options::overwrite_existing);
    ::chmod(copy.c_str(), 0644);
    return copy;
}

} // namespace

TEST(UpdatePluginLoader, ABrokenOrUnsafePluginIsRefusedWithALogLineAndTheProgramGoesOn)
{
    struct Case {
        const char* name;
        // Fills the plug-in folder; gives it.
        std::function<std::filesystem::path(const std::filesystem::path&)> prepare;
        const char* logged;
    };
    const Case cases[] = {
        { "no file", [](const auto& folder) { return folder; }, "pas de module" },
        { "garbage bytes",
            [](const auto& folder) {
                std::ofstream(folder / UpdatePlugin::kFileName) << "\x7f" "ELF, ou presque : du texte";
                return folder;
            },
            "pas une bibliothèque ELF" },
        { "a truncated copy of the real plug-in",
            [](const auto& folder) {
                const auto copy = copyInto(folder, VELORIN_PLUGIN);
                std::filesystem::resize_file(copy, std::filesystem::file_size(copy) * 2 / 3);
                return folder;
            },
            "tronqué" },
        { "a plug-in for another processor",
            [](const auto& folder) {
                const auto copy = copyInto(folder, kFakePlugins / "recording" / UpdatePlugin::kFileName);
                std::fstream file(copy, std::ios::in | std::ios::out | std::ios::binary);
                file.seekp(offsetof(Elf64_Ehdr, e_machine));
                const Elf64_Half foreign = EM_RISCV;
                file.write(reinterpret_cast<const char*>(&foreign), sizeof foreign);
                return folder;
            },
            "autre processeur" },
        { "no entry symbol", [](const auto&) { return kFakePlugins / "no_entry"; }, "n'exporte pas korrelvane_plugin" },
        { "ABI 2", [](const auto&) { return kFakePlugins / "abi_two"; }, "version 2 de l'interface" },
        { "a null member", [](const auto&) { return kFakePlugins / "null_member"; }, "points d'entrée" },
        { "an unresolved symbol", [](const auto&) { return kFakePlugins / "unresolved"; },
            "korrelvane_symbol_nobody_defines" },
        { "a group-writable file",
            [](const auto& folder) {
                ::chmod(copyInto(folder, kFakePlugins / "recording" / UpdatePlugin::kFileName).c_str(), 0664);
                return folder;
            },
            "modifiable par d'autres" },
        { "a folder that others may write",
            [](const auto& folder) {
                copyInto(folder, kFakePlugins / "recording" / UpdatePlugin::kFileName);
                ::chmod(folder.c_str(), 0777);
                return folder;
            },
            "modifiable par d'autres" },
        { "a relative folder", [](const auto&) { return std::filesystem::path("plugins"); }, "dossier des modules inconnu" },
    };
    for (const auto& c : cases) {
        testing_support::LogCapture log;
        log.expect(UpdatePlugin::kLogCategory, c.logged);
        testing_support::TemporaryFolder temporary;
        const auto folder = temporary.path() / "plugins";
        std::filesystem::create_directory(folder);
        ::chmod(folder.c_str(), 0755);
        EXPECT_EQ(velorin::loadUpdatePlugin(c.prepare(folder), kHost), nullptr) << c.name;
        EXPECT_TRUE(log.contains(platform::LogLevel::info, UpdatePlugin::kLogCategory, c.logged)
            || log.contains(platform::LogLevel::warning, UpdatePlugin::kLogCategory, c.logged))
            << c.name;
        EXPECT_TRUE(pluginCalls(log).empty()) << c.name << ": no object was made";
    }
}

TEST(UpdatePluginLoader, AThrowingPluginIsLoggedAndNothingLeavesItsCalls)
{
    testing_support::LogCapture log;
    log.expect(UpdatePlugin::kLogCategory, "a échoué");
    auto plugin = velorin::loadUpdatePlugin(kFakePlugins / "throwing", kHost);
    ASSERT_NE(plugin, nullptr);
    plugin->utilisateur("marie@example.fr");
    plugin->rechercher();
    EXPECT_TRUE(log.contains(platform::LogLevel::error, UpdatePlugin::kLogCategory, "« utilisateur: » a échoué : utilisateur en panne"));
    EXPECT_TRUE(log.contains(platform::LogLevel::error, UpdatePlugin::kLogCategory, "« rechercher » a échoué"));
}

TEST(UpdatePluginLoader, EightThreadsReadingTheSlotMakeOneObject)
{
    testing_support::LogCapture log;
    std::atomic<int> loads = 0;
    velorin::UpdatePluginSlot slot([&] {
        ++loads;
        return velorin::loadUpdatePlugin(kFakePlugins / "recording", kHost);
    });
    std::vector<UpdatePlugin*> seen(8);
    std::vector<std::thread> readers;
    for (std::size_t i = 0; i < seen.size(); ++i)
        readers.emplace_back([&, i] { seen[i] = slot.get(); });
    for (auto& reader : readers)
        reader.join();
    EXPECT_EQ(loads, 1);
    ASSERT_NE(seen[0], nullptr);
    for (auto* plugin : seen)
        EXPECT_EQ(plugin, seen[0]);
    slot.release();
    EXPECT_EQ(slot.get(), nullptr) << "released for good";
    EXPECT_EQ(pluginCalls(log), (std::vector<std::string> { "create http://127.0.0.1:9/feed", "destroy" }));
}

TEST(UpdatePluginLoader, AFailedLoadIsNotRetried)
{
    testing_support::LogCapture log;
    int loads = 0;
    velorin::UpdatePluginSlot slot([&] {
        ++loads;
        return std::unique_ptr<UpdatePlugin>();
    });
    EXPECT_EQ(slot.get(), nullptr);
    EXPECT_EQ(slot.get(), nullptr);
    EXPECT_EQ(loads, 1);
}

class UpdatePluginAccountTest : public testing_support::AppModelFixture {
protected:
    std::unique_ptr<UpdatePlugin> plugin = velorin::loadUpdatePlugin(kFakePlugins / "recording", kHost);

    void SetUp() override
    {
        ASSERT_NE(plugin, nullptr);
        updatePlugin = [this] { return plugin.get(); };
    }

    std::vector<std::string> messages() const
    {
        std::vector<std::string> sent;
        for (const auto& call : pluginCalls(log)) {
            if (call.starts_with("utilisateur"))
                sent.push_back(call);
        }
        return sent;
    }
};

TEST_F(UpdatePluginAccountTest, TheAccountServiceTellsThePluginWhoIsSignedIn)
{
    using Messages = std::vector<std::string>;
    makeModel();
    mainQueue->drain();
    EXPECT_EQ(messages(), Messages { "utilisateur nil" }) << "no account: nil once";

    keychain->items["Velorin.session"] = "t0k3n";
    storePreferences(R"({"Velorin.account": {"email": "marie@example.fr", "name": "Marie"}})");
    makeModel();
    mainQueue->drain();
    EXPECT_EQ(messages(), (Messages { "utilisateur nil", "utilisateur marie@example.fr", "utilisateur marie@example.fr" }));

    model->accounts().signOut();
    mainQueue->drain();
    EXPECT_EQ(messages().back(), "utilisateur nil");
    EXPECT_EQ(messages().size(), 4u);
}
