#pragma once

#include <cstddef>
#include <vector>

namespace gpu {

// One float attribute of a vertex record: the GLSL `layout(location = …)` it feeds, its
// float count (1 to 4) and its byte offset in the record.
struct VertexAttribute {
    int location = 0;
    int components = 1;
    std::size_t offset = 0;

    bool operator==(const VertexAttribute&) const = default;
};

// How a pipeline reads the records of the vertex buffer bound at `slot`: their stride and
// attributes, advanced per vertex or, for instance records, per instance. Plain value.
struct VertexLayout {
    int slot = 0;
    std::size_t stride = 0;
    bool perInstance = false;
    std::vector<VertexAttribute> attributes;

    bool operator==(const VertexLayout&) const = default;
};

} // namespace gpu
