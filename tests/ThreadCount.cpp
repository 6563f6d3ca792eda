// Counts the threads the process starts, for CoreTestMain's check. It stands
// in for the C library's pthread_create (the test program exports it, so
// std::thread inside libstdc++ comes here too) and passes each call on.
// Deliberately without <pthread.h> (and <atomic>, which brings it): the C
// linkage alone ties it to the library's symbol. Not built with the
// sanitizers, which intercept the same function themselves.
#include <dlfcn.h>

namespace tolmar::testing {
long threadsStarted = 0; // only through the __atomic builtins
}

extern "C" int pthread_create(void *thread, const void *attributes, void *(*start)(void *), void *argument)
{
    using Create = int (*)(void *, const void *, void *(*)(void *), void *);
    static const Create next = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
    __atomic_fetch_add(&tolmar::testing::threadsStarted, 1, __ATOMIC_RELAXED);
    return next(thread, attributes, start, argument);
}
