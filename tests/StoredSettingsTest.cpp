// SPDX-License-Identifier: GPL-3.0-or-later
// The presets and colours in the settings file.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "logic/StoredSettings.h"

namespace {

struct TempStore {
    TempStore() {
        char tmpl[] = "/tmp/m797-settings-XXXXXX";
        dir = mkdtemp(tmpl);
        path = dir + "/sub/VELKOR.ini";
    }
    ~TempStore() {
        std::remove(path.c_str());
        rmdir((dir + "/sub").c_str());
        rmdir(dir.c_str());
    }
    std::string contents() const {
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string dir, path;
};

struct Errors {
    std::vector<std::string> list;
    stored::ErrorReport report() {
        return [this](const std::string& e) { list.push_back(e); };
    }
};

}  // namespace

TEST(StoredSettings, FirstStartWritesTheSetsAndMarkerAndASecondStartWritesNothing) {
    TempStore t;
    platform::SettingsStore store(t.path);
    stored::ChartParameters chart{};
    display::ColourScheme colours{};
    Errors e;
    stored::loadStoredSettings(store, chart, colours, e.report());
    EXPECT_TRUE(e.list.empty());
    for (int n = 1; n <= 12; ++n)
        for (int k = 1; k <= 5; ++k) EXPECT_EQ(store.readInt(stored::setKey(n), stored::diagramName(k)).value, k);
    EXPECT_EQ(store.readInt("\\VELKOR\\DIAGRAM\\F", "diagram_ok").value, 1);
    EXPECT_FALSE(store.keyExists(stored::kColourKey));
    EXPECT_EQ(chart, (stored::ChartParameters{2, 3, 4, 5, 6}));
    EXPECT_EQ(colours, display::ColourScheme::builtIn());

    // Every write replaces the file (a new inode); a second start writes nothing.
    struct stat before {};
    stat(t.path.c_str(), &before);
    const std::string first = t.contents();
    const std::size_t writes = store.replacements();
    stored::loadStoredSettings(store, chart, colours, e.report());
    struct stat after {};
    stat(t.path.c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(store.replacements(), writes);
    EXPECT_EQ(t.contents(), first);

    // A file without the marker (copied, or written by hand) keeps its sets.
    ASSERT_TRUE(store.deleteKey("\\VELKOR\\DIAGRAM\\F"));
    store.writeInt(stored::setKey(7), "diagram_1", 41);
    ASSERT_TRUE(store.deleteKey(stored::setKey(8)));
    stored::loadStoredSettings(store, chart, colours, e.report());
    EXPECT_EQ(store.readInt(stored::setKey(7), "diagram_1").value, 41);
    EXPECT_EQ(store.readInt(stored::setKey(8), "diagram_1").value, 1);  // the missing one made
    EXPECT_TRUE(store.keyExists("\\VELKOR\\DIAGRAM\\F"));
}

TEST(StoredSettings, PresetsLoadOnlyFromKeysThatExist) {
    TempStore t;
    platform::SettingsStore store(t.path);
    stored::ChartParameters chart{};
    display::ColourScheme colours{};
    Errors e;
    stored::loadStoredSettings(store, chart, colours, e.report());
    store.writeInt(stored::setKey(2), "diagram_3", 77);
    stored::selectParameterSet(store, 2, chart, e.report());
    EXPECT_EQ(chart[2], 78);  // WKR
    ASSERT_TRUE(store.deleteKey(stored::setKey(3)));
    stored::loadStoredSettings(store, chart, colours, e.report());
    EXPECT_FALSE(store.keyExists(stored::setKey(3)));  // not recreated
    const auto before = chart;
    stored::selectParameterSet(store, 3, chart, e.report());
    EXPECT_EQ(chart, before);
    // An index outside 0..78 selects nothing but is kept as a number.
    store.writeInt(stored::setKey(4), "diagram_1", 200);
    store.writeInt(stored::setKey(4), "diagram_2", INT32_MAX);
    stored::selectParameterSet(store, 4, chart, e.report());
    EXPECT_EQ(chart[0], 201);
    EXPECT_EQ(chart[1], 0);
    EXPECT_TRUE(e.list.empty());
}

TEST(StoredSettings, AReadFailureIsReportedAndStopsAtThatValue) {
    TempStore t;
    platform::SettingsStore store(t.path);
    stored::ChartParameters chart{};
    display::ColourScheme colours{};
    Errors e;
    stored::loadStoredSettings(store, chart, colours, e.report());
    {
        // Edited by hand: text where a number belongs, a missing value,
        // stray lines that are not values at all.
        std::ofstream out(t.path, std::ios::app);
        out << "garbage line\n[\\VELKOR\\DIAGRAM\\F5]\ndiagram_1=10\ndiagram_2=ten\n";
    }
    chart = {1, 1, 1, 1, 1};
    stored::selectParameterSet(store, 5, chart, e.report());
    ASSERT_EQ(e.list.size(), 1u);
    EXPECT_NE(e.list[0].find("diagram_2"), std::string::npos);
    EXPECT_EQ(chart, (stored::ChartParameters{11, 1, 1, 1, 1}));

    store.writeInt(stored::kColourKey, "GRID_R", 20);
    colours = display::ColourScheme::builtIn();
    stored::loadStoredSettings(store, chart, colours, e.report());
    ASSERT_EQ(e.list.size(), 2u);
    EXPECT_NE(e.list[1].find("GRID_G"), std::string::npos);
    EXPECT_FLOAT_EQ(colours.gridColour.r, 0.2f);
    EXPECT_FLOAT_EQ(colours.gridColour.g, 0.4f);  // the rest kept
}

TEST(StoredSettings, ColoursRoundTripAsWholePercentages) {
    TempStore t;
    platform::SettingsStore store(t.path);
    stored::saveColourScheme(store, display::ColourScheme::builtIn());
    // The stored names written out: the files of earlier versions use them.
    const std::pair<const char*, int> want[16] = {
        {"GRID_R", 50},    {"GRID_G", 40},    {"GRID_B", 10},    {"GRID_T", 40},   {"Text_R", 10},  {"Text_G", 99},
        {"Text_B", 70},    {"Text_T", 70},    {"Text3_R", 10},   {"Text3_G", 40},  {"Text3_B", 80}, {"Text3_T", 50},
        {"GRAPHIC_R", 45}, {"GRAPHIC_G", 99}, {"GRAPHIC_B", 10}, {"GRAPHIC_T", 99}};
    for (const auto& [name, value] : want) EXPECT_EQ(store.readInt(stored::kColourKey, name).value, value) << name;

    store.writeInt(stored::kColourKey, "Text_B", 69);
    for (int round = 0; round < 3; ++round) {
        display::ColourScheme c{};
        stored::ChartParameters chart{};
        Errors e;
        stored::loadStoredSettings(store, chart, c, e.report());
        EXPECT_FLOAT_EQ(c.nameTextColour.b, 0.69f);
        stored::saveColourScheme(store, c);
        EXPECT_EQ(store.readInt(stored::kColourKey, "Text_B").value, 69);
    }
    for (int p = 0; p <= 100; ++p) EXPECT_EQ(stored::toPercent(stored::fromPercent(p)), p);
    // Beyond the ends, both ends alike.
    store.writeInt(stored::kColourKey, "GRID_R", -5);
    store.writeInt(stored::kColourKey, "GRID_G", 300);
    {
        display::ColourScheme c{};
        stored::ChartParameters chart{};
        Errors e;
        stored::loadStoredSettings(store, chart, c, e.report());
        EXPECT_FLOAT_EQ(c.gridColour.r, 0.0f);
        EXPECT_FLOAT_EQ(c.gridColour.g, 1.0f);
    }
    store.writeInt(stored::kColourKey, "GRID_R", 50);
    store.writeInt(stored::kColourKey, "GRID_G", 40);

    // Two testers on the same file: each writes only the colours it
    // changed, so the one that ends last undoes nothing of the other's.
    platform::SettingsStore other(t.path);
    display::ColourScheme mine{}, theirs{};
    stored::ChartParameters chart{};
    Errors e;
    stored::loadStoredSettings(store, chart, mine, e.report());
    stored::loadStoredSettings(other, chart, theirs, e.report());
    const display::ColourScheme mineLoaded = mine, theirsLoaded = theirs;
    mine.graphColour.r = 0.47f;
    theirs.gridColour.g = 0.12f;
    stored::saveColourScheme(store, mine, &mineLoaded);
    stored::saveColourScheme(other, theirs, &theirsLoaded);
    EXPECT_EQ(other.readInt(stored::kColourKey, "GRAPHIC_R").value, 47);
    EXPECT_EQ(store.readInt(stored::kColourKey, "GRID_G").value, 12);
}

TEST(StoredSettings, AFolderThatCannotBeWrittenKeepsTheSettingsInMemoryAndSaysSoOnce) {
    platform::SettingsStore missing("/proc/m797/none.ini");  // cannot be created
    Errors problems;
    missing.setProblemReport(problems.report());
    stored::ChartParameters chart{};
    display::ColourScheme colours{};
    Errors e;
    stored::loadStoredSettings(missing, chart, colours, e.report());
    EXPECT_EQ(chart, (stored::ChartParameters{2, 3, 4, 5, 6}));  // preset 1 all the same
    EXPECT_EQ(colours, display::ColourScheme::builtIn());
    // Presets and colours work for the run.
    missing.writeInt(stored::setKey(4), "diagram_1", 55);
    stored::selectParameterSet(missing, 4, chart, e.report());
    EXPECT_EQ(chart[0], 56);
    colours.graphColour.r = 0.2f;
    stored::saveColourScheme(missing, colours);
    EXPECT_EQ(missing.readInt(stored::kColourKey, "GRAPHIC_R").value, 20);
    EXPECT_TRUE(e.list.empty());
    ASSERT_EQ(problems.list.size(), 1u);
    EXPECT_NE(problems.list[0].find("/proc/m797"), std::string::npos);
    EXPECT_NE(problems.list[0].find("cannot be saved"), std::string::npos);
    EXPECT_TRUE(missing.inMemoryOnly());

    TempStore t;
    { std::ofstream out(t.dir + "/empty.ini"); }
    platform::SettingsStore empty(t.dir + "/empty.ini");  // an empty file is a new store
    stored::loadStoredSettings(empty, chart, colours, e.report());
    EXPECT_EQ(chart, (stored::ChartParameters{2, 3, 4, 5, 6}));
    EXPECT_FALSE(empty.inMemoryOnly());
    std::remove((t.dir + "/empty.ini").c_str());
}
