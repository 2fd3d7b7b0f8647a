#pragma once

#include "renderer/TreeVertex.h"

#include <array>
#include <vector>

namespace velorin {

// The three tree meshes drawn instanced for every placed tree, for a tree of height 1
// standing on its origin: 0 the tiered cone of a conifer, 1 the three-lobed crown of a
// broadleaf, 2 a low dome of scrub. Flat lists of triangles, each vertex with its face
// normal. Any thread.
std::array<std::vector<TreeVertex>, 3> treeModels();

} // namespace velorin
