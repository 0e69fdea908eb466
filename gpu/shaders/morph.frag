// Ray-marched object that melts from a twisted, bumpy bar into a bumpy box
// spinning about two axes. The camera is the modelview matrix current when the
// quad is drawn; rays that end beyond 50 units leave the fragment transparent.
varying vec4 v;
uniform float time;
uniform float offset;
uniform float alpha;
uniform float transition;

// Cosine and sine of the rotations, computed once per fragment in main(): the
// bar's twist angle depends only on time and the screen column v.x, the box's
// two angles only on time, so they are the same at every point of a ray.
vec2 barTurn;   // (cos, sin) of the twist angle, about X
vec2 barTurn2;  // barTurn * 2.0, for the bumps' arguments
vec2 boxTurnY;  // (cos, sin) of time, about Y
vec2 boxTurnX;  // (cos, sin) of time * 0.5, about X

vec3 rotateY(vec3 p, vec2 cs)
{
    return vec3(p.x * cs.x - p.z * cs.y, p.y, p.x * cs.y + p.z * cs.x);
}

vec3 rotateX(vec3 p, vec2 cs)
{
    return vec3(p.x, p.y * cs.x - p.z * cs.y, p.y * cs.y + p.z * cs.x);
}

vec2 turn(float a)
{
    return vec2(cos(a), sin(a));
}

// Distance to the axis-aligned box of centre c and half-extents s; 0 inside.
float box(vec3 p, vec3 c, vec3 s)
{
    return length(max(abs(p - c) - s, vec3(0.0)));
}

// The twisted bar: a long box turned about X, covered in bumps of height
// `offset` that follow the turned point.
//
// Every step of the bar's march waits for the one before, so what counts is
// the length of that chain, and two multiplications come off it exactly:
// - The bumps need the turned point doubled. Doubling is exact in binary
//   floating point, so turning p by (2 cos, 2 sin) gives 2 * q.y and 2 * q.z
//   bit for bit, one multiplication sooner; q.x is p.x, doubled directly.
//   (Only values of the order of 1e38 or 1e-38 could round differently; the
//   first belong to lost rays, the second are cosines of 1 either way.)
// - Times an offset of exactly 1 (from 50.17 s) the product is itself.
float barField(vec3 p)
{
    vec3 q = rotateX(p, barTurn);
    vec3 doubled = rotateX(p * vec3(2.0, 1.0, 1.0), barTurn2);
    float bumps = cos(doubled.x) * cos(doubled.y) * cos(doubled.z);
    return box(q, vec3(0.0), vec3(200.0, 7.0, 7.0)) + (offset == 1.0 ? bumps : bumps * offset);
}

// The spinning box. Its bumps follow the unturned point, so they slide over
// the spinning faces.
float boxField(vec3 p)
{
    vec3 r = rotateX(rotateY(p, boxTurnY), boxTurnX);
    return box(r, vec3(0.0, 4.0, 0.0), vec3(5.0)) + (cos(p.x) + cos(p.y) + cos(p.z)) * 0.5;
}

