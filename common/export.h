// Marks the functions that a shared library exports; everything else stays hidden.
#pragma once

#if defined(_WIN32)
#define LUMORA_EXPORT __declspec(dllexport)
#else
#define LUMORA_EXPORT __attribute__((visibility("default")))
#endif
