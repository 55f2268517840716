#include "core/fitpreview.h"

#include "common/rounding.h"

namespace areagrab {

PreviewFit fitPreview(qint64 w, qint64 h)
{
    PreviewFit fit;
    if (w > PreviewBoxWidth) {
        fit.stretch = true;
        const qint64 n = common::roundHalfEven(double(h * PreviewBoxWidth) / double(w));
        if (n <= PreviewBoxHeight) {
            fit.width = PreviewBoxWidth;
            fit.height = n;
        } else {
            fit.height = PreviewBoxHeight;
            fit.width = common::roundHalfEven(double(w * PreviewBoxHeight) / double(h));
        }
    } else if (h < PreviewBoxHeight) {
        fit.stretch = false;
        fit.width = w;
        fit.height = h;
    } else {
        // Exactly 3870 high lands here too and keeps its own size.
        fit.stretch = true;
        fit.height = PreviewBoxHeight;
        fit.width = common::roundHalfEven(double(w * PreviewBoxHeight) / double(h));
    }
    fit.windowHeight = fit.height + WindowExtraHeight;
    return fit;
}

} // namespace areagrab
