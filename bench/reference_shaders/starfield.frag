// An image wrapped around the screen's centre in polar coordinates, streaming
// outwards in two layers at two speeds.
varying vec4 v;
uniform float time;
uniform float alpha;
uniform sampler2D layerTex;

void main()
{
    // The angle is undefined at the exact centre, where the weight is 0 anyway.
    if (v.x == 0.0 && v.y == 0.0) {
        gl_FragColor = vec4(0.0, 0.0, 0.0, alpha);
        return;
    }

    float dist = pow(clamp(length(vec2(v.x * 0.5, v.y)), 0.0, 1.0), 0.5);
    float weight = clamp(length(vec2(v.x * 4.0, v.y)), 0.0, 1.0);
    // Divided by 6.28 rather than 2 pi: the angle spans slightly more than one
    // turn of the texture, and repeat wrapping hides the seam.
    float angle = atan(v.y, v.x) / 6.28;

    vec4 c1 = texture2D(layerTex, vec2(angle, dist - time * 0.33));
    vec4 c2 = texture2D(layerTex, vec2(angle, dist * 1.33 - time * 0.15));
    c1 = c1 * c1.a;
    c2 = c2 * c2.a * 0.5;

    gl_FragColor = vec4((c1.rgb + c2.rgb) * weight, alpha);
}
