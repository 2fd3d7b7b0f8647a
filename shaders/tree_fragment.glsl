#version 330 core
// The lit leaf colour of the vertex.
in vec4 vColor;
out vec4 fragColor;

void main()
{
    fragColor = vColor;
}
