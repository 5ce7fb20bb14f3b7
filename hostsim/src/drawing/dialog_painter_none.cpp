// Builds without cairo and pango (the Windows cross build, or a machine without them): dialogs
// are laid out but not drawn.
#include "hostsim/dialog_drawing.h"

namespace hostsim {

bool DrawingAvailable() { return false; }

std::string DrawingUnavailableReason() {
#ifdef _WIN32
    return "the Windows build of corvel-host does not draw dialogs (it is built without cairo and pango); "
           "use the Linux build";
#else
    return "this corvel-host was built without cairo and pango (Debian: libcairo2-dev, libpango1.0-dev), so it "
           "does not draw dialogs";
#endif
}

std::unique_ptr<TextMeasure> MakeDrawingTextMeasure() { return std::make_unique<FixedTextMeasure>(); }

bool DrawDialogLayout(const DialogLayout&, const std::string&, double, std::string* why) {
    *why = DrawingUnavailableReason();
    return false;
}

} // namespace hostsim
