/* The installer support library's exports, by their undecorated names. */
#ifndef LUMORA_INSTALLER_LUMPREP_H
#define LUMORA_INSTALLER_LUMPREP_H

#include <stdint.h>

#include "common/export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Converts and queues the styles of face (low byte: 0x01 regular, 0x02 bold, 0x04 bold
 * italic, 0x08 italic) for the HotSync user. Reports nothing. */
LUMORA_EXPORT void queue_ttf(char* user, char* face, uint32_t styles);
/* Converts and queues Arial, Times New Roman and Verdana in their four styles. */
LUMORA_EXPORT void queue_some_ttfs(char* user);
/* Starts the program of the command line; waits when the low byte of waitFlag is set.
 * 1 when started (and waited for), else 0. */
LUMORA_EXPORT uint8_t execute(char* commandLine, uint32_t waitFlag);
/* Writes size / 1024 with two decimals into number (12 characters) and "KB" into unit (3). */
LUMORA_EXPORT void shorten_size(int32_t size, char* number, char* unit);

typedef void (*QueueTtfFn)(char*, char*, uint32_t);
typedef void (*QueueSomeTtfsFn)(char*);
typedef uint8_t (*ExecuteFn)(char*, uint32_t);
typedef void (*ShortenSizeFn)(int32_t, char*, char*);

#ifdef __cplusplus
}
#endif

#endif
