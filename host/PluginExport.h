// How an entry point is made visible to the host: exported under its plain
// C name (the PiPL names it), whatever the compiler would decorate.
#pragma once

#if defined(_WIN32)
#define VANDREL_EXPORT extern "C" __declspec(dllexport)
#else
#define VANDREL_EXPORT extern "C" __attribute__((visibility("default")))
#endif
