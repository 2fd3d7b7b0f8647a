#include "update-plugin/VelorinKorrelvane.h"

#include "update-plugin/HeaderCode.h"
#include "update-plugin/SignedFile.h"
#include "update-plugin/UrlOrigin.h"

#include "platform/Log.h"

#include <algorithm>

namespace korrelvane {

namespace {

constexpr std::string_view kLogCategory = "Korrelvane";

platform::HttpSessionOptions sessionOptions(const VelorinKorrelvane::Settings& settings)
{
    platform::HttpSessionOptions options;
    options.maxConnectionsPerHost = 1;
    options.maxTransfers = 1;
    options.idleTimeoutSeconds = VelorinKorrelvane::kIdleTimeoutSeconds;
    options.userAgent = settings.userAgent;
    options.storesCookies = false;
    options.clock = settings.clock;
    return options;
}

} // namespace

VelorinKorrelvane::VelorinKorrelvane(Settings settings, std::unique_ptr<UpdatePresenter> presenter)
    : settings_(std::move(settings))
    , presenter_(std::move(presenter))
    , session_(sessionOptions(settings_))
    , lifetime_(std::make_shared<VelorinKorrelvane*>(this))
{
    presenter_->download = [this](const UpdateItem& item) { telecharger(item); };
    utilisateur(std::nullopt);
}

VelorinKorrelvane::~VelorinKorrelvane()
{
    lifetime_.reset();
    download_.cancel();
    check_.cancel();
}

void VelorinKorrelvane::utilisateur(const std::optional<std::string>& email)
{
    headers_ = { { std::string(kComputerHeader), code(settings_.computerName) } };
    if (email && !email->empty())
        headers_.emplace_back(std::string(kUserHeader), code(*email));
}

void VelorinKorrelvane::rechercher()
{
    if (check_.isActive()) {
        presenter_->raise();
        return;
    }
    if (settings_.feedUrl.empty()) {
        presenter_->show({ UpdateOutcome::Kind::notConfigured, settings_.programVersion, {}, false, {} });
        return;
    }
    presenter_->showChecking();
    auto request = this->request(settings_.feedUrl);
    request.overallTimeoutSeconds = kOverallTimeoutSeconds;
    request.maxBodyBytes = kMaxFeedBytes;
    std::weak_ptr<VelorinKorrelvane*> weak = lifetime_;
    check_ = session_.start(std::move(request), *settings_.mainQueue, [weak](platform::HttpResult result) {
        const auto alive = weak.lock();
        if (!alive)
            return;
        VelorinKorrelvane& self = **alive;
        self.check_ = {};
        self.presenter_->show(self.outcome(result));
    });
}

platform::HttpRequest VelorinKorrelvane::request(const std::string& url) const
{
    auto request = platform::HttpRequest::get(url);
    request.idleTimeoutSeconds = kIdleTimeoutSeconds;
    const auto origin = urlOrigin(url);
    if (origin && origin == urlOrigin(settings_.feedUrl)) {
        request.headers = headers_;
        request.followsRedirects = false;
    }
    return request;
}

UpdateOutcome VelorinKorrelvane::outcome(const platform::HttpResult& result) const
{
    UpdateOutcome outcome { UpdateOutcome::Kind::unexpected, settings_.programVersion, {}, false, {} };
    if (!result.response) {
        const auto kind = result.error ? result.error->kind : platform::HttpErrorKind::other;
        platform::Log::warning(kLogCategory, "recherche de mises à jour impossible : {}",
            result.error ? result.error->message : "");
        // An oversized or malformed answer came from the server: it was reached.
        if (kind != platform::HttpErrorKind::badResponse)
            outcome.kind = UpdateOutcome::Kind::unreachable;
        return outcome;
    }
    if (result.response->status != 200) {
        platform::Log::warning(kLogCategory, "le flux des mises à jour répond {}", result.response->status);
        return outcome;
    }
    const auto feed = UpdateFeed::parse(result.response->body);
    const auto current = DottedVersion::parse(settings_.programVersion);
    if (!feed || !current) {
        platform::Log::warning(kLogCategory, "flux des mises à jour illisible");
        return outcome;
    }
    outcome.item = feed->newestAbove(*current);
    outcome.kind = outcome.item ? UpdateOutcome::Kind::available : UpdateOutcome::Kind::upToDate;
    outcome.downloadable = outcome.item && outcome.item->download && !settings_.publicKey.empty();
    return outcome;
}

void VelorinKorrelvane::telecharger(const UpdateItem& item)
{
    if (download_.isActive() || !item.download || settings_.publicKey.empty())
        return;
    const UpdateDownload& file = *item.download;
    const auto name = SignedFile::nameFromUrl(file.url, "Velorin-" + item.version);
    const auto part = settings_.downloadsFolder / (name + ".part");
    std::error_code error;
    std::filesystem::create_directories(settings_.downloadsFolder, error);
    auto request = this->request(file.url);
    request.destination = part;
    request.maxBodyBytes = std::min(file.length, kMaxDownloadBytes);
    // These run on the files' queue: they reach the object only through the main queue.
    auto showLater = [weak = std::weak_ptr(lifetime_), mainQueue = settings_.mainQueue](
                         std::function<void(VelorinKorrelvane&)> show) {
        mainQueue->post([weak, show = std::move(show)] {
            if (const auto alive = weak.lock())
                show(**alive);
        });
    };
    auto finished = [showLater, item, file, name, part, folder = settings_.downloadsFolder, key = settings_.publicKey,
                        version = settings_.programVersion](platform::HttpResult result) {
        UpdateOutcome outcome { UpdateOutcome::Kind::unreachable, version, item, false, {} };
        std::error_code ignored;
        if (result.response && result.response->status == 200
            && std::filesystem::file_size(part, ignored) == std::uintmax_t(file.length)) {
            const auto checked = SignedFile::keepIfSigned(part, folder, name, key, file.signature);
            outcome.kind = checked.fate == SignedFile::Fate::kept ? UpdateOutcome::Kind::downloaded
                : checked.fate == SignedFile::Fate::tampered      ? UpdateOutcome::Kind::tampered
                                                                  : UpdateOutcome::Kind::notSaved;
            outcome.file = (checked.fate == SignedFile::Fate::kept ? checked.file : folder).string();
        } else {
            if (result.response || (result.error && result.error->kind == platform::HttpErrorKind::badResponse))
                outcome.kind = UpdateOutcome::Kind::unexpected;
            platform::Log::warning(kLogCategory, "téléchargement de {} interrompu", file.url);
            std::filesystem::remove(part, ignored);
        }
        showLater([outcome](VelorinKorrelvane& self) {
            self.download_ = {};
            self.presenter_->show(outcome);
        });
    };
    auto progress = [showLater](platform::HttpProgress figures) {
        showLater([figures](VelorinKorrelvane& self) {
            if (self.download_.isActive())
                self.presenter_->showDownloading(figures.received, figures.expected);
        });
    };
    download_ = session_.start(std::move(request), files_, std::move(finished), std::move(progress));
    presenter_->showDownloading(0, file.length);
}

} // namespace korrelvane
