#include "platform/gpu/Context.h"

#include "platform/gpu/GpuError.h"

#include <epoxy/egl.h>
#include <epoxy/gl.h>
#include <epoxy/glx.h>
#include <fmt/format.h>

#include <mutex>
#include <string>
#include <vector>

namespace gpu {

namespace {

constexpr int kMinimumGlVersion = 33;
constexpr EGLint kMaxEglDevices = 16;

std::string eglFailure(const char* what)
{
    return fmt::format("EGL : {} (erreur 0x{:x})", what, eglGetError());
}

bool initialise(EGLDisplay display)
{
    EGLint major = 0;
    EGLint minor = 0;
    return display != EGL_NO_DISPLAY && eglInitialize(display, &major, &minor);
}

// Mesa's surfaceless platform runs on llvmpipe where there is no GPU; drivers without it
// (the proprietary ones) offer their devices instead.
EGLDisplay openHeadlessDisplay()
{
    const char* extensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    const std::string clientExtensions = extensions ? extensions : "";
    if (clientExtensions.find("EGL_MESA_platform_surfaceless") != std::string::npos) {
        EGLDisplay display = eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (initialise(display))
            return display;
    }
    if (clientExtensions.find("EGL_EXT_platform_device") != std::string::npos) {
        std::vector<EGLDeviceEXT> devices(kMaxEglDevices);
        EGLint count = 0;
        if (eglQueryDevicesEXT(kMaxEglDevices, devices.data(), &count)) {
            for (EGLint i = 0; i < count; ++i) {
                EGLDisplay display = eglGetPlatformDisplayEXT(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr);
                if (initialise(display))
                    return display;
            }
        }
    }
    return EGL_NO_DISPLAY;
}

// EGL displays are per process and terminating one would end every context on it, so the
// headless display is opened once and kept.
EGLDisplay headlessDisplay()
{
    static std::once_flag once;
    static EGLDisplay display = EGL_NO_DISPLAY;
    std::call_once(once, [] { display = openHeadlessDisplay(); });
    return display;
}

bool someContextIsCurrent()
{
    return eglGetCurrentContext() != EGL_NO_CONTEXT || glXGetCurrentContext() != nullptr;
}

} // namespace

struct Context::Egl {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
};

std::unique_ptr<Context> Context::headless()
{
    EGLDisplay display = headlessDisplay();
    if (display == EGL_NO_DISPLAY)
        throw GpuError("EGL : aucun affichage sans fenêtre disponible");
    if (!eglBindAPI(EGL_OPENGL_API))
        throw GpuError(eglFailure("OpenGL indisponible"));
    const EGLint attributes[] = {
        EGL_CONTEXT_MAJOR_VERSION, 3,
        EGL_CONTEXT_MINOR_VERSION, 3,
        EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
        EGL_NONE,
    };
    EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (context == EGL_NO_CONTEXT)
        throw GpuError(eglFailure("pas de contexte OpenGL 3.3 core"));
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        const std::string message = eglFailure("contexte impossible à activer");
        eglDestroyContext(display, context);
        throw GpuError(message);
    }
    auto egl = std::make_unique<Egl>();
    egl->display = display;
    egl->context = context;
    std::unique_ptr<Context> result(new Context(std::move(egl)));
    result->configure();
    return result;
}

std::unique_ptr<Context> Context::adoptCurrent()
{
    if (!someContextIsCurrent())
        throw GpuError("aucun contexte OpenGL actif à adopter");
    std::unique_ptr<Context> result(new Context(nullptr));
    result->configure();
    return result;
}

Context::Context(std::unique_ptr<Egl> egl)
    : egl_(std::move(egl))
{
}

Context::~Context()
{
    makeCurrent();
    deletions_->drain();
    if (egl_) {
        eglMakeCurrent(egl_->display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(egl_->display, egl_->context);
        eglReleaseThread();
    }
}

void Context::makeCurrent()
{
    if (egl_)
        eglMakeCurrent(egl_->display, EGL_NO_SURFACE, EGL_NO_SURFACE, egl_->context);
}

void Context::configure()
{
    glVersion_ = epoxy_gl_version();
    if (glVersion_ < kMinimumGlVersion || !epoxy_is_desktop_gl())
        throw GpuError(fmt::format("OpenGL 3.3 requis, le contexte offre {}.{}", glVersion_ / 10, glVersion_ % 10));
    hasClipControl_ = glVersion_ >= 45 || epoxy_has_gl_extension("GL_ARB_clip_control");
    if (hasClipControl_)
        glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize_);
    glGetIntegerv(GL_UNIFORM_BUFFER_OFFSET_ALIGNMENT, &uniformOffsetAlignment_);
}

} // namespace gpu
