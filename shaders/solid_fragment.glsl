#version 330 core
// The vertex's premultiplied colour.
in vec4 vColor;
out vec4 fragColor;

void main()
{
    fragColor = vColor;
}
