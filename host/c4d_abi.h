/* c4d_abi.h - the binary interface between the host application and a plug-in module.
 *
 * This header is C-compatible and is shared, unchanged, by both sides: the module (through the
 * SDK-shaped wrappers in host/) and any host that loads the module (the stand-in host in hostsim/).
 *
 * Shape
 * -----
 * At system initialisation the host calls the module's exported entry point
 *
 *     int32_t c4d_main(int32_t action, void* p1, void* p2, void* p3);
 *
 * with action 1, p1 a pointer to a C4D_HostApi and p3 a pointer to the C4D_Filename of the module
 * file. C4D_HostApi starts with the host's API version, followed by one pointer per service area,
 * always in the order below. Every sub-table is APPEND-ONLY: new operations go at the end, existing
 * slots are never reordered, removed or re-typed. A module built against an older header therefore
 * keeps working with a newer host; a module refuses hosts whose version is below the one it needs.
 *
 * Memory, the delete operation and host strings are NOT in this table: they come through the host
 * interface slots that the host fills while binding the module's registration record (maxon_abi.h).
 *
 * Contract for every operation
 * ----------------------------
 *  - Thread: every operation is called on the host's main thread only, one call at a time, unless
 *    its comment says otherwise. No operation is re-entrant into the module except the dialog
 *    message entry and the command entries that the host itself calls.
 *  - Failure: nothing throws across this boundary. Failure is false, a null pointer, or a documented
 *    result code. A null handle passed where a handle is expected is tolerated: the operation does
 *    nothing and answers its failure value.
 *  - Ownership: "caller owns" means the caller must hand the object back through the named release
 *    operation; "host owns" means the caller must not free it and must not keep it beyond the
 *    stated lifetime.
 *  - Host strings (C4D_HString) are reference counted and immutable. A null C4D_HString is the
 *    empty string everywhere. An operation that takes a C4D_HString borrows it (the host retains it
 *    if it keeps it); an operation that answers one hands the caller one reference.
 */
#ifndef CORVEL_HOST_C4D_ABI_H
#define CORVEL_HOST_C4D_ABI_H

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The API version this header describes. A host answers at least this in C4D_HostApi.apiVersion. */
#define C4D_API_VERSION 2023000

/* ---------------------------------------------------------------------------------------------- */
/* Opaque host objects                                                                            */
/* ---------------------------------------------------------------------------------------------- */

typedef struct C4D_HostStringImpl* C4D_HString;      /* reference-counted text, null = empty   */
typedef struct C4D_ContainerImpl C4D_Container;      /* keyed container: Int32 key -> value      */
typedef struct C4D_BitmapImpl C4D_Bitmap;            /* an image                                 */
typedef struct C4D_ResourceImpl C4D_Resource;        /* a loaded plug-in resource                */
typedef struct C4D_DialogWindowImpl C4D_DialogWindow;/* the host side of one GeDialog            */
typedef struct C4D_ListObjectImpl C4D_ListObject;    /* a list object: render settings, effects  */
typedef struct C4D_DocumentImpl C4D_Document;        /* a scene document                         */

/* A file path. The storage belongs to whoever allocated it (it may live inside a module object or
 * on the host heap); its content is managed only by the file-name operations below, which must
 * construct it before any other use and destruct it before the storage is released. A constructed,
 * empty C4D_Filename may have impl == NULL. */
typedef struct C4D_Filename {
    void* impl;
} C4D_Filename;

/* One level of a description ID: the parameter id, its data type and the type of its creator. */
typedef struct C4D_DescLevel {
    int32_t id;
    int32_t dtype;
    int32_t creator;
} C4D_DescLevel;

#define C4D_DESCID_MAX_DEPTH 7
/* A description ID: a path of up to seven levels naming a parameter of a list object. */
typedef struct C4D_DescID {
    int32_t depth;
    C4D_DescLevel level[C4D_DESCID_MAX_DEPTH];
} C4D_DescID;

