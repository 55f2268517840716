#pragma once
// How the preview picture and the window are sized for a capture (changebig):
// the preview box is 5160 x 3870 twips; larger captures are scaled into it.
#include <QtGlobal>

namespace areagrab {

constexpr qint64 PreviewBoxWidth = 5160;     // twips
constexpr qint64 PreviewBoxHeight = 3870;    // twips
constexpr qint64 WindowExtraHeight = 1410;   // twips above and below the preview
constexpr qint64 InitialWindowHeight = 1275; // twips, only the command row

struct PreviewFit {
    bool stretch = false; // picture scaled to width x height, else natural size
    qint64 width = 0;     // preview size, twips
    qint64 height = 0;
    qint64 windowHeight = 0; // window height, twips
};

// Fit for a capture of widthTwips x heightTwips.
PreviewFit fitPreview(qint64 widthTwips, qint64 heightTwips);

} // namespace areagrab
