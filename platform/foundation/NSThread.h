#pragma once

// The process's threads as the phone names them.
class NSThread {
public:
    // Whether the caller runs on the process's main thread (the one the process started on).
    static bool isMainThread();
};
