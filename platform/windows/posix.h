// The POSIX calls the shared sources use that Windows' C runtime lacks,
// declared for every file of the Windows build (it is force-included).
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// The absolute form of `path`, as realpath() gives it: into `resolved`
// (at least _MAX_PATH bytes) or, when that is null, a malloc'ed copy; null
// when the path cannot be made absolute.
char* realpath(const char* path, char* resolved);

#ifdef __cplusplus
}
#endif