float scene(vec3 p)
{
    return barField(p) * (1.0 - transition) + boxField(p) * transition;
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

// The march: p = origin, then 128 times p = p + scene(p) * direction. There
// is no hit threshold, and a negative field value walks the point back along
// the ray; on the bumpy bar the points never settle, and the picture depends
// on every step. What is left out below changes no end point:
//
// - With transition exactly 0 the field is bar * 1.0 + box * 0.0, which is
//   the bar's value itself (the box term is +0 or -0 for every finite point),
//   and with transition exactly 1 it is the box's; so those stretches march
//   one shape only. A point that is no longer finite is lost either way (see
//   below).
// - Settling: a march that comes back to a point it was at k steps before
//   repeats with period k from there on, because each step depends on the
//   point alone. A step that leaves the point where it was (period 1) means
//   it has settled; so does a chunk of 4 steps that ends where it began, as
//   128 is a multiple of 4 and the 128th point is then that same point.
// - Escaping, first way: the field is never below -lowest (the boxes'
//   distances are >= 0, the bar's bumps >= -offset, the box's >= -1.5, and
//   transition weighs the two), so with the direction of unit length no step
//   brings the point more than `lowest` closer to the eye. A point further
//   from the eye than 50 + lowest * (steps left) + 1 (the 1 covers rounding)
//   therefore ends beyond the 50-unit cut-off, and the fragment is
//   transparent. The test is written so that NaN passes it too: a component
//   that is NaN or infinite stays so through every later step, and such an
//   end point is cut off too.
// - Escaping, second way: the bar's box lies within 7 * sqrt(2) < 9.9 of the
//   X axis, so the bar's field is at least length(p.yz) - 9.9 - |offset|
//   (turning about X keeps that length); the box lies within
//   4 + 5 * sqrt(3) < 12.7 of the origin (turning keeps lengths), so the
//   box's field is at least length(p) - 12.7 - 1.5. Where the rest of the
//   ray, from the point on, never comes within 11 + |offset| of the X axis
//   (for the bar) nor within 15.5 of the origin (for the box), the field is
//   more than 1.1 at every point it can reach, so every later step moves the
//   point forward by more than 1, and never back. A point `ahead` of the eye
//   with n steps left then ends more than ahead + n from it; when that is 51
//   or more, it ends beyond the cut-off. Checked before the first step, this
//   drops the rays that pass the shape by without marching them; the margin
//   of 0.1 per step covers rounding.
//
// Each march returns the end point, or a point at infinite distance for a ray
// that provably ends beyond the cut-off.
//
// Shape of the loops: the driver runs a group of fragments through a loop
// until all of them have left it, and runs the body of a loop that none of
// them takes once. The bar marches in chunks of 4 steps, which the compiler
// unrolls: the cheapest loop for the bumpy bar, whose rays take all 128 steps.
// The box and the blend march step by step, so that skipping them costs one
// step where a chunk would cost four.
const int kSteps = 128;
const int kChunkSteps = 4;
const vec3 kLost = vec3(1.0e30);

float lowest;         // -lowest is the least the field can be; set in main()
float barClearance;   // 11 + |offset|: beyond it from the X axis the bar's field is > 1.1
float boxClearance;   // 15.5: beyond it from the origin the box's field is > 1.3

// True when the march, `stepsDone` steps in, at p, provably ends beyond the
// cut-off (see above for both ways).
//
// Both ways hold for a point ahead of the eye only: every point of a march
// lies on the ray, at `ahead` = dot(p - origin, direction) from the eye, and
// a point behind the eye could be carried forward past it by one large
// positive step. So `ahead` is what is compared, never the plain distance.
bool endsBeyondCutOff(vec3 p, vec3 origin, vec3 direction, int stepsDone)
{
    float ahead = dot(p - origin, direction);
    float stepsLeft = float(kSteps - stepsDone);
    float limit = 51.0 + lowest * stepsLeft;
    // Squared nearest approach of the rest of the ray to the X axis (times
    // |direction.yz|^2, to need no division) and to the origin: where the ray
    // moves away already, the point itself is the nearest.
    float barAlong = min(dot(p.yz, direction.yz), 0.0);
    float barAcross = dot(p.yz, p.yz) * dot(direction.yz, direction.yz) - barAlong * barAlong;
    float boxAlong = min(dot(p, direction), 0.0);
    float boxAcross = dot(p, p) - boxAlong * boxAlong;
    bool barGone = transition == 1.0
                || barAcross > barClearance * barClearance * dot(direction.yz, direction.yz);
    bool boxGone = transition == 0.0 || boxAcross > boxClearance * boxClearance;
    return !(ahead <= limit) || (ahead + stepsLeft >= 51.0 && barGone && boxGone);
}

vec3 marchBar(vec3 origin, vec3 direction)
{
    vec3 p = origin;
    if (endsBeyondCutOff(p, origin, direction, 0))
        return kLost;
    for (int chunk = 0; chunk < kSteps / kChunkSteps; chunk++) {
        vec3 chunkStart = p;
        for (int i = 0; i < kChunkSteps; i++)
            p = p + barField(p) * direction;
        if (all(equal(p, chunkStart)))
            break;
        if (endsBeyondCutOff(p, origin, direction, (chunk + 1) * kChunkSteps))
            return kLost;
    }
    return p;
}

vec3 marchBox(vec3 origin, vec3 direction)
{
    vec3 p = origin;
    if (endsBeyondCutOff(p, origin, direction, 0))
        return kLost;
    for (int i = 0; i < kSteps; i++) {
        vec3 next = p + boxField(p) * direction;
        if (all(equal(next, p)))
            break;
        p = next;
        if (endsBeyondCutOff(p, origin, direction, i + 1))
            return kLost;
    }
    return p;
}

vec3 marchBlend(vec3 origin, vec3 direction)
{
    vec3 p = origin;
    if (endsBeyondCutOff(p, origin, direction, 0))
        return kLost;
    for (int i = 0; i < kSteps; i++) {
        vec3 next = p + scene(p) * direction;
        if (all(equal(next, p)))
            break;
        p = next;
        if (endsBeyondCutOff(p, origin, direction, i + 1))
            return kLost;
    }
    return p;
}

vec3 Raymarche(vec3 origin, vec3 direction)
{
    if (transition == 0.0)
        return marchBar(origin, direction);
    if (transition == 1.0)
        return marchBox(origin, direction);
    return marchBlend(origin, direction);
}

void main()
{
    // Blending is fixed at (source alpha, one minus source alpha): a fragment
    // of alpha 0 leaves the frame as it was whatever its colour, so while the
    // layer is invisible (before 25 s) nothing needs marching.
    if (alpha == 0.0) {
        gl_FragColor = vec4(0.0);
        return;
    }

    // The bar turns about its length by an angle of the screen column.
    vec3 twist = vec3(sin(time) * 0.5 + 0.5,
                      cos(time * 1.33) * 0.5 + 0.5,
                      sin(cos(time) * 0.5 + 0.5) * 0.5 + 0.5);
    float rfactor = twist.x * 4.0 * v.x - twist.y * 4.0 * (1.0 - v.x);
    barTurn = turn(sin(rfactor) * twist.z + rfactor * (1.0 - twist.z));
    barTurn2 = barTurn * 2.0;
    boxTurnY = turn(time);
    boxTurnX = turn(time * 0.5);
    // The bounds hold for a transition from 0 to 1, the schedule's range;
    // outside it the weights can be negative, and no ray is cut short.
    bool weighed = transition >= 0.0 && transition <= 1.0;
    lowest = weighed ? abs(offset) * (1.0 - transition) + 1.5 * transition : 1.0e30;
    barClearance = weighed ? 11.0 + abs(offset) : 1.0e30;
    boxClearance = weighed ? 15.5 : 1.0e30;

    vec3 o = gl_ModelViewMatrixInverse[3].xyz;
    // Image plane one unit ahead, 90 degrees tall at a fixed 16:9 aspect,
    // whatever the viewport's shape.
    vec3 direction = normalize(gl_ModelViewMatrixInverse * vec4(v.x * 16.0 / 9.0, v.y, -1.0, 0.0)).xyz;
    vec3 p = Raymarche(o, direction);

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
