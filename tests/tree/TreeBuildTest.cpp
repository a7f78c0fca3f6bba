// The tree built behind the window's thread: a newer build's outcome replaces an older one, whose
// own is never delivered, even when it comes last; a build may be abandoned by its owner at any
// point. A fake check held at a gate makes a build as slow as the test needs.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <vector>

#include <QCoreApplication>
#include <QStringList>
#include <QTest>
#include <QThreadPool>

#include "LineViews.h"
#include "TreeBuild.h"

namespace {

// A check that waits at the gate while the document's first line is "<slow>".
struct GatedCheck {
  std::shared_ptr<std::atomic<bool>> open = std::make_shared<std::atomic<bool>>(false);
  std::shared_ptr<std::atomic<int>> waiting = std::make_shared<std::atomic<int>>(0);

  tree::TreeBuild::Check check() const {
    return [open = open, waiting = waiting](const TextLines& lines) {
      if (lines.line(0) == "<slow>") {
        ++*waiting;
        while (!*open) QThread::yieldCurrentThread();
      }
      analysis::Fault fault;
      if (lines.line(0) == "<bad>") fault.code = analysis::kUnclosedTag;
      return fault;
    };
  }
};

tree::LinesOf linesOf(const QStringList& text) {
  return [text] { return std::make_unique<StringListLines>(text); };
}

struct Delivered {
  int code;
  QStringList labels;
};

QStringList labelsOf(const tree::Tree& t) {
  QStringList out;
  for (int32_t i = 0; i < t.size(); ++i) out << QString::fromLatin1(t.label(i));
  return out;
}

TEST(TreeBuild, ANewerBuildReplacesAnOlderOneThatEndsLater) {
  // The gated check holds a thread: the newer build needs others.
  QThreadPool::globalInstance()->setMaxThreadCount(std::max(3, QThreadPool::globalInstance()->maxThreadCount()));
  GatedCheck gate;
  std::vector<Delivered> delivered;
  tree::TreeBuild build(gate.check(), [&](tree::Outcome& o) { delivered.push_back({o.fault.code, labelsOf(o.tree)}); });
  struct Case {
    QStringList newer;
    Delivered expected;
  } cases[] = {
      {{"<r>", "<n></n>", "</r>"}, {0, {"<r>", "<n>"}}},
      // A fault found by the newer check: no tree, and the older one's is not shown either.
      {{"<bad>", "</bad>"}, {1, {}}},
  };
  for (const Case& c : cases) {
    delivered.clear();
    *gate.open = false;
    *gate.waiting = 0;
    build.start(linesOf({"<slow>", "<old></old>", "</slow>"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return *gate.waiting == 1; }, 10000));
    build.start(linesOf(c.newer));
    // The newer outcome comes while the older check still waits.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !delivered.empty(); }, 10000));
    EXPECT_FALSE(build.idle());
    *gate.open = true;
    ASSERT_TRUE(QTest::qWaitFor([&] { return build.idle(); }, 10000));
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered[0].code, c.expected.code);
    EXPECT_EQ(delivered[0].labels, c.expected.labels);
  }
}

TEST(TreeBuild, ACancelledBuildDeliversNothingAndWorkBehindStillComesBack) {
  GatedCheck gate;
  int delivered = 0;
  tree::TreeBuild build(gate.check(), [&](tree::Outcome&) { ++delivered; });
  build.start(linesOf({"<slow>", "</slow>"}));
  bool prepared = false;
  build.runBehind([] { return std::function<void()>(); });
  build.runBehind([&prepared] { return [&prepared] { prepared = true; }; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return *gate.waiting == 1; }, 10000));
  build.cancel();
  *gate.open = true;
  ASSERT_TRUE(QTest::qWaitFor([&] { return build.idle(); }, 10000));
  EXPECT_EQ(delivered, 0);
  EXPECT_TRUE(prepared);
}

TEST(TreeBuild, TheOwnerMayGoWhileItsBuildRuns) {
  GatedCheck gate;
  int delivered = 0;
  auto build = std::make_unique<tree::TreeBuild>(gate.check(), [&](tree::Outcome&) { ++delivered; });
  build->start(linesOf({"<slow>", "<a></a>", "</slow>"}));
  build->runBehind([] { return [] {}; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return *gate.waiting == 1; }, 10000));
  build.reset();
  *gate.open = true;
  ASSERT_TRUE(QThreadPool::globalInstance()->waitForDone(10000));
  QCoreApplication::sendPostedEvents();  // anything posted to the owner would arrive now
  EXPECT_EQ(delivered, 0);
}

}  // namespace
