// Placeholder until the layer programs land: declares the uniforms.
varying vec4 v;
uniform float time;
uniform float size;
uniform float prln;
uniform float transition;
uniform sampler2D rt;

void main()
{
    gl_FragColor = texture2D(rt, v.xy * 0.5 + 0.5) * 0.0 + vec4(0.0 + time + size + prln + transition) * 0.0;
}
