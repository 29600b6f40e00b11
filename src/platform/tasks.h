// The one way off the window's thread. Work that can wait on a path or a
// process (a share whose server has gone holds a file call for minutes; a
// program may hang) runs on a thread of its own, and its answer comes back on
// the window's thread, from its message loop.
//
// Requests are named by a key that says what is asked ("long:C:\PROJEC~1"):
// a request for a key whose work still runs joins that work instead of
// starting another, so a user clicking back and forth between two drives on a
// dead share keeps two threads waiting, not hundreds. A request also has a
// slot (by default its key): a newer request in the same slot makes the older
// one stale, and its answer is dropped, never given late. A bound turns
// silence into "no answer": `done` then gets a null answer, and the work, left
// to finish on its own, answers only requests made after it.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kv {

class Tasks {
public:
    static constexpr unsigned kNoBound = 0;
    struct Options {
        std::string slot;          // empty: the key
        unsigned boundMs = kNoBound;
    };
    using Answer = std::shared_ptr<const void>;
    using Work = std::function<Answer()>;
    using Done = std::function<void(const void* answer)>; // null: no answer within the bound

    virtual ~Tasks() = default;

    // Runs `work` away from the caller and `done` later on the caller's thread,
    // never from inside this call. All requests of one key must produce the
    // same type: T below.
    virtual void RunErased(const std::string& key, Work work, Done done, const Options& options) = 0;
    // The request waiting in the slot, if any, gets no answer.
    virtual void Forget(const std::string& slot) = 0;

    // `done(const T*)`: the answer of `work() -> T`, or null past the bound.
    template<class T, class WorkFn, class DoneFn>
    void Run(const std::string& key, WorkFn work, DoneFn done, const Options& options = {}) {
        RunErased(
            // Not make_shared: without run-time type information its tag
            // drags the exception machinery into the programs.
            key, [work = std::move(work)]() -> Answer { return Answer(new const T(work())); },
            [done = std::move(done)](const void* answer) { done(static_cast<const T*>(answer)); }, options);
    }
};

// The rules of Tasks as plain bookkeeping, shared by the Win32 runner and the
// tests' runner: which work to start, and whom to answer when it ends or a
// bound passes. Each returned call is to be made by the runner afterwards.
class TaskBook {
public:
    using Id = unsigned;
    struct Asked {
        Id request = 0;
        bool startWork = false; // no work of that key was running
    };
    Asked Ask(const std::string& key, Tasks::Done done, const Tasks::Options& options);
    // The key's work ended with this answer; the calls of every request still
    // waiting on it.
    std::vector<std::function<void()>> Finished(const std::string& key, const Tasks::Answer& answer);
    // The request's bound passed first: its call, or nothing when it was answered or dropped.
    std::function<void()> BoundPassed(Id request);
    void Forget(const std::string& slot);
    bool Running(const std::string& key) const { return running_.count(key) != 0; }
    std::size_t Waiting() const { return requests_.size(); }

private:
    struct Request {
        std::string key, slot;
        Tasks::Done done;
    };
    void Drop(Id request);

    Id next_ = 1;
    std::map<Id, Request> requests_;       // waiting for an answer
    std::map<std::string, Id> latestInSlot_;
    std::set<std::string> running_; // keys whose work has not ended
};

} // namespace kv
