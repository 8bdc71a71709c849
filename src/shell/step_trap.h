#pragma once
// Numbered steps under the Application Error report. A trapping procedure makes one
// StepTrap with its location string and runs each numbered step through it. A step that
// throws is reported with the procedure's location and the step's number, and the
// procedure goes on with the step that follows it in its text:
//   run(n, action)     an ordinary action: after a failure, the next action;
//   test(n, condition) a branch test: after a failure the branch is entered (true);
//   loopHead(n, head)  the step that opens a loop and takes its first item: after a
//                      failure the body is entered once (its bound is unknown), then
//                      the loop ends;
//   advance(n, next)   the step that takes the next item and decides whether another
//                      iteration runs: after a failure the loop is left (false).
// Failures inside helpers called by a step count as failures of that step, since they
// simply propagate into it.

#include <QString>
#include <exception>
#include <functional>
#include <utility>

#include "shell/error_report.h"

namespace qv::shell {

class StepTrap {
 public:
  // Shows a failure; by default the Application Error report.
  using Reporter = std::function<void(const QString& location, int step, const QString& description)>;

  explicit StepTrap(QString location, Reporter reporter = {})
      : location_(std::move(location)), reporter_(std::move(reporter)) {}

  const QString& location() const { return location_; }
  // The step number last started (what a report would quote).
  int currentStep() const { return step_; }
  // How many failures were reported.
  int failures() const { return failures_; }

  template <typename F>
  bool run(int step, F&& action) {
    step_ = step;
    try {
      std::forward<F>(action)();
      return true;
    } catch (...) {
      report(std::current_exception());
      return false;
    }
  }

  template <typename F>
  bool test(int step, F&& condition) {
    step_ = step;
    try {
      return static_cast<bool>(std::forward<F>(condition)());
    } catch (...) {
      report(std::current_exception());
      return true;
    }
  }

  // Runs head() (which returns whether the loop has a first item). Returns LoopStart::kRun
  // when it has, kSkip when it has none, kOnce when the head failed.
  enum class LoopStart { kRun, kSkip, kOnce };
  template <typename F>
  LoopStart loopHead(int step, F&& head) {
    step_ = step;
    try {
      return std::forward<F>(head)() ? LoopStart::kRun : LoopStart::kSkip;
    } catch (...) {
      report(std::current_exception());
      return LoopStart::kOnce;
    }
  }

  template <typename F>
  bool advance(int step, F&& next) {
    step_ = step;
    try {
      return static_cast<bool>(std::forward<F>(next)());
    } catch (...) {
      report(std::current_exception());
      return false;
    }
  }

 private:
  void report(const std::exception_ptr& failure) {
    ++failures_;
    QString description = describeException(failure);
    if (reporter_) {
      reporter_(location_, step_, description);
    } else {
      reportApplicationError(location_, step_, description);
    }
  }

  QString location_;
  Reporter reporter_;
  int step_ = 0;
  int failures_ = 0;
};

}  // namespace qv::shell
