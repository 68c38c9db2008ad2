#include <gtest/gtest.h>

#include "TempDir.h"
#include "core/IniFile.h"
#include "text/Cp1250.h"

namespace morvik::core {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

TEST(TextCodec, RoundTripsCzechLettersThroughWindows1250) {
    const std::string utf8 = "Univerzální Příliš žluťoučký kůň ŠŤŽ –";
    const std::string bytes = Utf8ToCp1250(utf8);
    EXPECT_EQ(bytes.substr(0, 11), "Univerz\xE1ln\xED");
    EXPECT_EQ(Cp1250ToUtf8(bytes), utf8);
}

TEST(TextCodec, UnmappableAndMalformedBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToCp1250("a\xE2\x82\xAC"
                           "b"),
              "a\x80"
              "b");  // the euro sign exists
    EXPECT_EQ(Utf8ToCp1250("中"), "?");
    EXPECT_EQ(Utf8ToCp1250("\xC3"), "?");       // cut short
    EXPECT_EQ(Utf8ToCp1250("\x80x"), "?x");     // stray continuation
    EXPECT_EQ(Utf8ToCp1250("\xC0\x80"), "??");  // an overlong NUL must not reach a file
}

TEST(TextCodec, UnassignedBytesSurviveAReadAndWrite) {
    const std::string bytes = "\x81\x83\x88\x90\x98";
    EXPECT_EQ(Cp1250ToUtf8("\x81"), "\xC2\x81");
    EXPECT_EQ(Utf8ToCp1250(Cp1250ToUtf8(bytes)), bytes);
}

TEST(TextCodec, FoldsCaseOfCzechLetters) {
    EXPECT_EQ(FoldCp1250('\xC1'), '\xE1');  // Á
    EXPECT_EQ(FoldCp1250('\x8A'), '\x9A');  // Š
    EXPECT_EQ(FoldCp1250('\xD7'), '\xD7');  // the multiplication sign has no case
    EXPECT_EQ(FoldCp1250('Q'), 'q');
}

