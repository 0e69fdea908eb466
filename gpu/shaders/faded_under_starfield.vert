// Vertex stage of the morph object: draws nothing while its `alpha` is 0 (as
// faded.vert) or from 96 s of demo time, when the opaque starfield covers it
// (as under_starfield.vert); both are exact for the same reasons.
varying vec4 v;
uniform float alpha;
uniform float time;

void main()
{
    v = gl_Vertex;
    gl_Position = alpha == 0.0 || time >= 96.0 ? vec4(2.0, 2.0, 2.0, 1.0) : gl_Vertex;
}
