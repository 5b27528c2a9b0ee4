// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "ecu/DtcTable.h"
#include "platform/Cp1251.h"

using ecu::DtcPicture;

TEST(Dtc, CodesTextsAndTheirLookupOnRawBytes) {
    EXPECT_GE(ecu::dtcTextRows().size(), 83u);  // the ECU's own codes, and any row added since
    EXPECT_EQ(ecu::shownCode(0x01, 0x02), "P  0102");
    EXPECT_EQ(ecu::shownCode(0xAB, 0x0F), "P  AB0F");
    ASSERT_NE(ecu::dtcText(0x01, 0x02), nullptr);
    EXPECT_EQ(cp1251::toUtf8(*ecu::dtcText(0x01, 0x02)),
              "Датчик массового расхода воздуха, низкий уровень выходного сигнала");
    EXPECT_EQ(cp1251::toUtf8(*ecu::dtcText(0x16, 0x89)), "Сбой функционирования памяти ошибок");
    EXPECT_EQ(cp1251::toUtf8(*ecu::dtcText(0x02, 0x62)), "Цепь управления форсункой цилиндра №1, замкнута на +12В");
    EXPECT_EQ(ecu::dtcText(0x05, 0x00), nullptr);
    EXPECT_EQ(ecu::dtcText(0x00, 0x00), nullptr);
    // Every entry finds itself, so no two share a code.
    for (const auto& r : ecu::dtcTextRows()) EXPECT_EQ(cp1251::toUtf8(*ecu::dtcText(r.high, r.low)), r.textUtf8);
}

TEST(Dtc, StatusBytesSplitIntoFourPictures) {
    auto p = ecu::dtcPictures(0xE2);
    EXPECT_EQ(p.lamp, DtcPicture::Lamp);
    EXPECT_EQ(p.storage, DtcPicture::Present);
    EXPECT_EQ(p.test, DtcPicture::TestCompleted);
    EXPECT_EQ(p.symptom, DtcPicture::BelowMinimum);
    p = ecu::dtcPictures(0x1F);
    EXPECT_EQ(p.lamp, DtcPicture::None);
    EXPECT_EQ(p.storage, DtcPicture::None);
    EXPECT_EQ(p.test, DtcPicture::TestNotCompleted);
    EXPECT_EQ(p.symptom, DtcPicture::InvalidSignal);  // bit 3 drawn last
    p = ecu::dtcPictures(0x20);
    EXPECT_EQ(p.storage, DtcPicture::StoredInactive);
    EXPECT_EQ(p.test, DtcPicture::TestCompleted);
    EXPECT_EQ(p.symptom, DtcPicture::None);
    EXPECT_EQ(ecu::dtcPictures(0x40).storage, DtcPicture::Intermittent);
    EXPECT_EQ(ecu::dtcPictures(0x05).symptom, DtcPicture::NoSignal);
    EXPECT_EQ(ecu::dtcPictures(0x01).symptom, DtcPicture::AboveMaximum);
    p = ecu::dtcPictures(0xFF);
    EXPECT_EQ(p.lamp, DtcPicture::Lamp);
    EXPECT_EQ(p.storage, DtcPicture::Present);
}

TEST(Dtc, ReplyPositionsAreFixedAndAFullCountStaysInsideTheBuffer) {
    std::array<std::uint8_t, 1024> buf{};
    buf[12] = 255;
    buf[13] = 0x01;
    buf[14] = 0x71;
    buf[15] = 0x20;
    const ecu::DtcReply reply{{buf.data(), buf.size()}};
    EXPECT_EQ(reply.count(), 255u);
    EXPECT_EQ(reply.record(0).low, 0x71);
    EXPECT_EQ(reply.record(254).status, 0);  // a record that never came reads as zeros
    // A short buffer reads as zeros past its end instead of overrunning.
    const ecu::DtcReply shortReply{buf.data(), 14};
    EXPECT_EQ(shortReply.record(0).low, 0);
    EXPECT_EQ(shortReply.record(300).high, 0);
}
