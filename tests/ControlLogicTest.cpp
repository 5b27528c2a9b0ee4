// SPDX-License-Identifier: GPL-3.0-or-later
// What the control and error-codes windows do, without a window: each
// control choice reports one output and releases the one before, steps
// start from the ECU's value and stay in their range, the destructive
// entries only ask for a confirmation, and closing hands the output back.
#include <gtest/gtest.h>

#include "logic/ControlWindow.h"
#include "logic/ErrorCodesWindow.h"
#include "platform/Cp1251.h"
#include "tests/TestSupport.h"

using logic::ControlWindow;

namespace {

struct Rig {
    klink::LinkCommandBlock command;
    ecu::LiveDataStore live;
    ControlWindow window{command, live};
    // The report flags that stand, by entry.
    std::vector<int> reporting() {
        std::vector<int> out;
        for (int k = 0; k < 12; ++k)
            if (command.actuator[static_cast<std::size_t>(k)].reportRequest.load()) out.push_back(k);
        for (int k = 0; k < 3; ++k)
            if (command.adjust[static_cast<std::size_t>(k)].reportRequest.load()) out.push_back(12 + k);
        return out;
    }
};

}  // namespace

TEST(ControlLogic, AChoiceReportsOnlyItsOutputReleasesTheOneBeforeAndSwitchesNothing) {
    Rig r;
    ControlWindow::Choice c = r.window.choose(10);  // "Реле стартера"
    EXPECT_EQ(c.confirm, ControlWindow::Confirm::None);
    EXPECT_EQ(r.reporting(), std::vector<int>{10});
    EXPECT_EQ(r.command.actuator[10].onRequest.load(), 0);  // chosen, not switched
    r.window.left(10);
    EXPECT_EQ(r.command.actuator[10].onRequest.load(), 1);
    c = r.window.choose(12);  // "Регулятор ХХ"
    EXPECT_STREQ(c.captions.left, "+1 шаг");
    EXPECT_EQ(r.command.actuator[10].releaseRequest.load(), 1);
    EXPECT_EQ(r.reporting(), std::vector<int>{12});
    r.window.closing(12);
    EXPECT_EQ(r.command.adjust[0].releaseRequest.load(), 1);
}

TEST(ControlLogic, StepsStartFromTheEcusValueAndStayInTheirRange) {
    Rig r;
    r.live.write([](ecu::LiveData& d) {
        d.analogue[54].raw[0] = 255;  // MOMPOS at its top
        return 0;
    });
    r.window.choose(12);
    r.window.left(12);  // already at 255: stays
    EXPECT_EQ(r.command.adjust[0].adjustValue.load(), 255);
    r.window.right(12);
    EXPECT_EQ(r.command.adjust[0].adjustValue.load(), 254);
    const auto frame = r.command.adjust[0].adjustFrame.copy();
    EXPECT_EQ(frame[6], 254);
    EXPECT_EQ(frame[7], klink::frameChecksum(frame.data(), 7));
    r.window.choose(14);  // the purge valve starts at 0 and goes down no further
    r.window.right(14);
    EXPECT_EQ(r.command.adjust[2].adjustValue.load(), 0);
    for (int i = 0; i < 105; ++i) r.window.left(14);
    EXPECT_EQ(r.command.adjust[2].adjustValue.load(), 100);
    EXPECT_EQ(cp1251::toUtf8(r.window.statusText(14)), "100 %");
    r.window.choose(13);  // idle speed, shown in rpm
    r.window.left(13);
    EXPECT_EQ(cp1251::toUtf8(r.window.statusText(13)), "10   Об.");
}

