#pragma once
// The tree of a document built behind the window's thread, so that the window takes keys while
// a large document is checked and its tree made. The check and the build run side by side on
// the pool's threads, each on its own view of one snapshot of the text, and the outcome comes
// back to this object's thread. A build started while another runs replaces it: the older
// outcome is dropped, never shown over a newer text. Other work that a build makes worth doing
// (state the window keeps) runs behind the same way.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include <QObject>

#include "TextLines.h"
#include "Tree.h"
#include "Wellformed.h"

namespace tree {

// A fresh view of a snapshot's lines; called on the pool's threads, once per task.
using LinesOf = std::function<std::unique_ptr<TextLines>()>;

struct Outcome {
  analysis::Fault fault;      // what the check found; a tree only when its code is 0
  bool outOfMemory = false;   // the check or the build ran out of memory: no tree
  Tree tree;
  LinesOf lines;              // the snapshot built on, where the fault's place is read
};

class TreeBuild : public QObject {
  Q_OBJECT

 public:
  // The check that decides whether a tree is shown: a fault code above 0 says no.
  using Check = std::function<analysis::Fault(const TextLines&)>;

  TreeBuild(Check check, std::function<void(Outcome&)> done, QObject* parent = nullptr);
  // Leaves the tasks still running to end on their own; nothing of theirs is delivered.
  ~TreeBuild() override;

  void start(LinesOf lines);
  // The build under way, if any, delivers nothing.
  void cancel();
  // Runs work on the pool; the function it returns runs on this object's thread, whatever
  // builds came since, unless this object is gone.
  void runBehind(std::function<std::function<void()>()> work);
  // Nothing started is still to be delivered.
  bool idle() const { return pending_ == 0; }

 private:
  struct Shared;
  struct Job;
  static void post(const std::shared_ptr<Shared>& shared, std::function<void(TreeBuild*)> f);
  static void finish(const std::shared_ptr<Shared>& shared, const std::shared_ptr<Job>& job);

  Check check_;
  std::function<void(Outcome&)> done_;
  std::shared_ptr<Shared> shared_;
  int pending_ = 0;
};

}  // namespace tree
