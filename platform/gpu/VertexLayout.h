#pragma once

#include <cstddef>
#include <vector>

namespace gpu {

// How an attribute's components are stored: 32-bit floats, or 16-bit integers that the
// shader reads as floats in 0…1 (unsigned) or −1…1 (signed).
enum class VertexFormat { float32, unorm16, snorm16 };

// One attribute of a vertex record, read by the GLSL as floats: the `layout(location = …)`
// it feeds, its component count (1 to 4), its byte offset in the record and its storage.
struct VertexAttribute {
    int location = 0;
    int components = 1;
    std::size_t offset = 0;
    VertexFormat format = VertexFormat::float32;

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
