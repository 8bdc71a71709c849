#include "ui/preview/progress_display.h"

#include <QProgressBar>
#include <algorithm>
#include <cmath>

namespace qv::ui {

namespace {
// The bar counts in tenths of a percent, so a value such as 50.5 is not rounded away.
constexpr int kScale = 10;
}  // namespace

ProgressDisplay::ProgressDisplay(QProgressBar* bar, QObject* parent) : QObject(parent), bar_(bar) {
  bar_->setRange(0, 100 * kScale);
  bar_->setTextVisible(true);
  text_ = bar_->format();
  pending_.setSingleShot(true);
  connect(&pending_, &QTimer::timeout, this, &ProgressDisplay::flush);
}

void ProgressDisplay::setValue(double value) {
  if (value == value_) return;
  value_ = value;
  changed();
}

void ProgressDisplay::setText(const QString& text) {
  if (text == text_) return;
  text_ = text;
  changed();
}

void ProgressDisplay::changed() {
  if (!sinceUpdate_.isValid() || sinceUpdate_.elapsed() >= kMinIntervalMs) {
    flush();
  } else if (!pending_.isActive()) {
    pending_.start(kMinIntervalMs - static_cast<int>(sinceUpdate_.elapsed()));
  }
}

void ProgressDisplay::flush() {
  pending_.stop();
  sinceUpdate_.start();
  ++updates_;
  double v = std::isfinite(value_) ? value_ : 0.0;
  v = std::clamp(v, 0.0, 100.0);
  QString format = text_;
  format.replace(u'%', QStringLiteral("%%"));  // the bar reads %p, %v and %m in its format
  bar_->setFormat(format);
  bar_->setValue(static_cast<int>(std::lround(v * kScale)));
}

}  // namespace qv::ui
