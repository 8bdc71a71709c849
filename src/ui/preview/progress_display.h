#pragma once
// A progress bar that shows a text and a value from 0 to 100. The long loops set both
// for every row, which would repaint the bar a million times; here the exact value and
// text are kept at once (what the program reads back), and the bar itself is brought up
// to date at most about 30 times a second, the last state always shown.

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class QProgressBar;

namespace qv::ui {

class ProgressDisplay : public QObject {
  Q_OBJECT

 public:
  explicit ProgressDisplay(QProgressBar* bar, QObject* parent = nullptr);

  double value() const { return value_; }
  const QString& text() const { return text_; }
  void setValue(double value);
  void setText(const QString& text);

  // Brings the bar up to date now.
  void flush();
  // How many times the bar was brought up to date (for benchmarks).
  long updates() const { return updates_; }

  static constexpr int kMinIntervalMs = 33;

 private:
  void changed();

  QProgressBar* bar_;
  double value_ = 0;
  QString text_;
  QElapsedTimer sinceUpdate_;
  QTimer pending_;
  long updates_ = 0;
};

}  // namespace qv::ui
