#include "GpuTestSupport.h"

#include "platform/gpu/GpuError.h"
#include "testing/TemporaryFolder.h"

#include <fstream>
#include <string>

using namespace gpu;
using testing_support::GpuTest;

using PipelineTest = GpuTest;

TEST_F(PipelineTest, MissingOrFailingFunctionIsAnErrorNamingItWithTheCompilerLog)
{
    struct Case {
        const char* vertex;
        const char* fragment;
        std::vector<std::string> fragments; // the message holds each
    };
    const Case cases[] = {
        {"solid_vertex", "building_fragment", {"building_fragment", "introuvable"}},
        {"tree_vertex", "solid_fragment", {"tree_vertex", "introuvable"}},
        {"../shaders/solid_vertex", "solid_fragment", {"../shaders/solid_vertex", "introuvable"}},
        {"solid_vertex", "broken_fragment", {"broken_fragment", "undeclaredColour"}},
    };
    for (const Case& c : cases) {
        PipelineDescriptor descriptor = solidDescriptor();
        descriptor.vertexFunction = c.vertex;
        descriptor.fragmentFunction = c.fragment;
        try {
            Pipeline pipeline(*context, library, descriptor);
            ADD_FAILURE() << c.vertex << " + " << c.fragment << " made a pipeline";
        } catch (const GpuError& error) {
            for (const std::string& fragment : c.fragments)
                EXPECT_NE(std::string(error.what()).find(fragment), std::string::npos) << error.what();
        }
    }
}

TEST(ShaderLibraryTest, FindsAFunctionByNameInItsFolder)
{
    ShaderLibrary library(std::filesystem::path(VELORIN_FIXTURES) / "shaders");
    const auto source = library.source("solid_fragment");
    ASSERT_TRUE(source);
    EXPECT_EQ(source->rfind("#version 330 core", 0), 0u);
    EXPECT_FALSE(library.source("Solid_Fragment"));
    EXPECT_FALSE(library.source(""));
}

TEST(ShaderLibraryTest, ExpandsSharedFilesOneLevelDeepAndRefusesBadOnes)
{
    testing_support::TemporaryFolder folder;
    auto write = [&](const char* name, const char* text) { std::ofstream(folder / name) << text; };
    write("shared.glsl", "uniform float a;");
    write("nested.glsl", "#include \"shared.glsl\"\n");
    write("good.glsl", "#version 330 core\n#include \"shared.glsl\"\r\nvoid main() {}\n");
    write("missing.glsl", "#include \"absent.glsl\"\n");
    write("twice.glsl", "#include \"nested.glsl\"\n");
    write("escape.glsl", "#include \"../good.glsl\"\n");
    ShaderLibrary library(folder.path());
    EXPECT_EQ(library.source("good"), "#version 330 core\nuniform float a;\nvoid main() {}\n");
    for (const char* bad : {"missing", "twice", "escape"})
        EXPECT_FALSE(library.source(bad)) << bad;
}
