#pragma once

#include "update-plugin/UpdateOutcome.h"
#include "update-plugin/UpdatePresenter.h"

#include "platform/Clock.h"
#include "platform/DispatchQueue.h"
#include "platform/HttpSession.h"
#include "platform/MainQueue.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korrelvane {

// The update plug-in's object: the headers that tag every request to the update host (the
// computer's name, and the signed-in account's e-mail address while there is one) and the check of
// the update feed that the user asks for. Checks run only on request, since each one
// sends both. GUI thread only; completions come back on the main queue.
class VelorinKorrelvane {
public:
    static constexpr std::string_view kComputerHeader = "X-Vask-Poste";
    static constexpr std::string_view kUserHeader = "X-Vask-Utilisateur";
    static constexpr double kIdleTimeoutSeconds = 20;
    static constexpr double kOverallTimeoutSeconds = 60;
    static constexpr std::int64_t kMaxFeedBytes = 1024 * 1024;
    static constexpr std::int64_t kMaxDownloadBytes = std::int64_t(1) << 30;

    struct Settings {
        // The running version, dotted ("1.2.0").
        std::string programVersion;
        std::string userAgent;
        // Empty: this computer has no update feed.
        std::string feedUrl;
        std::string computerName;
        std::shared_ptr<platform::MainQueue> mainQueue;
        // The maker's Ed25519 public key (32 bytes); empty: new versions are not downloaded
        // here, only their page is offered.
        std::vector<std::byte> publicKey = {};
        // Where downloads are kept.
        std::filesystem::path downloadsFolder = {};
        // Measures the timeouts; null: the steady clock.
        std::shared_ptr<platform::Clock> clock = {};
    };

    VelorinKorrelvane(Settings settings, std::unique_ptr<UpdatePresenter> presenter);
    ~VelorinKorrelvane();
    VelorinKorrelvane(const VelorinKorrelvane&) = delete;
    VelorinKorrelvane& operator=(const VelorinKorrelvane&) = delete;

    // The signed-in account's e-mail address; nothing or "" when nobody is signed in.
    void utilisateur(const std::optional<std::string>& email);
    // Checks the feed and shows the outcome; while a check runs, brings its dialog forward.
    void rechercher();

    // Downloads `item`'s file into the downloads folder as a part file, keeps it once its
    // signature is checked and deletes it otherwise. Nothing downloaded is run or opened.
    void telecharger(const UpdateItem& item);

    // The headers every request to the update host carries now.
    const platform::HttpHeaders& headers() const { return headers_; }

private:
    // A GET of `url`. The headers go with it only to the feed's own origin, its scheme
    // included (so never in clear where the feed is https), and then it follows no
    // redirect, which would carry them to another address.
    platform::HttpRequest request(const std::string& url) const;
    UpdateOutcome outcome(const platform::HttpResult& result) const;

    Settings settings_;
    std::unique_ptr<UpdatePresenter> presenter_;
    platform::HttpHeaders headers_;
    // Checks and moves downloaded files away from the GUI thread.
    platform::DispatchQueue files_ { "Korrelvane files" };
    platform::HttpSession session_;
    platform::HttpTask check_;
    platform::HttpTask download_;
    // Completions that come after the object is gone find it expired.
    std::shared_ptr<VelorinKorrelvane*> lifetime_;
};

} // namespace korrelvane
