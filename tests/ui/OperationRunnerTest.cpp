// The worker and the window's thread: what the operation reports arrives in
// order, steps merged, questions answered while the worker waits, and each
// way of ending reported once.
#include <QCoreApplication>
#include <QTest>
#include <atomic>
#include <thread>

#include "base/Error.h"
#include "base/Messages.h"
#include "ui/OperationRunner.h"

using namespace tw;

namespace {

// Records the calls it gets, on the thread it gets them.
class TRecordingSink : public TOperationSink {
 public:
  void OnBegin(const std::string& caption, int64_t total) override { Add("begin " + caption + " " + std::to_string(total)); }
  void OnStep(const std::string& status, int64_t position) override {
    ++Steps;
    LastStep = status + " " + std::to_string(position);
  }
  void OnStatus(const std::string& status) override { Add("status " + status); }
  void OnLog(const std::string& line) override { Add("log " + line); }
  void OnEnd(const std::string& text) override { Add("end " + text); }
  TMsgAnswer OnAsk(const std::string& text, TMsgButtons, TMsgKind) override {
    Add("ask " + text);
    return TMsgAnswer::No;
  }
  void Add(const std::string& call) {
    Calls.push_back(call);
    Threads.push_back(std::this_thread::get_id());
  }
  std::vector<std::string> Calls;
  std::vector<std::thread::id> Threads;
  int Steps = 0;
  std::string LastStep;
};

}  // namespace

class OperationRunnerTest : public QObject {
  Q_OBJECT
 private slots:
  void CallsArriveInOrderOnTheWindowsThread();
  void EndingsAreReportedOnce_data();
  void EndingsAreReportedOnce();
  void StopReachesTheWorkAndDoneMayStartTheNext();
};

void OperationRunnerTest::CallsArriveInOrderOnTheWindowsThread() {
  TRecordingSink sink;
  TOperationRunner runner(sink, BuiltInTable());
  TMsgAnswer answer = TMsgAnswer::OK;
  bool done = false;
  QVERIFY(runner.Start(
      [&](TOperation& op) {
        op.Begin("Scanning", 100);
        for (int i = 0; i < 100000; ++i) op.Step("item " + std::to_string(i), i);
        op.Log("one");
        answer = op.Ask("Go on?", TMsgButtons::YesNo, TMsgKind::Confirmation);
        op.Log("two");
        op.End("Done");
      },
      [&](const TOperationRunner::TOutcome& outcome) {
        done = true;
        QVERIFY(!outcome.Canceled && outcome.Error.empty());
      }));
  QVERIFY(!runner.Start([](TOperation&) {}, nullptr));  // one at a time
  runner.Wait();
  QVERIFY(done);
  QCOMPARE(answer, TMsgAnswer::No);
  QCOMPARE(sink.Calls, (std::vector<std::string>{"begin Scanning 100", "log one", "ask Go on?", "log two", "end Done"}));
  for (const auto& id : sink.Threads) QCOMPARE(id, std::this_thread::get_id());
  // A hundred thousand steps reach the window as a few merged ones.
  QVERIFY(sink.Steps >= 1 && sink.Steps < 1000);
}

void OperationRunnerTest::EndingsAreReportedOnce_data() {
  QTest::addColumn<int>("ending");  // 0 normal, 1 canceled, 2 error
  QTest::newRow("normal") << 0;
  QTest::newRow("canceled") << 1;
  QTest::newRow("error") << 2;
}

void OperationRunnerTest::EndingsAreReportedOnce() {
  QFETCH(int, ending);
  TRecordingSink sink;
  TOperationRunner runner(sink, BuiltInTable());
  int calls = 0;
  TOperationRunner::TOutcome seen;
  runner.Start(
      [ending](TOperation&) {
        if (ending == 1) throw ECanceled("infoCancel", {});
        if (ending == 2) throw EError("errFNF", {"x.twl"});
      },
      [&](const TOperationRunner::TOutcome& outcome) {
        ++calls;
        seen = outcome;
      });
  runner.Wait();
  QCOMPARE(calls, 1);
  QCOMPARE(seen.Canceled, ending == 1);
  QCOMPARE(QString::fromStdString(seen.Error), ending == 2 ? QString("File not found: x.twl") : QString());
  QVERIFY(!runner.Running());
}

void OperationRunnerTest::StopReachesTheWorkAndDoneMayStartTheNext() {
  TRecordingSink sink;
  TOperationRunner runner(sink, BuiltInTable());
  std::atomic<int> turns{0};
  bool second = false;
  runner.Start(
      [&](TOperation& op) {
        while (!op.StopRequested()) {
          ++turns;
          std::this_thread::yield();
        }
        op.CheckStop();
      },
      [&](const TOperationRunner::TOutcome& outcome) {
        QVERIFY(outcome.Canceled);
        QVERIFY(runner.Start([](TOperation& op) { op.Log("next"); }, [&](const TOperationRunner::TOutcome&) { second = true; }));
      });
  while (turns == 0) QCoreApplication::processEvents();
  runner.Stop();
  runner.Wait();
  QVERIFY(runner.Running());  // the next one runs
  runner.Wait();
  QVERIFY(second);
  QCOMPARE(sink.Calls.back(), std::string("log next"));
}

QTEST_MAIN(OperationRunnerTest)
#include "OperationRunnerTest.moc"
