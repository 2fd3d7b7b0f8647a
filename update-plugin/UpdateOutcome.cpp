#include "update-plugin/UpdateOutcome.h"

#include <fmt/format.h>

namespace korrelvane {

std::string UpdateOutcome::message() const
{
    switch (kind) {
    case Kind::available:
        return fmt::format("Velorin {} est disponible ; vous avez la version {}.", item ? item->version : "",
            currentVersion);
    case Kind::upToDate:
        return fmt::format("Velorin est à jour (version {}).", currentVersion);
    case Kind::unreachable:
        return "Impossible de joindre le serveur de mises à jour. Vérifiez votre connexion.";
    case Kind::unexpected:
        return "Réponse inattendue du serveur de mises à jour.";
    case Kind::notConfigured:
        return "La recherche de mises à jour n'est pas configurée sur cet ordinateur.";
    case Kind::downloaded:
        return fmt::format("Velorin {} est téléchargé : {}", item ? item->version : "", file);
    case Kind::tampered:
        return "Le téléchargement est altéré : il a été supprimé.";
    case Kind::notSaved:
        return fmt::format("Impossible d'enregistrer le téléchargement dans {}.", file);
    }
    return {};
}

} // namespace korrelvane
