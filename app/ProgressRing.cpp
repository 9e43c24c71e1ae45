#include "app/ProgressRing.h"

#include "app/UiFont.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

int progressPercent(qint64 current, qint64 maximum) {
    if (maximum == 0)
        return 0;
    // 128 bits: current x 100 cannot overflow whatever the row count.
    const __int128 percent = static_cast<__int128>(current) * 100 / maximum;
    return int(std::clamp<__int128>(percent, 0, 100));
}

int progressSweep(int percent) {
    return percent * 360 / 100;
}

QString progressLabel(qint64 current, qint64 maximum) {
    return QStringLiteral("Step %1 of %2").arg(current).arg(maximum);
}

QImage makeRingSurface(int size, qreal ratio) {
    const int pixels = qRound(size * ratio);
    QImage surface(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    surface.setDevicePixelRatio(ratio);
    // 96 dots per inch: 3780 dots per metre.
    surface.setDotsPerMeterX(3780);
    surface.setDotsPerMeterY(3780);
    surface.fill(Qt::transparent);
    return surface;
}

void drawProgressRing(QImage& surface, int percent, const QColor& background) {
    const qreal W = surface.deviceIndependentSize().width();
    const qreal H = surface.deviceIndependentSize().height();
    const QColor back = QColor(background.red(), background.green(), background.blue());

    QPainter p(&surface);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);

    p.fillRect(QRectF(-1, -1, W + 1, H + 1), back);

    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(0, 0, W - 1, H - 1));

    const QRectF track(4, 4, W - 9, H - 9);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kRingTrack, 4.0));
    p.drawEllipse(track);

    p.setPen(Qt::NoPen);
    p.setBrush(back);
    p.drawEllipse(QRectF(8, 8, W - 17, H - 17));

    // From the top, clockwise: Qt counts angles anticlockwise from three o'clock in
    // sixteenths of a degree. A zero sweep draws nothing.
    const int sweep = progressSweep(percent);
    if (sweep != 0) {
        QPen arcPen(kRingArc, 8.0);
        arcPen.setCapStyle(Qt::RoundCap);
        p.setPen(arcPen);
        p.setBrush(Qt::NoBrush);
        p.drawArc(track, 90 * 16, -sweep * 16);
    }

    const QString text = QString::number(percent) + QLatin1Char('%');
    QFont font(uiFontFamily());
    font.setPointSizeF(16);
    font.setWeight(QFont::Normal);
    p.setFont(font);
    const QFontMetricsF metrics(font, &surface);
    const QSizeF box(metrics.horizontalAdvance(text), metrics.height());
    const float x = float((W - box.width()) / 2);
    const float y = float((H - box.height()) / 2);
    p.setPen(kRingTrack);
    p.drawText(QRectF(x, y, box.width(), box.height()), Qt::AlignLeft | Qt::AlignTop, text);
}
