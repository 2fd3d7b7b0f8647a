// The frame's camera, shared by every vertex function, and its ground projection.
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
