// How the sanitizers run the test programs. The runtimes look these
// functions up in the program itself, so every test program behaves the
// same under ctest, run by hand or in a debugger, without any environment.
// Nothing here is compiled into a build without sanitizers.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)

#define VANDREL_SANITIZER_DEFAULT extern "C" __attribute__((visibility("default"), used))

#if defined(__SANITIZE_ADDRESS__)
// - detect_leaks: on by default on Linux; said here because the leak check at
//   exit is the test that every run of the plug-in frees what it allocated.
// - detect_stack_use_after_return: the host keeps pointers the plug-in hands
//   it (the descriptor key list) until a later call; a list on a stack frame
//   that has already returned must be reported, not read as garbage.
// - check_initialization_order, strict_init_order: the plug-in's globals are
//   set up while the host loads it; none may rely on another's order.
// - strict_string_checks: text from files and descriptors is not trusted to
//   be terminated.
VANDREL_SANITIZER_DEFAULT const char* __asan_default_options() {
    return "detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:"
           "strict_string_checks=1";
}

// Nothing is suppressed: every leak found so far was ours and has been
// fixed. A leak in a system library would be listed here with its reason.
VANDREL_SANITIZER_DEFAULT const char* __lsan_default_suppressions() { return ""; }

// The build stops at the first undefined behaviour; this makes the report
// say where it came from.
VANDREL_SANITIZER_DEFAULT const char* __ubsan_default_options() {
    return "print_stacktrace=1:halt_on_error=1";
}
#endif

#if defined(__SANITIZE_THREAD__)
// - halt_on_error: a race ends the test that caused it, so the report sits
//   under that test's name rather than at the end of the program.
// - second_deadlock_stack: a lock-order report shows both acquisitions.
VANDREL_SANITIZER_DEFAULT const char* __tsan_default_options() {
    return "halt_on_error=1:second_deadlock_stack=1";
}

// Nothing is suppressed. Boost.Thread comes uninstrumented from the system,
// but it synchronises through the pthread calls the runtime intercepts, so
// it needs no exception.
VANDREL_SANITIZER_DEFAULT const char* __tsan_default_suppressions() { return ""; }
#endif

#endif