TEST(ControlLogic, TheResetsAskForAConfirmationAndYesPostsOnce) {
    Rig r;
    r.window.choose(7);
    const ControlWindow::Choice c = r.window.choose(ControlWindow::kResetEntry);
    EXPECT_EQ(c.confirm, ControlWindow::Confirm::Reset);
    EXPECT_EQ(c.shown, 0);
    EXPECT_EQ(r.command.actuator[7].releaseRequest.load(), 1);
    EXPECT_TRUE(r.reporting().empty());  // nothing reports while the question stands
    EXPECT_EQ(r.command.ecuResetRequest.load(), 0);
    EXPECT_EQ(r.window.choose(ControlWindow::kInitEntry).confirm, ControlWindow::Confirm::Init);

    logic::Confirmation no(r.command, false);
    no.no();
    no.yes();  // answered already
    EXPECT_EQ(r.command.ecuResetRequest.load(), 0);
    logic::Confirmation yes(r.command, true);
    yes.yes();
    yes.yes();
    EXPECT_EQ(r.command.ecuInitRequest.load(), 1);
    EXPECT_EQ(r.reporting(), std::vector<int>{0});  // the list stands on "Форсунка 1"
}

// The error-codes window without a window: rows from one reply, a clear
// that goes out once and only where something can answer it, and the reads
// ended by closing.
TEST(ErrorCodesLogic, RowsComeFromTheReplyAndTheClearGoesOutOnlyWhereAllowed) {
    klink::LinkCommandBlock command;
    const auto reply = testsupport::twoCodesReply();  // P0130 with the lamp on, and FEDC
    command.dtcReply.storeReceived(reply.data(), reply.size());
    logic::ErrorCodesWindow window(command);
    const auto rows = window.refresh();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].code, "P  0130");
    ASSERT_NE(rows[0].text, nullptr);
    EXPECT_EQ(rows[1].code, "P  FEDC");
    EXPECT_EQ(rows[1].text, nullptr);

    window.setClearAllowed(false);  // a replay
    EXPECT_FALSE(window.clear());
    EXPECT_EQ(command.dtcClearRequest.load(), 0);
    EXPECT_EQ(window.refresh().size(), 2u);
    window.setClearAllowed(true);
    EXPECT_TRUE(window.clear());
    EXPECT_EQ(command.dtcClearRequest.load(), 1);
    EXPECT_TRUE(window.refresh().empty());

    klink::post(command.dtcReadRequest);
    window.closing();
    EXPECT_EQ(command.dtcReadRequest.load(), 0);
}

