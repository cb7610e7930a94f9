#include "dialog/centring.h"

namespace dialog {

Point CentredOrigin(const Rect& desktop, const Rect& window) {
    long desktopWidth = desktop.right - desktop.left;
    long desktopHeight = desktop.bottom - desktop.top;
    long width = window.right - window.left;
    long height = window.bottom - window.top;
    return {desktop.left + (desktopWidth - width) / 2, desktop.top + (desktopHeight - height) / 2};
}

}  // namespace dialog
