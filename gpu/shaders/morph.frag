// Placeholder until the layer programs land: declares the uniforms.
varying vec4 v;
uniform float time;
uniform float offset;
uniform float alpha;
uniform float transition;

void main()
{
    gl_FragColor = vec4(0.0 + time + offset + alpha + transition) * 0.0;
}
