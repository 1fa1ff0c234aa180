#pragma once

#include <QRect>
#include <QSize>
#include <QtGlobal>

// Window layouts are written in twips (1/1440 inch), the unit the layouts were designed in. This is the
// one place that turns them into Qt's device-independent pixels; everything else passes twips through it.
namespace tessiloom {

inline constexpr int kTwipsPerPixel = 15;

// One length in twips as device-independent pixels, rounded to the nearest pixel.
inline int FromTwips(int twips) {
    return qRound(static_cast<double>(twips) / kTwipsPerPixel);
}

// A width and height in twips as pixels.
inline QSize FromTwips(const QSize& twips) {
    return {FromTwips(twips.width()), FromTwips(twips.height())};
}

// Left, top, width and height in twips as a pixel rectangle. Each of the four is converted on its own,
// so a control's size does not depend on where it sits.
inline QRect FromTwips(const QRect& twips) {
    return {FromTwips(twips.left()), FromTwips(twips.top()), FromTwips(twips.width()),
            FromTwips(twips.height())};
}

}  // namespace tessiloom
