#pragma once
#include <string>

#include <pugixml.hpp>

// The element an XPath selector names in a document, or an empty node when there
// is no document, no such element, or the selector is not valid XPath.
inline pugi::xml_node Select_Element(const pugi::xml_document& doc, const std::string& selector) {
    if (!doc.first_child()) return {};
    try {
        const pugi::xml_node node = doc.select_node(selector.c_str()).node();
        return node.type() == pugi::node_element ? node : pugi::xml_node();
    } catch (const pugi::xpath_exception&) {
        return {};
    }
}
