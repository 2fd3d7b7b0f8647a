#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>

namespace platform {

// A whole file mapped read-only into memory. Files are only ever replaced by rename, so
// a mapping keeps seeing the bytes it opened. Move-only; any thread.
class MappedFile {
public:
    // Nothing when the file is missing, unreadable or not a regular file. An empty file
    // opens with no bytes.
    static std::optional<MappedFile> open(const std::filesystem::path& path);

    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();

    std::span<const std::byte> bytes() const { return {data_, size_}; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

private:
    MappedFile(const std::byte* data, std::size_t size)
        : data_(data)
        , size_(size)
    {
    }

    const std::byte* data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace platform
