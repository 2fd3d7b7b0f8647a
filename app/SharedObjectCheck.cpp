#include "app/SharedObjectCheck.h"

#include "platform/MappedFile.h"

#include <elf.h>

#include <cstring>

namespace velorin {

namespace {

#if defined(__x86_64__)
constexpr Elf64_Half kMachine = EM_X86_64;
#elif defined(__aarch64__)
constexpr Elf64_Half kMachine = EM_AARCH64;
#else
#error "a 64-bit processor of known ELF machine is expected"
#endif

bool within(std::size_t size, std::uint64_t offset, std::uint64_t length)
{
    return offset <= size && length <= size - offset;
}

} // namespace

std::optional<std::string> sharedObjectProblem(const std::filesystem::path& file)
{
    const auto mapped = platform::MappedFile::open(file);
    if (!mapped)
        return "fichier illisible";
    const auto bytes = mapped->bytes();
    Elf64_Ehdr header;
    if (bytes.size() < sizeof header)
        return "pas une bibliothèque ELF";
    std::memcpy(&header, bytes.data(), sizeof header);
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64
        || header.e_type != ET_DYN)
        return "pas une bibliothèque ELF 64 bits";
    if (header.e_machine != kMachine)
        return "bibliothèque d'un autre processeur";
    // The section headers come last: a file cut anywhere loses them.
    if (header.e_phentsize != sizeof(Elf64_Phdr)
        || !within(bytes.size(), header.e_phoff, std::uint64_t(header.e_phnum) * sizeof(Elf64_Phdr))
        || !within(bytes.size(), header.e_shoff, std::uint64_t(header.e_shnum) * header.e_shentsize))
        return "fichier tronqué ou endommagé";
    for (int i = 0; i < header.e_phnum; ++i) {
        Elf64_Phdr segment;
        std::memcpy(&segment, bytes.data() + header.e_phoff + std::size_t(i) * sizeof segment, sizeof segment);
        if (segment.p_type == PT_LOAD && !within(bytes.size(), segment.p_offset, segment.p_filesz))
            return "fichier tronqué ou endommagé";
    }
    return std::nullopt;
}

} // namespace velorin
