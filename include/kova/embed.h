/* The reference host for programs that embed the module: one call makes a
 * host kernel (pools, cans, options, NLS, siblings), a diagnostics context
 * that prints to stderr, and loads and starts libzrekova.so; from then on the
 * program drives the module through the extension object and the operation
 * tables of the other headers. Usable from C; link with libkovahost.
 * One KovaEmbed per program is the usual; it must outlive every instance and
 * ripper made through its extension. Rippers may run on several threads at
 * once, each used by one thread. */
#ifndef KOVA_EMBED_H
#define KOVA_EMBED_H

#include <stddef.h>
#include <stdint.h>

#include "kova/extension.h"
#include "kova/host.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct KovaEmbed KovaEmbed;

/* Starts a host and the module at modulePath; with a null path, $KOVA_MODULE,
 * else libzrekova.so in the folder of the loaded libkovahost. The session
 * speaks UTF-8. Null on failure, with a message in error (when errorSize > 0). */
KovaEmbed* kovaEmbedOpen(const char* modulePath, char* error, size_t errorSize);

/* The started extension, the kernel handle and the stderr diagnostics. */
KovaExtensionObject* kovaEmbedExtension(KovaEmbed* embed);
KovaKernel* kovaEmbedKernel(KovaEmbed* embed);
KovaDiagnostics* kovaEmbedDiagnostics(KovaEmbed* embed);

/* Sets an integer option of the host (an ASCII key such as
 * "ZR_NAME_YEARCUTOFF"). Set options before rippers run. */
void kovaEmbedSetOption(KovaEmbed* embed, const char* key, int64_t value);

/* Stops the module and ends the host. REQUIRES: every instance and ripper
 * made through the extension is destroyed. */
void kovaEmbedClose(KovaEmbed* embed);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* KOVA_EMBED_H */
