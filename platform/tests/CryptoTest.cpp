#include "platform/Crypto.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

using namespace platform;

TEST(Crypto, Sha256MatchesTheStandardDigests)
{
    struct Case {
        std::string text;
        std::string hex;
    };
    for (const auto& c : {Case{"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
             Case{"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"}}) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(sha256Hex(c.text), c.hex);
        const auto bytes = std::as_bytes(std::span(c.text.data(), c.text.size()));
        EXPECT_EQ(sha256Hex(bytes), c.hex);
        const auto digest = sha256(bytes);
        ASSERT_EQ(digest.size(), 32u);
        EXPECT_EQ(std::to_integer<int>(digest[0]), std::stoi(c.hex.substr(0, 2), nullptr, 16));
    }
}

TEST(Crypto, SecureRandomBytesHaveTheCountAskedAndDiffer)
{
    EXPECT_TRUE(secureRandomBytes(0).empty());
    const auto first = secureRandomBytes(32);
    const auto second = secureRandomBytes(32);
    EXPECT_EQ(first.size(), 32u);
    EXPECT_NE(first, second);
}

namespace {

std::vector<std::byte> fromHex(std::string_view hex)
{
    std::vector<std::byte> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(std::byte(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    return bytes;
}

} // namespace

TEST(Crypto, Ed25519AcceptsTheStandardVectorsAndRejectsAnyFlippedByte)
{
    struct Case {
        const char* publicKey;
        const char* message;
        const char* signature;
    };
    for (const auto& c : {
             Case { "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a", "",
                 "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bacc61e39701cf9b46b"
                 "d25bf5f0595bbe24655141438e7a100b" },
             Case { "3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c", "72",
                 "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da085ac1e43e15996e458f3613d0f11d8c"
                 "387b2eaeb4302aeeb00d291612bb0c00" },
             Case { "fc51cd8e6218a1a38da47ed00230f0580816ed13ba3303ac5deb911548908025", "af82",
                 "6291d657deec24024827e69c3abe01a30ce548a284743a445e3680d7db5ac3ac18ff9b538d16f290ae67f760984dc659"
                 "4a7c15e9716ed28dc027beceea1ec40a" },
         }) {
        SCOPED_TRACE(c.publicKey);
        auto key = fromHex(c.publicKey);
        auto message = fromHex(c.message);
        auto signature = fromHex(c.signature);
        EXPECT_TRUE(verifyEd25519(key, message, signature));
        for (auto* bytes : { &key, &message, &signature }) {
            if (bytes->empty())
                continue;
            (*bytes)[bytes->size() / 2] ^= std::byte(1);
            EXPECT_FALSE(verifyEd25519(key, message, signature));
            (*bytes)[bytes->size() / 2] ^= std::byte(1);
        }
        EXPECT_FALSE(verifyEd25519(std::span(key).first(31), message, signature));
        EXPECT_FALSE(verifyEd25519(key, message, std::span(signature).first(63)));
    }
}
