#pragma once

#include <array>
#include <string_view>

namespace velorin {

// A library or font the program is built with, and the licence its authors give it. A
// plain value; any thread.
struct SoftwareCredit {
    std::string_view name;
    std::string_view licence;
};

// The program itself and what it links, as the legal notices list them.
inline constexpr std::string_view kProgramLicence
    = "Velorin est un logiciel libre, distribué sous la licence publique générale GNU, version 3 ou "
      "ultérieure (GPL-3.0-or-later), car il s'appuie sur des bibliothèques sous GPL.";

inline constexpr std::array kSoftwareCredits {
    SoftwareCredit {"Qt 6", "LGPL-3.0"},
    SoftwareCredit {"libcurl", "licence curl"},
    SoftwareCredit {"OpenSSL", "Apache-2.0"},
    SoftwareCredit {"SQLite", "domaine public"},
    SoftwareCredit {"libjpeg-turbo", "IJG, BSD-3-Clause et zlib"},
    SoftwareCredit {"libpng", "licence libpng"},
    SoftwareCredit {"libwebp", "BSD-3-Clause"},
    SoftwareCredit {"FFmpeg", "GPL-2.0-or-later"},
    SoftwareCredit {"x264", "GPL-2.0-or-later"},
    SoftwareCredit {"exiv2", "GPL-2.0-or-later"},
    SoftwareCredit {"expat", "MIT"},
    SoftwareCredit {"nlohmann/json", "MIT"},
    SoftwareCredit {"{fmt}", "MIT"},
    SoftwareCredit {"utf8proc", "MIT"},
    SoftwareCredit {"libepoxy", "MIT"},
    SoftwareCredit {"QtKeychain", "BSD-3-Clause"},
    SoftwareCredit {"libsecret", "LGPL-2.1-or-later"},
    SoftwareCredit {"zlib", "licence zlib"},
    SoftwareCredit {"Material Design Icons", "SIL OFL 1.1"},
};

} // namespace velorin
