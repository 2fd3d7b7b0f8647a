#include "platform/Crypto.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <memory>
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

bool verifyEd25519(std::span<const std::byte> publicKey, std::span<const std::byte> message,
    std::span<const std::byte> signature)
{
    constexpr std::size_t kKeyBytes = 32;
    constexpr std::size_t kSignatureBytes = 64;
    if (publicKey.size() != kKeyBytes || signature.size() != kSignatureBytes)
        return false;
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(publicKey.data()),
            publicKey.size()),
        &EVP_PKEY_free);
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!key || !context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return false;
    return EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
               reinterpret_cast<const unsigned char*>(message.data()), message.size())
        == 1;
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
