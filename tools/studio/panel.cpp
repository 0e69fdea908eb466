// The timeline panel, drawn with Dear ImGui's draw lists on the studio's GL
// 2.0 context; the mouse is read from SDL's events directly.
#include "tools/studio/panel.h"

#include "gpu/gl_entry_points.h"
#include "presentation/timeline.h"
#include "presentation/window.h"
#include "tools/studio/layer_rows.h"
#include "tools/studio/music_envelope.h"
#include "tools/studio/shader_watch.h"
#include "tools/studio/timeline_edit.h"
#include "tools/studio/timeline_view.h"

#include <backends/imgui_impl_opengl2.h>
#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <vector>

namespace {

// Samples of the rows' alpha: every 50 ms of the timeline.
constexpr double kTraceStep = 0.05;
constexpr int kTraceSamples = static_cast<int>(kEndTime / kTraceStep) + 1;

// The panel's bands from its top, in pixels.
constexpr float kAxisHeight = 16, kCueHeight = 32, kRowHeight = 15, kWaveGap = 4;

enum class DragKind { none, scrub, loop, pan, fade };

struct StillKey {
  double start = 0, span = 0;
  std::vector<bool> failing;  // per row
  bool waveform = false;
  int rows = 0;  // the rows' and cues' version
  bool operator==(const StillKey& o) const {
    return start == o.start && span == o.span && failing == o.failing && waveform == o.waveform &&
           rows == o.rows;
  }
};

struct Panel {
  int width = 0;
  int stripHeight = 0;
  std::vector<LayerRow> rows;
  int rowsVersion = 0;
  TimelineView view;
  TimelineEditor editor{timeline::builtin()};
  TimelineFile file;
  bool savePathGiven = false;
  int edits = 0;     // edits made, undone or redone
  std::string note;  // what the last edit key did, for the title
  bool inspector = false;
  // Shift as the event stream has it: SDL_GetModState() gives the state
  // after the whole batch of events, which may already have let go of it.
  // A release outside the window never arrives, so it is forgotten when the
  // pointer or the focus leaves.
  bool shift = false;
  bool logInspector = false;
  std::string lastLogged;
  DragKind drag = DragKind::none;
  double dragFrom = 0, dragTo = 0;
  int lastX = 0;
  GLuint still = 0;  // the still parts' texture, 0 until first drawn
  StillKey stillKey;
} panel;

double timeAt(int x) {
  return timeAtX(panel.view, std::min(std::max(x, 0), panel.width - 1), panel.width);
}

float xAt(double seconds) { return static_cast<float>(xAtTime(panel.view, seconds, panel.width)); }

ImU32 grey(int level, int alpha = 255) { return IM_COL32(level, level, level, alpha); }

// One line per layer drawn: its name, then each uniform as name=value.
std::string inspectorText(const std::vector<InspectedLayer>& layers) {
  std::string text;
  for (const InspectedLayer& layer : layers) {
    char line[64];
    std::snprintf(line, sizeof line, "%-22s", layer.name.c_str());
    text += line;
    for (const InspectedUniform& u : layer.uniforms) {
      std::snprintf(line, sizeof line, " %s=%.3f", u.name.c_str(), u.value);
      text += line;
    }
    if (layer.uniforms.empty()) text += " (as set above)";
    text += '\n';
  }
  return text;
}

// Tick labels every 1, 2, 5, 10, 20 or 30 s, whichever first leaves 60 px between them.
void drawAxis(ImDrawList* d, float top) {
  double step = 30;
  for (double s : {1.0, 2.0, 5.0, 10.0, 20.0, 30.0}) {
    if (s / panel.view.span * panel.width >= 60) {
      step = s;
      break;
    }
  }
  d->AddLine({0, top + kAxisHeight}, {static_cast<float>(panel.width), top + kAxisHeight},
             grey(90));
  for (double t = std::ceil(panel.view.start / step) * step;
       t <= panel.view.start + panel.view.span; t += step) {
    const float x = xAt(t);
    d->AddLine({x, top + kAxisHeight - 5}, {x, top + kAxisHeight}, grey(160));
    char label[16];
    std::snprintf(label, sizeof label, "%g", t);
    d->AddText({x + 2, top + 1}, grey(160), label);
  }
}

// The cues of the timeline table: a line through the panel and the name on
// one of two staggered lines, cut where the next name on that line starts.
void drawCues(ImDrawList* d, float top, float bottom) {
  const Timeline& tl = timeline::active();
  std::vector<std::pair<float, const char*>> cues;
  for (const Section& s : tl.sections) cues.push_back({tl.sectionStart(s), s.name.c_str()});
  std::stable_sort(cues.begin(), cues.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  const size_t count = cues.size();
  for (size_t i = 0; i < count; ++i) {
    const float x = xAt(cues[i].first);
    const float next = i + 2 < count ? xAt(cues[i + 2].first) - 4 : static_cast<float>(panel.width);
    d->AddLine({x, top}, {x, bottom}, IM_COL32(230, 200, 80, 90));
    const float y = top + 1 + static_cast<float>(i % 2) * 15;
    const ImVec4 clip(x, top, next, top + kCueHeight);
    d->AddText(ImGui::GetFont(), ImGui::GetFontSize(), {x + 3, y}, IM_COL32(240, 210, 90, 255),
               cues[i].second, nullptr, 0, &clip);
  }
}

// A row's alpha as a filled curve: a quad between each pair of samples that
// differ or show, so fades read as ramps and a blink as stripes.
void drawAlpha(ImDrawList* d, const LayerRow& row, float top, ImU32 colour) {
  const float base = top + kRowHeight - 1, height = kRowHeight - 3;
  const std::vector<float>& alpha = row.alpha;
  const size_t n = alpha.size();
  if (n < 2) return;
  const size_t first = static_cast<size_t>(std::max(0.0, panel.view.start / kTraceStep));
  const size_t last =
      std::min(n - 1, static_cast<size_t>((panel.view.start + panel.view.span) / kTraceStep) + 1);
  size_t i = first;
  while (i < last) {
    // Runs of one value make one quad.
    size_t j = i + 1;
    while (j < last && alpha[j] == alpha[i] && alpha[j + 1] == alpha[i]) ++j;
    const float a = alpha[i], b = alpha[j];
    if (a > 0 || b > 0) {
      const float x0 = xAt(static_cast<double>(i) * kTraceStep);
      const float x1 = xAt(static_cast<double>(j) * kTraceStep);
      d->AddQuadFilled({x0, base}, {x0, base - a * height}, {x1, base - b * height}, {x1, base},
                       colour);
    }
    i = j;
  }
}

// The ramps of the fades a row reads besides its alpha's (the morph's offset,
// the box transition) as lines from empty to full, so they can be found and
// dragged like the alpha's.
void drawOtherFades(ImDrawList* d, const LayerRow& row, float top) {
  const Timeline& tl = panel.editor.timeline();
  const float base = top + kRowHeight - 1, height = kRowHeight - 3;
  for (const std::string& name : row.reads) {
    const int index = fadeIndex(name);
    if (index < 0 || name == row.in || name == row.out) continue;
    const Fade& f = tl.fade(index);
    const float x0 = xAt(f.in ? f.at : fadeEdge(f)), x1 = xAt(f.in ? fadeEdge(f) : f.at);
    d->AddLine({x0, f.in ? base : base - height}, {x1, f.in ? base - height : base}, grey(235, 200),
               1.5f);
  }
}

void drawWaveform(ImDrawList* d, float top, float bottom) {
  const MusicEnvelope* e = musicEnvelope();
  if (!e || e->low.empty()) return;
  const float middle = (top + bottom) / 2, half = (bottom - top) / 2;
  const long buckets = static_cast<long>(e->low.size());
  for (int x = 0; x < panel.width; ++x) {
    long from = static_cast<long>(timeAtX(panel.view, x, panel.width) / kEnvelopeBucketSeconds);
    long to = static_cast<long>(timeAtX(panel.view, x + 1, panel.width) / kEnvelopeBucketSeconds);
    from = std::min(std::max(from, 0L), buckets);
    to = std::min(std::max(to, from + 1), buckets);
    if (from >= to) break;
    float low = 1, high = -1;
    for (long b = from; b < to; ++b) {
      low = std::min(low, e->low[static_cast<size_t>(b)]);
      high = std::max(high, e->high[static_cast<size_t>(b)]);
    }
    const float fx = static_cast<float>(x);
    d->AddRectFilled({fx, middle - high * half}, {fx + 1, middle - low * half + 1},
                     IM_COL32(90, 170, 230, 255));
  }
}

void drawRange(ImDrawList* d, double from, double to, float top, float bottom, ImU32 fill,
               ImU32 edge) {
  const float x0 = xAt(from), x1 = xAt(to);
  d->AddRectFilled({x0, top}, {x1, bottom}, fill);
  d->AddLine({x0, top}, {x0, bottom}, edge);
  d->AddLine({x1, top}, {x1, bottom}, edge);
}

// Over the half of the panel away from the playhead, so the playhead stays in
// view, and as small as it can be: the layers that draw at the playhead one a
// line, those that do not by name in one grey line, so most rows stay in view.
void drawInspector(const std::vector<InspectedLayer>& layers, float top, float playhead) {
  const float right = static_cast<float>(panel.width);
  const bool left = playhead > right / 2;
  ImGui::SetNextWindowPos({left ? 8 : right - 8, top}, ImGuiCond_Always, {left ? 0.0f : 1.0f, 0});
  ImGui::SetNextWindowBgAlpha(0.85f);
  ImGui::Begin("uniforms at the playhead", nullptr,
               ImGuiWindowFlags_NoInputs | ImGuiWindowFlags_NoSavedSettings |
                   ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_AlwaysAutoResize |
                   ImGuiWindowFlags_NoTitleBar);
  std::string hidden;
  for (const InspectedLayer& layer : layers) {
    if (!layer.visible) {
      hidden += (hidden.empty() ? "not drawn: " : ", ") + layer.name;
      continue;
    }
    std::string line = inspectorText({layer});
    line.pop_back();
    ImGui::TextUnformatted(line.c_str());
  }
  if (!hidden.empty()) {
    ImGui::PushTextWrapPos(ImGui::GetCursorPosX() + 620);
    ImGui::TextColored(ImVec4(0.5f, 0.5f, 0.5f, 1), "%s", hidden.c_str());
    ImGui::PopTextWrapPos();
  }
  ImGui::End();
}

// What the still parts of the panel depend on; they are drawn again only
// when one of these changes.
StillKey stillKey() {
  StillKey key{
      panel.view.start, panel.view.span, {}, musicEnvelope() != nullptr, panel.rowsVersion};
  for (const LayerRow& row : panel.rows) {
    key.failing.push_back(row.program && programFails(row.program));
  }
  return key;
}

// The axis, the rows, the waveform and the cues, drawn once into the panel's
// place and copied into a texture that every frame then shows as one quad:
// llvmpipe spends far more on the thousands of thin triangles than on one
// quad of the same area.
void drawStillParts(const StillKey& key) {
  ImDrawList list(ImGui::GetDrawListSharedData());
  list._ResetForNewFrame();
  // Without anti-aliased fill: the ramps are strips of quads, whose soft
  // edges would show as seams between them.
  list.Flags &= ~ImDrawListFlags_AntiAliasedFill;
  list.PushTextureID(ImGui::GetIO().Fonts->TexID);
  list.PushClipRectFullScreen();
  ImDrawList* d = &list;
  const float top = static_cast<float>(panel.stripHeight);
  const float bottom = top + kPanelHeight, right = static_cast<float>(panel.width);
  d->AddRectFilled({0, top}, {right, bottom}, grey(0));
  drawAxis(d, top);
  const float rowsTop = top + kAxisHeight + kCueHeight;
  for (size_t r = 0; r < panel.rows.size(); ++r) {
    const LayerRow& row = panel.rows[r];
    const float y = rowsTop + static_cast<float>(r) * kRowHeight;
    const bool failing = key.failing[r];
    const ImU32 band = failing ? IM_COL32(150, 20, 20, 255) : grey(r % 2 ? 22 : 30);
    d->AddRectFilled({0, y}, {right, y + kRowHeight}, band);
    const float hue = static_cast<float>(r) / static_cast<float>(panel.rows.size());
    ImVec4 colour;
    ImGui::ColorConvertHSVtoRGB(hue, 0.55f, 0.85f, colour.x, colour.y, colour.z);
    colour.w = 1;
    drawAlpha(d, row, y, ImGui::ColorConvertFloat4ToU32(colour));
    drawOtherFades(d, row, y);
    const ImVec2 size = ImGui::CalcTextSize(row.name.c_str());
    d->AddRectFilled({2, y + 1}, {size.x + 6, y + kRowHeight - 1}, grey(0, 140));
    d->AddText({4, y}, failing ? IM_COL32(255, 120, 120, 255) : grey(235), row.name.c_str());
  }
  const float waveTop = rowsTop + static_cast<float>(panel.rows.size()) * kRowHeight + kWaveGap;
  drawWaveform(d, waveTop, bottom - 2);
  drawCues(d, top + kAxisHeight, bottom);

  ImDrawList* lists[] = {d};
  ImDrawData data;
  data.Valid = true;
  data.CmdLists = lists;
  data.CmdListsCount = 1;
  data.TotalVtxCount = d->VtxBuffer.Size;
  data.TotalIdxCount = d->IdxBuffer.Size;
  data.DisplayPos = ImVec2(0, 0);
  data.DisplaySize = ImGui::GetIO().DisplaySize;
  data.FramebufferScale = ImVec2(1, 1);
  ImGui_ImplOpenGL2_RenderDrawData(&data);
  if (!panel.still) {
    glGenTextures(1, &panel.still);
    glBindTexture(GL_TEXTURE_2D, panel.still);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, panel.width, kPanelHeight, 0, GL_RGB, GL_UNSIGNED_BYTE,
                 nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  }
  glBindTexture(GL_TEXTURE_2D, panel.still);
  glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, panel.width, kPanelHeight);
}

constexpr float kRowsTop = kAxisHeight + kCueHeight;

// Makes the editor's timeline the one drawn, and the rows follow it.
void applyEdit() {
  timeline::setActive(panel.editor.timeline());
  panel.rows = layerRows(panel.editor.timeline(), kTraceSamples, kTraceStep);
  ++panel.rowsVersion;  // the rows and the cues may have moved
}

// The fade under a press at `x`, `y`: one that the row there reads whose
// ramp holds that time; -1 for none.
int fadeRampUnder(int x, int y) {
  const float rowY = static_cast<float>(y - panel.stripHeight) - kRowsTop;
  if (rowY < 0) return -1;
  const size_t row = static_cast<size_t>(rowY / kRowHeight);
  if (row >= panel.rows.size()) return -1;
  return rowFadeAt(panel.rows[row], panel.editor.timeline(), timeAt(x));
}

void saveEdits() {
  std::string error;
  const std::string& path = panel.file.path();
  switch (panel.file.save(panel.editor.timeline(), &error)) {
    case TimelineFile::Save::changedOnDisk:
      panel.note = path + " changed on disk: Ctrl+S again overwrites it";
      std::fprintf(stderr,
                   "demo-studio: not saved: \"%s\" changed on disk since the studio read or "
                   "saved it\n",
                   path.c_str());
      return;
    case TimelineFile::Save::failed:
      panel.note = "cannot save " + path + ": " + error;
      std::fprintf(stderr, "demo-studio: cannot save the timeline to \"%s\": %s\n", path.c_str(),
                   error.c_str());
      return;
    case TimelineFile::Save::saved: break;
  }
  panel.editor.markSaved();
  panel.note = "saved " + path;
  std::printf("demo-studio: saved the timeline to %s%s\n", path.c_str(),
              panel.savePathGiven ? "" : " in the working folder");
  std::fflush(stdout);
}

// Ctrl+Z, Ctrl+Y and Ctrl+S; false for any other key.
bool editKey(const SDL_keysym& key) {
  if (!(key.mod & KMOD_CTRL)) return false;
  if (key.sym == SDLK_z || key.sym == SDLK_y) {
    const bool done = key.sym == SDLK_z ? panel.editor.undo() : panel.editor.redo();
    if (done) {
      applyEdit();
      ++panel.edits;
      panel.note = key.sym == SDLK_z ? "undone" : "redone";
    } else {
      panel.note = key.sym == SDLK_z ? "nothing to undo" : "nothing to redo";
    }
    return true;
  }
  if (key.sym == SDLK_s) {
    saveEdits();
    return true;
  }
  return false;
}

}  // namespace

