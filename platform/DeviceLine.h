// SPDX-License-Identifier: GPL-3.0-or-later
// A serial line on a named device: the name may change while the link runs
// (it is taken at the next opening), and why an opening failed is kept for
// the user.
#pragma once

#include <mutex>
#include <string>

#include "platform/SerialLine.h"

namespace platform {

class DeviceLine : public SerialLine {
public:
    explicit DeviceLine(std::string device) : device_(std::move(device)) {}

    std::string name() const override {
        std::lock_guard<std::mutex> lock(mutex_);
        return device_;
    }
    std::string failureReason() const override {
        std::lock_guard<std::mutex> lock(mutex_);
        return failure_;
    }
    void setDevice(const std::string& device) override {
        std::lock_guard<std::mutex> lock(mutex_);
        device_ = device;
    }

protected:
    // Keeps the reason of a failed opening; returns false for the caller to pass on.
    bool failed(const std::string& reason) {
        std::lock_guard<std::mutex> lock(mutex_);
        failure_ = reason;
        return false;
    }
    // The opening succeeded: no reason left.
    bool opened() {
        std::lock_guard<std::mutex> lock(mutex_);
        failure_.clear();
        return true;
    }

private:
    mutable std::mutex mutex_;
    std::string device_;
    std::string failure_;
};

}  // namespace platform
