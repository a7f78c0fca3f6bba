#include "TreeBuild.h"

#include <mutex>
#include <new>

#include <QThreadPool>

namespace tree {

// What the tasks and this object share: the tasks may outlive it.
struct TreeBuild::Shared {
  std::mutex mutex;
  TreeBuild* owner = nullptr;       // null once the owner is gone
  std::atomic<uint64_t> current{0}; // the build whose outcome counts
};

struct TreeBuild::Job {
  uint64_t id = 0;
  LinesOf lines;
  std::atomic<int> left{2};  // the check and the build
  analysis::Fault fault;     // the check's, read once both tasks are done
  std::atomic<int> code{0};  // its code, which the build watches
  std::atomic<bool> outOfMemory{false};
  Tree tree;

  bool stale(const Shared& shared) const { return shared.current.load(std::memory_order_relaxed) != id; }
};

TreeBuild::TreeBuild(Check check, std::function<void(Outcome&)> done, QObject* parent)
    : QObject(parent), check_(std::move(check)), done_(std::move(done)), shared_(std::make_shared<Shared>()) {
  shared_->owner = this;
}

TreeBuild::~TreeBuild() {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->owner = nullptr;
  ++shared_->current;  // the running build stops at its next look
}

void TreeBuild::post(const std::shared_ptr<Shared>& shared, std::function<void(TreeBuild*)> f) {
  // Under the lock, so that the owner cannot be destroyed between the look and the post; its
  // destructor then drops what was posted to it.
  std::lock_guard<std::mutex> lock(shared->mutex);
  if (TreeBuild* owner = shared->owner)
    QMetaObject::invokeMethod(owner, [owner, f = std::move(f)] { f(owner); }, Qt::QueuedConnection);
}

void TreeBuild::finish(const std::shared_ptr<Shared>& shared, const std::shared_ptr<Job>& job) {
  if (--job->left > 0) return;
  post(shared, [job](TreeBuild* owner) {
    --owner->pending_;
    if (job->stale(*owner->shared_)) return;
    Outcome outcome;
    outcome.fault = std::move(job->fault);
    outcome.outOfMemory = job->outOfMemory;
    if (outcome.fault.code == 0 && !outcome.outOfMemory) outcome.tree = std::move(job->tree);
    // The snapshot goes with the outcome, not with the last copy of the job.
    outcome.lines = std::move(job->lines);
    owner->done_(outcome);
  });
}

void TreeBuild::start(LinesOf lines) {
  auto job = std::make_shared<Job>();
  job->id = ++shared_->current;
  job->lines = std::move(lines);
  ++pending_;
  QThreadPool* pool = QThreadPool::globalInstance();
  pool->start([shared = shared_, job, check = check_] {
    if (!job->stale(*shared)) {
      try {
        job->fault = check(*job->lines());
        job->code = job->fault.code;
      } catch (const std::bad_alloc&) {
        job->outOfMemory = true;
      }
    }
    finish(shared, job);
  });
  pool->start([shared = shared_, job] {
    // A tree made in vain (a fault found, a newer build) is left unfinished.
    const auto stopped = [&] { return job->code > 0 || job->outOfMemory || job->stale(*shared); };
    if (!stopped()) {
      try {
        job->tree = buildTree(*job->lines(), stopped);
      } catch (const std::bad_alloc&) {
        job->outOfMemory = true;
      }
    }
    finish(shared, job);
  });
}

void TreeBuild::cancel() { ++shared_->current; }

void TreeBuild::runBehind(std::function<std::function<void()>()> work) {
  ++pending_;
  QThreadPool::globalInstance()->start([shared = shared_, work = std::move(work)] {
    std::function<void()> then;
    try {
      then = work();
    } catch (const std::bad_alloc&) {
      // Only an aid was being prepared: the window does without it.
    }
    post(shared, [then = std::move(then)](TreeBuild* owner) {
      --owner->pending_;
      if (then) then();
    });
  });
}

}  // namespace tree
