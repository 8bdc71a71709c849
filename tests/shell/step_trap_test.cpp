#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "db/ado/error.h"
#include "db/io/error.h"
#include "shell/error_report.h"
#include "shell/messages.h"
#include "shell/step_trap.h"

namespace qv::shell {
namespace {

TEST(ApplicationError, ReportTextHasOneCrLfAndTwoBareCrs) {
  QString loc = locationString(QStringLiteral("Form1"), QStringLiteral("PushButton7_Click"));
  EXPECT_EQ(loc, QStringLiteral("in Quorvane2021/08/31.Form1.PushButton7_Click "));
  EXPECT_EQ(
      locationString(QStringLiteral("AddFolder"), QStringLiteral("GetSubDirectories2016"), QStringLiteral("Kestrune")),
      QStringLiteral("in Kestrune2021/08/31.AddFolder.GetSubDirectories2016 "));
  EXPECT_EQ(applicationErrorText(QStringLiteral("Disk full"), loc, 118),
            QStringLiteral("Disk full\r\nin Quorvane2021/08/31.Form1.PushButton7_Click at line 118\r\r"
                           "Please email screenshot of this message to support@varnholt.example"));
  // An empty description still gives the report, with an empty first line.
  EXPECT_TRUE(applicationErrorText(QString(), loc, 100).startsWith(QStringLiteral("\r\nin Quorvane")));
}

// A procedure written the way every trapping procedure is: numbered steps, a branch, a loop.
struct Procedure {
  StepTrap trap{locationString(QStringLiteral("Form1"), QStringLiteral("PushButton7_Click"))};
  std::vector<int> ran;
  int failingStep = -1;
  int failuresLeft = 1;

  void maybeFail(int step) {
    if (step == failingStep && failuresLeft-- > 0) throw ado::Error(-1, QStringLiteral("boom at %1").arg(step));
  }
  void helper(int step) { maybeFail(step); }  // a helper without a trap of its own

  void operator()(int items) {
    trap.run(100, [&] {
      ran.push_back(100);
      maybeFail(100);
    });
    trap.run(102, [&] {
      helper(102);
      ran.push_back(102);
    });
    if (trap.test(104, [&] {
          maybeFail(104);
          return false;
        })) {
      trap.run(106, [&] { ran.push_back(106); });
    }
    int i = 0;
    auto start = trap.loopHead(108, [&] {
      maybeFail(108);
      return items > 0;
    });
    if (start != StepTrap::LoopStart::kSkip) {
      do {
        trap.run(110, [&] {
          ran.push_back(110);
          maybeFail(110);
        });
        if (start == StepTrap::LoopStart::kOnce) break;
      } while (trap.advance(112, [&] {
        maybeFail(112);
        return ++i < items;
      }));
    }
    trap.run(114, [&] { ran.push_back(114); });
  }
};

TEST(StepTrap, ContinuesAfterEachKindOfFailedStep) {
  struct Case {
    int failing;
    std::vector<int> expected;
    int reportedStep;
  };
  const Case cases[] = {
      {-1, {100, 102, 110, 110, 110, 114}, 0},
      {100, {100, 102, 110, 110, 110, 114}, 100},       // next action
      {102, {100, 110, 110, 110, 114}, 102},            // a helper's failure is the caller's step
      {104, {100, 102, 106, 110, 110, 110, 114}, 104},  // a failed branch test enters the branch
      {108, {100, 102, 110, 114}, 108},                 // a failed loop head enters the body once
      {112, {100, 102, 110, 114}, 112},                 // a failed advance leaves the loop
  };
  for (const auto& c : cases) {
    RecordingMessages box;
    Procedure p;
    p.failingStep = c.failing;
    p(3);
    EXPECT_EQ(p.ran, c.expected) << "failing step " << c.failing;
    if (c.failing < 0) {
      EXPECT_TRUE(box.shown.empty());
      continue;
    }
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].title, QStringLiteral("Application Error"));
    EXPECT_EQ(box.shown[0].icon, MsgIcon::Warning);
    EXPECT_EQ(box.shown[0].buttons, MsgButtons::Ok);
    EXPECT_TRUE(box.shown[0].text.contains(QStringLiteral("PushButton7_Click at line %1\r\r").arg(c.reportedStep)))
        << box.shown[0].text.toStdString();
    EXPECT_TRUE(box.shown[0].text.startsWith(QStringLiteral("boom at %1\r\n").arg(c.reportedStep)));
  }
}

TEST(StepTrap, AStepFailingInEveryIterationIsReportedEachTime) {
  RecordingMessages box;
  Procedure p;
  p.failingStep = 110;
  p.failuresLeft = 100;
  p(4);
  EXPECT_EQ(box.shown.size(), 4u);
  EXPECT_EQ(p.trap.failures(), 4);
}

TEST(StepTrap, DescribesEveryKindOfFailure) {
  auto describe = [](auto thrower) {
    try {
      thrower();
    } catch (...) {
      return describeException(std::current_exception());
    }
    return QString();
  };
  EXPECT_EQ(describe([] { throw ado::Error(3021, QStringLiteral("No current record.")); }),
            QStringLiteral("No current record."));
  EXPECT_EQ(describe([] { throw qv::DbError(qv::kErrDiskFull, "'x.mdb': No space left on device"); }),
            QStringLiteral("'x.mdb': No space left on device"));
  EXPECT_EQ(describe([] { throw std::runtime_error("plain"); }), QStringLiteral("plain"));
  EXPECT_EQ(describe([] { throw 42; }), QStringLiteral("Unexpected failure"));
}

}  // namespace
}  // namespace qv::shell
