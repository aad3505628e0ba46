// Locking contracts that clang's -Wthread-safety checks at compile time: which
// mutex guards which field, which functions must or must not be called with a
// mutex held. Under other compilers the macros expand to nothing.
#pragma once

#if defined(__clang__)
#define QUILLON_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define QUILLON_THREAD_ANNOTATION(x)
#endif

// A class whose objects are locks.
#define CAPABILITY(x) QUILLON_THREAD_ANNOTATION(capability(x))
// A class whose objects hold a lock for their lifetime.
#define SCOPED_CAPABILITY QUILLON_THREAD_ANNOTATION(scoped_lockable)
// The field is read and written only with the lock held.
#define GUARDED_BY(x) QUILLON_THREAD_ANNOTATION(guarded_by(x))
// What the pointer points to is read and written only with the lock held.
#define PT_GUARDED_BY(x) QUILLON_THREAD_ANNOTATION(pt_guarded_by(x))
// Lock order: this lock is taken before / after the ones named.
#define ACQUIRED_BEFORE(...) QUILLON_THREAD_ANNOTATION(acquired_before(__VA_ARGS__))
#define ACQUIRED_AFTER(...) QUILLON_THREAD_ANNOTATION(acquired_after(__VA_ARGS__))
// The caller must hold the locks.
#define REQUIRES(...) QUILLON_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
// The function takes / releases the locks.
#define ACQUIRE(...) QUILLON_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) QUILLON_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) QUILLON_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
// The caller must not hold the locks (the function takes them itself).
#define EXCLUDES(...) QUILLON_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
// The function returns a reference to the lock named.
#define RETURN_CAPABILITY(x) QUILLON_THREAD_ANNOTATION(lock_returned(x))
// Left out of the analysis; each use says why.
#define NO_THREAD_SAFETY_ANALYSIS QUILLON_THREAD_ANNOTATION(no_thread_safety_analysis)
