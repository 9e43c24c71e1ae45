#include "common/ui/SystemColours.h"

#include <QApplication>
#include <QPalette>
#include <optional>

namespace {

std::optional<QPalette::ColorRole> paletteRole(int index) {
    switch (index) {
    case 4:  // menu
    case 15: // button face
    case 30: // menu bar
        return QPalette::Button;
    case 5: // window
        return QPalette::Base;
    case 7: // menu text
    case 8: // window text
    case 9: // caption text
        return QPalette::WindowText;
    case 13: // highlight
    case 29: // menu highlight
        return QPalette::Highlight;
    case 14: // highlight text
        return QPalette::HighlightedText;
    case 16: // button shadow
        return QPalette::Mid;
    case 17: // grey text
        return QPalette::PlaceholderText;
    case 18: // button text
        return QPalette::ButtonText;
    case 20: // button highlight
        return QPalette::Light;
    case 21: // 3-D dark shadow
        return QPalette::Shadow;
    case 22: // 3-D light
        return QPalette::Midlight;
    case 23: // tooltip text
        return QPalette::ToolTipText;
    case 24: // tooltip background
        return QPalette::ToolTipBase;
    case 26: // hot-tracked item
        return QPalette::Link;
    default:
        return std::nullopt;
    }
}

TColor fromQColor(const QColor& colour) {
    return TColor(colour.red()) | TColor(colour.green()) << 8 | TColor(colour.blue()) << 16;
}

} // namespace

void installPaletteColours() {
    setSystemColourSource([](int index) -> TColor {
        if (const auto role = paletteRole(index))
            return fromQColor(QApplication::palette().color(QPalette::Active, *role));
        // Colours the palette has no role for keep their desktop defaults.
        return defaultSystemColourRgb(index);
    });
}

QColor toQColor(TColor colour) {
    return QColor::fromRgba(ColourToGPColour(colour));
}
