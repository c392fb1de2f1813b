// Feeds arbitrary bytes to the XML reader in both text modes and walks the tree it returns. The
// tree must be well formed: every child points back at its parent, texts are leaves, and no text
// or value exceeds the reader's bound.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "lib/xml.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

void Walk(const XmlNode& root) {
    std::vector<const XmlNode*> pending{&root};
    while (!pending.empty()) {
        const XmlNode* node = pending.back();
        pending.pop_back();
        Check(node->text.size() <= kMaxXmlTextUnits);
        Check(node->kind == XmlNode::kElement ? !node->name.empty() && node->text.empty()
                                              : node->name.empty() && node->children.empty());
        for (const XmlAttribute& attribute : node->attributes) {
            Check(attribute.value.size() <= kMaxXmlTextUnits);
            Check(node->FindAttribute(attribute.name) != nullptr);
        }
        for (const auto& child : node->children) {
            Check(child->parent == node);
            if (child->kind == XmlNode::kElement) Check(node->FindChild(child->name) != nullptr);
            pending.push_back(child.get());
        }
        node->GetText();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (std::uint32_t flags : {kXmlTrimLines, 0u}) {
        if (std::unique_ptr<XmlNode> root = ParseXml(bytes, flags)) {
            Check(root->parent == nullptr);
            Walk(*root);
        }
    }
    return 0;
}
