#version 330 core
// A terrain tile mesh vertex, placed across the tile's corners and lifted by the relief.
layout(location = 0) in vec2 uv;
layout(location = 1) in float elevation;

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
