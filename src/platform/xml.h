#pragma once
// A small XML layer over pugixml for Config.xml and the card types' regulations.
//
// Text inside documents is GBK, like every text of the system. Parsing honours the declared
// encoding: GBK, GB2312, GB18030 (and a document without declaration) pass through as bytes; a
// document declared UTF-8 (or starting with a UTF-8 byte-order mark), UTF-16, or another encoding
// iconv knows is converted to GBK on reading. Saving writes the bytes as they are, under whatever
// encoding the declaration names (the system declares "GB2312").
//
// XmlElement is a non-owning handle; it stays valid while its document lives and the element is
// not removed. A null handle (no such element) reads as empty and must not be written to.

#include <memory>
#include <string>
#include <string_view>

namespace pugi {
struct xml_node_struct;
class xml_document;
}  // namespace pugi

namespace ab {

class XmlElement {
 public:
  XmlElement() = default;
  explicit XmlElement(pugi::xml_node_struct* node) : node_(node) {}

  bool IsNull() const { return node_ == nullptr; }
  explicit operator bool() const { return node_ != nullptr; }
  std::string Name() const;

  // Element children, in document order.
  int ChildCount() const;
  XmlElement Child(int index) const;
  // The first child element with this exact name, or a null handle.
  XmlElement Child(std::string_view name) const;
  // As Child(name), but throws XmlError naming the element when there is none.
  XmlElement RequiredChild(std::string_view name) const;
  XmlElement AppendChild(std::string_view name);
  void RemoveChildren();

  bool HasAttribute(std::string_view name) const;
  // The attribute's value; "" when absent.
  std::string Attribute(std::string_view name) const;
  // Throws XmlError when absent.
  std::string RequiredAttribute(std::string_view name) const;
  void SetAttribute(std::string_view name, std::string_view value);

  // The element's text content.
  std::string Text() const;
  void SetText(std::string_view text);

 private:
  pugi::xml_node_struct* node_ = nullptr;
};

class XmlDocument {
 public:
  XmlDocument();
  ~XmlDocument();
  XmlDocument(XmlDocument&&) noexcept;
  XmlDocument& operator=(XmlDocument&&) noexcept;
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  // Throws XmlError with the parser's reason on malformed text or an unknown encoding.
  static XmlDocument Parse(std::string_view text);
  // Throws IoError when the file cannot be read, XmlError when it is malformed.
  static XmlDocument LoadFile(const std::string& path);

  // The root element, or a null handle for an empty document.
  XmlElement DocumentElement() const;
  // Replaces the document with a root element of this name.
  XmlElement CreateDocumentElement(std::string_view name);

  // The encoding named by the XML declaration ("" when none).
  std::string Encoding() const;
  // Sets the declared encoding, adding a version 1.0 declaration when there is none.
  void SetEncoding(std::string_view encoding);

  // The document indented by two blanks per level, CR LF free ("\n" line ends).
  std::string ToString() const;

 private:
  std::unique_ptr<pugi::xml_document> doc_;
};

}  // namespace ab
