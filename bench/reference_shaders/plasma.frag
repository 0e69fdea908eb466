// Background plasma: a fine and a broad cosine stripe field plus five octaves
// of texture noise, coloured by a sine palette whose phases drift with time.
// "transition" bends x into a curve mirrored about the centre line, sets the
// noise drifting and fades the layer out towards that line.
varying vec4 v;
uniform float time;
uniform float size;
uniform float prln;
uniform float transition;
uniform sampler2D rt;

vec3 pattern(float t)
{
    return vec3(sin(t + sin(time * 0.5)),
                sin(t + 0.33 + cos(time * 0.58)),
                sin(t + 0.66 + cos(sin(time))));
}

// Only the red channel of the noise texture is read; coordinates far outside
// 0..1 rely on the texture's repeat wrapping.
float perlin(vec2 q)
{
    float shift = time * transition * -4.0;
    q += vec2(shift, shift);
    return 0.5 * texture2D(rt, q * 0.5).r
         + 0.25 * texture2D(rt, q * 1.0).r
         + 0.125 * texture2D(rt, q * 2.0).r
         + 0.0625 * texture2D(rt, q * 4.0).r
         + 0.03125 * texture2D(rt, q * 8.0).r;
}

void main()
{
    // sqrt(sqrt()) is the fourth root, and is 0 at v.x = 0 where pow() with a
    // zero base may not be.
    float x = v.x * (1.0 - transition) + sqrt(sqrt(abs(v.x))) * transition;
    float y = v.y;

    float s1 = cos(x * (sin(time * 0.5) * 0.3 + 0.7) * 62.8 * size + time);
    float s2 = cos(y * (sin(time * 0.57) * 0.15 + 0.85) * 6.28 * size + time * 0.314 * 3.0);
    float t = (s2 + s1) * 0.5 + prln * size * 8.0 * perlin(vec2(x * 10.0, y));

    // Written unclamped: the colour buffer clamps the palette's negative half.
    float k = transition * 2.0 * clamp(x - 0.5, 0.0, 1.0) + (1.0 - transition);
    gl_FragColor = vec4(pattern(t), 1.0) * k;
}
