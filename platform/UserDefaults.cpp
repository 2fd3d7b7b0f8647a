#include "platform/UserDefaults.h"

#include "platform/AtomicWrite.h"
#include "platform/Base64.h"
#include "platform/Log.h"
#include "platform/MappedFile.h"

#include <cmath>

namespace platform {

namespace {

// Data values are stored as an object with this one key, so that they never read as
// strings or dictionaries.
constexpr const char* kDataKey = "$data";

bool isData(const nlohmann::json& value)
{
    return value.is_object() && value.size() == 1 && value.contains(kDataKey) && value[kDataKey].is_string();
}

} // namespace

UserDefaults::UserDefaults(std::filesystem::path file, Changes changes)
    : file_(std::move(file))
    , changes_(changes)
{
    auto mapped = MappedFile::open(file_);
    if (!mapped)
        return;
    auto bytes = mapped->bytes();
    auto parsed = nlohmann::json::parse(reinterpret_cast<const char*>(bytes.data()),
        reinterpret_cast<const char*>(bytes.data()) + bytes.size(), nullptr, false);
    if (!parsed.is_discarded() && parsed.is_object()) {
        values_ = std::move(parsed);
        return;
    }
    if (changes_ == Changes::keptInMemory)
        return;
    auto aside = file_;
    aside += ".corrupt";
    std::error_code error;
    std::filesystem::rename(file_, aside, error);
    Log::error(logcat::defaults, "préférences illisibles, mises de côté dans {} : {}", aside.string(),
        error ? error.message() : "valeurs par défaut");
}

const nlohmann::json* UserDefaults::find(std::string_view key) const
{
    auto found = values_.find(key);
    return found == values_.end() ? nullptr : &*found;
}

std::optional<bool> UserDefaults::boolean(std::string_view key) const
{
    std::lock_guard lock(mutex_);
    auto value = find(key);
    if (!value || !value->is_boolean())
        return std::nullopt;
    return value->get<bool>();
}

std::optional<int64_t> UserDefaults::integer(std::string_view key) const
{
    std::lock_guard lock(mutex_);
    auto value = find(key);
    if (!value || !value->is_number_integer())
        return std::nullopt;
    if (value->is_number_unsigned() && value->get<uint64_t>() > uint64_t(INT64_MAX))
        return std::nullopt;
    return value->get<int64_t>();
}

std::optional<double> UserDefaults::number(std::string_view key) const
{
    std::lock_guard lock(mutex_);
    auto value = find(key);
    if (!value || !value->is_number())
        return std::nullopt;
    return value->get<double>();
}

std::optional<std::string> UserDefaults::string(std::string_view key) const
{
    std::lock_guard lock(mutex_);
    auto value = find(key);
    if (!value || !value->is_string())
        return std::nullopt;
    return value->get<std::string>();
}

std::optional<std::vector<std::byte>> UserDefaults::data(std::string_view key) const
{
    std::lock_guard lock(mutex_);
    auto value = find(key);
    if (!value || !isData(*value))
        return std::nullopt;
    return base64Decode((*value)[kDataKey].get_ref<const std::string&>());
}

std::optional<nlohmann::json> UserDefaults::dictionary(std::string_view key) const
{
    std::lock_guard lock(mutex_);
    auto value = find(key);
    if (!value || !value->is_object() || isData(*value))
        return std::nullopt;
    return *value;
}

std::optional<nlohmann::json> UserDefaults::array(std::string_view key) const
{
    std::lock_guard lock(mutex_);
    auto value = find(key);
    if (!value || !value->is_array())
        return std::nullopt;
    return *value;
}

bool UserDefaults::contains(std::string_view key) const
{
    std::lock_guard lock(mutex_);
    return find(key) != nullptr;
}

void UserDefaults::setBoolean(std::string_view key, bool value)
{
    store(key, value);
}

void UserDefaults::setInteger(std::string_view key, int64_t value)
{
    store(key, value);
}

void UserDefaults::setNumber(std::string_view key, double value)
{
    // JSON has no NaN or infinity; such a value would make the whole file unreadable.
    if (!std::isfinite(value)) {
        remove(key);
        return;
    }
    store(key, value);
}

void UserDefaults::setString(std::string_view key, std::string value)
{
    store(key, std::move(value));
}

void UserDefaults::setData(std::string_view key, std::span<const std::byte> value)
{
    store(key, nlohmann::json{{kDataKey, base64Encode(value)}});
}

void UserDefaults::setArray(std::string_view key, nlohmann::json array)
{
    if (!array.is_array())
        return;
    store(key, std::move(array));
}

void UserDefaults::setDictionary(std::string_view key, nlohmann::json object)
{
    if (!object.is_object())
        return;
    store(key, std::move(object));
}

void UserDefaults::remove(std::string_view key)
{
    std::lock_guard lock(mutex_);
    auto found = values_.find(key);
    if (found == values_.end())
        return;
    values_.erase(found);
    save();
}

void UserDefaults::store(std::string_view key, nlohmann::json value)
{
    std::lock_guard lock(mutex_);
    values_[std::string(key)] = std::move(value);
    save();
}

void UserDefaults::save()
{
    if (changes_ == Changes::keptInMemory)
        return;
    try {
        atomicWrite(file_, values_.dump(2, ' ', false, nlohmann::json::error_handler_t::replace));
    } catch (const std::exception& error) {
        Log::error(logcat::defaults, "écriture {} : {}", file_.string(), error.what());
    }
}

} // namespace platform
