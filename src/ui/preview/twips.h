#pragma once
// Window geometry is given in twips (1/1440 inch); 15 twips make one pixel at 96 dots
// per inch.

#include <QWidget>

namespace qv::ui {

inline int twips(int value) { return value / 15; }

inline void placeTwips(QWidget* widget, int left, int top, int width, int height) {
  widget->setGeometry(twips(left), twips(top), twips(width), twips(height));
}

inline void setClientTwips(QWidget* window, int width, int height) {
  window->setFixedSize(twips(width), twips(height));
}

}  // namespace qv::ui
