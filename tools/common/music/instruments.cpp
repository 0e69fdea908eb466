// The soundtrack's instruments: oscillators, filters, envelopes and the voice of every part.
#include "tools/common/music/instruments.h"

#include <cstdint>

#include "tools/common/rng.h"

namespace music {
namespace {

// How many of a voice's `len` samples from sample `a` the track of `size`
// samples holds: a voice is rendered only there, however far the score
// places or draws it out.
size_t within(size_t a, size_t len, size_t size) { return a < size ? std::min(len, size - a) : 0; }

float midiHz(float note) { return 440.0f * std::pow(2.0f, (note - 69.0f) / 12.0f); }

// Removes the aliasing step of a naive sawtooth (polynomial band-limited step).
float polyBlep(float t, float dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0f;
  }
  if (t > 1.0f - dt) {
    t = (t - 1.0f) / dt;
    return t * t + t + t + 1.0f;
  }
  return 0.0f;
}

struct Saw {
  float phase = 0.0f;
  float next(float hz) {
    const float dt = hz / kRate;
    const float v = 2.0f * phase - 1.0f - polyBlep(phase, dt);
    phase += dt;
    if (phase >= 1.0f) phase -= 1.0f;
    return v;
  }
};

struct Pulse {
  float phase = 0.0f;
  float next(float hz, float width) {
    const float dt = hz / kRate;
    float p2 = phase + width;
    if (p2 >= 1.0f) p2 -= 1.0f;
    const float v = (2.0f * phase - polyBlep(phase, dt)) - (2.0f * p2 - polyBlep(p2, dt));
    phase += dt;
    if (phase >= 1.0f) phase -= 1.0f;
    return v;
  }
};

// Linear attack-decay-sustain with a linear release from wherever the note
// was when it ended.
struct Adsr {
  float a, d, s, r;
  float held(float t) const {
    if (t < a) return t / a;
    if (t < a + d) return 1.0f - (1.0f - s) * (t - a) / d;
    return s;
  }
  float at(float t, float dur) const {
    if (t < dur) return held(t);
    return held(dur) * std::max(0.0f, 1.0f - (t - dur) / r);
  }
};

void renderPad(Stereo& out, const Note& n) {
  const Adsr env{0.7f, 0.6f, 0.8f, 1.4f};
  const float hz = midiHz(n.midi);
  // Two saws per side, detuned differently left and right for width, over
  // a saw at the note's own pitch in both: the centre that keeps the chord
  // when the two sides are summed to mono.
  const float detune[4] = {-0.09f, 0.05f, -0.04f, 0.10f};
  Saw osc[4], centre;
  centre.phase = 0.5f;
  float freq[4];
  for (int i = 0; i < 4; ++i) {
    osc[i].phase = static_cast<float>(i) * 0.23f;
    freq[i] = hz * std::pow(2.0f, detune[i] / 12.0f);
  }
  const size_t a = toSample(n.t), len = within(a, toSample(n.dur + env.r), out.size());
  const float panL = 1.0f - std::max(0.0f, n.pan), panR = 1.0f + std::min(0.0f, n.pan);
  for (size_t i = 0; i < len; ++i) {
    const float t = static_cast<float>(i) / kRate;
    const float e = env.at(t, static_cast<float>(n.dur)) * n.vel * 0.12f;
    const float c = centre.next(hz);
    const float l = (osc[0].next(freq[0]) + osc[1].next(freq[1])) * 0.5f + c;
    const float r = (osc[2].next(freq[2]) + osc[3].next(freq[3])) * 0.5f + c;
    out.l[a + i] += l * e * panL;
    out.r[a + i] += r * e * panR;
  }
}

void renderBass(Buses& b, const Note& n) {
  const Adsr env{0.004f, 0.15f, 0.6f, 0.05f};
  const float hz = midiHz(n.midi);
  Saw saw;
  float sub = 0.0f;
  Svf f;
  const size_t a = toSample(n.t), len = within(a, toSample(n.dur + env.r), b.dry.size());
  for (size_t i = 0; i < len; ++i) {
    const float t = static_cast<float>(i) / kRate;
    if (i % 16 == 0) f.set(180.0f + 2200.0f * n.vel * std::exp(-t * 14.0f), 1.4f);
    f.process(saw.next(hz));
    sub += hz / kRate;
    if (sub >= 1.0f) sub -= 1.0f;
    const float v = (f.lp * 0.7f + std::sin(sub * kTwoPi) * 0.4f) *
                    env.at(t, static_cast<float>(n.dur)) * n.vel;
    b.dry.add(a + i, v * 0.35f, n.pan);
  }
}

void renderArp(Buses& b, const Note& n) {
  const float hz = midiHz(n.midi);
  Pulse osc;
  Svf f;
  const size_t a = toSample(n.t), len = within(a, toSample(n.dur + 0.05), b.dry.size());
  for (size_t i = 0; i < len; ++i) {
    const float t = static_cast<float>(i) / kRate;
    if (i % 16 == 0) f.set(600.0f + 5000.0f * std::exp(-t * 25.0f), 1.2f);
    f.process(osc.next(hz, 0.3f));
    const float env = std::min(1.0f, t / 0.002f) * std::exp(-t * 12.0f) *
                      std::max(0.0f, 1.0f - std::max(0.0f, t - static_cast<float>(n.dur)) / 0.05f);
    const float v = f.lp * env * n.vel * 0.28f;
    b.dry.add(a + i, v, n.pan);
    b.delay.add(a + i, v * 0.6f, n.pan);
    b.reverb.add(a + i, v * 0.3f, 0.0f);
  }
}

void renderLead(Buses& b, const Note& n) {
  const Adsr env{0.01f, 0.25f, 0.7f, 0.15f};
  const float hz = midiHz(n.midi);
  Saw s1, s2;
  Pulse sq;
  Svf f;
  f.set(3200.0f, 0.9f);
  const size_t a = toSample(n.t), len = within(a, toSample(n.dur + env.r), b.dry.size());
  for (size_t i = 0; i < len; ++i) {
    const float t = static_cast<float>(i) / kRate;
    // Vibrato fades in after the attack, like a held sung note.
    const float vib =
        std::sin(t * 5.5f * kTwoPi) * 0.18f * std::clamp((t - 0.15f) / 0.3f, 0.0f, 1.0f);
    const float f0 = hz * std::pow(2.0f, vib / 12.0f);
    f.process(s1.next(f0 * 1.003f) * 0.5f + s2.next(f0 * 0.997f) * 0.5f +
              sq.next(f0 * 0.5f, 0.5f) * 0.4f);
    const float v = f.lp * env.at(t, static_cast<float>(n.dur)) * n.vel * 0.32f;
    b.dry.add(a + i, v, n.pan);
    b.delay.add(a + i, v * 0.45f, n.pan);
    b.reverb.add(a + i, v * 0.35f, 0.0f);
  }
}

void renderBell(Buses& b, const Note& n) {
  // Two-operator FM with an inharmonic ratio and a decaying index: a bell.
  const float hz = midiHz(n.midi);
  const size_t a = toSample(n.t), len = within(a, toSample(n.dur + 1.0), b.dry.size());
  float pc = 0.0f, pm = 0.0f;
  for (size_t i = 0; i < len; ++i) {
    const float t = static_cast<float>(i) / kRate;
    pm += hz * 3.5f / kRate;
    pc += hz / kRate;
    pm -= std::floor(pm);
    pc -= std::floor(pc);
    const float index = 2.5f * std::exp(-t * 3.0f);
    const float v = std::sin(kTwoPi * pc + index * std::sin(kTwoPi * pm)) * std::exp(-t * 2.2f) *
                    std::min(1.0f, t / 0.003f) * n.vel * 0.22f;
    b.dry.add(a + i, v, n.pan);
    b.delay.add(a + i, v * 0.4f, -n.pan);
    b.reverb.add(a + i, v * 0.6f, 0.0f);
  }
}

void renderKick(Buses& b, const Hit& h) {
  float phase = 0.0f;
  const size_t a = toSample(h.t), len = within(a, toSample(0.45), b.dry.size());
  Rng rng(static_cast<uint64_t>(a) * 3 + 1);
  for (size_t i = 0; i < len; ++i) {
    const float t = static_cast<float>(i) / kRate;
    // Pitch sweeps from a click down to a 50 Hz thump.
    phase += (48.0f + 120.0f * std::exp(-t * 28.0f)) / kRate;
    const float body = std::sin(kTwoPi * phase) * std::exp(-t * 7.0f);
    const float click = rng.bipolar() * std::exp(-t * 900.0f) * 0.4f;
    b.dry.add(a + i, std::tanh((body + click) * 1.6f) * h.vel * 0.5f, 0.0f);
  }
}

void renderSnare(Buses& b, const Hit& h) {
  const size_t a = toSample(h.t), len = within(a, toSample(0.3), b.dry.size());
  Rng rng(static_cast<uint64_t>(a) * 3 + 2);
  Svf f;
  f.set(1800.0f, 0.7f);
  float phase = 0.0f;
  for (size_t i = 0; i < len; ++i) {
    const float t = static_cast<float>(i) / kRate;
    f.process(rng.bipolar());
    phase += 185.0f / kRate;
    const float tone = std::sin(kTwoPi * phase) * std::exp(-t * 25.0f) * 0.5f;
    const float v = (tone + (f.hp * 0.7f + f.bp * 0.5f) * std::exp(-t * 16.0f)) * h.vel * 0.4f;
    b.dry.add(a + i, v, 0.05f);
    b.reverb.add(a + i, v * 0.25f, 0.0f);
  }
}

void renderHat(Buses& b, const Hit& h, bool open) {
  const float decay = open ? 9.0f : 70.0f;
  const size_t a = toSample(h.t), len = within(a, toSample(open ? 0.35 : 0.08), b.dry.size());
  Rng rng(static_cast<uint64_t>(a) * 3 + (open ? 3 : 4));
  Svf f;
  f.set(8000.0f, 0.8f);
  for (size_t i = 0; i < len; ++i) {
    const float t = static_cast<float>(i) / kRate;
    f.process(rng.bipolar());
    const float v = f.hp * std::exp(-t * decay) * h.vel * 0.16f;
    b.dry.add(a + i, v, open ? -0.3f : 0.3f);
  }
}

void renderCrash(Buses& b, const Hit& h) {
  const size_t a = toSample(h.t), len = within(a, toSample(2.6), b.dry.size());
  Rng rng(static_cast<uint64_t>(a) * 3 + 5);
  Svf fl, fr;
  fl.set(5000.0f, 0.7f);
  fr.set(5200.0f, 0.7f);
  for (size_t i = 0; i < len; ++i) {
    const float t = static_cast<float>(i) / kRate;
    fl.process(rng.bipolar());
    fr.process(rng.bipolar());
    const float e = std::exp(-t * 1.8f) * h.vel * 0.12f;
    b.dry.l[a + i] += fl.hp * e;
    b.dry.r[a + i] += fr.hp * e;
    b.reverb.add(a + i, fl.hp * e * 0.3f, 0.0f);
  }
}

// Noise through a band-pass sweeping upwards, growing louder: the build-up.
void renderRiser(Buses& b, const Sweep& h) {
  const size_t a = toSample(h.t), len = toSample(h.length);
  Rng rng(static_cast<uint64_t>(a) * 3 + 6);
  Svf f;
  for (size_t i = 0, heard = within(a, len, b.dry.size()); i < heard; ++i) {
    const float x = static_cast<float>(i) / static_cast<float>(len);
    if (i % 32 == 0) f.set(300.0f * std::pow(30.0f, x), 2.5f);
    f.process(rng.bipolar());
    const float v = f.bp * x * x * 0.22f * h.level;
    b.dry.add(a + i, v, std::sin(x * 12.0f) * 0.5f);
    b.reverb.add(a + i, v * 0.4f, 0.0f);
  }
}

// Sub-bass drop under the melt's impact.
void renderBoom(Buses& b, const Hit& h) {
  const size_t a = toSample(h.t), len = within(a, toSample(2.0), b.dry.size());
  float phase = 0.0f;
  for (size_t i = 0; i < len; ++i) {
    const float t = static_cast<float>(i) / kRate;
    phase += (28.0f + 50.0f * std::exp(-t * 2.0f)) / kRate;
    const float v =
        std::sin(kTwoPi * phase) * std::exp(-t * 1.6f) * std::min(1.0f, t / 0.005f) * h.vel * 0.7f;
    b.dry.add(a + i, v, 0.0f);
  }
}

// A detuned saw chord sliding down two octaves: the object melting.
void renderMelt(Buses& b, const Hit& h) {
  const size_t a = toSample(h.t), len = within(a, toSample(2.0), b.dry.size());
  Saw s[3];
  Svf f;
  const float notes[3] = {69.0f, 72.0f, 76.0f};
  for (size_t i = 0; i < len; ++i) {
    const float t = static_cast<float>(i) / kRate;
    const float bend = -24.0f * t * t / 4.0f + std::sin(t * 7.0f * kTwoPi) * 0.3f;
    if (i % 32 == 0) f.set(4000.0f * std::exp(-t * 1.5f) + 200.0f, 1.5f);
    float v = 0.0f;
    for (int k = 0; k < 3; ++k)
      v += s[k].next(midiHz(notes[k] + bend + 0.1f * static_cast<float>(k)));
    f.process(v);
    const float out = f.lp * std::min(1.0f, t / 0.01f) * (1.0f - t / 2.0f) * h.vel * 0.18f;
    b.dry.add(a + i, out, 0.0f);
    b.delay.add(a + i, out * 0.4f, 0.0f);
    b.reverb.add(a + i, out * 0.5f, 0.0f);
  }
}

// A cymbal played backwards: bright noise growing to full at its end, then
// cut (with 5 ms of release, no click), the sweep into a stab.
void renderReverse(Buses& b, const Sweep& h) {
  const size_t a = toSample(h.t), len = toSample(h.length), tail = toSample(0.005);
  Rng rng(static_cast<uint64_t>(a) * 3 + 7);
  Svf fl, fr;
  fl.set(4500.0f, 0.7f);
  fr.set(4700.0f, 0.7f);
  for (size_t i = 0, heard = within(a, len + tail, b.dry.size()); i < heard; ++i) {
    const float x = std::min(1.0f, static_cast<float>(i) / static_cast<float>(len));
    const float cut =
        i < len ? 1.0f : 1.0f - static_cast<float>(i - len) / static_cast<float>(tail);
    fl.process(rng.bipolar());
    fr.process(rng.bipolar());
    const float e = x * x * x * x * cut * h.level * 0.12f;
    b.dry.l[a + i] += fl.hp * e;
    b.dry.r[a + i] += fr.hp * e;
  }
}

// A chord note struck short: three detuned saws through a low-pass whose
// cutoff falls from bright to dull, a hard attack and a quick decay.
void renderStab(Buses& b, const Note& n) {
  const float hz = midiHz(n.midi);
  Saw s[3];
  Svf f;
  const size_t a = toSample(n.t), len = within(a, toSample(n.dur + 0.03), b.dry.size());
  for (size_t i = 0; i < len; ++i) {
    const float t = static_cast<float>(i) / kRate;
    if (i % 16 == 0) f.set(900.0f + 9000.0f * std::exp(-t * 9.0f), 1.1f);
    f.process(s[0].next(hz) + s[1].next(hz * 1.006f) + s[2].next(hz * 0.994f));
    const float release =
        std::max(0.0f, 1.0f - std::max(0.0f, t - static_cast<float>(n.dur)) / 0.03f);
    const float v =
        f.lp * std::min(1.0f, t / 0.002f) * std::exp(-t * 3.0f) * release * n.vel * 0.1f;
    b.dry.add(a + i, v, n.pan);
    b.reverb.add(a + i, v * 0.3f, 0.0f);
  }
}

}  // namespace

