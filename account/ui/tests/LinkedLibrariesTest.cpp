#include "account/ui/SoftwareCredit.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>
#include <regex>
#include <string>
#include <string_view>

namespace {

// The libraries a row of "Logiciels" must credit when the program links them: the family's
// name in the list, and a pattern of the shared objects it links.
struct Family {
    std::string_view credit;
    std::string_view soname;
};

constexpr std::array kFamilies {
    Family {"Qt 6", "^libQt6"},
    Family {"libcurl", "^libcurl"},
    Family {"OpenSSL", "^lib(ssl|crypto)\\."},
    Family {"SQLite", "^libsqlite3"},
    Family {"libjpeg-turbo", "^lib(turbo)?jpeg"},
    Family {"libpng", "^libpng"},
    Family {"libwebp", "^libwebp"},
    Family {"expat", "^libexpat"},
    Family {"utf8proc", "^libutf8proc"},
    Family {"libepoxy", "^libepoxy"},
    Family {"zlib", "^libz\\."},
    Family {"{fmt}", "^libfmt"},
    Family {"QtKeychain", "^libqt6keychain"},
    Family {"exiv2", "^libexiv2"},
    Family {"FFmpeg", "^libav(codec|format|util)|^libswscale"},
    Family {"x264", "^libx264"},
};

std::vector<std::string> neededLibraries(const std::string& binary)
{
    std::vector<std::string> needed;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(("readelf -d '" + binary + "'").c_str(), "r"), pclose);
    if (!pipe)
        return needed;
    const std::regex entry(R"(\(NEEDED\)\s+Shared library: \[([^\]]+)\])");
    std::array<char, 512> line {};
    while (fgets(line.data(), int(line.size()), pipe.get())) {
        std::cmatch match;
        if (std::regex_search(line.data(), match, entry))
            needed.push_back(match[1].str());
    }
    return needed;
}

bool credited(std::string_view name)
{
    for (const auto& credit : velorin::kSoftwareCredits) {
        if (credit.name == name)
            return true;
    }
    return false;
}

TEST(LinkedLibraries, EveryLibraryFamilyTheProgramLinksHasItsRowInTheLegalNotices)
{
    const auto needed = neededLibraries(VELORIN_PROGRAM);
    ASSERT_FALSE(needed.empty()) << "readelf found no shared library in " << VELORIN_PROGRAM;
    for (const Family& family : kFamilies) {
        const std::regex pattern {std::string(family.soname)};
        for (const std::string& library : needed) {
            if (std::regex_search(library, pattern)) {
                EXPECT_TRUE(credited(family.credit)) << library << " is linked but " << family.credit << " is not credited";
            }
        }
    }
}

} // namespace
