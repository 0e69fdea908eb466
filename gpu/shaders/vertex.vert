// Shared vertex stage: positions pass through untransformed, so the quad
// glRects(-1, 1, 1, -1) covers the viewport whatever matrices are loaded,
// and v carries each fragment's normalised device position.
varying vec4 v;

void main()
{
    v = gl_Vertex;
    gl_Position = gl_Vertex;
}
