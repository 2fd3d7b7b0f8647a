// The entry of "Korrelvane.so": the C table that the program loads, over the plug-in's
// object and its dialog. Nothing thrown here leaves through the C interface.

#include "update-plugin/KorrelvaneABI.h"
#include "update-plugin/ComputerName.h"
#include "update-plugin/VelorinKorrelvane.h"
#include "update-plugin/ui/UpdateDialog.h"

#include "platform/Base64.h"
#include "platform/Log.h"
#include "platform/qt/QtMainQueue.h"

#include <QStandardPaths>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

void hostLog(const KorrelvaneHost* host, int level, const std::string& message)
{
    if (host && host->log)
        host->log(level, message.c_str());
}

template <typename Call>
void guarded(const KorrelvaneHost* host, const char* what, Call call) noexcept
{
    try {
        call();
    } catch (const std::exception& error) {
        hostLog(host, KORRELVANE_LOG_ERROR, std::string(what) + " : " + error.what());
    } catch (...) {
        hostLog(host, KORRELVANE_LOG_ERROR, std::string(what) + " : erreur inconnue");
    }
}

const KorrelvaneHost* theHost = nullptr;

// The dialog is made on the first check: until then the plug-in needs no window system.
class OnDemandDialog final : public korrelvane::UpdatePresenter {
public:
    void showChecking() override { dialog().showChecking(); }
    void raise() override { dialog().raise(); }
    void show(const korrelvane::UpdateOutcome& outcome) override { dialog().show(outcome); }
    void showDownloading(std::int64_t received, std::int64_t expected) override
    {
        dialog().showDownloading(received, expected);
    }

private:
    korrelvane::UpdateDialog& dialog()
    {
        if (!dialog_) {
            dialog_ = std::make_unique<korrelvane::UpdateDialog>();
            dialog_->download = download;
        }
        return *dialog_;
    }

    std::unique_ptr<korrelvane::UpdateDialog> dialog_;
};

// The key that signs new versions, set when the plug-in is built; empty for none, or for a
// value that is no Ed25519 key, which could never accept a download.
std::vector<std::byte> builtInPublicKey()
{
    constexpr std::size_t kKeyBytes = 32;
    auto key = platform::base64Decode(KORRELVANE_UPDATE_PUBLIC_KEY).value_or(std::vector<std::byte>());
    return key.size() == kKeyBytes ? key : std::vector<std::byte>();
}

std::filesystem::path downloadsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DownloadLocation).toStdString();
}

// The plug-in's object as the program holds it.
struct Instance {
    explicit Instance(const KorrelvaneHost* host)
        : logSink(platform::Log::addSink([host](const platform::LogEntry& entry) {
            hostLog(host, static_cast<int>(entry.level), entry.message);
        }))
        , core({ host->programVersion, host->userAgent, host->feedUrl, korrelvane::computerName(),
                   std::make_shared<platform::QtMainQueue>(), builtInPublicKey(), downloadsFolder() },
              std::make_unique<OnDemandDialog>())
    {
    }

    // The plug-in's log lines go to the program's log.
    platform::Log::SinkRegistration logSink;
    korrelvane::VelorinKorrelvane core;
};

void* create(const KorrelvaneHost* host) noexcept
{
    if (!host || host->abiVersion != KORRELVANE_ABI_VERSION || !host->programVersion || !host->userAgent
        || !host->feedUrl || !host->log)
        return nullptr;
    theHost = host;
    Instance* instance = nullptr;
    guarded(host, "création du module de mise à jour", [&] { instance = new Instance(host); });
    return instance;
}

void utilisateur(void* object, const char* email) noexcept
{
    guarded(theHost, "utilisateur:", [&] {
        static_cast<Instance*>(object)->core.utilisateur(email ? std::optional<std::string>(email) : std::nullopt);
    });
}

void rechercher(void* object) noexcept
{
    guarded(theHost, "rechercher", [&] { static_cast<Instance*>(object)->core.rechercher(); });
}

void destroy(void* object) noexcept
{
    guarded(theHost, "fin du module de mise à jour", [&] { delete static_cast<Instance*>(object); });
}

constexpr KorrelvanePlugin kTable { KORRELVANE_ABI_VERSION, &create, &utilisateur, &rechercher, &destroy };

} // namespace

extern "C" __attribute__((visibility("default"))) const KorrelvanePlugin* korrelvane_plugin()
{
    return &kTable;
}
