// A window three tenths of the image wide, stretched over the viewport; it
// stands still over the image's left edge until 105 s of demo time and then
// slides right, wrapping round the image.
varying vec4 v;
uniform float time;
uniform float alpha;
uniform sampler2D text;

void main()
{
    vec2 base = v.xy * 0.5 + 0.5;
    vec2 c = vec2(base.x * 0.3 + max(0.0, time - 105.0) * 0.046, base.y * 1.0);
    gl_FragColor = texture2D(text, c) * vec4(1.0, 1.0, 1.0, alpha);
}
