#pragma once
// Points the user's home folder and settings location of the test process at a private
// temporary folder, so no test reads or writes the real user's settings or home. Made
// once per process (on first use) and kept until it ends.

#include <QByteArray>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

namespace qv::test {

class SandboxHome {
 public:
  static SandboxHome& instance() {
    static SandboxHome sandbox;
    return sandbox;
  }
  const QString& home() const { return home_; }
  const QString& config() const { return config_; }

 private:
  SandboxHome() {
    root_.setAutoRemove(true);
    home_ = root_.path() + QStringLiteral("/home");
    config_ = root_.path() + QStringLiteral("/config");
    QDir().mkpath(home_);
    QDir().mkpath(config_);
    qputenv("HOME", home_.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", config_.toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config_);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config_);
  }
  QTemporaryDir root_{QDir::tempPath() + QStringLiteral("/quorvane-home-XXXXXX")};
  QString home_;
  QString config_;
};

// Forgets every stored setting of the program.
inline void clearSettings() {
  SandboxHome::instance();
  QSettings store(QStringLiteral("Varnholt"), QStringLiteral("Varnholt"));
  store.clear();
  store.sync();
}

}  // namespace qv::test
