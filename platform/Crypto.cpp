#include "platform/Crypto.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <stdexcept>

namespace platform {

std::vector<std::byte> sha256(std::span<const std::byte> bytes)
{
    std::vector<std::byte> digest(32);
    unsigned int size = 0;
    if (!EVP_Digest(bytes.data(), bytes.size(), reinterpret_cast<unsigned char*>(digest.data()), &size, EVP_sha256(),
            nullptr)
        || size != digest.size())
        throw std::runtime_error("SHA-256 is unavailable");
    return digest;
}

std::string sha256Hex(std::span<const std::byte> bytes)
{
    constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(64);
    for (std::byte b : sha256(bytes)) {
        hex += kHex[std::to_integer<unsigned>(b) >> 4];
        hex += kHex[std::to_integer<unsigned>(b) & 15];
    }
    return hex;
}

std::string sha256Hex(std::string_view text)
{
    return sha256Hex(std::as_bytes(std::span(text.data(), text.size())));
}

std::vector<std::byte> secureRandomBytes(std::size_t count)
{
    std::vector<std::byte> bytes(count);
    // The generator failing means the system cannot make keys at all.
    if (count > 0 && RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), int(count)) != 1)
        throw std::runtime_error("the system's secure random generator failed");
    return bytes;
}

} // namespace platform