/* ---------------------------------------------------------------------------------------------- */
/* Constants the two sides share                                                                  */
/* ---------------------------------------------------------------------------------------------- */

/* c4d_main actions */
#define C4D_PL_INIT_SYS 1
#define C4D_PL_START 2
#define C4D_PL_END 3
#define C4D_PL_GETVERSION 4
#define C4D_PL_MESSAGE 6

/* c4d_main answers */
#define C4D_PL_ANSWER_OK 1
#define C4D_PL_ANSWER_FAILED (-1)
#define C4D_PL_ANSWER_HOST_TOO_OLD (-3)
#define C4D_PL_VERSION_ANSWER 5

/* Plug-in messages (action 6) */
#define C4D_PLMSG_0 0
#define C4D_PLMSG_INIT_SYS 1

/* Plug-in registration */
#define C4D_PLUGINTYPE_COMMAND 4

/* Image load results (C4D_BitmapTable.InitWithFile) */
#define C4D_IMAGERESULT_OK 1
#define C4D_IMAGERESULT_NOTEXISTING (-1)
#define C4D_IMAGERESULT_WRONGTYPE 2
#define C4D_IMAGERESULT_OUTOFMEMORY 3
#define C4D_IMAGERESULT_FILEERROR 4
#define C4D_IMAGERESULT_FILESTRUCTURE 5
#define C4D_IMAGERESULT_MISC_ERROR 6

/* Bitmap data ids */
#define C4D_BITMAPDATA_GUIPIXELRATIO 100

/* Dialogs */
#define C4D_DLG_TYPE_ASYNC 20
#define C4D_MSG_TIMER 10020

/* Message boxes (C4D_GeneralTable.MessageDialog flags) */
#define C4D_MESSAGEDIALOG_OK_WARNING 48

/* Command states (CommandData::GetState) */
#define C4D_CMD_ENABLED 0x40000000

/* List-object bits and messages */
#define C4D_BIT_VPDISABLED 4
#define C4D_MSG_UPDATE 5
#define C4D_MSG_DESCRIPTION_CHECKUPDATE 17
#define C4D_MSG_DESCRIPTION_COMMAND 18
#define C4D_DTYPE_BUTTON 8

/* Four-character codes, read big-endian: C4D_FOURCC('b','A','C','T') == 1648444244. */
#define C4D_FOURCC(a, b, c, d) \
    ((int32_t)(((uint32_t)(a) << 24) | ((uint32_t)(b) << 16) | ((uint32_t)(c) << 8) | (uint32_t)(d)))

/* Data for C4D_MSG_DESCRIPTION_COMMAND: the parameter pressed and the host's action message. */
typedef struct C4D_DescriptionCommand {
    const C4D_DescID* id;
    const C4D_Container* action;
    void* reserved0;
    void* reserved1;
} C4D_DescriptionCommand;

/* Data for C4D_MSG_DESCRIPTION_CHECKUPDATE. */
typedef struct C4D_DescriptionCheckUpdate {
    C4D_Document* doc;
    int32_t flags;
    const C4D_DescID* descid;
} C4D_DescriptionCheckUpdate;

/* ---------------------------------------------------------------------------------------------- */
/* Records the module hands to the host                                                           */
/* ---------------------------------------------------------------------------------------------- */

/* The command registration record (C4D_GeneralTable.RegisterPlugin with C4D_PLUGINTYPE_COMMAND).
 * The host copies the record during registration; the module need not keep it. Every entry is
 * called on the main thread with the registered object as its first argument. A null entry means
 * "not provided". From a successful registration on, the host owns `object` and must call
 * `Destroy(object)` exactly once when it frees its plug-ins (after action 3, before unloading the
 * module). `help` and `icon` are borrowed for the call: the host retains/copies what it keeps. */
