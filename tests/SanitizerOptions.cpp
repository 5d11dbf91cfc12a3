// Defaults of the test programs built with the sanitizers; ASAN_OPTIONS adds to them.
//
// The __tls_get_addr interceptor of GCC 12's runtime takes a dynamic TLS block that merely lands
// 16 bytes past a page boundary for one with an old glibc header, reads a made-up range from
// before it, and LeakSanitizer's tracer then dies at exit on an otherwise passing test
// (google/sanitizers#1322). Where a block lands shifts with every change to a program, so it
// strikes at random. Without the interceptor, dynamic TLS is not scanned for pointers: that can
// only report more leaks, never hide one.
extern "C" const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }
