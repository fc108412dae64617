// A callback that the GUI thread registers and the audio thread calls.
#pragma once

#include <atomic>
#include <thread>

// set() returns only when no call made with the previous value can still be running, so the
// caller may free the old context right after (a measurement object that stops and dies).
// The audio thread marks itself busy before it looks at the slot; set() disables the slot
// first and then waits for busy to drop (both sequentially consistent, so one of the two
// always sees the other).
class TSoundCallbackSlot {
public:
    // GUI thread (or the audio thread from inside a call, with wait = false).
    void set(void* code, void* context, bool wait = true) noexcept
    {
        enabled_.store(false);
        while (wait && busy_.load())
            std::this_thread::yield();
        code_.store(code, std::memory_order_relaxed);
        context_.store(context, std::memory_order_relaxed);
        enabled_.store(code != nullptr);
    }
    // Any thread: the registered code (nullptr when none).
    void* code() const noexcept { return enabled_.load() ? code_.load(std::memory_order_relaxed) : nullptr; }

    // Audio thread: runs f(code, context) when a callback is registered.
    template <class F>
    void use(F&& f) noexcept
    {
        busy_.store(true);
        if (enabled_.load())
            f(code_.load(std::memory_order_relaxed), context_.load(std::memory_order_relaxed));
        busy_.store(false);
    }

private:
    std::atomic<bool> enabled_{false};      // a callback is registered
    std::atomic<bool> busy_{false};         // the audio thread is inside use()
    std::atomic<void*> code_{nullptr};      // the function
    std::atomic<void*> context_{nullptr};   // its context (callback 5 only)
};
