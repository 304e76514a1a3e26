// One matcher per detail-page field pattern, lent to detail workers and taken back.
//
// A matcher keeps the pattern it compiled last; compiling the long field patterns costs far more than
// matching them, so a worker that cycled six patterns through one fresh matcher would spend most of its
// processor time compiling. A set that always searches the same pattern compiles it once, and sets are
// reused across workers, so a run compiles each pattern about as often as workers run at once.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "match/regex_matcher.h"

namespace tollenby {

struct DetailMatchers {
    RegexMatcher description, industry, time, region, tags, accountId;
};

class DetailMatcherPool {
  public:
    // Hands its set back to the pool when it goes.
    class Lease {
      public:
        Lease(DetailMatcherPool& pool, std::unique_ptr<DetailMatchers> matchers)
            : pool_(pool), matchers_(std::move(matchers)) {}
        ~Lease() { pool_.Return(std::move(matchers_)); }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        DetailMatchers& operator*() const { return *matchers_; }

      private:
        DetailMatcherPool& pool_;
        std::unique_ptr<DetailMatchers> matchers_;
    };

    Lease Take() {
        std::unique_ptr<DetailMatchers> matchers;
        {
            std::lock_guard lock(lock_);
            if (!free_.empty()) {
                matchers = std::move(free_.back());
                free_.pop_back();
            }
        }
        if (!matchers) matchers = std::make_unique<DetailMatchers>();
        return Lease(*this, std::move(matchers));
    }

  private:
    void Return(std::unique_ptr<DetailMatchers> matchers) {
        std::lock_guard lock(lock_);
        free_.push_back(std::move(matchers));
    }

    std::mutex lock_;
    std::vector<std::unique_ptr<DetailMatchers>> free_;
};

}  // namespace tollenby
