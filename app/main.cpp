#include "platform/Version.h"

#include <fmt/format.h>

#include <string_view>

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--version") {
            fmt::print("Velorin {}\n", platform::kVersion);
            return 0;
        }
    }
    fmt::print(stderr, "velorin: la fenêtre de la carte n'est pas encore disponible ; essayez --version\n");
    return 1;
}