bool renderScore(const Score& score, Buses& b, StopCheck stop) {
  // Every event is short, so asking between two is often enough.
  auto each = [&](const auto& events, auto render) {
    for (const auto& x : events) {
      if (stop && stop()) return false;
      render(x);
    }
    return true;
  };
  return each(score.pad, [&](const Note& x) { renderPad(b.pad, x); }) &&
         each(score.bass, [&](const Note& x) { renderBass(b, x); }) &&
         each(score.arp, [&](const Note& x) { renderArp(b, x); }) &&
         each(score.lead, [&](const Note& x) { renderLead(b, x); }) &&
         each(score.bell, [&](const Note& x) { renderBell(b, x); }) &&
         each(score.kick, [&](const Hit& x) { renderKick(b, x); }) &&
         each(score.snare, [&](const Hit& x) { renderSnare(b, x); }) &&
         each(score.hat, [&](const Hit& x) { renderHat(b, x, false); }) &&
         each(score.openHat, [&](const Hit& x) { renderHat(b, x, true); }) &&
         each(score.crash, [&](const Hit& x) { renderCrash(b, x); }) &&
         each(score.riser, [&](const Sweep& x) { renderRiser(b, x); }) &&
         each(score.boom, [&](const Hit& x) { renderBoom(b, x); }) &&
         each(score.melt, [&](const Hit& x) { renderMelt(b, x); }) &&
         each(score.reverse, [&](const Sweep& x) { renderReverse(b, x); }) &&
         each(score.stab, [&](const Note& x) { renderStab(b, x); });
}

}  // namespace music
