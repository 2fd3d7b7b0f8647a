#include "app/UpdatePluginSlot.h"

#include "map-data/ServiceHosts.h"
#include "platform/HttpSession.h"
#include "platform/Log.h"
#include "platform/Version.h"

#include <string>

namespace velorin {

namespace {

constexpr std::string_view kPluginLogCategory = "Korrelvane";
constexpr std::string_view kFeedPath = "/velorin/appcast.json";

void writePluginLog(int level, const char* message)
{
    const auto logLevel = level <= KORRELVANE_LOG_DEBUG ? platform::LogLevel::debug
        : level == KORRELVANE_LOG_INFO                  ? platform::LogLevel::info
        : level == KORRELVANE_LOG_WARNING               ? platform::LogLevel::warning
                                                        : platform::LogLevel::error;
    platform::Log::write(logLevel, kPluginLogCategory, message ? message : "");
}

std::unique_ptr<UpdatePlugin> loadProgramPlugin()
{
    // The host's strings must outlive the plug-in, which lives as long as the process.
    static const std::string userAgent = platform::HttpSession::defaultUserAgent();
    static const std::string feed = [] {
        const ServiceHosts hosts = ServiceHosts::fromEnvironment();
        return hosts.updateHost ? hosts.origin(*hosts.updateHost) + std::string(kFeedPath) : std::string();
    }();
    static const KorrelvaneHost host { KORRELVANE_ABI_VERSION, platform::kVersion, userAgent.c_str(), feed.c_str(),
        &writePluginLog };
    return loadUpdatePlugin(updatePluginFolder(), host);
}

UpdatePluginSlot& programSlot()
{
    static UpdatePluginSlot slot(&loadProgramPlugin);
    return slot;
}

} // namespace

UpdatePluginSlot::UpdatePluginSlot(Loader load)
    : load_(std::move(load))
{
}

UpdatePlugin* UpdatePluginSlot::get()
{
    std::call_once(once_, [this] { plugin_ = load_(); });
    return released_ ? nullptr : plugin_.get();
}

void UpdatePluginSlot::release()
{
    std::call_once(once_, [] {});
    released_ = true;
    plugin_.reset();
}

UpdatePlugin* updatePlugin()
{
    return programSlot().get();
}

void releaseUpdatePlugin()
{
    programSlot().release();
}

} // namespace velorin
