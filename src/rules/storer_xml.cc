#include "rules/storer_xml.h"

#include "platform/error.h"
#include "platform/text.h"

namespace ab {
namespace {

void WriteSetting(XmlElement node, std::string_view name, std::string_view kind,
                  std::string_view text) {
  XmlElement element = SettingElement(node, name);
  element.SetAttribute("type", kind);
  element.SetText(text);
}

std::string SettingText(XmlElement node, std::string_view name) {
  return node.RequiredChild(name).Text();
}

}  // namespace

XmlElement SettingElement(XmlElement node, std::string_view name) {
  XmlElement element = node.Child(name);
  return element ? element : node.AppendChild(name);
}

void WriteIntSetting(XmlElement node, std::string_view name, int32_t value) {
  WriteSetting(node, name, "int", IntToStr(value));
}

void WriteBoolSetting(XmlElement node, std::string_view name, bool value) {
  WriteSetting(node, name, "bool", BoolToStr(value));
}

void WriteDoubleSetting(XmlElement node, std::string_view name, double value) {
  WriteSetting(node, name, "double", FloatToStr(value));
}

void WriteStringSetting(XmlElement node, std::string_view name, std::string_view value) {
  WriteSetting(node, name, "String", value);
}

int32_t ReadIntSetting(XmlElement node, std::string_view name) {
  return StrToInt(SettingText(node, name));
}

bool ReadBoolSetting(XmlElement node, std::string_view name) {
  return StrToBool(SettingText(node, name));
}

double ReadDoubleSetting(XmlElement node, std::string_view name) {
  return StrToFloat(SettingText(node, name));
}

std::string ReadStringSetting(XmlElement node, std::string_view name) {
  return SettingText(node, name);
}

XmlElement BeginListSetting(XmlElement node, std::string_view name) {
  XmlElement list = SettingElement(node, name);
  list.SetAttribute("type", "list");
  list.SetAttribute("count", "0");
  return list;
}

void ResetListEntries(XmlElement list, int32_t count) {
  list.SetAttribute("count", IntToStr(count));
  list.RemoveChildren();
}

XmlElement ListSetting(XmlElement node, std::string_view name) { return node.RequiredChild(name); }

int32_t ListCount(XmlElement list) { return StrToInt(list.RequiredAttribute("count")); }

XmlElement ListEntry(XmlElement list, int32_t index) {
  XmlElement entry = list.Child(index);
  if (!entry) {
    throw XmlError("Node \"" + list.Name() + "\" has " + IntToStr(list.ChildCount()) +
                   " entries, fewer than its count " + list.Attribute("count"));
  }
  return entry;
}

std::string RuleNameAttribute(XmlElement node) { return node.Attribute("name"); }

int32_t RuleCardTypeAttribute(XmlElement node) {
  return StrToInt(node.RequiredAttribute("cardType"));
}

}  // namespace ab