// Both windows as a face drives them, by their controls' identifiers.
// What the user did to the car is told, for the drive's report: a step, a
// reset confirmed, the codes cleared with the codes they were.
TEST(WindowLogic, TheControlWindowsConfirmationStandsInAndTheCodesClearDownToTheFirstRow) {
    namespace ui = logic::ui;
    Rig r;
    std::vector<std::string> done;
    std::vector<std::string> kinds;
    const auto note = [&done, &kinds](const std::string& kind, const std::string& what) {
        kinds.push_back(kind);
        done.push_back(what);
    };
    r.window.noteAction = note;
    r.window.chosen(ui::kControlList, 12);  // "Регулятор ХХ"
    EXPECT_EQ(r.window.shown(ui::kControlLeft).text, "+1 шаг");
    r.window.tick();
    EXPECT_EQ(r.window.shown(ui::kControlStatus).text, "0  Шаг");
    r.window.pressed(ui::kControlLeft, true);
    EXPECT_EQ(r.window.takeStandIn(), nullptr);
    r.window.chosen(ui::kControlList, ControlWindow::kResetEntry);
    EXPECT_EQ(r.window.shown(ui::kControlList).value, 0);
    std::unique_ptr<ui::WindowLogic> confirmation = r.window.takeStandIn();
    ASSERT_NE(confirmation, nullptr);
    EXPECT_EQ(&confirmation->description(), &ui::resetConfirmation());
    EXPECT_TRUE(confirmation->key(ui::key(ui::Key::Right), ui::kNo));
    confirmation->pressed(ui::kYes, true);
    confirmation->pressed(ui::kYes, true);
    EXPECT_TRUE(confirmation->takeClose());
    confirmation->closing();
    EXPECT_EQ(r.command.ecuResetRequest.load(), 1);
    EXPECT_EQ(done, (std::vector<std::string>{"Регулятор ХХ: 1 Шаг", "Регулятор ХХ: управление возвращено ЭБУ",
                                              "сброс ЭБУ"}));
    r.window.standInClosed();
    EXPECT_EQ(r.window.shown(ui::kControlLeft).text, "Вкл");
    EXPECT_EQ(r.window.takeFocus(), ui::kControlList);

    const auto reply = testsupport::twoCodesReply();  // P0130 with the lamp on, and FEDC
    {
        logic::ErrorCodesWindow unread(r.command, false);
        unread.tick();
        EXPECT_EQ(unread.shown(ui::kCount).text, "");  // nothing read yet: no count, not "0"
    }
    r.command.dtcReply.storeReceived(reply.data(), reply.size());
    logic::ErrorCodesWindow codes(r.command, false);
    codes.noteAction = note;
    EXPECT_FALSE(codes.shown(ui::kClear).enabled);
    codes.setClearAllowed(true);
    codes.tick();
    EXPECT_EQ(codes.shown(ui::kCount).text, "2");
    const auto& rows = codes.shown(ui::kCodesTable).rows;
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0].text, "P  0130");
    EXPECT_EQ(rows[1][5].text, std::string());  // outside the table: no text, not the row's earlier one
    // Home and End go to the first and last code, chosen nothing; asked once.
    EXPECT_TRUE(codes.key(ui::key(ui::Key::End), ui::kCodesTable));
    EXPECT_EQ(codes.takeRowInView(), (std::pair<int, int>(ui::kCodesTable, 1)));
    EXPECT_EQ(codes.takeRowInView().first, 0);
    EXPECT_TRUE(codes.key(ui::key(ui::Key::Home), ui::kCodesTable));
    EXPECT_EQ(codes.takeRowInView(), (std::pair<int, int>(ui::kCodesTable, 0)));
    EXPECT_EQ(codes.shown(ui::kCodesTable).value, -1);
    EXPECT_FALSE(codes.key(ui::key(ui::Key::End), ui::kClear));
    codes.pressed(ui::kClear, true);
    ASSERT_EQ(codes.shown(ui::kCodesTable).rows.size(), 1u);
    EXPECT_FALSE(codes.shown(ui::kCodesTable).rows[0][0].text.has_value());  // the first row keeps its contents
    EXPECT_TRUE(codes.takeTimerRestart());
    EXPECT_EQ(r.command.dtcClearRequest.load(), 1);
    ASSERT_EQ(done.size(), 4u);
    EXPECT_EQ(done[3].rfind("коды ошибок стёрты: P  0130 ", 0), 0u) << done[3];
    EXPECT_NE(done[3].find("; P  FEDC"), std::string::npos) << done[3];
    // A reply from before the window opened was no reading; the one after
    // the clear is, once.
    // The pass reads the codes before it clears them: that read is none.
    r.command.dtcReply.storeReceived(reply.data(), reply.size());
    codes.tick();
    EXPECT_EQ(codes.shown(ui::kCount).text, "0");
    r.command.dtcReply.clearGone(true);
    const std::array<std::uint8_t, 19> none{};
    r.command.dtcReply.storeReceived(none.data(), none.size());
    codes.tick();
    codes.tick();
    EXPECT_EQ(kinds, (std::vector<std::string>{"adjustment", "adjustment", "reset", "codes-cleared", "codes-read"}));
    EXPECT_EQ(done.back(), "коды ошибок прочитаны: нет");
    bool saved = false;
    codes.saveReport = [&saved] { saved = true; };
    codes.pressed(ui::kSaveCodes, true);
    EXPECT_TRUE(saved);
    EXPECT_FALSE(codes.takeClose());
    codes.pressed(ui::kErrorsExit, true);
    EXPECT_TRUE(codes.takeClose());

    // After "Нет" nothing is reported until the entry shown is acted on:
    // "Вкл" then reads its state too, so the status shows what it did.
    r.window.chosen(ui::kControlList, ControlWindow::kInitEntry);
    auto no = r.window.takeStandIn();
    ASSERT_NE(no, nullptr);
    no->pressed(ui::kNo, true);
    no->closing();
    r.window.standInClosed();
    EXPECT_TRUE(r.reporting().empty());
    r.window.pressed(ui::kControlLeft, true);  // "Вкл" on "Форсунка 1"
    EXPECT_EQ(r.reporting(), std::vector<int>{0});
    EXPECT_EQ(r.command.actuator[0].onRequest.load(), 1);
}
