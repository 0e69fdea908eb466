// Linked into every program of a sanitizer build (DEMO_SANITIZE), never into
// a normal one. It lets LeakSanitizer tell our leaks from the GL stack's.

#include <dlfcn.h>

// Allocations that the X and GL libraries keep until exit, on purpose or not;
// our own code owns nothing that should outlive its users.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libX11.so\n"
         "leak:libGLX_mesa.so\n"
         "leak:libEGL_mesa.so\n"
         "leak:swrast_dri.so\n"
         "leak:libLLVM\n"
         "leak:libSDL-1.2.so\n"
         // Mesa's driver has no frame pointers, so the fast unwinder's stacks
         // stop in it or in a neighbouring mapping such as the UBSan runtime.
         "leak:libubsan.so\n";
}

// A run with nothing to report prints nothing, as a normal run must.
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }

namespace {

// The GL driver is unloaded when the display closes, before the leak check
// runs at exit; its allocations would then show as "<unknown module>" and
// match no suppression. Keeping it mapped leaves them attributable.
struct KeepGlDriverLoaded {
  KeepGlDriverLoaded() {
    dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_NOW | RTLD_NODELETE);
  }
} keepGlDriverLoaded;

}  // namespace
