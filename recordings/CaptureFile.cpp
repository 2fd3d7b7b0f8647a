#include "recordings/CaptureFile.h"

#include <fstream>
#include <stdexcept>
#include <string>

namespace velorin {

std::vector<std::byte> CaptureFile::contents() const
{
    std::ifstream stream(url, std::ios::binary | std::ios::ate);
    if (!stream || std::filesystem::is_directory(url))
        throw std::runtime_error(std::string(kUnreadableMessage));
    const auto size = stream.tellg();
    if (size < 0)
        throw std::runtime_error(std::string(kUnreadableMessage));
    std::vector<std::byte> bytes(static_cast<std::size_t>(size));
    stream.seekg(0);
    if (!stream.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size())))
        throw std::runtime_error(std::string(kUnreadableMessage));
    return bytes;
}

} // namespace velorin