typedef struct C4D_CommandPluginRecord {
    int32_t info;
    void (*Destroy)(void* object);
    void* object;
    C4D_HString help;
    const C4D_Bitmap* icon;
    bool (*Execute)(void* object, C4D_Document* doc);
    int32_t (*GetState)(void* object, C4D_Document* doc);
    bool (*RestoreLayout)(void* object, void* layoutData);
    void* reserved;
    C4D_HString (*GetScriptName)(void* object); /* answer: caller owns the reference */
    bool (*GetSubContainer)(void* object, C4D_Document* doc, C4D_Container* submenu);
    bool (*ExecuteSubID)(void* object, C4D_Document* doc, int32_t subid);
    bool (*Message)(void* object, int32_t type, void* data);
    bool (*ExecuteOptionID)(void* object, C4D_Document* doc, int32_t subid);
} C4D_CommandPluginRecord;

/* The message entry of one dialog (C4D_DialogTable.CreateWindow). The host calls it on the main
 * thread with a message container (its id is the message, e.g. 'bINI', 'bACT') and a result
 * container the entry may fill; the answer's meaning depends on the message. Re-entrant: the entry
 * may call back into the dialog table for its own window. */
typedef int32_t (*C4D_DialogMessageFn)(void* owner, const C4D_Container* msg, C4D_Container* result);

/* ---------------------------------------------------------------------------------------------- */
/* Service area 1: general services                                                               */
/* ---------------------------------------------------------------------------------------------- */
typedef struct C4D_GeneralTable {
    /* Writes one line to the host console. Borrows `line`; null prints an empty line. */
    void (*Print)(C4D_HString line);

    /* Shows a modal message box with `text` and waits until it is closed. `flags` selects buttons
     * and icon (C4D_MESSAGEDIALOG_OK_WARNING). Answers the button pressed (1 for OK), 0 if the box
     * could not be shown. */
    int32_t (*MessageDialog)(int32_t flags, C4D_HString text);

    /* Posts an update event for the host's editors. Never fails. */
    void (*EventAdd)(int32_t flags);

    /* Runs the host command `id` (sub-id `subid`) and returns when the command has returned. A
     * render command takes its own copy of the active document before it returns. Answers false
     * when no such command exists. */
    bool (*CallCommand)(int32_t id, int32_t subid);

    /* Registers a plug-in. `sdkVersion` is the SDK version the module was built against, `type`
     * the plug-in type, `record` a record of that type of `recordSize` bytes (copied by the host).
     * Answers true when the host accepted the plug-in; on false the host does not own anything
     * referenced by the record and never calls its entries. */
    bool (*RegisterPlugin)(int32_t sdkVersion, int32_t type, int32_t id, C4D_HString name,
                           const void* record, int32_t recordSize);

    /* The container stored under plug-in id `id` in the world plug-in preferences, or null when
     * none is stored. Host owns it; valid until the next SetWorldPluginData for that id. */
    const C4D_Container* (*GetWorldPluginData)(int32_t id);

    /* Stores a copy of `bc` under `id`. With `merge` false it replaces what was stored; with true
     * it adds bc's keys to what was stored. Answers false when the host refused to store it, and
     * then leaves the stored container as it was. */
    bool (*SetWorldPluginData)(int32_t id, const C4D_Container* bc, bool merge);

    /* The host's interaction check that a dialog asks for when its window receives 'inta'. The
     * arguments' meaning is the host's. Never fails. */
    void (*CheckInteraction)(int32_t a, int32_t b, int32_t c);
} C4D_GeneralTable;

/* ---------------------------------------------------------------------------------------------- */
/* Service area 2: keyed containers                                                               */
/* ---------------------------------------------------------------------------------------------- */
/* A container maps Int32 keys to typed values (Int32, Bool, Float). Each typed Get answers the
 * preset when the key is absent, and converts between the numeric types when the key holds another
 * one (Bool <-> Int32 as 0/1 and non-zero; Float -> Int32 truncated; Int32 -> Float exact). */
