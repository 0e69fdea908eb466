// Reduces a frame drawn n times larger to its own size: every pixel is the
// average of the n x n block of texels it covers, counted in whole 8-bit
// steps and rounded to nearest, halves up, so that the GPU writes the very
// bytes an exact integer average gives.
uniform sampler2D frame;
// xy: the target's lower-left corner in window pixels; zw: 1 / the frame's size.
uniform vec4 place;
uniform int n;

void main()
{
    vec2 first = floor(gl_FragCoord.xy - place.xy) * float(n);
    vec3 sum = vec3(0.0);
    for (int dy = 0; dy < 8; ++dy) {
        if (dy >= n) break;
        for (int dx = 0; dx < 8; ++dx) {
            if (dx >= n) break;
            vec3 texel = texture2D(frame, (first + vec2(dx, dy) + 0.5) * place.zw).rgb;
            sum += floor(texel * 255.0 + 0.5);
        }
    }
    float area = float(n * n);
    // The quarter step keeps a quotient that is exactly whole from landing
    // just under it when the division is done through a reciprocal.
    gl_FragColor = vec4(floor((sum + floor(area / 2.0) + 0.25) / area) / 255.0, 1.0);
}