TEST(IniFile, ReadsWithDefaultsAndCaseInsensitiveNames) {
    TempDir dir;
    const std::string path = dir.File("Settings.ini");
    WriteBytes(path,
               "; comment line\r\n[Global]\r\n  Lang =  en  \r\n\r\n[Univerz\xE1ln\xED]\r\n"
               "sg_1_1=0.125\r\nsg_2_1=\r\n;sg_3_1=9\r\n[univerzální]\r\nsg_4_1=second\r\n");
    const IniFile ini(path);
    EXPECT_EQ(ini.ReadString("global", "LANG", "cz"), "en");
    EXPECT_EQ(ini.ReadString("UNIVERZÁLNÍ", "SG_1_1", "x"), "0.125");
    EXPECT_EQ(ini.ReadString("Univerzální", "sg_2_1", "x"), "");
    EXPECT_TRUE(ini.ValueExists("Univerzální", "sg_2_1"));
    EXPECT_FALSE(ini.ValueExists("Univerzální", "sg_3_1"));  // commented out
    // Only the first section of a name is read.
    EXPECT_FALSE(ini.ValueExists("Univerzální", "sg_4_1"));
    EXPECT_EQ(ini.ReadString("Praha", "sg_1_1", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadString("Global", "Missing", "dflt"), "dflt");
}

TEST(IniFile, MissingFileReadsDefaultsAndIsCreatedByAWrite) {
    TempDir dir;
    const std::string path = dir.File("Settings.ini");
    IniFile ini(path);
    EXPECT_EQ(ini.ReadString("Global", "Lang", "cz"), "cz");
    EXPECT_FALSE(ini.ValueExists("Global", "Lang"));
    ini.WriteString("Global", "Lang", "en");
    ini.WriteString("Univerzální", "sg_1_1", "1,5");
    ini.WriteString("Univerzální", "sg_2_1", "");
    EXPECT_EQ(ReadBytes(path),
              "[Global]\r\nLang=en\r\n[Univerz\xE1ln\xED]\r\nsg_1_1=1,5\r\nsg_2_1=\r\n");
}

// A file an editor saved as UTF-8 (with or without BOM) is written back in UTF-8: a write in
// Windows-1250 would miss the existing section and hide the saved value behind it.
TEST(IniFile, Utf8FilesAreWrittenInUtf8) {
    for (const std::string bom : {"", "\xEF\xBB\xBF"}) {
        SCOPED_TRACE(bom.empty() ? "without BOM" : "with BOM");
        TempDir dir;
        const std::string path = dir.File("Settings.ini");
        WriteBytes(path, bom + "[Univerzální]\r\nsg_1_1=1,5\r\n");
        IniFile(path).WriteString("Univerzální", "sg_1_1", "2,5 č");
        IniFile(path).WriteString("Univerzální", "sg_2_1", "3");
        EXPECT_EQ(ReadBytes(path), bom + "[Univerzální]\r\nsg_1_1=2,5 č\r\nsg_2_1=3\r\n");
        EXPECT_EQ(IniFile(path).ReadString("Univerzální", "sg_1_1", ""), "2,5 č");
    }
}

TEST(IniFile, WritesKeepEveryUntouchedByte) {
    struct Case {
        const char* name;
        std::string before;
        const char* section;
        const char* key;
        const char* value;
        std::string after;
    };
    const Case cases[] = {
        {"replace keeps key spelling, LF ends and trailing blanks", "; x\n[GLOBAL]\n LANG =cz  \n",
         "Global", "Lang", "en", "; x\n[GLOBAL]\n LANG =en  \n"},
        {"new key goes after the section's last line, before blank lines",
         "[A]\r\nk=1\r\n\r\n[B]\r\nq=2\r\n", "a", "n", "v",
         "[A]\r\nk=1\r\nn=v\r\n\r\n[B]\r\nq=2\r\n"},
        {"new key in the last section of a file without a final line end", "[A]\r\nk=1", "A", "n",
         "v", "[A]\r\nk=1\r\nn=v\r\n"},
        {"new section is appended at the end", "[A]\r\nk=1", "B", "n", "v",
         "[A]\r\nk=1\r\n[B]\r\nn=v\r\n"},
        {"a last line cut after its CR is completed, so its value does not grow a CR",
         "[A]\r\nk=1\r", "B", "n", "v", "[A]\r\nk=1\r\n[B]\r\nn=v\r\n"},
        {"empty section gets its first key under the header", "[A]\r\n[B]\r\n", "A", "k", "1",
         "[A]\r\nk=1\r\n[B]\r\n"},
        {"a value cannot break its line", "", "S", "k", "a\r\nb=c", "[S]\r\nk=a  b=c\r\n"},
        // A section named twice: only the first is read, so the first is written.
        {"repeated section: a key of the second is added to the first",
         "[A]\r\nk=1\r\n[a]\r\nq=2\r\n", "A", "q", "v", "[A]\r\nk=1\r\nq=v\r\n[a]\r\nq=2\r\n"},
        {"repeated section: a key of both is replaced in the first", "[A]\r\nk=1\r\n[A]\r\nk=2\r\n",
         "A", "k", "3", "[A]\r\nk=3\r\n[A]\r\nk=2\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.File("Settings.ini");
        WriteBytes(path, c.before);
        IniFile ini(path);
        ini.WriteString(c.section, c.key, c.value);
        EXPECT_EQ(ReadBytes(path), c.after);
        EXPECT_EQ(IniFile(path).ReadString(c.section, c.key, "?"),
                  std::string(c.value).find('\n') == std::string::npos ? c.value : "a  b=c");
    }
}

TEST(IniFile, CutsLongValuesAt2047Characters) {
    TempDir dir;
    const std::string path = dir.File("Settings.ini");
    WriteBytes(path, "[S]\r\nk=" + std::string(3000, '7') + "\r\n");
    EXPECT_EQ(IniFile(path).ReadString("S", "k", "").size(), 2047u);
}

TEST(IniFile, FailedWriteNamesTheFullPathAndKeepsTheFile) {
    TempDir dir;
    // A regular file where a folder should be: no write can succeed, even as root.
    WriteBytes(dir.File("blocker"), "not a folder");
    const std::string path = (dir.Path() / "blocker" / "Settings.ini").string();
    IniFile ini(path);
    try {
        ini.WriteString("Global", "Lang", "en");
        FAIL() << "the write should fail";
    } catch (const EIniWriteError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
    }

    // A file that exists stays intact when the folder refuses the temporary file.
    const std::string good = dir.File("Settings.ini");
    WriteBytes(good, "[Global]\r\nLang=cz\r\n");
    IniFile first(good);
    first.WriteString("Global", "Lang", "en");
    std::filesystem::remove(good);
    std::filesystem::create_directory(good);  // the target can no longer be replaced
    EXPECT_THROW(first.WriteString("Global", "Lang", "cz"), EIniWriteError);
    EXPECT_EQ(first.ReadString("Global", "Lang", ""), "en");  // memory matches the last write
    std::size_t leftovers = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        leftovers += entry.path().filename().string().rfind("Settings.ini.", 0) == 0;
    }
    EXPECT_EQ(leftovers, 0u) << "temporary files must be removed after a failure";
}

}  // namespace
}  // namespace morvik::core
