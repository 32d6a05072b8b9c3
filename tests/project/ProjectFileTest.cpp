#include "TestSupport.h"
#include "project/Project.h"
#include "toolkit/Files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {
// The bytes of a record, written out by hand.
QByteArray goldenRecord()
{
    QByteArray b(235, '\0');
    auto put = [&](int at, std::initializer_list<int> bytes) {
        for (int v : bytes)
            b[at++] = char(v);
    };
    put(0, {0x40, 0x80, 0xC0, 0x00});          // colour: red 0x40, green 0x80, blue 0xC0
    put(4, {0x01});                            // Float
    put(5, {0xE7, 0x03, 0, 0});                // 999
    put(9, {0x3C, 0, 0, 0});                   // 60
    put(13, {0x01, 0, 0, 0});                  // 1
    put(17, {0x0F, 0, 0, 0});                  // 15
    put(21, {0x02, 0, 0, 0});                  // 2 pictures
    put(25, {5, 'A', '.', 'B', 'M', 'P'});     // slot 1
    put(25 + 13, {0xEB, 0, 0, 0});             // Offset 235
    put(25 + 17, {0x10, 0x27, 0, 0});          // Size 10000
    put(46, {12, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', '.', 'J', 'P', 'G'});   // slot 2
    put(46 + 13, {0xFF, 0xFF, 0xFF, 0xFF});    // Offset -1
    put(46 + 17, {0x00, 0x00, 0x00, 0x80});    // Size INT32_MIN
    put(214, {3, 'Z', '.', 'B'});              // slot 10 beyond the count
    return b;
}

SaverSettings goldenSettings()
{
    SaverSettings s;
    s.BackgroundColor = 0x00C08040;
    s.DisplayMode = 1;
    s.FloatSpeed = 999;
    s.ChangeEvery = 60;
    s.DisplaySeconds = 1;
    s.DisplayTimes = 15;
    s.ImageCount = 2;
    setSlotName(s.Slot(1), "A.BMP");
    s.Slot(1).Offset = 235;
    s.Slot(1).Size = 10000;
    setSlotName(s.Slot(2), "ABCDEFGH.JPG");
    s.Slot(2).Offset = -1;
    s.Slot(2).Size = INT32_MIN;
    setSlotName(s.Slot(10), "Z.B");
    return s;
}

QByteArray bytesOf(const SaverSettings& s)
{
    const SettingsBytes b = s.Encode();
    return QByteArray(reinterpret_cast<const char*>(b.data()), int(b.size()));
}

void openProjectNamed(const QString& file)
{
    Project() = ProjectState{};
    Project().ProjectFolder = GetCurrentDir();
    Project().ProjectFile = file;
}
} // namespace

TEST(SettingsRecord, EncodesFieldByFieldLittleEndian)
{
    EXPECT_EQ(bytesOf(goldenSettings()), goldenRecord());
    const QByteArray g = goldenRecord();
    EXPECT_EQ(SaverSettings::Decode(reinterpret_cast<const std::uint8_t*>(g.constData())), goldenSettings());
}

TEST(SettingsRecord, NewProjectDefaults)
{
    QByteArray b(235, '\0');
    b[2] = char(0x80);    // 0x00800000: navy
    b[5] = char(0xDE);    // 990
    b[6] = char(0x03);
    b[9] = 5;
    b[13] = 3;
    b[17] = 2;
    EXPECT_EQ(bytesOf(newProjectSettings()), b);
}

TEST(SettingsRecord, NamesAreCutToTwelveCharacters)
{
    ImageEntry e;
    setSlotName(e, "ABCDEFGHIJKLMNOP.JPG");
    EXPECT_EQ(slotName(e), QString("ABCDEFGHIJKL"));
    e.NameLength = 200;   // a damaged length byte never reads past the name
    EXPECT_EQ(slotName(e).size(), 12);
}

TEST(SettingsRecord, DamagedValuesAreBroughtIntoRange)
{
    SaverSettings s = goldenSettings();
    s.DisplayMode = 7;
    s.FloatSpeed = -5;
    s.ChangeEvery = 1000;
    s.DisplaySeconds = 0;
    s.DisplayTimes = 99;
    s.ImageCount = 11;
    s.Slot(3).NameLength = 255;
    EXPECT_TRUE(s.Normalize());
    EXPECT_EQ(s.DisplayMode, 1);
    EXPECT_EQ(s.FloatSpeed, 899);
    EXPECT_EQ(s.ChangeEvery, 60);
    EXPECT_EQ(s.DisplaySeconds, 1);
    EXPECT_EQ(s.DisplayTimes, 15);
    EXPECT_EQ(s.ImageCount, 10);
    EXPECT_EQ(s.Slot(3).NameLength, 12);
    s.ImageCount = -3;
    s.Normalize();
    EXPECT_EQ(s.ImageCount, 0);
    SaverSettings good = goldenSettings();
    EXPECT_FALSE(good.Normalize());
    EXPECT_EQ(good, goldenSettings());
}

// As the show and the compile take the record: an empty slot among the
// counted ones is left out, the slots after it (beyond the count too) close
// up, and the count says what is left. Slot names are joined by commas.
TEST(SettingsRecord, EmptySlotsAmongTheCountedOnesAreLeftOut)
{
    const std::tuple<QString, int, QString, int> rows[] = {
        {",A", 2, "A", 1}, {"A,,B,C", 3, "A,B,C", 2}, {",", 2, "", 0}, {"A", 11, "A", 1}, {"A", -1, "A", 0}};
    for (const auto& [names, count, closed, left] : rows) {
        SaverSettings s;
        for (int k = 1; k <= MaxImages; ++k)
            setSlotName(s.Slot(k), names.section(',', k - 1, k - 1));
        s.ImageCount = count;
        const SaverSettings c = s.WithoutEmptySlots();
        EXPECT_EQ(c.ImageCount, left) << names.toStdString();
        for (int k = 1; k <= MaxImages; ++k)
            EXPECT_EQ(slotName(c.Slot(k)), closed.section(',', k - 1, k - 1)) << names.toStdString();
    }
}

TEST(ProjectNames, DerivedFromTheEnteredName)
{
    EXPECT_EQ(projectFileFor("SUNSET"), QString("SUNSET.SSJ"));
    EXPECT_EQ(projectFileFor("SUNSET.SSJ"), QString("SUNSET.SSJ"));
    EXPECT_EQ(projectFileFor("MY.SAVER"), QString("MY.SSJ"));
    EXPECT_EQ(screenSaverNameOf("MY.SSJ"), QString("MY"));
    // A drive or folder typed the old way is not part of the name.
    EXPECT_EQ(projectFileFor("A\\B"), QString("B.SSJ"));
    EXPECT_EQ(projectFileFor("C:X"), QString("X.SSJ"));
    EXPECT_EQ(projectFileFor("OLD.V1\\SUNSET"), QString("SUNSET.SSJ"));
    EXPECT_EQ(screenSaverNameOf("A\\B.SSJ"), QString("B"));
    ProjectState p;
    p.ProjectFolder = "/savers/SUNSET/";
    p.ProjectFile = "SUNSET.SSJ";
    EXPECT_EQ(p.ScreenSaverName(), QString("SUNSET"));
    EXPECT_EQ(p.ProjectBase(), QString("/savers/SUNSET/SUNSET"));
    EXPECT_TRUE(p.IsOpen());
    EXPECT_FALSE(ProjectState{}.IsOpen());
}

TEST(ProjectFile, OpeningANewNameWritesTheDefaultsAtOnce)
{
    TempFolder t;
    openProjectNamed("SUNSET.SSJ");
    OpenProject(Project());
    EXPECT_EQ(ReadAll(t.File("SUNSET.SSJ")), bytesOf(newProjectSettings()));
    EXPECT_EQ(Project().Settings, newProjectSettings());
}

TEST(ProjectFile, OpeningAnExistingFileLoadsEverySlotAsStored)
{
    TempFolder t;
    WriteAll(t.File("SUNSET.SSJ"), goldenRecord());
    openProjectNamed("SUNSET.SSJ");
    OpenProject(Project());
    EXPECT_EQ(Project().Settings, goldenSettings());
    EXPECT_EQ(slotName(Project().Settings.Slot(10)), QString("Z.B"));
    // Opening does not write.
    EXPECT_EQ(ReadAll(t.File("SUNSET.SSJ")), goldenRecord());
}

TEST(ProjectFile, AFileOfAnotherLetterCaseIsTheSameProject)
{
    TempFolder t;
    WriteAll(t.File("sunset.ssj"), goldenRecord());
    openProjectNamed("SUNSET.SSJ");
    OpenProject(Project());
    EXPECT_EQ(Project().Settings, goldenSettings());
    // Saving writes the file that is there, not a second one beside it.
    SaveProject(Project());
    EXPECT_FALSE(QFile::exists(t.File("SUNSET.SSJ")));
    EXPECT_EQ(ReadAll(t.File("sunset.ssj")), goldenRecord());
}

TEST(ProjectFile, ShortFileFailsAndLeavesTheRecordAsItWas)
{
    TempFolder t;
    WriteAll(t.File("S.SSJ"), goldenRecord().left(234));
    openProjectNamed("S.SSJ");
    Project().Settings = newProjectSettings();
    try {
        LoadProject(Project());
        FAIL() << "a short project file loaded";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Text(), QString("Read beyond end of file"));
    }
    EXPECT_EQ(Project().Settings, newProjectSettings());
}

