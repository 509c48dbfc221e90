#pragma once
// Flush-to-zero and denormals-are-zero for the scope of an audio block:
// decaying filter and reverb states would otherwise slow the CPU by orders
// of magnitude during silence.

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>

struct ScopedDenormalFlush {
    unsigned int saved = _mm_getcsr();
    ScopedDenormalFlush() { _mm_setcsr(saved | 0x8040u); }
    ~ScopedDenormalFlush() { _mm_setcsr(saved); }
    ScopedDenormalFlush(const ScopedDenormalFlush&) = delete;
    ScopedDenormalFlush& operator=(const ScopedDenormalFlush&) = delete;
};
#else
struct ScopedDenormalFlush {};
#endif
