// Vertex stage of the plasma: the pass-through of vertex.vert, except that
// from 96 s of demo time all four corners go to one point outside the clip
// volume, so the quad makes no fragments. That is exact: from 96 s the
// schedule draws the starfield over it at alpha exactly 1 (its fade-in ends
// at 96 s, and it reads the clock after this layer does), and the starfield
// writes alpha 1 everywhere, which the fixed blend makes opaque.
// 96 is kStarfieldOpaque of presentation/timeline.h; a test keeps them equal.
varying vec4 v;
uniform float time;

void main()
{
    v = gl_Vertex;
    gl_Position = time >= 96.0 ? vec4(2.0, 2.0, 2.0, 1.0) : gl_Vertex;
}
