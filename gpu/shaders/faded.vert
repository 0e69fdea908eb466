// Vertex stage of the layers that fade: the pass-through of vertex.vert,
// except that while the layer's `alpha` is 0 all four corners go to one
// point outside the clip volume, so the quad makes no fragments at all.
// That is exact: every fragment of such a layer has alpha 0, and with the
// blend fixed at (source alpha, one minus source alpha) it would leave the
// frame as it was. `alpha` is the same uniform the fragment stage reads.
varying vec4 v;
uniform float alpha;

void main()
{
    v = gl_Vertex;
    gl_Position = alpha == 0.0 ? vec4(2.0, 2.0, 2.0, 1.0) : gl_Vertex;
}
