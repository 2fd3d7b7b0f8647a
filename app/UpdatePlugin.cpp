#include "app/UpdatePlugin.h"

#include "app/SharedObjectCheck.h"

#include "platform/Log.h"
#include "platform/Resources.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <exception>

namespace velorin {

namespace {

void logFailure(std::string_view what)
{
    platform::Log::warning(UpdatePlugin::kLogCategory, "module de mise à jour ignoré : {}", what);
}

// Only files that nobody else could have replaced are run with the program's rights.
bool isSafe(const std::filesystem::path& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        logFailure(fmt::format("{} introuvable", path.string()));
        return false;
    }
    if (status.st_mode & (S_IWGRP | S_IWOTH)) {
        logFailure(fmt::format("{} est modifiable par d'autres que son propriétaire", path.string()));
        return false;
    }
    if (status.st_uid != 0 && status.st_uid != ::getuid()) {
        logFailure(fmt::format("{} appartient à un autre utilisateur", path.string()));
        return false;
    }
    return true;
}

template <typename Call>
void guarded(std::string_view message, Call call)
{
    try {
        call();
    } catch (const std::exception& error) {
        platform::Log::error(UpdatePlugin::kLogCategory, "« {} » a échoué : {}", message, error.what());
    } catch (...) {
        platform::Log::error(UpdatePlugin::kLogCategory, "« {} » a échoué", message);
    }
}

} // namespace

UpdatePlugin::UpdatePlugin(const KorrelvanePlugin& table, void* object)
    : table_(table)
    , object_(object)
{
}

UpdatePlugin::~UpdatePlugin()
{
    guarded("destroy", [this] { table_.destroy(object_); });
}

void UpdatePlugin::utilisateur(const std::optional<std::string>& email)
{
    guarded("utilisateur:", [&] { table_.utilisateur(object_, email ? email->c_str() : nullptr); });
}

void UpdatePlugin::rechercher()
{
    guarded("rechercher", [this] { table_.rechercher(object_); });
}

std::unique_ptr<UpdatePlugin> loadUpdatePlugin(const std::filesystem::path& folder, const KorrelvaneHost& host)
{
    // Never a search path: a bare name would make the loader look through the system's.
    if (!folder.is_absolute()) {
        logFailure(fmt::format("dossier des modules inconnu ({})", folder.string()));
        return nullptr;
    }
    const auto file = folder / UpdatePlugin::kFileName;
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        platform::Log::info(UpdatePlugin::kLogCategory, "pas de module de mise à jour dans {}", folder.string());
        return nullptr;
    }
    if (!isSafe(folder) || !isSafe(file))
        return nullptr;
    if (const auto problem = sharedObjectProblem(file)) {
        logFailure(fmt::format("{} : {}", file.string(), *problem));
        return nullptr;
    }
    // Local: the plug-in's symbols never stand in for the program's own.
    void* library = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* reason = ::dlerror();
        logFailure(reason ? reason : file.string());
        return nullptr;
    }
    auto entry = reinterpret_cast<KorrelvaneEntry>(::dlsym(library, KORRELVANE_ENTRY_SYMBOL));
    if (!entry) {
        logFailure(fmt::format("{} n'exporte pas {}", file.string(), KORRELVANE_ENTRY_SYMBOL));
        return nullptr;
    }
    const KorrelvanePlugin* table = nullptr;
    guarded(KORRELVANE_ENTRY_SYMBOL, [&] { table = entry(); });
    if (!table) {
        logFailure(fmt::format("{} ne donne pas sa table", file.string()));
        return nullptr;
    }
    if (table->abiVersion != KORRELVANE_ABI_VERSION) {
        logFailure(fmt::format("{} est de la version {} de l'interface, attendue {}", file.string(),
            table->abiVersion, KORRELVANE_ABI_VERSION));
        return nullptr;
    }
    if (!table->create || !table->utilisateur || !table->rechercher || !table->destroy) {
        logFailure(fmt::format("{} n'a pas tous ses points d'entrée", file.string()));
        return nullptr;
    }
    void* object = nullptr;
    guarded("create", [&] { object = table->create(&host); });
    if (!object) {
        logFailure(fmt::format("{} n'a pas pu créer son objet", file.string()));
        return nullptr;
    }
    platform::Log::info(UpdatePlugin::kLogCategory, "module de mise à jour chargé : {}", file.string());
    return std::make_unique<UpdatePlugin>(*table, object);
}

std::filesystem::path updatePluginFolder()
{
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    // Installed as the shaders and resources are, or beside the program in a build tree.
    if (platform::installedDataFolder())
        return program.parent_path().parent_path() / "lib" / "velorin" / "plugins";
    return program.parent_path() / "plugins";
}

} // namespace velorin
