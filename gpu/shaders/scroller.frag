// Placeholder until the layer programs land: declares the uniforms.
varying vec4 v;
uniform float time;
uniform float alpha;
uniform sampler2D text;

void main()
{
    gl_FragColor = texture2D(text, v.xy * 0.5 + 0.5) * 0.0 + vec4(0.0 + time + alpha) * 0.0;
}
