// SPDX-License-Identifier: GPL-3.0-or-later
#include "lines/PortLine.h"

#include "link/Elm327Line.h"
#include "platform/TcpLine.h"
#ifdef _WIN32
#include "platform/Win32SerialLine.h"
#else
#include "platform/PosixSerialLine.h"
#endif

namespace lines {

std::unique_ptr<platform::SerialLine> PortLine::systemPort(const std::string& device) {
    if (platform::isTcpName(device)) return std::make_unique<platform::TcpLine>(device);
#ifdef _WIN32
    return std::make_unique<platform::Win32SerialLine>(device);
#else
    return std::make_unique<platform::PosixSerialLine>(device);
#endif
}

PortLine::PortLine(std::string device, platform::AdapterKind kind, unsigned elmRate, PortMaker makePort)
    : makePort_(std::move(makePort)), device_(std::move(device)), kind_(kind), elmRate_(elmRate) {}

PortLine::~PortLine() { close(); }

bool PortLine::open() {
    close();
    {
        // The lines are made under the lock; the opening itself (an adapter's
        // set-up takes seconds) runs without it, so that the name, the reason
        // and the program's end never wait for it.
        std::lock_guard<std::mutex> lock(mutex_);
        reason_.clear();
        const platform::AdapterKind kind = kind_.load();
        if (kind == platform::AdapterKind::KLine && platform::isTcpName(device_)) {
            reason_ = "a K-line adapter is not reached over the network: choose ELM327 for a Wi-Fi adapter";
            return false;
        }
        // A port of another name is made anew; the same one is kept.
        if (!port_ || portDevice_ != device_) {
            elm_.reset();
            port_ = makePort_(device_);
            portDevice_ = device_;
            if (sink_) port_->setNoteSink(sink_);
            if (interrupted_) port_->interrupt();
        }
        elm_.reset();
        port_->setWakeMethod(wake_.load());
        port_->setPortRate(platform::kLinkBaud);
        if (kind == platform::AdapterKind::Elm327) {
            elm_ = std::make_unique<klink::Elm327Line>(*port_, elmRate_.load());
            if (sink_) elm_->setNoteSink(sink_);
            if (interrupted_) elm_->interrupt();
        }
    }
    if (active()->open()) return true;
    const std::string why = active()->failureReason();
    std::lock_guard<std::mutex> lock(mutex_);
    reason_ = why;
    return false;
}

void PortLine::close() {
    if (platform::SerialLine* line = active()) line->close();
}

bool PortLine::isOpen() const { return active() && active()->isOpen(); }

void PortLine::write(const std::uint8_t* data, std::size_t size) {
    if (platform::SerialLine* line = active()) line->write(data, size);
}

std::size_t PortLine::read(std::uint8_t* buffer, std::size_t max) {
    platform::SerialLine* line = active();
    return line ? line->read(buffer, max) : 0;
}

void PortLine::purgeReceive() {
    if (platform::SerialLine* line = active()) line->purgeReceive();
}

void PortLine::wakeUp() {
    if (platform::SerialLine* line = active()) line->wakeUp();
}

void PortLine::interrupt() {
    endRests();
    std::lock_guard<std::mutex> lock(mutex_);
    interrupted_ = true;
    if (elm_) elm_->interrupt();
    if (port_) port_->interrupt();
}

bool PortLine::devicePresent() const {
    platform::SerialLine* line = active();
    return line ? line->devicePresent() : true;
}

std::string PortLine::name() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return device_;
}

std::string PortLine::failureReason() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return reason_;
}

std::string PortLine::openedAs() const {
    platform::SerialLine* line = active();
    return line ? line->openedAs() : std::string();
}

std::string PortLine::wokenBy() const {
    platform::SerialLine* line = active();
    return line ? line->wokenBy() : std::string();
}

void PortLine::setDevice(const std::string& device) {
    std::lock_guard<std::mutex> lock(mutex_);
    device_ = device;
}

void PortLine::setNoteSink(std::function<void(const std::string&)> sink) {
    std::lock_guard<std::mutex> lock(mutex_);
    sink_ = sink;
    if (port_) port_->setNoteSink(sink);
    if (elm_) elm_->setNoteSink(sink);
}

std::string PortLine::otherAdapter() {
    if (kind_.load() != platform::AdapterKind::KLine || !port_ || platform::isTcpName(portDevice_)) return {};
    const bool elm = klink::Elm327Line::answersOn(*port_, elmRate_.load());
    port_->setPortRate(platform::kLinkBaud);
    port_->open();
    return elm ? "this looks like an ELM327 adapter: choose ELM327 (--adapter elm327)" : "";
}

}  // namespace lines
