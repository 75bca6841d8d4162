/* The records and function tables that cross the boundary between a host and a
 * plugin of this family. Plain C: a host written in C includes it as it stands.
 * Every function pointer uses the C calling convention (the default of both
 * compilers on every target we build; no attribute is spelled out because a
 * cdecl attribute is an error on x86-64). On the shipping 32-bit target every
 * pointer and word is 32 bits wide; the size checks below hold there. */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
#define NORV_STATIC_ASSERT(condition, message) static_assert(condition, message)
extern "C" {
#else
#include <stdbool.h>
#define NORV_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#endif

/* Name of the one exported entry. */
#define NORV_PLUGIN_ENTRY_NAME "load_vek_norv_messaging_service"

/* Records completed by the parts of the runtime that use them. */
typedef struct HostRequestRecord HostRequestRecord;   /* incoming request, 48 bytes */
typedef struct HostResponseRecord HostResponseRecord; /* response, 62 bytes, packed */
typedef struct HostEventRecord HostEventRecord;       /* what an event callback receives */
typedef struct PluginFunctionRecord PluginFunctionRecord;
typedef struct PluginTypeRecord PluginTypeRecord;
typedef struct PluginEventRecord PluginEventRecord;

/* ---- HostValue: one value crossing the boundary (conversions section) -----
 * A tagged record, little-endian, byte-packed. Tags 6, 8, 9 and 10 and members
 * with ownsKey set own what they point to; it is allocated and released through
 * the plugin's counting allocator. Tags 5 and 7 borrow their text or bytes. */
enum {
    HOST_VALUE_EMPTY = 0,
    HOST_VALUE_BOOL = 1,     /* payload.boolean: 0 or 1 */
    HOST_VALUE_SIGNED = 2,   /* payload.signedNumber */
    HOST_VALUE_UNSIGNED = 3, /* payload.unsignedNumber */
    HOST_VALUE_FLOAT = 4,    /* payload.floatNumber: IEEE double */
    HOST_VALUE_STRING = 5,   /* payload.string: NUL-terminated UTF-8, length without the NUL */
    HOST_VALUE_OWNED_STRING = 6,
    HOST_VALUE_BLOB = 7, /* payload.blob */
    HOST_VALUE_OWNED_BLOB = 8,
    HOST_VALUE_COLLECTION = 9, /* payload.collection: owned array of HostValue */
    HOST_VALUE_STRUCTURE = 10  /* payload.structure: owned array of HostValueMember */
};

#pragma pack(push, 1)
typedef struct HostValue HostValue;
typedef struct HostValueMember HostValueMember;

struct HostValue {
    uint32_t tag;
    union {
        uint8_t boolean;
        int64_t signedNumber;
        uint64_t unsignedNumber;
        double floatNumber;
        struct {
            const char* text;
            uint32_t length;
        } string;
        struct {
            const uint8_t* bytes;
            uint32_t count;
        } blob;
        struct {
            HostValue* items;
            uint32_t count;
        } collection;
        struct {
            HostValueMember* members;
            uint32_t count;
        } structure;
    } payload;
};

struct HostValueMember {
    const char* key;
    HostValue value;
    uint8_t ownsKey; /* 1: the member owns the key text */
};

/* A value or a failure; error is an owned NUL-terminated text when failed is 1. */
typedef struct HostResult {
    HostValue value;
    const char* error;
    uint8_t failed;
} HostResult;
#pragma pack(pop)

NORV_STATIC_ASSERT(sizeof(void*) != 4 || sizeof(HostValue) == 12, "HostValue is a tag and an 8-byte payload");
NORV_STATIC_ASSERT(sizeof(void*) != 4 || sizeof(HostValueMember) == 17, "HostValueMember is packed: key, value, flag");
NORV_STATIC_ASSERT(sizeof(void*) != 4 || sizeof(HostResult) == 17, "HostResult is packed: value, error, flag");
/* ---- end of HostValue ------------------------------------------------------ */

/* ---- HostFunctionTable: the host's operations ------------------------------
 * Every slot takes the table itself first. Slots 1, 2 and 5 are only forwarded
 * by the plugin; their words are opaque to it. */
typedef struct HostFunctionTable HostFunctionTable;

typedef void (*HostEventCallback)(const HostEventRecord* event);

struct HostFunctionTable {
    /* 0 */ uint32_t (*SendRequest)(HostFunctionTable* self, HostResponseRecord* response,
                                    const HostRequestRecord* request);
    /* 1 */ uintptr_t (*HostSlot1)(HostFunctionTable* self, uintptr_t first, uintptr_t second);
    /* 2 */ uintptr_t (*HostSlot2)(HostFunctionTable* self, uintptr_t word);
    /* 3 */ uint32_t (*SubscribeEvent)(HostFunctionTable* self, const char* eventName, uint32_t hostHandle,
                                       HostEventCallback callback, void* context, uint32_t flags);
    /* 4 */ uint32_t (*UnsubscribeEvent)(HostFunctionTable* self, const char* eventName, uint32_t hostHandle);
    /* 5 */ uintptr_t (*HostSlot5)(HostFunctionTable* self, uintptr_t first, uintptr_t second, uintptr_t third,
                                   double value, uintptr_t fourth);
    /* 6 */ void (*YieldToHost)(HostFunctionTable* self);
    /* 7 */ void (*BeginWait)(HostFunctionTable* self, const char* label, uint32_t flags);
    /* 8 */ void (*EndWait)(HostFunctionTable* self);
    /* 9 */ void (*WriteLog)(HostFunctionTable* self, int32_t level, const char* message);
};

/* ---- HostInterface: handed to the init callback, owned by the host -------- */
typedef struct HostInterface {
    HostFunctionTable* functions;
    uint32_t hostHandle; /* passed back on every event subscription */
} HostInterface;

/* ---- PluginCallbacks: the plugin's three callbacks ------------------------
 * The context is word 4 of the load record. The table lives inside the plugin
 * object: a host that still needs a function after unload copies it first. */

/* Counters of the plugin's allocations, as the memory-statistics callback
 * writes them: each a 64-bit value split into two words, low word first. */
enum {
    NORV_MEMORY_PEAK_BYTES = 0,      /* peak of bytes allocated minus bytes freed */
    NORV_MEMORY_BLOCKS_AT_PEAK = 1,  /* allocations minus releases when the peak was last raised */
    NORV_MEMORY_BYTES_ALLOCATED = 2, /* usable size of every block allocated */
    NORV_MEMORY_ALLOCATIONS = 3,
    NORV_MEMORY_BYTES_FREED = 4, /* usable size of every block released */
    NORV_MEMORY_RELEASES = 5,
    NORV_MEMORY_RESERVED = 6, /* always 0 */
    NORV_MEMORY_COUNTER_COUNT = 7,
    NORV_MEMORY_STATISTICS_WORDS = 14
};

typedef bool (*PluginInitCallback)(void* context, HostInterface* host);
typedef void (*PluginUnloadCallback)(void* context);
typedef void (*PluginMemoryStatisticsCallback)(void* context, uint32_t* words /* NORV_MEMORY_STATISTICS_WORDS */);

typedef struct PluginCallbacks {
    PluginInitCallback init;                         /* false: the plugin could not start */
    PluginUnloadCallback unload;                     /* shuts down and destroys the plugin */
    PluginMemoryStatisticsCallback memoryStatistics; /* does not read the context */
} PluginCallbacks;

/* ---- PluginApiTable: everything the plugin describes to the host ----------
 * Each pointer leads to a chained list of packed records (word 0 of each
 * record points at the next). */
typedef struct PluginApiTable {
    const PluginFunctionRecord* functions;
    uint32_t functionCount;
    const PluginTypeRecord* types;
    uint32_t typeCount;
    const PluginEventRecord* events;
    uint32_t eventCount;
} PluginApiTable;

/* ---- PluginLoadRecord: the entry's only argument, filled in place --------- */
typedef struct PluginLoadRecord {
    /* In: the host's plugin API version. Out: the plugin's. */
    uint32_t major;
    uint32_t minor;
    uint32_t patch;
    /* Out only. */
    const PluginCallbacks* callbacks;
    void* context;                  /* the plugin object, first argument of every callback */
    const char* shortName;          /* NUL-terminated UTF-8, owned by the plugin */
    const PluginApiTable* apiTable; /* owned by the plugin */
} PluginLoadRecord;

/* The exported entry; returns the plugin object (the host uses record->context). */
typedef void* (*PluginLoadFunction)(PluginLoadRecord* record);

/* The boundary layout, checked where pointers are 32-bit as on the shipping target. */
#define NORV_ON_32_BIT_CHECK(condition) (sizeof(void*) != 4 || (condition))
NORV_STATIC_ASSERT(NORV_ON_32_BIT_CHECK(sizeof(PluginLoadRecord) == 28), "PluginLoadRecord is seven 32-bit words");
NORV_STATIC_ASSERT(NORV_ON_32_BIT_CHECK(sizeof(HostInterface) == 8), "HostInterface is two 32-bit words");
NORV_STATIC_ASSERT(NORV_ON_32_BIT_CHECK(sizeof(PluginCallbacks) == 12), "PluginCallbacks is three pointers");
NORV_STATIC_ASSERT(NORV_ON_32_BIT_CHECK(sizeof(PluginApiTable) == 24), "PluginApiTable is six 32-bit words");
NORV_STATIC_ASSERT(NORV_ON_32_BIT_CHECK(sizeof(HostFunctionTable) == 40), "the plugin uses ten host slots");

#ifdef __cplusplus
}
#endif
