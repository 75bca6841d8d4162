/* The records and function tables that cross the boundary between a host and a
 * plugin of this family. Plain C: a host written in C includes it as it stands.
 * Every function pointer uses the C calling convention, spelled NORV_CALL: a
 * 32-bit Windows compiler may be told to default to another one, and x86-64
 * has only one. On the shipping 32-bit target every pointer and word is 32
 * bits wide; the layout checks below hold there, under both the GNU and the
 * Microsoft rules for alignment and packing. */
#pragma once

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define NORV_CALL __cdecl
#else
#define NORV_CALL
#endif

#ifdef __cplusplus
#define NORV_STATIC_ASSERT(condition, message) static_assert(condition, message)
extern "C" {
#else
#include <stdbool.h>
#if defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define NORV_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#else
/* C99 has no static assertion: an array of negative size stops the build, and
 * the line number keeps each typedef's name unique. */
#define NORV_STATIC_ASSERT_NAME2(line) norv_static_assert_##line
#define NORV_STATIC_ASSERT_NAME(line) NORV_STATIC_ASSERT_NAME2(line)
#define NORV_STATIC_ASSERT(condition, message) typedef char NORV_STATIC_ASSERT_NAME(__LINE__)[(condition) ? 1 : -1]
#endif
#endif

/* Name of the one exported entry. */
#define NORV_PLUGIN_ENTRY_NAME "load_vek_norv_messaging_service"

/* The plugin API version. A host whose major version differs from
 * NORV_PLUGIN_API_VERSION_MAJOR makes the plugin fail its load; minor and
 * patch may differ either way. */
#define NORV_PLUGIN_API_VERSION_MAJOR 18
#define NORV_PLUGIN_API_VERSION_MINOR 0
#define NORV_PLUGIN_API_VERSION_PATCH 0

/* Lifetime and threading: the host interface and the function table the host
 * hands over must stay valid until unload returns. Events arrive on the thread
 * that calls init and unload; function handlers may be called on any thread,
 * several at once. A host must not unload the plugin while a function handler
 * call is running, nor before it has released every response such a call
 * filled: unload does not wait for them. Service-proxy handlers run without the
 * plugin's internal lock, so handlers called on different threads do not
 * exclude each other and must guard any state they share. */

/* Type codes of the API table's records; 0 for any other kind. */
enum {
    NORV_TYPE_NONE = 0,
    NORV_TYPE_BOOL = 1,
    NORV_TYPE_INT8 = 2,
    NORV_TYPE_UINT8 = 3,
    NORV_TYPE_INT16 = 4,
    NORV_TYPE_UINT16 = 5,
    NORV_TYPE_INT32 = 6,
    NORV_TYPE_UINT32 = 7,
    NORV_TYPE_INT64 = 8,
    NORV_TYPE_UINT64 = 9,
    NORV_TYPE_FLOAT = 10,
    NORV_TYPE_DOUBLE = 11,
    NORV_TYPE_STRING = 12,
    NORV_TYPE_OBJECT = 13,
    NORV_TYPE_BLOB = 14,
    NORV_TYPE_VECTOR = 15,
    NORV_TYPE_ENUM = 16,
    NORV_TYPE_STRUCT = 17,
    NORV_TYPE_CALLBACK = 18,
    NORV_TYPE_MAP = 19
};

/* Request methods; NORV_METHOD_NAMED names its method by text (methodName). */
enum {
    NORV_METHOD_DELETE = 1,
    NORV_METHOD_GET = 2,
    NORV_METHOD_HEAD = 3,
    NORV_METHOD_OPTIONS = 4,
    NORV_METHOD_PATCH = 5,
    NORV_METHOD_POST = 6,
    NORV_METHOD_PUT = 7,
    NORV_METHOD_NAMED = 8
};

typedef struct PluginFunctionRecord PluginFunctionRecord;

/* ---- HostValue: one value crossing the boundary ---------------------------
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

/* ---- end of HostValue ------------------------------------------------------ */

/* ---- Requests, responses and events ----------------------------------------
 * Method numbers: 1 DELETE, 2 GET, 3 HEAD, 4 OPTIONS, 5 PATCH, 6 POST, 7 PUT,
 * 8 a method named by text (methodName). */
#pragma pack(push, 1)
/* One argument of a request: a named one, or a positional one (name null). */
typedef struct HostArgumentEntry {
    const char* name;
    HostValue value;
} HostArgumentEntry;
#pragma pack(pop)

typedef struct HostHeaderEntry {
    const char* name;
    const char* value;
} HostHeaderEntry;

/* A request, from the plugin to the host (SendRequest) or from the host to one
 * of the plugin's functions. The sender owns everything it points to. */
typedef struct HostRequestRecord {
    int32_t method;
    const char* path; /* may carry a query part after '?' */
    const HostArgumentEntry* arguments;
    uint32_t argumentCount;
    const void* handlerContext; /* the function's context, for calls into the plugin */
    const HostHeaderEntry* headers;
    uint32_t headerCount;
    const char* contentType;
    const void* body; /* null when there is none */
    uint32_t bodyLength;
    uint32_t callerContext; /* opaque, handed on unchanged */
    const char* methodName; /* method 8 only; may be null */
} HostRequestRecord;

typedef struct HostResponseRecord HostResponseRecord;

/* A streamed body. read: in *count the buffer's capacity, out the bytes
 * delivered; *more stays 1 while more data may follow; returns 0 on failure. */
typedef uint8_t(NORV_CALL* HostStreamReadFunction)(void* stream, uint8_t* buffer, uint32_t* count, uint8_t* more);
typedef void(NORV_CALL* HostStreamReleaseFunction)(void* stream);
/* Releases what the record owns and zeroes it; releasing twice is harmless. */
typedef void(NORV_CALL* HostResponseReleaseFunction)(HostResponseRecord* response);

#pragma pack(push, 1)
/* The answer to a request, filled by whoever answers it and released by the
 * filler's own release function. Byte-packed. A response a plugin function
 * filled holds the plugin's memory until the host calls its release, which the
 * host does once for every such response, before unload. A response the host
 * fills in SendRequest is released by the plugin once it has read it. */
struct HostResponseRecord {
    HostValue body;
    const char* error; /* owned NUL-terminated text; the call failed when set */
    uint8_t hasError;
    uint8_t flag;  /* copied unchanged */
    uint32_t kind; /* 1, 2, 3, or 0; copied unchanged */
    int32_t status;
    const char* contentType;
    const HostHeaderEntry* headers;
    uint32_t headerCount;
    HostStreamReadFunction readStream; /* null: the body is the value above */
    HostStreamReleaseFunction releaseStream;
    uint32_t streamSizeHint;
    uint32_t reserved; /* zero */
    void* stream;
    HostResponseReleaseFunction release;
};

/* What an event callback receives; valid only during the call. */
typedef struct HostEventRecord {
    const char* eventName;
    HostValue payload;
    uint32_t unused;
    void* context; /* what the plugin gave when it subscribed */
} HostEventRecord;
#pragma pack(pop)
/* ---- end of requests, responses and events --------------------------------- */

/* ---- HostFunctionTable: the host's operations ------------------------------
 * Every slot takes the table itself first. Slots 1, 2 and 5 are only forwarded
 * by the plugin; their words are opaque to it. Any slot may be null, and so
 * may HostInterface.functions: the plugin then does without that operation.
 * With no SendRequest every typed call fails with "Request not sent: no host
 * to take ..."; with no SubscribeEvent no event arrives; with no WriteLog log
 * lines are dropped; without YieldToHost, BeginWait or EndWait the plugin
 * waits and reads streams without telling the host; a null forwarded slot
 * answers 0. */
typedef struct HostFunctionTable HostFunctionTable;

typedef void(NORV_CALL* HostEventCallback)(const HostEventRecord* event);

struct HostFunctionTable {
    /* 0 */ uint32_t(NORV_CALL* SendRequest)(HostFunctionTable* self, HostResponseRecord* response,
                                             const HostRequestRecord* request);
    /* 1 */ uintptr_t(NORV_CALL* HostSlot1)(HostFunctionTable* self, uintptr_t first, uintptr_t second);
    /* 2 */ uintptr_t(NORV_CALL* HostSlot2)(HostFunctionTable* self, uintptr_t word);
    /* 3 */ uint32_t(NORV_CALL* SubscribeEvent)(HostFunctionTable* self, const char* eventName, uint32_t hostHandle,
                                                HostEventCallback callback, void* context, uint32_t flags);
    /* 4 */ uint32_t(NORV_CALL* UnsubscribeEvent)(HostFunctionTable* self, const char* eventName, uint32_t hostHandle);
    /* 5 */ uintptr_t(NORV_CALL* HostSlot5)(HostFunctionTable* self, uintptr_t first, uintptr_t second, uintptr_t third,
                                            double value, uintptr_t fourth);
    /* 6 */ void(NORV_CALL* YieldToHost)(HostFunctionTable* self);
    /* 7 */ void(NORV_CALL* BeginWait)(HostFunctionTable* self, const char* label, uint32_t flags);
    /* 8 */ void(NORV_CALL* EndWait)(HostFunctionTable* self);
    /* 9 */ void(NORV_CALL* WriteLog)(HostFunctionTable* self, int32_t level, const char* message);
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

typedef bool(NORV_CALL* PluginInitCallback)(void* context, HostInterface* host);
typedef void(NORV_CALL* PluginUnloadCallback)(void* context);
typedef void(NORV_CALL* PluginMemoryStatisticsCallback)(void* context,
                                                        uint32_t* words /* NORV_MEMORY_STATISTICS_WORDS */);

typedef struct PluginCallbacks {
    PluginInitCallback init;                         /* false: the plugin could not start */
    PluginUnloadCallback unload;                     /* shuts down and destroys the plugin */
    PluginMemoryStatisticsCallback memoryStatistics; /* does not read the context */
} PluginCallbacks;

/* ---- The API table's records ----------------------------------------------
 * Byte-packed. Every array is contiguous and also chained: word 0 of each
 * record points at the next one of its array and is null in the last; an empty
 * array is a null pointer with a count of 0. Texts are NUL-terminated UTF-8,
 * never null, owned by the plugin for as long as it is loaded.
 *
 * Type codes: 1 bool, 2 int8, 3 uint8, 4 int16, 5 uint16, 6 int32, 7 uint32,
 * 8 int64, 9 uint64, 10 float, 11 double, 12 string, 13 object (a dynamic
 * value), 14 blob, 15 vector, 16 enum, 17 struct, 18 callback, 19 map (text
 * keys); 0 for anything else. The type name beside a code names the
 * registered enum or struct type for codes 15, 16, 17 and 19 (the element's
 * for 15 and 19), and is empty otherwise. */
enum {
    PLUGIN_LOCATION_ANYWHERE = 0,
    PLUGIN_LOCATION_QUERY = 1,
    PLUGIN_LOCATION_PATH = 2,
    PLUGIN_LOCATION_HOST_ARGUMENT = 3,
    PLUGIN_LOCATION_HEADER = 4,
    PLUGIN_LOCATION_BODY = 5
};

#pragma pack(push, 1)
typedef struct PluginEventRecord PluginEventRecord;
struct PluginEventRecord {
    const PluginEventRecord* next;
    const char* name;
    const char* nameSpace;
    const char* typeName; /* the payload's type */
    const char* description;
    const char* const* tags;
    uint32_t tagCount;
};

typedef struct PluginMemberRecord PluginMemberRecord;
struct PluginMemberRecord {
    const PluginMemberRecord* next;
    const char* name;
    const char* description;
    uint32_t offset; /* in the native structure */
    uint32_t typeCode;
    uint32_t elementTypeCode; /* vector and map; 0 otherwise */
    const char* typeName;
    uint8_t custom; /* 1: converted by the member's own converter */
};

typedef struct PluginEnumeratorRecord PluginEnumeratorRecord;
struct PluginEnumeratorRecord {
    const PluginEnumeratorRecord* next;
    const char* name;
    const char* description;
    int32_t value;
};

/* A type with members is a structure; one without, an enumeration. */
typedef struct PluginTypeRecord PluginTypeRecord;
struct PluginTypeRecord {
    const PluginTypeRecord* next;
    const char* name;
    const char* nameSpace;
    uint32_t size; /* native size in bytes */
    const char* description;
    const char* const* tags;
    uint32_t tagCount;
    const PluginMemberRecord* members;         /* structures; null for an enumeration */
    const PluginEnumeratorRecord* enumerators; /* enumerations, by name; null for a structure */
    uint32_t count;                            /* of members or of enumerators */
};

typedef struct PluginArgumentRecord PluginArgumentRecord;
struct PluginArgumentRecord {
    const PluginArgumentRecord* next;
    const char* name;
    const char* description;
    uint32_t typeCode;
    uint32_t elementTypeCode;
    const char* typeName;
    uint8_t optional;
};

/* Where one parameter's argument may come from: PLUGIN_LOCATION_*. */
typedef struct PluginParameterLocation PluginParameterLocation;
struct PluginParameterLocation {
    const PluginParameterLocation* next;
    uint32_t location;
};

/* A list of texts the host interprets; the plugin only hands it on. */
typedef struct PluginTextListRecord PluginTextListRecord;
struct PluginTextListRecord {
    const PluginTextListRecord* next;
    const char* const* texts;
    uint32_t count;
};
#pragma pack(pop)

/* How the host calls one exposed function: the request record carries the
 * function record's handlerContext; the plugin fills the response and sets its
 * release function. */
typedef void(NORV_CALL* PluginRequestHandler)(HostResponseRecord* response, const HostRequestRecord* request);

#pragma pack(push, 1)
struct PluginFunctionRecord {
    const PluginFunctionRecord* next;
    uint32_t zero;
    const void* handlerContext; /* handed back in every request for this function */
    const char* name;
    const char* nameSpace;
    const PluginArgumentRecord* arguments; /* in parameter order */
    uint32_t argumentCount;
    uint32_t returnTypeCode;
    uint32_t returnElementTypeCode;
    const char* returnTypeName;
    const char* description;
    const char* help;
    uint8_t threadSafe;
    const char* asyncTypeName; /* an asynchronous function's result type; empty otherwise */
    const char* const* tags;
    uint32_t tagCount;
    PluginRequestHandler handler;
    const PluginParameterLocation* locations; /* one per parameter */
    const char* urlTemplate;
    uint32_t method; /* 1 to 8, 0 for every method */
    uint8_t flag;    /* the host's to read */
    const PluginTextListRecord* textLists;
    uint32_t textListCount;
    const char* methodName; /* method 8; empty otherwise */
};
#pragma pack(pop)

/* ---- PluginApiTable: everything the plugin describes to the host ---------- */
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
/* What the record points to out (callbacks, short name, the API table and every
 * record and text it reaches) belongs to the plugin and stays valid until
 * unload returns; the host never writes or frees it. */

/* The exported entry; returns the plugin object (the host uses record->context). */
typedef void*(NORV_CALL* PluginLoadFunction)(PluginLoadRecord* record);

/* The boundary layout, checked where pointers are 32-bit as on the shipping
 * target: sizes and the offset of every field, so that two swapped fields of
 * one size cannot pass unnoticed. */
#define NORV_ON_32_BIT_CHECK(condition) (sizeof(void*) != 4 || (condition))
#define NORV_CHECK_SIZE(record, size) \
    NORV_STATIC_ASSERT(NORV_ON_32_BIT_CHECK(sizeof(record) == (size)), #record " is " #size " bytes")
#define NORV_CHECK_OFFSET(record, field, offset)                                  \
    NORV_STATIC_ASSERT(NORV_ON_32_BIT_CHECK(offsetof(record, field) == (offset)), \
                       #record "." #field " is at byte " #offset)

NORV_CHECK_SIZE(HostValue, 12);
NORV_CHECK_OFFSET(HostValue, tag, 0);
NORV_CHECK_OFFSET(HostValue, payload, 4);
NORV_CHECK_OFFSET(HostValue, payload.string.text, 4);
NORV_CHECK_OFFSET(HostValue, payload.string.length, 8);
NORV_CHECK_OFFSET(HostValue, payload.blob.count, 8);
NORV_CHECK_OFFSET(HostValue, payload.collection.count, 8);
NORV_CHECK_OFFSET(HostValue, payload.structure.count, 8);
NORV_CHECK_SIZE(HostValueMember, 17);
NORV_CHECK_OFFSET(HostValueMember, key, 0);
NORV_CHECK_OFFSET(HostValueMember, value, 4);
NORV_CHECK_OFFSET(HostValueMember, ownsKey, 16);
NORV_CHECK_SIZE(HostResult, 17);
NORV_CHECK_OFFSET(HostResult, value, 0);
NORV_CHECK_OFFSET(HostResult, error, 12);
NORV_CHECK_OFFSET(HostResult, failed, 16);

NORV_CHECK_SIZE(HostArgumentEntry, 16);
NORV_CHECK_OFFSET(HostArgumentEntry, name, 0);
NORV_CHECK_OFFSET(HostArgumentEntry, value, 4);
NORV_CHECK_SIZE(HostHeaderEntry, 8);
NORV_CHECK_OFFSET(HostHeaderEntry, name, 0);
NORV_CHECK_OFFSET(HostHeaderEntry, value, 4);
NORV_CHECK_SIZE(HostRequestRecord, 48);
NORV_CHECK_OFFSET(HostRequestRecord, method, 0);
NORV_CHECK_OFFSET(HostRequestRecord, path, 4);
NORV_CHECK_OFFSET(HostRequestRecord, arguments, 8);
NORV_CHECK_OFFSET(HostRequestRecord, argumentCount, 12);
NORV_CHECK_OFFSET(HostRequestRecord, handlerContext, 16);
NORV_CHECK_OFFSET(HostRequestRecord, headers, 20);
NORV_CHECK_OFFSET(HostRequestRecord, headerCount, 24);
NORV_CHECK_OFFSET(HostRequestRecord, contentType, 28);
NORV_CHECK_OFFSET(HostRequestRecord, body, 32);
NORV_CHECK_OFFSET(HostRequestRecord, bodyLength, 36);
NORV_CHECK_OFFSET(HostRequestRecord, callerContext, 40);
NORV_CHECK_OFFSET(HostRequestRecord, methodName, 44);
NORV_CHECK_SIZE(HostResponseRecord, 62);
NORV_CHECK_OFFSET(HostResponseRecord, body, 0);
NORV_CHECK_OFFSET(HostResponseRecord, error, 12);
NORV_CHECK_OFFSET(HostResponseRecord, hasError, 16);
NORV_CHECK_OFFSET(HostResponseRecord, flag, 17);
NORV_CHECK_OFFSET(HostResponseRecord, kind, 18);
NORV_CHECK_OFFSET(HostResponseRecord, status, 22);
NORV_CHECK_OFFSET(HostResponseRecord, contentType, 26);
NORV_CHECK_OFFSET(HostResponseRecord, headers, 30);
NORV_CHECK_OFFSET(HostResponseRecord, headerCount, 34);
NORV_CHECK_OFFSET(HostResponseRecord, readStream, 38);
NORV_CHECK_OFFSET(HostResponseRecord, releaseStream, 42);
NORV_CHECK_OFFSET(HostResponseRecord, streamSizeHint, 46);
NORV_CHECK_OFFSET(HostResponseRecord, reserved, 50);
NORV_CHECK_OFFSET(HostResponseRecord, stream, 54);
NORV_CHECK_OFFSET(HostResponseRecord, release, 58);
NORV_CHECK_SIZE(HostEventRecord, 24);
NORV_CHECK_OFFSET(HostEventRecord, eventName, 0);
NORV_CHECK_OFFSET(HostEventRecord, payload, 4);
NORV_CHECK_OFFSET(HostEventRecord, unused, 16);
NORV_CHECK_OFFSET(HostEventRecord, context, 20);

NORV_CHECK_SIZE(HostFunctionTable, 40);
NORV_CHECK_OFFSET(HostFunctionTable, SendRequest, 0);
NORV_CHECK_OFFSET(HostFunctionTable, HostSlot1, 4);
NORV_CHECK_OFFSET(HostFunctionTable, HostSlot2, 8);
NORV_CHECK_OFFSET(HostFunctionTable, SubscribeEvent, 12);
NORV_CHECK_OFFSET(HostFunctionTable, UnsubscribeEvent, 16);
NORV_CHECK_OFFSET(HostFunctionTable, HostSlot5, 20);
NORV_CHECK_OFFSET(HostFunctionTable, YieldToHost, 24);
NORV_CHECK_OFFSET(HostFunctionTable, BeginWait, 28);
NORV_CHECK_OFFSET(HostFunctionTable, EndWait, 32);
NORV_CHECK_OFFSET(HostFunctionTable, WriteLog, 36);
NORV_CHECK_SIZE(HostInterface, 8);
NORV_CHECK_OFFSET(HostInterface, functions, 0);
NORV_CHECK_OFFSET(HostInterface, hostHandle, 4);
NORV_CHECK_SIZE(PluginCallbacks, 12);
NORV_CHECK_OFFSET(PluginCallbacks, init, 0);
NORV_CHECK_OFFSET(PluginCallbacks, unload, 4);
NORV_CHECK_OFFSET(PluginCallbacks, memoryStatistics, 8);
NORV_CHECK_SIZE(PluginEventRecord, 28);
NORV_CHECK_OFFSET(PluginEventRecord, next, 0);
NORV_CHECK_OFFSET(PluginEventRecord, name, 4);
NORV_CHECK_OFFSET(PluginEventRecord, nameSpace, 8);
NORV_CHECK_OFFSET(PluginEventRecord, typeName, 12);
NORV_CHECK_OFFSET(PluginEventRecord, description, 16);
NORV_CHECK_OFFSET(PluginEventRecord, tags, 20);
NORV_CHECK_OFFSET(PluginEventRecord, tagCount, 24);
NORV_CHECK_SIZE(PluginMemberRecord, 29);
NORV_CHECK_OFFSET(PluginMemberRecord, next, 0);
NORV_CHECK_OFFSET(PluginMemberRecord, name, 4);
NORV_CHECK_OFFSET(PluginMemberRecord, description, 8);
NORV_CHECK_OFFSET(PluginMemberRecord, offset, 12);
NORV_CHECK_OFFSET(PluginMemberRecord, typeCode, 16);
NORV_CHECK_OFFSET(PluginMemberRecord, elementTypeCode, 20);
NORV_CHECK_OFFSET(PluginMemberRecord, typeName, 24);
NORV_CHECK_OFFSET(PluginMemberRecord, custom, 28);
NORV_CHECK_SIZE(PluginEnumeratorRecord, 16);
NORV_CHECK_OFFSET(PluginEnumeratorRecord, next, 0);
NORV_CHECK_OFFSET(PluginEnumeratorRecord, name, 4);
NORV_CHECK_OFFSET(PluginEnumeratorRecord, description, 8);
NORV_CHECK_OFFSET(PluginEnumeratorRecord, value, 12);
NORV_CHECK_SIZE(PluginTypeRecord, 40);
NORV_CHECK_OFFSET(PluginTypeRecord, next, 0);
NORV_CHECK_OFFSET(PluginTypeRecord, name, 4);
NORV_CHECK_OFFSET(PluginTypeRecord, nameSpace, 8);
NORV_CHECK_OFFSET(PluginTypeRecord, size, 12);
NORV_CHECK_OFFSET(PluginTypeRecord, description, 16);
NORV_CHECK_OFFSET(PluginTypeRecord, tags, 20);
NORV_CHECK_OFFSET(PluginTypeRecord, tagCount, 24);
NORV_CHECK_OFFSET(PluginTypeRecord, members, 28);
NORV_CHECK_OFFSET(PluginTypeRecord, enumerators, 32);
NORV_CHECK_OFFSET(PluginTypeRecord, count, 36);
NORV_CHECK_SIZE(PluginArgumentRecord, 25);
NORV_CHECK_OFFSET(PluginArgumentRecord, next, 0);
NORV_CHECK_OFFSET(PluginArgumentRecord, name, 4);
NORV_CHECK_OFFSET(PluginArgumentRecord, description, 8);
NORV_CHECK_OFFSET(PluginArgumentRecord, typeCode, 12);
NORV_CHECK_OFFSET(PluginArgumentRecord, elementTypeCode, 16);
NORV_CHECK_OFFSET(PluginArgumentRecord, typeName, 20);
NORV_CHECK_OFFSET(PluginArgumentRecord, optional, 24);
NORV_CHECK_SIZE(PluginParameterLocation, 8);
NORV_CHECK_OFFSET(PluginParameterLocation, next, 0);
NORV_CHECK_OFFSET(PluginParameterLocation, location, 4);
NORV_CHECK_SIZE(PluginTextListRecord, 12);
NORV_CHECK_OFFSET(PluginTextListRecord, next, 0);
NORV_CHECK_OFFSET(PluginTextListRecord, texts, 4);
NORV_CHECK_OFFSET(PluginTextListRecord, count, 8);
NORV_CHECK_SIZE(PluginFunctionRecord, 90);
NORV_CHECK_OFFSET(PluginFunctionRecord, next, 0);
NORV_CHECK_OFFSET(PluginFunctionRecord, zero, 4);
NORV_CHECK_OFFSET(PluginFunctionRecord, handlerContext, 8);
NORV_CHECK_OFFSET(PluginFunctionRecord, name, 12);
NORV_CHECK_OFFSET(PluginFunctionRecord, nameSpace, 16);
NORV_CHECK_OFFSET(PluginFunctionRecord, arguments, 20);
NORV_CHECK_OFFSET(PluginFunctionRecord, argumentCount, 24);
NORV_CHECK_OFFSET(PluginFunctionRecord, returnTypeCode, 28);
NORV_CHECK_OFFSET(PluginFunctionRecord, returnElementTypeCode, 32);
NORV_CHECK_OFFSET(PluginFunctionRecord, returnTypeName, 36);
NORV_CHECK_OFFSET(PluginFunctionRecord, description, 40);
NORV_CHECK_OFFSET(PluginFunctionRecord, help, 44);
NORV_CHECK_OFFSET(PluginFunctionRecord, threadSafe, 48);
NORV_CHECK_OFFSET(PluginFunctionRecord, asyncTypeName, 49);
NORV_CHECK_OFFSET(PluginFunctionRecord, tags, 53);
NORV_CHECK_OFFSET(PluginFunctionRecord, tagCount, 57);
NORV_CHECK_OFFSET(PluginFunctionRecord, handler, 61);
NORV_CHECK_OFFSET(PluginFunctionRecord, locations, 65);
NORV_CHECK_OFFSET(PluginFunctionRecord, urlTemplate, 69);
NORV_CHECK_OFFSET(PluginFunctionRecord, method, 73);
NORV_CHECK_OFFSET(PluginFunctionRecord, flag, 77);
NORV_CHECK_OFFSET(PluginFunctionRecord, textLists, 78);
NORV_CHECK_OFFSET(PluginFunctionRecord, textListCount, 82);
NORV_CHECK_OFFSET(PluginFunctionRecord, methodName, 86);
NORV_CHECK_SIZE(PluginApiTable, 24);
NORV_CHECK_OFFSET(PluginApiTable, functions, 0);
NORV_CHECK_OFFSET(PluginApiTable, functionCount, 4);
NORV_CHECK_OFFSET(PluginApiTable, types, 8);
NORV_CHECK_OFFSET(PluginApiTable, typeCount, 12);
NORV_CHECK_OFFSET(PluginApiTable, events, 16);
NORV_CHECK_OFFSET(PluginApiTable, eventCount, 20);
NORV_CHECK_SIZE(PluginLoadRecord, 28);
NORV_CHECK_OFFSET(PluginLoadRecord, major, 0);
NORV_CHECK_OFFSET(PluginLoadRecord, minor, 4);
NORV_CHECK_OFFSET(PluginLoadRecord, patch, 8);
NORV_CHECK_OFFSET(PluginLoadRecord, callbacks, 12);
NORV_CHECK_OFFSET(PluginLoadRecord, context, 16);
NORV_CHECK_OFFSET(PluginLoadRecord, shortName, 20);
NORV_CHECK_OFFSET(PluginLoadRecord, apiTable, 24);

#ifdef __cplusplus
}
#endif
