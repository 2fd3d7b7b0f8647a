#pragma once

#include "features/Place.h"
#include "features/Toponym.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace velorin {

// The texts of the place search field, apart from its widgets: the title, detail line and
// symbol of a suggestion, the panel's messages and when the panel opens. Pure; any thread.
struct PlaceSuggestionText {
    static constexpr std::size_t kTitleCharacters = 15;
    static constexpr std::string_view kPlaceholder = "Rechercher un lieu";
    static constexpr std::string_view kTooShort = "Encore une lettre…";
    static constexpr std::string_view kNothingFound = "Aucun lieu trouvé";

    // The name without its parenthesised parts (and the white space before each), trimmed,
    // and cut to `maxCharacters` user-perceived characters, trimmed again, plus "…".
    static std::string stripParentheses(std::string_view name, std::size_t maxCharacters = kTitleCharacters);
    // "Sommet · 2546 m · France": the kind, the altitude of a summit, col or refuge when it
    // is known, and the country.
    static std::string detail(const Place& place);
    // "Sommet", "Col", "Crête", "Refuge", "Point de vue"; a locality is "Localité" when its
    // importance is below 5, else "Lieu-dit".
    static std::string_view kindWord(Toponym::Kind kind, int64_t importance);
    // The symbol name of a kind ("triangle" for a summit…).
    static std::string_view kindSymbol(Toponym::Kind kind);
    // "France", "Suisse", "Autriche", "Espagne"; another code as it is.
    static std::string countryName(std::string_view code);
    // The panel opens on a new text unless it is the name of the last choice.
    static bool opensFor(const std::optional<std::string>& chosen, std::string_view query);
    // That no place database is installed, and where Velorin looks for one: the folder and
    // the names of the files it reads there, so that a database made elsewhere can be put in.
    static std::string noDatabase(const std::filesystem::path& folder);
    // What the open panel says when it has no suggestion for `query`: nothing to search
    // below two characters; otherwise nothing found, or, when no database is open and none
    // can be downloaded into `missingDatabasesFolder`, `noDatabase` of that folder.
    static std::string emptyMessage(std::string_view query,
        const std::optional<std::filesystem::path>& missingDatabasesFolder);
    // Without white space at either end.
    static std::string trimmed(std::string_view text);
};

} // namespace velorin
