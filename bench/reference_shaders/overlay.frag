// An image over the whole viewport, unchanged but for its alpha, which the
// layer alpha scales.
varying vec4 v;
uniform float alpha;
uniform sampler2D text;

void main()
{
    gl_FragColor = texture2D(text, v.xy * 0.5 + 0.5) * vec4(1.0, 1.0, 1.0, alpha);
}
