#include "platform/tasks.h"

namespace kv {

TaskBook::Asked TaskBook::Ask(const std::string& key, Tasks::Done done, const Tasks::Options& options) {
    const std::string slot = options.slot.empty() ? key : options.slot;
    const auto older = latestInSlot_.find(slot);
    if (older != latestInSlot_.end())
        Drop(older->second);
    const Id id = next_++;
    requests_[id] = Request{key, slot, std::move(done)};
    latestInSlot_[slot] = id;
    return {id, running_.insert(key).second};
}

void TaskBook::Forget(const std::string& slot) {
    const auto found = latestInSlot_.find(slot);
    if (found != latestInSlot_.end())
        Drop(found->second);
}

void TaskBook::Drop(Id request) {
    const auto found = requests_.find(request);
    if (found == requests_.end())
        return;
    const auto slot = latestInSlot_.find(found->second.slot);
    if (slot != latestInSlot_.end() && slot->second == request)
        latestInSlot_.erase(slot);
    requests_.erase(found);
}

// In the order they were asked; each call is made after the book is in order
// again, so a call may ask anew.
std::vector<std::function<void()>> TaskBook::Finished(const std::string& key, const Tasks::Answer& answer) {
    running_.erase(key);
    std::vector<Id> answered;
    for (const auto& [id, request] : requests_)
        if (request.key == key)
            answered.push_back(id);
    std::vector<std::function<void()>> calls;
    for (Id id : answered) {
        calls.push_back([done = std::move(requests_[id].done), answer] { done(answer.get()); });
        Drop(id);
    }
    return calls;
}

std::function<void()> TaskBook::BoundPassed(Id request) {
    const auto found = requests_.find(request);
    if (found == requests_.end())
        return nullptr;
    auto call = [done = std::move(found->second.done)] { done(nullptr); };
    Drop(request);
    return call;
}

} // namespace kv
