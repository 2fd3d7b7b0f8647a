/* The C interface between Velorin and its update plug-in, "Korrelvane.so". This header
 * is the only part of the plug-in that the program includes; it depends on nothing.
 *
 * The plug-in exports one symbol, `korrelvane_plugin`, which returns its table of entry
 * points. The program checks `abiVersion` and that every member is set, then calls
 * `create` once with its host table and sends that object its messages. Every call comes
 * from the program's GUI thread. No entry point lets an exception out. */
#ifndef KORRELVANE_ABI_H
#define KORRELVANE_ABI_H

#ifdef __cplusplus
extern "C" {
#endif

#define KORRELVANE_ABI_VERSION 1
#define KORRELVANE_ENTRY_SYMBOL "korrelvane_plugin"

/* Levels of `KorrelvaneHost.log`, as the program's own log has them. */
enum KorrelvaneLogLevel {
    KORRELVANE_LOG_DEBUG = 0,
    KORRELVANE_LOG_INFO = 1,
    KORRELVANE_LOG_WARNING = 2,
    KORRELVANE_LOG_ERROR = 3
};

/* What the program gives the plug-in. The strings are UTF-8 and stay valid for the life
 * of the process. */
typedef struct KorrelvaneHost {
    int abiVersion;
    /* "1.2.0" */
    const char* programVersion;
    /* The User-Agent of the program's own requests. */
    const char* userAgent;
    /* The update feed's address; "" when this computer has none. */
    const char* feedUrl;
    /* Writes one line to the program's log. */
    void (*log)(int level, const char* message);
} KorrelvaneHost;

/* What the plug-in gives the program. */
typedef struct KorrelvanePlugin {
    int abiVersion;
    /* The plug-in's one object, or null when it cannot be made. */
    void* (*create)(const KorrelvaneHost* host);
    /* The signed-in account's e-mail address, or null when nobody is signed in. */
    void (*utilisateur)(void* object, const char* email);
    /* The user asks for an update check. */
    void (*rechercher)(void* object);
    /* Ends the object's work; nothing of it runs afterwards. */
    void (*destroy)(void* object);
} KorrelvanePlugin;

typedef const KorrelvanePlugin* (*KorrelvaneEntry)(void);

#ifdef __cplusplus
}
#endif

#endif
