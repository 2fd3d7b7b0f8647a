#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace gpu {

class Context;
class DeletionQueue;

enum class PixelFormat {
    rgba8, // 4 bytes a pixel, premultiplied alpha for map imagery
    r16,   // one unsigned normalised 16-bit channel, native byte order
};

// A 2D texture made from pixels on any thread, without a GL context. It uploads itself
// on the GL thread the first time it is drawn and then drops its copy of the pixels; its
// GL name is released on whichever thread drops the last reference and deleted on the GL
// thread through the context's deletion queue. Linear filtering, clamp to edge, no
// mipmaps, no sRGB conversion; row 0 of the pixels is the top of the image (texture
// coordinate v = 0). Size and format never change; shared between the cache, the loader
// and the renderer.
class Texture {
public:
    // Nothing when the pixel count does not match the size and format.
    static std::shared_ptr<Texture> make(PixelFormat format, int width, int height, std::vector<std::byte> pixels);

    ~Texture();
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    PixelFormat format() const { return format_; }
    // Bytes of pixel data it stands for, known without a context.
    std::size_t byteSize() const { return byteSize_; }

    // GL thread, with `context` current: the texture's GL name, uploading the pixels the
    // first time. A texture belongs to the first context that draws it. 0 (nothing bound)
    // when the texture is larger than the context allows or is asked by another context.
    unsigned glName(Context& context);

private:
    Texture(PixelFormat format, int width, int height, std::vector<std::byte> pixels);
    void upload(Context& context);

    const PixelFormat format_;
    const int width_;
    const int height_;
    const std::size_t byteSize_;
    // GL thread only once made.
    std::vector<std::byte> pixels_;
    unsigned name_ = 0;
    bool uploadFailed_ = false;
    std::weak_ptr<DeletionQueue> deletions_;
};

} // namespace gpu
