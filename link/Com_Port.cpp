// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/Com_Port.h"

#include <algorithm>

#include "link/StatusTexts.h"
#include "platform/Cp1251.h"

namespace klink {
namespace {

// Thrown at an exchange boundary when the program ends; caught by the thread.
struct Terminated {};
// Thrown when a recorded drive has run out; caught by the loop turn.
struct LineEnded {};

}  // namespace

Com_Port::Com_Port(platform::SerialLine& line, LinkData& data, LinkHooks* hooks, LinkObserver* observer)
    : line_(line), data_(data), hooks_(hooks), observer_(observer), thread_([this] { threadBody(); }) {
    for (std::size_t i = 0; i < kAdjustCount; ++i) {
        data_.command.adjust[i].adjustFrame.setHeader({0x84, kEcuAddress, kTesterAddress, 0x30, kAdjustLids[i], 0x07});
    }
}

Com_Port::~Com_Port() { shutdown(); }

void Com_Port::start() {
    stoppedItself_ = false;
    thread_.resume();
}

void Com_Port::pause() { thread_.pause(); }

void Com_Port::shutdown() {
    thread_.terminate();
    line_.interrupt();
    thread_.join();
    line_.close();
    portOpen_ = false;
    linkUp_ = false;
}

void Com_Port::threadBody() {
    try {
        while (thread_.checkpoint()) loopTurn();
    } catch (const Terminated&) {
    }
}

void Com_Port::boundary() {
    if (thread_.onWorker() && !thread_.checkpoint()) throw Terminated{};
}

void Com_Port::loopTurn() {
    if (reopen_.exchange(false) && portOpen_) {
        line_.close();
        portOpen_ = false;
        linkUp_ = false;
    }
    try {
        if (!portOpen_) {
            openPort();
            // After a failed opening the next start opens the port anew before
            // anything is sent.
            if (!portOpen_) return;
        }
        if (!linkUp_) {
            connectionAttempt();
        } else {
            pollPass();
        }
    } catch (const LineEnded&) {
        endOfLine();
    }
}

void Com_Port::endOfLine() {
    // A replayed drive is over: the link stops as at a failure stop, but the
    // status text stays what the drive last showed.
    stopItself();
}

void Com_Port::stopItself() {
    linkUp_ = false;
    portOpen_ = false;
    stoppedItself_ = true;
    // "Старт" must show enabled before the link pauses, so that the sampler's
    // next tick sees the stop and the user can start again.
    const bool go_on = thread_.suspendSelf([this] {
        data_.startEnabled.store(1, std::memory_order_release);
        if (observer_) observer_->linkStopped();
    });
    if (!go_on) throw Terminated{};
}

void Com_Port::writeStatus(const std::string& text) {
    data_.statusText.set(text);
    if (observer_) observer_->statusWritten(text);
}

std::size_t Com_Port::exchange(const RequestFrame& f, std::uint8_t* reply, bool atBoundary) {
    return exchangeBytes(f.data(), f.length, reply, f.readMax, atBoundary);
}

std::size_t Com_Port::exchangeBytes(const std::uint8_t* frame, std::size_t length, std::uint8_t* reply,
                                    std::size_t readMax, bool atBoundary) {
    if (atBoundary) boundary();
    line_.write(frame, length);
    readMax = std::min(readMax, staging_.size());
    std::size_t n = line_.read(staging_.data(), readMax);
    if (line_.ended()) throw LineEnded{};
    // The adapter echoes every byte sent. A reply that does not begin with
    // the request is no answer to it: an adapter that does not echo shifts
    // every position and would give plausible garbage.
    lastUnechoed_ = n > 0 && (n < length || !std::equal(frame, frame + length, staging_.data()));
    if (!lastUnechoed_ && length > 3) n = finalAnswer(frame[3], length, readMax, n);
    lastReplyMs_ = line_.clockMs();
    line_.purgeReceive();
    // A request the ECU left unanswered may still be answered, late: behind
    // the echo of a later request. Where that is the same request, its
    // answer and the late one look alike, so the next one is no answer.
    const std::string asked(frame, frame + length);
    const auto owed = owed_.find(asked);
    lastOwed_ = owed != owed_.end() && lastReplyMs_ <= owed->second;
    if (owed != owed_.end()) owed_.erase(owed);
    if (!lastUnechoed_ && n == length) owed_[asked] = lastReplyMs_ + kFinalAnswerWait.count();
    if (lastUnechoed_) {
        // An adapter that echoes nothing, not one whose echo came behind a
        // late answer's bytes.
        if (std::search(staging_.begin(), staging_.begin() + static_cast<std::ptrdiff_t>(n), frame, frame + length) ==
            staging_.begin() + static_cast<std::ptrdiff_t>(n))
            unechoedSeen_ = true;
        return 0;
    }
    std::copy(staging_.begin(), staging_.begin() + static_cast<std::ptrdiff_t>(n), reply);
    return n;
}

std::size_t Com_Port::finalAnswer(std::uint8_t service, std::size_t echo, std::size_t readMax, std::size_t n) {
    // An ECU that needs longer to answer says so (7F, the service, 78) and
    // answers within five seconds of each such word (P2* of ISO 14230). Its
    // final answer is waited for and takes the place of the pending ones
    // after the echo; read as the next request's answer it would give that
    // request another pass's bytes. An ECU that only ever says its answer
    // is pending is given up after a minute.
    for (int pending = 0;; ++pending) {
        const std::size_t end = pendingAnswerEnd(staging_.data(), n, echo, service);
        if (end == 0 || pending == kMostPendingAnswers) return n;
        const std::int64_t deadline = line_.clockMs() + kFinalAnswerWait.count();
        std::copy(staging_.begin() + static_cast<std::ptrdiff_t>(end),
                  staging_.begin() + static_cast<std::ptrdiff_t>(n),
                  staging_.begin() + static_cast<std::ptrdiff_t>(echo));
        n -= end - echo;
        while (n == echo && n < readMax) {
            const std::int64_t before = line_.clockMs();
            if (before >= deadline || (thread_.onWorker() && thread_.terminating())) return n;
            const std::size_t got = line_.read(staging_.data() + n, readMax - n);
            if (line_.ended()) throw LineEnded{};
            n += got;
            // A line with nothing more to give (a replay, an adapter that
            // passes whole answers) says so at once, without waiting.
            if (got == 0 && line_.clockMs() - before < platform::ReadTimeouts::kInterval) return n;
        }
    }
}

void Com_Port::openPort() {
    if (!line_.open()) {
        line_.close();
        portOpen_ = false;
        // Opening broken off by the program's end says nothing of the port.
        if (thread_.onWorker() && thread_.terminating()) throw Terminated{};
        // While reconnecting the port's trouble was said when it began.
        if (observer_ && !reconnecting_) observer_->portFailed(line_.name(), line_.failureReason());
        failureStop(status::portOpenFailed());
        return;
    }
    writeStatus(status::connecting());
    portOpen_ = true;
    otherAsked_ = false;
}

void Com_Port::connectionAttempt() {
    // What a lost connection left unsent goes no more: sent whenever the ECU
    // answers again, with the window that asked it perhaps closed, an output
    // would switch unasked (the starter would crank). The hand-backs stay.
    data_.command.dropCommands([this](const CommandKey& key) {
        if (observer_) observer_->commandAnswered(key, CommandAnswer::Dropped, -1);
    });
    unechoedSeen_ = false;
    exchange(frames_.stopCommunication, stopReply_.data());
    boundary();
    line_.wakeUp();
    line_.purgeReceive();
    // A woken ECU begins afresh: nothing it owed before the wake-up comes.
    owed_.clear();
    // StartCommunication must follow the wake-up at once: no pause point here.
    const std::size_t n = exchange(frames_.startCommunication, startReply_.data(), false);
    const bool lastIsC3 = n >= 1 && startReply_[n - 1] == 0xC3;
    const bool keyIs8F = n >= 2 && startReply_[n - 2] == 0x8F;

    // Nothing echoed at all: the port may have another kind of adapter on
    // it than the one chosen. Asked once for each opening of the port; the
    // user is told at once rather than after ten failed attempts.
    if (!lastIsC3 && (n == 0 || lastUnechoed_) && !otherAsked_) {
        otherAsked_ = true;
        const std::string other = line_.otherAdapter();
        if (!other.empty()) {
            if (observer_ && !reconnecting_) observer_->portFailed(line_.name(), other);
            failureStop(status::adapterMissing());
            return;
        }
    }
    FailKind kind = FailKind::None;
    if (unechoedSeen_ && !echoNoted_) {
        echoNoted_ = true;
        if (observer_) {
            observer_->adapterNote(
                "the adapter does not echo what is sent; a K-line adapter must "
                "(replies without the echo are ignored)");
        }
    }
    unechoedSeen_ = false;
    if (!lastIsC3) {
        writeStatus(status::checkAdapter());
        ++failCount_;
        linkUp_ = false;
        kind = FailKind::CheckAdapter;
    } else if (!keyIs8F) {
        exchange(frames_.stopCommunication, stopReply_.data());
        ++failCount_;
        writeStatus(status::noAnswer());
        data_.identText.clearAll();
        kind = FailKind::NoAnswer;
    } else {
        readIdentification();
        failCount_ = 0;
        linkUp_ = true;
        if (reconnecting_.exchange(false)) {
            data_.reconnections.fetch_add(1, std::memory_order_acq_rel);
            if (observer_) observer_->adapterNote("connected again");
        }
    }
    // While reconnecting every failed attempt gives up at once: the next one
    // comes after a calm pause, not at the pace of the set-up.
    if (failCount_ >= 10 || (reconnecting_ && kind != FailKind::None)) {
        failureStop(kind == FailKind::NoAnswer ? status::ecuNotAnswering() : status::adapterMissing());
    }
}

std::string Com_Port::gapOf(const RequestFrame& f, const std::uint8_t* reply, std::size_t n,
                            const AnswerRule& rule) const {
    if (lastUnechoed_) return "the reply did not begin with the request's echo";
    std::string why = answerGap(rule, reply, n, f.length);
    if (why.empty() && lastOwed_) why = "the same request went unanswered before: this may be its late answer";
    return why;
}

std::string Com_Port::checkedExchange(const RequestFrame& f, std::uint8_t* reply, std::size_t size,
                                      const AnswerRule& rule) {
    std::fill(reply, reply + size, std::uint8_t{0});
    const std::size_t n = exchange(f, reply);
    std::string gap = gapOf(f, reply, n, rule);
    if (!gap.empty()) std::fill(reply, reply + size, std::uint8_t{0});
    return gap;
}

void Com_Port::readIdentification() {
    // Each reply read afresh: a reply that does not come whole leaves zeros,
    // never the last connection's bytes, and is said.
    identGaps_[0] = checkedExchange(frames_.identA1, identA1Reply_.data(), identA1Reply_.size(), kIdentA1Answer);
    identGaps_[1] = checkedExchange(frames_.identA2, identA2Reply_.data(), identA2Reply_.size(), kIdentA2Answer);
    identGaps_[2] = checkedExchange(frames_.identA3, identA3Reply_.data(), identA3Reply_.size(), kIdentA3Answer);
    identGaps_[3] = checkedExchange(frames_.ecuIdentification, ecuIdReply_.data(), ecuIdReply_.size(), kEcuIdAnswer);
    // A read cut short by the program's end is no read: nothing of it is
    // said or shown as the car's.
    if (thread_.onWorker() && thread_.terminating()) throw Terminated{};
    data_.identText.clearAll();
    if (hooks_) {
        const IdentificationReplies r{{identA1Reply_.data(), identA1Reply_.size()},
                                      {identA2Reply_.data(), identA2Reply_.size()},
                                      {identA3Reply_.data(), identA3Reply_.size()},
                                      {ecuIdReply_.data(), ecuIdReply_.size()}};
        const std::array<std::string, kIdentTextCount> ident = hooks_->buildIdentification(r);
        data_.identText.setAll(ident);
        const bool whole = std::all_of(identGaps_.begin(), identGaps_.end(), [](const auto& g) { return g.empty(); });
        // After a reconnection the car at the other end may be another one.
        const auto shown = [](const std::string& t) { return cp1251::toUtf8(shownText(t)); };
        if (reconnecting_ && observer_ && !lastIdent_[0].empty()) {
            if (!whole) {
                observer_->adapterNote(
                    "the identification could not be read after the reconnection: it may be another ECU (before: " +
                    shown(lastIdent_[0]) + " " + shown(lastIdent_[1]) + ")");
            } else if (ident != lastIdent_) {
                observer_->adapterNote("another ECU answers after the reconnection: " + shown(ident[0]) + " " +
                                       shown(ident[1]) + " (before: " + shown(lastIdent_[0]) + " " +
                                       shown(lastIdent_[1]) + ")");
            }
        }
        if (whole) lastIdent_ = ident;
    }
    if (observer_) observer_->identificationRead();
}

void Com_Port::failureStop(const std::string& text) {
    line_.close();
    writeStatus(text);
    failCount_ = 0;
    if (reconnect_) {
        awaitReconnection();
        return;
    }
    stopItself();
}

void Com_Port::awaitReconnection() {
    portOpen_ = false;
    linkUp_ = false;
    if (!reconnecting_.exchange(true) && observer_) observer_->adapterNote(kReconnectingNote);
    // Waited in short steps on the line's clock, each an exchange boundary:
    // "Стоп" parks the link there and the program's end leaves at once.
    constexpr std::chrono::milliseconds kStep{100};
    const std::chrono::milliseconds pause{reconnectPauseMs_.load()};
    std::chrono::milliseconds rested{0};
    bool goneSaid = false;
    for (;;) {
        boundary();
        const bool present = line_.devicePresent();
        if (present && rested >= pause) return;
        if (!present && !goneSaid && observer_) {
            goneSaid = true;
            observer_->adapterNote("the port is gone; waiting for it to come back");
        }
        line_.rest(kStep);
        rested += kStep;
    }
}

void Com_Port::pollPass() {
    LinkCommandBlock& cmd = data_.command;
    liveData01Reply_[kLiveData01FormatByte] = 0;
    // A pass measures only when both answers arrive whole in it, to the very
    // requests and covering every position the decoding reads: the reply
    // buffers keep older bytes wherever a new answer fell short.
    const auto gap = [this](const RequestFrame& f, const std::uint8_t* reply, std::size_t n, const AnswerRule& rule) {
        const std::string why = gapOf(f, reply, n, rule);
        return why.empty() ? why : std::string(rule.request) + ": " + why;
    };
    std::size_t n = exchange(frames_.liveData01, liveData01Reply_.data());
    passGap_ = gap(frames_.liveData01, liveData01Reply_.data(), n, kLiveData01Answer);
    n = exchange(frames_.liveData03, liveData03Reply_.data());
    passTimeMs_ = lastReplyMs_.load();
    if (passGap_.empty()) passGap_ = gap(frames_.liveData03, liveData03Reply_.data(), n, kLiveData03Answer);
    if (isSet(cmd.dtcReadRequest)) {
        std::size_t n = exchange(frames_.dtcRead, dtcStaging_.data());
        // A read cut short by the program's end is no read.
        if (thread_.onWorker() && thread_.terminating()) throw Terminated{};
        ++dtcRead_.reads;
        dtcRead_.lastGap = gapOf(frames_.dtcRead, dtcStaging_.data(), n, kDtcAnswer);
        // Only a whole answer is a reading of the codes: a refusal or a
        // broken answer read at the codes' positions shows codes the ECU
        // never sent. The window keeps the reading before it.
        if (dtcRead_.lastGap.empty()) {
            n = asShortForm(dtcStaging_.data(), n, frames_.dtcRead.length);
            cmd.dtcReply.storeReceived(dtcStaging_.data(), n);
            dtcRead_.answered = true;
            std::copy(dtcStaging_.begin(), dtcStaging_.begin() + static_cast<std::ptrdiff_t>(n),
                      dtcRead_.bytes.begin());
            std::fill(dtcRead_.bytes.begin() + static_cast<std::ptrdiff_t>(n), dtcRead_.bytes.end(), std::uint8_t{0});
        }
    }
    // Each command is taken before its frame goes: one asked again meanwhile
    // (an adjustment stepped again) goes in the next pass. One that did not
    // reach the line is not sent again: an output switched later, unasked,
    // makes up for nothing.
    if (take(cmd.dtcClearRequest)) {
        command(frames_.dtcClear.data(), frames_.dtcClear.length, dtcClearReply_.data(), {0x14, 0x00, 0x00});
        cmd.dtcReply.clearGone(lastAnswer_ == CommandAnswer::Done);
    }
    if (isSet(cmd.controlActive)) serveControls();
    // A pass cut short by the program's end (its reads interrupted) is no pass.
    if (thread_.onWorker() && thread_.terminating()) throw Terminated{};
    if (hooks_) {
        hooks_->decodePass({liveData01Reply_.data(), liveData01Reply_.size()},
                           {liveData03Reply_.data(), liveData03Reply_.size()}, passGap_.empty());
    }
    if (liveData01Reply_[kLiveData01FormatByte] != 0) {
        writeStatus(status::dataReceived());
    } else {
        linkUp_ = false;
    }
    data_.sampleReady.store(1, std::memory_order_release);
    data_.dataValid.store(1, std::memory_order_release);
    const std::uint64_t pass = ++passCount_;
    if (observer_) observer_->passCompleted(pass);
}

void Com_Port::serveControls() {
    for (std::size_t i = 0; i < kActuatorCount; ++i) {
        if (actuatorHasOff(kActuatorLids[i])) {
            serveOnOff(i);
        } else {
            serveOnOnly(i);
        }
    }
    for (std::size_t i = 0; i < kAdjustCount; ++i) serveAdjust(i);
    LinkCommandBlock& cmd = data_.command;
    if (take(cmd.ecuResetRequest))
        command(frames_.ecuReset.data(), frames_.ecuReset.length, resetReply_.data(), {0x11, 0x01, 0x00});
    if (take(cmd.ecuInitRequest))
        command(frames_.ecuInit.data(), frames_.ecuInit.length, initReply_.data(), {0x11, 0x90, 0x00});
}

void Com_Port::serveOnOff(std::size_t i) {
    ActuatorCommand& a = data_.command.actuator[i];
    const RequestCatalogue::Control& f = frames_.actuator[i];
    ControlReplies& r = actuatorReplies_[i];
    const std::uint8_t lid = kActuatorLids[i];
    if (take(a.onRequest)) command(f.on.data(), f.on.length, r.on.data(), {0x30, lid, 0x06, 0xFF});
    if (take(a.offRequest)) command(f.off.data(), f.off.length, r.off.data(), {0x30, lid, 0x06, 0x00});
    if (isSet(a.reportRequest)) {
        // The state shown is the one the ECU just reported; a report that
        // did not come whole leaves the text as it was.
        const std::size_t n = exchange(f.report, r.report.data());
        if (gapOf(f.report, r.report.data(), n, controlAnswerRule(lid, kControlReportState)).empty())
            a.stateText.set(r.report[kControlReportState] == 0xFF ? status::stateOn() : status::stateOff());
    }
    if (isSet(a.releaseRequest) && released(f.release, r.release.data(), lid, releaseTries_[i])) {
        clearFlag(a.releaseRequest);
        clearFlag(a.reportRequest);
    }
}

void Com_Port::serveOnOnly(std::size_t i) {
    ActuatorCommand& a = data_.command.actuator[i];
    const RequestCatalogue::Control& f = frames_.actuator[i];
    ControlReplies& r = actuatorReplies_[i];
    const std::uint8_t lid = kActuatorLids[i];
    if (take(a.onRequest)) {
        const std::size_t n = command(f.on.data(), f.on.length, r.on.data(), {0x30, lid, 0x06, 0xFF});
        if (gapOf(f.on, r.on.data(), n, controlAnswerRule(lid, kControlOnState)).empty() &&
            r.on[kControlOnState] == 0xFF)
            a.stateText.set(status::stateOn());
    }
    if (isSet(a.reportRequest)) {
        const std::size_t n = exchange(f.report, r.report.data());
        // A whole refusal asks to stop the engine; a whole report gives the
        // state; anything else leaves the text.
        const std::string* text = nullptr;
        if (!lastUnechoed_ && negativeAnswerCode(r.report.data(), n, f.report.length, 0x30) == 0x22)
            text = &status::stopEngine();
        if (gapOf(f.report, r.report.data(), n, controlAnswerRule(lid, kControlReportState)).empty()) {
            if (r.report[kControlReportState] == 0x00) text = &status::stateOff();
            if (r.report[kControlReportState] == 0xFF) text = &status::stateOn();
        }
        if (text) a.stateText.set(*text);
    }
    if (isSet(a.releaseRequest) && released(f.release, r.release.data(), lid, releaseTries_[i])) {
        clearFlag(a.releaseRequest);
        clearFlag(a.reportRequest);
    }
}

void Com_Port::serveAdjust(std::size_t i) {
    AdjustCommand& a = data_.command.adjust[i];
    const RequestCatalogue::Control& f = frames_.adjust[i];
    ControlReplies& r = adjustReplies_[i];
    if (take(a.adjustRequest)) {
        const auto frame = a.adjustFrame.copy();
        command(frame.data(), frame.size(), a.reply.data(), {0x30, frame[4], 0x07, frame[6]});
    }
    if (isSet(a.reportRequest)) exchange(f.report, r.report.data());
    if (isSet(a.releaseRequest) &&
        released(f.release, r.release.data(), kAdjustLids[i], releaseTries_[kActuatorCount + i])) {
        clearFlag(a.releaseRequest);
        clearFlag(a.reportRequest);
    }
}

std::size_t Com_Port::command(const std::uint8_t* frame, std::size_t length, std::uint8_t* reply, const CommandKey& key,
                              bool tell) {
    const std::size_t n = exchangeBytes(frame, length, reply, kCommandReplySize, true);
    // Cut short by the program's end: nobody can say what the ECU did.
    if (thread_.onWorker() && thread_.terminating()) throw Terminated{};
    // A positive answer repeats the service (+ 0x40) and, but for a clear,
    // what followed it.
    const AnswerRule rule{"", key.service, key.service == 0x14 ? -1 : key.parameter, 3,
                          length + 3 + (key.service == 0x14 ? 0 : 1)};
    lastAnswer_ = CommandAnswer::Done;
    lastCode_ = -1;
    lastUnheard_ = n == 0 && !lastUnechoed_;
    if (lastUnheard_) {
        lastAnswer_ = CommandAnswer::Unheard;
    } else if (lastUnechoed_ || !answerGap(rule, reply, n, length).empty()) {
        lastCode_ = lastUnechoed_ ? -1 : negativeAnswerCode(reply, n, length, key.service);
        lastAnswer_ = lastCode_ >= 0 ? CommandAnswer::Refused
                      : n <= length  ? CommandAnswer::Silent
                                     : CommandAnswer::Garbled;
    }
    if (tell && observer_) observer_->commandAnswered(key, lastAnswer_, lastCode_);
    return n;
}

bool Com_Port::released(const RequestFrame& f, std::uint8_t* reply, std::uint8_t lid, int& tries) {
    // An output the ECU did not take back (busy, no answer) is asked again
    // at the next passes: left to the tester, an injector or the pump stays
    // as the test set it. At most kReleaseTries in all; the last answer is
    // the one told.
    const CommandKey key{0x30, lid, 0x00};
    command(f.data(), f.length, reply, key, false);
    if (lastUnheard_) return false;  // not on the line: no try spent, asked again next pass
    if (lastAnswer_ != CommandAnswer::Done && ++tries < kReleaseTries) return false;
    tries = 0;
    if (observer_) observer_->commandAnswered(key, lastAnswer_, lastCode_);
    return true;
}

}  // namespace klink