typedef struct C4D_ContainerTable {
    /* A new empty container with id `id`; caller owns it (Free). Null when out of memory. */
    C4D_Container* (*Alloc)(int32_t id);
    /* Frees a container from Alloc. Null is ignored. */
    void (*Free)(C4D_Container* bc);
    /* Makes `dst` an exact copy of `src` (id and all values). False when out of memory; `dst` is
     * then unchanged. */
    bool (*CopyTo)(C4D_Container* dst, const C4D_Container* src);
    int32_t (*GetId)(const C4D_Container* bc);
    void (*SetId)(C4D_Container* bc, int32_t id);
    /* Setters answer false when out of memory (the container is then unchanged). */
    bool (*SetInt32)(C4D_Container* bc, int32_t key, int32_t value);
    bool (*SetBool)(C4D_Container* bc, int32_t key, bool value);
    bool (*SetFloat)(C4D_Container* bc, int32_t key, double value);
    int32_t (*GetInt32)(const C4D_Container* bc, int32_t key, int32_t preset);
    bool (*GetBool)(const C4D_Container* bc, int32_t key, bool preset);
    double (*GetFloat)(const C4D_Container* bc, int32_t key, double preset);
    /* Number of keys; the key at `index` (0-based, in insertion order), or 0 past the end. */
    int32_t (*GetCount)(const C4D_Container* bc);
    int32_t (*GetIndexId)(const C4D_Container* bc, int32_t index);
} C4D_ContainerTable;

/* ---------------------------------------------------------------------------------------------- */
/* Service area 3: bitmaps                                                                        */
/* ---------------------------------------------------------------------------------------------- */
typedef struct C4D_BitmapTable {
    /* A new empty bitmap; caller owns it (Free). Null when out of memory. */
    C4D_Bitmap* (*Alloc)(void);
    void (*Free)(C4D_Bitmap* bmp);
    /* Loads frame `frame` (-1: the default frame) of the image file `name` into `bmp`. Answers a
     * C4D_IMAGERESULT_*: OK, NOTEXISTING for a missing file, WRONGTYPE for an unknown format,
     * FILESTRUCTURE for a damaged file, OUTOFMEMORY. On anything but OK the bitmap stays empty. */
    int32_t (*InitWithFile)(C4D_Bitmap* bmp, const C4D_Filename* name, int32_t frame);
    /* Stores a Float datum under `id` (C4D_BITMAPDATA_GUIPIXELRATIO). False when out of memory. */
    bool (*SetFloatData)(C4D_Bitmap* bmp, int32_t id, double value);
    int32_t (*GetWidth)(const C4D_Bitmap* bmp);
    int32_t (*GetHeight)(const C4D_Bitmap* bmp);
} C4D_BitmapTable;

/* ---------------------------------------------------------------------------------------------- */
/* Service area 4: file names                                                                     */
/* ---------------------------------------------------------------------------------------------- */
typedef struct C4D_FileTable {
    /* Constructs an empty file name in `fn`'s storage. Never fails. */
    void (*Construct)(C4D_Filename* fn);
    /* Releases what `fn` holds; `fn` is then unconstructed. */
    void (*Destruct)(C4D_Filename* fn);
    /* dst := src. False when out of memory (dst is then empty). */
    bool (*CopyTo)(C4D_Filename* dst, const C4D_Filename* src);
    /* dst := base joined with one further path part `part`. Either of dst/base may be the same
     * object. False when out of memory (dst is then empty). */
    bool (*Join)(C4D_Filename* dst, const C4D_Filename* base, C4D_HString part);
    /* dst := the directory part of src (empty when src has none). False when out of memory. */
    bool (*GetDirectory)(C4D_Filename* dst, const C4D_Filename* src);
    /* The path as text; caller owns the reference. Null (empty) for an empty file name. */
    C4D_HString (*GetString)(const C4D_Filename* fn);
    /* fn := the path `path`. False when out of memory (fn is then empty). */
    bool (*SetString)(C4D_Filename* fn, C4D_HString path);
    /* Opens the file with the application the system associates with it. False when the file
     * does not exist or nothing could open it. */
    bool (*ExecuteFile)(const C4D_Filename* fn);
} C4D_FileTable;

