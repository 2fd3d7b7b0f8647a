#include "RendererTestSupport.h"

#include "testing/TemporaryFolder.h"

#include <filesystem>
#include <fstream>
#include <set>

using testing_support::RendererTest;
using velorin::Basemap;
using velorin::Camera;
using velorin::MapRenderer;

using MapRendererSetUp = RendererTest;

TEST_F(MapRendererSetUp, StartsWithTheDefaultOptionsThirteenIndexGridsAndTheThreeTreeMeshes)
{
    EXPECT_TRUE(renderer->showsTrees);
    EXPECT_EQ(renderer->basemap, Basemap::top25);
    EXPECT_EQ(renderer->contentScale, 3.0);

    std::set<int> keys;
    for (const auto& [key, grid] : renderer->gridIndices()) {
        keys.insert(key);
        EXPECT_TRUE(grid.buffer);
        EXPECT_EQ(grid.buffer->size(), std::size_t(grid.count) * sizeof(std::uint32_t));
    }
    EXPECT_EQ(keys, (std::set<int>{-256, -128, -64, -48, -32, -16, 1, 16, 32, 48, 64, 128, 256}))
        << "every division count of the relief also skirted";
    EXPECT_EQ(renderer->gridIndices().at(1).count, 6);
    EXPECT_EQ(renderer->gridIndices().at(-64).count, 26'112);

    const int expectedVertices[] = {234, 600, 168};
    for (std::size_t model = 0; model < 3; ++model)
        EXPECT_EQ(renderer->treeMeshes()[model].count, expectedVertices[model]);
}

TEST_F(MapRendererSetUp, AShaderLibraryMissingAnyOneFunctionMakesNoRenderer)
{
    const char* functions[] = {"textured_vertex", "textured_fragment", "solid_vertex", "solid_fragment",
        "tree_vertex", "tree_fragment", "building_vertex", "building_fragment"};
    for (const char* missing : functions) {
        testing_support::TemporaryFolder folder;
        for (const char* function : functions) {
            if (std::string_view(function) != missing) {
                const std::string file = std::string(function) + ".glsl";
                std::filesystem::copy_file(library.folder() / file, folder / file);
            }
        }
        EXPECT_FALSE(rendererWith(gpu::ShaderLibrary(folder.path()))) << missing;
    }
}

TEST_F(MapRendererSetUp, AShaderThatDoesNotCompileMakesNoRenderer)
{
    testing_support::TemporaryFolder folder;
    for (const auto& entry : std::filesystem::directory_iterator(library.folder()))
        std::filesystem::copy_file(entry.path(), folder / entry.path().filename());
    std::ofstream(folder / "tree_fragment.glsl") << "#version 330 core\nvoid main() { undefined(); }\n";
    EXPECT_FALSE(rendererWith(gpu::ShaderLibrary(folder.path())));
}
