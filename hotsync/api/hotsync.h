/* Stand-in for the HotSync Manager's libraries: Sync Manager, HotSync log, conduit
 * manager and install aide, as the conduit and the installer library call them.
 * Plain C so that the same declarations serve a 32-bit Windows build.
 *
 * On Windows the records are byte-packed, little-endian host records, laid out as the
 * HotSync Manager's 32-bit libraries read them (sizes and offsets checked below; pointers
 * are wider on 64-bit hosts). Elsewhere they keep natural alignment, so that no field is
 * read through a misaligned address; the same declarations serve both. Every function
 * returns 0 for success. */
#ifndef LUMORA_HOTSYNC_API_HOTSYNC_H
#define LUMORA_HOTSYNC_API_HOTSYNC_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(HOTSYNC_BUILDING)
#define HOTSYNC_API __declspec(dllexport)
#else
#define HOTSYNC_API __declspec(dllimport)
#endif
#else
#define HOTSYNC_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Result codes ---------------------------------------------------------------- */
enum {
  SYNC_OK = 0,
  SYNC_ERR_NO_MORE = 0x4003,       /* search: no further database matches */
  SYNC_ERR_EXISTS = 0x400B,        /* create: a database of that name is on the card */
  SYNC_ERR_ALREADY_OPEN = 0x400C,  /* open: the database is open already */
  SYNC_ERR_BAD_ARG = 0x400F,       /* a null pointer, bad handle or bad card */
  SYNC_ERR_NOT_FOUND = 0x4010,     /* open/delete/find by name: no such database */
  SYNC_ERR_NO_RECORD = 0x4011,     /* read by index: index out of range */
  SYNC_ERR_NO_APP_INFO = 0x4012,   /* read app-info: the database has none */
  SYNC_ERR_READ_ONLY = 0x4013,     /* write through a handle opened for reading */
  SYNC_ERR_STORAGE = 0x4014,       /* the handheld's storage failed (file system) */
  SYNC_ERR_NOT_CONNECTED = 0x4015, /* no handheld connected */
  SYNC_ERR_TOO_LARGE = 0x4016,     /* record or block larger than a handheld allows */
  SYNC_ERR_TOO_MANY_OPEN = 0x10004403
};

/* Open modes. Callers of this system use SYNC_MODE_READ | SYNC_MODE_EXCLUSIVE (0x90). */
enum { SYNC_MODE_READ = 0x80, SYNC_MODE_WRITE = 0x40, SYNC_MODE_EXCLUSIVE = 0x10 };

/* Search flags and option bits. */
enum { SYNC_SEARCH_NEW = 0x80, SYNC_SEARCH_CONTINUE = 0x00, SYNC_SEARCH_OPTIONS = 0xE0 };

#if defined(_WIN32)
#pragma pack(push, 1)
#endif

/* Raw record info. Read: bytes receives min(record size, bufferCapacity) bytes and
 * recordSize is set to the record's full size, recordId/attributes/category to the
 * record's. Write: recordId 0 appends a new record (its new unique ID is stored back in
 * recordId); recordSize bytes are taken from bytes. */
typedef struct SyncRawRecordInfo {
  uint8_t handle;
  uint32_t recordId;
  uint16_t recordIndex;
  uint8_t attributes;
  uint16_t category;
  uint32_t unused;
  uint32_t recordSize;
  uint16_t bufferCapacity;
  uint8_t* bytes;
  uint32_t reserved;
} SyncRawRecordInfo;

/* App-info request. Read: at most totalSize bytes are stored in bytes and baseSize is
 * set to the number stored. Write: the block becomes totalSize bytes from bytes. */
typedef struct SyncAppInfoRequest {
  uint8_t notSet[32];
  uint16_t baseSize;
  uint16_t totalSize;
  uint8_t* bytes;
  uint32_t reserved;
} SyncAppInfoRequest;

/* Create parameters; handle is filled in on success. */
typedef struct SyncCreateParams {
  uint8_t handle;
  uint32_t creator;
  uint32_t flags;
  uint8_t card;
  char name[32];
  uint32_t type;
  uint16_t version;
  uint32_t reserved;
} SyncCreateParams;

/* Search by type and creator. A call with searchFlags SYNC_SEARCH_NEW starts at the first
 * database of the card; a call with SYNC_SEARCH_CONTINUE goes on after the database that
 * the previous call returned, matching the type and creator of the current call. */
typedef struct SyncSearchTypeCreator {
  uint8_t options;
  uint8_t searchFlags;
  uint32_t type;
  uint32_t creator;
} SyncSearchTypeCreator;

typedef struct SyncSearchName {
  uint8_t options;
  uint32_t card;
  const char* name;
} SyncSearchName;

