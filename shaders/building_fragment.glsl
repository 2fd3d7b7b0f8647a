#version 330 core
// A building's lit face. Roofs near the camera on an aerial basemap show the photo of their
// cell of the tile quarter; other roofs and walls keep their colour, and the long walls of
// dwellings get storeys of windows, which fade into the wall where a window would be too
// small on the screen to be more than a shimmering speck.
in vec2 vTileMeters;
in float vPart;
in vec3 vColor;
in float vLight;
in vec3 vWall; // along the wall, height above the ground, wall length (0: no façade)
out vec4 fragColor;

// Record 0: cell size in metres, photos used (1) or not, the quarter's west and north edges
// in tile metres; then one record a cell, row by row from the north: where the cell lies in
// its photo (u, v, size), size 0 without a photo.
layout(std140) uniform Roofs {
    vec4 roofs[17];
};

uniform sampler2D roofPhotos[16];

const float kStoreyMeters = 3.0;
const float kWindowBottom = 0.9;
const float kWindowTop = 2.1;
const float kWindowSpacingMeters = 3.0;
const float kWindowShare = 0.4;
const vec3 kWindowColor = vec3(0.23, 0.26, 0.30);
// Windows smaller than this many pixels are not drawn; from the second size on, fully.
const float kWindowHiddenPixels = 1.5;
const float kWindowShownPixels = 3.0;

// GLSL 3.30 indexes sampler arrays only with constants.
vec3 photo(int cell, vec2 uv)
{
    switch (cell) {
    case 0:
        return textureLod(roofPhotos[0], uv, 0.0).rgb;
    case 1:
        return textureLod(roofPhotos[1], uv, 0.0).rgb;
    case 2:
        return textureLod(roofPhotos[2], uv, 0.0).rgb;
    case 3:
        return textureLod(roofPhotos[3], uv, 0.0).rgb;
    case 4:
        return textureLod(roofPhotos[4], uv, 0.0).rgb;
    case 5:
        return textureLod(roofPhotos[5], uv, 0.0).rgb;
    case 6:
        return textureLod(roofPhotos[6], uv, 0.0).rgb;
    case 7:
        return textureLod(roofPhotos[7], uv, 0.0).rgb;
    case 8:
        return textureLod(roofPhotos[8], uv, 0.0).rgb;
    case 9:
        return textureLod(roofPhotos[9], uv, 0.0).rgb;
    case 10:
        return textureLod(roofPhotos[10], uv, 0.0).rgb;
    case 11:
        return textureLod(roofPhotos[11], uv, 0.0).rgb;
    case 12:
        return textureLod(roofPhotos[12], uv, 0.0).rgb;
    case 13:
        return textureLod(roofPhotos[13], uv, 0.0).rgb;
    case 14:
        return textureLod(roofPhotos[14], uv, 0.0).rgb;
    case 15:
        return textureLod(roofPhotos[15], uv, 0.0).rgb;
    }
    return vec3(0.0);
}

void main()
{
    // The window grid, in storeys up the wall and window bays along it. Its derivatives are
    // taken here, where every fragment of the quad runs: each window's size on the screen.
    float windows = vWall.z > 0.0 ? max(1.0, floor(vWall.z / kWindowSpacingMeters)) : 1.0;
    vec2 grid = vec2(vWall.x / max(vWall.z, 1e-3) * windows, vWall.y / kStoreyMeters);
    vec2 perPixel = fwidth(grid);
    float windowPixels = min(kWindowShare / max(perPixel.x, 1e-6),
        (kWindowTop - kWindowBottom) / kStoreyMeters / max(perPixel.y, 1e-6));
    float shown = smoothstep(kWindowHiddenPixels, kWindowShownPixels, windowPixels);

    vec3 colour = vColor;
    if (vPart > 0.5) {
        vec4 header = roofs[0];
        if (header.y > 0.5) {
            vec2 inQuarter = (vTileMeters - header.zw) / header.x;
            ivec2 at = clamp(ivec2(floor(inQuarter)), ivec2(0), ivec2(3));
            int cell = at.y * 4 + at.x;
            vec4 record = roofs[cell + 1];
            if (record.z > 0.0)
                colour = photo(cell, record.xy + clamp(inQuarter - vec2(at), 0.0, 1.0) * record.z);
        }
    } else if (vWall.z > 0.0 && vWall.y > 0.0) {
        float storey = fract(grid.y) * kStoreyMeters;
        float across = fract(grid.x);
        if (storey > kWindowBottom && storey < kWindowTop && abs(across - 0.5) < kWindowShare / 2.0)
            colour = mix(colour, kWindowColor, shown);
    }
    fragColor = vec4(colour * vLight, 1.0);
}