void startPanel(int width, int stripHeight, const std::string& musicPath, const Timeline& loaded,
                const TimelineFile& file, bool savePathGiven) {
  panel.width = width;
  panel.editor = TimelineEditor(loaded);
  panel.file = file;
  panel.savePathGiven = savePathGiven;
  panel.stripHeight = stripHeight;
  panel.logInspector = std::getenv("DEMO_STUDIO_INSPECT") != nullptr;
  panel.rows = layerRows(loaded, kTraceSamples, kTraceStep);
  startInspecting();
  startMusicEnvelope(musicPath);
  ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  // Nothing is written beside the studio: no settings file, no log.
  io.IniFilename = nullptr;
  io.LogFilename = nullptr;
  ImGui::StyleColorsDark();
  ImGui_ImplOpenGL2_Init();
}

bool panelEvent(const SDL_Event& e, Transport* transport, bool* jumped) {
  if ((e.type == SDL_KEYDOWN || e.type == SDL_KEYUP) &&
      (e.key.keysym.sym == SDLK_LSHIFT || e.key.keysym.sym == SDLK_RSHIFT)) {
    panel.shift = e.type == SDL_KEYDOWN;
    return true;
  }
  if (e.type == SDL_ACTIVEEVENT && !e.active.gain &&
      (e.active.state & (SDL_APPMOUSEFOCUS | SDL_APPINPUTFOCUS))) {
    panel.shift = false;
    return false;
  }
  if (e.type == SDL_KEYDOWN) {
    if (editKey(e.key.keysym)) return true;
    if (e.key.keysym.sym == SDLK_TAB) {
      panel.inspector = !panel.inspector;
    } else if (e.key.keysym.sym == SDLK_0) {
      panel.view = TimelineView{};
    } else {
      return false;
    }
    return true;
  }
  if (e.type == SDL_MOUSEBUTTONDOWN) {
    if (e.button.y < panel.stripHeight) return false;
    const int x = e.button.x;
    panel.lastX = x;
    switch (e.button.button) {
      case SDL_BUTTON_LEFT: {
        panel.dragFrom = panel.dragTo = timeAt(x);
        const int fade = panel.shift ? -1 : fadeRampUnder(x, e.button.y);
        if (panel.shift) {
          panel.drag = DragKind::loop;
        } else if (fade >= 0) {
          panel.drag = DragKind::fade;
          panel.editor.beginMove(fade);
        } else {
          panel.drag = DragKind::scrub;
          *jumped = seekTransport(transport, panel.dragFrom) || *jumped;
        }
        break;
      }
      case SDL_BUTTON_MIDDLE: panel.drag = DragKind::pan; break;
      case SDL_BUTTON_WHEELUP: zoomView(&panel.view, 0.8, x, panel.width); break;
      case SDL_BUTTON_WHEELDOWN: zoomView(&panel.view, 1.25, x, panel.width); break;
      default: break;
    }
    return true;
  }
  if (e.type == SDL_MOUSEMOTION && panel.drag != DragKind::none) {
    const int x = e.motion.x;
    if (panel.drag == DragKind::scrub) {
      *jumped = seekTransport(transport, timeAt(x)) || *jumped;
    } else if (panel.drag == DragKind::loop) {
      panel.dragTo = timeAt(x);
    } else if (panel.drag == DragKind::fade) {
      panel.editor.moveBy(timeAt(x) - panel.dragFrom);
      applyEdit();
    } else {
      panView(&panel.view, x - panel.lastX, panel.width);
    }
    panel.lastX = x;
    return true;
  }
  if (e.type == SDL_MOUSEBUTTONUP && panel.drag != DragKind::none) {
    // A pan ends with the middle button, a seek or a loop with the left one.
    const Uint8 ending = panel.drag == DragKind::pan ? SDL_BUTTON_MIDDLE : SDL_BUTTON_LEFT;
    if (e.button.button != ending) return true;
    if (panel.drag == DragKind::loop) {
      setTransportLoop(transport, panel.dragFrom, timeAt(e.button.x));
    } else if (panel.drag == DragKind::fade) {
      panel.editor.moveBy(timeAt(e.button.x) - panel.dragFrom);
      applyEdit();
      if (panel.editor.endMove()) {
        ++panel.edits;
        panel.note = "";
      }
    }
    panel.drag = DragKind::none;
    return true;
  }
  return false;
}

