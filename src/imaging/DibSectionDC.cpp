#include "imaging/DibSectionDC.h"

#include "imaging/DibSection.h"
#include "imaging/XPalette.h"

namespace orvik {

DibSectionDC::DibSectionDC(DibSection& section, DrawContext* dc) {
    (void)dc;
    oldPalette_ = SelectPalette(&XPalette::AppPalette());
    RealizePalette();
    // The surface shows the colours the image holds now.
    section.SyncColorTable();
    oldSurface_ = SelectSurface(section.Surface());
}

DibSectionDC::~DibSectionDC() {
    SelectSurface(oldSurface_);
    SelectPalette(oldPalette_);
}

} // namespace orvik
