// Hands the newest value of a settings object from the GUI thread to the audio thread.
#pragma once

#include <atomic>
#include <memory>

// Lock-free hand-over by pointer swap. The GUI thread allocates and frees; the audio thread
// only swaps pointers, so it never allocates, frees or waits. A value the audio thread lets
// go is parked in `retired_` until the GUI thread collects it; while one is parked the audio
// thread keeps its current value (at most until the next GUI call).
template <class T>
class TSoundMailbox {
public:
    ~TSoundMailbox() { clearStopped(); }

    // GUI thread: makes v the value the audio thread takes at its next take().
    void post(std::unique_ptr<T> v)
    {
        collect();
        delete pending_.exchange(v.release(), std::memory_order_acq_rel);
    }
    // GUI thread: frees what the audio thread has let go.
    void collect() { delete retired_.exchange(nullptr, std::memory_order_acq_rel); }
    // GUI thread, only while the audio thread is not running: drops every value.
    void clearStopped()
    {
        collect();
        delete pending_.exchange(nullptr, std::memory_order_acq_rel);
        delete current_;
        current_ = nullptr;
    }

    // Audio thread: the newest value posted (nullptr before the first post).
    const T* take() noexcept
    {
        if (pending_.load(std::memory_order_relaxed) && !retired_.load(std::memory_order_acquire)) {
            if (T* p = pending_.exchange(nullptr, std::memory_order_acq_rel)) {
                retired_.store(current_, std::memory_order_release);
                current_ = p;
            }
        }
        return current_;
    }

private:
    std::atomic<T*> pending_{nullptr}; // posted, not yet taken
    std::atomic<T*> retired_{nullptr}; // let go by the audio thread, to be freed
    T* current_ = nullptr;             // in use by the audio thread
};
