#include "engine/search_run.hpp"

namespace vantrel {

void SearchRun::Post(std::function<void(SearchWindow&)> fn) {
  // The task holds the run, so it stays valid whenever the window runs it.
  SearchWindow* target = window;
  auto self = shared_from_this();
  window->PostToWindow([self, target, fn = std::move(fn)] {
    if (self->live.load()) fn(*target);
  });
}

bool SearchRun::PostAndWait(std::function<void(SearchWindow&)> fn, bool last) {
  auto done = std::make_shared<std::atomic<bool>>(false);
  SearchGate* gateOf = &gate;
  SearchRun* self = this;
  Post([done, gateOf, self, last, fn = std::move(fn)](SearchWindow& w) {
    fn(w);
    done->store(true);
    gateOf->Notify();
    if (last && self->live.load()) self->End(w);
  });
  return gate.WaitFor([&] { return done->load(); });
}

void SearchRun::PostLast(std::function<void(SearchWindow&)> fn) {
  {
    std::lock_guard lock(lastMutex_);
    last_ = std::move(fn);
  }
  SearchRun* self = this;
  Post([self](SearchWindow& w) { self->TakeLastStep(w); });
}

bool SearchRun::TakeLastStep(SearchWindow& w) {
  std::function<void(SearchWindow&)> fn;
  {
    std::lock_guard lock(lastMutex_);
    fn.swap(last_);
  }
  if (!fn) return false;
  fn(w);
  End(w);
  return true;
}

void SearchRun::End(SearchWindow& w) {
  over.store(true);
  w.SearchStateChanged();
}

}  // namespace vantrel
