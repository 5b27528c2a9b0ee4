// SPDX-License-Identifier: GPL-3.0-or-later
// The link to the ECU: owns the serial line, wakes the ECU, sets up
// communication, runs poll passes back to back and serves the command area.
// It runs on its own thread, created suspended; start() and pause() are what
// "Старт" and "Стоп" do, and it pauses itself when it gives up.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <string>

#include "link/AnswerRules.h"
#include "link/LinkData.h"
#include "link/LinkHooks.h"
#include "link/RequestCatalogue.h"
#include "link/WireLayout.h"
#include "platform/PausableThread.h"
#include "platform/SerialLine.h"

namespace klink {

class Com_Port {
public:
    Com_Port(platform::SerialLine& line, LinkData& data, LinkHooks* hooks = nullptr, LinkObserver* observer = nullptr);
    ~Com_Port();
    Com_Port(const Com_Port&) = delete;
    Com_Port& operator=(const Com_Port&) = delete;

    // "Старт": the thread runs, continuing where it was paused.
    void start();
    // "Стоп": the thread pauses at the next exchange boundary.
    void pause();
    // End of the program: the thread leaves at the next exchange boundary (a
    // read under way is cut short), is joined, and the port is closed.
    // Nothing more is sent.
    void shutdown();

    // Closes the port at the next loop turn, so that the next opening takes
    // the device and wake-up the line was given since. Any thread.
    void reopenPort() { reopen_ = true; }

    // Reconnecting (off by default): where the link would give up (the tenth
    // failed attempt, a port that cannot be opened or has vanished) it shows
    // the same status text, then waits until the port is there and a calm
    // pause has passed, and starts again from the opening; after that it
    // tries once per pause until the ECU answers. "Стоп" and the program's
    // end work at once while it waits. Any thread.
    void setReconnect(bool on) { reconnect_ = on; }
    // What the link notes (and a recording keeps) when it starts to reconnect.
    static constexpr const char* kReconnectingNote = "the link gave up; reconnecting";
    static constexpr std::chrono::milliseconds kReconnectPause{3000};
    void setReconnectPause(std::chrono::milliseconds pause) { reconnectPauseMs_ = pause.count(); }
    // True while the link waits or tries to reconnect.
    bool reconnecting() const { return reconnecting_.load(); }

    // One turn of the main loop on the calling thread. The logger and the
    // tests may drive the link this way without starting the thread.
    void loopTurn();

    bool portOpen() const { return portOpen_.load(); }
    bool linkUp() const { return linkUp_.load(); }
    int failCount() const { return failCount_.load(); }
    std::uint64_t passCount() const { return passCount_.load(); }
    // The line's clock (milliseconds) when the last reply ended.
    std::int64_t lastReplyMs() const { return lastReplyMs_.load(); }
    // When the last pass's own live data ended (its 21 03 reply), whatever
    // else the pass did: the time of the pass's row. Link thread or parked.
    std::int64_t passTimeMs() const { return passTimeMs_; }
    // True once the link has stopped itself (and not been started since).
    bool stoppedItself() const { return stoppedItself_.load(); }
    // Why the last poll pass measured nothing (a live-data request without a
    // whole, echoed answer), or empty when both answers came whole. Read on
    // the link thread (an observer's passCompleted) or while it is parked.
    const std::string& passGap() const { return passGap_; }
    bool threadParked() const { return thread_.isParked(); }

    // The error codes as the last whole, positive answer to 18 gave them
    // (every position past the answer zero), and why the last read brought
    // none; read counts the reads made. Link thread or parked.
    struct DtcRead {
        std::uint64_t reads = 0;
        bool answered = false;  // some read brought a whole answer
        std::array<std::uint8_t, kDtcReplySize> bytes{};
        std::string lastGap;  // empty when the last read was answered
    };
    const DtcRead& dtcRead() const { return dtcRead_; }
    // Why each identification reply of the last set-up is no answer (empty
    // when it is one), in the order 21 A1, 21 A2, 21 A3, 1A 80. Link thread
    // (an observer's identificationRead) or parked.
    static constexpr std::size_t kIdentReplyCount = 4;
    const std::array<std::string, kIdentReplyCount>& identGaps() const { return identGaps_; }

    const RequestCatalogue& catalogue() const { return frames_; }
    // Reply buffers, for the meaning layer's tests and the fuzzers.
    const std::array<std::uint8_t, kLiveData01ReplySize>& liveData01Reply() const { return liveData01Reply_; }
    const std::array<std::uint8_t, kLiveData03ReplySize>& liveData03Reply() const { return liveData03Reply_; }

private:
    enum class FailKind { None, CheckAdapter, NoAnswer };

