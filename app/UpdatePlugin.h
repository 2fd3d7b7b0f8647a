#pragma once

#include "update-plugin/KorrelvaneABI.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velorin {

// The one object of a loaded update plug-in, seen through its C table: `utilisateur:` and
// `rechercher` are sent to it, and the object is destroyed with this handle. Nothing the
// plug-in throws gets past these calls. GUI thread only.
class UpdatePlugin {
public:
    static constexpr std::string_view kFileName = "Korrelvane.so";
    static constexpr std::string_view kLogCategory = "Updates";

    // `object` was made by `table.create`; every member of the table is set.
    UpdatePlugin(const KorrelvanePlugin& table, void* object);
    ~UpdatePlugin();
    UpdatePlugin(const UpdatePlugin&) = delete;
    UpdatePlugin& operator=(const UpdatePlugin&) = delete;

    // The signed-in account's e-mail address, or nothing.
    void utilisateur(const std::optional<std::string>& email);
    void rechercher();

private:
    const KorrelvanePlugin& table_;
    void* object_;
};

// Opens `<folder>/Korrelvane.so` with every symbol resolved now, checks its ABI version and
// table, and makes its one object. Nothing, with a log line saying why, when the file is
// absent, unsafe (a file or folder that others than its owner may write, or owned by
// someone other than root or this user), damaged or cut short, unloadable, of another ABI
// or incomplete, or when its object cannot be made. The library is never unloaded. Any thread.
std::unique_ptr<UpdatePlugin> loadUpdatePlugin(const std::filesystem::path& folder, const KorrelvaneHost& host);

// The program's plug-in folder: "lib/velorin/plugins" of its prefix once installed (where
// "share/velorin" stands beside its "bin"), else "plugins" beside the running program.
std::filesystem::path updatePluginFolder();

} // namespace velorin
