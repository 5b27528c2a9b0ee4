// SPDX-License-Identifier: GPL-3.0-or-later
// Texts that one thread replaces while others read them. Each access holds
// the lock only for the copy.
#pragma once

#include <array>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

namespace platform {

class SharedText {
public:
    // Returns true when the stored text changed.
    bool set(std::string_view text) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (text_ == text) return false;
        text_.assign(text);
        return true;
    }
    std::string get() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return text_;
    }

private:
    mutable std::mutex mutex_;
    std::string text_;
};

// A fixed group of texts replaced together under one lock.
template <std::size_t N>
class SharedTexts {
public:
    void setAll(const std::array<std::string, N>& texts) {
        std::lock_guard<std::mutex> lock(mutex_);
        texts_ = texts;
    }
    void clearAll() {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& t : texts_) t.clear();
    }
    std::string get(std::size_t k) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return k < N ? texts_[k] : std::string();
    }
    std::array<std::string, N> getAll() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return texts_;
    }
    static constexpr std::size_t size() { return N; }

private:
    mutable std::mutex mutex_;
    std::array<std::string, N> texts_{};
};

}  // namespace platform
