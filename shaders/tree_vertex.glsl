#version 330 core
// One vertex of a tree model, scaled to the tree's height and stood on the ground at its
// place in the tile, coloured from the leaf pair by the tree's shade.
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 place;
layout(location = 3) in float elevation;
layout(location = 4) in float treeHeight;
layout(location = 5) in float shade;

#include "frame.glsl"

#include "tree_tile.glsl"

out vec4 vColor;

void main()
{
    vec2 ground = origin + (place + position.xy * treeHeight) * pixelsPerMeter;
    float height = (elevation + position.z * treeHeight - baseElevation) * heightScale;
    float depth;
    gl_Position = projectGround(ground, height, depth);
    vColor = vec4(mix(leafA.rgb, leafB.rgb, clamp(shade, 0.0, 1.0)) * lightOn(normal), 1.0);
}
