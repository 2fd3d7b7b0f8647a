#version 330 core
// A terrain tile mesh vertex, placed across the tile's corners and lifted by the relief.
// Its stored depth is scaled by the tile's drawing level, so that where two tiles cover the
// same ground the finer one stays in front, and the ancestor standing in for a missing tile
// (forty levels down) stays behind every tile of its own.
layout(location = 0) in vec2 uv;
layout(location = 1) in float elevation;
layout(location = 2) in vec2 slope; // a share of the steepest slope stored

#include "frame.glsl"

layout(std140) uniform Tile {
    vec2 nw;
    vec2 ne;
    vec2 se;
    vec2 sw;
    float alpha;
    float level;
    float minDepth;
    vec2 canopyOrigin;
    vec2 canopySpan;
    float bumps;
    float canopyTexel;
};

out vec2 vUV;
out float vFlatDepth;
out vec2 vSlope;

// Levels above the finest tile level (overlays) come nearer, levels below it go farther.
const float kFinestTileLevel = 20.0;
// Metres up per metre of the steepest slope a mesh vertex stores.
const float kMaxSlope = 8.0;

void main()
{
    vec2 ground = mix(mix(nw, ne, uv.x), mix(sw, se, uv.x), uv.y);
    float height = (elevation - baseElevation) * heightScale;
    float depth;
    gl_Position = projectGround(ground, height, depth);
    gl_Position.z *= 1.0 + (level - kFinestTileLevel) * epsilon;
    vUV = uv;
    vFlatDepth = depth + height * pitchCos;
    vSlope = slope * kMaxSlope;
}
