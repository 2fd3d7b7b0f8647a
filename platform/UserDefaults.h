#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The user's preferences: typed values under fixed key names ("Velorin.basemap"), kept
// in one JSON file. A typed read only counts a value stored with that type: a string
// under a Boolean key reads as absent. Every change is written at once, atomically.
// A corrupt file is set aside as "<file>.corrupt" and the defaults apply.
// Thread-safe.
class UserDefaults {
public:
    // Where changes go: to the file, or only to this session's memory, for a run beside
    // the window that owns the file, which reads it and leaves it as it is.
    enum class Changes { saved, keptInMemory };

    explicit UserDefaults(std::filesystem::path file, Changes changes = Changes::saved);

    std::optional<bool> boolean(std::string_view key) const;
    std::optional<int64_t> integer(std::string_view key) const;
    // Reads integers too, as a double.
    std::optional<double> number(std::string_view key) const;
    std::optional<std::string> string(std::string_view key) const;
    std::optional<std::vector<std::byte>> data(std::string_view key) const;
    // A JSON object stored under the key.
    std::optional<nlohmann::json> dictionary(std::string_view key) const;
    // A JSON array stored under the key, its elements as stored.
    std::optional<nlohmann::json> array(std::string_view key) const;
    bool contains(std::string_view key) const;

    // Each setter writes the file; a failed write is logged and the value is kept in
    // memory for this session.
    void setBoolean(std::string_view key, bool value);
    void setInteger(std::string_view key, int64_t value);
    void setNumber(std::string_view key, double value);
    void setString(std::string_view key, std::string value);
    void setData(std::string_view key, std::span<const std::byte> value);
    void setDictionary(std::string_view key, nlohmann::json object);
    // Ignored unless `array` is a JSON array.
    void setArray(std::string_view key, nlohmann::json array);
    void remove(std::string_view key);

    const std::filesystem::path& file() const { return file_; }

private:
    const nlohmann::json* find(std::string_view key) const;
    void store(std::string_view key, nlohmann::json value);
    void save();

    const std::filesystem::path file_;
    const Changes changes_;
    mutable std::mutex mutex_;
    nlohmann::json values_ = nlohmann::json::object();
};

} // namespace platform
