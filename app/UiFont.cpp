#include "app/UiFont.h"

#include <QFontDatabase>
#include <QStringList>

QString uiFontFamily() {
    static const QString family = [] {
        const QStringList candidates = {QStringLiteral("Segoe UI"),
                                        QStringLiteral("Selawik"),
                                        QStringLiteral("Open Sans"),
                                        QStringLiteral("Noto Sans"),
                                        QStringLiteral("Liberation Sans"),
                                        QStringLiteral("Arimo"),
                                        QStringLiteral("DejaVu Sans Condensed")};
        for (const QString& candidate : candidates) {
            if (QFontDatabase::hasFamily(candidate))
                return candidate;
        }
        // The font system's own fallback.
        return candidates.first();
    }();
    return family;
}

QFont uiFont() {
    QFont font(uiFontFamily());
    font.setPixelSize(13);
    return font;
}
