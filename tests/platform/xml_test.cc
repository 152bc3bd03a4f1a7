#include "platform/xml.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/text.h"

namespace ab {
namespace {

TEST(XmlTest, GbkDocumentsPassThroughAsBytes) {
  std::string name = gbk("金卡");
  for (const char* encoding : {"GBK", "gb2312", "GB18030"}) {
    std::string text = std::string("<?xml version=\"1.0\" encoding=\"") + encoding +
                       "\"?><Rules><rule name=\"" + name + "\">" + name + "</rule></Rules>";
    XmlDocument doc = XmlDocument::Parse(text);
    XmlElement rule = doc.DocumentElement().Child(0);
    EXPECT_EQ(rule.Attribute("name"), name) << encoding;
    EXPECT_EQ(rule.Text(), name) << encoding;
  }
}

TEST(XmlTest, Utf8DocumentsAreConvertedToGbk) {
  XmlDocument doc =
      XmlDocument::Parse("<?xml version=\"1.0\" encoding=\"UTF-8\"?><a><b>金卡</b></a>");
  EXPECT_EQ(doc.DocumentElement().Child("b").Text(), gbk("金卡"));
  XmlDocument bom = XmlDocument::Parse("\xEF\xBB\xBF<a>金卡</a>");
  EXPECT_EQ(bom.DocumentElement().Text(), gbk("金卡"));
}

TEST(XmlTest, MalformedTextRaises) {
  for (const char* text : {"", "<a>", "<a></b>", "not xml", "<?xml version=\"1.0\"?>"}) {
    EXPECT_THROW(XmlDocument::Parse(text), XmlError) << text;
  }
  EXPECT_THROW(XmlDocument::Parse("<?xml version=\"1.0\" encoding=\"no-such\"?><a/>"), XmlError);
}

TEST(XmlTest, ChildrenByIndexAndName) {
  XmlDocument doc = XmlDocument::Parse("<r><x>1</x><y>2</y><x>3</x></r>");
  XmlElement root = doc.DocumentElement();
  EXPECT_EQ(root.ChildCount(), 3);
  EXPECT_EQ(root.Child(2).Text(), "3");
  EXPECT_TRUE(root.Child(3).IsNull());
  EXPECT_EQ(root.Child("x").Text(), "1") << "the first element of a name wins";
  EXPECT_TRUE(root.Child("z").IsNull());
  EXPECT_THROW(root.RequiredChild("z"), XmlError);
  EXPECT_EQ(root.Attribute("missing"), "");
  EXPECT_THROW(root.RequiredAttribute("missing"), XmlError);
}

TEST(XmlTest, BuildsAndSavesIndentedWithTheDeclaredEncoding) {
  XmlDocument doc = XmlDocument::Parse("<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n<SysConfig/>");
  XmlElement section = doc.DocumentElement().AppendChild("Database");
  section.AppendChild("Server").SetText("db<&>\"host\"");
  section.Child("Server").SetAttribute("type", "String");
  doc.SetEncoding("GB2312");
  std::string saved = doc.ToString();
  EXPECT_EQ(saved.rfind("<?xml version=\"1.0\" encoding=\"GB2312\"?>", 0), 0u) << saved;
  EXPECT_NE(saved.find("\n  <Database>"), std::string::npos) << saved;
  XmlDocument again = XmlDocument::Parse(saved);
  EXPECT_EQ(again.Encoding(), "GB2312");
  EXPECT_EQ(again.DocumentElement().Child("Database").Child("Server").Text(), "db<&>\"host\"");
}

TEST(XmlTest, SetTextKeepsChildElements) {
  XmlDocument doc = XmlDocument::Parse("<a>old<b/></a>");
  XmlElement a = doc.DocumentElement();
  a.SetText("new");
  EXPECT_EQ(a.Text(), "new");
  EXPECT_FALSE(a.Child("b").IsNull());
  a.RemoveChildren();
  EXPECT_EQ(a.ChildCount(), 0);
}

}  // namespace
}  // namespace ab
