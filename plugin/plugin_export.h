// Declares the exported entry the host's plugin manager calls.
#pragma once

#include <norv_plugin.h>

#if defined(_WIN32)
#define NORV_EXPORT __declspec(dllexport)
#else
#define NORV_EXPORT __attribute__((visibility("default")))
#endif

extern "C" NORV_EXPORT void* load_vek_norv_messaging_service(PluginLoadRecord* record);
