#include "platform/xml.h"

#include <pugixml.hpp>

#include <sstream>

#include "platform/error.h"
#include "platform/file.h"
#include "platform/text.h"

namespace ab {
namespace {

pugi::xml_node Node(pugi::xml_node_struct* n) { return pugi::xml_node(n); }

std::string DeclaredEncoding(std::string_view text) {
  if (text.substr(0, 5) != "<?xml") return {};
  size_t end = text.find("?>");
  if (end == std::string_view::npos) return {};
  std::string_view decl = text.substr(0, end);
  size_t pos = decl.find("encoding");
  if (pos == std::string_view::npos) return {};
  pos = decl.find_first_of("\"'", pos);
  if (pos == std::string_view::npos) return {};
  size_t close = decl.find(decl[pos], pos + 1);
  if (close == std::string_view::npos) return {};
  return std::string(decl.substr(pos + 1, close - pos - 1));
}

bool IsGbkFamily(const std::string& encoding) {
  std::string e = LowerCase(encoding);
  return e.empty() || e == "gbk" || e == "gb2312" || e == "gb18030" || e == "cp936" ||
         e == "gb_2312-80" || e == "euc-cn";
}

// Brings the document text to GBK bytes according to its byte-order mark or declaration.
std::string ToGbk(std::string_view text) {
  auto fail = [](const std::string& why) -> std::string { throw XmlError(why); };
  if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") {
    auto converted = ConvertEncoding(text.substr(3), "UTF-8", "GBK");
    return converted ? *converted : fail("XML text is not valid UTF-8 or not representable in GBK");
  }
  if (text.size() >= 2 && (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF")) {
    auto converted = ConvertEncoding(text, "UTF-16", "GBK");
    return converted ? *converted : fail("XML text is not valid UTF-16 or not representable in GBK");
  }
  std::string encoding = DeclaredEncoding(text);
  if (IsGbkFamily(encoding)) return std::string(text);
  std::string e = LowerCase(encoding);
  const char* from = (e == "utf-8" || e == "utf8") ? "UTF-8" : encoding.c_str();
  auto converted = ConvertEncoding(text, from, "GBK");
  if (!converted) fail("XML text does not match its declared encoding \"" + encoding + "\"");
  return *converted;
}

}  // namespace

std::string XmlElement::Name() const { return Node(node_).name(); }

int XmlElement::ChildCount() const {
  int count = 0;
  for (pugi::xml_node c : Node(node_).children()) {
    if (c.type() == pugi::node_element) ++count;
  }
  return count;
}

XmlElement XmlElement::Child(int index) const {
  if (index < 0) return {};
  int i = 0;
  for (pugi::xml_node c : Node(node_).children()) {
    if (c.type() != pugi::node_element) continue;
    if (i++ == index) return XmlElement(c.internal_object());
  }
  return {};
}

XmlElement XmlElement::Child(std::string_view name) const {
  if (!node_) return {};
  std::string n(name);
  return XmlElement(Node(node_).child(n.c_str()).internal_object());
}

XmlElement XmlElement::RequiredChild(std::string_view name) const {
  XmlElement child = Child(name);
  if (!child) {
    throw XmlError("Node \"" + std::string(name) + "\" not found in \"" + Name() + "\"");
  }
  return child;
}

XmlElement XmlElement::AppendChild(std::string_view name) {
  std::string n(name);
  return XmlElement(Node(node_).append_child(n.c_str()).internal_object());
}

void XmlElement::RemoveChildren() {
  pugi::xml_node node = Node(node_);
  while (pugi::xml_node c = node.first_child()) node.remove_child(c);
}

bool XmlElement::HasAttribute(std::string_view name) const {
  std::string n(name);
  return node_ && Node(node_).attribute(n.c_str());
}

std::string XmlElement::Attribute(std::string_view name) const {
  if (!node_) return {};
  std::string n(name);
  return Node(node_).attribute(n.c_str()).value();
}

std::string XmlElement::RequiredAttribute(std::string_view name) const {
  if (!HasAttribute(name)) {
    throw XmlError("Attribute \"" + std::string(name) + "\" not found in \"" + Name() + "\"");
  }
  return Attribute(name);
}

void XmlElement::SetAttribute(std::string_view name, std::string_view value) {
  std::string n(name), v(value);
  pugi::xml_node node = Node(node_);
  pugi::xml_attribute a = node.attribute(n.c_str());
  if (!a) a = node.append_attribute(n.c_str());
  a.set_value(v.c_str());
}

std::string XmlElement::Text() const {
  if (!node_) return {};
  return Node(node_).text().get();
}

void XmlElement::SetText(std::string_view text) {
  pugi::xml_node node = Node(node_);
  // The element keeps its child elements; only its text is replaced.
  for (pugi::xml_node c = node.first_child(); c;) {
    pugi::xml_node next = c.next_sibling();
    if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) node.remove_child(c);
    c = next;
  }
  if (!text.empty()) {
    std::string t(text);
    node.prepend_child(pugi::node_pcdata).set_value(t.c_str());
  }
}

XmlDocument::XmlDocument() : doc_(std::make_unique<pugi::xml_document>()) {}
XmlDocument::~XmlDocument() = default;
XmlDocument::XmlDocument(XmlDocument&&) noexcept = default;
XmlDocument& XmlDocument::operator=(XmlDocument&&) noexcept = default;

XmlDocument XmlDocument::Parse(std::string_view text) {
  std::string bytes = ToGbk(text);
  XmlDocument doc;
  pugi::xml_parse_result r = doc.doc_->load_buffer(
      bytes.data(), bytes.size(), pugi::parse_default | pugi::parse_declaration,
      pugi::encoding_utf8);
  if (!r) {
    throw XmlError(std::string("XML parse error: ") + r.description() + " at offset " +
                   std::to_string(r.offset));
  }
  if (!doc.doc_->document_element()) throw XmlError("XML parse error: no document element");
  return doc;
}

XmlDocument XmlDocument::LoadFile(const std::string& path) { return Parse(ReadFile(path)); }

XmlElement XmlDocument::DocumentElement() const {
  return XmlElement(doc_->document_element().internal_object());
}

XmlElement XmlDocument::CreateDocumentElement(std::string_view name) {
  doc_->reset();
  std::string n(name);
  return XmlElement(doc_->append_child(n.c_str()).internal_object());
}

std::string XmlDocument::Encoding() const {
  for (pugi::xml_node c : doc_->children()) {
    if (c.type() == pugi::node_declaration) return c.attribute("encoding").value();
  }
  return {};
}

void XmlDocument::SetEncoding(std::string_view encoding) {
  pugi::xml_node decl;
  for (pugi::xml_node c : doc_->children()) {
    if (c.type() == pugi::node_declaration) {
      decl = c;
      break;
    }
  }
  if (!decl) {
    decl = doc_->prepend_child(pugi::node_declaration);
    decl.append_attribute("version").set_value("1.0");
  }
  std::string e(encoding);
  pugi::xml_attribute a = decl.attribute("encoding");
  if (!a) a = decl.append_attribute("encoding");
  a.set_value(e.c_str());
}

std::string XmlDocument::ToString() const {
  std::ostringstream out;
  doc_->save(out, "  ", pugi::format_indent,
             pugi::encoding_utf8);
  return out.str();
}

}  // namespace ab
