#include "library/GPXImport.h"

#include "recordings/GPXImporter.h"
#include "recordings/TrackStore.h"

#include <array>
#include <fstream>
#include <system_error>

namespace velorin {

namespace {

// Read to its end, whatever its size claimed: a file may still be growing, or be a pipe.
std::optional<std::vector<std::byte>> readFile(const std::filesystem::path& file)
{
    std::error_code error;
    if (std::filesystem::is_regular_file(file, error) && std::filesystem::file_size(file, error) > kMaximumGPXFileBytes)
        return std::nullopt;
    std::ifstream stream(file, std::ios::binary);
    if (!stream)
        return std::nullopt;
    std::vector<std::byte> bytes;
    std::array<char, 1 << 16> buffer;
    while (stream) {
        stream.read(buffer.data(), std::streamsize(buffer.size()));
        const auto got = std::size_t(stream.gcount());
        if (bytes.size() + got > kMaximumGPXFileBytes)
            return std::nullopt;
        const auto* from = reinterpret_cast<const std::byte*>(buffer.data());
        bytes.insert(bytes.end(), from, from + got);
    }
    if (stream.bad())
        return std::nullopt;
    return bytes;
}

std::string trackName(const GPXImporter::Result& parsed, std::size_t index, const std::filesystem::path& file)
{
    const auto& own = parsed.tracks[index].name;
    const std::string fileName = file.stem().string();
    // A receiver names its one log "ACTIVE LOG"; the document's name says more.
    if (parsed.tracks.size() == 1)
        return parsed.name ? *parsed.name : own ? *own : fileName;
    if (own)
        return *own;
    return parsed.name.value_or(fileName) + " (" + std::to_string(index + 1) + ")";
}

// Whether the track is on disk whole, finished and readable; its id goes to `created` as
// soon as its folder exists.
bool storeTrack(TrackStore& store, const GPXImporter::FileTrack& track, const std::string& name,
    std::vector<std::string>& created)
{
    TrackMetadata metadata = store.create(name, track.points.front().timestamp);
    created.push_back(metadata.id);
    if (track.timesUnknown) {
        metadata.timesUnknown = true;
        store.writeMetadata(metadata);
    }
    if (!store.writePoints(track.points, metadata.id))
        return false;
    store.finish(metadata.id, track.points.back().timestamp);
    const auto stored = store.readMetadata(metadata.id);
    return stored && stored->endedAt && stored->timesUnknown == track.timesUnknown;
}

enum class FileOutcome { stored, failed, onlyWaypoints };

FileOutcome importFile(TrackStore& store, const std::filesystem::path& file, platform::SystemTime now, int& imported)
{
    const auto bytes = readFile(file);
    if (!bytes)
        return FileOutcome::failed;
    const GPXImporter::Result parsed = GPXImporter::parse(*bytes, now);
    if (parsed.tracks.empty())
        return parsed.waypoints > 0 ? FileOutcome::onlyWaypoints : FileOutcome::failed;
    std::vector<std::string> created;
    for (std::size_t i = 0; i < parsed.tracks.size(); ++i) {
        if (!storeTrack(store, parsed.tracks[i], trackName(parsed, i, file), created)) {
            // Half a file would read as all of it: what was stored goes again.
            for (const std::string& id : created)
                store.deleteTrack(id);
            return FileOutcome::failed;
        }
    }
    imported += int(created.size());
    return FileOutcome::stored;
}

} // namespace

GPXImportResult importGPXFiles(const std::filesystem::path& storeRoot, const std::vector<std::filesystem::path>& files,
    platform::SystemTime now)
{
    TrackStore store(storeRoot);
    GPXImportResult result;
    for (const auto& file : files) {
        switch (importFile(store, file, now, result.imported)) {
        case FileOutcome::stored:
            break;
        case FileOutcome::failed:
            result.failed.push_back(file.filename().string());
            break;
        case FileOutcome::onlyWaypoints:
            result.withoutTracks.push_back(file.filename().string());
            break;
        }
    }
    return result;
}

std::optional<std::string> importMessage(const GPXImportResult& result)
{
    if (result.failed.empty() && result.withoutTracks.empty())
        return std::nullopt;
    std::vector<std::string> sentences;
    if (result.imported > 0)
        sentences.push_back(std::to_string(result.imported) + " trajet(s) importé(s).");
    if (!result.failed.empty()) {
        std::string failed = "Aucun point lisible dans : ";
        for (std::size_t i = 0; i < result.failed.size(); ++i)
            failed += (i ? ", " : "") + result.failed[i];
        sentences.push_back(failed + ".");
    }
    for (const std::string& file : result.withoutTracks)
        sentences.push_back("Ce fichier ne contient aucun trajet : " + file + ".");
    std::string message;
    for (const std::string& sentence : sentences)
        message += (message.empty() ? "" : " ") + sentence;
    return message;
}

} // namespace velorin
