#include "util/ordered_pipeline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace corvane;

namespace {

struct Item {
  std::size_t value = 0;
  std::size_t uses = 0;  // how many items the slot has held
};

// Later items are quicker to produce, so that workers finish out of order.
void unevenly(std::size_t i) { std::this_thread::sleep_for(std::chrono::microseconds(((7 - i % 8) * 50))); }

}  // namespace

TEST(OrderedPipeline, ConsumesInOrderWithinTheBound) {
  struct Case {
    unsigned workers;
    std::size_t ahead;
  };
  for (const Case c : {Case{0, 3}, Case{1, 1}, Case{2, 1}, Case{2, 3}, Case{4, 2}, Case{3, 8}}) {
    SCOPED_TRACE(std::to_string(c.workers) + " workers, " + std::to_string(c.ahead) + " ahead");
    const std::size_t count = 40;
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<std::size_t> consumed{0};
    std::atomic<bool> beyond_bound{false}, on_caller{false};
    std::vector<std::size_t> order;
    run_in_order<Item>(
        count, c.workers, c.ahead,
        [&](std::size_t i, Item& item) {
          if (i >= consumed + c.ahead) beyond_bound = true;
          if (std::this_thread::get_id() == caller) on_caller = true;
          unevenly(i);
          item.value = i * i;
          item.uses += 1;
        },
        [&](std::size_t i, Item& item) {
          order.push_back(i);
          EXPECT_EQ(item.value, i * i);
          EXPECT_EQ(item.uses, c.workers == 0 ? i + 1 : i / c.ahead + 1);  // slots are taken in turn
          consumed = i + 1;
        });
    std::vector<std::size_t> expected(count);
    for (std::size_t i = 0; i < count; ++i) expected[i] = i;
    EXPECT_EQ(order, expected);
    EXPECT_FALSE(beyond_bound);
    EXPECT_EQ(on_caller, c.workers == 0);  // no thread without workers, and none but them with
  }
}

TEST(OrderedPipeline, AFailureIsThrownAtItsTurn) {
  for (const unsigned workers : {0u, 2u}) {
    SCOPED_TRACE(std::to_string(workers) + " workers");
    std::vector<std::size_t> consumed;
    try {
      run_in_order<Item>(
          20, workers, 4,
          [&](std::size_t i, Item&) {
            unevenly(i);
            if (i == 5 || i == 7) throw std::runtime_error("item " + std::to_string(i));
          },
          [&](std::size_t i, Item&) { consumed.push_back(i); });
      ADD_FAILURE() << "nothing thrown";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "item 5");
    }
    EXPECT_EQ(consumed, (std::vector<std::size_t>{0, 1, 2, 3, 4}));
  }
}

TEST(OrderedPipeline, AFailedConsumeStopsTheWorkers) {
  std::atomic<std::size_t> produced{0};
  EXPECT_THROW(run_in_order<Item>(
                   1000, 2, 3, [&](std::size_t, Item&) { produced += 1; },
                   [&](std::size_t i, Item&) {
                     if (i == 2) throw std::logic_error("consume");
                   }),
               std::logic_error);
  EXPECT_LE(produced, 2u + 3u);  // what the bound let through before the failure, then nothing
}
