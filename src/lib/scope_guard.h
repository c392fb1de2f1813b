// Clean-ups bound to a scope, for state that must be put back or storage that must be given
// back however the scope is left:
// - ScopeExit runs its clean-up whenever the scope ends;
// - ScopeFail runs it only when an exception leaves the scope (a half-built object giving its
//   block back), and stays quiet on a normal end;
// - ScopeGuard runs it when the scope ends unless it was dismissed first: the form for paths that
//   run per node or per argument, where ScopeFail's two questions to the exception machinery
//   cost more than the work they guard;
// - ScopedInstall puts a process-wide hook in place and the previous one back;
// - CleanupStack collects the clean-ups of a start-up step by step and runs them in reverse
//   order when it goes, so that a start-up that fails half-way takes down only what it started.
#pragma once

#include <exception>
#include <functional>
#include <utility>
#include <vector>

template <class Fn>
class ScopeExit {
public:
    explicit ScopeExit(Fn fn) : fn_(std::move(fn)) {}
    ~ScopeExit() { fn_(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    Fn fn_;
};

template <class Fn>
class ScopeFail {
public:
    explicit ScopeFail(Fn fn) : fn_(std::move(fn)) {}
    ~ScopeFail() {
        if (std::uncaught_exceptions() > uncaught_) fn_();
    }
    ScopeFail(const ScopeFail&) = delete;
    ScopeFail& operator=(const ScopeFail&) = delete;

private:
    Fn fn_;
    int uncaught_ = std::uncaught_exceptions();
};

template <class Fn>
class ScopeGuard {
public:
    explicit ScopeGuard(Fn fn) : fn_(std::move(fn)) {}
    ~ScopeGuard() {
        if (armed_) fn_();
    }
    ScopeGuard(const ScopeGuard&) = delete;
    ScopeGuard& operator=(const ScopeGuard&) = delete;

    // The guarded work succeeded: nothing to undo.
    void Dismiss() { armed_ = false; }

private:
    Fn fn_;
    bool armed_ = true;
};

// Installs a process-wide hook (a clock, a report sink) for the life of a scope and puts the
// previous one back after: `Set` installs its argument and returns the hook it replaced.
template <class T, T* (*Set)(T*)>
class ScopedInstall {
public:
    explicit ScopedInstall(T* hook) : previous_(Set(hook)) {}
    ~ScopedInstall() { Set(previous_); }
    ScopedInstall(const ScopedInstall&) = delete;
    ScopedInstall& operator=(const ScopedInstall&) = delete;

private:
    T* previous_;
};

class CleanupStack {
public:
    CleanupStack() = default;
    ~CleanupStack() {
        while (!cleanups_.empty()) {
            std::function<void()> cleanup = std::move(cleanups_.back());
            cleanups_.pop_back();
            cleanup();
        }
    }
    CleanupStack(const CleanupStack&) = delete;
    CleanupStack& operator=(const CleanupStack&) = delete;

    void Push(std::function<void()> cleanup) { cleanups_.push_back(std::move(cleanup)); }

private:
    std::vector<std::function<void()>> cleanups_;
};
