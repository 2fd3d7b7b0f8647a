#version 330 core
// The tile's premultiplied texture, faded in by its alpha and shaded by the slope of the
// relief under it; a band's tiles leave out the ground nearer than its first depth, where a
// finer band is drawn. That depth is measured on the flat ground, as the bands are laid out:
// measured on the relief, a slope rising towards the eye would be cut out of the coarser
// band without lying in the finer one.
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

uniform sampler2D tileTexture;

in vec2 vUV;
in float vFlatDepth;
in vec2 vSlope; // metres up per metre, eastwards and southwards
out vec4 fragColor;

// Light from the north-west, as on a shaded relief map; level ground keeps its colour. The
// slope is flattened as the relief is drawn: by the sine of the pitch over that of 75°,
// whole from 75° on, so the shading follows the relief the walker sees.
float reliefShade()
{
    float flattening = min(pitchSin / 0.9659258262890683, 1.0);
    vec3 normal = normalize(vec3(-vSlope * flattening, 1.0));
    vec3 sun = normalize(vec3(-0.5, -0.5, 0.7071));
    return clamp(dot(normal, sun) / sun.z, 0.55, 1.15);
}

void main()
{
    if (vFlatDepth < minDepth)
        discard;
    vec4 color = texture(tileTexture, vUV) * alpha;
    fragColor = vec4(color.rgb * reliefShade(), color.a);
}