    void threadBody();
    void boundary();
    std::size_t exchange(const RequestFrame& f, std::uint8_t* reply, bool atBoundary = true);
    // Exchanges f and checks the reply against rule; a reply that is no
    // whole answer is wiped, so that nothing reads stale bytes. The reason,
    // or empty.
    std::string checkedExchange(const RequestFrame& f, std::uint8_t* reply, std::size_t size, const AnswerRule& rule);
    std::string gapOf(const RequestFrame& f, const std::uint8_t* reply, std::size_t n, const AnswerRule& rule) const;
    std::size_t exchangeBytes(const std::uint8_t* frame, std::size_t length, std::uint8_t* reply, std::size_t readMax,
                              bool atBoundary);
    // The reply's n bytes with every "answer pending" after the echo
    // replaced by what followed it, read on until the final answer comes.
    std::size_t finalAnswer(std::uint8_t service, std::size_t echo, std::size_t readMax, std::size_t n);
    void openPort();
    void connectionAttempt();
    void readIdentification();
    void failureStop(const std::string& text);
    // Waits for the port to be there and the calm pause to pass.
    void awaitReconnection();
    void endOfLine();
    // Pauses the link until "Старт", with "Старт" shown enabled first.
    void stopItself();
    void pollPass();
    void serveControls();
    void serveOnOff(std::size_t i);
    void serveOnOnly(std::size_t i);
    void serveAdjust(std::size_t i);
    void writeStatus(const std::string& text);
    // Exchanges a command's frame (into reply) and keeps what the ECU
    // answered to it (lastAnswer_, lastCode_), told to the observer if tell.
    // A frame that got nothing back, not even its echo, did not reach the
    // line (lastUnheard_, told as Unheard).
    std::size_t command(const std::uint8_t* frame, std::size_t length, std::uint8_t* reply, const CommandKey& key,
                        bool tell = true);
    // Hands an output back; true once done or given up (tries: the attempts
    // so far, kept between passes).
    bool released(const RequestFrame& f, std::uint8_t* reply, std::uint8_t lid, int& tries);

    platform::SerialLine& line_;
    LinkData& data_;
    LinkHooks* hooks_;
    LinkObserver* observer_;
    RequestCatalogue frames_;

    std::atomic<bool> portOpen_{false};
    std::atomic<bool> linkUp_{false};
    std::atomic<int> failCount_{0};
    std::atomic<std::uint64_t> passCount_{0};
    std::atomic<bool> stoppedItself_{false};
    std::atomic<bool> reopen_{false};
    std::atomic<std::int64_t> lastReplyMs_{0};
    std::int64_t passTimeMs_ = 0;
    DtcRead dtcRead_;
    std::array<std::string, kIdentReplyCount> identGaps_{};
    std::atomic<bool> reconnect_{false};
    std::atomic<bool> reconnecting_{false};
    std::atomic<std::int64_t> reconnectPauseMs_{kReconnectPause.count()};
    // The identification of the last connection, read whole, to tell another
    // ECU after a reconnection (empty while none was).
    std::array<std::string, kIdentTextCount> lastIdent_{};
    bool unechoedSeen_ = false;  // bytes came back, but not the request's echo
    bool lastUnechoed_ = false;  // the same, for the last exchange alone
    // Requests the ECU left unanswered (echo only), until when their late
    // answer may come; and whether the last exchange was one of them again.
    std::map<std::string, std::int64_t> owed_;
    bool lastOwed_ = false;
    std::string passGap_;
    bool echoNoted_ = false;
    bool otherAsked_ = false;  // link thread: the line was asked about another adapter
    // Every reply is read here first and kept only when it begins with the
    // echo of its request.
    std::array<std::uint8_t, kDtcReplySize> staging_{};

    std::array<std::uint8_t, kCommunicationReplySize> startReply_{};
    std::array<std::uint8_t, kCommunicationReplySize> stopReply_{};
    std::array<std::uint8_t, kIdentA1ReplySize> identA1Reply_{};
    std::array<std::uint8_t, kIdentA2ReplySize> identA2Reply_{};
    std::array<std::uint8_t, kIdentA3ReplySize> identA3Reply_{};
    std::array<std::uint8_t, kEcuIdReplySize> ecuIdReply_{};
    std::array<std::uint8_t, kLiveData01ReplySize> liveData01Reply_{};
    std::array<std::uint8_t, kLiveData03ReplySize> liveData03Reply_{};
    std::array<std::uint8_t, kDtcReplySize> dtcStaging_{};
    std::array<std::uint8_t, kCommandReplySize> dtcClearReply_{};
    std::array<std::uint8_t, kCommandReplySize> resetReply_{};
    std::array<std::uint8_t, kCommandReplySize> initReply_{};
    struct ControlReplies {
        std::array<std::uint8_t, kCommandReplySize> report{}, release{}, on{}, off{};
    };
    std::array<ControlReplies, kActuatorCount> actuatorReplies_{};
    std::array<ControlReplies, kAdjustCount> adjustReplies_{};
    CommandAnswer lastAnswer_ = CommandAnswer::Done;
    int lastCode_ = -1;
    bool lastUnheard_ = false;
    static constexpr int kReleaseTries = 3;
    // The hand-backs' attempts so far: the outputs', then the adjustments'.
    std::array<int, kActuatorCount + kAdjustCount> releaseTries_{};

    platform::PausableThread thread_;  // last: it starts running at construction
};

}  // namespace klink
