#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// SHA-256 of the bytes as 64 lower-case hex digits. Any thread.
std::string sha256Hex(std::span<const std::byte> bytes);
std::string sha256Hex(std::string_view text);
// The raw 32-byte digest.
std::vector<std::byte> sha256(std::span<const std::byte> bytes);
// Whether `signature` (64 bytes) is the Ed25519 signature of `message` by the holder of
// `publicKey` (32 bytes); false for keys or signatures of another size.
bool verifyEd25519(std::span<const std::byte> publicKey, std::span<const std::byte> message,
    std::span<const std::byte> signature);
// Bytes from the system's secure generator.
std::vector<std::byte> secureRandomBytes(std::size_t count);

} // namespace platform
