// SPDX-License-Identifier: GPL-3.0-or-later
// The messages in the reader's language: the catalogue's entries whole, with
// their varying parts, and the terminal's language from the environment.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/Messages.h"

using platform::Language;
using platform::translate;

TEST(Messages, EntriesWholeOrWithTheirPartsAndAnythingElseAsItIs) {
    EXPECT_EQ(translate("connected again", Language::Russian), "связь восстановлена");
    EXPECT_EQ(translate("connected again", Language::English), "connected again");
    // A part that varies keeps its place; a part the catalogue knows is
    // translated too.
    EXPECT_EQ(translate("No such file or directory (serial ports here: /dev/ttyS0, /dev/ttyUSB0)", Language::Russian),
              "нет такого файла или каталога (последовательные порты здесь: /dev/ttyS0, /dev/ttyUSB0)");
    EXPECT_EQ(translate("pass 17 measured nothing (21 01: no answer)", Language::Russian),
              "цикл опроса 17 ничего не измерил (21 01: нет ответа)");
    EXPECT_EQ(translate("pass 3 measured nothing (21 01: negative answer 7F 21 12: subfunction not supported)",
                        Language::Russian),
              "цикл опроса 3 ничего не измерил (21 01: отрицательный ответ 7F 21 12: подфункция не поддерживается)");
    EXPECT_EQ(translate("rate not granted: the port runs at 14400 baud, not 10400", Language::Russian),
              "скорость не установлена: порт работает на 14400 бод, а не на 10400");
    // The most specific form wins over the general "place: what".
    EXPECT_EQ(translate("drive.txt: the recording stopped: No space left on device", Language::Russian),
              "drive.txt: запись остановлена: на устройстве не осталось свободного места");
    EXPECT_EQ(translate("/dev/ttyUSB0: Permission denied", Language::Russian), "/dev/ttyUSB0: отказано в доступе");
    // A part that is empty in some forms (a network adapter has no rate).
    EXPECT_EQ(translate("no ELM327 answers on this port: nothing came back", Language::Russian),
              "на порту нет ответа ELM327: ничего не пришло");
    EXPECT_EQ(translate("cannot reach 127.0.0.1 port 35000: Connection refused", Language::Russian),
              "нет связи с 127.0.0.1, порт 35000: в соединении отказано");
    // A file that is not a recording, in a tester's box.
    EXPECT_EQ(translate("/tmp/x.m797: line 1: not a wire recording of this program (it must begin with \"# m797 wire "
                        "recording 1\")",
                        Language::Russian),
              "/tmp/x.m797: строка 1: это не запись обмена этой программы (она должна начинаться с «# m797 wire "
              "recording 1»)");
    EXPECT_EQ(translate("/tmp/a/b.csv: Not a directory", Language::Russian),
              "/tmp/a/b.csv: в пути есть файл, а не папка");
    EXPECT_EQ(translate("something nobody wrote down", Language::Russian), "something nobody wrote down");
    // Several lines, each on its own.
    EXPECT_EQ(translate("  --help             print this text\nconnected again", Language::Russian),
              "  --help             напечатать этот текст\nсвязь восстановлена");
}

TEST(Messages, TheTerminalsLanguageComesFromTheFirstVariableSet) {
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) unsetenv(name);
    EXPECT_EQ(platform::terminalLanguage(), Language::English);
    setenv("LANG", "ru_RU.UTF-8", 1);
    EXPECT_EQ(platform::terminalLanguage(), Language::Russian);
    setenv("LC_ALL", "C.UTF-8", 1);  // set before LANG is read
    EXPECT_EQ(platform::terminalLanguage(), Language::English);
    setenv("LANGUAGE", "ru", 1);
    EXPECT_EQ(platform::terminalLanguage(), Language::Russian);
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) unsetenv(name);
}
