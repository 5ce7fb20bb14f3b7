// ge_prepass.h - the classic API's enumerations and flag values that the binding layer uses.
#ifndef CORVEL_HOST_GE_PREPASS_H
#define CORVEL_HOST_GE_PREPASS_H

#include "maxon/apibase.h"

#if API_VERSION >= 2025000
namespace cinema {
#endif

// Window types of GeDialog::Open.
enum class DLG_TYPE {
    MODAL = 10,
    MODAL_RESIZEABLE,
    ASYNC = 20, // non-modal
    ASYNC_POPUP_RESIZEABLE,
    ASYNC_POPUPEDIT,
    ASYNC_TOOLBAR,
    ASYNC_FULLSCREEN_WORK = 30,
    ASYNC_FULLSCREEN_MONITOR,
};

// Options of GeDialog::Open.
enum class OPENDIALOGFLAGS {
    NONE = 0,
    IGNORELAYOUT = 1 << 0,
    CLIENTCOORDINATES = 1 << 1,
    ALIGNTOPLEFTATMOUSE = 1 << 2,
};

// Flags of EventAdd.
enum class EVENT {
    NONE = 0,
    FORCEREDRAW = 1 << 0,
    ANIMATE = 1 << 1,
    NOEXPRESSION = 1 << 2,
    CAMERAEXPRESSION = 1 << 4,
    ENQUEUE_REDRAW = 1 << 5,
    DONT_OVERWRITE_RENDERING = 1 << 6,
};

// Buttons and icon of a message box (GeOutString): one button set, optionally or-ed with an icon.
enum class GEMB {
    OK = 0x0000,
    OKCANCEL = 0x0001,
    ABORTRETRYIGNORE = 0x0002,
    YESNOCANCEL = 0x0003,
    YESNO = 0x0004,
    RETRYCANCEL = 0x0005,
    FORCEDIALOG = 0x8000,
    ICONSTOP = 0x0010,
    ICONQUESTION = 0x0020,
    ICONEXCLAMATION = 0x0030,
    ICONASTERISK = 0x0040,
    MULTILINE = 0x0080,
};

constexpr GEMB operator|(GEMB a, GEMB b) {
    return static_cast<GEMB>(static_cast<Int32>(a) | static_cast<Int32>(b));
}

// The button that closed a message box.
enum class GEMB_R {
    V_UNDEFINED = 0,
    V_OK = 1,
    V_CANCEL = 2,
    V_ABORT = 3,
    V_RETRY = 4,
    V_IGNORE = 5,
    V_YES = 6,
    V_NO = 7,
};

// Results of loading an image.
enum class IMAGERESULT {
    OK = 1,
    NOTEXISTING = -1,
    WRONGTYPE = -2,
    OUTOFMEMORY = -3,
    FILEERROR = -4,
    FILESTRUCTURE = -5,
    MISC_ERROR = -6,
    PARAM_ERROR = -7,
    THREADCANCELED = -8,
};

// Plug-in types of the registration calls.
enum class PLUGINTYPE {
    ANY = 0,
    SHADER = 1,
    MATERIAL = 2,
    COMMAND = 4,
    OBJECT = 5,
    TAG = 6,
    BITMAPFILTER = 7,
    VIDEOPOST = 8,
};

// A render effect's bit that switches it off.
#define BIT_VPDISABLED (1 << 2)

#if API_VERSION >= 2025000
} // namespace cinema
#endif

#endif // CORVEL_HOST_GE_PREPASS_H
