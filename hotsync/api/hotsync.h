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
/* The HotSync Manager's own values: a conduit built here compares the same numbers on
 * Windows and Linux. The real Sync Manager answers every "not there" with 0x4003: a
 * database, the end of a search, a record index, an app-info block. */
enum {
  SYNC_OK = 0,
  SYNC_ERR_NOT_FOUND = 0x4003,     /* open/delete/find by name: no such database */
  SYNC_ERR_NO_MORE = 0x4003,       /* search: no further database matches */
  SYNC_ERR_NO_RECORD = 0x4003,     /* read by index: index out of range */
  SYNC_ERR_NO_APP_INFO = 0x4003,   /* read app-info: the database has none */
  SYNC_ERR_READ_ONLY = 0x4009,     /* write through a handle opened for reading */
  SYNC_ERR_EXISTS = 0x400B,        /* create: a database of that name is on the card */
  SYNC_ERR_ALREADY_OPEN = 0x400C,  /* open: the database is open already */
  SYNC_ERR_BAD_ARG = 0x400F,       /* a null pointer, bad handle or bad card */
  SYNC_ERR_STORAGE = 0x4014,       /* the handheld's storage failed (no room, file system) */
  SYNC_ERR_NOT_CONNECTED = 0x401B, /* no handheld connected */
  /* Only the stand-in says this (the real libraries have no such code): a record or
   * block larger than a handheld allows, or than the caller's buffer. */
  SYNC_ERR_TOO_LARGE = 0x7F01,
  SYNC_ERR_TOO_MANY_OPEN = 0x10004403
};

/* Open modes. Callers of this system use SYNC_MODE_READ | SYNC_MODE_SECRET (0x90). */
enum {
  SYNC_MODE_READ = 0x80,
  SYNC_MODE_WRITE = 0x40,
  SYNC_MODE_EXCLUSIVE = 0x20,
  SYNC_MODE_SECRET = 0x10
};

/* Search flags and option bits. */
enum { SYNC_SEARCH_NEW = 0x80, SYNC_SEARCH_CONTINUE = 0x00, SYNC_SEARCH_OPTIONS = 0xE0 };

#if defined(_WIN32)
#pragma pack(push, 1)
#endif

/* Raw record info. Read: bytes receives min(record size, bufferCapacity) bytes and
 * recordSize is set to the record's full size, recordId/attributes/category to the
 * record's. Write: recordId 0 appends a new record (its new unique ID is stored back in
 * recordId); recordSize bytes are taken from bytes, and bufferCapacity carries the same
 * size, as the HotSync Manager's Sync Manager reads it there. */
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

/* App-info request. Read: at most bufferSize bytes are stored in bytes and blockSize is
 * set to the block's full size (which may exceed the buffer). Write: the block becomes
 * bufferSize bytes from bytes; callers set blockSize to the same. */
