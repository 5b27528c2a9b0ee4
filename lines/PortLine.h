// SPDX-License-Identifier: GPL-3.0-or-later
// The line on the port the user chose, with the adapter the user chose: a
// K-line adapter on a serial port, or an ELM327-type adapter on a serial
// port (a USB or Bluetooth one) or at a network address ("tcp:HOST:PORT",
// a Wi-Fi one). The port, the adapter and its rate may change while the link
// runs; each takes effect at the next opening.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/SerialLine.h"

namespace lines {

class PortLine : public platform::SerialLine {
public:
    using PortMaker = std::function<std::unique_ptr<platform::SerialLine>(const std::string& device)>;
    // This system's serial port, or the network line for "tcp:..." names.
    static std::unique_ptr<platform::SerialLine> systemPort(const std::string& device);

    PortLine(std::string device, platform::AdapterKind kind, unsigned elmRate, PortMaker makePort = systemPort);
    ~PortLine() override;

    bool open() override;
    void close() override;
    bool isOpen() const override;
    void write(const std::uint8_t* data, std::size_t size) override;
    std::size_t read(std::uint8_t* buffer, std::size_t max) override;
    void purgeReceive() override;
    void wakeUp() override;
    void interrupt() override;
    bool devicePresent() const override;
    std::string name() const override;
    std::string failureReason() const override;
    std::string openedAs() const override;
    std::string wokenBy() const override;
    void setDevice(const std::string& device) override;
    void setWakeMethod(platform::WakeMethod method) override { wake_.store(method); }
    void setPortRate(unsigned baud) override { elmRate_.store(baud); }
    void setAdapter(platform::AdapterKind kind) override { kind_.store(kind); }
    void setNoteSink(std::function<void(const std::string&)> sink) override;
    std::string otherAdapter() override;

private:
    platform::SerialLine* active() const { return elm_ ? elm_.get() : port_.get(); }

    PortMaker makePort_;
    mutable std::mutex mutex_;  // guards the device, the reason and the lines' making
    std::string device_;
    std::string reason_;
    std::atomic<platform::AdapterKind> kind_;
    std::atomic<unsigned> elmRate_;
    std::atomic<platform::WakeMethod> wake_{platform::WakeMethod::SlowByte};
    std::atomic<bool> interrupted_{false};
    std::function<void(const std::string&)> sink_;
    // Link thread (made under the lock): the port and, for an ELM327, the line on it.
    std::unique_ptr<platform::SerialLine> port_;
    std::unique_ptr<platform::SerialLine> elm_;
    std::string portDevice_;
};

}  // namespace lines
