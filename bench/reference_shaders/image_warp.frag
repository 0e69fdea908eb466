// An image that settles out of a diagonal cosine warp as its alpha rises; at
// alpha 1 it lies undistorted.
varying vec4 v;
uniform float alpha;
uniform sampler2D tex;

void main()
{
    float w = cos(v.x * 3.0 + v.y * 3.0) * 0.5 * (1.0 - alpha) * 0.75;
    vec2 c = v.xy * 0.5 + 0.5 + vec2(w, w);
    gl_FragColor = texture2D(tex, c) * vec4(1.0, 1.0, 1.0, alpha);
}