typedef struct SyncAppInfoRequest {
  uint8_t notSet[32];
  uint16_t bufferSize;
  uint16_t blockSize;
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

/* Database information filled by a search. The Sync Manager writes all of it, so callers
 * pass the whole record even when they read only the card and the name. */
typedef struct SyncDbInfo {
  uint32_t card;
  uint16_t attributes;
  uint32_t type;
  char name[32];
  uint32_t creator;
  uint16_t version;
  uint32_t modificationNumber;
  uint16_t index;
  uint32_t createDate;
  uint32_t modifyDate;
  uint32_t backupDate;
  uint32_t miscFlags;
  uint32_t unusedRecordCount;
  uint32_t reserved;
  uint32_t recordCount; /* with option bit 0x40, as totalSize and dataSize */
  uint32_t totalSize;
  uint32_t dataSize;
  uint32_t appInfoSize;
  uint32_t sortInfoSize;
  uint32_t maxRecordSize;
  uint32_t reserved2;
  uint32_t localId;
  uint32_t openRef;
} SyncDbInfo;

/* What OpenConduit receives; the conduit reads only the sync type. */
typedef struct SyncProperties {
  uint32_t syncType;
  char pathName[256];
  char localName[256];
  char userName[256];
  uint32_t remoteNames[32];
  uint32_t remoteDbList;
  uint32_t remoteCount;
  uint32_t creator;
  uint16_t card;
  uint32_t dbType;
  uint32_t appInfoSize;
  uint32_t sortInfoSize;
  uint32_t firstDevice;
  uint32_t connection;
  char registryKey[256];
  uint32_t registryHandle;
  uint32_t reserved;
} SyncProperties;

/* The name request of GetConduitInfo and the configuration record of CfgConduit. */
typedef struct ConduitNameRequest {
  uint32_t version;
  uint32_t size;
  uint32_t creatorId;
  uint32_t userId;
  char userName[64];
} ConduitNameRequest;

typedef struct ConduitConfigRecord {
  uint32_t version;
  uint32_t size;
  uint32_t creatorId;
  uint32_t userId;
  char userName[64];
  char pathName[256];
  uint32_t defaultSyncType;
  uint32_t nextSyncType;
  uint32_t chosenSyncType;
  uint32_t choiceScope;
} ConduitConfigRecord;

#if defined(_WIN32)
#pragma pack(pop)
#endif

#if defined(__cplusplus)
#define HOTSYNC_STATIC_ASSERT static_assert
#else
#define HOTSYNC_STATIC_ASSERT _Static_assert
#endif
/* Byte-packed on Windows, where the sizes are the HotSync Manager's (pointers make three
 * records wider on 64-bit hosts). */
#if defined(_WIN32)
#if UINTPTR_MAX == 0xFFFFFFFFu
HOTSYNC_STATIC_ASSERT(sizeof(SyncRawRecordInfo) == 28, "raw record info is 28 bytes");
HOTSYNC_STATIC_ASSERT(offsetof(SyncRawRecordInfo, bytes) == 20, "record bytes at 20");
HOTSYNC_STATIC_ASSERT(sizeof(SyncAppInfoRequest) == 44, "app-info request is 44 bytes");
HOTSYNC_STATIC_ASSERT(sizeof(SyncSearchName) == 9, "name search is 9 bytes");
#endif
HOTSYNC_STATIC_ASSERT(sizeof(SyncCreateParams) == 52, "create parameters are 52 bytes");
HOTSYNC_STATIC_ASSERT(offsetof(SyncCreateParams, name) == 10, "created name at 10");
HOTSYNC_STATIC_ASSERT(sizeof(SyncSearchTypeCreator) == 10, "type/creator search is 10 bytes");
HOTSYNC_STATIC_ASSERT(offsetof(SyncAppInfoRequest, bufferSize) == 32, "buffer size at 32");
HOTSYNC_STATIC_ASSERT(offsetof(SyncAppInfoRequest, blockSize) == 34, "block size at 34");
HOTSYNC_STATIC_ASSERT(sizeof(SyncDbInfo) == 114, "database information is 114 bytes");
HOTSYNC_STATIC_ASSERT(offsetof(SyncDbInfo, name) == 10, "found name at 10");
HOTSYNC_STATIC_ASSERT(offsetof(SyncDbInfo, creator) == 42, "found creator at 42");
HOTSYNC_STATIC_ASSERT(offsetof(SyncDbInfo, recordCount) == 78, "record count at 78");
HOTSYNC_STATIC_ASSERT(sizeof(SyncProperties) == 1198, "sync properties are 1198 bytes");
HOTSYNC_STATIC_ASSERT(sizeof(ConduitNameRequest) == 80, "name request is 80 bytes");
HOTSYNC_STATIC_ASSERT(sizeof(ConduitConfigRecord) == 352, "configuration record is 352 bytes");
HOTSYNC_STATIC_ASSERT(offsetof(ConduitConfigRecord, choiceScope) == 348, "scope at 348");
HOTSYNC_STATIC_ASSERT(offsetof(SyncSearchTypeCreator, creator) == 6, "searched creator at 6");
HOTSYNC_STATIC_ASSERT(offsetof(SyncRawRecordInfo, recordSize) == 14, "record size at 14");
#endif
#undef HOTSYNC_STATIC_ASSERT

/* The conduit manager and the install aide use the Windows API convention; the Sync
 * Manager and the log are plain C. */
#if defined(_WIN32)
#define HOTSYNC_WINAPI __stdcall
#else
#define HOTSYNC_WINAPI
#endif

/* ---- Sync Manager ------------------------------------------------------------------ */
/* A conduit registers before its first Sync Manager call and unregisters after its last. */
HOTSYNC_API int32_t SyncRegisterConduit(uint32_t* outHandle);
HOTSYNC_API int32_t SyncUnRegisterConduit(uint32_t handle);
HOTSYNC_API int32_t SyncOpenDB(const char* name, int32_t card, uint8_t* outHandle, uint8_t mode);
HOTSYNC_API int32_t SyncCreateDB(SyncCreateParams* params);
HOTSYNC_API int32_t SyncCloseDB(uint8_t handle);
HOTSYNC_API int32_t SyncDeleteDB(const char* name, int32_t card);
HOTSYNC_API int32_t SyncReadRecordByIndex(SyncRawRecordInfo* info);
HOTSYNC_API int32_t SyncWriteRec(SyncRawRecordInfo* info);
HOTSYNC_API int32_t SyncReadDBAppInfoBlock(uint8_t handle, SyncAppInfoRequest* request);
HOTSYNC_API int32_t SyncWriteDBAppInfoBlock(uint8_t handle, SyncAppInfoRequest* request);
HOTSYNC_API int32_t SyncFindDbByTypeCreator(SyncSearchTypeCreator* search, SyncDbInfo* info);
HOTSYNC_API int32_t SyncFindDbByName(SyncSearchName* search, SyncDbInfo* info);
HOTSYNC_API uint16_t SyncHostToHHWord(uint16_t value);
HOTSYNC_API uint32_t SyncHostToHHDWord(uint32_t value);
HOTSYNC_API uint16_t SyncHHToHostWord(uint16_t value);
HOTSYNC_API uint32_t SyncHHToHostDWord(uint32_t value);
/* Developer trace text, never a line of the user's log. The HotSync Manager's libraries
 * have no such call: on Windows it is the debugger's output. */
#if defined(_WIN32)
__declspec(dllimport) void __stdcall OutputDebugStringA(const char* text);
static inline int32_t SyncTrace(const char* text) {
  if (!text) return SYNC_ERR_BAD_ARG;
  OutputDebugStringA(text);
  return SYNC_OK;
}
#else
HOTSYNC_API int32_t SyncTrace(const char* text);
#endif

/* ---- HotSync log ------------------------------------------------------------------- */
HOTSYNC_API int32_t LogAddEntry(const char* text, int32_t activity, int32_t timeStamp);
HOTSYNC_API int32_t LogAddFormattedEntry(int32_t activity, int32_t timeStamp, const char* format,
                                         ...);

/* ---- Conduit manager (creator as zero-terminated text, e.g. "LmDx") ---------------- */
/* Its own values. A remove that fails answers SYNC_ERR_STORAGE or SYNC_ERR_BAD_ARG instead
 * (positive, a stand-in choice), since the conduit takes a remove result of 1 or less as
 * done. */
enum {
  CM_ERR_NOT_REGISTERED = -1003,
  CM_ERR_ALREADY_REGISTERED = -1005,
  CM_ERR_REGISTRY_ACCESS = -1006,
  CM_ERR_STORAGE = CM_ERR_REGISTRY_ACCESS,
  CM_ERR_BUFFER_TOO_SMALL = -1010,
  CM_ERR_INVALID_CREATOR = -1012,
  CM_ERR_INVALID_POINTER = -1013
};
HOTSYNC_API int32_t HOTSYNC_WINAPI CmInstallCreator(const char* creator, int32_t type);
HOTSYNC_API int32_t HOTSYNC_WINAPI CmSetCreatorName(const char* creator, const char* libraryName);
HOTSYNC_API int32_t HOTSYNC_WINAPI CmSetCreatorDirectory(const char* creator,
                                                         const char* directory);
HOTSYNC_API int32_t HOTSYNC_WINAPI CmSetCreatorTitle(const char* creator, const char* title);
HOTSYNC_API int32_t HOTSYNC_WINAPI CmRemoveConduitByCreatorID(const char* creator);
/* The HotSync Manager's program (the Core key's HotSyncPath) into path, *size bytes; on
 * CM_ERR_BUFFER_TOO_SMALL *size becomes the size needed. For a setup program. */
HOTSYNC_API int32_t HOTSYNC_WINAPI CmGetHotSyncExecPath(char* path, int32_t* size);

/* ---- Install aide ------------------------------------------------------------------ */
/* Copies the file into the user's install queue; the caller may delete it afterwards. */
HOTSYNC_API int32_t HOTSYNC_WINAPI PltInstallFile(char* userName, char* filePath);
/* The HotSync users, for a setup program. PltGetUser copies the index-th name into buffer
 * (*size bytes) and returns its length; PLT_ERR_BAD_INDEX; PLT_ERR_BUFFER_TOO_SMALL with
 * the size needed in *size. */
enum { PLT_ERR_BAD_INDEX = -501, PLT_ERR_BUFFER_TOO_SMALL = -502 };
HOTSYNC_API int32_t HOTSYNC_WINAPI PltGetUserCount(void);
HOTSYNC_API int32_t HOTSYNC_WINAPI PltGetUser(uint32_t index, char* buffer, int16_t* size);

#ifdef __cplusplus
}
#endif

#endif
