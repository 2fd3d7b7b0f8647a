#include "platform/Crypto.h"

#include <gtest/gtest.h>

#include <string>

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
