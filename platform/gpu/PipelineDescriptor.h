#pragma once

#include "platform/gpu/VertexLayout.h"

#include <string>
#include <utility>
#include <vector>

namespace gpu {

// What a pipeline is made of: a vertex and a fragment function of the shader library, the
// vertex buffers it reads, and where its uniform blocks and samplers are bound (OpenGL 3.3
// cannot say so in GLSL). Every pipeline blends premultiplied alpha into RGBA8 colour over
// 32-bit float depth. Plain value.
struct PipelineDescriptor {
    std::string vertexFunction;
    std::string fragmentFunction;
    std::vector<VertexLayout> vertexBuffers;
    // GLSL uniform block name → binding index given to `RenderEncoder::setBytes`.
    std::vector<std::pair<std::string, int>> uniformBlocks;
    // GLSL sampler name → texture unit given to `RenderEncoder::setTexture`.
    std::vector<std::pair<std::string, int>> textures;
};

} // namespace gpu
