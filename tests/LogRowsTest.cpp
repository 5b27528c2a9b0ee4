// SPDX-License-Identifier: GPL-3.0-or-later
// The logger's header and rows, end to end through the simulated ECU.
#include <gtest/gtest.h>

#include <set>

#include "cli/LogRows.h"

using namespace cli;
#include "ecu/CsvTable.h"
#include "ecu/EcuDecoder.h"
#include "link/Com_Port.h"
#include "sim/SimulatedLine.h"
#include "tests/TestSupport.h"

TEST(LogRows, HeaderAndAFullRowFromTheSimulatedEcusBytes) {
    EXPECT_EQ(logHeader(),
              "pass,time,ADC_2O2,ADC_BAT,ADC_BS,ADC_MAF,ADC_O2,ADC_RINH,ADC_RINV,ADC_TANS,ADC_THR,ADC_TMOT,"
              "ADC_EGR,AHKAT,ATV,BSMW,B_EKP,B_KOE,B_KR,B_KSTUMS,B_LF1,B_LF2,B_LL,B_LR,B_LRA,B_LRHK,"
              "B_LUSTOP,B_MIL,B_SA,B_SBBHK,B_SBBVK,B_SWE,B_TE,B_VAR,B_VL,Byte1,Byte2,Byte3,CHKSUMFL,"
              "DMLLR,DMLLRI,DMVAD,EVSUP1,FHO,FR,FRA,FSE,FZABG_1,FZABG_2,FZABG_3,FZABG_4,FZAKATS,LAMSBG,"
              "LUMS,ML,MOMPOS,MSNLLSS,NMOT,NMOTLL,NSOL,N_ERR,RKAT,RKRN,RL,RLP,S_AS,TANS,TATEOUT,TI,TIME,"
              "TMOT,TMST,TPSVKMF_U,UB,USHK,USVK,VFZG,VSKS,WDKBA,WKR,ZWOUT");

    sim::SimulatedLine line({}, true);
    line.withCore([](sim::AdapterCore& c) {
        auto& e = c.ecu();
        e.block01.fill(0);
        e.block03.fill(0);
        e.setLive01(19, 21);   // NMOT 840
        e.setLive01(14, 184);  // TMOT 90.0
        e.setLive03(16, 0x80);
        e.setLive03(17, 0x40);  // ADC_THR 2.505
        e.setLive01(74, 0x13);  // B_LL, B_VL, B_EKP
        e.setLive01(64, 0x81);  // EVSUP1
        e.setLive01(60, 0x5A);
        e.setLive01(61, 0x3C);
        e.setLive01(12, 3);
        e.setLive01(48, 0x01);
        e.setLive01(49, 0x02);  // FZABG_1 258
        return 0;
    });
    klink::LinkData data;
    ecu::LiveDataStore store;
    store.write([](ecu::LiveData& d) {
        d.setFlagNames();
        return 0;
    });
    ecu::EcuDecoder decoder(store);
    klink::Com_Port port(line, data, &decoder);
    port.loopTurn();
    port.loopTurn();
    ASSERT_EQ(port.passCount(), 1u);
    const std::string row = store.read([](const ecu::LiveData& d) { return logRow(1, 61234, d); });
    EXPECT_EQ(row,
              "1,61.234,0.000,0.000,-6.274,0.000,0.000,,,0.000,2.505,0.000,0.000,,,,"
              "1,0,0,0,0,0,1,0,0,0,0,0,0,0,0,0,0,0,1,"
              "00010011,00000000,00000000,5A3C,0.00,0.00,0.00,10000001,,0.000,0.000,-0.0,"
              "258,0,0,0,0,0.000,0.0,0.00,0,0.00,840,,0,3,0.0,0.00,0.00,0.00,0,-48.0,0.0,0.00,0,"
              "90.0,-48.0,,0.00,,-200,0.0,0.00,0.0,-0.0,0.0");

    // The identification built at the set-up, through the same hook.
    EXPECT_EQ(data.identText.get(0), "XTA21700080123456");
    EXPECT_EQ(data.identText.get(9), "\xCF\xD0\xC8\xCE\xD0\xC0 ");  // "ПРИОРА "

    klink::post(data.command.dtcReadRequest);
    port.loopTurn();
    const auto lines = logDtcLines(data.command.dtcReply.copy());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "dtc count: 3");
    EXPECT_EQ(lines[1], "dtc: P  0102 E2 Датчик массового расхода воздуха, низкий уровень выходного сигнала");
    EXPECT_EQ(lines[3], "dtc: P  1689 1F Сбой функционирования памяти ошибок");
    line.withCore([](sim::AdapterCore& c) {
        c.ecu().dtcs = {{0x05, 0x00, 0x08}};
        return 0;
    });
    port.loopTurn();
    EXPECT_EQ(logDtcLines(data.command.dtcReply.copy())[1], "dtc: P  0500 08 ");
}

