#version 330 core
// One vertex of a tree model, scaled to the tree's height and stood on the ground at its
// place in the tile, coloured from the leaf pair by the tree's shade.
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 place;
layout(location = 3) in float elevation;
layout(location = 4) in float treeHeight;
layout(location = 5) in float shade;

layout(std140) uniform Frame {
    float bearingCos;
    float bearingSin;
    float pitchSin;
    float pitchCos;
    float focal;
    float halfWidth;
    float halfHeight;
    float heightScale;
    float baseElevation;
    float near;
    float epsilon;
    float distanceLimit;
    float eyeDistance;
    float photoRelief;
    float bumpFadeStart;
    float bumpFadeEnd;
    float bumpNearStart;
    float bumpNearEnd;
};

layout(std140) uniform TreeTile {
    vec2 origin;
    float pixelsPerMeter;
    float shape;
    vec4 leafA;
    vec4 leafB;
    vec2 eye;
};

out vec4 vColor;

// A ground offset from the camera centre (world pixels, y southwards) at a height (pixels),
// turned by the bearing and seen in perspective. Clip z is the near distance and w the
// view depth, so the stored depth is near / depth: 1 at the near plane, towards 0 far away.
vec4 projectGround(vec2 ground, float height, out float depth)
{
    float x = ground.x * bearingCos + ground.y * bearingSin;
    float y = ground.y * bearingCos - ground.x * bearingSin;
    depth = focal - y * pitchSin - height * pitchCos;
    return vec4(x * focal / halfWidth, -(y * pitchCos - height * pitchSin) * focal / halfHeight, near, depth);
}

// Soft light from the south-east and above, so that slopes and crowns read in 3D.
float lightOn(vec3 normal)
{
    vec3 sun = normalize(vec3(0.35, 0.45, 0.82));
    return 0.55 + 0.45 * max(dot(normalize(normal), sun), 0.0);
}

void main()
{
    vec2 ground = origin + (place + position.xy * treeHeight) * pixelsPerMeter;
    float height = (elevation + position.z * treeHeight - baseElevation) * heightScale;
    float depth;
    gl_Position = projectGround(ground, height, depth);
    vColor = vec4(mix(leafA.rgb, leafB.rgb, clamp(shade, 0.0, 1.0)) * lightOn(normal), 1.0);
}
