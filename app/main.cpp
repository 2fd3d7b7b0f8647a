#include "app/VelorinApp.h"
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
    velorin::VelorinApp app(argc, argv);
    return app.exec();
}
