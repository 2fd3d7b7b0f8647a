// The preferences file as a crash or another program may have left it. A file that reads is
// kept and every value in it reads the same after the file is written again; one that does
// not is set aside whole as "<file>.corrupt".

#include "fuzz/FuzzCheck.h"
#include "platform/Log.h"
#include "platform/UserDefaults.h"

#include <nlohmann/json.hpp>

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string contents(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Each typed read of the key gives the same answer from both.
void checkSameValue(const platform::UserDefaults& a, const platform::UserDefaults& b, const std::string& key)
{
    FUZZ_CHECK(a.contains(key) == b.contains(key));
    FUZZ_CHECK(a.boolean(key) == b.boolean(key));
    FUZZ_CHECK(a.integer(key) == b.integer(key));
    FUZZ_CHECK(a.number(key) == b.number(key));
    FUZZ_CHECK(a.string(key) == b.string(key));
    FUZZ_CHECK(a.data(key) == b.data(key));
    FUZZ_CHECK(a.dictionary(key) == b.dictionary(key));
    FUZZ_CHECK(a.array(key) == b.array(key));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const auto quiet = platform::Log::addSink([](const platform::LogEntry&) {});
    static const auto folder = [] {
        auto path = std::filesystem::temp_directory_path() / ("velorin-defaults-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    const auto file = folder / "defaults.json";
    auto aside = file;
    aside += ".corrupt";
    std::filesystem::remove(aside);
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << input;

    const auto stored = nlohmann::json::parse(input, nullptr, false);
    const platform::UserDefaults defaults(file);
    if (stored.is_discarded() || !stored.is_object()) {
        FUZZ_CHECK(!std::filesystem::exists(file));
        FUZZ_CHECK(contents(aside) == input);
        return 0;
    }
    FUZZ_CHECK(contents(file) == input);

    // Any change writes the whole file; a key the input cannot hold keeps the others apart.
    constexpr const char* probe = "\x01written";
    platform::UserDefaults written(file);
    written.setBoolean(probe, true);
    const platform::UserDefaults reread(file);
    FUZZ_CHECK(reread.boolean(probe) == std::optional(true));
    for (const auto& [key, value] : stored.items()) {
        if (key == probe)
            continue;
        checkSameValue(defaults, reread, key);
        FUZZ_CHECK(defaults.contains(key));
    }
    return 0;
}
