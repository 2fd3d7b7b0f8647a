#include "platform/HttpSessionInbox.h"

#include "platform/HttpTransfer.h"

namespace platform {

HttpSessionInbox::HttpSessionInbox(CURLM* multi)
    : multi_(multi)
{
}

HttpSessionInbox::~HttpSessionInbox() = default;

void HttpSessionInbox::add(std::unique_ptr<HttpTransfer> transfer)
{
    std::lock_guard lock(mutex_);
    batch_.arrivals.push_back(std::move(transfer));
    wakeLocked();
}

void HttpSessionInbox::noteCancellation()
{
    std::lock_guard lock(mutex_);
    batch_.cancellations = true;
    wakeLocked();
}

void HttpSessionInbox::requestCookieClearing()
{
    std::lock_guard lock(mutex_);
    batch_.clearCookies = true;
    wakeLocked();
}

void HttpSessionInbox::stop()
{
    std::lock_guard lock(mutex_);
    wakeLocked();
    batch_.stopping = true;
}

HttpSessionInbox::Batch HttpSessionInbox::take()
{
    std::lock_guard lock(mutex_);
    Batch taken = std::move(batch_);
    batch_ = Batch{};
    batch_.stopping = taken.stopping;
    return taken;
}

void HttpSessionInbox::wakeLocked()
{
    if (!batch_.stopping)
        curl_multi_wakeup(multi_);
}

} // namespace platform
