// Cursor files (.cur) follow the icon directory layout, all numbers little-endian:
//   header, 6 bytes:  reserved (0), type (2 for a cursor, 1 for an icon), image count
//   one 16-byte entry per image: width, height, colour count, reserved (one byte each),
//                     hot spot x, hot spot y (two bytes each; an icon has planes and bit
//                     count here), image size and image offset (four bytes each)
//   the images: a device-independent bitmap with its AND mask, or a PNG.
// Qt's icon reader decodes the images; the hot spot is read from the first entry here.

#include "ui/appearance.h"

#include <QApplication>
#include <QEvent>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QPixmap>
#include <QRadioButton>
#include <QWidget>
#include <algorithm>
#include <stdexcept>
#include <vector>

namespace qv::ui {
namespace {

void setBackground(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, colour);
  widget->setPalette(palette);
  widget->setBackgroundRole(QPalette::Window);  // buttons would fill with their Button colour
  widget->setAutoFillBackground(true);
}

bool takesWindowColour(const QWidget* widget) {
  return qobject_cast<const QRadioButton*>(widget) || qobject_cast<const QCheckBox*>(widget) ||
         qobject_cast<const QGroupBox*>(widget) || qobject_cast<const QLabel*>(widget);
}

void colourWindow(QWidget* window, const QColor& colour) {
  setBackground(window, colour);
  for (QWidget* child : window->findChildren<QWidget*>()) {
    if (takesWindowColour(child)) setBackground(child, colour);
  }
}

// Watches the mouse entering and moving over the widgets it was installed on.
class PointerFollower final : public QObject {
 public:
  PointerFollower(WindowPointer& pointer, QWidget* window) : QObject(window), pointer_(pointer) {}
  void watch(QWidget* widget, bool button) {
    widget->setMouseTracking(true);
    widget->installEventFilter(this);
    if (button) buttons_.push_back(widget);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Enter) {
      follow(watched);
    } else if (event->type() == QEvent::MouseMove) {
      // A move a button leaves unhandled goes on to the widgets it lies in: what counts
      // is the widget under the pointer, not the one the move reached.
      auto* widget = static_cast<QWidget*>(watched);
      QWidget* under = widget->childAt(static_cast<QMouseEvent*>(event)->position().toPoint());
      for (; under && under != widget; under = under->parentWidget()) {
        if (isButton(under)) {
          follow(under);
          return false;
        }
      }
      follow(watched);
    }
    return false;
  }

 private:
  bool isButton(const QObject* object) const {
    return std::find(buttons_.begin(), buttons_.end(), object) != buttons_.end();
  }
  void follow(const QObject* over) {
    if (isButton(over)) {
      pointer_.overButton();
    } else {
      pointer_.overBackground();
    }
  }

  WindowPointer& pointer_;
  std::vector<QObject*> buttons_;
};

quint16 le16(const QByteArray& data, int at) {
  return static_cast<quint16>(static_cast<quint8>(data.at(at)) | (static_cast<quint8>(data.at(at + 1)) << 8));
}

}  // namespace

QColor buttonFaceColor() { return QApplication::palette().color(QPalette::Active, QPalette::Button); }

void applyDesignColors(QWidget* window) { colourWindow(window, QColor(Qt::white)); }

void ApplySystemColors(QWidget* window) { colourWindow(window, buttonFaceColor()); }

QString skinFilePath(const QString& programFolder) { return programFolder + QStringLiteral("/x/o.cjs"); }

bool ApplySkin(QWidget* window, const QString& programFolder) {
  const QFileInfo skin(skinFilePath(programFolder));
  if (!skin.exists() || !skin.isFile() || skin.isHidden()) return false;
  ApplySystemColors(window);
  return true;
}

QString handCursorPath(const QString& programFolder) { return programFolder + QStringLiteral("/HAND-M.CUR"); }

QCursor loadCursorFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    throw std::runtime_error(QStringLiteral("Cannot read the cursor file %1").arg(path).toStdString());
  }
  const QByteArray data = file.read(1 << 20);
  constexpr int kHeader = 6;
  constexpr int kEntry = 16;
  const bool cursorHeader =
      data.size() >= kHeader + kEntry && le16(data, 0) == 0 && le16(data, 2) == 2 && le16(data, 4) >= 1;
  QImage image;
  if (!cursorHeader || !image.loadFromData(data, "CUR") || image.isNull()) {
    throw std::runtime_error(QStringLiteral("Invalid picture: %1 is not a cursor file").arg(path).toStdString());
  }
  const int hotX = std::min<int>(le16(data, kHeader + 4), image.width() - 1);
  const int hotY = std::min<int>(le16(data, kHeader + 6), image.height() - 1);
  return QCursor(QPixmap::fromImage(image), hotX, hotY);
}

void followPointer(WindowPointer& pointer, QWidget* window, std::initializer_list<QWidget*> buttons,
                   std::initializer_list<QWidget*> backgrounds) {
  auto* follower = new PointerFollower(pointer, window);
  for (QWidget* w : buttons) follower->watch(w, true);
  for (QWidget* w : backgrounds) follower->watch(w, false);
}

void WindowPointer::set(int state) {
  state_ = state;
  switch (state) {
    case kPointerBusy: window_->setCursor(Qt::WaitCursor); break;
    case kPointerCustom:
      if (custom_) {
        window_->setCursor(*custom_);
      } else {
        window_->setCursor(Qt::ArrowCursor);
      }
      break;
    default: window_->unsetCursor(); break;
  }
}

void WindowPointer::overButton() {
  if (state_ != kPointerBusy) set(kPointerCustom);
}

void WindowPointer::overBackground() {
  if (state_ != kPointerBusy) set(kPointerDefault);
}

}  // namespace qv::ui
