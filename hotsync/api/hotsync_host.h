/* The side of the HotSync stand-in that the host (lumora-hotsync) and tests use:
 * connecting a simulated handheld, reading the registry and the queue, observing the
 * log, and injecting faults. Not called by the conduit. */
#ifndef LUMORA_HOTSYNC_API_HOTSYNC_HOST_H
#define LUMORA_HOTSYNC_API_HOTSYNC_HOST_H

#include "hotsync/api/hotsync.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Connects the handheld kept in directory handheldDir (host path) for HotSync user
 * userName; the log goes to that user's log file. Databases that cannot be read are
 * skipped with a log line naming the file. 0, or SYNC_ERR_NOT_FOUND when the directory
 * does not exist, SYNC_ERR_BAD_ARG for a null argument or an empty user name (or one
 * longer than 80 bytes). A connection already open is disconnected first. */
HOTSYNC_API int32_t HsConnect(const char* handheldDir, const char* userName);
/* Connects a handheld at the far end of a link for HotSync user userName: every Sync
 * Manager call becomes Desktop Link Protocol requests. exchange sends one request
 * (requestSize bytes) and waits for the answer; it stores a pointer to the answer's bytes
 * and their count (valid until its next call) and returns 0, or non-zero when the link
 * broke, after which every Sync Manager call fails with SYNC_ERR_NOT_CONNECTED. dlpMajor
 * and dlpMinor are the handheld's DLP version (ReadSysInfo; below 1.2 searches walk the
 * database list). Databases that an interrupted HotSync of this user left half-written
 * are deleted from the handheld first, each with a log line. 0, or SYNC_ERR_BAD_ARG. */
typedef int32_t (*HsDlpExchangeFn)(void* context, const uint8_t* request, uint32_t requestSize,
                                   const uint8_t** answer, uint32_t* answerSize);
HOTSYNC_API int32_t HsConnectLink(HsDlpExchangeFn exchange, void* context, const char* userName,
                                  uint16_t dlpMajor, uint16_t dlpMinor);
/* 1 when a database installed over the link asked for a reset of the handheld. */
HOTSYNC_API int32_t HsResetRequested(void);

/* Closes every open database (committing written ones) and disconnects. 0;
 * SYNC_ERR_STORAGE when a database could not be written (it keeps its old file);
 * SYNC_ERR_NOT_CONNECTED. A process that ends without disconnecting loses the changes of
 * databases still open; their files stay as they were. */
HOTSYNC_API int32_t HsDisconnect(void);
HOTSYNC_API int32_t HsIsConnected(void);

/* Installs every file queued for userName into the connected handheld and removes it
 * from the queue. A file that is not a valid database stays queued and is reported
 * through reject (file name, reason). Returns the number installed, or -1 when no
 * handheld is connected. */
typedef void (*HsRejectFn)(const char* fileName, const char* reason, void* context);
HOTSYNC_API int32_t HsInstallQueued(const char* userName, HsRejectFn reject, void* context);

/* The host folder of a HotSync user (Windows folder + "/HotSync/" + the user name with
 * unsafe bytes escaped as %XX); it holds HotSync.log and the Install/ queue. 0;
 * SYNC_ERR_BAD_ARG; SYNC_ERR_TOO_LARGE when it does not fit capacity. */
HOTSYNC_API int32_t HsUserFolder(const char* userName, char* buffer, uint32_t capacity);

/* Every log entry is passed to this observer as well as written to the log file of the
 * connected user; with no user connected it reaches the observer only. */
typedef void (*HsLogObserver)(const char* text, int32_t activity, void* context);
HOTSYNC_API void HsSetLogObserver(HsLogObserver observer, void* context);
/* Trace text of SyncTrace goes to this observer (default: dropped). */
HOTSYNC_API void HsSetTraceObserver(HsLogObserver observer, void* context);

/* Every Sync Manager call that succeeded is passed to this observer as well, for a
 * progress display: the function name, the database it names (open, create: its name;
 * SyncFindDbByTypeCreator: the one found; else null), the type searched for or created
 * (else 0) and the bytes of records and app-info blocks it read or wrote. */
typedef void (*HsCallObserver)(const char* op, const char* dbName, uint32_t dbType, uint32_t bytes,
                               void* context);
HOTSYNC_API void HsSetCallObserver(HsCallObserver observer, void* context);

/* Conduit registry queries: copy the registered value into buffer (capacity bytes);
 * 0 (an empty value when the key is absent), or CM_ERR_NOT_REGISTERED. field is
 * "library", "directory", "title" or "type"; SYNC_ERR_BAD_ARG for another or a null
 * argument; SYNC_ERR_TOO_LARGE when the value was cut to fit. */
HOTSYNC_API int32_t CmGetConduitValue(const char* creator, const char* field, char* buffer,
                                      uint32_t capacity);

/* Fault injection: the nth call (counting from 1 after this call) of the named operation
 * (the function name, e.g. "SyncWriteRec") returns code, or, when throwInteger is
 * non-zero, throws the int32_t code as a C++ exception. Several faults may be armed.
 * The environment variable LUMORA_HOTSYNC_FAULTS="Op:nth:code[:throw],..." arms faults
 * at HsConnect (each connect replaces the faults it armed before). An nth of 0 or less
 * makes every later call fail. Every function of hotsync.h but the word conversions is
 * counted and can be faulted. HsCallCount reports how many calls of an operation were
 * made since the last HsResetFaults (all operations when op is null). */
HOTSYNC_API void HsInjectFault(const char* op, int32_t nth, int32_t code, int32_t throwInteger);
HOTSYNC_API void HsResetFaults(void);
HOTSYNC_API int32_t HsCallCount(const char* op);
/* Every counted call, failed ones too, is passed to this recorder by its operation name,
 * in order. */
typedef void (*HsCallRecorder)(const char* op, void* context);
HOTSYNC_API void HsSetCallRecorder(HsCallRecorder recorder, void* context);

#ifdef __cplusplus
}
#endif

#endif
