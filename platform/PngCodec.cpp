#include "platform/ImageCodecs.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <memory>

namespace platform {

namespace {

// Everything the read touches lives here, outside the frame that libpng's error
// longjmp returns to, so an error never leaves it half-destroyed.
struct PngRead {
    std::span<const std::byte> bytes;
    size_t offset = 0;
    Image image;
    std::vector<png_bytep> rows;
};

[[noreturn]] void raiseError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void ignoreWarning(png_structp, png_const_charp)
{
}

void readBytes(png_structp png, png_bytep out, size_t count)
{
    auto& read = *static_cast<PngRead*>(png_get_io_ptr(png));
    if (count > read.bytes.size() - read.offset)
        png_error(png, "truncated");
    std::memcpy(out, read.bytes.data() + read.offset, count);
    read.offset += count;
}

// Reads the whole image as RGBA8; returns through longjmp on any error.
void readRgba(png_structp png, png_infop info, PngRead& read)
{
    png_set_read_fn(png, &read, readBytes);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const int colourType = png_get_color_type(png, info);

    // Palette to RGB, low bit depths to 8, tRNS to alpha; 16-bit rounded to 8.
    png_set_expand(png);
    png_set_scale_16(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    if (!(colourType & PNG_COLOR_MASK_ALPHA) && !png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(width) * 4)
        png_error(png, "unexpected row size");

    read.image.width = int(width);
    read.image.height = int(height);
    read.image.pixels.resize(size_t(width) * height * 4);
    read.rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        read.rows[y] = reinterpret_cast<png_bytep>(read.image.pixels.data()) + size_t(y) * width * 4;
    png_read_image(png, read.rows.data());
    png_read_end(png, nullptr);
}

} // namespace

std::optional<Image> decodePng(std::span<const std::byte> bytes, ImageSize)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, raiseError, ignoreWarning);
    if (!png)
        return std::nullopt;
    png_infop info = png_create_info_struct(png);
    auto read = std::make_unique<PngRead>();
    read->bytes = bytes;
    bool decoded = false;
    if (info && setjmp(png_jmpbuf(png)) == 0) {
        readRgba(png, info, *read);
        decoded = true;
    }
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    if (!decoded)
        return std::nullopt;
    return std::move(read->image);
}

std::optional<std::vector<std::byte>> encodePng(const Image& image)
{
    if (image.width <= 0 || image.height <= 0 || image.pixels.size() != size_t(image.width) * image.height * 4)
        return std::nullopt;
    png_image description{};
    description.version = PNG_IMAGE_VERSION;
    description.width = png_uint_32(image.width);
    description.height = png_uint_32(image.height);
    description.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_get_memory_size(description, size, 0, image.pixels.data(), 0, nullptr))
        return std::nullopt;
    std::vector<std::byte> output(size);
    if (!png_image_write_to_memory(&description, output.data(), &size, 0, image.pixels.data(), 0, nullptr)) {
        png_image_free(&description);
        return std::nullopt;
    }
    output.resize(size);
    return output;
}

} // namespace platform
