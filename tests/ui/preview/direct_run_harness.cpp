// The desktop program in direct mode, for the kill trials: the main window with the
// Paradox folder and database of the arguments, the check box of the preview cleared,
// "Start Converting" clicked once. While the run goes on, the run's position is printed
// every few milliseconds ("at TABLE ROW": the rows before ROW have been written); messages
// are printed instead of shown; "finished" ends the output.
//   direct_run_harness PARADOX_FOLDER DATABASE

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "shell/messages.h"
#include "ui/main/form1.h"
#include "ui/preview/desktop_conversion.h"

namespace {

class PrintedMessages final : public qv::shell::MessageSink {
 public:
  qv::shell::MsgAnswer show(const qv::shell::Message& message) override {
    std::printf("message %s\n", message.text.simplified().toUtf8().constData());
    std::fflush(stdout);
    return message.buttons == qv::shell::MsgButtons::YesNo ? qv::shell::MsgAnswer::No : qv::shell::MsgAnswer::Ok;
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: direct_run_harness PARADOX_FOLDER DATABASE\n");
    return 2;
  }
  QApplication app(argc, argv);
  PrintedMessages messages;
  qv::shell::setMessages(&messages);
  int status = 0;
  {
    qv::ui::Form1 form;
    qv::ui::DesktopConversion conversion(form, QLocale(QLocale::English, QLocale::UnitedStates));
    form.startConversion = [&conversion](qv::ui::Form1&) { conversion.start(); };
    form.Text1->setText(QString::fromLocal8Bit(argv[1]));
    form.Text5->setText(QString::fromLocal8Bit(argv[2]));
    form.Text6->clear();
    form.Check1->setChecked(false);
    form.show();

    QTimer position;
    QObject::connect(&position, &QTimer::timeout, [&conversion] {
      const qv::engine::ConversionRun& run = conversion.run();
      if (!run.running()) return;
      std::printf("at %s %ld\n", run.currentTable().toUtf8().constData(), run.rowsDone());
      std::fflush(stdout);
    });
    position.start(5);
    QTimer::singleShot(0, &form, [&] {
      form.PushButton7->click();
      std::printf("finished\n");
      std::fflush(stdout);
      QApplication::quit();
    });
    status = QApplication::exec();
  }
  qv::shell::setMessages(nullptr);
  return status;
}
