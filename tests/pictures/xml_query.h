// Markup read back with libxml2's XML parser, strictly (no recovery, no
// network), and queried with XPath; the prefixes svg and h name the SVG and
// XHTML namespaces. Without libxml2 the tests that need it are skipped.
#pragma once

#if SHINDO_HAVE_LIBXML2

#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace shindo::testing {

class XmlDocument {
 public:
  // Parses `text`; well_formed() says whether it was, error() why not.
  explicit XmlDocument(std::string_view text) {
    xmlSetStructuredErrorFunc(&error_, [](void* context, xmlErrorPtr e) {
      auto* error = static_cast<std::string*>(context);
      if (error->empty() && e != nullptr && e->message != nullptr) {
        *error = "line " + std::to_string(e->line) + ": " + e->message;
      }
    });
    doc_.reset(xmlReadMemory(text.data(), static_cast<int>(text.size()), "picture.xml", "UTF-8",
                             XML_PARSE_NONET | XML_PARSE_NOBLANKS));
    xmlSetStructuredErrorFunc(nullptr, nullptr);
    if (!doc_ && error_.empty()) error_ = "not parsed";
  }

  bool well_formed() const { return doc_ != nullptr && error_.empty(); }
  const std::string& error() const { return error_; }

  // The string value of each node the expression selects, in document order.
  std::vector<std::string> values(const std::string& xpath) const {
    std::vector<std::string> out;
    if (!doc_) return out;
    std::unique_ptr<xmlXPathContext, decltype(&xmlXPathFreeContext)> context(xmlXPathNewContext(doc_.get()),
                                                                              xmlXPathFreeContext);
    xmlXPathRegisterNs(context.get(), BAD_CAST "svg", BAD_CAST "http://www.w3.org/2000/svg");
    xmlXPathRegisterNs(context.get(), BAD_CAST "h", BAD_CAST "http://www.w3.org/1999/xhtml");
    std::unique_ptr<xmlXPathObject, decltype(&xmlXPathFreeObject)> result(
        xmlXPathEvalExpression(BAD_CAST xpath.c_str(), context.get()), xmlXPathFreeObject);
    if (!result || result->nodesetval == nullptr) return out;
    for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
      xmlChar* content = xmlNodeGetContent(result->nodesetval->nodeTab[i]);
      out.emplace_back(content != nullptr ? reinterpret_cast<const char*>(content) : "");
      xmlFree(content);
    }
    return out;
  }

 private:
  struct Free {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
  };
  std::unique_ptr<xmlDoc, Free> doc_;
  std::string error_;
};

}  // namespace shindo::testing

#define SHINDO_REQUIRE_LIBXML2()
#else
#define SHINDO_REQUIRE_LIBXML2() GTEST_SKIP() << "libxml2 was not found when the build was configured"
#endif
