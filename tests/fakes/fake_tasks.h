// Tasks that run at once on the caller's thread, unless the test holds
// them: then each work waits until the test ends it or lets a bound pass.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/tasks.h"

namespace kv::test {

class FakeTasks : public Tasks {
public:
    bool hold = false;
    std::vector<std::string> started; // the keys whose work began, in order

    void RunErased(const std::string& key, Work work, Done done, const Options& options) override {
        const TaskBook::Asked asked = book_.Ask(key, std::move(done), options);
        requests_.push_back(asked.request);
        if (asked.startWork) {
            started.push_back(key);
            works_[key] = std::move(work);
        }
        if (!hold)
            End(key);
    }
    void Forget(const std::string& slot) override { book_.Forget(slot); }

    // The key's work ends now and answers every request still waiting on it.
    void End(const std::string& key) {
        Work work = std::move(works_.at(key));
        works_.erase(key);
        for (const auto& call : book_.Finished(key, work()))
            call();
    }
    // The bound of the n-th request made passes.
    void PassBound(std::size_t request) {
        if (const auto call = book_.BoundPassed(requests_.at(request)))
            call();
    }

private:
    TaskBook book_;
    std::map<std::string, Work> works_;
    std::vector<TaskBook::Id> requests_;
};

} // namespace kv::test
