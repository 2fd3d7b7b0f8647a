#include "library/GPXImport.h"

#include "recordings/GPXImporter.h"
#include "recordings/TrackStore.h"

#include <fstream>
#include <iterator>
#include <system_error>

namespace velorin {

namespace {

std::optional<std::vector<std::byte>> readFile(const std::filesystem::path& file)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error || size > kMaximumGPXFileBytes)
        return std::nullopt;
    std::ifstream stream(file, std::ios::binary);
    if (!stream)
        return std::nullopt;
    std::vector<std::byte> bytes(size);
    stream.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(size));
    if (stream.gcount() != std::streamsize(size))
        return std::nullopt;
    return bytes;
}

// Whether the file gave a stored track.
bool importFile(TrackStore& store, const std::filesystem::path& file, platform::SystemTime now)
{
    const auto bytes = readFile(file);
    if (!bytes)
        return false;
    auto parsed = GPXImporter::parse(*bytes, now);
    if (!parsed || parsed->points.empty())
        return false;
    const std::string name = parsed->name ? *parsed->name : file.stem().string();
    const TrackMetadata metadata = store.create(name, parsed->points.front().timestamp);
    store.writePoints(parsed->points, metadata.id);
    store.finish(metadata.id, parsed->points.back().timestamp);
    return store.readMetadata(metadata.id).has_value();
}

} // namespace

GPXImportResult importGPXFiles(const std::filesystem::path& storeRoot, const std::vector<std::filesystem::path>& files,
    platform::SystemTime now)
{
    TrackStore store(storeRoot);
    GPXImportResult result;
    for (const auto& file : files) {
        if (importFile(store, file, now))
            ++result.imported;
        else
            result.failed.push_back(file.filename().string());
    }
    return result;
}

std::optional<std::string> importMessage(const GPXImportResult& result)
{
    if (result.failed.empty())
        return std::nullopt;
    std::string message;
    if (result.imported > 0)
        message = std::to_string(result.imported) + " trajet(s) importé(s). ";
    message += "Aucun point lisible dans : ";
    for (std::size_t i = 0; i < result.failed.size(); ++i)
        message += (i ? ", " : "") + result.failed[i];
    return message + ".";
}

} // namespace velorin
