// Ray-marched object that melts from a twisted, bumpy bar into a bumpy box
// spinning about two axes. The camera is the modelview matrix current when the
// quad is drawn; rays that end beyond 50 units leave the fragment transparent.
varying vec4 v;
uniform float time;
uniform float offset;
uniform float alpha;
uniform float transition;

vec3 rotateY(vec3 p, float a)
{
    float c = cos(a);
    float s = sin(a);
    return vec3(p.x * c - p.z * s, p.y, p.x * s + p.z * c);
}

vec3 rotateX(vec3 p, float a)
{
    float c = cos(a);
    float s = sin(a);
    return vec3(p.x, p.y * c - p.z * s, p.y * s + p.z * c);
}

// Distance to the axis-aligned box of centre c and half-extents s; 0 inside.
float box(vec3 p, vec3 c, vec3 s)
{
    return length(max(abs(p - c) - s, vec3(0.0)));
}

float scene(vec3 p)
{
    // The bar's turn depends on the screen column, not on the point, so every
    // column sees the bar twisted by an angle of its own.
    vec3 twist = vec3(sin(time) * 0.5 + 0.5,
                      cos(time * 1.33) * 0.5 + 0.5,
                      sin(cos(time) * 0.5 + 0.5) * 0.5 + 0.5);
    float rfactor = twist.x * 4.0 * v.x - twist.y * 4.0 * (1.0 - v.x);
    float angle = sin(rfactor) * twist.z + rfactor * (1.0 - twist.z);
    vec3 q = rotateX(p, angle);
    float bar = box(q, vec3(0.0), vec3(200.0, 7.0, 7.0))
              + cos(q.x * 2.0) * cos(q.y * 2.0) * cos(q.z * 2.0) * offset;

    // The bumps of the box follow the unturned point, so they slide over the
    // spinning faces.
    vec3 r = rotateX(rotateY(p, time), time * 0.5);
    float cube = box(r, vec3(0.0, 4.0, 0.0), vec3(5.0)) + (cos(p.x) + cos(p.y) + cos(p.z)) * 0.5;

    return bar * (1.0 - transition) + cube * transition;
}

// Central differences of the field. Where all six samples agree (deep inside a
// flat region) there is no direction to normalise; such points are lit as a
// surface facing straight up instead of producing NaN.
vec3 getN(vec3 p)
{
    vec3 e = vec3(0.01, 0.0, 0.0);
    vec3 d = vec3(scene(p + e.xyy) - scene(p - e.xyy),
                  scene(p + e.yxy) - scene(p - e.yxy),
                  scene(p + e.yyx) - scene(p - e.yyx));
    if (all(equal(d, vec3(0.0))))
        return vec3(0.0, 1.0, 0.0);
    return normalize(d);
}

// Every ray takes all its steps: no hit threshold, no early exit, and a
// negative field value walks the point back along the ray.
vec3 Raymarche(vec3 origin, vec3 direction, int steps)
{
    vec3 p = origin;
    for (int i = 0; i < steps; i++)
        p = p + scene(p) * direction;
    return p;
}

void main()
{
    vec3 o = gl_ModelViewMatrixInverse[3].xyz;
    // Image plane one unit ahead, 90 degrees tall at a fixed 16:9 aspect,
    // whatever the viewport's shape.
    vec3 direction = normalize(gl_ModelViewMatrixInverse * vec4(v.x * 16.0 / 9.0, v.y, -1.0, 0.0)).xyz;
    vec3 p = Raymarche(o, direction, 128);

    // A ray that misses grows its steps geometrically and overflows within
    // the 128 steps, leaving p infinite or NaN. Only an end point 50 units
    // or nearer is shaded; the test is written this way round because every
    // comparison with NaN is false, so a lost ray falls to transparent too.
    if (distance(p, o) <= 50.0) {
        vec3 n = getN(p);
        // The light vector is deliberately not normalised: shade reaches ~1.1456.
        float shade = max(dot(n, vec3(-0.5, 1.0, -0.25)), 0.25);
        gl_FragColor = vec4(shade * vec3(n.y * 0.5 + 0.5, n.x * 0.5 + 0.5, n.z * 0.5 + 0.5), alpha);
    } else {
        gl_FragColor = vec4(0.0);
    }
}