TEST(ProjectFile, LongFileReadsTheFirst235BytesAndTheNextSaveCutsIt)
{
    TempFolder t;
    WriteAll(t.File("L.SSJ"), goldenRecord() + QByteArray(100, 'x'));
    openProjectNamed("L.SSJ");
    LoadProject(Project());
    EXPECT_EQ(Project().Settings, goldenSettings());
    SaveProject(Project());
    EXPECT_EQ(ReadAll(t.File("L.SSJ")), goldenRecord());
}

TEST(ProjectFile, DamagedFileLoadsInRange)
{
    TempFolder t;
    QByteArray bad = goldenRecord();
    bad[21] = char(0xFF);   // count 255
    bad[25] = char(200);    // name length 200
    bad[4] = char(9);
    WriteAll(t.File("D.SSJ"), bad);
    openProjectNamed("D.SSJ");
    LoadProject(Project());
    EXPECT_EQ(Project().Settings.ImageCount, 10);
    EXPECT_EQ(Project().Settings.Slot(1).NameLength, 12);
    EXPECT_EQ(Project().Settings.DisplayMode, 1);
}

TEST(ProjectFile, SavingTwiceWritesIdenticalFiles)
{
    TempFolder t;
    openProjectNamed("T.SSJ");
    Project().Settings = goldenSettings();
    SaveProject(Project());
    const QByteArray first = ReadAll(t.File("T.SSJ"));
    SaveProject(Project());
    EXPECT_EQ(ReadAll(t.File("T.SSJ")), first);
    EXPECT_EQ(first, goldenRecord());
}

TEST(ProjectFile, AFailedSaveKeepsTheOldFile)
{
    TempFolder t;
    WriteAll(t.File("K.SSJ"), goldenRecord());
    openProjectNamed("K.SSJ");
    Project().Settings = newProjectSettings();
    struct rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    struct rlimit small = saved;
    small.rlim_cur = 10;
    setrlimit(RLIMIT_FSIZE, &small);
    bool threw = false;
    try {
        SaveProject(Project());
    } catch (const EInOutError& e) {
        threw = e.Text() == "Disk full";
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_TRUE(threw);
    EXPECT_EQ(ReadAll(t.File("K.SSJ")), goldenRecord());
    EXPECT_EQ(Project().Settings, newProjectSettings());
}
