#version 330 core
// A terrain tile mesh vertex, placed across the tile's corners and lifted by the relief.
layout(location = 0) in vec2 uv;
layout(location = 1) in float elevation;

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
out float vDepth;
out vec3 vGround;

void main()
{
    vec2 ground = mix(mix(nw, ne, uv.x), mix(sw, se, uv.x), uv.y);
    float height = (elevation - baseElevation) * heightScale;
    float depth;
    gl_Position = projectGround(ground, height, depth);
    vUV = uv;
    vDepth = depth;
    vGround = vec3(ground, height);
}
