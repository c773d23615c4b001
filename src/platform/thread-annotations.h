#pragma once
// Clang's thread-safety annotations: which lock guards which state, and which
// functions must be called with it held. Checked by clang's -Wthread-safety
// (tools/check-thread-safety, part of make test); other compilers ignore them.

#if defined(__clang__)
#define ORVO_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define ORVO_THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) ORVO_THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY ORVO_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) ORVO_THREAD_ANNOTATION(guarded_by(x))
#define REQUIRES(...) ORVO_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) ORVO_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) ORVO_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define EXCLUDES(...) ORVO_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define NO_THREAD_SAFETY_ANALYSIS ORVO_THREAD_ANNOTATION(no_thread_safety_analysis)