/* ---------------------------------------------------------------------------------------------- */
/* Service area 5: dialogs                                                                        */
/* ---------------------------------------------------------------------------------------------- */
/* Gadget operations act on the window's gadgets as built by LoadDialogResource; on an unknown
 * gadget they do nothing and answer false. */
typedef struct C4D_DialogTable {
    /* Creates the host side of a dialog bound to `entry(owner, ...)`. Caller owns it
     * (DestroyWindow). Null when out of memory. No message is sent before Open/RestoreLayout. */
    C4D_DialogWindow* (*CreateWindow)(void* owner, C4D_DialogMessageFn entry);
    /* Closes the window if open and frees the host side; `entry` is never called afterwards. */
    void (*DestroyWindow)(C4D_DialogWindow* w);
    /* Opens the window (type C4D_DLG_TYPE_ASYNC: non-modal). The host sends 'bINI' and, when that
     * answers true, 'bVIN' through the entry before Open returns. Answers false when the window
     * could not be opened (for example 'bINI' answered false). Opening an open window brings it
     * to the front and answers true without further messages. */
    bool (*Open)(C4D_DialogWindow* w, int32_t type, int32_t pluginId, int32_t x, int32_t y,
                 int32_t width, int32_t height, int32_t subId, int32_t flags);
    /* Opens the window in a saved layout (`layoutData` is the host's, handed to the command's
     * RestoreLayout). Messages and answer as Open. */
    bool (*RestoreLayout)(C4D_DialogWindow* w, int32_t pluginId, int32_t subId, void* layoutData);
    /* Closes the window; the host sends 'dsty'. Answers false when it was not open. */
    bool (*Close)(C4D_DialogWindow* w);
    /* Builds the window's gadgets from dialog description `dialogId` of `res`. False when nothing
     * was built (no such description, or `res` null). */
    bool (*LoadDialogResource)(C4D_DialogWindow* w, int32_t dialogId, const C4D_Resource* res,
                               int32_t flags);
    bool (*FreeChildren)(C4D_DialogWindow* w, int32_t gadget);
    bool (*AddChild)(C4D_DialogWindow* w, int32_t gadget, int32_t childId, C4D_HString text);
    bool (*SetInt32)(C4D_DialogWindow* w, int32_t gadget, int32_t value, int32_t min, int32_t max,
                     int32_t step, bool tristate);
    bool (*SetBool)(C4D_DialogWindow* w, int32_t gadget, bool value, bool tristate);
    /* Readers answer false (and leave *out alone) for an unknown gadget. */
    bool (*GetInt32)(C4D_DialogWindow* w, int32_t gadget, int32_t* out);
    bool (*GetBool)(C4D_DialogWindow* w, int32_t gadget, bool* out);
    bool (*Enable)(C4D_DialogWindow* w, int32_t gadget, bool enabled);
    /* The menu bar, rebuilt between MenuFlushAll and MenuFinished. */
    bool (*MenuFlushAll)(C4D_DialogWindow* w);
    bool (*MenuSubBegin)(C4D_DialogWindow* w, C4D_HString title);
    bool (*MenuAddString)(C4D_DialogWindow* w, int32_t id, C4D_HString text);
    bool (*MenuAddSeparator)(C4D_DialogWindow* w);
    bool (*MenuAddCommand)(C4D_DialogWindow* w, int32_t commandId);
    bool (*MenuSubEnd)(C4D_DialogWindow* w);
    bool (*MenuFinished)(C4D_DialogWindow* w);
} C4D_DialogTable;

/* ---------------------------------------------------------------------------------------------- */
/* Service area 6: resources                                                                      */
/* ---------------------------------------------------------------------------------------------- */
typedef struct C4D_ResourceTable {
    /* Loads the plug-in resource (string table and dialog descriptions) from the resource folder
     * `folder`. Caller owns the answer (Release). Null when the folder or its string table is
     * missing or malformed; the host writes the reason to its own log, not to the console. */
    C4D_Resource* (*Load)(const C4D_Filename* folder);
    /* Releases a resource from Load. `release` is the flag the module keeps with the resource. */
    void (*Release)(C4D_Resource* res, bool release);
    /* The string `id` of `res`; the host's default string when `res` is null or holds no such id.
     * Caller owns the reference. */
    C4D_HString (*LoadString)(const C4D_Resource* res, int32_t id);
} C4D_ResourceTable;

