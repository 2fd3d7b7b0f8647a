#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace gpu {

enum class PixelFormat {
    rgba8, // 4 bytes a pixel, premultiplied alpha for map imagery
    r16,   // one unsigned normalised 16-bit channel
};

// A 2D texture made from pixels on any thread, without a GL context. It uploads itself
// on the GL thread the first time it is drawn; its GL name is released on the GL thread
// through the context's deletion queue. Linear filtering, clamp to edge, no mipmaps.
// Immutable once made; shared between the cache, the loader and the renderer.
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

private:
    Texture(PixelFormat format, int width, int height, std::vector<std::byte> pixels);

    PixelFormat format_;
    int width_;
    int height_;
    std::size_t byteSize_;
    std::vector<std::byte> pixels_;
};

} // namespace gpu
