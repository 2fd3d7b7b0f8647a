#version 330 core
// The lit colour of the building's face.
in vec4 vColor;
out vec4 fragColor;

void main()
{
    fragColor = vColor;
}