/* ---------------------------------------------------------------------------------------------- */
/* Service area 7: list objects (render settings, render effects)                                 */
/* ---------------------------------------------------------------------------------------------- */
typedef struct C4D_ListTable {
    /* The object's plug-in type id; 0 for null. */
    int32_t (*GetType)(const C4D_ListObject* obj);
    /* The next object in the same list, or null. Host owns it. */
    C4D_ListObject* (*GetNext)(const C4D_ListObject* obj);
    int32_t (*GetAllBits)(const C4D_ListObject* obj);
    void (*SetAllBits)(C4D_ListObject* obj, int32_t bits);
    void (*ToggleBit)(C4D_ListObject* obj, int32_t mask);
    /* dst := a full copy of the object's parameter container. False when out of memory. */
    bool (*GetData)(const C4D_ListObject* obj, C4D_Container* dst);
    /* Writes `bc` into the object's parameters: with `merge` true keys of bc replace or add to
     * the object's, other keys stay; with false the parameters become exactly bc. */
    bool (*SetData)(C4D_ListObject* obj, const C4D_Container* bc, bool merge);
    /* Sends a message (C4D_MSG_*) with its data record; answers the object's result. The host
     * processes the message completely before it returns. */
    bool (*Message)(C4D_ListObject* obj, int32_t type, void* data);
} C4D_ListTable;

/* ---------------------------------------------------------------------------------------------- */
/* Service area 8: scene objects                                                                  */
/* ---------------------------------------------------------------------------------------------- */
typedef struct C4D_SceneTable {
    /* The first render effect (video post) of a render settings object, or null. Host owns it. */
    C4D_ListObject* (*GetFirstVideoPost)(const C4D_ListObject* renderData);
} C4D_SceneTable;

/* ---------------------------------------------------------------------------------------------- */
/* Service area 9: documents and render settings                                                  */
/* ---------------------------------------------------------------------------------------------- */
typedef struct C4D_DocumentTable {
    /* The active document, or null when the host has none. Host owns it. */
    C4D_Document* (*GetActiveDocument)(void);
    /* The document's active render settings object, or null. Host owns it. */
    C4D_ListObject* (*GetActiveRenderData)(const C4D_Document* doc);
} C4D_DocumentTable;

/* ---------------------------------------------------------------------------------------------- */
/* The table handed to c4d_main                                                                   */
/* ---------------------------------------------------------------------------------------------- */
typedef struct C4D_HostApi {
    int32_t apiVersion;
    const C4D_GeneralTable* general;
    const C4D_ContainerTable* container;
    const C4D_BitmapTable* bitmap;
    const C4D_FileTable* file;
    const C4D_DialogTable* dialog;
    const C4D_ResourceTable* resource;
    const C4D_ListTable* list;
    const C4D_SceneTable* scene;
    const C4D_DocumentTable* document;
} C4D_HostApi;

/* The module's exported entry point. Preconditions and answers per action:
 *  1  system init: p1 the C4D_HostApi, p3 the module file's C4D_Filename. The module's
 *     registration record is bound. Answers 1, or -3 when apiVersion < 2023000 or p3 is null.
 *  2  start: answers 1 when the plug-in started, 0 when its registration failed.
 *  3  end: answers 1. Actions 1 and 3 nest; only the outermost pair initialises / tears down.
 *  4  version query: answers 5.
 *  6  plug-in message: low 32 bits of p1 the message id, p2 its data; answers 1 or -1.
 *  any other action answers -1. */
typedef int32_t (*C4D_MainFn)(int32_t action, void* p1, void* p2, void* p3);

#ifdef __cplusplus
}
#endif

#endif /* CORVEL_HOST_C4D_ABI_H */
