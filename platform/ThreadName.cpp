#include "platform/ThreadName.h"

#include <pthread.h>

#include <string>

namespace platform {

void setCurrentThreadName(std::string_view name)
{
    // Reverse-DNS queue names keep their distinctive tail: "com.vask.velorin.loader" → "velorin.loader".
    constexpr std::size_t kMaxLength = 15;
    std::string shown(name.size() > kMaxLength ? name.substr(name.size() - kMaxLength) : name);
    pthread_setname_np(pthread_self(), shown.c_str());
}

} // namespace platform
