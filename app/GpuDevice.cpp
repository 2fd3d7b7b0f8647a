#include "app/GpuDevice.h"

#include "platform/Log.h"
#include "platform/gpu/Context.h"
#include "platform/gpu/GpuError.h"

#include <string_view>

namespace velorin {

namespace {
constexpr std::string_view kLogCategory = "GPU";
}

std::optional<GpuDevice> GpuDevice::probeDefault()
{
    try {
        auto context = gpu::Context::headless();
        return GpuDevice { context->glVersion(), context->maxTextureSize() };
    } catch (const gpu::GpuError& error) {
        platform::Log::error(kLogCategory, "pas de contexte OpenGL 3.3 : {}", error.what());
        return std::nullopt;
    }
}

} // namespace velorin