void drawPanel(const Transport& transport) {
  GLint program = 0, texture = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
  const std::vector<InspectedLayer> now = takeInspectedLayers();
  // The ImGui backend draws with the fixed pipeline and saves the rest of
  // the state it touches; the program and texture are put back at the end.
  GlEntryPoints.glUseProgram(0);

  ImGuiIO& io = ImGui::GetIO();
  io.DisplaySize =
      ImVec2(static_cast<float>(panel.width), static_cast<float>(panel.stripHeight + kPanelHeight));
  io.DeltaTime = static_cast<float>(kStepSeconds);
  ImGui_ImplOpenGL2_NewFrame();
  ImGui::NewFrame();
  const StillKey key = stillKey();
  if (!panel.still || !(key == panel.stillKey)) {
    drawStillParts(key);
    panel.stillKey = key;
  }
  ImDrawList* d = ImGui::GetBackgroundDrawList();
  const float top = static_cast<float>(panel.stripHeight);
  const float bottom = top + kPanelHeight, right = static_cast<float>(panel.width);
  // GL's rows run upwards: the copy's first row is the panel's bottom row.
  d->AddImage(reinterpret_cast<ImTextureID>(static_cast<intptr_t>(panel.still)), {0, top},
              {right, bottom}, {0, 1}, {1, 0});
  if (transport.looping) {
    drawRange(d, transport.loopStart, transport.loopEnd, top, bottom, IM_COL32(80, 200, 120, 40),
              IM_COL32(80, 220, 120, 200));
  }
  if (panel.drag == DragKind::loop) {
    drawRange(d, panel.dragFrom, panel.dragTo, top, bottom, IM_COL32(200, 200, 255, 50),
              IM_COL32(200, 200, 255, 200));
  }
  const float playhead = xAt(transport.time);
  d->AddLine({playhead, top}, {playhead, bottom}, IM_COL32(255, 255, 255, 230), 2);
  if (panel.inspector) {
    drawInspector(now, top + kAxisHeight, playhead);
    if (panel.logInspector) {
      const std::string text = inspectorText(now);
      if (text != panel.lastLogged) {
        std::printf("inspector at %.3f s:\n%s", transport.time, text.c_str());
        std::fflush(stdout);
        panel.lastLogged = text;
      }
    }
  }
  ImGui::Render();
  ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
  GlEntryPoints.glUseProgram(static_cast<GLuint>(program));
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
}

void stopPanel() {
  stopInspecting();
  stopMusicEnvelope();
  glDeleteTextures(1, &panel.still);
  ImGui_ImplOpenGL2_Shutdown();
  ImGui::DestroyContext();
}

const Timeline& panelTimeline() { return panel.editor.timeline(); }

int panelEdits() { return panel.edits; }

bool panelUnsaved() { return panel.editor.unsaved(); }

void setPanelNote(const std::string& note) { panel.note = note; }

std::string panelTitleText() {
  std::string text;
  if (panel.editor.unsaved()) text += " | * unsaved (Ctrl+S: " + panel.file.path() + ")";
  if (!panel.note.empty()) text += " | " + panel.note;
  return text;
}

void setPanelMusic(const std::string& musicPath) { startMusicEnvelope(musicPath); }
