#pragma once
// Work produced ahead on other threads and consumed in order on the caller's: a parallel
// stage feeding a serial in-order one, with a bound on the items in flight.
#include <cstddef>
#include <functional>
#include <vector>

namespace corvane {

// The threads the machine runs at once; 1 when it cannot tell.
unsigned default_jobs();

// Items 0..count-1 go through two stages:
// - produce(i, item) runs on one of `workers` threads, for no item more than `ahead` past the
//   last one consumed (so at most `ahead` items are ever in flight; ahead is at least 1);
// - consume(i, item) runs on the calling thread, in the order of i.
// What produce(i) throws is thrown here when i's turn comes, once every item before it is
// consumed; what consume throws ends the run at once. Either way the workers are stopped
// and waited for before it leaves.
// Items live in `ahead` slots taken in turn: item i gets the slot item i - ahead was consumed
// from, so what an item holds is filled again rather than made afresh.
// With no workers, or no thread to be had, every item is produced and then consumed on the
// calling thread, one at a time.
template <class Item, class Produce, class Consume>
void run_in_order(std::size_t count, unsigned workers, std::size_t ahead, Produce&& produce, Consume&& consume);

namespace ordered_pipeline {
// The scheduling of run_in_order over slot numbers: produce(i, slot), consume(i, slot).
void run(std::size_t count, unsigned workers, std::size_t slot_count,
         const std::function<void(std::size_t, std::size_t)>& produce,
         const std::function<void(std::size_t, std::size_t)>& consume);
}  // namespace ordered_pipeline

template <class Item, class Produce, class Consume>
void run_in_order(std::size_t count, unsigned workers, std::size_t ahead, Produce&& produce, Consume&& consume) {
  const std::size_t slot_count = workers == 0 || ahead == 0 ? 1 : ahead;
  std::vector<Item> items(slot_count);
  ordered_pipeline::run(
      count, workers, slot_count, [&](std::size_t i, std::size_t slot) { produce(i, items[slot]); },
      [&](std::size_t i, std::size_t slot) { consume(i, items[slot]); });
}

}  // namespace corvane
