#include "ui/app_icon.h"

#include <QPainter>
#include <QPixmap>

namespace qv::ui {

QIcon applicationIcon() {
  // The installed icon of the desktop entry when the theme has it, else a drawn one.
  if (QIcon::hasThemeIcon(QStringLiteral("quorvane"))) return QIcon::fromTheme(QStringLiteral("quorvane"));
  QIcon icon;
  for (int size : {16, 32, 48}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    // A table (the Paradox side) with an arrow into a cylinder (the database).
    painter.setBrush(QColor(0x2a, 0x6f, 0xb0));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(0, 0, size, size), size / 6.0, size / 6.0);
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(size * 0.15, size * 0.25, size * 0.3, size * 0.5));
    painter.drawEllipse(QRectF(size * 0.55, size * 0.25, size * 0.3, size * 0.5));
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace qv::ui
