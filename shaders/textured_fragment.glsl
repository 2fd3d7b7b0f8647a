#version 330 core
// The tile's premultiplied texture, faded in by its alpha and shaded by the slope of the
// relief under it; a band's tiles leave out what lies nearer than its first depth, where a
// finer band is drawn.
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
in vec3 vGround; // ground offset in pixels (y southwards) and height in pixels
out vec4 fragColor;

// Light from the north-west, as on a shaded relief map; level ground keeps its colour.
float reliefShade()
{
    vec3 normal = cross(dFdx(vGround), dFdy(vGround));
    float length2 = dot(normal, normal);
    if (length2 == 0.0)
        return 1.0;
    normal = normal * inversesqrt(length2);
    if (normal.z < 0.0)
        normal = -normal;
    vec3 sun = normalize(vec3(-0.5, -0.5, 0.7071));
    return clamp(dot(normal, sun) / sun.z, 0.55, 1.15);
}

void main()
{
    if (vDepth < minDepth)
        discard;
    vec4 color = texture(tileTexture, vUV) * alpha;
    fragColor = vec4(color.rgb * reliefShade(), color.a);
}
