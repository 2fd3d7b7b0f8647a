// The tile of trees or buildings being drawn, and the light on their faces.
layout(std140) uniform TreeTile {
    vec2 origin;
    float pixelsPerMeter;
    float shape;
    vec4 leafA;
    vec4 leafB;
    vec2 eye;
};

// Soft light from the south-east and above, so that slopes and crowns read in 3D.
float lightOn(vec3 normal)
{
    vec3 sun = normalize(vec3(0.35, 0.45, 0.82));
    return 0.55 + 0.45 * max(dot(normalize(normal), sun), 0.0);
}
