#pragma once
// Whether two DOM subtrees hold the same content, ignoring indentation: the project source file
// is rewritten only when a rebuilt section differs from the one read from disk.

#include <vector>
#include <xercesc/dom/DOMNode.hpp>

#include "Port/StringBase.h"

namespace Hvd {

// Compares node types, names, values, attributes (except those of the two starting nodes),
// child order and comments. Text and CDATA nodes that hold only whitespace are skipped, and
// attribute order carries no meaning. Differences are reported through the hooks, which do
// nothing here; a derived class may log them. Nothing is thrown.
class XMLDifferencer {
 public:
  using String = Port::StringBase<char>;

  XMLDifferencer() noexcept = default;
  explicit XMLDifferencer(bool stopAtFirstDifference) noexcept : m_stopAtFirstDifference(stopAtFirstDifference) {}
  virtual ~XMLDifferencer() = default;

  // True when equal; false when either is null. Both subtrees are normalized in place first
  // (adjacent text nodes merged).
  bool Compare(xercesc::DOMNode* first, xercesc::DOMNode* second);

  // Both exist and have the same node type.
  bool CompareTypes(const xercesc::DOMNode* first, const xercesc::DOMNode* second);
  // A text or CDATA node whose value is only whitespace.
  static bool IsWhitespaceNode(const xercesc::DOMNode* node) noexcept;

 protected:
  // Report hooks. Paths are "/" plus the node names from the starting node down.
  virtual void OnTypesDiffer(const String& /*path*/, const xercesc::DOMNode* /*first*/,
                             const xercesc::DOMNode* /*second*/) {}
  virtual void OnContentDiffers(const String& /*path*/, const xercesc::DOMNode* /*first*/,
                                const xercesc::DOMNode* /*second*/) {}
  virtual void OnChildMissing(const String& /*path*/, const xercesc::DOMNode* /*firstChild*/,
                              const xercesc::DOMNode* /*secondChild*/) {}
  // `side` is the node that lacks the attribute: 1 the first, 2 the second.
  virtual void OnAttributeMissing(const String& /*path*/, int /*side*/, const String& /*name*/,
                                  const String& /*value*/) {}
  virtual void OnAttributeValueDiffers(const String& /*path*/, const String& /*name*/, const String& /*first*/,
                                       const String& /*second*/) {}
  virtual void OnAttributesDiffer(const String& /*path*/, const xercesc::DOMNode* /*first*/,
                                  const xercesc::DOMNode* /*second*/) {}

  bool CompareNode(const xercesc::DOMNode* first, const xercesc::DOMNode* second, bool starting);
  bool CompareContent(const xercesc::DOMNode* first, const xercesc::DOMNode* second);
  bool CompareAttributes(const xercesc::DOMNode* first, const xercesc::DOMNode* second);

 private:
  // The path is kept as the names along the walk and spelt out only when a hook is called, so
  // an equal comparison builds no strings.
  String Path() const;

  bool m_stopAtFirstDifference = true;
  std::vector<const XMLCh*> m_names;
};

}  // namespace Hvd