/* Database information filled by a search: the card at offset 0, the name at offset 10. */
typedef struct SyncDbInfo {
  uint32_t card;
  uint16_t attributes;
  uint16_t version;
  uint16_t reserved;
  char name[32];
  uint32_t type;
  uint32_t creator;
  uint32_t recordCount;
  uint32_t totalSize;
} SyncDbInfo;

#if defined(_WIN32)
#pragma pack(pop)
#endif

#if defined(__cplusplus)
#define HOTSYNC_STATIC_ASSERT static_assert
#else
#define HOTSYNC_STATIC_ASSERT _Static_assert
#endif
#if defined(_WIN32)
#if UINTPTR_MAX == 0xFFFFFFFFu
HOTSYNC_STATIC_ASSERT(sizeof(SyncRawRecordInfo) == 28, "raw record info is 28 bytes");
HOTSYNC_STATIC_ASSERT(offsetof(SyncRawRecordInfo, bytes) == 20, "record bytes at 20");
HOTSYNC_STATIC_ASSERT(sizeof(SyncAppInfoRequest) == 44, "app-info request is 44 bytes");
HOTSYNC_STATIC_ASSERT(sizeof(SyncCreateParams) == 52, "create parameters are 52 bytes");
HOTSYNC_STATIC_ASSERT(offsetof(SyncCreateParams, name) == 10, "created name at 10");
HOTSYNC_STATIC_ASSERT(sizeof(SyncSearchTypeCreator) == 10, "type/creator search is 10 bytes");
HOTSYNC_STATIC_ASSERT(sizeof(SyncSearchName) == 9, "name search is 9 bytes");
#endif
HOTSYNC_STATIC_ASSERT(offsetof(SyncSearchTypeCreator, creator) == 6, "searched creator at 6");
HOTSYNC_STATIC_ASSERT(offsetof(SyncRawRecordInfo, recordSize) == 14, "record size at 14");
HOTSYNC_STATIC_ASSERT(offsetof(SyncDbInfo, name) == 10, "found name at 10");
#endif
#undef HOTSYNC_STATIC_ASSERT

/* ---- Sync Manager ------------------------------------------------------------------ */
HOTSYNC_API int32_t SyncOpenDB(const char* name, int32_t card, uint8_t* outHandle, uint8_t mode);
HOTSYNC_API int32_t SyncCreateDB(SyncCreateParams* params);
HOTSYNC_API int32_t SyncCloseDB(uint8_t handle);
HOTSYNC_API int32_t SyncDeleteDB(const char* name, int32_t card);
HOTSYNC_API int32_t SyncReadRecordByIndex(SyncRawRecordInfo* info);
HOTSYNC_API int32_t SyncWriteRec(SyncRawRecordInfo* info);
HOTSYNC_API int32_t SyncReadDBAppInfoBlock(uint8_t handle, SyncAppInfoRequest* request);
HOTSYNC_API int32_t SyncWriteDBAppInfoBlock(uint8_t handle, SyncAppInfoRequest* request);
HOTSYNC_API int32_t SyncTrace(const char* text);
HOTSYNC_API int32_t SyncFindDbByTypeCreator(SyncSearchTypeCreator* search, SyncDbInfo* info);
HOTSYNC_API int32_t SyncFindDbByName(SyncSearchName* search, SyncDbInfo* info);
HOTSYNC_API uint16_t SyncHostToHHWord(uint16_t value);
HOTSYNC_API uint32_t SyncHostToHHDWord(uint32_t value);
HOTSYNC_API uint16_t SyncHHToHostWord(uint16_t value);
HOTSYNC_API uint32_t SyncHHToHostDWord(uint32_t value);

/* ---- HotSync log ------------------------------------------------------------------- */
HOTSYNC_API int32_t LogAddEntry(const char* text, int32_t activity, int32_t reserved);
HOTSYNC_API int32_t LogAddFormattedEntry(int32_t activity, int32_t reserved, const char* format,
                                         ...);

/* ---- Conduit manager (creator as zero-terminated text, e.g. "LmDx") ---------------- */
enum { CM_ERR_ALREADY_REGISTERED = -1005, CM_ERR_NOT_REGISTERED = -1006, CM_ERR_STORAGE = -1010 };
HOTSYNC_API int32_t CmInstallCreator(const char* creator, int32_t type);
HOTSYNC_API int32_t CmSetCreatorName(const char* creator, const char* libraryName);
HOTSYNC_API int32_t CmSetCreatorDirectory(const char* creator, const char* directory);
HOTSYNC_API int32_t CmSetCreatorTitle(const char* creator, const char* title);
HOTSYNC_API int32_t CmRemoveConduitByCreatorID(const char* creator);

/* ---- Install aide ------------------------------------------------------------------ */
/* Copies the file into the user's install queue; the caller may delete it afterwards. */
HOTSYNC_API int32_t PltInstallFile(char* userName, char* filePath);

#ifdef __cplusplus
}
#endif

#endif
