// Private JACK servers for tests: a dummy-driver server (48 kHz, 1024-frame blocks) started and stopped by pid.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace jacktest {

using Clock = std::chrono::steady_clock;
constexpr int kRate = 48000;  // sample rate of the servers, Hz
constexpr int kBlock = 1024;  // frames per server cycle

// Process ids of servers still running, so the environment can stop them when a test ends
// without its guard (an exception, a fatal failure in a helper).
inline std::mutex g_serversMutex;
inline std::set<pid_t> g_servers;

// Stops a server: SIGTERM, then SIGKILL when it has not ended within 5 s; reaps it.
inline void stopServer(pid_t pid, int signal = SIGTERM)
{
    kill(pid, signal);
    const auto until = Clock::now() + std::chrono::seconds(5);
    int st = 0;
    while (waitpid(pid, &st, WNOHANG) == 0) {
        if (Clock::now() > until) {
            kill(pid, SIGKILL);
            waitpid(pid, &st, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::lock_guard lock(g_serversMutex);
    g_servers.erase(pid);
}

// Runs a program with the current environment, its output discarded; its exit code (-1 when
// it did not run).
inline int run(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int r = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (r != 0)
        return -1;
    int st = 0;
    waitpid(pid, &st, 0);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

// One private server, made the default for everything in this process and the programs it
// starts (JACK_DEFAULT_SERVER, JACK_NO_START_SERVER); started in the constructor, stopped by
// its process id in the destructor. The server dies with the test program too (parent-death
// signal).
// Names come from a few slots, each held by a lock file while its server lives: the library
// keeps a table of at most eight servers and frees the entry of a server that was killed only
// when a server of the same name starts, so unique names would fill the table for good.
class JackServer {
public:
    JackServer()
    {
        for (int slot = 0; slot < 6 && lock_ < 0; ++slot) {
            const std::string lock = "/tmp/velmora-jack-test-" + std::to_string(slot) + ".lock";
            const int fd = open(lock.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0666);
            if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0) {
                lock_ = fd;
                name_ = "velmora-test-" + std::to_string(slot);
                log_ = "/tmp/velmora-jack-test-" + std::to_string(slot) + ".log";
            } else if (fd >= 0) {
                close(fd);
            }
        }
        if (lock_ < 0)
            return;
        setenv("JACK_NO_START_SERVER", "1", 1);
        setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        start();
        waitReady();
    }
    ~JackServer()
    {
        if (pid_ > 0)
            stopServer(pid_);
        if (lock_ >= 0)
            close(lock_);
    }
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;

    bool ready() const { return ready_; }
    const std::string& name() const { return name_; }
    pid_t pid() const { return pid_; }
    // The last lines the server printed, for a failure message.
    std::string log() const
    {
        if (lock_ < 0)
            return "no free server slot";
        std::ifstream f(log_, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        return text.size() > 2000 ? text.substr(text.size() - 2000) : text;
    }
    // Kills the server the hard way (a crash), as a test of what a client does then.
    void crash()
    {
        if (pid_ > 0)
            stopServer(pid_, SIGKILL);
        pid_ = -1;
    }

private:
    void start()
    {
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent)
                _exit(1);
            const int out = open(log_.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
            if (out >= 0) {
                dup2(out, 1);
                dup2(out, 2);
            }
            execlp("jackd", "jackd", "-n", name_.c_str(), "-r", "-S", "-d", "dummy", "-r", "48000", "-p", "1024",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        if (pid_ > 0) {
            std::lock_guard lock(g_serversMutex);
            g_servers.insert(pid_);
        }
    }
    // Ready when jack_lsp reaches it; generous for a loaded machine. A server that ended (it
    // could not start) is not waited for.
    void waitReady()
    {
        const auto until = Clock::now() + std::chrono::seconds(20);
        while (pid_ > 0 && Clock::now() < until && !ready_) {
            ready_ = run({"jack_lsp"}) == 0;
            if (!ready_ && waitpid(pid_, nullptr, WNOHANG) == pid_) {
                std::lock_guard lock(g_serversMutex);
                g_servers.erase(pid_);
                pid_ = -1;
            }
            if (!ready_)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    std::string name_; // server name (JACK_DEFAULT_SERVER)
    std::string log_;  // file the server's output goes to
    int lock_ = -1;    // descriptor holding the slot's lock file
    pid_t pid_ = -1;   // server process, -1 when none runs
    bool ready_ = false;
};

// Stops whatever server a test left running, so a failing test never leaves one behind.
class ServerEnvironment : public ::testing::Environment {
public:
    void TearDown() override
    {
        std::set<pid_t> left;
        {
            std::lock_guard lock(g_serversMutex);
            left = g_servers;
        }
        for (pid_t pid : left)
            stopServer(pid);
    }
};
inline const auto* const g_serverEnv = ::testing::AddGlobalTestEnvironment(new ServerEnvironment);

} // namespace jacktest
