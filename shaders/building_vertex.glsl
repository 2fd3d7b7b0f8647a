#version 330 core
// One vertex of a building mesh, placed in its tile and lifted by the relief; the fragment
// stage gets where it lies in the tile, its part, its wall values and its light.
layout(location = 0) in vec3 position; // metres east and south of the tile corner, elevation
layout(location = 1) in vec3 normal;
layout(location = 2) in float part;
layout(location = 3) in vec3 color;
layout(location = 4) in vec3 wall; // along the wall, height above the ground, wall length

#include "frame.glsl"

#include "tree_tile.glsl"

out vec2 vTileMeters;
out float vPart;
out vec3 vColor;
out float vLight;
out vec3 vWall;

void main()
{
    vec2 ground = origin + position.xy * pixelsPerMeter;
    float height = (position.z - baseElevation) * heightScale;
    float depth;
    gl_Position = projectGround(ground, height, depth);
    vTileMeters = position.xy;
    vPart = part;
    vColor = color;
    vLight = lightOn(normal);
    vWall = wall;
}
