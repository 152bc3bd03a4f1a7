#pragma once
// The element conventions the five rule storers share. A setting is one child element of the rule
// element, named after the setting, with an attribute "type" naming its kind ("int", "bool",
// "double", "String", "list") and its value as text: integers in decimal, reals in decimal
// notation, booleans "True"/"False". A list setting carries an attribute "count" and one child per
// entry.
//
// Writers take the child of the setting's name or append one at the end. Readers take the child by
// name and throw XmlError when it is missing, ConvertError when its text does not convert (reading
// accepts what the platform's conversions accept: "true"/"false" in any letter case and numbers
// for booleans, "$"/"0x" hexadecimal for integers).

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/xml.h"

namespace ab {

// The child of `node` named `name`, appended at the end when there is none.
XmlElement SettingElement(XmlElement node, std::string_view name);

void WriteIntSetting(XmlElement node, std::string_view name, int32_t value);
void WriteBoolSetting(XmlElement node, std::string_view name, bool value);
void WriteDoubleSetting(XmlElement node, std::string_view name, double value);
void WriteStringSetting(XmlElement node, std::string_view name, std::string_view value);

int32_t ReadIntSetting(XmlElement node, std::string_view name);
bool ReadBoolSetting(XmlElement node, std::string_view name);
double ReadDoubleSetting(XmlElement node, std::string_view name);
// The element's text; an empty element gives "".
std::string ReadStringSetting(XmlElement node, std::string_view name);

// Takes or appends the list element `name`, sets "type" to "list" and "count" to 0, and returns it.
XmlElement BeginListSetting(XmlElement node, std::string_view name);
// Sets the list's "count" to `count`, removes its children and returns it ready for `count` new
// entries.
void ResetListEntries(XmlElement list, int32_t count);
// The list element `name` of `node` (XmlError when missing).
XmlElement ListSetting(XmlElement node, std::string_view name);
// The list's "count" attribute (XmlError when absent, ConvertError when not an integer).
int32_t ListCount(XmlElement list);
// The index-th child element of the list, whatever its name; XmlError when the list has fewer.
XmlElement ListEntry(XmlElement list, int32_t index);

// The rule element's "name" (text; "" when absent) and "cardType" (integer; throws when absent or
// not an integer).
std::string RuleNameAttribute(XmlElement node);
int32_t RuleCardTypeAttribute(XmlElement node);

}  // namespace ab
