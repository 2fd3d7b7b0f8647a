#include "map-data/SheetSlicer.h"

#include "platform/Image.h"
#include "platform/Log.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <new>

namespace velorin {

namespace {

const char* describe(SheetSlicer::Failure failure)
{
    switch (failure) {
    case SheetSlicer::Failure::decodeFailed:
        return "image illisible";
    case SheetSlicer::Failure::contextFailed:
        return "mémoire insuffisante pour l'image";
    case SheetSlicer::Failure::encodeFailed:
        return "encodage JPEG impossible";
    }
    return "";
}

platform::Image decodeSheet(std::span<const std::byte> data, const Sheet& sheet)
{
    platform::ImageDecodeOptions options;
    // Never larger than the sheet's source image, whatever the file holds.
    options.maxDimension = int(std::clamp<std::int64_t>(std::max(sheet.sourceWidth, sheet.sourceHeight), 0,
        std::numeric_limits<int>::max()));
    try {
        auto image = platform::decodeImage(data, options);
        if (!image)
            throw SheetSlicer::Error(SheetSlicer::Failure::decodeFailed);
        return std::move(*image);
    } catch (const std::bad_alloc&) {
        throw SheetSlicer::Error(SheetSlicer::Failure::contextFailed);
    }
}

// The pixels of one cell, copied out of the decoded sheet.
platform::Image cellImage(const platform::Image& sheet, std::int64_t x0, std::int64_t y0, std::int64_t width,
    std::int64_t height)
{
    constexpr std::size_t kBytesPerPixel = 4;
    platform::Image cell;
    cell.width = int(width);
    cell.height = int(height);
    cell.pixels.resize(std::size_t(width * height) * kBytesPerPixel);
    auto sheetRowBytes = std::size_t(sheet.width) * kBytesPerPixel;
    auto cellRowBytes = std::size_t(width) * kBytesPerPixel;
    for (std::int64_t row = 0; row < height; ++row) {
        std::memcpy(cell.pixels.data() + std::size_t(row) * cellRowBytes,
            sheet.pixels.data() + std::size_t(y0 + row) * sheetRowBytes + std::size_t(x0) * kBytesPerPixel,
            cellRowBytes);
    }
    return cell;
}

} // namespace

SheetSlicer::Error::Error(Failure failure)
    : std::runtime_error(describe(failure))
    , failure_(failure)
{
}

void SheetSlicer::slice(std::span<const std::byte> data, const Sheet& sheet, const std::vector<SubtileCell>& cells,
    const Loader& loader, double progressBase, bool offline, std::int64_t& finished, std::int64_t total,
    const std::function<void(double)>& progress)
{
    auto image = decodeSheet(data, sheet);
    std::int64_t width = image.width;
    std::int64_t height = image.height;
    total = std::max<std::int64_t>(total, 1);

    for (auto [column, row] : cells) {
        if (!sheet.hasCell(column, row))
            continue;
        auto x0 = width * column / sheet.columns;
        auto x1 = width * (column + 1) / sheet.columns;
        auto y0 = height * row / sheet.rows;
        auto y1 = height * (row + 1) / sheet.rows;
        if (x1 <= x0 || y1 <= y0)
            continue;

        std::optional<std::vector<std::byte>> jpeg;
        try {
            jpeg = platform::encodeJpeg(cellImage(image, x0, y0, x1 - x0, y1 - y0), kJpegQuality);
        } catch (const std::bad_alloc&) {
            throw Error(Failure::encodeFailed);
        }
        if (!jpeg)
            throw Error(Failure::encodeFailed);

        auto key = TileKey::subtile(sheet.id, column, row);
        if (auto path = key.relativePath(loader.catalog.sheets())) {
            try {
                loader.store.writeNow(*jpeg, *path, offline);
            } catch (const std::filesystem::filesystem_error& error) {
                platform::Log::warning(platform::logcat::diskStore, "écriture {} : {}", *path, error.what());
            }
        }

        // The wish-list lock and the cache lock are taken one after the other, never held
        // while decoding.
        if (loader.isWanted(key) && !loader.cache.contains(key)) {
            if (auto texture = loader.decode(*jpeg)) {
                loader.cache.insert(std::move(texture), key);
                loader.tileReady();
            }
        }

        ++finished;
        double fraction = double(finished) / double(total);
        loader.setSheetProgress(progressBase + (1 - progressBase) * fraction);
        if (progress)
            progress(fraction);
    }
}

} // namespace velorin
