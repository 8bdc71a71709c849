#pragma once
// The windows' look: background colours, the optional skin of the main window, and the
// pointer convention (a hand over push buttons, the hourglass while busy).

#include <QColor>
#include <QCursor>
#include <QString>
#include <initializer_list>
#include <optional>

class QWidget;

namespace qv::ui {

// Pointer states, in the numbering the windows' code uses.
inline constexpr int kPointerDefault = 0;
inline constexpr int kPointerBusy = 11;
inline constexpr int kPointerCustom = 99;

// The colour that stands for the system's button face.
QColor buttonFaceColor();

// The main window's plain look before any skin: white window, frames, labels, option
// buttons and check boxes.
void applyDesignColors(QWidget* window);

// Gives the window and its option buttons, check boxes, frames and labels the button
// face colour; other controls keep theirs.
void ApplySystemColors(QWidget* window);

// The skin file of the main window: <program folder>/x/o.cjs.
QString skinFilePath(const QString& programFolder);

// When the skin file is there (a plain, not hidden file), gives the main window the
// button face colours. There is no skin engine: its loading and applying are skipped.
// Returns whether the file was there.
bool ApplySkin(QWidget* window, const QString& programFolder);

// The hand cursor file: <program folder>/HAND-M.CUR.
QString handCursorPath(const QString& programFolder);

// Loads a cursor file (a Windows .cur: icon directory with hot spots). Throws
// std::runtime_error naming the file when it cannot be read or is not a cursor.
QCursor loadCursorFile(const QString& path);

// A window's pointer: 0 default, 11 busy, 99 the window's custom cursor (the hand when
// it was loaded; the default arrow otherwise).
class WindowPointer {
 public:
  explicit WindowPointer(QWidget* window) : window_(window) {}
  int state() const { return state_; }
  void set(int state);
  void setCustomCursor(const QCursor& cursor) { custom_ = cursor; }
  bool hasCustomCursor() const { return custom_.has_value(); }
  // The mouse moved over a push button (hand) or over a background (default):
  // nothing changes while the pointer is busy.
  void overButton();
  void overBackground();

 private:
  QWidget* window_;
  int state_ = kPointerDefault;
  std::optional<QCursor> custom_;
};

// The pointer handlers of a window: moving the mouse over one of the buttons sets the
// pointer to the hand, over one of the backgrounds (the window itself, frames, fields,
// lists) to the default; neither while it is busy. The handlers live as long as window.
void followPointer(WindowPointer& pointer, QWidget* window, std::initializer_list<QWidget*> buttons,
                   std::initializer_list<QWidget*> backgrounds);

}  // namespace qv::ui