TEST(CsvTable, AFieldWithACommaOrQuoteIsQuotedAndAReadoutWithACommaStaysOneField) {
    EXPECT_EQ(ecu::csvField("14.08"), "14.08");
    EXPECT_EQ(ecu::csvField("14,08"), "\"14,08\"");
    EXPECT_EQ(ecu::csvField("a \"b\""), "\"a \"\"b\"\"\"");
    ecu::LiveData d;
    d.analogue[2].valueText = "14,08";  // a decimal comma, as a window may show it
    std::vector<std::vector<std::string>> rows;
    const platform::WallTime at{1765264502345, 180};  // 2025-12-09 10:15:02.345 +03:00
    ASSERT_TRUE(testsupport::readCsv(ecu::csvHeader() + ecu::csvRow(7, 1234, at, d), rows));
    ASSERT_EQ(rows.size(), 2u);
    ASSERT_EQ(rows[1].size(), rows[0].size());
    EXPECT_EQ(rows[1][0], "7");
    EXPECT_EQ(rows[1][1], "1.234");
    EXPECT_EQ(rows[1][3 + 1], "14,08");  // ADC_BAT
    EXPECT_EQ(rows[0][3 + 1], "ADC_BAT [V]");
    EXPECT_EQ(rows[1][2], "2025-12-09T10:15:02.345+03:00");
}

// The table for a Russian spreadsheet reads back with semicolons and decimal
// commas: a byte-order mark, the units as the charts write them, a line of
// captions, the local date and time and numbers with commas.
TEST(CsvTable, ARussianSpreadsheetsTableReadsBackWithSemicolonsAndDecimalCommas) {
    EXPECT_EQ(ecu::csvStyleNamed("excel-ru"), ecu::CsvStyle::ExcelRu);
    EXPECT_FALSE(ecu::csvStyleNamed("excel"));
    ecu::LiveData d;
    d.analogue[2].valueText = "14.080";
    d.analogue[53].valueText = "9.40";
    const platform::WallTime at{1765264502345, 180};
    const std::string text =
        ecu::csvHeader(ecu::CsvStyle::ExcelRu) + ecu::csvRow(7, 61234, at, d, ecu::CsvStyle::ExcelRu);
    ASSERT_EQ(text.compare(0, 3, "\xEF\xBB\xBF"), 0);
    std::vector<std::vector<std::string>> rows;
    ASSERT_TRUE(testsupport::readCsv(text.substr(3), rows, ';'));
    ASSERT_EQ(rows.size(), 3u);
    ASSERT_EQ(rows[1].size(), rows[0].size());
    ASSERT_EQ(rows[2].size(), rows[0].size());
    EXPECT_EQ(rows[0][2 + 2], "ADC_BAT [В]");
    EXPECT_EQ(rows[0][2 + 53], "ML [кг/час]");
    EXPECT_EQ(rows[1][2 + 53], "Массовый расход воздуха кг/час.");
    EXPECT_EQ(rows[2][1], "61,234");
    EXPECT_EQ(rows[2][2], "09.12.2025 10:15:02,345");
    EXPECT_EQ(rows[2][2 + 2], "14,080");
    EXPECT_EQ(rows[2][2 + 53], "9,40");
    // Where a chart's caption names its unit, the column's header says the same.
    const std::set<std::string> units = {"В",   "B",  "%",     "C", "об/мин", "кг/час", "шаг",
                                         "мин", "мВ", "об/с2", "G", "км/час", "л/час"};
    int named = 0;
    for (std::size_t k = 1; k <= ecu::kParameterCount; ++k) {
        const std::string& caption = rows[1][2 + k];
        std::string unit = caption.substr(caption.rfind(' ') + 1);
        if (unit.size() < 2 || unit.back() != '.' || !units.count(unit.erase(unit.size() - 1))) continue;
        if (unit == "B") unit = "В";  // a Latin letter in two captions
        const std::string& head = rows[0][2 + k];
        EXPECT_EQ(head.substr(head.find('[')), "[" + unit + "]") << caption;
        ++named;
    }
    EXPECT_GT(named, 25);
}
