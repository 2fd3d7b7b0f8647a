#version 330 core
// The tile's premultiplied texture, faded in by its alpha; a band's tiles leave out what
// lies nearer than its first depth, where a finer band is drawn.
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
in float vDepth;
out vec4 fragColor;

void main()
{
    if (vDepth < minDepth)
        discard;
    fragColor = texture(tileTexture, vUV) * alpha;
}
