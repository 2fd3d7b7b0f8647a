#version 330 core
// A terrain tile mesh vertex, placed across the tile's corners and lifted by the relief and,
// near the eye on aerial photos, by the forest canopy under it, which also tilts its shading.
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

uniform sampler2D canopyTexture;

out vec2 vUV;
out float vFlatDepth;
out vec2 vSlope;

// Levels above the finest tile level (overlays) come nearer, levels below it go farther.
const float kFinestTileLevel = 20.0;
// Metres up per metre of the steepest slope a mesh vertex stores.
const float kMaxSlope = 8.0;
// Canopy heights are centimetres in 16 bits: the texel's 0…1 spans 0…655.35 m.
const float kCanopyMetersPerUnit = 655.35;

float canopyAt(vec2 at)
{
    return textureLod(canopyTexture, at, 0.0).r * kCanopyMetersPerUnit;
}

// 0 out of reach, rising from the near distances and falling over the far ones.
float canopyFade(float flatDepth)
{
    float rise = smoothstep(bumpNearStart, max(bumpNearEnd, bumpNearStart + 0.001), flatDepth);
    float fall = smoothstep(bumpFadeStart, max(bumpFadeEnd, bumpFadeStart + 0.001), flatDepth);
    return rise * (1.0 - fall);
}

void main()
{
    vec2 ground = mix(mix(nw, ne, uv.x), mix(sw, se, uv.x), uv.y);
    float flatDepth = focal - (ground.y * bearingCos - ground.x * bearingSin) * pitchSin;
    float lift = 0.0;
    vec2 canopySlope = vec2(0.0);
    if (bumps > 0.0) {
        float share = bumps * canopyFade(flatDepth);
        vec2 at = canopyOrigin + uv * canopySpan;
        vec2 step = 1.0 / vec2(textureSize(canopyTexture, 0));
        lift = share * canopyAt(at);
        // Rises across two texels eastwards and southwards, canopyTexel metres each.
        vec2 rise = vec2(canopyAt(at + vec2(step.x, 0.0)) - canopyAt(at - vec2(step.x, 0.0)),
            canopyAt(at + vec2(0.0, step.y)) - canopyAt(at - vec2(0.0, step.y)));
        canopySlope = share * rise / (2.0 * max(canopyTexel, 0.01));
    }
    float height = (elevation + lift - baseElevation) * heightScale;
    float depth;
    gl_Position = projectGround(ground, height, depth);
    gl_Position.z *= 1.0 + (level - kFinestTileLevel) * epsilon;
    vUV = uv;
    vFlatDepth = flatDepth;
    vSlope = slope * kMaxSlope + canopySlope;
}
