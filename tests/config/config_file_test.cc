#include "config/config_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/datetime.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/log.h"
#include "platform/text.h"
#include "support/temp_dir.h"

namespace ab {
namespace {

class ConfigFileTest : public ::testing::Test {
 protected:
  void SetUp() override { config().Reset(dir_.File("Config.xml")); }
  void TearDown() override {
    config().Reset();
    SystemFormats() = FormatSettings();
    SetLogSink(nullptr);
  }
  static TConfigFile& config() { return TConfigFile::GetInstance(); }

  testing::TempDir dir_;
};

TEST_F(ConfigFileTest, MissingFileGivesDefaultsAndWritesNothing) {
  config().SelectSection("Database");
  EXPECT_EQ(config().ReadInteger("Port", 3309), 3309);
  EXPECT_EQ(config().ReadString("Server", "localhost"), "localhost");
  EXPECT_FALSE(FileExists(dir_.File("Config.xml")));
}

TEST_F(ConfigFileTest, SaveHoldsOnlyWhatWasWrittenAndSelected) {
  config().SelectSection("SaveDays");
  config().SelectSection("Database");
  config().WriteString("Database", "RudUvivizUzevid");
  config().Save();
  XmlDocument saved = XmlDocument::LoadFile(dir_.File("Config.xml"));
  EXPECT_EQ(saved.Encoding(), "GB2312");
  XmlElement root = saved.DocumentElement();
  EXPECT_EQ(root.Name(), "SysConfig");
  ASSERT_EQ(root.ChildCount(), 2);
  EXPECT_EQ(root.Child(0).Name(), "SaveDays");
  EXPECT_EQ(root.Child(0).ChildCount(), 0) << "a section only selected stays empty";
  EXPECT_EQ(root.Child("Database").Child("Database").Text(), "RudUvivizUzevid");
}

TEST_F(ConfigFileTest, EmptyKeyTextIsNotTheDefault) {
  dir_.Write("Config.xml",
             "<?xml version=\"1.0\" encoding=\"GB2312\"?><SysConfig><SaveDays><Days></Days>"
             "</SaveDays></SysConfig>");
  config().SelectSection("SaveDays");
  EXPECT_EQ(config().ReadString("Days", "2"), "");
  EXPECT_EQ(config().ReadInteger("Days", 2), 2);
}

TEST_F(ConfigFileTest, IntegersFollowTheWholeNumberRules) {
  dir_.Write("Config.xml",
             "<SysConfig><S><a>12</a><b> 7</b><c>$10</c><d>1.5</d><e>12 </e></S></SysConfig>");
  config().SelectSection("S");
  EXPECT_EQ(config().ReadInteger("a", 0), 12);
  EXPECT_EQ(config().ReadInteger("b", 0), 7);
  EXPECT_EQ(config().ReadInteger("c", 0), 16);
  EXPECT_EQ(config().ReadInteger("d", -1), -1);
  EXPECT_EQ(config().ReadInteger("e", -1), -1);
}

TEST_F(ConfigFileTest, MalformedFileIsReplacedOnlyInMemory) {
  const std::string broken = "<SysConfig><Database><Server>db1</Server>";
  dir_.Write("Config.xml", broken);
  std::vector<std::string> log;
  SetLogSink([&](const std::string& line) { log.push_back(line); });
  config().SelectSection("Database");
  EXPECT_EQ(config().ReadString("Server", "localhost"), "localhost");
  EXPECT_EQ(dir_.Read("Config.xml"), broken) << "reading never writes";
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("malformed"), std::string::npos) << log[0];
}

TEST_F(ConfigFileTest, UnreadableFileIsReportedBeforeTheTemplateIsUsed) {
  ::chmod(dir_.path().c_str(), 0777);
  dir_.Write("Config.xml", "<SysConfig><k>v</k></SysConfig>");
  ::chmod(dir_.File("Config.xml").c_str(), 0);
  int outcome = testing::RunUnprivileged([&] {
    std::vector<std::string> log;
    SetLogSink([&](const std::string& line) { log.push_back(line); });
    if (config().ReadString("k", "default") != "default") return 1;
    if (log.size() != 1 || log[0].find("cannot be read") == std::string::npos) return 2;
    return 0;
  });
  EXPECT_EQ(outcome, 0) << "1: the file was read anyway, 2: nothing was logged";
}

TEST_F(ConfigFileTest, SaveOverAFileThatMayNotBeWrittenRaises) {
  ::chmod(dir_.path().c_str(), 0777);
  dir_.Write("Config.xml", "<SysConfig/>");
  ::chmod(dir_.File("Config.xml").c_str(), 0444);
  int outcome = testing::RunUnprivileged([&] {
    config().SelectSection("Database");
    config().WriteString("Server", "x");
    try {
      config().Save();
    } catch (const IoError&) {
      return 0;
    }
    return 1;
  });
  EXPECT_EQ(outcome, 0) << "Save over a read-only Config.xml must fail";
  EXPECT_EQ(dir_.Read("Config.xml"), "<SysConfig/>");
}

TEST_F(ConfigFileTest, WritingAKeyNamedLikeItsSectionNestsIt) {
  config().SelectSection("Database");
  config().WriteString("Database", "x");
  config().WriteString("Database", "y");
  config().Save();
  XmlElement root = XmlDocument::LoadFile(dir_.File("Config.xml")).DocumentElement();
  XmlElement section = root.Child("Database");
  EXPECT_EQ(section.ChildCount(), 1);
  EXPECT_EQ(section.Child("Database").Text(), "y");
}

TEST_F(ConfigFileTest, SelectingTheCurrentSectionKeepsIt) {
  dir_.Write("Config.xml", "<SysConfig><A><k>first</k></A><A><k>second</k></A></SysConfig>");
  config().SelectSection("A");
  config().SelectSection("A");
  EXPECT_EQ(config().ReadString("k", ""), "first") << "the first element of a name is used";
}

TEST_F(ConfigFileTest, ReadsBeforeAnySelectionAddressTheRoot) {
  dir_.Write("Config.xml", "<SysConfig><k>at-root</k></SysConfig>");
  EXPECT_EQ(config().ReadString("k", ""), "at-root");
}

TEST_F(ConfigFileTest, SaveDeclaresGb2312AndKeepsGbkText) {
  dir_.Write("Config.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><SysConfig><D><p>备份</p>"
                           "</D></SysConfig>");
  config().SelectSection("D");
  EXPECT_EQ(config().ReadString("p", ""), gbk("备份"));
  config().Save();
  std::string saved = dir_.Read("Config.xml");
  EXPECT_NE(saved.find("encoding=\"GB2312\""), std::string::npos);
  EXPECT_NE(saved.find(gbk("备份")), std::string::npos) << "text is saved as GBK bytes";
}

TEST_F(ConfigFileTest, NewFileIsPrivateAndAReplacedOneKeepsItsMode) {
  config().SelectSection("Database");
  config().WriteString("Password", "ABCDEF0123456789");
  config().Save();
  struct stat st;
  ASSERT_EQ(::stat(dir_.File("Config.xml").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ::chmod(dir_.File("Config.xml").c_str(), 0640);
  config().Save();
  ASSERT_EQ(::stat(dir_.File("Config.xml").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(ConfigFileTest, SaveIntoAFolderThatCannotBeWrittenRaisesAndKeepsTheOldFile) {
  config().Reset(dir_.File("missing-folder/Config.xml"));
  config().SelectSection("Database");
  config().WriteString("Server", "x");
  EXPECT_THROW(config().Save(), IoError);
}

TEST_F(ConfigFileTest, SaveWithoutAnyReadDoesNothing) {
  config().Save();
  EXPECT_FALSE(FileExists(dir_.File("Config.xml")));
}

TEST_F(ConfigFileTest, LocaleSectionSetsTheDateFormatsWithoutTouchingTheSelection) {
  dir_.Write("Config.xml",
             "<SysConfig><Locale><ShortDateFormat>yyyy-mm-dd</ShortDateFormat>"
             "<LongTimeFormat></LongTimeFormat></Locale></SysConfig>");
  ApplyLocaleSettings(config());
  EXPECT_EQ(SystemFormats().short_date_format, "yyyy-mm-dd");
  EXPECT_EQ(SystemFormats().long_time_format, "h:nn:ss") << "an empty key keeps the default";
  config().Save();
  EXPECT_EQ(XmlDocument::LoadFile(dir_.File("Config.xml")).DocumentElement().ChildCount(), 1);
}

}  // namespace
}  // namespace ab
