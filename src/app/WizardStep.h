// The wizard's step, held by the main frame, and the heights that each step gives the rows of
// the frame's outer splitter: 0 the browsing area, 1 the wizard pane, 2 the save options page,
// 3 the save progress page.
#pragma once

#include <array>

namespace mendora {

enum WizardStep : int {
    StepSelectFile = 1,
    StepScan = 2,
    StepSaveOptions = 3,
    StepSaveProgress = 4,
};

// The strip under the browsing area in step 2 is what remains of this many pixels.
constexpr int kScanStripAllowance = 200;

// Ideal heights of the four rows for a step, with frameHeight the frame's client height. The
// last row always takes whatever remains, so its value matters only when it is the one shown.
constexpr std::array<int, 4> StepRowHeights(int step, int frameHeight)
{
    const int h = frameHeight;
    switch (step) {
    case StepScan:
        return {h - kScanStripAllowance, h, 0, 0};
    case StepSaveOptions:
        return {0, 0, h, 0};
    case StepSaveProgress:
        return {0, 0, 0, h};
    case StepSelectFile:
    default:
        return {0, h, 0, 0};
    }
}

} // namespace mendora
