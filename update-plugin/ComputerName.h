#pragma once

#include <filesystem>
#include <string>

namespace korrelvane {

// The name the user gave this computer: PRETTY_HOSTNAME of the machine information file,
// unquoted as the shell would, else the host name; "" when there is neither. Any thread.
std::string computerName(const std::filesystem::path& machineInfo = "/etc/machine-info");

} // namespace korrelvane
